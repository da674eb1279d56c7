#include "AppTestSupport.h"

#include "core/app/ProfileManagerModel.h"
#include "core/keys/KeyEntry.h"
#include "core/resources/SettingsStore.h"

#include <fstream>

namespace brasslane::test {

namespace {

constexpr std::size_t kSlotA = 0x1E;

KeyEntry Disabled() {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
    return entry;
}

class ProfileManagerModelTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        manager = std::make_unique<ProfileManagerModel>(*core, *model);
    }

    std::string Entry(const char* name) {
        return core->Settings().ReadString(SettingsStore::kProfilesSection, name, "<none>");
    }

    // A profile file whose profile 1 has key A disabled; the working image is left as it was.
    std::filesystem::path FileWithDisabledA() {
        const std::filesystem::path file = folder.Path() / "other.fwc";
        const KeyEntry before = WorkingEntry(1, kSlotA);
        SetWorkingEntry(1, kSlotA, Disabled());
        EXPECT_TRUE(core->Profiles().SaveProfileFile(file, true));
        SetWorkingEntry(1, kSlotA, before);
        return file;
    }

    std::unique_ptr<ProfileManagerModel> manager;
};

TEST_F(ProfileManagerModelTest, OpeningListsTheThreeProfilesWithTheActiveOneChecked) {
    Arrive();
    ASSERT_TRUE(model->SwitchProfile(1));
    TakeLog();

    manager->Open();
    ASSERT_EQ(manager->Rows().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const ProfileManagerRow& row = manager->Rows()[static_cast<std::size_t>(i)];
        EXPECT_EQ(row.profile, i);
        EXPECT_EQ(row.Name(), "$Profile0");
        EXPECT_EQ(std::filesystem::path(row.Folder()), core->Paths().userFolder);
    }
    EXPECT_EQ(manager->CheckedRow(), 1);
    EXPECT_FALSE(manager->HasUnappliedChanges());
    EXPECT_TRUE(manager->IsOpen());
    EXPECT_EQ(model->ManagerFlags().rowCount, 3);
    // Opening reads nothing from the keyboard.
    EXPECT_TRUE(TakeLog().empty());

    manager->Close();
    EXPECT_FALSE(manager->IsOpen());
    // Without a known active profile no row is checked.
    core->State().activeProfile.store(-1);
    manager->Open();
    EXPECT_EQ(manager->CheckedRow(), -1);
}

TEST_F(ProfileManagerModelTest, OneRowIsCheckedAtMostAndEveryChangeIsUnapplied) {
    Arrive();
    manager->Open();
    ASSERT_EQ(manager->CheckedRow(), 0);

    EXPECT_TRUE(manager->SetChecked(2, true));
    EXPECT_EQ(manager->CheckedRow(), 2);
    EXPECT_TRUE(manager->HasUnappliedChanges());

    manager->Close();
    manager->Open();
    // Clearing a box that is not set changes nothing.
    EXPECT_TRUE(manager->SetChecked(2, false));
    EXPECT_FALSE(manager->HasUnappliedChanges());
    EXPECT_TRUE(manager->SetChecked(0, false));
    EXPECT_EQ(manager->CheckedRow(), -1);
    EXPECT_TRUE(manager->HasUnappliedChanges());
    EXPECT_FALSE(manager->SetChecked(3, true));
    EXPECT_FALSE(manager->SetChecked(-1, true));
}

TEST_F(ProfileManagerModelTest, ApplyWritesTheRowsThenMakesTheCheckedProfileActive) {
    Arrive();
    SetWorkingEntry(2, kSlotA, Disabled()); // the working image holds something to be replaced
    manager->Open();
    const std::filesystem::path added = folder.Path() / "added.fwc";
    manager->AddExistingFile(added);
    EXPECT_EQ(model->ManagerFlags().rowCount, 4);
    manager->SetChecked(1, true);
    const int menus = view.menuRefreshes;

    ASSERT_TRUE(manager->Apply());
    const std::string cache = core->Profiles().ProfileCacheFile().string();
    EXPECT_EQ(Entry("PROFILE00"), "4");
    EXPECT_EQ(Entry("PROFILE01"), cache);
    EXPECT_EQ(Entry("PROFILE03"), cache);
    EXPECT_EQ(Entry("PROFILE04"), added.string());
    EXPECT_EQ(Entry("PROFILE05"), "<none>");

    // The profile is written first, then the keyboard is read back into the working image.
    const std::vector<int> commands = Commands(TakeLog());
    const auto profileWrite = std::find(commands.begin(), commands.end(), 4);
    const auto keyMapRead = std::find(commands.begin(), commands.end(), 7);
    ASSERT_NE(profileWrite, commands.end());
    ASSERT_NE(keyMapRead, commands.end());
    EXPECT_LT(profileWrite, keyMapRead);
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_EQ(WorkingEntry(2, kSlotA), KeyEntry{});
    EXPECT_FALSE(manager->HasUnappliedChanges());
    EXPECT_EQ(view.profileButton, 1);
    EXPECT_EQ(core->Lighting().State().profile, 1);
    EXPECT_GT(view.menuRefreshes, menus);
    EXPECT_TRUE(model->Menu().Entries()[3].checked);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProfileManagerModelTest, ARemovedRowTakesItsCheckAlongAndTheKeyboardGetsTheRowsOwnProfile) {
    Arrive();
    manager->Open();
    manager->SetChecked(2, true);
    ASSERT_TRUE(manager->RemoveRow(0));
    // Profile 3's row is now the second one and still checked.
    EXPECT_EQ(manager->CheckedRow(), 1);
    EXPECT_EQ(manager->Rows()[1].profile, 2);
    ASSERT_TRUE(manager->Apply());
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    EXPECT_EQ(Entry("PROFILE00"), "2");

    EXPECT_TRUE(manager->RemoveRow(1));
    EXPECT_EQ(manager->CheckedRow(), -1);
    EXPECT_TRUE(manager->HasUnappliedChanges());
    EXPECT_FALSE(manager->RemoveRow(5));
}

