// The main window driven in-process against the simulated keyboard: start-up, layout, key
// faces, key-selection mode, apply, the keyboard leaving, the window's own keys and close
// request, backup and restore, and the close sequence.

#include "AppTestHarness.h"

#include "gui/CAboutDlg.h"
#include "gui/CTrayIcon.h"
#include "gui/FileDialog.h"
#include "gui/widgets/CPngButton.h"

#include "core/app/MainWindowButtons.h"
#include "core/base/Messages.h"
#include "core/resources/SkinKeys.h"
#include "core/resources/SkinLayout.h"
#include "platform/linux/SingleInstance.h"

#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include <fstream>
#include <functional>

namespace brasslane::gui::test {
namespace {

constexpr ScanCode kKeyA = 0x1E;
constexpr ScanCode kKeyB = 0x30;
const std::filesystem::path kSkins = std::filesystem::path(BRASSLANE_BIN_DIR) / "Skins";

QString Text(AppHarness& h, std::string_view key) {
    return QString::fromStdString(h.Core().Text().Text(key));
}

// Assigns key A to act as key B in the active profile, as the key assignment dialog would.
void AssignAToB(AppHarness& h) {
    const std::optional<std::size_t> record = h.Model().RecordOf(KeyButtonId::Key(kKeyA));
    ASSERT_TRUE(record);
    {
        std::lock_guard lock(h.Core().Working().lock);
        KeyEntry entry = h.Core().Working().image.Entry(*record);
        entry.type = static_cast<std::uint16_t>(AssignmentType::kKey);
        entry.param = kKeyB;
        h.Core().Working().image.SetEntry(*record, entry);
    }
    h.Model().SetModified(true);
    h.Window().RefreshKeyButtons();
}

// The colour the button paints at (x, y) of its face.
QColor PaintedAt(QWidget* button, int x, int y) {
    return button->grab().toImage().pixelColor(x, y);
}

QColor PictureAt(const QImage& picture, const CPngButton* button, int x, int y) {
    return picture.pixelColor(button->FaceOrigin() + QPoint(x, y));
}

int CommandsSent(const sim::SimKeyboard& keyboard, std::uint8_t command) {
    int count = 0;
    for (const auto& frame : keyboard.RequestLog()) {
        count += frame[3] == command ? 1 : 0;
    }
    return count;
}

TEST(MainWindowTest, StartUpEndsHiddenInTheTrayAndOpensOnArrivalUnlessStartIsGiven) {
    BRASSLANE_REQUIRE_APP();
    AppHarness plain;
    ASSERT_TRUE(plain.Start());
    ASSERT_TRUE(plain.WaitUntilReady());
    // Without "/Start" the window opens the first time the keyboard is found.
    ASSERT_TRUE(plain.WaitForState("shown"));
    EXPECT_TRUE(plain.Window().isVisible());
    EXPECT_EQ(plain.Window().windowTitle(), Text(plain, "MAIN_CAPTION"));
    ASSERT_NE(plain.Window().TrayIcon(), nullptr);
    EXPECT_EQ(plain.Window().TrayIcon()->ToolTip(), Text(plain, "KEYBOARD_TRAY_DESC"));
    EXPECT_EQ(plain.Window().TrayIcon()->IconResource(), kIconConnected);
    EXPECT_FALSE(plain.Model().IsModified());
    EXPECT_FALSE(plain.Window().Button("CONTROL2_APPLY")->isEnabled());
    // Start-up created the per-user folder.
    EXPECT_TRUE(std::filesystem::is_directory(plain.UserFolder()));

    // "/Start" in any case keeps the window hidden when the keyboard arrives.
    AppHarness quiet;
    ASSERT_TRUE(quiet.Start({"/sTaRt"}));
    ASSERT_TRUE(quiet.WaitUntilReady());
    Settle(300);
    EXPECT_FALSE(quiet.HasState("shown"));
    EXPECT_FALSE(quiet.Window().isVisible());
    EXPECT_FALSE(quiet.App().Finished());
}

TEST(MainWindowTest, EveryControlIsPlacedFromTheSkinWithItsCaption) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitForState("hidden-in-tray"));
    const SkinLayout layout(kSkins / "Main.ini");
    CVarnelDlg& window = h.Window();

