// The lighting panel of the main window driven in-process against the simulated keyboard: every
// control's action checked on the keyboard's lighting bytes, the visibility of the controls per
// effect, painting keys, the user modes and the preview on the key buttons.

#include "AppTestHarness.h"

#include "gui/LightingPanelView.h"
#include "gui/widgets/CColorButton.h"
#include "gui/widgets/CPictureSlider.h"
#include "gui/widgets/CPictureStatic.h"
#include "gui/widgets/CPngButton.h"

#include "core/app/MainWindowButtons.h"
#include "core/base/Messages.h"
#include "core/lighting/UserModeFile.h"
#include "core/resources/IniFile.h"

#include <QComboBox>
#include <QLineEdit>

#include <fstream>

namespace brasslane::gui::test {
namespace {

using Frame = std::array<std::uint8_t, 64>;

constexpr ScanCode kKeyA = 0x1E;
constexpr int kColourIndexA = 3 * 21 + 1;

// The keyboard's profile 0 lighting block, colour bytes turned back into red, green, blue.
struct Block {
    std::array<std::uint8_t, 42> bytes{};
    int operator[](std::size_t offset) const { return bytes[offset]; }
    Rgb Colour() const { return Rgb{bytes[6], bytes[5], bytes[7]}; }
};

Block KeyboardBlock(AppHarness& h) {
    const auto area = h.Keyboard().Lighting();
    Block block;
    std::copy_n(area.begin(), block.bytes.size(), block.bytes.begin());
    return block;
}

Rgb KeyboardKeyColour(AppHarness& h, int index) {
    const auto area = h.Keyboard().KeyColours();
    const auto at = static_cast<std::size_t>(index * 3);
    return Rgb{area[at + 1], area[at], area[at + 2]};
}

std::vector<Frame> TakeLog(AppHarness& h) {
    std::vector<Frame> log = h.Keyboard().RequestLog();
    h.Keyboard().ClearRequestLog();
    return log;
}

std::vector<Frame> Writes(const std::vector<Frame>& log, std::uint8_t command) {
    std::vector<Frame> writes;
    std::copy_if(log.begin(), log.end(), std::back_inserter(writes),
                 [command](const Frame& frame) { return frame[3] == command; });
    return writes;
}

// Starts the program with the lighting switch stored on (or off), the window open and the
// keyboard read. `modeFile` (optional) becomes profile 0's mode file; `info` edits the
// keyboard's information block and `lighting` its lighting area before the program reads them.
struct LitStart {
    bool switchOn = true;
    std::string modeFile;
    std::function<void(std::array<std::uint8_t, 44>&)> info;
    std::function<void(std::array<std::uint8_t, 126>&)> lighting;
};

bool Start(AppHarness& h, const LitStart& how = {}) {
    std::filesystem::create_directories(h.UserFolder());
    std::ofstream(h.UserFolder() / "wskb.ini") << "[KEYCOLOR]\nDengCheck=" << (how.switchOn ? 1 : 0) << "\n";
    if (!how.modeFile.empty()) {
        std::ofstream(UserModeFile::PathFor(h.UserFolder(), 0), std::ios::binary) << how.modeFile;
    }
    if (!h.Start({"/Start"}) || !h.WaitForState("hidden-in-tray")) {
        return false;
    }
    if (how.info || how.lighting) {
        auto info = h.Keyboard().Info();
        if (how.info) {
            how.info(info);
        }
        h.Keyboard().SetInfo(info);
        auto lighting = h.Keyboard().Lighting();
        if (how.lighting) {
            how.lighting(lighting);
        }
        h.Keyboard().SetLighting(lighting);
    }
    if (!h.WaitForState("keyboard-connected")) {
        return false;
    }
    if (how.info || how.lighting) {
        // The program may have read the keyboard before the edit: read it again as a
        // connection does.
        h.Window().HandleMessage(MSG_PROFILE_SYNC, kCodeProf, 0);
    }
    h.Window().HandleMessage(MSG_OPEN, kCodeOpen, 0);
    return h.WaitForState("shown");
}

bool Shown(AppHarness& h, std::string_view key) {
    QWidget* control = h.Window().Control(key);
    return control != nullptr && control->isVisible();
}

void Click(QWidget* widget) {
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

QComboBox* Combo(AppHarness& h, std::string_view key) {
    return qobject_cast<QComboBox*>(h.Window().Control(key));
}

void SelectEffect(AppHarness& h, int effect) {
    const int position = h.Core().Lighting().EffectIndex().PositionOf(effect);
    ASSERT_GE(position, 0) << effect;
    QComboBox* effects = Combo(h, "CONTROL_XGcombox");
    effects->setCurrentIndex(position);
    emit effects->activated(position);
}

bool AnyTint(CVarnelDlg& window) {
    for (const KeyButtonId id : AllKeyButtons()) {
        if (window.KeyButton(id)->Tint()) {
            return true;
        }
    }
    return false;
}

TEST(LightingPanelTest, EveryControlSendsItsChangeToTheKeyboard) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(Start(h));
    CVarnelDlg& window = h.Window();
    ASSERT_TRUE(Shown(h, "CONTROL_XGcombox"));

    SelectEffect(h, 2);
    EXPECT_EQ(KeyboardBlock(h)[0], 2);
    EXPECT_EQ(KeyboardBlock(h)[4], 1); // the colourful flag goes with the effect

    auto* brightness = qobject_cast<CPictureSlider*>(window.Control("CONTROL_LightSlider"));
    emit brightness->PositionReported(2);
    EXPECT_EQ(KeyboardBlock(h)[1], 2);
    EXPECT_EQ(brightness->Position(), 2);

    auto* speed = qobject_cast<CPictureSlider*>(window.Control("CONTROL_SpeedSlider"));
    emit speed->PositionReported(0);
    EXPECT_EQ(KeyboardBlock(h)[2], 4); // position 0 is the slowest
    EXPECT_EQ(speed->Position(), 0);

    auto* left = qobject_cast<CPictureStatic*>(window.Control("CONTROL_BLFXLStaPic2"));
    auto* right = qobject_cast<CPictureStatic*>(window.Control("CONTROL_BLFXRStaPic2"));
    Click(left);
    EXPECT_EQ(KeyboardBlock(h)[3], 0xFF);
    EXPECT_TRUE(left->IsChecked());
    EXPECT_FALSE(right->IsChecked());
    Click(right);
    EXPECT_EQ(KeyboardBlock(h)[3], 0x00);
    EXPECT_TRUE(right->IsChecked());
    EXPECT_FALSE(left->IsChecked());

    // A colour from the chooser: single colour, the toggle shows off.
    CColorButton::SetNextChooserAnswer(QColor(10, 20, 30));
    Click(window.Control("CONTROL_HXysButton"));
    EXPECT_EQ(KeyboardBlock(h)[4], 0);
    EXPECT_EQ(KeyboardBlock(h).Colour(), (Rgb{10, 20, 30}));
    auto* toggle = qobject_cast<CPictureStatic*>(window.Control("CONTROL_HXsjsStaPic"));
    EXPECT_FALSE(toggle->IsChecked());
    Click(toggle);
    EXPECT_EQ(KeyboardBlock(h)[4], 1);
    EXPECT_TRUE(toggle->IsChecked());

    // Preset 1 is written as a chosen colour and shown in the value fields.
    Click(window.Control("CONTROL_Color1"));
    EXPECT_EQ(KeyboardBlock(h).Colour(), (Rgb{235, 99, 30}));
    EXPECT_EQ(KeyboardBlock(h)[4], 0);
    EXPECT_EQ(qobject_cast<QLineEdit*>(window.Control("COLOR_R"))->text(), "235");
    EXPECT_EQ(qobject_cast<QLineEdit*>(window.Control("COLOR_G"))->text(), "99");
    EXPECT_EQ(qobject_cast<QLineEdit*>(window.Control("COLOR_B"))->text(), "30");

    Click(window.Button("FUNC_REPORT3"));
    EXPECT_EQ(KeyboardBlock(h)[15], 2);
    EXPECT_TRUE(window.Button("FUNC_REPORT3")->IsSelected());
    EXPECT_FALSE(window.Button("FUNC_REPORT1")->IsSelected());

    SelectEffect(h, 17);
    Click(window.Control("CONTROL_LANPIC"));
    EXPECT_EQ(KeyboardBlock(h)[17], 3);
    EXPECT_TRUE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_LANPIC"))->IsChecked());
    EXPECT_FALSE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_LVPIC"))->IsChecked());

    // The second pair (effect 6) writes the same colour bytes.
    SelectEffect(h, 6);
    ASSERT_TRUE(Shown(h, "CONTROL_FYYSButton"));
    CColorButton::SetNextChooserAnswer(QColor(1, 2, 3));
    Click(window.Control("CONTROL_FYYSButton"));
    EXPECT_EQ(KeyboardBlock(h).Colour(), (Rgb{1, 2, 3}));

    // Effect 12's and 18's directions write the same byte from their own pictures.
    SelectEffect(h, 18);
    Click(window.Control("CONTROL_BLFXLStaPic"));
    EXPECT_EQ(KeyboardBlock(h)[3], 0xFF);
    EXPECT_TRUE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_BLFXLStaPic"))->IsChecked());
}

TEST(LightingPanelTest, ResetToDefaultsWritesTheDefaultBlockAndShowsIt) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(Start(h));
    CVarnelDlg& window = h.Window();
    SelectEffect(h, 12);
    Click(window.Button("FUNC_REPORT4"));
    ASSERT_EQ(KeyboardBlock(h)[0], 12);

