// The active-window watcher against a real X server (Xvfb, started by the test), with windows
// the test makes and focus moved as a window manager moves it: by setting _NET_ACTIVE_WINDOW on
// the root window. Skipped where Xvfb is not installed.

#include "platform/linux/X11ActiveWindowWatcher.h"

#include "core/app/AutoProfileSwitcher.h"
#include "core/base/Messages.h"

#include "support/ManualClock.h"
#include "unit/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace brasslane::test {
namespace {

using namespace std::chrono_literals;

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

// An Xvfb of its own on a free display, chosen by the server (-displayfd).
class Xvfb {
public:
    Xvfb() {
        const std::string program = FindProgram("Xvfb");
        if (program.empty()) {
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "320x240x24",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            m_display = ":" + number;
        }
    }
    ~Xvfb() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& Display() const { return m_display; }
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// What a program and its window manager do to the X server: windows with their names, and the
// root's _NET_ACTIVE_WINDOW.
class Desktop {
public:
    explicit Desktop(const std::string& display) : m_connection(xcb_connect(display.c_str(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_active = Atom("_NET_ACTIVE_WINDOW");
        m_name = Atom("_NET_WM_NAME");
        m_pid = Atom("_NET_WM_PID");
        m_utf8 = Atom("UTF8_STRING");
    }
    ~Desktop() { xcb_disconnect(m_connection); }

    xcb_window_t MakeWindow(const std::string& instance, const std::string& windowClass, const std::string& title,
                            std::uint32_t pid) {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const std::string wmClass = instance + '\0' + windowClass + '\0';
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
        SetTitle(window, title);
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_pid, XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_flush(m_connection);
        return window;
    }
    void SetTitle(xcb_window_t window, const std::string& title) {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_name, m_utf8, 8,
                            static_cast<std::uint32_t>(title.size()), title.data());
        xcb_flush(m_connection);
    }
    void Activate(xcb_window_t window) {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_root, m_active, XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(m_connection);
    }

private:
    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(reply);
        return atom;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
    xcb_atom_t m_active = 0, m_name = 0, m_pid = 0, m_utf8 = 0;
};

std::string OwnProgram() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

TEST(X11ActiveWindowWatcherTest, WithoutAnXServerItSaysSoAndStaysOff) {
    RecordingUiSink ui;
    platform::X11ActiveWindowWatcher watcher(ui, ":4093");
    watcher.Start();
    ASSERT_TRUE(ui.WaitFor(UiEvent::Kind::kPost, MSG_ACTIVE_WINDOW));
    watcher.Stop();
    const std::vector<UiEvent> events = ui.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].wParam, kCodeWind);
    EXPECT_NE(watcher.Problem().find(":4093"), std::string::npos) << watcher.Problem();
    EXPECT_EQ(watcher.Latest().id, 0u);
    EXPECT_NE(events[0].thread, std::this_thread::get_id());
}

TEST(X11ActiveWindowWatcherTest, ProgramOfProcess) {
    EXPECT_EQ(platform::ProgramOfProcess(getpid()), OwnProgram());
    EXPECT_EQ(platform::ProgramOfProcess(0), "");
    EXPECT_EQ(platform::ProgramOfProcess(0x3FFFFF), ""); // no such process
}

class WatcherOnXvfb : public AppFixture {
protected:
    void SetUp() override {
        if (m_server.Display().empty()) {
            GTEST_SKIP() << "needs Xvfb";
        }
        AppFixture::SetUp();
    }

    // Waits for the watcher's next report and hands it to the switcher as the window would.
    ActiveWindow NextReport(std::size_t& seen) {
        EXPECT_TRUE(ui.WaitFor(UiEvent::Kind::kPost, MSG_ACTIVE_WINDOW, ++seen));
        const ActiveWindow window = m_watcher->Latest();
        m_switcher->OnActiveWindow(window);
        return window;
    }
    // Lets `time` pass; a switch the switcher started runs on the window's worker, and its
    // end is handed back to the window as the window's thread would.
    void Pass(std::chrono::milliseconds time) {
        m_clock.Advance(time);
        m_switcher->OnTimer();
        if (model->JobRunning()) {
            FinishJob();
        }
    }

