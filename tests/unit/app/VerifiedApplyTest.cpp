// The desktop app's write verification: taken from the settings, and a keyboard that stores a
// byte wrong fails the Apply with a message while the edit stays pending.

#include "AppTestSupport.h"

#include "core/keys/KeyEntry.h"
#include "core/resources/IniFile.h"

namespace brasslane::test {

namespace {

KeyEntry Disabled() {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
    return entry;
}

} // namespace

using VerifiedApplyTest = AppFixture;

TEST_F(VerifiedApplyTest, ApplyCatchesAKeyMapByteStoredWrongAndStaysPending) {
    Arrive();
    EXPECT_TRUE(core->Profiles().VerifyWrites()) << "on unless the settings say otherwise";
    SetWorkingEntry(0, 0x1E, Disabled());
    model->SetModified(true);

    // The keyboard stores the first byte of the third key-map chunk changed, and says it took it.
    keyboard.SetFaults({.corruptCommand = 8, .corruptAfter = 2});
    EXPECT_FALSE(model->Apply());
    EXPECT_EQ(model->LastWrite().failure, WriteFailure::kMismatch);
    EXPECT_EQ(model->LastWrite().profile, 0);
    EXPECT_EQ(model->LastWrite().offset, 112U);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(view.applyEnabled);
    const std::vector<std::string> texts = ui.TakeTexts();
    ASSERT_EQ(texts.size(), 1U);
    EXPECT_NE(texts[0].find("profile 1"), std::string::npos) << texts[0];

    // The fault gone, Apply again writes and verifies the whole key map.
    EXPECT_TRUE(model->Apply());
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, 0x1E).Type(), AssignmentType::kDisabled);
    EXPECT_TRUE(ui.Texts().empty());
}

TEST_F(VerifiedApplyTest, SettingTurnsVerificationOff) {
    ASSERT_TRUE(IniFile(folder.Path() / "config" / "Brasslane.ini").Write("PROFILES", "VerifyWrites", "0"));
    model.reset();
    core = std::make_unique<AppCore>(MakeOptions(folder.Path()), backend, ui);
    model = std::make_unique<MainWindowModel>(*core, view);
    EXPECT_FALSE(core->Profiles().VerifyWrites());
    Arrive();
    SetWorkingEntry(0, 0x1E, Disabled());
    model->SetModified(true);
    EXPECT_TRUE(model->Apply());
    EXPECT_EQ(CountCommand(TakeLog(), 7), 0) << "nothing read back";
}

} // namespace brasslane::test