    MessageBox::SetNextAnswer(MessageAnswer::kYes);
    Click(window.Button("FUNC_DEFAULT"));
    const Block block = KeyboardBlock(h);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[1], 5);
    EXPECT_EQ(block[2], 2);
    EXPECT_EQ(block[3], 0);
    EXPECT_EQ(block[4], 0xFF);
    EXPECT_EQ(block.Colour(), kWhite);
    EXPECT_EQ(block[15], 0);
    EXPECT_EQ(Combo(h, "CONTROL_XGcombox")->currentIndex(), h.Core().Lighting().EffectIndex().PositionOf(1));
    EXPECT_TRUE(window.Button("FUNC_REPORT1")->IsSelected());
    EXPECT_TRUE(Shown(h, "CONTROL_BLFXRStaPic2"));
    EXPECT_TRUE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_BLFXRStaPic2"))->IsChecked());
    EXPECT_TRUE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_HXsjsStaPic"))->IsChecked());
}

TEST(LightingPanelTest, EachEffectShowsOnlyItsControls) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    // A keyboard that offers neither effect 12 nor effect 18.
    LitStart how;
    how.info = [](auto& info) {
        std::fill(info.begin() + 12, info.end(), 0);
        const std::uint8_t effects[] = {1, 2, 3, 4, 5, 6, 17, 19, 20};
        std::copy(std::begin(effects), std::end(effects), info.begin() + 12);
    };
    ASSERT_TRUE(Start(h, how));
    ASSERT_EQ(Combo(h, "CONTROL_XGcombox")->count(), 9);
    EXPECT_EQ(Combo(h, "CONTROL_XGcombox")->itemText(0).toStdString(), h.Core().Text().Mode(1));
    const std::vector<std::string> variants{"CONTROL_BLFXStatic",  "CONTROL_BLFXLStaPic",  "CONTROL_BLFXRStaPic",
                                            "CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"};
    for (int position = 0; position < 9; ++position) {
        const int effect = h.Core().Lighting().EffectIndex().TypeAt(position);
        SelectEffect(h, effect);
        for (const std::string& key : variants) {
            EXPECT_FALSE(Shown(h, key)) << key << " with effect " << effect;
        }
        EXPECT_EQ(Shown(h, "CONTROL_BLFXLStaPic2"), effect <= 3) << effect;
        EXPECT_EQ(Shown(h, "CONTROL_HXysButton"), effect == 1 || effect == 2 || effect == 5) << effect;
        EXPECT_EQ(Shown(h, "CONTROL_HXsjsStaPic"), effect <= 3 || effect == 5) << effect;
        EXPECT_EQ(Shown(h, "CONTROL_FYYSButton"), effect == 6) << effect;
        EXPECT_EQ(Shown(h, "CONTROL_umCombo"), effect == 20) << effect;
        EXPECT_EQ(Shown(h, "CONTROL_LightSlider"), effect != 19) << effect;
    }

    SelectEffect(h, 17);
    EXPECT_TRUE(Shown(h, "CONTROL_LightSlider"));
    for (const char* key : {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"}) {
        EXPECT_TRUE(Shown(h, key)) << key;
    }
    for (const char* key : {"CONTROL_SpeedSlider", "CONTROL_BLFXLStaPic2", "CONTROL_HXysButton", "CONTROL_HXsjsStaPic",
                            "CONTROL_FYYSButton", "CONTROL_FYSJSStaPic", "CONTROL_umCombo"}) {
        EXPECT_FALSE(Shown(h, key)) << key;
    }
    // The controls kept hidden for every effect never show.
    for (const char* key : {"CONTROL_JTysButton", "CONTROL_TSysButton", "CONTROL_CDysButton", "CONTROL_FYCFStatic"}) {
        EXPECT_FALSE(Shown(h, key)) << key;
    }
}