    QImage background;
    ASSERT_TRUE(LoadSkinPicture(kSkins / layout.BackgroundName(), background));
    EXPECT_EQ(window.size(), background.size());

    const std::vector<KeyButtonId> keys = AllKeyButtons();
    EXPECT_EQ(keys.size(), std::size_t{105 + 9 + 1});
    for (const KeyButtonId id : keys) {
        CPngButton* button = window.KeyButton(id);
        ASSERT_NE(button, nullptr);
        const std::string key = id.kind == KeyButtonId::Kind::kFn     ? std::string("KEY_FN")
                                : id.kind == KeyButtonId::Kind::kGKey ? skin::GKeyLayoutKey(id.gKey)
                                                                      : "";
        if (!key.empty()) {
            const SkinRect rect = layout.Rect(key);
            EXPECT_EQ(button->geometry(), QRect(rect.x, rect.y, rect.w, rect.h)) << key;
        }
        EXPECT_FALSE(button->geometry().topLeft() == QPoint(1, 1)) << "a key button is missing from the skin";
    }
    const SkinRect a = layout.Rect("KEY_01E");
    EXPECT_EQ(window.KeyButton(KeyButtonId::Key(kKeyA))->geometry(), QRect(a.x, a.y, a.w, a.h));

    for (std::string_view key : skin::kMainWindowKeys) {
        QWidget* control = window.Control(key);
        ASSERT_NE(control, nullptr) << key;
        const SkinRect rect = layout.Rect(key);
        EXPECT_EQ(control->geometry(), QRect(rect.x, rect.y, rect.w, rect.h)) << key;
    }
    // With the lighting switch off only the switch and its label show.
    for (const std::string& key : window.LightingControlKeys()) {
        ASSERT_NE(window.Control(key), nullptr) << key;
        const bool lightingSwitch = key == "CONTROL_DengStaPic" || key == "CONTROL_DengStatic";
        EXPECT_EQ(window.Control(key)->isHidden(), !lightingSwitch) << key;
    }
    EXPECT_EQ(window.LightingControlKeys().size(), skin::kLightingPanelKeys.size() + 4 + 3);
    // Each lighting key places the kind of control its table entry names.
    for (const skin::LightingPanelControl& entry : skin::kLightingPanelControls) {
        QWidget* control = window.Control(entry.key);
        switch (entry.kind) {
        case skin::LightingControlKind::kLabel:
            EXPECT_NE(qobject_cast<QLabel*>(control), nullptr) << entry.key;
            break;
        case skin::LightingControlKind::kList:
            EXPECT_NE(qobject_cast<QComboBox*>(control), nullptr) << entry.key;
            break;
        case skin::LightingControlKind::kColourPreset:
        case skin::LightingControlKind::kWebButton:
            EXPECT_EQ(window.Button(entry.key), control) << entry.key;
            break;
        default:
            EXPECT_EQ(qobject_cast<QLabel*>(control), nullptr) << entry.key;
            EXPECT_EQ(window.Button(entry.key), nullptr) << entry.key;
            break;
        }
    }
    // The direction label has the same text in each of its three places.
    for (const char* key : {"CONTROL_BLFXStatic", "CONTROL_BLFXStatic2", "CONTROL_BLFXStatic3"}) {
        auto* label = qobject_cast<QLabel*>(window.Control(key));
        ASSERT_NE(label, nullptr) << key;
        EXPECT_EQ(label->text(), QString::fromStdString(h.Core().Text().Light("FX"))) << key;
    }

