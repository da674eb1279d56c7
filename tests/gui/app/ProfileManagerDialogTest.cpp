// The profile buttons and the profile manager driven in-process against the simulated
// keyboard: what a switch sends with and without pending edits, the manager's list and
// buttons, what its Apply and Cancel leave in the settings, and what closes it.

#include "AppTestHarness.h"

#include "gui/CVarnel_DlgProfile.h"
#include "gui/CVarnel_DlgUpdate.h"
#include "gui/FileDialog.h"

#include "core/base/Messages.h"
#include "core/resources/SettingsStore.h"

#include <QHeaderView>
#include <QTableWidget>

namespace brasslane::gui::test {
namespace {

constexpr ScanCode kKeyA = 0x1E;
constexpr ScanCode kKeyB = 0x30;
const std::filesystem::path kSkins = std::filesystem::path(BRASSLANE_BIN_DIR) / "Skins";

std::vector<int> Commands(const sim::SimKeyboard& keyboard) {
    std::vector<int> commands;
    for (const auto& frame : keyboard.RequestLog()) {
        commands.push_back(frame[3]);
    }
    return commands;
}

int Count(const std::vector<int>& commands, int command) {
    return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

std::size_t RecordOfA(AppHarness& h) {
    return *h.Model().RecordOf(KeyButtonId::Key(kKeyA));
}

// Assigns key A to act as key B in the active profile, as the key assignment dialog would.
void AssignAToB(AppHarness& h) {
    {
        std::lock_guard lock(h.Core().Working().lock);
        KeyEntry entry = h.Core().Working().image.Entry(RecordOfA(h));
        entry.type = static_cast<std::uint16_t>(AssignmentType::kKey);
        entry.param = kKeyB;
        h.Core().Working().image.SetEntry(RecordOfA(h), entry);
    }
    h.Model().SetModified(true);
    h.Window().RefreshKeyButtons();
}

std::string ProfilesEntry(AppHarness& h, const char* name) {
    return h.Core().Settings().ReadString(SettingsStore::kProfilesSection, name, "<none>");
}

void Check(QTableWidget* list, int row) {
    list->item(row, 0)->setCheckState(Qt::Checked);
}

std::vector<bool> Checks(QTableWidget* list) {
    std::vector<bool> checks;
    for (int row = 0; row < list->rowCount(); ++row) {
        checks.push_back(list->item(row, 0)->checkState() == Qt::Checked);
    }
    return checks;
}

TEST(ProfileManagerDialogTest, ProfileButtonsSendOnlyTheProfileOrSettlePendingEditsFirst) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CVarnelDlg& window = h.Window();
    const std::vector<std::uint8_t> keyMaps = h.Keyboard().KeyMaps();
    const auto block = static_cast<std::ptrdiff_t>(h.Keyboard().BlockSize());

    // No pending edit: after the new profile's lighting is read, commands 3 and 4 only.
    h.Keyboard().ClearRequestLog();
    window.Button("FUNC_PROFILE2")->click();
    ASSERT_TRUE(h.WaitForJob());
    std::vector<int> commands = Commands(h.Keyboard());
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(std::vector<int>(commands.end() - 2, commands.end()), (std::vector<int>{3, 4}));
    for (int command : {4, 7, 8, 9, 10}) {
        EXPECT_EQ(Count(commands, command), command == 4 ? 1 : 0) << command;
    }
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());

    // No: the cache file restores the state before the edit; nothing is written.
    AssignAToB(h);
    h.Keyboard().ClearRequestLog();
    MessageBox::SetNextAnswer(MessageAnswer::kNo);
    window.Button("FUNC_PROFILE1")->click();
    ASSERT_TRUE(h.WaitForJob());
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_EQ(MessageBox::ShownSoFar()[0].text, QString::fromStdString(h.Core().Text().Text("PROFILE_SELECT_PROMPT")));
    EXPECT_EQ(Count(Commands(h.Keyboard()), 8), 0);
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 0);
    {
        std::lock_guard lock(h.Core().Working().lock);
        EXPECT_EQ(h.Core().Working().image.Entry(RecordIndex(1, kKeyA)).type, 0u);
    }
    EXPECT_FALSE(window.Button("CONTROL2_APPLY")->isEnabled());