TEST(LightingPanelTest, AFourColourChoiceOutOfRangeShowsGreenAndFieldsKeepAtMost255) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    LitStart how;
    how.lighting = [](auto& area) {
        area[0] = 17;
        area[17] = 9;
    };
    ASSERT_TRUE(Start(h, how));
    EXPECT_EQ(h.Core().Lighting().State().fourColour, 0);
    EXPECT_TRUE(qobject_cast<CPictureStatic*>(h.Window().Control("CONTROL_LVPIC"))->IsChecked());
    for (const char* key : {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LANPIC"}) {
        EXPECT_FALSE(qobject_cast<CPictureStatic*>(h.Window().Control(key))->IsChecked()) << key;
    }

    auto* red = qobject_cast<QLineEdit*>(h.Window().Control("COLOR_R"));
    ASSERT_TRUE(red->isVisible());
    TakeLog(h);
    red->clear();
    QTest::keyClicks(red, "300");
    EXPECT_EQ(red->text(), "255");
    red->clear();
    QTest::keyClicks(red, "255");
    EXPECT_EQ(red->text(), "255");
    red->clear();
    QTest::keyClicks(red, "25");
    EXPECT_EQ(red->text(), "25");
    EXPECT_TRUE(TakeLog(h).empty()); // the fields send nothing
}