    const std::vector<std::pair<const char*, const char*>> captions{
        {"FUNC_PROFILE1", "PROFILE_1"},
        {"FUNC_PROFILE2", "PROFILE_2"},
        {"FUNC_PROFILE3", "PROFILE_3"},
        {"FUNC_MACRO", "PROFILE_MACRO"},
        {"FUNC_DEFAULT", "PROFILE_DEFAULT"},
        {"CONTROL_OK", "PROFILE_OK"},
        {"CONTROL_CANCEL", "PROFILE_CANCLE"},
        {"CONTROL2_APPLY", "PROFILE_APPLY"},
        {"FUNC_SWITCH", "MAIN_SWITCH_FUNCTION_TEXT"},
    };
    for (const auto& [key, text] : captions) {
        EXPECT_EQ(window.Button(key)->text(), Text(h, text)) << key;
    }
    const std::vector<std::pair<const char*, const char*>> tips{
        {"CONTROL_HELP", "MAIN_HELP_PROMPT"},
        {"CONTROL_CLOSE", "MAIN_CLOSE_PROMPT"},
        {"CONTROL_MINIMIZE", "MAIN_MINIMIZE_PROMPT"},
        {"CONTROL_MENU", "MAIN_MENU_PROMPT"},
    };
    for (const auto& [key, text] : tips) {
        EXPECT_EQ(window.Button(key)->toolTip(), Text(h, text)) << key;
    }
    const QList<QAction*> menu = window.BackupMenu()->actions();
    // Restore, back up, and after a separator the about box (the window has no system menu).
    ASSERT_EQ(menu.size(), 4);
    EXPECT_EQ(menu[0]->text(), Text(h, "MENU_1"));
    EXPECT_EQ(menu[1]->text(), Text(h, "MENU_2"));
    EXPECT_TRUE(menu[2]->isSeparator());
    EXPECT_EQ(menu[3]->text(), Text(h, "MENU_22"));

    auto* version = qobject_cast<QLabel*>(window.Control("LORVEN_VER"));
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(version->text().isEmpty());
    EXPECT_FALSE(version->isEnabled());
    for (const char* lock : {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"}) {
        EXPECT_FALSE(window.Button(lock)->IsSelected()) << lock;
    }
    // Flip setting 0 (the default): F1..F4 usable, shown on FLIP_1.
    EXPECT_TRUE(window.KeyButton(KeyButtonId::Key(0x3B))->isEnabled());
    EXPECT_TRUE(window.Button("FLIP_1")->IsSelected());
    EXPECT_FALSE(window.Button("FLIP_2")->IsSelected());
}

TEST(MainWindowTest, AssignedKeysShowTheSelectedFaceAndTheirCaption) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CPngButton* a = h.Window().KeyButton(KeyButtonId::Key(kKeyA));
    CPngButton* b = h.Window().KeyButton(KeyButtonId::Key(kKeyB));
    EXPECT_FALSE(a->IsSelected());
    const QString plainCaption = a->toolTip();
    EXPECT_FALSE(plainCaption.isEmpty());

    AssignAToB(h);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_EQ(a->CurrentFace(), Face::Selected);
    EXPECT_FALSE(b->IsSelected());
    EXPECT_EQ(a->toolTip(), QString::fromStdString(h.Model().ButtonState(KeyButtonId::Key(kKeyA)).caption));
    EXPECT_NE(a->toolTip(), plainCaption);
    EXPECT_TRUE(a->toolTip().contains(Text(h, "KEY_PROMPT_SET")));
    // The G buttons are named G1..G9.
    EXPECT_TRUE(h.Window().KeyButton(KeyButtonId::G(3))->toolTip().startsWith(QStringLiteral("G3")));
    EXPECT_TRUE(h.Window().Button("CONTROL2_APPLY")->isEnabled());
}

