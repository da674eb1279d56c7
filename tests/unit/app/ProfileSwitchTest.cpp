#include "AppTestSupport.h"

#include "core/base/Messages.h"
#include "core/app/ProfileMenu.h"
#include "core/keys/KeyEntry.h"
#include "core/resources/Language.h"

namespace brasslane::test {

namespace {

constexpr std::size_t kSlotA = 0x1E;

KeyEntry Disabled() {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
    return entry;
}

} // namespace

using ProfileSwitchTest = AppFixture;

TEST_F(ProfileSwitchTest, WithoutPendingEditsOnlyTheActiveProfileIsWritten) {
    Arrive();
    const int refreshes = view.keyRefreshes;

    EXPECT_TRUE(model->SwitchProfile(1));
    EXPECT_EQ(Commands(TakeLog()), (std::vector<int>{3, 4}));
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_EQ(core->State().activeProfile.load(), 1);
    EXPECT_GT(view.keyRefreshes, refreshes);
    EXPECT_TRUE(model->Menu().Entries()[3].checked);
    EXPECT_TRUE(ui.Messages().empty());

    // Profiles from 3 up are taken as 0; a negative one is refused without a word.
    EXPECT_TRUE(model->SwitchProfile(7));
    EXPECT_EQ(keyboard.ActiveProfile(), 0);
    TakeLog();
    EXPECT_FALSE(model->SwitchProfile(-1));
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(ProfileSwitchTest, PendingEditsAnsweredNoAreDiscarded) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);

    EXPECT_TRUE(model->SwitchProfile(2));
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, core->Text().Text("PROFILE_SELECT_PROMPT"));
    EXPECT_EQ(ui.Messages()[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(WorkingEntry(0, kSlotA), KeyEntry{});
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(CountCommand(TakeLog(), 8), 0);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);

    // Without the cache file the keyboard is read back: a whole image (G codes included), not
    // an emptied one.
    std::filesystem::remove(core->Profiles().ProfileCacheFile());
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    EXPECT_TRUE(model->SwitchProfile(1));
    EXPECT_EQ(WorkingEntry(0, kSlotA), KeyEntry{});
    EXPECT_EQ(WorkingEntry(0, kGSlotBankA).extra, kGCodeBankA + 1);
    EXPECT_FALSE(model->IsModified());
}

TEST_F(ProfileSwitchTest, PendingEditsAnsweredYesGoIntoThePreviousProfileFirst) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kYes});

    EXPECT_TRUE(model->SwitchProfile(1));
    const std::vector<int> commands = Commands(TakeLog());
    const auto keyMapWrite = std::find(commands.begin(), commands.end(), 8);
    const auto profileWrite = std::find(commands.begin(), commands.end(), 4);
    ASSERT_NE(keyMapWrite, commands.end());
    ASSERT_NE(profileWrite, commands.end());
    EXPECT_LT(keyMapWrite, profileWrite);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 1, kSlotA).Type(), AssignmentType::kDefault);
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_FALSE(model->IsModified());
}