TEST(LightingPanelTest, TheArrowKeysDoNotStepThroughTheEffects) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(Start(h));
    QComboBox* effects = Combo(h, "CONTROL_XGcombox");
    const int before = effects->currentIndex();
    TakeLog(h);
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left}) {
        QTest::keyClick(effects, key);
    }
    EXPECT_EQ(effects->currentIndex(), before);
    EXPECT_TRUE(TakeLog(h).empty());
}

TEST(LightingPanelTest, PaintingKeysInThePerKeyMode) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(Start(h));
    CVarnelDlg& window = h.Window();
    CPngButton* keyA = window.KeyButton(KeyButtonId::Key(kKeyA));

    // Another effect: a click paints nothing and sends nothing.
    SelectEffect(h, 5);
    const Rgb before = KeyboardKeyColour(h, kColourIndexA);
    TakeLog(h);
    Click(keyA);
    EXPECT_TRUE(TakeLog(h).empty());
    EXPECT_EQ(KeyboardKeyColour(h, kColourIndexA), before);

    SelectEffect(h, 20);
    ASSERT_TRUE(Shown(h, "CONTROL_umCombo"));
    Click(window.Control("CONTROL_USERgjStaPic2")); // the mark tool
    EXPECT_TRUE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_USERgjStaPic2"))->IsChecked());
    EXPECT_FALSE(qobject_cast<CPictureStatic*>(window.Control("CONTROL_USERgjStaPic1"))->IsChecked());
    CColorButton::SetNextChooserAnswer(QColor(0, 255, 0));
    TakeLog(h);
    Click(window.Control("CONTROL_USERjsButton"));
    const std::vector<Frame> chunks = Writes(TakeLog(h), 17);
    ASSERT_EQ(chunks.size(), 8u); // the whole profile, once
    EXPECT_TRUE(std::all_of(chunks.begin(), chunks.end(), [](const Frame& f) { return f[4] == 54; }));
    // Every key of the fresh mode is marked: they all turn green on screen and on the keyboard.
    EXPECT_EQ(KeyboardKeyColour(h, kColourIndexA), (Rgb{0, 255, 0}));
    ASSERT_TRUE(keyA->Tint());
    EXPECT_EQ(*keyA->Tint(), QColor(0, 255, 0));
    // Over green the legend turns dark so that it stays readable.
    EXPECT_EQ(keyA->LegendColour(), QColor(0, 0, 0));
    // A lit key covers its place: the window beneath is not painted for it.
    EXPECT_TRUE(keyA->testAttribute(Qt::WA_OpaquePaintEvent));

    TakeLog(h);
    Click(keyA);
    Click(keyA);
    const std::vector<Frame> writes = Writes(TakeLog(h), 17);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], writes[1]);
    EXPECT_EQ(writes[0][4], 3);
    EXPECT_EQ(writes[0][5] | (writes[0][6] << 8), kColourIndexA * 3);
    EXPECT_EQ(writes[0][8], 255); // green first
    EXPECT_TRUE(h.Core().KeyColours().IsMarked(kColourIndexA));

    // The same mark colour again sends nothing.
    CColorButton::SetNextChooserAnswer(QColor(0, 255, 0));
    Click(window.Control("CONTROL_USERjsButton"));
    EXPECT_TRUE(TakeLog(h).empty());

    // The base tool paints the base colour and clears the mark; the base colour alone sends nothing.
    CColorButton::SetNextChooserAnswer(QColor(0, 0, 255));
    Click(window.Control("CONTROL_USERysButton"));
    EXPECT_TRUE(TakeLog(h).empty());
    Click(window.Control("CONTROL_USERgjStaPic1"));
    Click(keyA);
    EXPECT_EQ(KeyboardKeyColour(h, kColourIndexA), (Rgb{0, 0, 255}));
    EXPECT_FALSE(h.Core().KeyColours().IsMarked(kColourIndexA));
    EXPECT_EQ(*keyA->Tint(), QColor(0, 0, 255));
    EXPECT_EQ(keyA->LegendColour(), QColor(255, 255, 255));
    // Stored in the mode file at once.
    const UserModeFile file(UserModeFile::PathFor(h.UserFolder(), 0));
    EXPECT_EQ(file.ReadKeyEntry(0, kColourIndexA), (UserKeyEntry{{0, 0, 255}, false}));
    EXPECT_EQ(file.ReadModeHeader(0).tool, PaintTool::kBase);
}

