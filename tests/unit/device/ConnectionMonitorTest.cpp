#include "core/device/ConnectionMonitor.h"

#include "support/ManualClock.h"
#include "support/RecordingUiSink.h"
#include "core/base/Messages.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

using test::UiEvent;
using Kind = UiEvent::Kind;
using namespace std::chrono_literals;

// The monitor runs on a manual clock: each step waits until it is parked in its next pause,
// checks what it did, and moves time on to the end of that pause.
class ConnectionMonitorTest : public ::testing::Test {
protected:
    // Waits until the monitor has done its work and sleeps, and returns how long it sleeps.
    std::chrono::milliseconds Parked() {
        EXPECT_TRUE(clock.WaitForParked(1)) << "the monitor never came to its next pause";
        return clock.NextWakeIn().value_or(0ms);
    }
    // Lets the monitor sleep out its current pause.
    void TickToNextPause() { clock.Advance(Parked()); }

    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    DeviceLink link{backend};
    ConnectionState state;
    AppState app;
    test::RecordingUiSink ui;
    test::ManualClock clock;
    ConnectionMonitor monitor{
        backend, link, state, app, ui, [](std::string_view key) { return "text of " + std::string(key); }, &clock};
};

TEST_F(ConnectionMonitorTest, ConnectsUnplugsAndReplugs) {
    app.activeProfile = 1;
    monitor.Start();
    EXPECT_EQ(Parked(), 100ms) << "connected: the interface is checked every 100 ms";
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(state.publishedState.load(), 1);
    EXPECT_EQ(state.firstShow.load(), 1);
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
    EXPECT_EQ(events[2].kind, Kind::kPost);
    EXPECT_EQ(events[2].wParam, kCodeOpen);
    EXPECT_EQ(app.activeProfile.load(), 1);

    // Connected and present: each check passes quietly.
    ui.Clear();
    TickToNextPause();
    EXPECT_EQ(Parked(), 100ms);
    EXPECT_TRUE(ui.Events().empty());

    // The unplug is seen at the next check, not before it.
    keyboard.Unplug();
    clock.Advance(99ms);
    EXPECT_EQ(Parked(), 1ms);
    EXPECT_TRUE(ui.Events().empty());
    clock.Advance(1ms);
    EXPECT_EQ(Parked(), 1000ms) << "disconnected: searched for once a second";
    EXPECT_FALSE(link.IsConnected());
    EXPECT_EQ(state.publishedState.load(), 0);
    EXPECT_EQ(state.stateIcon.load(), kIconNoKeyboard);
    EXPECT_EQ(app.activeProfile.load(), -1);
    events = ui.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::kSend);
    EXPECT_EQ(events[0].message, MSG_DEVICE_LOST);
    EXPECT_EQ(events[1].kind, Kind::kHide);
    EXPECT_EQ(events[2].kind, Kind::kIcon);
    EXPECT_EQ(events[2].message, static_cast<std::uint32_t>(kIconNoKeyboard));

    ui.Clear();
    keyboard.Plug();
    TickToNextPause();
    EXPECT_EQ(Parked(), 100ms);
    events = ui.Events();
    ASSERT_EQ(events.size(), 2u) << "the window is brought up once per run";
    EXPECT_EQ(events[0].message, MSG_PROFILE_SYNC);
    EXPECT_EQ(events[1].message, static_cast<std::uint32_t>(kIconConnected));
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(state.publishedState.load(), 1);

    monitor.Stop();
    EXPECT_FALSE(monitor.IsRunning());
}

TEST_F(ConnectionMonitorTest, SeesAReplugWithinOnePresenceInterval) {
    monitor.Start();
    ASSERT_EQ(Parked(), 100ms);
    ASSERT_TRUE(link.IsConnected());
    ui.Clear();

    // Gone and back before the next check: the interface has the same path, but the command
    // device still holds a handle of the keyboard that left.
    keyboard.Unplug();
    keyboard.Plug();
    TickToNextPause();
    EXPECT_EQ(Parked(), 1000ms);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_DEVICE_LOST), 1u) << "the replug is a loss and a new arrival";
    EXPECT_FALSE(link.IsConnected());

    TickToNextPause();
    EXPECT_EQ(Parked(), 100ms);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_PROFILE_SYNC), 1u);
    ASSERT_TRUE(link.IsConnected());
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    EXPECT_EQ(link.ReadDeviceInfo(info), kStatusSuccess) << "commands reach the keyboard again";
    EXPECT_EQ(info, keyboard.Info());
}

TEST_F(ConnectionMonitorTest, StartsWithoutKeyboardAndStopsDuringItsSearchPause) {
    keyboard.Unplug();
    monitor.Start();
    EXPECT_EQ(Parked(), 1000ms);
    EXPECT_EQ(state.firstShow.load(), 1);
    EXPECT_EQ(state.publishedState.load(), 0);
    EXPECT_TRUE(ui.Events().empty()) << "nothing to announce yet";

    keyboard.Plug();
    clock.Advance(999ms);
    EXPECT_EQ(Parked(), 1ms);
    EXPECT_TRUE(ui.Events().empty()) << "the keyboard is looked for once a second";
    clock.Advance(1ms);
    EXPECT_EQ(Parked(), 100ms);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_PROFILE_SYNC), 1u);
    EXPECT_EQ(ui.Count(Kind::kPost, MSG_OPEN), 0u) << "a keyboard arriving later does not bring the window up";
    EXPECT_EQ(keyboard.RequestLog().front()[3], 15) << "no probe read when the keyboard was absent at start";

    keyboard.Unplug();
    TickToNextPause();
    EXPECT_EQ(Parked(), 1000ms);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_DEVICE_LOST), 1u);
    // Time stands still from here on: only Stop can end the pause.
    monitor.Stop();
    EXPECT_FALSE(monitor.IsRunning());
}

TEST_F(ConnectionMonitorTest, FailedDefaultKeyMapReadIsShownAndTheConnectionProceeds) {
    // The probe's read takes the first refusal, the first chunk of command 15 the second.
    keyboard.SetFaults({.statusByte = 0xFF, .statusCount = 2});
    monitor.Start();
    Parked();
    const auto events = ui.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, Kind::kMessage);
    EXPECT_EQ(events[0].text, "text of MAIN_DEFAULT_MATRIX_PROMPT");
    EXPECT_FALSE(state.HaveDefaultKeyMap()) << "the built-in map stays";
    EXPECT_EQ(state.macroCapacity.load(), 0x40u * 128);
    EXPECT_EQ(ui.Count(Kind::kSend, MSG_PROFILE_SYNC), 1u);
    EXPECT_EQ(ui.Count(Kind::kPost, MSG_OPEN), 1u);
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
    test::ManualClock clock;
    ConnectionMonitor monitor(backend, link, state, app, ui, nullptr, &clock);
    monitor.Start();
    // The thread ends by itself; it never comes to a pause that only Stop could end.
    for (int i = 0; i < 10000 && monitor.IsRunning(); ++i) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(monitor.IsRunning());
    EXPECT_EQ(clock.WaitsStarted(), 0u);
    EXPECT_TRUE(ui.Events().empty());
    EXPECT_EQ(state.firstShow.load(), 0);
}

} // namespace
} // namespace brasslane