TEST_F(ProfileManagerModelTest, CancelWritesNothingAndLeavesNothingForTheSwitchToAskAbout) {
    Arrive();
    manager->Open();
    manager->AddExistingFile(folder.Path() / "a.fwc");
    manager->SetChecked(3, true);
    manager->Close();
    EXPECT_EQ(Entry("PROFILE00"), "<none>");
    EXPECT_EQ(model->ManagerFlags().openCount, 0);

    EXPECT_TRUE(model->SwitchProfile(1));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Commands(TakeLog()), (std::vector<int>{3, 4}));
}

TEST_F(ProfileManagerModelTest, NewFilesAreDefaultProfilesAndAFileThatCannotBeWrittenAddsNoRow) {
    Arrive();
    manager->Open();
    const std::filesystem::path suggestion = manager->NewFileSuggestion();
    EXPECT_EQ(suggestion, core->Paths().userFolder / core->Text().Text("PROFILE_NEW"));

    const std::filesystem::path created = folder.Path() / "new.fwc";
    ASSERT_TRUE(manager->AddNewFile(created));
    EXPECT_EQ(core->Profiles().ValidateProfileFile(created), ProfileFileCheck::kValid);
    ASSERT_EQ(manager->Rows().size(), 4u);
    EXPECT_EQ(manager->Rows()[3].Name(), "new");
    EXPECT_EQ(manager->Rows()[3].profile, -1);
    EXPECT_TRUE(manager->HasUnappliedChanges());
    EXPECT_TRUE(TakeLog().empty());

    EXPECT_FALSE(manager->AddNewFile(folder.Path() / "no such folder" / "x.fwc"));
    EXPECT_EQ(manager->Rows().size(), 4u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find("x.fwc"), std::string::npos);
}

TEST_F(ProfileManagerModelTest, ACheckedFileIsLoadedIntoTheKeyboardWithoutChangingItsProfile) {
    Arrive();
    const std::filesystem::path file = FileWithDisabledA();
    manager->Open();
    // The keyboard's own rows are gone: the file is the first row, yet it is not profile 0.
    for (int i = 0; i < 3; ++i) {
        manager->RemoveRow(0);
    }
    manager->AddExistingFile(file);
    manager->SetChecked(0, true);

    ASSERT_TRUE(manager->Apply());
    const std::vector<Frame> log = TakeLog();
    EXPECT_EQ(CountCommand(log, 4), 0);
    EXPECT_GE(CountCommand(log, 8), 3);
    EXPECT_EQ(keyboard.ActiveProfile(), 0);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 1, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(WorkingEntry(1, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_FALSE(model->IsModified());
    EXPECT_FALSE(manager->HasUnappliedChanges());

    // A file that is no profile changes nothing and keeps the change to apply.
    const std::filesystem::path junk = folder.Path() / "junk.fwc";
    std::ofstream(junk) << std::string(100, 'x');
    manager->AddExistingFile(junk);
    manager->SetChecked(1, true);
    EXPECT_FALSE(manager->Apply());
    EXPECT_EQ(ui.Texts().back(), core->Text().Text("MAIN_PROMPT_INPORT"));
    EXPECT_EQ(CountCommand(TakeLog(), 8), 0);
    EXPECT_TRUE(manager->HasUnappliedChanges());
}

TEST_F(ProfileManagerModelTest, PendingEditsAreAskedAboutBeforeApplyReplacesThem) {
    Arrive();
    manager->Open();
    manager->SetChecked(1, true);

    // No: the keyboard's contents replace the edit.
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ASSERT_TRUE(manager->Apply());
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{core->Text().Text("PROFILE_SELECT_PROMPT")});
    EXPECT_EQ(WorkingEntry(0, kSlotA), KeyEntry{});
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDefault);

    // Yes: the edit goes into the profile active until now, then the switch happens.
    manager->SetChecked(2, true);
    SetWorkingEntry(1, kSlotA, Disabled());
    model->SetModified(true);
    ui.answers = {MessageAnswer::kYes};
    TakeLog();
    ASSERT_TRUE(manager->Apply());
    const std::vector<int> commands = Commands(TakeLog());
    const auto keyMapWrite = std::find(commands.begin(), commands.end(), 8);
    const auto profileWrite = std::find(commands.begin(), commands.end(), 4);
    ASSERT_NE(keyMapWrite, commands.end());
    EXPECT_LT(keyMapWrite, profileWrite);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 1, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);

    // A keyboard that takes nothing: the change stays to be applied and nothing was replaced.
    manager->SetChecked(0, true);
    SetWorkingEntry(2, kSlotA, Disabled());
    model->SetModified(true);
    ui.answers = {MessageAnswer::kNo};
    keyboard.SetFaults({.failWrites = true});
    EXPECT_FALSE(manager->Apply());
    keyboard.SetFaults({});
    EXPECT_TRUE(manager->HasUnappliedChanges());
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(WorkingEntry(2, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(ui.Texts().back(), core->Text().Text("MAIN_NO_DEVICE_PROMPT"));
}

} // namespace

} // namespace brasslane::test
