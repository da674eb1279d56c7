#include "AppTestSupport.h"

#include "core/app/ProfileManagerModel.h"
#include "core/keys/KeyEntry.h"

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
        Arrive();
        manager->Open();
    }

    std::unique_ptr<ProfileManagerModel> manager;
};

TEST_F(ProfileManagerModelTest, ARowKeepsItsProfileWhenRowsAboveItAreRemoved) {
    manager->SetChecked(2, true);
    ASSERT_TRUE(manager->RemoveRow(0));
    EXPECT_EQ(manager->CheckedRow(), 1);
    ASSERT_TRUE(manager->Apply());
    EXPECT_EQ(keyboard.ActiveProfile(), 2);

    EXPECT_TRUE(manager->RemoveRow(1));
    EXPECT_EQ(manager->CheckedRow(), -1);
    EXPECT_FALSE(manager->RemoveRow(5));
}

TEST_F(ProfileManagerModelTest, ACheckedFileIsLoadedIntoTheKeyboardWhichKeepsItsProfile) {
    const std::filesystem::path file = folder.Path() / "other.fwc";
    SetWorkingEntry(1, kSlotA, Disabled());
    ASSERT_TRUE(core->Profiles().SaveProfileFile(file, true));
    SetWorkingEntry(1, kSlotA, KeyEntry{});
    // With the keyboard's rows gone the file is row 0, which must not become profile 0.
    for (int i = 0; i < 3; ++i) {
        manager->RemoveRow(0);
    }
    manager->AddExistingFile(file);
    manager->SetChecked(0, true);

    ASSERT_TRUE(manager->Apply());
    const std::vector<Frame> log = TakeLog();
    EXPECT_EQ(CountCommand(log, 4), 0);
    EXPECT_GE(CountCommand(log, 8), 3);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 1, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_FALSE(manager->HasUnappliedChanges());

    // A file that is no profile changes nothing and stays to be applied.
    const std::filesystem::path junk = folder.Path() / "junk.fwc";
    std::ofstream(junk) << std::string(100, 'x');
    manager->AddExistingFile(junk);
    manager->SetChecked(1, true);
    EXPECT_FALSE(manager->Apply());
    EXPECT_EQ(ui.Texts().back(), core->Text().Text("MAIN_PROMPT_INPORT"));
    EXPECT_EQ(CountCommand(TakeLog(), 8), 0);
    EXPECT_TRUE(manager->HasUnappliedChanges());

    // A new file that cannot be written gets no row.
    EXPECT_FALSE(manager->AddNewFile(folder.Path() / "no such folder" / "x.fwc"));
    EXPECT_EQ(manager->Rows().size(), 2u);
    EXPECT_NE(ui.Texts().back().find("x.fwc"), std::string::npos);
}

TEST_F(ProfileManagerModelTest, PendingEditsAreAskedAboutBeforeApplyReplacesThem) {
    manager->SetChecked(1, true);
    // No: the keyboard's contents replace the edit.
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ASSERT_TRUE(manager->Apply());
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{core->Text().Text("PROFILE_SELECT_PROMPT")});
    EXPECT_EQ(WorkingEntry(0, kSlotA).Type(), AssignmentType::kDefault);
    EXPECT_FALSE(model->IsModified());

    // Yes: the edit goes into the profile active until now, before the switch.
    manager->SetChecked(2, true);
    SetWorkingEntry(1, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kYes});
    TakeLog();
    ASSERT_TRUE(manager->Apply());
    const std::vector<int> commands = Commands(TakeLog());
    const auto keyMapWrite = std::find(commands.begin(), commands.end(), 8);
    ASSERT_NE(keyMapWrite, commands.end());
    EXPECT_LT(keyMapWrite, std::find(commands.begin(), commands.end(), 4));
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 1, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);

    // A keyboard that takes nothing: nothing is replaced and the change stays to be applied.
    manager->SetChecked(0, true);
    SetWorkingEntry(2, kSlotA, Disabled());
    model->SetModified(true);
    keyboard.SetFaults({.failWrites = true});
    EXPECT_FALSE(manager->Apply());
    keyboard.SetFaults({});
    EXPECT_TRUE(manager->HasUnappliedChanges());
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(WorkingEntry(2, kSlotA).Type(), AssignmentType::kDisabled);
}

} // namespace

} // namespace brasslane::test