TEST(LightingPanelTest, UserModesAreChosenAndRenamedFromTheList) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    LitStart how;
    how.modeFile = "[PRESENTMODE]\nmode=4\n[MODENAME]\n0=Zero\n2=Two\n4=Four\n"
                   "[Mode4]\n64=0,255,0,0\n[Mode1]\n64=1,2,3,1\n";
    how.lighting = [](auto& area) { area[0] = 20; };
    ASSERT_TRUE(Start(h, how));
    QComboBox* modes = Combo(h, "CONTROL_umCombo");
    ASSERT_TRUE(modes->isVisible());
    ASSERT_EQ(modes->count(), 10);
    EXPECT_EQ(modes->currentIndex(), 4);
    EXPECT_EQ(modes->itemText(4), "Four");
    EXPECT_EQ(KeyboardKeyColour(h, kColourIndexA), (Rgb{0, 255, 0}));
    EXPECT_EQ(*h.Window().KeyButton(KeyButtonId::Key(kKeyA))->Tint(), QColor(0, 255, 0));

    modes->setCurrentIndex(1);
    emit modes->activated(1);
    EXPECT_EQ(KeyboardKeyColour(h, kColourIndexA), (Rgb{1, 2, 3}));
    EXPECT_EQ(*h.Window().KeyButton(KeyButtonId::Key(kKeyA))->Tint(), QColor(1, 2, 3));
    const std::filesystem::path path = UserModeFile::PathFor(h.UserFolder(), 0);
    EXPECT_EQ(UserModeFile(path).ReadCurrentMode(), 1);

    // Renaming mode 2 touches only its name.
    modes->setCurrentIndex(2);
    emit modes->activated(2);
    std::ifstream in(path, std::ios::binary);
    const std::string beforeRename((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    modes->lineEdit()->selectAll();
    QTest::keyClicks(modes->lineEdit(), "Gaming");
    EXPECT_EQ(modes->itemText(2), "Gaming");
    EXPECT_EQ(modes->count(), 10);
    const UserModeFile file(path);
    EXPECT_EQ(file.ReadModeName(2), "Gaming");
    EXPECT_EQ(file.ReadModeName(0), "Zero");
    EXPECT_EQ(file.ReadModeName(4), "Four");
    std::string expected = beforeRename;
    const auto at = expected.find("2=Two");
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, 5, "2=Gaming");
    std::ifstream after(path, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), expected);
}