    // Yes: the edit of profile 1 reaches the keyboard's profile 1 before profile 3 is made active.
    AssignAToB(h);
    h.Keyboard().ClearRequestLog();
    MessageBox::SetNextAnswer(MessageAnswer::kYes);
    window.Button("FUNC_PROFILE3")->click();
    ASSERT_TRUE(h.WaitForJob());
    commands = Commands(h.Keyboard());
    const auto keyMapWrite = std::find(commands.begin(), commands.end(), 8);
    ASSERT_NE(keyMapWrite, commands.end());
    EXPECT_LT(keyMapWrite, std::find(commands.begin(), commands.end(), 4));
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 2);
    const std::vector<std::uint8_t> after = h.Keyboard().KeyMaps();
    EXPECT_FALSE(std::equal(after.begin(), after.begin() + block, keyMaps.begin()));
    EXPECT_TRUE(std::equal(after.begin() + block, after.end(), keyMaps.begin() + block));
}

TEST(ProfileManagerDialogTest, TheManagerChecksOneRowAtMostAndOnlyApplyWritesTheSettings) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    h.Window().Button("FUNC_PROFILES")->click();
    CVarnel_DlgProfile* dialog = h.Window().ProfileManager();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(h.Model().ManagerFlags().openCount, 1);
    QTableWidget* table = dialog->List();
    const std::vector<std::pair<QString, int>> columns{
        {QStringLiteral("激活"), 60}, {QStringLiteral("名称"), 120}, {QStringLiteral("路径"), 230}};
    ASSERT_EQ(table->columnCount(), 3);
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(table->horizontalHeaderItem(column)->text(), columns[static_cast<std::size_t>(column)].first);
        EXPECT_EQ(table->columnWidth(column), columns[static_cast<std::size_t>(column)].second) << column;
    }
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("$Profile0"));
    EXPECT_EQ(table->item(1, 2)->text(), QString::fromStdString(h.UserFolder().string()));
    EXPECT_EQ(Checks(table), (std::vector<bool>{true, false, false}));
    EXPECT_FALSE(dialog->Button("CONTROL2_APPLY")->isEnabled());

    Check(table, 2);
    EXPECT_EQ(Checks(table), (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(dialog->Button("CONTROL2_APPLY")->isEnabled());

    // New file, existing file, remove: the list changes, the settings do not.
    const std::filesystem::path created = h.UserFolder() / "Gaming.fwc";
    FileDialog::SetNextFileName(QString::fromStdString(created.string()));
    dialog->Button("FUNC_ADD")->click();
    EXPECT_TRUE(std::filesystem::is_regular_file(created));
    FileDialog::SetNextFileName(QStringLiteral("/elsewhere/Work.fwc"));
    dialog->Button("FUNC_LOAD")->click();
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_EQ(table->item(3, 1)->text(), QStringLiteral("Gaming"));
    EXPECT_EQ(table->item(4, 2)->text(), QStringLiteral("/elsewhere"));
    table->selectRow(3);
    dialog->Button("FUNC_DELETE")->click();
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_TRUE(std::filesystem::is_regular_file(created));

    // Cancel: nothing reaches the settings, and no profile switch asks about the rows.
    dialog->Button("CONTROL_CANCEL")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ProfilesEntry(h, "PROFILE00"), "<none>");
    MessageBox::ClearShown();
    h.Window().Button("FUNC_PROFILE2")->click();
    ASSERT_TRUE(h.WaitForJob());
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());

    // Opened again: the keyboard's rows only. Apply writes them and makes the checked one active.
    ASSERT_TRUE(h.Window().OpenProfileManager());
    EXPECT_EQ(Checks(table), (std::vector<bool>{false, true, false}));
    Check(table, 2);
    dialog->Button("CONTROL2_APPLY")->click();
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 2);
    EXPECT_EQ(ProfilesEntry(h, "PROFILE00"), "3");
    EXPECT_EQ(ProfilesEntry(h, "PROFILE03"), h.Core().Profiles().ProfileCacheFile().string());
    EXPECT_FALSE(dialog->Button("CONTROL2_APPLY")->isEnabled());
    EXPECT_TRUE(h.Window().Button("FUNC_PROFILE3")->IsSelected());
    Check(table, 0);
    dialog->Button("CONTROL_OK")->click();
    EXPECT_EQ(h.Keyboard().ActiveProfile(), 0);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(h.Model().ManagerFlags().openCount, 0);
}