TEST(MainWindowTest, KeySelectionModeFlipsTheSelectionFlagAndTheFace) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitUntilReady());
    QImage colour0;
    QImage colour1;
    ASSERT_TRUE(LoadSkinPicture(kSkins / "main_color0.jpg", colour0));
    ASSERT_TRUE(LoadSkinPicture(kSkins / "main_color1.jpg", colour1));
    CVarnelDlg& window = h.Window();
    CPngButton* a = window.KeyButton(KeyButtonId::Key(kKeyA));
    const std::size_t record = *h.Model().RecordOf(KeyButtonId::Key(kKeyA));
    auto flag = [&] {
        std::lock_guard lock(h.Core().Working().lock);
        return h.Core().Working().image.Entry(record).selection;
    };

    window.Button("FUNC_SWITCH")->click();
    EXPECT_TRUE(h.Model().KeySelectionMode());
    EXPECT_EQ(window.Button("FUNC_SWITCH")->text(), Text(h, "MAIN_SWITCH_COLOR_TEXT"));
    EXPECT_TRUE(a->HasOverridePicture());
    EXPECT_EQ(PaintedAt(a, 3, 3), PictureAt(colour0, a, 3, 3));

    a->click();
    EXPECT_EQ(flag(), 1u);
    EXPECT_EQ(PaintedAt(a, 3, 3), PictureAt(colour1, a, 3, 3));
    EXPECT_TRUE(h.Model().IsModified());
    EXPECT_TRUE(window.Button("CONTROL2_APPLY")->isEnabled());
    // A selection click opens no assignment dialog.
    EXPECT_FALSE(window.LastKeyDialogRequest());

    a->click();
    EXPECT_EQ(flag(), 0u);
    EXPECT_EQ(PaintedAt(a, 3, 3), PictureAt(colour0, a, 3, 3));

    window.Button("FUNC_SWITCH")->click();
    EXPECT_FALSE(h.Model().KeySelectionMode());
    EXPECT_EQ(window.Button("FUNC_SWITCH")->text(), Text(h, "MAIN_SWITCH_FUNCTION_TEXT"));
    EXPECT_FALSE(a->HasOverridePicture());
    // In key-assignment mode a click asks for the assignment dialog of that key's entry.
    window.KeyButton(KeyButtonId::G(9))->click();
    ASSERT_TRUE(window.LastKeyDialogRequest());
    EXPECT_TRUE(window.LastKeyDialogRequest()->isG9);
    EXPECT_EQ(window.LastKeyDialogRequest()->record, *h.Model().RecordOf(KeyButtonId::G(9)));
}

TEST(MainWindowTest, ApplyWritesThePendingEditIntoTheKeyboardAndClearsTheFlag) {
    BRASSLANE_REQUIRE_APP();
    QTemporaryDir stateDir;
    const std::string state = stateDir.filePath(QStringLiteral("keyboard.json")).toStdString();
    {
        AppHarness h;
        ASSERT_TRUE(h.Start({"--simulate=" + state, "/Start"}));
        ASSERT_TRUE(h.WaitUntilReady());
        CVarnelDlg& window = h.Window();

        // Nothing pending: the busy picture comes and goes, no key map is written.
        h.Keyboard().ClearRequestLog();
        window.Button("CONTROL2_APPLY")->setEnabled(true);
        window.Button("CONTROL2_APPLY")->click();
        EXPECT_EQ(window.BusyStarts(), 1);
        EXPECT_EQ(CommandsSent(h.Keyboard(), 8), 0);
        EXPECT_TRUE(WaitFor([&] { return !window.BusyShown(); }));

        AssignAToB(h);
        const std::vector<std::uint8_t> before = h.Keyboard().KeyMaps();
        h.Keyboard().ClearRequestLog();
        window.Button("CONTROL2_APPLY")->click();
        EXPECT_EQ(window.BusyStarts(), 2);
        EXPECT_TRUE(window.BusyShown());
        // The write runs on the worker; the window hears of its end through the UI sink.
        ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
        EXPECT_GT(CommandsSent(h.Keyboard(), 8), 0);
        EXPECT_NE(h.Keyboard().KeyMaps(), before);
        EXPECT_FALSE(h.Model().IsModified());
        EXPECT_FALSE(window.Button("CONTROL2_APPLY")->isEnabled());
        EXPECT_TRUE(WaitFor([&] { return !window.BusyShown(); }));
        EXPECT_FALSE(window.TimerActive(kTimerBusy));

        // Closing keeps the keyboard's memory in the state file.
        EXPECT_TRUE(h.Model().CloseSequence());
        EXPECT_TRUE(h.App().Finished());
    }
    // The next run reads the assignment back from the keyboard.
    AppHarness again;
    ASSERT_TRUE(again.Start({"--simulate=" + state, "/Start"}));
    ASSERT_TRUE(again.WaitUntilReady());
    EXPECT_TRUE(again.Window().KeyButton(KeyButtonId::Key(kKeyA))->IsSelected());
    EXPECT_FALSE(again.Window().KeyButton(KeyButtonId::Key(kKeyB))->IsSelected());
}