    Xvfb m_server;
    ManualClock m_clock;
    std::unique_ptr<platform::X11ActiveWindowWatcher> m_watcher;
    std::unique_ptr<AutoProfileSwitcher> m_switcher;
};

TEST_F(WatcherOnXvfb, ReportsTheFocusedWindowAndTheKeyboardFollows) {
    Arrive();
    const std::filesystem::path rules = folder.Path() / "config" / "AutoProfiles.conf";
    std::ofstream(rules) << "enabled = yes\ndefault = 1\nclass steam_app_570 = 3\ntitle Inkscape = 2\n";
    m_switcher = std::make_unique<AutoProfileSwitcher>(rules, m_clock, ui, core->Text(), -1,
                                                       MainWindowAutoProfileHooks(*model, view, *core, nullptr));
    Desktop desktop(m_server.Display());
    const xcb_window_t game = desktop.MakeWindow("steam_app_570", "steam_app_570", "Dota 2", getpid());
    const xcb_window_t editor =
        desktop.MakeWindow("org.inkscape.Inkscape", "Inkscape", "drawing.svg - Inkscape", m_server.Pid());

    m_watcher = std::make_unique<platform::X11ActiveWindowWatcher>(ui, m_server.Display());
    m_watcher->Start();
    std::size_t seen = 0;
    EXPECT_EQ(NextReport(seen).id, 0u); // no window manager has named a window yet

    desktop.Activate(game);
    const ActiveWindow first = NextReport(seen);
    EXPECT_EQ(first.id, game);
    EXPECT_EQ(first.instance, "steam_app_570");
    EXPECT_EQ(first.windowClass, "steam_app_570");
    EXPECT_EQ(first.title, "Dota 2");
    EXPECT_EQ(first.pid, getpid());
    EXPECT_EQ(first.exe, OwnProgram());

    // The focus moves on within 300 ms: the keyboard is not asked for anything.
    Pass(200ms);
    desktop.Activate(editor);
    const ActiveWindow second = NextReport(seen);
    EXPECT_EQ(second.id, editor);
    EXPECT_EQ(second.windowClass, "Inkscape");
    EXPECT_EQ(second.exe, std::filesystem::canonical(FindProgram("Xvfb")).string());
    Pass(200ms);
    EXPECT_TRUE(keyboard.RequestLog().empty());
    EXPECT_EQ(keyboard.ActiveProfile(), 0);
    Pass(100ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 1); // "title Inkscape = 2"

    // The focused window's title changes: reported, and a rule on the new title applies.
    desktop.SetTitle(editor, "Blender");
    EXPECT_EQ(NextReport(seen).title, "Blender");
    Pass(300ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 0); // no rule: the default profile

    desktop.Activate(game);
    EXPECT_EQ(NextReport(seen).id, game);
    Pass(300ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);

    // The key dialog, then the profile manager, hold the switch back until they close.
    view.keyDialogOpen = true;
    desktop.Activate(editor);
    EXPECT_EQ(NextReport(seen).id, editor);
    Pass(300ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    view.keyDialogOpen = false;
    model->ManagerFlags().openCount = 1;
    Pass(1000ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    model->ManagerFlags().openCount = 0;
    Pass(1000ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 0);

    // A native Wayland window (or none) has the focus: known as nothing, the profile stays.
    desktop.Activate(XCB_WINDOW_NONE);
    EXPECT_EQ(NextReport(seen).id, 0u);
    Pass(300ms);
    EXPECT_EQ(keyboard.ActiveProfile(), 0);
    m_watcher->Stop();
}

} // namespace
} // namespace brasslane::test
