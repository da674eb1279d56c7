#include "gui/Varnel_DlgComposite.h"

#include "gui/MacroPageView.h"
#include "gui/widgets/CArrowComboBox.h"
#include "gui/widgets/CPictureStatic.h"
#include "gui/widgets/ColorStatic.h"
#include "gui/widgets/SkinPlacement.h"

#include "core/base/UiSink.h"
#include "core/keys/KeyTable.h"
#include "core/keys/ProfileImage.h"
#include "core/keys/RecordDelaySetting.h"
#include "core/resources/Language.h"
#include "platform/linux/EvdevKeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

#include <array>
#include <chrono>
#include <cstdio>

namespace brasslane::gui {

namespace {

// The plain widgets sit on the wells the page pictures draw; they bring only text and lines.
constexpr const char* kStyle =
    "QLineEdit, QComboBox, QListWidget, QTableWidget { background: transparent; color: #dadfe6; border: none;"
    " selection-background-color: #d99a3a; selection-color: #1e180f; font-size: 13px; }"
    "QLineEdit { padding: 0 8px; }"
    "QLineEdit:disabled, QComboBox:disabled { color: #5a626c; }"
    "QComboBox { padding: 0 8px; }"
    "QComboBox QAbstractItemView { background: #1d222a; color: #dadfe6; border: 1px solid #3a424d; }"
    "QComboBox::drop-down { border: none; width: 22px; }"
    "QListWidget::item { padding: 4px 8px; }"
    "QHeaderView::section { background: #171b21; color: #86909c; border: none;"
    " border-bottom: 1px solid #2a313a; padding: 4px 8px; font-size: 12px; }"
    "QTableWidget { gridline-color: transparent; }"
    "QTableWidget QLineEdit, QTableWidget QComboBox { background: #1d222a; border: 1px solid #d99a3a; }"
    "QComboBox::down-arrow { image: none; }"
    "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }"
    "QScrollBar::handle:vertical { background: #3a424d; border-radius: 3px; min-height: 24px; }"
    "QScrollBar::handle:vertical:hover { background: #d99a3a; }"
    "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
    "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }";

struct PageSet {
    DialogPage page;
    const char* stem;
};
constexpr std::array<PageSet, 4> kPageSets{{
    {DialogPage::kKey, "key"},
    {DialogPage::kMacro, "macro"},
    {DialogPage::kMedia, "media"},
    {DialogPage::kFunction, "function"},
}};

struct PageButton {
    const char* key;
    DialogPage page;
    const char* text;
};
constexpr std::array<PageButton, 4> kPageButtons{{
    {"CONTROL_KEY", DialogPage::kKey, "SINGLE_KEY"},
    {"CONTROL_MACRO", DialogPage::kMacro, "MACRO_SETTING"},
    {"CONTROL_MEDIA", DialogPage::kMedia, "MULTI_MEDIA"},
    {"CONTROL_FUNCTION", DialogPage::kFunction, "FUNCTION_KEY"},
}};

// The controls that show only on one page.
constexpr std::array<const char*, 8> kKeyPageControls{
    "TISHI_SINGLE_STATIC", "KEY_SETTING",        "FUNC_KEY_RADIO_KB",         "FUNC_KEY_RADIO_KB_STATIC",
    "FUNC_KEY_INPUT",      "FUNC_KEY_RADIO_MOU", "FUNC_KEY_RADIO_MOU_STATIC", "FUNC_KEY_COMBO_MOU"};
constexpr std::array<const char*, 2> kMediaPageControls{"MEDIA_SETTING_TISHI", "FUNC_MEDIA_SELECT"};
constexpr std::array<const char*, 2> kFunctionPageControls{"FUNCTION_KEY_SETTING_TISHI", "FUNC_FUNCTION_SELECT"};

// Loads one picture set: normal, over and down are needed; a set without its own "disable"
// picture shows disabled buttons with the normal one.
bool LoadPageSet(const std::filesystem::path& folder, const std::string& stem, bool needsDisable,
                 StatePictures& pictures, std::string* missing) {
    for (const auto& [suffix, picture] : {std::pair<const char*, QImage*>{"_normal.jpg", &pictures.normal},
                                          {"_over.jpg", &pictures.over},
                                          {"_down.jpg", &pictures.down}}) {
        if (!LoadSkinPicture(folder / (stem + suffix), *picture)) {
            if (missing != nullptr) {
                *missing = stem + suffix;
            }
            return false;
        }
    }
    if (!LoadSkinPicture(folder / (stem + "_disable.jpg"), pictures.disable)) {
        if (needsDisable) {
            if (missing != nullptr) {
                *missing = stem + "_disable.jpg";
            }
            return false;
        }
        pictures.disable = pictures.normal;
    }
    return true;
}

// A toggle shows its chosen state with the pressed face: the down picture serves as the face
// a chosen button takes.
StatePictures TogglePictures(const StatePictures& push) {
    StatePictures toggle = push;
    toggle.disable = push.down;
    return toggle;
}

// The model's messages go to the program's sink; while a box is up the dialog lets go of the
// keyboard, so that the box can be answered from it.
class DialogUiSink : public ForwardingUiSink {
public:
    DialogUiSink(UiSink& sink, std::function<void(bool)> showing)
        : ForwardingUiSink(sink), m_showing(std::move(showing)) {}
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        m_showing(true);
        const MessageAnswer answer = Target().ShowMessage(text, caption, buttons);
        m_showing(false);
        return answer;
    }

private:
    std::function<void(bool)> m_showing;
};

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

Varnel_DlgComposite::Varnel_DlgComposite(Context context, QWidget* parent)
    : CBaseDialog(parent), m_context(context), m_sink(std::make_unique<DialogUiSink>(context.ui,
                                                                                     [this](bool showing) {
                                                                                         m_messageShowing = showing;
                                                                                         UpdateKeyboardGrab();
                                                                                     })),
      m_model(context.working, context.language, *m_sink), m_clock(&SteadyMilliseconds) {
    setStyleSheet(QString::fromLatin1(kStyle));
    m_macroPage =
        std::make_unique<MacroPageView>(*this, m_model.Macros(), context.working, context.language, context.settings);
    m_model.Macros().SetOnChange([this] {
        // The editor's changes make the dialog dirty, as the dialog's own do.
        m_model.SetDirty(true);
        RefreshApplyButton();
    });
}

Varnel_DlgComposite::~Varnel_DlgComposite() {
    if (m_filtering) {
        qApp->removeEventFilter(this);
    }
    if (m_grabbing) {
        releaseKeyboard();
    }
}

QString Varnel_DlgComposite::Text(std::string_view key) const {
    return QString::fromStdString(m_context.language.Text(key));
}

void Varnel_DlgComposite::SetClock(std::function<std::int64_t()> clock) {
    m_clock = clock ? std::move(clock) : std::function<std::int64_t()>(&SteadyMilliseconds);
}

bool Varnel_DlgComposite::Initialise(std::string* missing) {
    if (!SetUpSkin(m_context.layoutFile)) {
        if (missing != nullptr) {
            *missing = m_context.layoutFile.filename().string() + " (background or mask)";
        }
        return false;
    }
    const std::filesystem::path folder = ImageFolder();
    const SkinRect maskRect = Layout().Rect("CONTROL_MASK");
    const QRect maskArea(FaceOrigin(maskRect).x, FaceOrigin(maskRect).y, maskRect.w, maskRect.h);
    for (const PageSet& set : kPageSets) {
        StatePictures push;
        if (!LoadPageSet(folder, set.stem, set.page == DialogPage::kMacro, push, missing)) {
            return false;
        }
        m_pages[set.page] = {push, TogglePictures(push)};
        m_masks[set.page] = QPixmap::fromImage(push.normal.copy(maskArea));
    }
    StatePictures macroOnly;
    if (!LoadPageSet(folder, "macro2", true, macroOnly, missing)) {
        return false;
    }
    m_macroOnlyPictures = {macroOnly, TogglePictures(macroOnly)};
    m_macroOnlyMask = QPixmap::fromImage(macroOnly.normal.copy(maskArea));
    BuildControls();
    return true;
}

void Varnel_DlgComposite::Remember(std::string_view key, QWidget* control) {
    m_controls.insert_or_assign(std::string(key), control);
}

CPngButton* Varnel_DlgComposite::AddSkinnedButton(std::string_view key, bool toggle) {
    auto* button = new CPngButton(this);
    const PagePictures& pictures = CurrentPictures();
    PlaceAndSkin(*button, key, toggle ? pictures.toggle : pictures.push, toggle ? FaceRule::Choice : FaceRule::Apply);
    m_buttons.emplace_back(std::string(key), SkinnedButton{button, toggle});
    Remember(key, button);
    return button;
}

CPngButton* Varnel_DlgComposite::Button(std::string_view key) const {
    for (const auto& [name, entry] : m_buttons) {
        if (name == key) {
            return entry.button;
        }
    }
    return nullptr;
}

QWidget* Varnel_DlgComposite::Control(std::string_view key) const {
    const auto found = m_controls.find(key);
    return found == m_controls.end() ? nullptr : found->second;
}

const Varnel_DlgComposite::PagePictures& Varnel_DlgComposite::CurrentPictures() const {
    if (m_model.MacroOnly()) {
        return m_macroOnlyPictures;
    }
    const auto found = m_pages.find(m_model.ShownPage());
    return found != m_pages.end() ? found->second : m_pages.begin()->second;
}

void Varnel_DlgComposite::BuildControls() {
    // The page picture first, so that every control lies above it.
    m_mask = new CPictureStatic(this);
    m_mask->setAttribute(Qt::WA_TransparentForMouseEvents);
    Place(*m_mask, "CONTROL_MASK");
    Remember("CONTROL_MASK", m_mask);

    m_title = new ColorStatic(this);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    Place(*m_title, "CONTROL_TITLE");
    Remember("CONTROL_TITLE", m_title);

    connect(AddSkinnedButton("CONTROL_OSK", false), &CPngButton::clicked, this,
            &Varnel_DlgComposite::OpenOnScreenKeyboard);
    connect(AddSkinnedButton("CONTROL_CLEAR", false), &CPngButton::clicked, this, [this] {
        if (m_model.Clear()) {
            RefreshAll();
        }
    });
    for (const PageButton& page : kPageButtons) {
        const DialogPage target = page.page;
        connect(AddSkinnedButton(page.key, false), &CPngButton::clicked, this, [this, target] { PressPage(target); });
    }
    connect(AddSkinnedButton("CONTROL_OK", false), &CPngButton::clicked, this, &Varnel_DlgComposite::accept);
    connect(AddSkinnedButton("CONTROL_CANCEL", false), &CPngButton::clicked, this, &Varnel_DlgComposite::reject);
    connect(AddSkinnedButton("CONTROL2_APPLY", false), &CPngButton::clicked, this, &Varnel_DlgComposite::ApplyChanges);

    // Single-key page.
    for (const char* key : {"TISHI_SINGLE_STATIC", "FUNC_KEY_RADIO_KB_STATIC", "FUNC_KEY_RADIO_MOU_STATIC"}) {
        auto* label = new ColorStatic(this);
        label->setWordWrap(true);
        Place(*label, key);
        Remember(key, label);
    }
    m_keyName = new ColorStatic(this);
    m_keyName->SetTextColour(QColor(0xF0, 0xBA, 0x5C));
    Place(*m_keyName, "KEY_SETTING");
    Remember("KEY_SETTING", m_keyName);
    connect(AddSkinnedButton("FUNC_KEY_RADIO_KB", true), &CPngButton::clicked, this, [this] {
        m_model.ChooseKeyboard();
        RefreshAll();
    });
    connect(AddSkinnedButton("FUNC_KEY_RADIO_MOU", true), &CPngButton::clicked, this, [this] {
        m_model.ChooseMouse();
        RefreshAll();
    });
    m_keyInput = new QLineEdit(this);
    m_keyInput->setReadOnly(true);
    // Keys are caught from the keyboard, not typed: the field never takes the focus.
    m_keyInput->setFocusPolicy(Qt::NoFocus);
    Place(*m_keyInput, "FUNC_KEY_INPUT");
    Remember("FUNC_KEY_INPUT", m_keyInput);
    m_mouseList = new CArrowComboBox(this);
    m_mouseList->setFocusPolicy(Qt::NoFocus);
    Place(*m_mouseList, "FUNC_KEY_COMBO_MOU");
    Remember("FUNC_KEY_COMBO_MOU", m_mouseList);
    connect(m_mouseList, &QComboBox::activated, this, [this](int index) {
        m_model.SelectMouseEntry(index);
        RefreshApplyButton();
    });

    // Multimedia and keyboard-function pages.
    for (const char* key : {"MEDIA_SETTING_TISHI", "FUNCTION_KEY_SETTING_TISHI"}) {
        auto* label = new ColorStatic(this);
        label->setWordWrap(true);
        Place(*label, key);
        Remember(key, label);
    }
    m_mediaList = new QListWidget(this);
    Place(*m_mediaList, "FUNC_MEDIA_SELECT");
    Remember("FUNC_MEDIA_SELECT", m_mediaList);
    connect(m_mediaList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_refreshing && m_model.SelectMediaEntry(row)) {
            RefreshApplyButton();
        }
    });
    m_functionList = new QListWidget(this);
    Place(*m_functionList, "FUNC_FUNCTION_SELECT");
    Remember("FUNC_FUNCTION_SELECT", m_functionList);
    connect(m_functionList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_refreshing && m_model.SelectFunctionEntry(row)) {
            RefreshApplyButton();
        }
    });

    m_macroPage->Build();
    ApplyLanguage();
}