TEST(MainWindowTest, ProfileButtonsAndTheProfileMenuSwitchTheKeyboardsProfile) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CVarnelDlg& window = h.Window();
    auto selected = [&] {
        std::vector<bool> marks;
        for (const char* key : {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3"}) {
            marks.push_back(window.Button(key)->IsSelected());
        }
        return marks;
    };
    auto checkedEntry = [&]() -> long long {
        for (QAction* action : window.ProfilePopup()->actions()) {
            if (action->isChecked()) {
                return window.ProfilePopup()->actions().indexOf(action);
            }
        }
        return -1;
    };
    ASSERT_EQ(h.Keyboard().ActiveProfile(), 0);
    EXPECT_EQ(selected(), (std::vector<bool>{true, false, false}));
    // Default entry, separator, one entry per profile; the active profile's is checked and named
    // on the profiles button.
    ASSERT_EQ(window.ProfilePopup()->actions().size(), 5);
    EXPECT_TRUE(window.ProfilePopup()->actions()[1]->isSeparator());
    EXPECT_EQ(checkedEntry(), 2);
    EXPECT_EQ(window.Button("FUNC_PROFILES")->text(), window.ProfilePopup()->actions()[2]->text());
    EXPECT_EQ(window.Button("FUNC_PROFILES")->toolTip(), Text(h, "PROFILE_TIP"));

    // The switch runs on the worker; the window marks the profile when it has ended.
    window.Button("FUNC_PROFILE2")->click();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning() && checkedEntry() == 3; }));
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 1);
    EXPECT_EQ(selected(), (std::vector<bool>{false, true, false}));

    window.ProfilePopup()->actions()[4]->trigger();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning() && checkedEntry() == 4; }));
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 2);
}

// Says `usage` from the keyboard until `heard` holds: the listener may not have opened the
// keyboard's notification interface yet when the test starts.
bool NotifyUntil(AppHarness& h, std::uint16_t usage, const std::function<bool()>& heard) {
    for (int attempt = 0; attempt < 25; ++attempt) {
        h.Keyboard().RaiseNotification(usage);
        if (WaitFor(heard, 200)) {
            return true;
        }
    }
    return false;
}

TEST(MainWindowTest, TheKeyboardsLightingNotificationReloadsTheLighting) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_EQ(h.Core().Lighting().State().effect, 1);

    // Effect 12 chosen on the keyboard itself.
    auto area = h.Keyboard().Lighting();
    area[0] = 12;
    h.Keyboard().SetLighting(area);
    EXPECT_TRUE(NotifyUntil(h, 0x0401, [&] { return h.Core().Lighting().State().effect == 12; }));
}

TEST(MainWindowTest, AKeyboardSettingsResetShowsTheKeyboardsProfile) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CVarnelDlg& window = h.Window();
    ASSERT_TRUE(window.Button("FUNC_PROFILE1")->IsSelected());
    AssignAToB(h);

    // The keyboard comes out of its reset on its second profile and says so.
    auto info = h.Keyboard().Info();
    info[10] = 1;
    h.Keyboard().SetInfo(info);
    ASSERT_TRUE(NotifyUntil(h, 0x0402, [&] { return window.Button("FUNC_PROFILE2")->IsSelected(); }));
    // The reset runs on the worker; the window gives its controls back when it has ended.
    ASSERT_TRUE(h.WaitForJob());
    EXPECT_FALSE(window.Button("FUNC_PROFILE1")->IsSelected());
    EXPECT_EQ(h.Core().State().activeProfile.load(), 1);
    EXPECT_EQ(h.Core().Lighting().State().profile, 1);
    // Every profile's keys were cleared: the key area shows none assigned, with Apply pending.
    EXPECT_FALSE(window.KeyButton(KeyButtonId::Key(kKeyA))->IsSelected());
    EXPECT_TRUE(window.Button("CONTROL2_APPLY")->isEnabled());
}

