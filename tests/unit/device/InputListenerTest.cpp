#include "core/device/InputListener.h"

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

class InputListenerTest : public ::testing::Test {
protected:
    // The listener opens the interface on its own thread; notifications raised before that
    // reach nobody, so the first one is repeated until it is seen.
    void WaitUntilListening() {
        for (int i = 0; i < 300 && ui.Count(Kind::kTimer, kTimerLightingReload) == 0; ++i) {
            keyboard.RaiseNotification(kUsageLightingChanged);
            ui.WaitFor(Kind::kTimer, kTimerLightingReload, 1, 10ms);
        }
        ASSERT_GT(ui.Count(Kind::kTimer, kTimerLightingReload), 0u);
        // Any repeats still queued are taken before the test's own notification.
        keyboard.RaiseNotification(kUsageSettingsReset);
        ASSERT_TRUE(ui.WaitFor(Kind::kTimer, kTimerSettingsReset));
        ui.Clear();
    }

    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    ConnectionState state;
    test::RecordingUiSink ui;
    InputListener listener{backend, state, ui};
};

TEST_F(InputListenerTest, TurnsNotificationsIntoTimersAndIcons) {
    listener.Start();
    WaitUntilListening();

    keyboard.RaiseNotification(0x1801); // not one of the keyboard's notifications
    keyboard.RaiseNotification(kUsageLightingChanged);
    keyboard.RaiseNotification(kUsageSettingsReset);
    ASSERT_TRUE(ui.WaitFor(Kind::kTimer, kTimerSettingsReset));
    auto events = ui.Events();
    ASSERT_EQ(events.size(), 2u) << "0x1801 changes nothing";
    EXPECT_EQ(events[0].message, static_cast<std::uint32_t>(kTimerLightingReload));
    EXPECT_EQ(events[0].wParam, 0u) << "fires at once";
    EXPECT_EQ(events[1].message, static_cast<std::uint32_t>(kTimerSettingsReset));

    state.stateIcon = kIconConnected;
    keyboard.RaiseNotification(kUsageStateOn);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconKeyboardState));
    keyboard.RaiseNotification(kUsageStateOff);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconConnected));
    state.stateIcon = kIconNoKeyboard;
    keyboard.RaiseNotification(kUsageStateOff);
    ASSERT_TRUE(ui.WaitFor(Kind::kIcon, kIconNoKeyboard));
    events = ui.Events();
    ASSERT_EQ(events.size(), 5u);
    for (std::size_t i = 2; i < events.size(); ++i) {
        EXPECT_NE(events[i].thread, events[0].thread) << "tray icons are set from worker threads";
    }
    listener.Stop();
}

TEST_F(InputListenerTest, FindsTheKeyboardAgainAfterItWasUnplugged) {
    keyboard.Unplug();
    listener.Start();
    std::this_thread::sleep_for(50ms);
    keyboard.Plug();
    WaitUntilListening();

    keyboard.Unplug();
    keyboard.Plug();
    ui.Clear();
    WaitUntilListening();
    EXPECT_TRUE(listener.IsRunning());
}

TEST_F(InputListenerTest, StopWakesABlockedRead) {
    listener.Start();
    WaitUntilListening();
    const auto stopping = std::chrono::steady_clock::now();
    listener.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 300ms);
    EXPECT_FALSE(listener.IsRunning());

    keyboard.RaiseNotification(kUsageStateOn);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(ui.Events().empty());
}

} // namespace
} // namespace brasslane