TEST_F(ProfileSwitchTest, RefusedWhileTheKeyDialogIsOpenOrTheEditsCannotBeWritten) {
    Arrive();
    view.keyDialogOpen = true;
    EXPECT_FALSE(model->SwitchProfile(1));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{core->Text().Text("PROFILE_SEELCT_PROMPT2")});
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(keyboard.ActiveProfile(), 0);
    view.keyDialogOpen = false;

    // Yes, but the keyboard takes nothing: the edits stay pending in profile 0 and the
    // keyboard stays on it.
    ui.Clear();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kYes});
    keyboard.SetFaults({.failWrites = true});
    EXPECT_FALSE(model->SwitchProfile(2));
    keyboard.SetFaults({});
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(WorkingEntry(0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(keyboard.ActiveProfile(), 0);
}

TEST_F(ProfileSwitchTest, ManagerStateDecidesTheQuestionAndFollowsTheSwitch) {
    Arrive();
    ProfileManagerFlags& manager = model->ManagerFlags();
    manager.rowCount = 3;
    manager.checkedRow = 0;

    // Unapplied manager changes ask too.
    manager.unappliedChanges = true;
    EXPECT_TRUE(model->SwitchProfile(1));
    EXPECT_EQ(ui.Messages().size(), 1u);

    // Without a question the manager's list follows the switch.
    ui.Clear();
    manager.unappliedChanges = false;
    EXPECT_TRUE(model->SwitchProfile(2));
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_EQ(manager.checkedRow, 2);
    EXPECT_FALSE(manager.unappliedChanges);
}

TEST_F(ProfileSwitchTest, ProfileButtonsSwitchOnlyToAnotherProfile) {
    Arrive();
    ASSERT_TRUE(core->KeyColours().SetSwitch(true));
    model->ToggleKeySelectionMode();
    const int panels = view.panelRefreshes;

    // The active profile: the lighting is shown again and lighting mode is left, but no
    // profile or key map is written.
    EXPECT_TRUE(model->ProfileButton(0));
    std::vector<Frame> log = TakeLog();
    EXPECT_EQ(CountCommand(log, 4), 0);
    EXPECT_EQ(CountCommand(log, 8), 0);
    EXPECT_GT(view.panelRefreshes, panels);
    EXPECT_FALSE(core->KeyColours().SwitchOn());
    EXPECT_TRUE(model->KeySelectionMode());

    // Another profile: switched on the worker, marked when the job has ended.
    EXPECT_TRUE(model->ProfileButton(2));
    FinishJob();
    log = TakeLog();
    EXPECT_EQ(CountCommand(log, 4), 1);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    EXPECT_EQ(view.profileButton, 2);
    EXPECT_EQ(core->Lighting().State().profile, 2);
    EXPECT_FALSE(model->KeySelectionMode());
    EXPECT_EQ(view.switchCaption, core->Text().Text("MAIN_SWITCH_FUNCTION_TEXT"));

    EXPECT_FALSE(model->ProfileButton(3));
    EXPECT_FALSE(model->ProfileButton(-1));

    // The menu's commands go the same way; the default entry switches nothing.
    EXPECT_TRUE(model->MenuCommand(kCommandProfileBase + 2));
    FinishJob();
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    TakeLog();
    EXPECT_FALSE(model->MenuCommand(kCommandProfileBase));
    EXPECT_FALSE(model->MenuCommand(kCommandProfileBase + 4));
    EXPECT_TRUE(TakeLog().empty());
}

TEST(ProfileMenuTest, EntriesAndCheckedEntry) {
    TempFolder folder;
    const SessionCoreOptions options = MakeOptions(folder.Path());
    Language language(options.paths.programFolder, nullptr, [] { return std::uint16_t{1033}; });
    const std::filesystem::path cache = folder.Path() / "data" / "Brasslane" / "$Profile0.fwc";

    const struct {
        int active;
        std::size_t checked;
    } cases[] = {{-1, 0}, {0, 2}, {1, 3}, {2, 4}, {3, 0}, {100, 0}};
    for (const auto& c : cases) {
        ProfileMenu menu;
        menu.Build(c.active, cache, language);
        const auto& entries = menu.Entries();
        ASSERT_EQ(entries.size(), 5u);
        EXPECT_EQ(entries[0].command, 9000u);
        EXPECT_EQ(entries[0].text, language.Text("DEFAULT_PROFILE_NAME"));
        EXPECT_TRUE(entries[1].separator);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(entries[2 + i].command, 9001u + i);
            EXPECT_EQ(entries[2 + i].text, "$Profile0");
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].checked, i == c.checked) << c.active << " " << i;
        }
        EXPECT_EQ(menu.ButtonCaption(), entries[c.checked].text);
        EXPECT_EQ(menu.ButtonTooltip(), language.Text("PROFILE_TIP"));
    }

    EXPECT_EQ(ProfileMenu::ProfileOfCommand(9000), -1);
    EXPECT_EQ(ProfileMenu::ProfileOfCommand(9001), 0);
    EXPECT_EQ(ProfileMenu::ProfileOfCommand(9003), 2);
    EXPECT_EQ(ProfileMenu::ProfileOfCommand(9004), std::nullopt);
    EXPECT_EQ(ProfileMenu::ProfileOfCommand(8999), std::nullopt);
}

} // namespace brasslane::test
