// The session core as brasslanectl builds it (no threads, no MainWindowModel) and the lighting
// reset both programs share.

#include "AppTestSupport.h"

#include "core/app/SessionCore.h"
#include "core/lighting/EffectList.h"
#include "core/lighting/KeyColourTable.h"
#include "core/lighting/LightingBlock.h"
#include "core/lighting/UserModeFile.h"

#include <algorithm>
#include <fstream>

namespace brasslane::test {

namespace {

namespace fs = std::filesystem;

// The colour the keyboard keeps for key colour index `index` of `profile` (stored green, red,
// blue).
Rgb KeyboardColour(const sim::SimKeyboard& keyboard, int profile, int index) {
    const auto area = keyboard.KeyColours();
    const std::size_t at = static_cast<std::size_t>(profile) * 512 + static_cast<std::size_t>(index) * 3;
    return Rgb{area[at + 1], area[at], area[at + 2]};
}

class SessionCoreTest : public ::testing::Test, protected SimKeyboardFixture {
protected:
    SessionCoreTest() : options(MakeOptions(folder.Path())) {}

    // A core over the simulated keyboard, connected and with `profile`'s lighting loaded, as
    // brasslanectl's lighting commands start.
    void ConnectAndLoad(int profile) {
        const ConnectResult connected = core->Connect();
        ASSERT_EQ(connected.search, SearchResult::kFound);
        ASSERT_EQ(connected.reads, kStatusSuccess);
        ASSERT_TRUE(core->Lighting().SetProfile(profile));
        ASSERT_EQ(core->Lighting().Load(false), kStatusSuccess);
        keyboard.ClearRequestLog();
    }

    void WriteModeFile(int profile, const std::string& text) {
        fs::create_directories(options.paths.userFolder);
        std::ofstream(options.paths.UserModeFile(profile), std::ios::binary | std::ios::trunc) << text;
    }

    TempFolder folder;
    SessionCoreOptions options;
    RecordingUiSink ui;
    std::unique_ptr<SessionCore> core = std::make_unique<SessionCore>(options, backend, ui);
};

TEST_F(SessionCoreTest, BuildingTouchesNothingAndConnectReadsWhatAnArrivalReads) {
    // The core alone leaves the user folder to whoever needs it; the desktop app's core creates
    // and seeds it at once.
    EXPECT_FALSE(fs::exists(options.paths.userFolder));
    EXPECT_TRUE(keyboard.RequestLog().empty());
    EXPECT_EQ(core->State().activeProfile.load(), -1);

    const ConnectResult connected = core->Connect();
    EXPECT_EQ(connected.search, SearchResult::kFound);
    EXPECT_EQ(connected.reads, kStatusSuccess);
    EXPECT_TRUE(core->Link().IsConnected());
    EXPECT_EQ(core->Connection().keyCount.load(), keyboard.KeyCount());
    EXPECT_GT(core->Connection().macroCapacity.load(), 0u);
    const std::vector<int> commands = Commands(keyboard.RequestLog());
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), 15);
    EXPECT_EQ(commands.back(), 3);

    // With the keyboard unplugged the search finds nothing, and still no file is made.
    SessionCore other(options, backend, ui);
    keyboard.Unplug();
    EXPECT_EQ(other.Connect().search, SearchResult::kNotFound);
    EXPECT_FALSE(fs::exists(options.paths.userFolder));

    {
        AppCore desktop(options, backend, ui);
        EXPECT_TRUE(fs::exists(options.paths.UserModeFile(0)));
        EXPECT_TRUE(fs::exists(options.paths.UserModeFile(2)));
    }
}