TEST(MainWindowTest, TheFlipButtonsToggleWhichFunctionKeysCanBeChanged) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitForState("hidden-in-tray"));
    CVarnelDlg& window = h.Window();
    CPngButton* f1 = window.KeyButton(KeyButtonId::Key(0x3B));
    CPngButton* f4 = window.KeyButton(KeyButtonId::Key(0x3E));
    CPngButton* f5 = window.KeyButton(KeyButtonId::Key(0x3F));

    window.Button("FLIP_2")->click();
    EXPECT_FALSE(f1->isEnabled());
    EXPECT_FALSE(f4->isEnabled());
    EXPECT_TRUE(f5->isEnabled());
    EXPECT_TRUE(window.Button("FLIP_2")->IsSelected());
    EXPECT_FALSE(window.Button("FLIP_1")->IsSelected());
    EXPECT_EQ(h.Core().Settings().ReadString(SettingsStore::kProfilesSection, "Flip", ""), "1");

    // FLIP_0 only shows the layout.
    window.Button("FLIP_0")->click();
    EXPECT_FALSE(f1->isEnabled());

    window.Button("FLIP_1")->click();
    EXPECT_TRUE(f1->isEnabled());
    EXPECT_TRUE(window.Button("FLIP_1")->IsSelected());
    EXPECT_EQ(h.Core().Settings().ReadString(SettingsStore::kProfilesSection, "Flip", ""), "0");
}

TEST(MainWindowTest, UnpluggingHidesTheWindowAndShowsTheNoKeyboardIcon) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    h.Window().OpenAboutBox();

    h.Keyboard().Unplug();
    ASSERT_TRUE(h.WaitForState("keyboard-lost"));
    EXPECT_TRUE(WaitFor([&] { return !h.Window().isVisible(); }));
    EXPECT_TRUE(WaitFor([&] { return h.Window().TrayIcon()->IconResource() == kIconNoKeyboard; }));
    EXPECT_FALSE(h.Window().AboutBox()->isVisible());

    // Asking for the window now only says that there is no keyboard.
    MessageBox::ClearShown();
    h.Window().TrayIcon()->HandleActivation(QSystemTrayIcon::DoubleClick);
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_EQ(MessageBox::ShownSoFar()[0].text, Text(h, "MAIN_NO_DEVICE_PROMPT"));
    EXPECT_FALSE(h.Window().isVisible());

    // Back again: connected icon, but the window only opens by itself the first time.
    const std::size_t connections = std::count(h.States().begin(), h.States().end(), std::string("keyboard-connected"));
    h.Keyboard().Plug();
    ASSERT_TRUE(WaitFor([&] {
        return std::count(h.States().begin(), h.States().end(), std::string("keyboard-connected")) >
               static_cast<long>(connections);
    }));
    EXPECT_TRUE(WaitFor([&] { return h.Window().TrayIcon()->IconResource() == kIconConnected; }));
    Settle(200);
    EXPECT_FALSE(h.Window().isVisible());
}

TEST(MainWindowTest, TrayMenuOffersOpenAboutAndExit) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CTrayIcon* tray = h.Window().TrayIcon();
    ASSERT_NE(tray, nullptr);

    // Open, about, the two commands of automatic profiles (between separators), exit.
    QList<QAction*> actions;
    for (QAction* action : tray->Menu()->actions()) {
        if (!action->isSeparator()) {
            actions << action;
        }
    }
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), Text(h, "MENU_11"));
    EXPECT_EQ(actions[1]->text(), Text(h, "MENU_22"));
    EXPECT_EQ(actions[2]->text(), Text(h, "AUTO_PROFILE_MENU"));
    EXPECT_TRUE(actions[2]->isCheckable());
    EXPECT_EQ(actions[3]->text(), Text(h, "AUTO_PROFILE_RULES_MENU"));
    EXPECT_EQ(actions[4]->text(), Text(h, "MENU_33"));
    EXPECT_TRUE(actions[0]->font().bold());
    EXPECT_FALSE(actions[1]->font().bold());
    EXPECT_EQ(tray->Menu()->defaultAction(), actions[0]);

    // A single click does nothing; a double click opens the window.
    tray->HandleActivation(QSystemTrayIcon::Trigger);
    Settle(50);
    EXPECT_FALSE(h.Window().isVisible());
    tray->HandleActivation(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(h.Window().isVisible());

    actions[1]->trigger();
    CAboutDlg* about = h.Window().AboutBox();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), Text(h, "LANG_ABOUT_TITLE"));
    EXPECT_EQ(about->IntroText(), Text(h, "GUANYU_JIESHAO"));
    EXPECT_EQ(about->CopyrightText(), Text(h, "GUANYU_BANQUAN"));
    EXPECT_EQ(about->OkText(), Text(h, "LANG_ABOUT_OK"));
    about->accept();
    EXPECT_FALSE(about->isVisible());
    actions[1]->trigger();
    EXPECT_EQ(h.Window().AboutBox(), about);
    EXPECT_TRUE(about->isVisible());

    actions[4]->trigger();
    EXPECT_TRUE(h.App().Finished());
    EXPECT_FALSE(h.Window().isVisible());
}

