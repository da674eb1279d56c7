// Automatic profiles in the running app against the simulated keyboard: the tray menu's switch,
// the tooltip naming the profile and the rule, focus reports reaching the keyboard through the
// settle timer, the wait for Apply, and the rules dialog editing the file. The test stands in
// for the active-window watcher: it stops the app's own and reports windows itself.

#include "AppTestHarness.h"

#include "gui/AutoProfileController.h"
#include "gui/AutoProfileDialog.h"
#include "gui/CTrayIcon.h"

#include "core/app/AutoProfileSwitcher.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>

#include <fstream>
#include <sstream>

namespace brasslane::gui::test {
namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ActiveWindow Window(std::uint32_t id, std::string windowClass, std::string title) {
    ActiveWindow window;
    window.id = id;
    window.instance = windowClass;
    window.windowClass = std::move(windowClass);
    window.title = std::move(title);
    return window;
}

class AutoProfileAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        BRASSLANE_REQUIRE_APP();
        ASSERT_TRUE(h.Start({"/Start"}));
        ASSERT_TRUE(h.WaitUntilReady());
        ASSERT_NE(h.Window().AutoProfiles(), nullptr);
        controller = h.Window().AutoProfiles();
        controller->Stop();
        Settle(50); // whatever the watcher posted before it stopped
        controller->Switcher().SetWatcherAvailable(true, "");
    }

    std::filesystem::path RulesFile() const { return h.Folder("config") / "AutoProfiles.conf"; }
    void Focus(const ActiveWindow& window) { controller->Switcher().OnActiveWindow(window); }

    AppHarness h;
    AutoProfileController* controller = nullptr;
};

TEST_F(AutoProfileAppTest, TheTraySwitchAndFocusReportsDriveTheKeyboard) {
    std::ofstream(RulesFile()) << "class steam_app_570 = 3\ndefault = 1\n";
    QAction* toggle = controller->ToggleAction();
    ASSERT_NE(toggle, nullptr);
    ASSERT_TRUE(h.Window().TrayIcon()->Menu()->actions().contains(toggle));
    emit h.Window().TrayIcon()->Menu()->aboutToShow();
    EXPECT_EQ(toggle->text(), QStringLiteral("Automatic profiles"));
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_NE(ReadText(RulesFile()).find("enabled = yes"), std::string::npos);
    EXPECT_NE(ReadText(RulesFile()).find("class steam_app_570 = 3"), std::string::npos);

    // The focus settles on the game: the keyboard takes profile 3 and the tooltip says why.
    Focus(Window(11, "steam_app_570", "Dota 2"));
    ASSERT_TRUE(WaitFor([&] { return h.Keyboard().ActiveProfile() == 2; }));
    EXPECT_EQ(h.Window().TrayIcon()->ToolTip(),
              QStringLiteral("Brasslane keyboard settings\nProfile 3 \u2014 rule: class steam_app_570"));

    // Pending edits: nothing is switched, and the tooltip says what automatic switching waits for.
    h.Model().SetModified(true);
    Focus(Window(12, "xterm", "bash"));
    Settle(600);
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 2);
    EXPECT_TRUE(h.Window().TrayIcon()->ToolTip().endsWith(
        QStringLiteral("Automatic profiles wait until your changes are applied")));
    // Applied: the waiting decision goes through (the default profile).
    ASSERT_TRUE(h.Model().Apply());
    ASSERT_TRUE(WaitFor([&] { return h.Keyboard().ActiveProfile() == 0; }, 3000));

    // Switched off from the tray: the focus no longer matters.
    toggle->trigger();
    EXPECT_NE(ReadText(RulesFile()).find("enabled = no"), std::string::npos);
    Focus(Window(11, "steam_app_570", "Dota 2"));
    Settle(500);
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 0);
    EXPECT_EQ(h.Window().TrayIcon()->ToolTip(), QStringLiteral("Brasslane keyboard settings"));
}