TEST_F(SessionCoreTest, LightingResetRestoresTheProfilesUserModesAndSendsTheirColours) {
    ConnectAndLoad(1);
    ASSERT_EQ(core->Lighting().SelectEffect(core->Lighting().EffectIndex().PositionOf(5)), kStatusSuccess);
    keyboard.ClearRequestLog();
    // The user folder exists with edited modes: profile 1's is restored, profile 0's stays.
    WriteModeFile(0, "[PRESENTMODE]\nmode=0\n[Mode0]\n64=1,2,3,1\n");
    WriteModeFile(1, "[PRESENTMODE]\nmode=3\n[Mode3]\n64=1,2,3,1\n");
    const std::string profile0Before = ReadBytes(options.paths.UserModeFile(0));

    const LightingResetResult reset = core->ResetLighting();
    EXPECT_EQ(reset.status, kStatusSuccess);
    EXPECT_TRUE(reset.userModes);
    EXPECT_TRUE(reset.modeFileError.empty()) << reset.modeFileError;

    const fs::path installed = options.paths.DefaultUserModeFile();
    EXPECT_TRUE(ReadBytes(options.paths.UserModeFile(1)) == ReadBytes(installed));
    EXPECT_EQ(ReadBytes(options.paths.UserModeFile(0)), profile0Before);

    // The keyboard holds the default's current mode for every key of profile 1.
    const UserModeFile defaults(installed);
    const int mode = defaults.ReadCurrentMode();
    int wrongKeys = 0;
    for (const std::uint8_t index : KeyButtonColourIndices()) {
        wrongKeys += KeyboardColour(keyboard, 1, index) == defaults.ReadKeyEntry(mode, index).colour ? 0 : 1;
    }
    EXPECT_EQ(wrongKeys, 0);
    EXPECT_EQ(core->KeyColours().CurrentMode(), mode);

    // Effect 1 first, then the key colours in a transaction of their own, the default block last.
    const std::vector<int> commands = Commands(keyboard.RequestLog());
    ASSERT_GE(commands.size(), 6u);
    EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + 2), (std::vector<int>{1, 6}));
    const auto firstColours = std::find(commands.begin(), commands.end(), 17);
    ASSERT_NE(firstColours, commands.end());
    EXPECT_EQ(*(firstColours - 1), 1);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 17),
              static_cast<std::ptrdiff_t>(KeyColourChunkCount(keyboard.KeyCount())));
    EXPECT_EQ(std::vector<int>(commands.end() - 3, commands.end()), (std::vector<int>{1, 6, 2}));
    const auto lighting = keyboard.Lighting();
    EXPECT_TRUE(std::equal(kDefaultBlock.begin(), kDefaultBlock.end(), lighting.begin() + kLightingBlockSize));
    EXPECT_EQ(core->Lighting().State().effect, 1);
}

TEST_F(SessionCoreTest, LightingResetCreatesAMissingUserFolderAndReportsAModeFileItCannotWrite) {
    // A run that never had a user folder (brasslanectl before the desktop app ever ran).
    ConnectAndLoad(0);
    EXPECT_EQ(core->ResetLighting().modeFileError, "");
    const std::string installed = ReadBytes(options.paths.DefaultUserModeFile());
    EXPECT_TRUE(ReadBytes(options.paths.UserModeFile(0)) == installed);
    EXPECT_TRUE(ReadBytes(options.paths.UserModeFile(2)) == installed);

    // A mode file that cannot be replaced is reported; the keyboard is reset all the same.
    fs::remove(options.paths.UserModeFile(0));
    fs::create_directories(options.paths.UserModeFile(0) / "in-the-way");
    keyboard.ClearRequestLog();
    const LightingResetResult reset = core->ResetLighting();
    EXPECT_FALSE(reset.modeFileError.empty());
    EXPECT_EQ(reset.status, kStatusSuccess);
    EXPECT_GT(CountCommand(keyboard.RequestLog(), 6), 0);
}

TEST_F(SessionCoreTest, LightingResetWithoutThePerKeyEffectLeavesTheModesAlone) {
    auto info = keyboard.Info();
    std::replace(info.begin() + kInfoEffectListOffset, info.end(), kEffectPerKey, std::uint8_t{0});
    keyboard.SetInfo(info);
    ConnectAndLoad(0);

    const LightingResetResult reset = core->ResetLighting();
    EXPECT_EQ(reset.status, kStatusSuccess);
    EXPECT_FALSE(reset.userModes);
    EXPECT_FALSE(fs::exists(options.paths.userFolder));
    EXPECT_EQ(CountCommand(keyboard.RequestLog(), 17), 0);
    const auto lighting = keyboard.Lighting();
    EXPECT_TRUE(std::equal(kDefaultBlock.begin(), kDefaultBlock.end(), lighting.begin()));
}

} // namespace

} // namespace brasslane::test