void Varnel_DlgComposite::ApplyLanguage() {
    if (m_title == nullptr) {
        return;
    }
    m_title->setText(Text(m_model.MacroOnly() ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI"));
    setWindowTitle(m_title->text());
    for (const PageButton& page : kPageButtons) {
        // With the last G key only the macro page is offered; the others show no text.
        const bool offered = !m_model.MacroOnly() || page.page == DialogPage::kMacro;
        Button(page.key)->setText(offered ? Text(page.text) : QString());
    }
    Button("CONTROL_OK")->setText(Text("MACRO_OK"));
    Button("CONTROL_CANCEL")->setText(Text("MACRO_CANCLE"));
    Button("CONTROL2_APPLY")->setText(Text("PROFILE_APPLY"));
    Button("CONTROL_CLEAR")->setToolTip(Text("COMPOSITE_PROMPT_CLEAR"));
    Button("CONTROL_OSK")->setToolTip(Text("COMPOSITE_PROMPT_OSK"));
    static_cast<QLabel*>(Control("TISHI_SINGLE_STATIC"))->setText(Text("SINGLE_STATIC"));
    static_cast<QLabel*>(Control("FUNC_KEY_RADIO_KB_STATIC"))->setText(Text("IDS_MACRO_KB_KEY"));
    static_cast<QLabel*>(Control("FUNC_KEY_RADIO_MOU_STATIC"))->setText(Text("IDS_MACRO_MOU_KEY"));
    static_cast<QLabel*>(Control("MEDIA_SETTING_TISHI"))->setText(Text("MEDIA_EDIT_TISHI"));
    static_cast<QLabel*>(Control("FUNCTION_KEY_SETTING_TISHI"))->setText(Text("FUNCTION_TISHI"));

    m_refreshing = true;
    m_mouseList->clear();
    for (const std::string& name : MouseEntryNames(m_context.language)) {
        m_mouseList->addItem(QString::fromStdString(name));
    }
    m_mediaList->clear();
    for (const std::string& name : MediaEntryNames(m_context.language)) {
        m_mediaList->addItem(QString::fromStdString(name));
    }
    m_functionList->clear();
    for (const std::string& name : FunctionEntryNames(m_context.language)) {
        m_functionList->addItem(QString::fromStdString(name));
    }
    m_refreshing = false;
    m_macroPage->ApplyLanguage();
    if (m_model.IsOpen()) {
        RefreshAll();
    }
}

void Varnel_DlgComposite::Open(std::size_t record, bool macroOnly, const QRect& button, const QString& keyName) {
    m_model.Open(record, macroOnly, ReadRecordDelayMode(m_context.settings, m_context.language));
    m_keyName->setText(keyName);
    ApplyLanguage();
    for (const PageButton& page : kPageButtons) {
        Button(page.key)->setEnabled(!macroOnly || page.page == DialogPage::kMacro);
    }
    Button("CONTROL_CLEAR")->setEnabled(!macroOnly);
    Button("CONTROL_OSK")->setEnabled(!macroOnly);
    RefreshAll();

    QScreen* screen = QGuiApplication::screenAt(button.center());
    if (screen == nullptr) {
        screen = parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    }
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const ScreenPoint at =
        KeyDialogPosition({button.x(), button.y(), button.width(), button.height()}, width(), height(),
                          {available.x(), available.y(), available.width(), available.height()}, macroOnly);
    move(at.x, at.y);

    if (!m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    UpdateKeyboardGrab();
}

void Varnel_DlgComposite::PressPage(DialogPage page) {
    if (m_model.PressPageButton(page)) {
        RefreshAll();
    }
}

void Varnel_DlgComposite::Reskin() {
    const PagePictures& pictures = CurrentPictures();
    for (const auto& [key, entry] : m_buttons) {
        const bool enabled = entry.button->isEnabled();
        PlaceAndSkin(*entry.button, key, entry.toggle ? pictures.toggle : pictures.push,
                     entry.toggle ? FaceRule::Choice : FaceRule::Apply);
        entry.button->setEnabled(enabled && entry.button->isEnabled());
    }
    if (m_model.MacroOnly()) {
        m_mask->SetPicture(m_macroOnlyMask);
    } else {
        m_mask->SetPicture(m_masks[m_model.ShownPage()]);
    }
}

void Varnel_DlgComposite::ShowPageControls() {
    const DialogPage shown = m_model.ShownPage();
    for (const char* key : kKeyPageControls) {
        Control(key)->setVisible(shown == DialogPage::kKey);
    }
    for (const char* key : kMediaPageControls) {
        Control(key)->setVisible(shown == DialogPage::kMedia);
    }
    for (const char* key : kFunctionPageControls) {
        Control(key)->setVisible(shown == DialogPage::kFunction);
    }
    m_macroPage->SetVisible(shown == DialogPage::kMacro);
    for (const PageButton& page : kPageButtons) {
        Button(page.key)->SetSelected(page.page == shown);
    }
}

void Varnel_DlgComposite::RefreshKeyPage() {
    const bool keyboard = m_model.KeyboardChoice();
    Button("FUNC_KEY_RADIO_KB")->SetSelected(keyboard);
    Button("FUNC_KEY_RADIO_MOU")->SetSelected(!keyboard);
    m_keyInput->setEnabled(keyboard);
    m_mouseList->setEnabled(!keyboard);
    const ScanCode captured = m_model.CapturedKey();
    m_keyInput->setText(captured != 0 ? QString::fromStdString(KeyDisplayName(captured, m_context.language))
                                      : QString());
    m_mouseList->setCurrentIndex(m_model.MouseEntry());
}

void Varnel_DlgComposite::RefreshAll() {
    m_refreshing = true;
    Reskin();
    ShowPageControls();
    RefreshKeyPage();
    m_mediaList->setCurrentRow(m_model.MediaEntry());
    m_functionList->setCurrentRow(m_model.FunctionEntry());
    m_refreshing = false;
    m_macroPage->Refresh();
    RefreshApplyButton();
    UpdateKeyboardGrab();
}

void Varnel_DlgComposite::RefreshApplyButton() {
    if (CPngButton* apply = Button("CONTROL2_APPLY")) {
        apply->setEnabled(m_model.Dirty());
    }
}

void Varnel_DlgComposite::UpdateKeyboardGrab() {
    const bool listening = isVisible() && !m_messageShowing && (m_model.Capturing() || m_model.Macros().Recording());
    if (listening && !m_grabbing) {
        grabKeyboard();
        m_grabbing = true;
    } else if (!listening && m_grabbing) {
        releaseKeyboard();
        m_grabbing = false;
    }
}

bool Varnel_DlgComposite::HandleKeyEvent(QKeyEvent* event) {
    MacroEditor& editor = m_model.Macros();
    const bool recording = editor.Recording();
    if (!recording && !m_model.Capturing()) {
        return false;
    }
    const bool release = event->type() == QEvent::KeyRelease;
    if (release && event->isAutoRepeat()) {
        // The window system reports a held key as releases and presses; only the presses carry
        // the repeat, which the hooks' rules recognise.
        return true;
    }
    const ScanCode code = platform::NativeScanCodeToScanCode(event->nativeScanCode());
    if (code == 0) {
        return false;
    }
    const SynthesisedKeyEvent hook = KeyEventFromScanCode(code, release, event->isAutoRepeat());
    HookVerdict verdict = HookVerdict::kPassOn;
    if (recording) {
        const std::int64_t now = m_clock();
        verdict = editor.RecordLowLevelEvent(hook.message, hook.virtualKey, now);
        if (verdict == HookVerdict::kPassOn) {
            verdict = editor.RecordKeyEvent(hook.virtualKey, hook.eventWord, now);
        }
        m_macroPage->Refresh();
    } else {
        const ScanCode before = m_model.CapturedKey();
        verdict = m_model.LowLevelKeyEvent(hook.message, hook.virtualKey);
        if (verdict == HookVerdict::kPassOn) {
            verdict = m_model.KeyEvent(hook.virtualKey, hook.eventWord);
        }
        if (m_model.CapturedKey() != before || m_model.Dirty()) {
            RefreshKeyPage();
            RefreshApplyButton();
        }
    }
    return verdict == HookVerdict::kSwallow;
}

bool Varnel_DlgComposite::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && isVisible() &&
        !m_messageShowing) {
        // Keys meant for another window (a message box over the dialog) are left alone.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() == this) {
            if (HandleKeyEvent(static_cast<QKeyEvent*>(event))) {
                return true;
            }
        }
    }
    return CBaseDialog::eventFilter(watched, event);
}

