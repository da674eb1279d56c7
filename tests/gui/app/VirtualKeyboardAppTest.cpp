// The desktop app on hidraw, against the simulated keyboard served by brasslane-vhid: it follows
// the keyboard's unplug and replug through real files, and says how to install the device rule
// when the keyboard is there but may not be opened. Skipped where FUSE cannot be mounted.

#include "AppTestHarness.h"

#include "gui/CTrayIcon.h"
#include "gui/MessageBox.h"

#include "core/base/Messages.h"
#include "support/TempFolder.h"
#include "support/VirtualKeyboard.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace brasslane::gui::test {
namespace {

// Points the hidraw backend at the virtual keyboard for one test.
class HidrawRoots {
public:
    explicit HidrawRoots(const brasslane::test::VirtualKeyboard& keyboard) {
        ::setenv("BRASSLANE_SYSFS_ROOT", keyboard.SysRoot().c_str(), 1);
        ::setenv("BRASSLANE_DEV_ROOT", keyboard.DevRoot().c_str(), 1);
    }
    ~HidrawRoots() {
        ::unsetenv("BRASSLANE_SYSFS_ROOT");
        ::unsetenv("BRASSLANE_DEV_ROOT");
    }
    HidrawRoots(const HidrawRoots&) = delete;
    HidrawRoots& operator=(const HidrawRoots&) = delete;
};

long Count(const std::vector<std::string>& states, const char* state) {
    return std::count(states.begin(), states.end(), std::string(state));
}

TEST(VirtualKeyboardAppTest, FollowsUnplugAndReplugThroughHidraw) {
    BRASSLANE_REQUIRE_APP();
    brasslane::test::TempFolder folder("brasslane-vhid-app-");
    brasslane::test::VirtualKeyboard keyboard(folder.Path());
    if (const std::string reason = keyboard.Start(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    HidrawRoots roots(keyboard);
    AppHarness h;
    ASSERT_TRUE(h.Start({}, false));
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    EXPECT_TRUE(h.Window().isVisible());

    ASSERT_TRUE(keyboard.Control("unplug"));
    ASSERT_TRUE(h.WaitForState("keyboard-lost"));
    EXPECT_TRUE(WaitFor([&] { return !h.Window().isVisible(); })) << "the window hides";
    EXPECT_TRUE(WaitFor([&] { return h.Window().TrayIcon()->IconResource() == kIconNoKeyboard; }));

    ASSERT_TRUE(keyboard.Control("plug"));
    ASSERT_TRUE(WaitFor([&] { return Count(h.States(), "keyboard-connected") == 2; }, 5000));
    EXPECT_TRUE(WaitFor([&] { return h.Window().TrayIcon()->IconResource() == kIconConnected; }));
    Settle(200);
    EXPECT_FALSE(h.Window().isVisible()) << "the window opens by itself only the first time";
}

TEST(VirtualKeyboardAppTest, SaysHowToInstallTheRuleWhenTheKeyboardMayNotBeOpened) {
    BRASSLANE_REQUIRE_APP();
    brasslane::test::TempFolder folder("brasslane-vhid-app-");
    brasslane::test::VirtualKeyboard keyboard(folder.Path());
    if (const std::string reason = keyboard.Start(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    ASSERT_TRUE(keyboard.Control("deny-open on"));
    HidrawRoots roots(keyboard);
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}, false));
    ASSERT_TRUE(h.WaitForState("hidden-in-tray"));
    ASSERT_TRUE(WaitFor([] { return !MessageBox::ShownSoFar().empty(); }, 5000)) << "nothing told the user";
    const QString text = MessageBox::ShownSoFar()[0].text;
    EXPECT_TRUE(text.startsWith(QString::fromStdString(h.Core().Text().Text("MAIN_DEVICE_ACCESS_PROMPT"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains("udevadm trigger")) << text.toStdString();

    // Told once; with access the keyboard connects at the next search.
    ASSERT_TRUE(keyboard.Control("deny-open off"));
    ASSERT_TRUE(h.WaitForState("keyboard-connected"));
    Settle(1200);
    EXPECT_EQ(MessageBox::ShownSoFar().size(), 1u);
}

} // namespace
} // namespace brasslane::gui::test
