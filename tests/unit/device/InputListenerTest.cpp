#include "core/device/InputListener.h"

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

// The listener runs on a manual clock: its search pause and the tray workers' hold last until
// the test moves time on. A notification reaches the listener once it holds the consumer
// interface open, which the simulated keyboard tells.
class InputListenerTest : public ::testing::Test {
protected:
    void StartListening() {
        listener.Start();
        ASSERT_TRUE(keyboard.WaitForConsumerReaders(1));
    }

    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    ConnectionState state;
    test::RecordingUiSink ui;
    test::ManualClock clock;
    InputListener listener{backend, state, ui, &clock};
};

TEST_F(InputListenerTest, TurnsNotificationsIntoTimersAndIcons) {
    StartListening();
    keyboard.RaiseNotification(0x1801); // not one of the keyboard's notifications
    keyboard.RaiseNotification(kUsageLightingChanged);
    keyboard.RaiseNotification(kUsageSettingsReset);
    ASSERT_TRUE(ui.WaitFor(Kind::kTimer, kTimerSettingsReset));
    auto events = ui.Events();
    ASSERT_EQ(events.size(), 2u) << "0x1801 changes nothing";
    EXPECT_EQ(events[0].message, static_cast<std::uint32_t>(kTimerLightingReload));
    EXPECT_EQ(events[0].wParam, 0u) << "fires at once";
    EXPECT_EQ(events[1].message, static_cast<std::uint32_t>(kTimerSettingsReset));

    // Icons are set one at a time: each worker holds the tray for a millisecond.
    state.stateIcon = kIconConnected;
    // The second notification comes once the first worker holds the tray: two workers started
    // together may take it in either order.
    keyboard.RaiseNotification(kUsageStateOn);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconKeyboardState));
    ASSERT_TRUE(clock.WaitForParked(1));
    keyboard.RaiseNotification(kUsageStateOff);
    EXPECT_EQ(clock.NextWakeIn(), 1ms);
    EXPECT_EQ(ui.Count(Kind::kIcon, kIconConnected), 0u) << "the second worker waits for the first";
    clock.Advance(1ms);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconConnected));
    ASSERT_TRUE(clock.WaitForParked(1));
    clock.Advance(1ms);

    state.stateIcon = kIconNoKeyboard;
    keyboard.RaiseNotification(kUsageStateOff);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconNoKeyboard)) << "back to the state icon of the moment";
    events = ui.Events();
    ASSERT_EQ(events.size(), 5u);
    for (std::size_t i = 2; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, Kind::kIcon);
        EXPECT_NE(events[i].thread, events[0].thread) << "tray icons are set from worker threads";
    }
    listener.Stop();
}

TEST_F(InputListenerTest, FindsTheKeyboardAgainAfterItWasUnplugged) {
    keyboard.Unplug();
    listener.Start();
    ASSERT_TRUE(clock.WaitForParked(1));
    EXPECT_EQ(clock.NextWakeIn(), 1000ms);

    keyboard.Plug();
    clock.Advance(999ms);
    ASSERT_TRUE(clock.WaitForParked(1));
    EXPECT_EQ(keyboard.ConsumerReaders(), 0u) << "searched for once a second";
    clock.Advance(1ms);
    ASSERT_TRUE(keyboard.WaitForConsumerReaders(1));
    keyboard.RaiseNotification(kUsageLightingChanged);
    ASSERT_TRUE(ui.WaitFor(Kind::kTimer, kTimerLightingReload));

    // The failed read closes the interface; the next search a second later opens the new one.
    keyboard.Unplug();
    ASSERT_TRUE(clock.WaitForParked(1));
    EXPECT_EQ(clock.NextWakeIn(), 1000ms);
    keyboard.Plug();
    clock.Advance(1000ms);
    ASSERT_TRUE(keyboard.WaitForConsumerReaders(1));
    keyboard.RaiseNotification(kUsageSettingsReset);
    ASSERT_TRUE(ui.WaitFor(Kind::kTimer, kTimerSettingsReset));
    EXPECT_TRUE(listener.IsRunning());
}

TEST_F(InputListenerTest, StopWakesABlockedReadAndAHoldingWorker) {
    StartListening();
    keyboard.RaiseNotification(kUsageStateOn);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconKeyboardState));
    ASSERT_TRUE(clock.WaitForParked(1));
    // Time stands still: only Stop can end the read and the worker's hold.
    listener.Stop();
    EXPECT_FALSE(listener.IsRunning());
    EXPECT_EQ(keyboard.ConsumerReaders(), 0u) << "the interface is closed";
}

} // namespace
} // namespace brasslane