void Varnel_DlgComposite::keyPressEvent(QKeyEvent* event) {
    // Escape closes the dialog only where no key is being caught (it was handled above then).
    CBaseDialog::keyPressEvent(event);
}

void Varnel_DlgComposite::ApplyChanges() {
    if (!m_model.IsOpen()) {
        return;
    }
    m_macroPage->CommitName();
    const KeyDialogApplyResult result = m_model.Apply();
    std::vector<std::size_t> records{result.record};
    records.insert(records.end(), result.fellBack.begin(), result.fellBack.end());
    RefreshAll();
    emit Applied(records);
}

void Varnel_DlgComposite::accept() {
    ApplyChanges();
    Finish();
    CBaseDialog::accept();
}

void Varnel_DlgComposite::reject() {
    Finish();
    CBaseDialog::reject();
}

void Varnel_DlgComposite::closeEvent(QCloseEvent* event) {
    Finish();
    CBaseDialog::closeEvent(event);
}

void Varnel_DlgComposite::Finish() {
    if (!m_model.IsOpen()) {
        return;
    }
    m_macroPage->FinishCellEdit();
    m_model.Close();
    if (m_grabbing) {
        releaseKeyboard();
        m_grabbing = false;
    }
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    m_macroPage->Refresh();
    emit Closed();
}