TEST(LightingPanelTest, TheSwitchShowsThePanelAndThePreviewAndOffClearsThem) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    LitStart how;
    how.switchOn = false;
    ASSERT_TRUE(Start(h, how));
    CVarnelDlg& window = h.Window();
    auto* lightingSwitch = qobject_cast<CPictureStatic*>(window.Control("CONTROL_DengStaPic"));
    EXPECT_FALSE(lightingSwitch->IsChecked());
    EXPECT_FALSE(Shown(h, "CONTROL_XGcombox"));
    EXPECT_FALSE(window.TimerActive(kTimerPreview));

    Click(lightingSwitch);
    ASSERT_TRUE(h.WaitForJob());
    EXPECT_TRUE(h.Model().LightingSwitchOn());
    EXPECT_TRUE(lightingSwitch->IsChecked());
    EXPECT_TRUE(Shown(h, "CONTROL_XGcombox"));
    EXPECT_TRUE(Shown(h, "CONTROL_BLFXLStaPic2")); // effect 1
    EXPECT_EQ(IniFile(h.UserFolder() / "wskb.ini").Read("KEYCOLOR", "DengCheck", ""), "1");
    EXPECT_TRUE(window.TimerActive(kTimerPreview));
    ASSERT_TRUE(WaitFor([&] { return AnyTint(window); }, 2000));
    // Effect 1 colourful: a moving rainbow, each key with a legend colour that suits it.
    for (const KeyButtonId id : AllKeyButtons()) {
        const CPngButton* button = window.KeyButton(id);
        if (button->Tint()) {
            const Rgb colour{static_cast<std::uint8_t>(button->Tint()->red()),
                             static_cast<std::uint8_t>(button->Tint()->green()),
                             static_cast<std::uint8_t>(button->Tint()->blue())};
            const Rgb legend = LegendColourOver(colour);
            EXPECT_EQ(button->LegendColour(), QColor(legend.red, legend.green, legend.blue));
        }
    }

    // A key click in lighting mode with effect 1 opens no key dialog.
    Click(window.KeyButton(KeyButtonId::Key(kKeyA)));
    EXPECT_FALSE(window.LastKeyDialogRequest());

    Click(lightingSwitch);
    EXPECT_FALSE(h.Model().LightingSwitchOn());
    EXPECT_FALSE(window.TimerActive(kTimerPreview));
    EXPECT_FALSE(AnyTint(window));
    EXPECT_FALSE(Shown(h, "CONTROL_XGcombox"));
    EXPECT_TRUE(Shown(h, "CONTROL_DengStaPic"));
    EXPECT_EQ(IniFile(h.UserFolder() / "wskb.ini").Read("KEYCOLOR", "DengCheck", ""), "0");
    Settle(300);
    EXPECT_FALSE(AnyTint(window)); // no frame came after
}

TEST(LightingPanelTest, TheKeyboardsLightingChangeRebuildsThePanel) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(Start(h));
    auto area = h.Keyboard().Lighting();
    area[0] = 12;
    area[15] = 7; // counts as the fourth report rate
    h.Keyboard().SetLighting(area);
    h.Window().StartTimer(kTimerLightingReload, 0);
    ASSERT_TRUE(WaitFor([&] { return Shown(h, "CONTROL_BLFXLStaPic3"); }));
    EXPECT_EQ(Combo(h, "CONTROL_XGcombox")->currentIndex(), h.Core().Lighting().EffectIndex().PositionOf(12));
    EXPECT_TRUE(h.Window().Button("FUNC_REPORT4")->IsSelected());
}

TEST(LightingPanelTest, TheKeyboardsSettingsResetTurnsTheSwitchOffAndRestoresTheModes) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    LitStart how;
    how.modeFile = "[PRESENTMODE]\nmode=3\n[MODENAME]\n3=Mine\n";
    ASSERT_TRUE(Start(h, how));
    ASSERT_EQ(Combo(h, "CONTROL_XGcombox")->isVisible(), true);
    h.Window().StartTimer(kTimerSettingsReset, 0);
    // The keyboard is read and written on the worker; the window shows the outcome at its end.
    ASSERT_TRUE(WaitFor([&] { return !h.Model().LightingSwitchOn() && !h.Model().JobRunning(); }));
    EXPECT_FALSE(Shown(h, "CONTROL_XGcombox"));
    EXPECT_FALSE(qobject_cast<CPictureStatic*>(h.Window().Control("CONTROL_DengStaPic"))->IsChecked());
    EXPECT_FALSE(h.Window().TimerActive(kTimerPreview));
    EXPECT_FALSE(AnyTint(h.Window()));
    // The mode file is the installed default again.
    EXPECT_NE(UserModeFile(UserModeFile::PathFor(h.UserFolder(), 0)).ReadModeName(3), "Mine");
}

} // namespace
} // namespace brasslane::gui::test