TEST(MainWindowTest, EnterEscapeAndTheCloseRequestNeitherApplyNorEndTheProgram) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    CVarnelDlg& window = h.Window();
    AssignAToB(h);

    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(&window, static_cast<Qt::Key>(key));
    }
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.BusyStarts(), 0);
    EXPECT_TRUE(h.Model().IsModified());

    // The window's own close request hides it like Cancel; the edit stays pending.
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(h.App().Finished());
    window.HandleMessage(MSG_OPEN, kCodeOpen, 0);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.Button("CONTROL2_APPLY")->isEnabled());

    window.Button("CONTROL_CANCEL")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(h.Model().IsModified());

    // A message whose code does not match is ignored.
    EXPECT_EQ(window.HandleMessage(MSG_OPEN, kCodeKill, 0), 0);
    EXPECT_FALSE(window.isVisible());
}

TEST(MainWindowTest, BackupAndRestoreGoThroughTheFileDialogs) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CVarnelDlg& window = h.Window();
    AssignAToB(h);

    const QString backup = QString::fromStdString((h.Root() / "backup.fwc").string());
    FileDialog::SetNextFileName(backup);
    window.BackupMenu()->actions()[1]->trigger();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
    ASSERT_TRUE(QFile::exists(backup));
    EXPECT_GE(QFile(backup).size(), 32832);
    // A backup sends nothing to the keyboard and leaves the edit pending.
    EXPECT_TRUE(h.Model().IsModified());

    // A cancelled dialog does nothing.
    FileDialog::SetNextFileName(QString());
    MessageBox::ClearShown();
    window.BackupMenu()->actions()[0]->trigger();
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());

    // A file that is no profile is refused and changes nothing.
    const std::filesystem::path junk = h.Root() / "junk.fwc";
    std::ofstream(junk) << std::string(40000, 'x');
    FileDialog::SetNextFileName(QString::fromStdString(junk.string()));
    window.ImportFromFile();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
    ASSERT_FALSE(MessageBox::ShownSoFar().empty());
    EXPECT_EQ(MessageBox::ShownSoFar().back().text, Text(h, "MAIN_PROMPT_INPORT"));
    EXPECT_TRUE(window.KeyButton(KeyButtonId::Key(kKeyA))->IsSelected());

    // Restoring the backup writes all of it into the keyboard.
    h.Model().Apply();
    h.Keyboard().ClearRequestLog();
    MessageBox::ClearShown();
    FileDialog::SetNextFileName(backup);
    window.ImportFromFile();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());
    EXPECT_GE(CommandsSent(h.Keyboard(), 8), 3);
    EXPECT_FALSE(h.Model().IsModified());
    EXPECT_TRUE(window.KeyButton(KeyButtonId::Key(kKeyA))->IsSelected());

    // A backup that cannot be written says why.
    MessageBox::ClearShown();
    FileDialog::SetNextFileName(QString::fromStdString((h.Root() / "missing" / "x.fwc").string()));
    window.ExportToFile();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_FALSE(MessageBox::ShownSoFar()[0].text.isEmpty());
}