TEST(ProfileManagerDialogTest, TheKeyboardLeavingAndTheCloseSequenceCloseTheManager) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.Window().OpenProfileManager());
    CVarnel_DlgProfile* dialog = h.Window().ProfileManager();
    FileDialog::SetNextFileName(QStringLiteral("/elsewhere/Work.fwc"));
    dialog->Button("FUNC_LOAD")->click();

    h.Keyboard().Unplug();
    ASSERT_TRUE(h.WaitForState("keyboard-lost"));
    EXPECT_TRUE(WaitFor([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(h.Model().ManagerFlags().openCount, 0);
    EXPECT_FALSE(h.Model().ManagerFlags().unappliedChanges);
    EXPECT_EQ(ProfilesEntry(h, "PROFILE00"), "<none>");

    ASSERT_TRUE(h.Window().OpenProfileManager());
    EXPECT_EQ(h.Window().HandleMessage(MSG_KILL, kCodeKill, 0), 1);
    EXPECT_TRUE(h.App().Finished());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(h.Model().ManagerFlags().openCount, 0);
}

TEST(ProfileManagerDialogTest, MissingPicturesAreNamedAndTheDialogsStayClosed) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    const std::filesystem::path program = h.Folder("program");
    std::filesystem::create_directories(program);
    std::filesystem::copy(kSkins, program / "Skins", std::filesystem::copy_options::recursive);
    std::filesystem::remove(program / "Skins" / "Profile_over.jpg");
    std::filesystem::remove(program / "Skins" / "update_normal.jpg");
    VarnelAppEnvironment environment;
    environment.executable = program / "brasslane";
    environment.userDataHome = h.Folder("data");
    environment.settingsFile = h.Folder("config") / "Brasslane.ini";
    environment.runtimeFolder = h.Folder("run");
    environment.startCompanion = false;
    CVarnelApp app(environment);
    int exitCode = -1;
    ASSERT_TRUE(app.Start(ParseCommandLine(std::vector<std::string_view>{"--simulate", "/Start"}), &exitCode));
    ASSERT_TRUE(WaitFor([&] { return app.Window()->Model().StartupFinished(); }));

    MessageBox::ClearShown();
    EXPECT_FALSE(app.Window()->OpenProfileManager());
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_TRUE(MessageBox::ShownSoFar()[0].text.contains(QStringLiteral("Profile_over.jpg")));
    EXPECT_FALSE(app.Window()->ProfileManager()->isVisible());
    EXPECT_EQ(app.Window()->Model().ManagerFlags().openCount, 0);

    MessageBox::ClearShown();
    EXPECT_TRUE(app.Window()->HandleCommand(kCommandFirmwareUpdate));
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_TRUE(MessageBox::ShownSoFar()[0].text.contains(QStringLiteral("update_normal.jpg")));
    EXPECT_FALSE(app.Window()->UpdateDialog()->isVisible());
    EXPECT_FALSE(app.Finished());
    app.Window()->Model().CloseSequence();
}

} // namespace
} // namespace brasslane::gui::test