QStringList Varnel_DlgComposite::RequiredPictures() {
    QStringList pictures;
    for (const char* stem : {"key", "macro", "macro2", "media", "function"}) {
        for (const char* state : {"_normal.jpg", "_over.jpg", "_down.jpg"}) {
            pictures << QString::fromLatin1(stem) + QString::fromLatin1(state);
        }
    }
    pictures << QStringLiteral("macro_disable.jpg") << QStringLiteral("macro2_disable.jpg");
    return pictures;
}

const std::vector<QString>& Varnel_DlgComposite::OnScreenKeyboards() {
    static const std::vector<QString> programs{QStringLiteral("onboard"),     QStringLiteral("florence"),
                                               QStringLiteral("squeekboard"), QStringLiteral("matchbox-keyboard"),
                                               QStringLiteral("kvkbd"),       QStringLiteral("xvkbd")};
    return programs;
}

bool Varnel_DlgComposite::OpenOnScreenKeyboard() {
    for (const QString& name : OnScreenKeyboards()) {
        const QString program = QStandardPaths::findExecutable(name);
        if (!program.isEmpty() && QProcess::startDetached(program, {})) {
            return true;
        }
    }
    m_sink->ShowMessage(m_context.language.Text("COMPOSITE_OSK_MISSING"), std::string(), MessageButtons::kOk);
    return false;
}

} // namespace brasslane::gui