TEST(MainWindowTest, KillRunsTheWholeCloseSequence) {
    BRASSLANE_REQUIRE_APP();
    QTemporaryDir stateDir;
    const std::string state = stateDir.filePath(QStringLiteral("keyboard.json")).toStdString();
    AppHarness h;
    ASSERT_TRUE(h.Start({"--simulate=" + state}));
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    AssignAToB(h);
    h.Window().OpenAboutBox();

    EXPECT_EQ(h.Window().HandleMessage(MSG_KILL, kCodeOpen, 0), 0);
    EXPECT_FALSE(h.App().Finished());

    EXPECT_EQ(h.Window().HandleMessage(MSG_KILL, kCodeKill, 0), 1);
    EXPECT_TRUE(h.App().Finished());
    EXPECT_TRUE(h.HasState("closing"));
    EXPECT_FALSE(h.Window().isVisible());
    EXPECT_FALSE(h.Window().AboutBox()->isVisible());
    EXPECT_FALSE(h.Window().TrayIcon()->IsVisible());
    EXPECT_FALSE(h.Model().IsModified());
    EXPECT_FALSE(h.Core().Monitor().IsRunning());
    EXPECT_FALSE(h.Core().Listener().IsRunning());
    EXPECT_FALSE(h.Window().TimerActive(kTimerPreview));
    EXPECT_TRUE(std::filesystem::exists(state));
    {
        std::lock_guard lock(h.Core().Working().lock);
        EXPECT_TRUE(h.Core().Working().image.macros.empty());
        EXPECT_EQ(h.Core().Working().texts.Total(), 0u);
    }
    // The single-instance lock is free for the next start.
    platform::SingleInstance next(h.Folder("run"));
    EXPECT_TRUE(next.TryBecomeFirst());
}

TEST(MainWindowTest, ThePreviewPaintsTheKeysOnlyWhileTheLightingSwitchIsOn) {
    BRASSLANE_REQUIRE_APP();
    auto anyTint = [](CVarnelDlg& window) {
        for (const KeyButtonId id : AllKeyButtons()) {
            if (window.KeyButton(id)->Tint()) {
                return true;
            }
        }
        return false;
    };
    {
        AppHarness off;
        ASSERT_TRUE(off.Start());
        ASSERT_TRUE(off.WaitForState("shown"));
        // With the switch off there is nothing to animate: the preview timer rests.
        EXPECT_FALSE(off.Window().TimerActive(kTimerPreview));
        Settle(400);
        EXPECT_FALSE(anyTint(off.Window()));
    }
    AppHarness on;
    std::filesystem::create_directories(on.UserFolder());
    std::ofstream(on.UserFolder() / "wskb.ini") << "[KEYCOLOR]\nDengCheck=1\n";
    ASSERT_TRUE(on.Start());
    ASSERT_TRUE(on.WaitForState("shown"));
    ASSERT_TRUE(on.Model().LightingSwitchOn());
    EXPECT_TRUE(on.Window().TimerActive(kTimerPreview));
    EXPECT_TRUE(WaitFor([&] { return anyTint(on.Window()); }, 2000));
    // Hidden, the window has nothing to show and its preview timer rests until it opens again.
    on.Window().close();
    EXPECT_FALSE(on.Window().TimerActive(kTimerPreview));
    on.Window().HandleMessage(MSG_OPEN, kCodeOpen, 0);
    EXPECT_TRUE(on.Window().TimerActive(kTimerPreview));
}

TEST(MainWindowTest, AMissingSkinPictureEndsStartUpQuietly) {
    BRASSLANE_REQUIRE_APP();
    for (const char* missing : {"main_over.jpg", "main_color1.jpg", "main_bg.jpg"}) {
        AppHarness h;
        const std::filesystem::path program = h.Folder("program");
        std::filesystem::create_directories(program);
        std::filesystem::copy(kSkins, program / "Skins", std::filesystem::copy_options::recursive);
        std::filesystem::remove(program / "Skins" / missing);
        VarnelAppEnvironment environment;
        environment.executable = program / "brasslane";
        environment.userDataHome = h.Folder("data");
        environment.settingsFile = h.Folder("config") / "Brasslane.ini";
        environment.runtimeFolder = h.Folder("run");
        environment.startCompanion = false;
        CVarnelApp app(environment);
        int exitCode = -1;
        MessageBox::ClearShown();
        EXPECT_FALSE(app.Start(ParseCommandLine(std::vector<std::string_view>{"--simulate"}), &exitCode)) << missing;
        EXPECT_EQ(exitCode, 0) << missing;
        EXPECT_TRUE(MessageBox::ShownSoFar().empty()) << missing;
        EXPECT_FALSE(app.Core()->Monitor().IsRunning()) << missing;
        // The lock went with the failed start.
        platform::SingleInstance next(h.Folder("run"));
        EXPECT_TRUE(next.TryBecomeFirst()) << missing;
    }
}

} // namespace
} // namespace brasslane::gui::test
