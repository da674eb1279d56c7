// The session core as brasslanectl builds it: no threads, no MainWindowModel.

#include "AppTestSupport.h"

#include "core/app/SessionCore.h"

namespace brasslane::test {

namespace {

namespace fs = std::filesystem;

class SessionCoreTest : public ::testing::Test {
protected:
    SessionCoreTest() : options(MakeOptions(folder.Path())) {}

    TempFolder folder;
    SessionCoreOptions options;
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    ScriptedUi ui;
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

} // namespace

} // namespace brasslane::test
