#include "core/device/ConnectionMonitor.h"

#include "RecordingUiSink.h"
#include "core/base/Messages.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

using test::UiEvent;
using Kind = UiEvent::Kind;
using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class ConnectionMonitorTest : public ::testing::Test {
protected:
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    DeviceLink link{backend};
    ConnectionState state;
    AppState app;
    test::RecordingUiSink ui;
    ConnectionMonitor monitor{backend, link, state,
                              app,     ui,   [](std::string_view key) { return "text of " + std::string(key); }};
};

TEST_F(ConnectionMonitorTest, ConnectsUnplugsAndReplugs) {
    app.activeProfile = 1;
    monitor.Start();
    ASSERT_TRUE(ui.WaitFor(Kind::kPost, MSG_OPEN));
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(state.publishedState.load(), 1);
    EXPECT_TRUE(WaitUntil([&] { return state.firstShow.load() == 1; }));
    EXPECT_EQ(state.macroCapacity.load(), 0x40u * 128);
    ASSERT_TRUE(state.HaveDefaultKeyMap());
    const auto map = state.DefaultKeyMap();
    const auto expected = keyboard.DefaultKeyMap();
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), map.begin()));

    // The probe's one information read, then command 15 over the block and command 3.
    const auto log = keyboard.RequestLog();
    ASSERT_EQ(log.size(), 1u + 7 + 1);
    EXPECT_EQ(log[0][3], 3);
    EXPECT_EQ(log[1][3], 15);
    EXPECT_EQ(log[8][3], 3);

    auto events = ui.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::kSend);
    EXPECT_EQ(events[0].message, MSG_PROFILE_SYNC);
    EXPECT_EQ(events[0].wParam, kCodeProf);
    EXPECT_EQ(events[1].kind, Kind::kIcon);
    EXPECT_EQ(events[1].message, static_cast<std::uint32_t>(kIconConnected));
    EXPECT_EQ(events[2].wParam, kCodeOpen);
    EXPECT_EQ(app.activeProfile.load(), 1);

    ui.Clear();
    const auto unplugged = std::chrono::steady_clock::now();
    keyboard.Unplug();
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconNoKeyboard));
    // Checked every 100 ms; the margin is for a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - unplugged, 600ms);
    EXPECT_FALSE(link.IsConnected());
    EXPECT_TRUE(WaitUntil([&] { return state.publishedState.load() == 0; }));
    EXPECT_EQ(state.stateIcon.load(), kIconNoKeyboard);
    EXPECT_EQ(app.activeProfile.load(), -1);
    events = ui.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::kSend);
    EXPECT_EQ(events[0].message, MSG_DEVICE_LOST);
    EXPECT_EQ(events[1].kind, Kind::kHide);

    ui.Clear();
    keyboard.Plug();
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconConnected));
    EXPECT_TRUE(WaitUntil([&] { return state.publishedState.load() == 1; }));
    std::this_thread::sleep_for(50ms); // the publication ends with the open request, if any
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_PROFILE_SYNC), 1u);
    EXPECT_EQ(ui.Count(Kind::kPost, MSG_OPEN), 0u) << "the window is brought up once per run";
    EXPECT_TRUE(link.IsConnected());

    monitor.Stop();
    EXPECT_FALSE(monitor.IsRunning());
}

TEST_F(ConnectionMonitorTest, StartsWithoutKeyboardAndStopsPromptly) {
    keyboard.Unplug();
    monitor.Start();
    ASSERT_TRUE(WaitUntil([&] { return state.firstShow.load() == 1; }));
    EXPECT_EQ(state.publishedState.load(), 0);
    EXPECT_TRUE(ui.Events().empty()) << "nothing to announce yet";

    keyboard.Plug();
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconConnected));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_PROFILE_SYNC), 1u);
    EXPECT_EQ(ui.Count(Kind::kPost, MSG_OPEN), 0u) << "a keyboard arriving later does not bring the window up";
    EXPECT_TRUE(keyboard.RequestLog().front()[3] == 15) << "no probe read when the keyboard was absent at start";

    keyboard.Unplug();
    ASSERT_TRUE(ui.WaitFor(Kind::kSend, MSG_DEVICE_LOST));
    // Now in the one-second search sleep.
    const auto stopping = std::chrono::steady_clock::now();
    monitor.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 300ms);
}

TEST_F(ConnectionMonitorTest, FailedDefaultKeyMapReadIsShownAndTheConnectionProceeds) {
    // The probe's read takes the first refusal, the first chunk of command 15 the second.
    keyboard.SetFaults({.statusByte = 0xFF, .statusCount = 2});
    monitor.Start();
    ASSERT_TRUE(ui.WaitFor(Kind::kPost, MSG_OPEN));
    const auto events = ui.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, Kind::kMessage);
    EXPECT_EQ(events[0].text, "text of MAIN_DEFAULT_MATRIX_PROMPT");
    EXPECT_FALSE(state.HaveDefaultKeyMap()) << "the built-in map stays";
    EXPECT_EQ(state.macroCapacity.load(), 0x40u * 128);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_PROFILE_SYNC), 1u);
}

TEST(ConnectionMonitorEnumeration, FailedEnumerationEndsTheThread) {
    class NoList : public sim::SimHidBackend {
    public:
        using SimHidBackend::SimHidBackend;
        bool Enumerate(std::vector<std::string>&) override { return false; }
    };
    sim::SimKeyboard keyboard;
    NoList backend(keyboard);
    DeviceLink link(backend);
    ConnectionState state;
    AppState app;
    test::RecordingUiSink ui;
    ConnectionMonitor monitor(backend, link, state, app, ui, nullptr);
    monitor.Start();
    ASSERT_TRUE(WaitUntil([&] { return !monitor.IsRunning(); }));
    EXPECT_TRUE(ui.Events().empty());
    EXPECT_EQ(state.firstShow.load(), 0);
}

} // namespace
} // namespace brasslane
