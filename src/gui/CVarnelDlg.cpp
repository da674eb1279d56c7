#include "gui/CVarnelDlg.h"

#include "gui/AutoProfileController.h"
#include "gui/CAboutDlg.h"
#include "gui/CTrayIcon.h"
#include "gui/DialogSkinCheck.h"
#include "gui/CVarnel_DlgProfile.h"
#include "gui/CVarnel_DlgUpdate.h"
#include "gui/FileDialog.h"
#include "gui/KeyButtonLayout.h"
#include "gui/LightingPanelView.h"
#include "gui/MessageBox.h"
#include "gui/QtUiSink.h"
#include "gui/Varnel_DlgComposite.h"
#include "gui/WindowLights.h"
#include "gui/widgets/CColorButton.h"
#include "gui/widgets/CPictureSlider.h"
#include "gui/widgets/CPictureStatic.h"
#include "gui/widgets/CSkinMenu.h"
#include "gui/widgets/ColorStatic.h"
#include "gui/widgets/SkinPlacement.h"

#include "core/app/AppCore.h"
#include "core/app/BackgroundJob.h"
#include "core/app/FirmwareUpdateModel.h"
#include "core/app/MainWindowButtons.h"
#include "core/app/ProfileManagerModel.h"
#include "core/keys/KeyTable.h"
#include "core/base/Messages.h"
#include "core/profiles/UserFolder.h"
#include "core/resources/SkinKeys.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <utility>