TEST_F(AutoProfileAppTest, TheDialogEditsTheRulesAndKeepsWhatItCannotRead) {
    std::ofstream(RulesFile()) << "enabled = no\nclass steam_app_570 = 3\nthis is not a rule\n";
    controller->Switcher().OnActiveWindow(Window(21, "Gimp-2.10", "GNU Image Manipulation Program"));
    ASSERT_TRUE(controller->OpenDialog());
    AutoProfileDialog* dialog = controller->Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->List()->rowCount(), 1);
    EXPECT_EQ(dialog->List()->item(0, 1)->text(), QStringLiteral("steam_app_570"));
    EXPECT_TRUE(
        dialog->Status()->text().startsWith(QStringLiteral("Lines of the rules file that could not be read: 1.")));
    EXPECT_FALSE(dialog->Button("CONTROL2_APPLY")->isEnabled());

    // Pick from a window: the fields take its class; Add puts the rule last.
    QMenu* pick = dialog->PickMenu();
    ASSERT_EQ(pick->actions().size(), 1);
    pick->actions()[0]->trigger();
    EXPECT_EQ(dialog->PatternEdit()->text(), QStringLiteral("Gimp-2.10"));
    dialog->ProfileBox()->setCurrentIndex(1);
    dialog->Button("FUNC_ADD")->click();
    // A title rule, then moved up to be tried first.
    dialog->MatchBox()->setCurrentIndex(2);
    dialog->PatternEdit()->setText(QStringLiteral("  Blender  "));
    dialog->ProfileBox()->setCurrentIndex(0);
    dialog->Button("FUNC_ADD")->click();
    dialog->Button("FUNC_UP")->click();
    dialog->Button("FUNC_UP")->click();
    dialog->Button("FUNC_UP")->click(); // already first: nothing
    // The old rule changed to profile 2, then the GIMP rule removed.
    dialog->List()->selectRow(1);
    dialog->ProfileBox()->setCurrentIndex(1);
    dialog->Button("FUNC_CHANGE")->click();
    dialog->List()->selectRow(2);
    dialog->Button("FUNC_DELETE")->click();
    // An empty text adds nothing.
    dialog->PatternEdit()->clear();
    dialog->Button("FUNC_ADD")->click();
    dialog->Button("FUNC_AUTO_ENABLED")->click();
    dialog->DefaultBox()->setCurrentIndex(3);
    emit dialog->DefaultBox()->activated(3);
    EXPECT_TRUE(dialog->Button("CONTROL2_APPLY")->isEnabled());
#if defined(BRASSLANE_ARTIFACT_DIR)
    // Kept for a look at the dialog as the skin draws it.
    std::filesystem::create_directories(BRASSLANE_ARTIFACT_DIR);
    dialog->grab().save(QStringLiteral(BRASSLANE_ARTIFACT_DIR "/auto-profile-dialog.png"));
#endif
    dialog->Button("CONTROL_OK")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());

    const AutoProfileSettings stored = ParseAutoProfiles(ReadText(RulesFile()));
    const std::vector<AutoProfileRule> expected{{AutoProfileRule::Match::kTitle, "Blender", 1},
                                                {AutoProfileRule::Match::kClass, "steam_app_570", 2}};
    EXPECT_EQ(stored.rules, expected);
    EXPECT_TRUE(stored.enabled);
    EXPECT_EQ(stored.defaultProfile, 3);
    EXPECT_EQ(stored.keptLines, std::vector<std::string>{"this is not a rule"});
    emit h.Window().TrayIcon()->Menu()->aboutToShow();
    EXPECT_TRUE(controller->ToggleAction()->isChecked());

    // Cancel drops what was edited since.
    ASSERT_TRUE(controller->OpenDialog());
    dialog->List()->selectRow(0);
    dialog->Button("FUNC_DELETE")->click();
    dialog->Button("CONTROL_CANCEL")->click();
    EXPECT_EQ(ParseAutoProfiles(ReadText(RulesFile())).rules, expected);
}

} // namespace
} // namespace brasslane::gui::test
