#include "gui/LightingPanelView.h"

#include "gui/widgets/CColorButton.h"
#include "gui/widgets/CPictureSlider.h"
#include "gui/widgets/CPictureStatic.h"
#include "gui/widgets/CPngButton.h"
#include "gui/widgets/SkinPictures.h"

#include "core/app/AppCore.h"
#include "core/app/MainWindowModel.h"
#include "core/resources/SkinLayout.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QUrl>

#include <algorithm>
#include <array>

namespace brasslane::gui {

namespace {

constexpr std::array<std::string_view, 3> kFieldKeys{"COLOR_R", "COLOR_G", "COLOR_B"};
// The colour buttons of the effects' two pairs; both show the state's single colour.
constexpr std::array<std::string_view, 2> kEffectColourButtons{"CONTROL_HXysButton", "CONTROL_FYYSButton"};
constexpr std::array<std::string_view, 2> kColourfulToggles{"CONTROL_HXsjsStaPic", "CONTROL_FYSJSStaPic"};
// Every place the two direction pictures can be shown at: the plain keys and the 2 / 3 variants.
constexpr std::array<std::array<std::string_view, 2>, 3> kDirectionPictures{{
    {"CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"},
    {"CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2"},
    {"CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"},
}};

QColor ToQColor(Rgb colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

Rgb ToRgb(const QColor& colour) {
    return Rgb{static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
               static_cast<std::uint8_t>(colour.blue())};
}

bool IsArrowKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

} // namespace

LightingPanelView::LightingPanelView(AppCore& core, MainWindowModel& model, ControlLookup control,
                                     std::vector<std::string> lightingKeys, std::function<void()> repaintKeys,
                                     QString webSite, QObject* parent)
    : QObject(parent), m_core(core), m_model(model), m_control(std::move(control)),
      m_lightingKeys(std::move(lightingKeys)), m_repaintKeys(std::move(repaintKeys)), m_webSite(std::move(webSite)),
      m_panel(core.Lighting(), core.KeyColours(), [&core](int effect) { return core.Text().Mode(effect); }),
      m_skins(core.Paths().skinsFolder) {
    // The slider pictures come from the panel's rules, so that the view never numbers them.
    for (const auto& [key, level] : {std::pair{"CONTROL_LightSlider", LevelControl::kBrightness},
                                     std::pair{"CONTROL_SpeedSlider", LevelControl::kSpeed}}) {
        if (auto* slider = qobject_cast<CPictureSlider*>(Control(key))) {
            slider->SetMaximum(LevelMaximum(level));
            std::vector<QPixmap> pictures;
            for (int position = 0; position <= LevelMaximum(level); ++position) {
                pictures.push_back(Picture(LevelPicture(level, position)));
            }
            slider->SetPictures(std::move(pictures));
        }
    }
    for (const std::string_view key :
         {"CONTROL_HXysButton", "CONTROL_FYYSButton", "CONTROL_USERjsButton", "CONTROL_USERysButton"}) {
        if (auto* button = qobject_cast<CColorButton*>(Control(key))) {
            button->SetAutomaticColour(ToQColor(kAutomaticColour));
        }
    }
    if (auto* modes = qobject_cast<QComboBox*>(Control("CONTROL_umCombo"))) {
        modes->setEditable(true);
        // The edit field renames the current mode; Enter must not add an eleventh entry.
        modes->setInsertPolicy(QComboBox::NoInsert);
    }
    if (auto* effects = qobject_cast<QComboBox*>(Control("CONTROL_XGcombox"))) {
        effects->installEventFilter(this);
    }
    Connect();
}

LightingPanelView::~LightingPanelView() = default;

const QPixmap& LightingPanelView::Picture(std::string_view name) {
    if (const auto found = m_pictures.find(name); found != m_pictures.end()) {
        return found->second;
    }
    QPixmap pixmap;
    QImage image;
    // A missing picture leaves its control without one; the skin check reports it at start-up.
    if (!name.empty() && LoadSkinPicture(m_skins / std::string(name), image)) {
        pixmap = QPixmap::fromImage(image);
    }
    return m_pictures.emplace(std::string(name), std::move(pixmap)).first->second;
}

void LightingPanelView::ShowPicture(std::string_view key, const PictureShown& shown) {
    if (auto* picture = qobject_cast<CPictureStatic*>(Control(key))) {
        picture->SetPictures(Picture(shown.normal), Picture(shown.chosen));
        picture->SetChecked(shown.isChosen);
    }
}

void LightingPanelView::PaintKey(CPngButton& button, std::optional<Rgb> colour) {
    if (!colour) {
        button.SetTint(std::nullopt);
        return;
    }
    button.SetTint(ToQColor(*colour), ToQColor(LegendColourOver(*colour)));
}

QString LightingPanelView::WebAddress(std::string_view key) const {
    if (key == "CONTROL_Network") {
        return m_webSite;
    }
    // The two social pages come from the skin, which knows the maker; without them the
    // buttons open the maker's site rather than a made-up page.
    if (key == "CONTROL_Facebook") {
        return QString::fromStdString(SkinLayout(m_core.Paths().mainSkin).Link("FacebookLink"));
    }
    if (key == "CONTROL_twitter") {
        return QString::fromStdString(SkinLayout(m_core.Paths().mainSkin).Link("TwitterLink"));
    }
    return {};
}

bool LightingPanelView::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys would step the effect list through every effect, sending each one to the
    // keyboard; only a deliberate choice in the list selects an effect.
    if (event->type() == QEvent::KeyPress && IsArrowKey(static_cast<QKeyEvent*>(event)->key())) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void LightingPanelView::AfterKeyColoursChanged() {
    if (m_repaintKeys) {
        m_repaintKeys();
    }
}

void LightingPanelView::Connect() {
    if (auto* effects = qobject_cast<QComboBox*>(Control("CONTROL_XGcombox"))) {
        connect(effects, &QComboBox::activated, this, [this](int position) {
            m_panel.SelectEffect(position);
            Paint();
            AfterKeyColoursChanged();
        });
    }
    if (auto* brightness = qobject_cast<CPictureSlider*>(Control("CONTROL_LightSlider"))) {
        connect(brightness, &CPictureSlider::PositionReported, this, [this](int position) {
            m_panel.MoveBrightness(position);
            Paint();
        });
    }
    if (auto* speed = qobject_cast<CPictureSlider*>(Control("CONTROL_SpeedSlider"))) {
        connect(speed, &CPictureSlider::PositionReported, this, [this](int position) {
            m_panel.MoveSpeed(position);
            Paint();
        });
    }
    for (const auto& pair : kDirectionPictures) {
        for (std::size_t i = 0; i < 2; ++i) {
            if (auto* picture = qobject_cast<CPictureStatic*>(Control(pair[i]))) {
                connect(picture, &CPictureStatic::Clicked, this, [this, first = i == 0] {
                    m_panel.PressDirection(first);
                    Paint();
                });
            }
        }
    }
    for (const std::string_view key : kEffectColourButtons) {
        if (auto* button = qobject_cast<CColorButton*>(Control(key))) {
            connect(button, &CColorButton::ColourChosen, this, [this](const QColor& colour) {
                m_panel.ChooseColour(ToRgb(colour));
                Paint();
            });
        }
    }
    for (const std::string_view key : kColourfulToggles) {
        if (auto* toggle = qobject_cast<CPictureStatic*>(Control(key))) {
            connect(toggle, &CPictureStatic::Clicked, this, [this] {
                m_panel.ToggleColourful();
                Paint();
            });
        }
    }
    for (std::size_t i = 0; i < kFourColourPictures.size(); ++i) {
        if (auto* picture = qobject_cast<CPictureStatic*>(Control(kFourColourPictures[i].key))) {
            connect(picture, &CPictureStatic::Clicked, this, [this, i] {
                m_panel.PressFourColour(static_cast<int>(i));
                Paint();
            });
        }
    }
    for (int rate = 0; rate < 4; ++rate) {
        if (auto* button = qobject_cast<CPngButton*>(Control("FUNC_REPORT" + std::to_string(rate + 1)))) {
            connect(button, &CPngButton::clicked, this, [this, rate] {
                m_panel.PressReportRate(rate);
                Paint();
            });
        }
    }
    for (int preset = 0; preset < 8; ++preset) {
        if (auto* button = qobject_cast<CPngButton*>(Control("CONTROL_Color" + std::to_string(preset + 1)))) {
            connect(button, &CPngButton::clicked, this, [this, preset] {
                const std::array<std::string, 3> texts = m_panel.PressPreset(preset);
                for (std::size_t i = 0; i < kFieldKeys.size(); ++i) {
                    if (auto* field = qobject_cast<QLineEdit*>(Control(kFieldKeys[i]))) {
                        field->setText(QString::fromStdString(texts[i]));
                    }
                }
                Paint();
            });
        }
    }
    for (const std::string_view key : kFieldKeys) {
        if (auto* field = qobject_cast<QLineEdit*>(Control(key))) {
            connect(field, &QLineEdit::textChanged, this, [field](const QString& text) {
                const QString kept = QString::fromStdString(ColourFieldText(text.toStdString()));
                if (kept != text) {
                    field->setText(kept);
                }
            });
        }
    }
    for (const std::string_view key : {"CONTROL_Network", "CONTROL_Facebook", "CONTROL_twitter"}) {
        if (auto* button = qobject_cast<CPngButton*>(Control(key))) {
            connect(button, &CPngButton::clicked, this,
                    [this, key] { QDesktopServices::openUrl(QUrl(WebAddress(key))); });
        }
    }
    if (auto* lightingSwitch = qobject_cast<CPictureStatic*>(Control("CONTROL_DengStaPic"))) {
        connect(lightingSwitch, &CPictureStatic::Clicked, this,
                [this] { m_model.SetLightingSwitch(!m_model.LightingSwitchOn()); });
    }

    // The user modes.
    if (auto* modes = qobject_cast<QComboBox*>(Control("CONTROL_umCombo"))) {
        connect(modes, &QComboBox::activated, this, [this](int mode) {
            m_panel.ChooseMode(mode);
            Paint();
            AfterKeyColoursChanged();
        });
        connect(modes->lineEdit(), &QLineEdit::textEdited, this, [this, modes](const QString& text) {
            m_panel.RenameCurrentMode(text.toStdString());
            const LightingPanelShown shown = m_panel.Shown();
            const auto names = ReplaceModeName(shown.modeNames, shown.mode, text.toStdString());
            const QSignalBlocker block(modes);
            modes->setItemText(shown.mode, QString::fromStdString(names[static_cast<std::size_t>(shown.mode)]));
        });
    }
    if (auto* mark = qobject_cast<CColorButton*>(Control("CONTROL_USERjsButton"))) {
        connect(mark, &CColorButton::ColourChosen, this, [this](const QColor& colour) {
            m_panel.ChooseMarkColour(ToRgb(colour));
            Paint();
            AfterKeyColoursChanged();
        });
    }
    if (auto* base = qobject_cast<CColorButton*>(Control("CONTROL_USERysButton"))) {
        connect(base, &CColorButton::ColourChosen, this, [this](const QColor& colour) {
            m_panel.ChooseBaseColour(ToRgb(colour));
            Paint();
        });
    }
    for (const auto& [key, tool] :
         {std::pair{"CONTROL_USERgjStaPic1", PaintTool::kBase}, std::pair{"CONTROL_USERgjStaPic2", PaintTool::kMark}}) {
        if (auto* picture = qobject_cast<CPictureStatic*>(Control(key))) {
            connect(picture, &CPictureStatic::Clicked, this, [this, chosen = tool] {
                m_panel.ChooseTool(chosen);
                Paint();
            });
        }
    }
}

void LightingPanelView::FillCombo(QComboBox* combo, const std::vector<QString>& entries, int selected) {
    const QSignalBlocker block(combo);
    bool same = combo->count() == static_cast<int>(entries.size());
    for (int i = 0; same && i < combo->count(); ++i) {
        same = combo->itemText(i) == entries[static_cast<std::size_t>(i)];
    }
    if (!same) {
        combo->clear();
        for (const QString& entry : entries) {
            combo->addItem(entry);
        }
    }
    combo->setCurrentIndex(selected);
}

void LightingPanelView::Refresh() {
    m_panel.ForgetSelection();
    Paint();
}

void LightingPanelView::Paint() {
    const LightingPanelShown shown = m_panel.Shown();

    for (const std::string& key : m_lightingKeys) {
        QWidget* control = Control(key);
        // The busy picture belongs to the apply, not to the panel.
        if (control == nullptr || key == "CONTROL_JDTStatic") {
            continue;
        }
        const bool visible = std::find(shown.shownKeys.begin(), shown.shownKeys.end(), key) != shown.shownKeys.end();
        control->setVisible(visible);
    }
    ShowPicture("CONTROL_DengStaPic", shown.lightingSwitch);

    if (auto* effects = qobject_cast<QComboBox*>(Control("CONTROL_XGcombox"))) {
        std::vector<QString> names;
        for (const std::string& name : shown.effectNames) {
            names.push_back(QString::fromStdString(name));
        }
        FillCombo(effects, names, shown.effectPosition);
    }
    if (auto* brightness = qobject_cast<CPictureSlider*>(Control("CONTROL_LightSlider"))) {
        brightness->SetPosition(shown.brightnessPosition);
    }
    if (auto* speed = qobject_cast<CPictureSlider*>(Control("CONTROL_SpeedSlider"))) {
        speed->SetPosition(shown.speedPosition);
    }
    if (!shown.direction.label.empty()) {
        for (std::size_t i = 0; i < 2; ++i) {
            ShowPicture(shown.direction.pictures[i], shown.directionPictures[i]);
        }
    }
    for (const std::string_view key : kEffectColourButtons) {
        if (auto* button = qobject_cast<CColorButton*>(Control(key))) {
            button->SetColour(ToQColor(shown.colour));
        }
    }
    for (const std::string_view key : kColourfulToggles) {
        ShowPicture(key, shown.colourfulToggle);
    }
    for (std::size_t i = 0; i < kFourColourPictures.size(); ++i) {
        ShowPicture(kFourColourPictures[i].key, shown.fourColourPictures[i]);
    }
    for (int rate = 0; rate < 4; ++rate) {
        if (auto* button = qobject_cast<CPngButton*>(Control("FUNC_REPORT" + std::to_string(rate + 1)))) {
            button->SetSelected(rate == shown.reportRate);
        }
    }

    if (shown.userModes) {
        if (auto* modes = qobject_cast<QComboBox*>(Control("CONTROL_umCombo"))) {
            std::vector<QString> names;
            for (const std::string& name : shown.modeNames) {
                names.push_back(QString::fromStdString(name));
            }
            FillCombo(modes, names, shown.mode);
        }
        if (auto* mark = qobject_cast<CColorButton*>(Control("CONTROL_USERjsButton"))) {
            mark->SetColour(ToQColor(shown.markColour));
        }
        if (auto* base = qobject_cast<CColorButton*>(Control("CONTROL_USERysButton"))) {
            base->SetColour(ToQColor(shown.baseColour));
        }
        ShowPicture("CONTROL_USERgjStaPic1", shown.toolPictures[0]);
        ShowPicture("CONTROL_USERgjStaPic2", shown.toolPictures[1]);
    }
}

} // namespace brasslane::gui