namespace brasslane::gui {

namespace {

constexpr int kBusyFrames = 10;
constexpr int kBusyPeriodMs = 50;
constexpr int kBusyHideDelayMs = 100;
constexpr int kPreviewFirstMs = 100;
constexpr int kPreviewPeriodMs = 50;

struct ButtonRule {
    std::string_view key;
    FaceRule rule;
};

// The window's own buttons and how their faces are cut.
constexpr std::array<ButtonRule, 22> kWindowButtons{{
    {"CONTROL_OK", FaceRule::Push},
    {"CONTROL_CANCEL", FaceRule::Push},
    {"CONTROL_HELP", FaceRule::Push},
    {"CONTROL_CLOSE", FaceRule::Push},
    {"CONTROL_MINIMIZE", FaceRule::Push},
    {"CONTROL_MENU", FaceRule::Push},
    {"CONTROL2_APPLY", FaceRule::Apply},
    {"FUNC_PROFILES", FaceRule::Push},
    {"FUNC_MACRO", FaceRule::Push},
    {"LORVEN_LINK", FaceRule::Push},
    {"FUNC_PROFILE1", FaceRule::Choice},
    {"FUNC_PROFILE2", FaceRule::Choice},
    {"FUNC_PROFILE3", FaceRule::Choice},
    {"FUNC_DEFAULT", FaceRule::Choice},
    {"FUNC_SWITCH", FaceRule::Choice},
    {"FLIP_0", FaceRule::Choice},
    {"FLIP_1", FaceRule::Choice},
    {"FLIP_2", FaceRule::Choice},
    {"LOCK_CAPS", FaceRule::LockIndicator},
    {"LOCK_NUM", FaceRule::LockIndicator},
    {"LOCK_SCROLL", FaceRule::LockIndicator},
    {"LOCK_AB", FaceRule::LockIndicator},
}};

// Label texts of the lighting panel (section "LIGHT"); "RGB" is fixed.
constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kLightingLabels{{
    {"CONTROL_UsbStatic", "Usb"},
    {"CONTROL_DengStatic", "Deng"},
    {"CONTROL_LightStatic", "Light"},
    {"CONTROL_SpeedStatic", "Speed"},
    {"CONTROL_BLFXStatic", "FX"},
    {"CONTROL_FYYSStatic", "Color"},
    {"CONTROL_FYSJSStatic", "DC"},
    {"CONTROL_HXysStatic", "Color"},
    {"CONTROL_HXsjsStatic", "DC"},
    {"CONTROL_USERysStatic", "Color"},
    {"CONTROL_USERjsStatic", "JColor"},
    {"CONTROL_USERgjStatic", "Tool"},
}};

// Pictures of the lighting panel's picture controls: normal, chosen.
struct PicturePair {
    std::string_view key;
    const char* off;
    const char* on;
};
constexpr std::array<PicturePair, 15> kLightingPictures{{
    {"CONTROL_DengStaPic", "dengup.bmp", "dengdown.bmp"},
    {"CONTROL_BLFXLStaPic", "leftup.bmp", "leftdown.bmp"},
    {"CONTROL_BLFXRStaPic", "rightup.bmp", "rightdown.bmp"},
    {"CONTROL_BLFXLStaPic2", "leftup.bmp", "leftdown.bmp"},
    {"CONTROL_BLFXRStaPic2", "rightup.bmp", "rightdown.bmp"},
    {"CONTROL_BLFXLStaPic3", "upup.bmp", "updown.bmp"},
    {"CONTROL_BLFXRStaPic3", "downup.bmp", "downdown.bmp"},
    {"CONTROL_HXsjsStaPic", "sjsup.bmp", "sjsdown.bmp"},
    {"CONTROL_FYSJSStaPic", "sjsup.bmp", "sjsdown.bmp"},
    {"CONTROL_HONGPIC", "hong.bmp", "hongok.bmp"},
    {"CONTROL_HUANGPIC", "huang.bmp", "huangok.bmp"},
    {"CONTROL_LVPIC", "lv.bmp", "lvok.bmp"},
    {"CONTROL_LANPIC", "lan.bmp", "lanok.bmp"},
    {"CONTROL_USERgjStaPic1", "user1up.bmp", "user1down.bmp"},
    {"CONTROL_USERgjStaPic2", "user2up.bmp", "user2down.bmp"},
}};

QPixmap LoadPixmap(const std::filesystem::path& folder, const char* name) {
    QImage picture;
    if (name == nullptr || !LoadSkinPicture(folder / name, picture)) {
        return {};
    }
    return QPixmap::fromImage(picture);
}

// A busy frame drawn when the skin has none: twelve spokes, the lit one turning with the frame.
QPixmap DrawBusyFrame(const QSize& size, int frame) {
    QPixmap pixmap(size.isEmpty() ? QSize(32, 32) : size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(pixmap.rect()).center();
    const double radius = std::min(pixmap.width(), pixmap.height()) / 2.0 - 2;
    for (int spoke = 0; spoke < kBusyFrames; ++spoke) {
        const int age = (frame - spoke + kBusyFrames) % kBusyFrames;
        painter.save();
        painter.translate(centre);
        painter.rotate(360.0 * spoke / kBusyFrames);
        painter.setPen(
            QPen(QColor(0xC8, 0x9B, 0x4A, 255 - age * 22), std::max(2.0, radius / 5), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius / 2), QPointF(0, -radius));
        painter.restore();
    }
    return pixmap;
}

} // namespace

std::string_view WindowStateName(WindowState state) {
    switch (state) {
    case WindowState::kHiddenInTray:
        return "hidden-in-tray";
    case WindowState::kShown:
        return "shown";
    case WindowState::kHidden:
        return "hidden";
    case WindowState::kKeyboardConnected:
        return "keyboard-connected";
    case WindowState::kKeyboardLost:
        return "keyboard-lost";
    case WindowState::kClosing:
        return "closing";
    case WindowState::kUpdateDialog:
        return "update-dialog";
    }
    return "unknown";
}

CVarnelDlg::CVarnelDlg(AppCore& core, QtUiSink& sink, QWidget* parent)
    : CBaseDialog(parent), m_core(core), m_sink(sink), m_trayIconId(kIconNoKeyboard) {
    m_model = std::make_unique<MainWindowModel>(core, *this);
    m_profileManager = std::make_unique<ProfileManagerModel>(core, *m_model);
    m_firmwareUpdate = std::make_unique<FirmwareUpdateModel>(
        core.Link(), core.Profiles(), core.Ui(),
        [](const std::filesystem::path& program) { return QProcess::startDetached(ToQString(program), {}); });
    SetSwallowEnterAndEscape(true);
    m_sink.SetMessageParent(this);
    m_sink.SetHandlers({
        [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            return HandleMessage(message, wParam, lParam);
        },
        [this](int id, int milliseconds) { StartTimer(id, milliseconds); },
        [this](int resourceId) { SetTrayIconResource(resourceId); },
        [this] { HideWindow(); },
    });
}

CVarnelDlg::~CVarnelDlg() {
    m_sink.SetHandlers({});
    m_sink.SetMessageParent(nullptr);
}

QString CVarnelDlg::Text(std::string_view key) const {
    return QString::fromStdString(m_core.Text().Text(key));
}

bool CVarnelDlg::Initialise() {
    if (!SetUpSkin(m_core.Paths().mainSkin)) {
        return false;
    }
    QImage icon;
    if (LoadSkinPicture(m_core.Paths().skinsFolder / "icon128.png", icon)) {
        setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    }
    m_core.State().activeProfile.store(-1);
    m_core.Start();
    m_model->SetModified(false);
    if (!LoadMainPictures()) {
        return false;
    }
    m_link = QString::fromStdString(Layout().Link());
    LayOutControls();
    EnsureUserFolder(m_core.Paths().userFolder, m_core.Paths().skinsFolder);
    // Hidden the window has no task-bar button; opening it gives it one.
    setWindowFlag(Qt::Tool, true);
    setWindowTitle(Text("MAIN_CAPTION"));
    m_sink.Post(MSG_INIT, kCodeInit, 0);
    HandleMessage(MSG_LANGUAGE, kCodeLang, m_core.Text().CurrentLanguageIndex());
    m_model->ShowFlip();
    UpdatePreviewTimer();
    return true;
}

bool CVarnelDlg::LoadMainPictures() {
    // The eleven pictures of the main window: the four state pictures (which the buttons and
    // the key buttons share), the arrows and the two key-selection faces. Any one missing ends
    // the program.
    const std::filesystem::path folder = m_core.Paths().skinsFolder;
    return LoadStatePictures(folder, QStringLiteral("main_normal.jpg"), QStringLiteral("main_over.jpg"),
                             QStringLiteral("main_down.jpg"), QStringLiteral("main_disable.jpg"), m_pictures) &&
           LoadSkinPicture(folder / "Arrow.jpg", m_arrowPicture) &&
           LoadSkinPicture(folder / "main_color0.jpg", m_colour0) &&
           LoadSkinPicture(folder / "main_color1.jpg", m_colour1);
}

void CVarnelDlg::Remember(std::string_view key, QWidget* control) {
    m_controls.insert_or_assign(std::string(key), control);
}

CPngButton* CVarnelDlg::AddButton(std::string_view key, FaceRule rule) {
    auto* button = new CPngButton(this);
    PlaceAndSkin(*button, key, m_pictures, rule);
    if (!button->isEnabled()) {
        m_placementDisabled.push_back(button);
    }
    Remember(key, button);
    m_buttons.insert_or_assign(std::string(key), button);
    return button;
}

void CVarnelDlg::SetButtonEnabled(CPngButton* button, bool enabled) {
    if (button == nullptr) {
        return;
    }
    const bool skinDisabled =
        std::find(m_placementDisabled.begin(), m_placementDisabled.end(), button) != m_placementDisabled.end();
    button->setEnabled(enabled && !skinDisabled);
}

void CVarnelDlg::LayOutControls() {
    LayOutKeyButtons();
    LayOutWindowButtons();
    LayOutLightingControls();
    m_lightingPanel = std::make_unique<LightingPanelView>(
        m_core, *m_model, [this](std::string_view key) { return Control(key); }, m_lightingKeys,
        [this] { RefreshKeyButtons(); }, m_link);
}

void CVarnelDlg::LayOutKeyButtons() {
    for (const KeyButtonId id : AllKeyButtons()) {
        CPngButton* button = AddButton(KeyButtonLayoutKey(id), FaceRule::Choice);
        m_keyButtons.emplace_back(id, button);
        connect(button, &CPngButton::clicked, this, [this, id] { m_model->KeyClicked(id); });
    }
}

void CVarnelDlg::LayOutWindowButtons() {
    for (const ButtonRule& entry : kWindowButtons) {
        AddButton(entry.key, entry.rule);
    }
    connect(Button("CONTROL_OK"), &CPngButton::clicked, this, [this] { m_model->Ok(); });
    connect(Button("CONTROL_CANCEL"), &CPngButton::clicked, this, [this] { m_model->Cancel(); });
    connect(Button("CONTROL2_APPLY"), &CPngButton::clicked, this, [this] { m_model->StartApply(); });
    connect(Button("CONTROL_HELP"), &CPngButton::clicked, this, &CVarnelDlg::OpenHelp);
    connect(Button("CONTROL_MINIMIZE"), &CPngButton::clicked, this, &CVarnelDlg::showMinimized);
    connect(Button("CONTROL_CLOSE"), &CPngButton::clicked, this, [this] { m_model->CloseSequence(); });
    connect(Button("CONTROL_MENU"), &CPngButton::clicked, this, [this] { m_backupMenu->popup(QCursor::pos()); });
    connect(Button("FUNC_MACRO"), &CPngButton::clicked, this, [this] { m_model->MacroButton(); });
    connect(Button("FUNC_PROFILES"), &CPngButton::clicked, this, &CVarnelDlg::OpenProfileManager);
    connect(Button("FUNC_DEFAULT"), &CPngButton::clicked, this, [this] { m_model->RestoreDefaults(); });
    connect(Button("FUNC_SWITCH"), &CPngButton::clicked, this, [this] { m_model->ToggleKeySelectionMode(); });
    connect(Button("LORVEN_LINK"), &CPngButton::clicked, this, &CVarnelDlg::OpenLink);
    for (int profile = 0; profile < 3; ++profile) {
        connect(Button("FUNC_PROFILE" + std::to_string(profile + 1)), &CPngButton::clicked, this,
                [this, profile] { m_model->ProfileButton(profile); });
    }
    // D1..D6 take the place of F1..F4 under the flip setting; they only show which set is on.
    for (int d = 1; d <= skin::kDButtonCount; ++d) {
        AddButton("FUNC_D" + std::to_string(d), FaceRule::Choice)->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    // FLIP_0 shows the keyboard's layout and does nothing.
    for (const char* flip : {"FLIP_1", "FLIP_2"}) {
        connect(Button(flip), &CPngButton::clicked, this, [this] { m_model->ToggleFlip(); });
    }
    // The lock indicators only show: the keyboards' lock lights (WindowLights) and the G bank,
    // which is always A.
    for (const char* lock : {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"}) {
        Button(lock)->SetSelected(false);
        Button(lock)->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    for (const auto& [rectKey, base] : {std::pair<const char*, const char*>{"LEFT_ARROW", "UP_ARROW_LEFT"},
                                        std::pair<const char*, const char*>{"RIGHT_ARROW", "UP_ARROW_RIGHT"}}) {
        auto* arrow = new CPngButton(this);
        arrow->setObjectName(QString::fromLatin1(rectKey));
        PlaceWithFaceOrigin(*arrow, rectKey, SkinLayout::kArrowSection, skin::ArrowOriginKey(base, 1), m_arrowPicture);
        arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
        Remember(rectKey, arrow);
        m_buttons.insert_or_assign(rectKey, arrow);
    }

    m_lights = new WindowLights(
        *this,
        {Button("LOCK_NUM"), Button("LOCK_CAPS"), Button("LOCK_SCROLL"), Button("LEFT_ARROW"), Button("RIGHT_ARROW")},
        Layout(), m_arrowPicture, [] { return platform::ReadLockLeds(); },
        [this] { return m_model->LightingSwitchOn(); });

    auto* version = new ColorStatic(this);
    Place(*version, "LORVEN_VER");
    version->clear();
    version->setEnabled(false);
    Remember("LORVEN_VER", version);

    m_backupMenu = std::make_unique<CSkinMenu>();
    QAction* restore = m_backupMenu->addAction(QString());
    QAction* backup = m_backupMenu->addAction(QString());
    connect(restore, &QAction::triggered, this, &CVarnelDlg::ImportFromFile);
    connect(backup, &QAction::triggered, this, &CVarnelDlg::ExportToFile);
    // The window has no system menu of its own: the about box is reached from here too.
    m_backupMenu->addSeparator();
    QAction* about = m_backupMenu->addAction(QString());
    connect(about, &QAction::triggered, this, &CVarnelDlg::OpenAboutBox);
    m_profileMenu = std::make_unique<CSkinMenu>();
}

void CVarnelDlg::LayOutLightingControls() {
    const std::filesystem::path folder = m_core.Paths().skinsFolder;
    for (const skin::LightingPanelControl& entry : skin::kLightingPanelControls) {
        const std::string_view key = entry.key;
        QWidget* control = nullptr;
        switch (entry.kind) {
        case skin::LightingControlKind::kBusyPicture:
            m_busy = new CPictureStatic(this);
            m_busy->setAttribute(Qt::WA_TransparentForMouseEvents);
            control = m_busy;
            break;
        case skin::LightingControlKind::kList:
            control = new QComboBox(this);
            break;
        case skin::LightingControlKind::kBrightnessSlider:
        case skin::LightingControlKind::kSpeedSlider: {
            // Level pictures: 0.bmp..5.bmp for the brightness, 6.bmp..10.bmp for the speed.
            const bool brightness = entry.kind == skin::LightingControlKind::kBrightnessSlider;
            auto* slider = new CPictureSlider(this);
            slider->SetMaximum(brightness ? 5 : 4);
            std::vector<QPixmap> levels;
            for (int level = 0; level <= slider->Maximum(); ++level) {
                const std::string name = std::to_string((brightness ? 0 : 6) + level) + ".bmp";
                levels.push_back(LoadPixmap(folder, name.c_str()));
            }
            slider->SetPictures(std::move(levels));
            control = slider;
            break;
        }
        case skin::LightingControlKind::kColourPreset: {
            auto* preset = new CPngButton(this);
            QImage face;
            LoadSkinPicture(folder / entry.face, face);
            Place(*preset, key);
            preset->SetFacePicture(face);
            m_buttons.insert_or_assign(std::string(key), preset);
            control = preset;
            break;
        }
        case skin::LightingControlKind::kWebButton:
            control = AddButton(key, FaceRule::Push);
            break;
        case skin::LightingControlKind::kColourButton:
            control = new CColorButton(this);
            break;
        case skin::LightingControlKind::kLabel: {
            auto* label = new ColorStatic(this);
            if (key == "CONTROL_RGBStatic") {
                label->setText(QStringLiteral("RGB"));
            }
            control = label;
            break;
        }
        case skin::LightingControlKind::kPicture: {
            auto* picture = new CPictureStatic(this);
            for (const PicturePair& pair : kLightingPictures) {
                if (pair.key == key) {
                    picture->SetPictures(LoadPixmap(folder, pair.off), LoadPixmap(folder, pair.on));
                }
            }
            control = picture;
            break;
        }
        }
        // Buttons are placed as they are made; everything else is placed here.
        if (m_buttons.find(key) == m_buttons.end()) {
            Place(*control, key);
        }
        control->hide();
        Remember(key, control);
        m_lightingKeys.emplace_back(key);
    }
    LoadBusyFrames(m_busy->size());
    // The write's progress, to the right of the busy picture.
    m_progress = new ColorStatic(this);
    m_progress->setGeometry(m_busy->geometry().right() + 4, m_busy->y(), 96, m_busy->height());
    m_progress->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_progress->hide();

    for (int rate = 1; rate <= 4; ++rate) {
        const std::string key = "FUNC_REPORT" + std::to_string(rate);
        AddButton(key, FaceRule::Choice)->hide();
        m_lightingKeys.push_back(key);
    }
    for (const char* key : {"COLOR_R", "COLOR_G", "COLOR_B"}) {
        auto* field = new QLineEdit(this);
        field->setMaxLength(3);
        Place(*field, key);
        field->hide();
        Remember(key, field);
        m_lightingKeys.emplace_back(key);
    }
}

void CVarnelDlg::LoadBusyFrames(const QSize& size) {
    m_busyFrames.clear();
    for (int frame = 0; frame < kBusyFrames; ++frame) {
        const std::string name = "jdt" + std::to_string(frame + 1) + ".bmp";
        QPixmap picture = LoadPixmap(m_core.Paths().skinsFolder, name.c_str());
        m_busyFrames.push_back(picture.isNull() ? DrawBusyFrame(size, frame) : picture);
    }
    m_busy->SetPicture(m_busyFrames.front());
}

CPngButton* CVarnelDlg::Button(std::string_view key) const {
    const auto found = m_buttons.find(key);
    return found == m_buttons.end() ? nullptr : found->second;
}

QWidget* CVarnelDlg::Control(std::string_view key) const {
    const auto found = m_controls.find(key);
    return found == m_controls.end() ? nullptr : found->second;
}

CPngButton* CVarnelDlg::KeyButton(KeyButtonId button) const {
    for (const auto& [id, widget] : m_keyButtons) {
        if (id == button) {
            return widget;
        }
    }
    return nullptr;
}

void CVarnelDlg::ApplyLanguage() {
    setWindowTitle(Text("MAIN_CAPTION"));
    const std::array<std::pair<const char*, const char*>, 8> captions{{
        {"FUNC_PROFILE1", "PROFILE_1"},
        {"FUNC_PROFILE2", "PROFILE_2"},
        {"FUNC_PROFILE3", "PROFILE_3"},
        {"FUNC_MACRO", "PROFILE_MACRO"},
        {"FUNC_DEFAULT", "PROFILE_DEFAULT"},
        {"CONTROL_OK", "PROFILE_OK"},
        {"CONTROL_CANCEL", "PROFILE_CANCLE"},
        {"CONTROL2_APPLY", "PROFILE_APPLY"},
    }};
    for (const auto& [key, text] : captions) {
        Button(key)->setText(Text(text));
    }
    const std::array<std::pair<const char*, const char*>, 4> tips{{
        {"CONTROL_HELP", "MAIN_HELP_PROMPT"},
        {"CONTROL_CLOSE", "MAIN_CLOSE_PROMPT"},
        {"CONTROL_MINIMIZE", "MAIN_MINIMIZE_PROMPT"},
        {"CONTROL_MENU", "MAIN_MENU_PROMPT"},
    }};
    for (const auto& [key, text] : tips) {
        Button(key)->setToolTip(Text(text));
    }
    SetSwitchCaption(
        m_core.Text().Text(m_model->KeySelectionMode() ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT"));
    const QList<QAction*> actions = m_backupMenu->actions();
    actions[0]->setText(Text("MENU_1"));
    actions[1]->setText(Text("MENU_2"));
    actions.back()->setText(Text("MENU_22"));
    for (const auto& [key, text] : kLightingLabels) {
        if (auto* label = qobject_cast<QLabel*>(Control(key))) {
            label->setText(QString::fromStdString(m_core.Text().Light(text)));
        }
    }
    for (const char* variant : {"CONTROL_BLFXStatic2", "CONTROL_BLFXStatic3"}) {
        if (auto* label = qobject_cast<QLabel*>(Control(variant))) {
            label->setText(QString::fromStdString(m_core.Text().Light("FX")));
        }
    }
    if (m_tray) {
        m_tray->SetToolTip(Text("KEYBOARD_TRAY_DESC"));
        m_tray->UpdateMenuTexts();
    }
    if (m_autoProfiles) {
        m_autoProfiles->RefreshToolTip();
    }
    if (m_about) {
        m_about->ApplyLanguage();
    }
    if (m_composite != nullptr) {
        m_composite->ApplyLanguage();
    }
    RefreshKeyButtons();
}

std::intptr_t CVarnelDlg::HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == MSG_INIT && wParam == kCodeInit) {
        CreateTrayIcon();
        const std::intptr_t result = m_model->OnMessage(message, wParam, lParam);
        NotifyState(WindowState::kHiddenInTray);
        return result;
    }
    if (message == MSG_ACTIVE_WINDOW) {
        return m_autoProfiles ? m_autoProfiles->HandleMessage(wParam, lParam) : 0;
    }
    if (message == MSG_LANGUAGE && wParam == kCodeLang) {
        ApplyLanguage();
        m_model->OnMessage(message, wParam, lParam);
        return 1;
    }
    const std::intptr_t result = m_model->OnMessage(message, wParam, lParam);
    if (message == MSG_PROFILE_SYNC && wParam == kCodeProf) {
        NotifyState(WindowState::kKeyboardConnected);
    } else if (message == MSG_DEVICE_LOST && wParam == 0) {
        // The closed sub-dialogs leave the keyboard focus with the main window.
        activateWindow();
        setFocus(Qt::OtherFocusReason);
        NotifyState(WindowState::kKeyboardLost);
    }
    return result;
}

void CVarnelDlg::CreateTrayIcon() {
    if (m_tray) {
        return;
    }
    m_tray = std::make_unique<CTrayIcon>(
        m_core.Paths().skinsFolder, [this](std::string_view key) { return Text(key); },
        [this](std::uint32_t command) { TrayCommand(command); });
    // The connection monitor may have reported the keyboard before start-up finished; the icon
    // shows what it last reported rather than a fixed "no keyboard".
    m_tray->Create(Text("KEYBOARD_TRAY_DESC"), m_trayIconId);
    m_autoProfiles = std::make_unique<AutoProfileController>(m_core, *m_model, *this, m_sink, this, true);
    m_autoProfiles->AttachTray(*m_tray);
}

void CVarnelDlg::TrayCommand(std::uint32_t command) {
    if (command == kCommandTrayAbout) {
        OpenAboutBox();
        return;
    }
    m_model->TrayCommand(command);
}

void CVarnelDlg::SetTrayIconResource(int resourceId) {
    m_trayIconId = resourceId;
    if (m_tray) {
        m_tray->SetIcon(resourceId);
    }
}

void CVarnelDlg::OpenAboutBox() {
    if (m_about == nullptr) {
        QImage icon;
        LoadSkinPicture(m_core.Paths().skinsFolder / "icon128.png", icon);
        m_about =
            new CAboutDlg([this](std::string_view key) { return Text(key); }, QPixmap::fromImage(icon), m_link, this);
        // A window of its own, not a part of the skinned window.
        m_about->setWindowFlag(Qt::Window, true);
    }
    m_about->Open();
}

void CVarnelDlg::StartTimer(int id, int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setSingleShot(id == kTimerLightingReload || id == kTimerSettingsReset || id == kTimerAutoProfile);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(std::max(milliseconds, 0));
}

void CVarnelDlg::StopTimer(int id) {
    if (const auto found = m_timers.find(id); found != m_timers.end() && found->second != nullptr) {
        found->second->stop();
    }
}

bool CVarnelDlg::TimerActive(int id) const {
    const auto found = m_timers.find(id);
    return found != m_timers.end() && found->second->isActive();
}

void CVarnelDlg::OnTimer(int id) {
    switch (id) {
    case kTimerBusy: {
        m_busyFrame = (m_busyFrame + 1) % kBusyFrames;
        m_busy->SetPicture(m_busyFrames[static_cast<std::size_t>(m_busyFrame)]);
        const QString progress = QString::fromStdString(ProgressText(m_model->Progress()));
        if (!progress.isEmpty()) {
            m_progress->setText(progress);
            m_progress->show();
            m_progress->raise();
        }
        break;
    }
    case kTimerAutoProfile:
        if (m_autoProfiles) {
            m_autoProfiles->OnTimer();
        }
        break;
    case kTimerPreview:
        if (m_timers[id]->interval() != kPreviewPeriodMs) {
            m_timers[id]->setInterval(kPreviewPeriodMs);
        }
        // A hidden window shows no preview.
        if (isVisible()) {
            m_model->PreviewTick();
        }
        break;
    default:
        m_model->OnTimer(id);
        break;
    }
}

void CVarnelDlg::PaintKeyColours(std::span<const KeyButtonColour> colours) {
    for (const KeyButtonColour& entry : colours) {
        if (CPngButton* button = KeyButton(entry.button)) {
            LightingPanelView::PaintKey(*button, entry.colour);
        }
    }
}

void CVarnelDlg::RefreshKeyButtons() {
    // The worker holds the working image while a job runs; the model refreshes the buttons when
    // the job has ended.
    if (m_model->JobRunning()) {
        return;
    }
    for (const auto& [id, button] : m_keyButtons) {
        const KeyButtonState state = m_model->ButtonState(id);
        button->SetSelected(state.assigned);
        button->setToolTip(QString::fromStdString(state.caption));
        SetButtonEnabled(button, state.enabled);
        if (state.selectionFace) {
            button->SetOverridePicture(state.selectionFlag ? m_colour1 : m_colour0);
        } else {
            button->ClearOverridePicture();
        }
        LightingPanelView::PaintKey(*button, state.colour);
    }
}

void CVarnelDlg::SetApplyEnabled(bool enabled) {
    SetButtonEnabled(Button("CONTROL2_APPLY"), enabled);
}

void CVarnelDlg::SetProfileButtons(int selected) {
    for (int profile = 0; profile < 3; ++profile) {
        Button("FUNC_PROFILE" + std::to_string(profile + 1))->SetSelected(profile == selected);
    }
}

void CVarnelDlg::SetSwitchCaption(const std::string& caption) {
    Button("FUNC_SWITCH")->setText(QString::fromStdString(caption));
}

void CVarnelDlg::SetFlip(int flip) {
    Button("FLIP_1")->SetSelected(flip == 0);
    Button("FLIP_2")->SetSelected(flip == 1);
    for (int d = 1; d <= skin::kDButtonCount; ++d) {
        SetButtonEnabled(Button("FUNC_D" + std::to_string(d)), FlipEnablesDButtons(flip));
    }
}

void CVarnelDlg::RefreshLightingPanel() {
    if (m_lightingPanel) {
        m_lightingPanel->Refresh();
    }
    UpdatePreviewTimer();
}

void CVarnelDlg::UpdatePreviewTimer() {
    if (isVisible() && m_model->LightingSwitchOn()) {
        if (!TimerActive(kTimerPreview)) {
            StartTimer(kTimerPreview, kPreviewFirstMs);
        }
    } else {
        StopTimer(kTimerPreview);
    }
}

void CVarnelDlg::RefreshProfileMenu() {
    const brasslane::ProfileMenu& menu = m_model->Menu();
    CPngButton* button = Button("FUNC_PROFILES");
    button->setText(QString::fromStdString(menu.ButtonCaption()));
    button->setToolTip(QString::fromStdString(menu.ButtonTooltip()));
    m_profileMenu->clear();
    for (const ProfileMenuEntry& entry : menu.Entries()) {
        if (entry.separator) {
            m_profileMenu->addSeparator();
            continue;
        }
        QAction* action = m_profileMenu->addAction(QString::fromStdString(entry.text));
        action->setCheckable(true);
        action->setChecked(entry.checked);
        const std::uint32_t command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { m_model->MenuCommand(command); });
    }
}

void CVarnelDlg::ShowProfileMenu(const QPoint& globalPosition) {
    m_profileMenu->popup(globalPosition);
}

bool CVarnelDlg::CloseSubDialogs() {
    if (m_about) {
        m_about->hide();
    }
    if (m_profileDlg) {
        m_profileDlg->CloseDialog();
    }
    m_backupMenu->close();
    m_profileMenu->close();
    if (m_tray && m_tray->Menu()) {
        m_tray->Menu()->close();
    }
    if (m_composite != nullptr && m_keyDialogOpen) {
        m_composite->reject();
    }
    return true;
}

bool CVarnelDlg::OpenProfileManager() {
    if (m_profileDlg == nullptr) {
        m_profileDlg = new CVarnel_DlgProfile(m_core, *m_profileManager, this);
    }
    return m_profileDlg->Open();
}

bool CVarnelDlg::HandleCommand(std::uint32_t command) {
    if (command != kCommandFirmwareUpdate) {
        return false;
    }
    if (m_updateDlg == nullptr) {
        m_updateDlg = new CVarnel_DlgUpdate(m_core, *m_firmwareUpdate, this);
    }
    if (m_updateDlg->Open()) {
        NotifyState(WindowState::kUpdateDialog);
    }
    return true;
}

void CVarnelDlg::OpenKeyDialog(KeyButtonId button, std::size_t record, bool isG9) {
    m_lastKeyDialog = KeyDialogRequest{button, record, isG9};
    if (m_hooks.openKeyDialog) {
        m_hooks.openKeyDialog(button, record, isG9);
        return;
    }
    OpenCompositeDialog(button, record, isG9);
}

void CVarnelDlg::OpenCompositeDialog(KeyButtonId button, std::size_t record, bool isG9) {
    if (m_keyDialogOpen) {
        return;
    }
    if (m_composite == nullptr) {
        const std::filesystem::path layout = m_core.Paths().compositeSkin;
        const QStringList missing = MissingDialogPictures(layout, Varnel_DlgComposite::RequiredPictures());
        auto* dialog =
            new Varnel_DlgComposite({m_core.Working(), m_core.Text(), m_core.Ui(), m_core.Settings(), layout}, this);
        std::string failed;
        if (!missing.isEmpty() || !dialog->Initialise(&failed)) {
            delete dialog;
            ShowMissingDialogPictures(this, missing.isEmpty() ? QStringList{QString::fromStdString(failed)} : missing);
            return;
        }
        connect(dialog, &Varnel_DlgComposite::Applied, this, [this] { m_model->KeyDialogApplied(); });
        connect(dialog, &Varnel_DlgComposite::Closed, this, [this] {
            SetKeyDialogOpen(false);
            if (m_keyDialogButton != nullptr) {
                m_keyDialogButton->setDown(false);
                m_keyDialogButton = nullptr;
            }
            RefreshKeyButtons();
            activateWindow();
        });
        m_composite = dialog;
    }
    CPngButton* widget = KeyButton(button);
    QRect area(mapToGlobal(rect().center()), QSize(1, 1));
    QString name;
    if (widget != nullptr) {
        area = QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        widget->setDown(true);
        m_keyDialogButton = widget;
    }
    if (button.kind == KeyButtonId::Kind::kGKey) {
        name = QStringLiteral("G%1").arg(button.gKey);
    } else {
        name = QString::fromStdString(KeyDisplayName(button.scanCode, m_core.Text()));
    }
    SetKeyDialogOpen(true);
    m_composite->Open(record, isG9, area, name);
}

void CVarnelDlg::ShowWindow() {
    if (windowFlags().testFlag(Qt::Tool)) {
        setWindowFlag(Qt::Tool, false);
    }
    showNormal();
    raise();
    activateWindow();
    UpdatePreviewTimer();
    NotifyState(WindowState::kShown);
}

void CVarnelDlg::HideWindow() {
    const bool wasVisible = isVisible();
    hide();
    // A hidden window shows no preview; the timer would only wake the program for nothing.
    StopTimer(kTimerPreview);
    if (wasVisible) {
        NotifyState(WindowState::kHidden);
    }
}

void CVarnelDlg::ShowBusy(bool show) {
    if (show) {
        ++m_busyStarts;
        m_busyFrame = 0;
        m_busy->SetPicture(m_busyFrames.front());
        m_busy->show();
        m_busy->raise();
        StartTimer(kTimerBusy, kBusyPeriodMs);
        return;
    }
    QTimer::singleShot(kBusyHideDelayMs, this, [this] {
        // A job started within the delay keeps the indicator.
        if (m_model->JobRunning()) {
            return;
        }
        StopTimer(kTimerBusy);
        m_busy->hide();
        m_progress->hide();
        m_progress->clear();
    });
}

void CVarnelDlg::SetJobRunning(bool running) {
    if (!running) {
        m_jobControls.Unlock();
        return;
    }
    std::vector<QWidget*> keep;
    for (const char* key : {"CONTROL_HELP", "CONTROL_MINIMIZE", "CONTROL_CANCEL", "CONTROL_CLOSE", "LORVEN_LINK"}) {
        keep.push_back(Button(key));
    }
    m_jobControls.Lock(*this, keep);
}

QString CVarnelDlg::ProgressShown() const {
    return m_progress != nullptr && !m_progress->isHidden() ? m_progress->text() : QString();
}

bool CVarnelDlg::BusyShown() const {
    return m_busy != nullptr && !m_busy->isHidden();
}

void CVarnelDlg::EndApplication() {
    NotifyState(WindowState::kClosing);
    if (m_hooks.releaseInstance) {
        m_hooks.releaseInstance();
    }
    if (m_tray) {
        m_tray->Remove();
    }
    for (auto& [id, timer] : m_timers) {
        timer->stop();
    }
    if (m_hooks.quit) {
        m_hooks.quit();
    }
}

void CVarnelDlg::ImportFromFile() {
    const QString name =
        FileDialog::GetOpenProfileName(this, QString::fromStdString(m_core.Paths().userFolder.string()));
    if (name.isEmpty()) {
        return;
    }
    m_model->StartImport(name.toStdString());
}

void CVarnelDlg::ExportToFile() {
    const QString name =
        FileDialog::GetSaveProfileName(this, QString::fromStdString(m_core.Paths().userFolder.string()));
    if (name.isEmpty()) {
        return;
    }
    m_model->StartExport(name.toStdString());
}

void CVarnelDlg::OpenHelp() {
    const std::filesystem::path page = m_core.Paths().helpFolder / "index.html";
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page.string())));
}

void CVarnelDlg::OpenLink() {
    QDesktopServices::openUrl(QUrl(m_link));
}

void CVarnelDlg::NotifyState(WindowState state) {
    if (m_hooks.stateChanged) {
        m_hooks.stateChanged(state);
    }
}

void CVarnelDlg::accept() {}

void CVarnelDlg::reject() {
    m_model->Cancel();
}

void CVarnelDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_model->Cancel();
}

void CVarnelDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        OpenHelp();
        event->accept();
        return;
    }
    CBaseDialog::keyPressEvent(event);
}

} // namespace brasslane::gui
