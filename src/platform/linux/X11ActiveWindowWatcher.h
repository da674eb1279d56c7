#pragma once

// Follows the window that has the focus on an X server: the window manager names it in the root
// window's _NET_ACTIVE_WINDOW property, and a change of that property is an event. Of the
// focused window it reads WM_CLASS, the title (_NET_WM_NAME, else WM_NAME) and _NET_WM_PID, whose
// /proc/PID/exe gives the program file; a change of its title or class is followed too.
//
// Runs its own thread, which sleeps in poll() until the X server or Stop() wakes it, so an idle
// desktop costs nothing. It never touches the user interface: it posts MSG_ACTIVE_WINDOW through
// the UI sink, and the user-interface thread then reads Latest(). This covers X11 sessions and
// X11 programs under XWayland; a native Wayland window has the focus when _NET_ACTIVE_WINDOW is
// None, which is reported as a window that cannot be known (id 0).

#include "core/app/AutoProfileRules.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace brasslane {
class UiSink;
}

namespace brasslane::platform {

class X11ActiveWindowWatcher {
public:
    // `ui` must outlive the watcher. `display` names the X server (":99"); empty takes $DISPLAY.
    explicit X11ActiveWindowWatcher(UiSink& ui, std::string display = {});
    ~X11ActiveWindowWatcher(); // Stop()
    X11ActiveWindowWatcher(const X11ActiveWindowWatcher&) = delete;
    X11ActiveWindowWatcher& operator=(const X11ActiveWindowWatcher&) = delete;

    // Starts the thread (does nothing while it runs). The thread connects to the X server; when
    // there is none it posts MSG_ACTIVE_WINDOW with kWindowUnknowable and ends, and Problem()
    // says why. Otherwise it posts kWindowChanged for the window focused at start and for every
    // change after.
    void Start();
    // Ends and joins the thread. Safe to call more than once.
    void Stop();

    // The focused window as last reported (id 0 while none can be known).
    ActiveWindow Latest() const;
    // Empty while the focused window can be known; else the reason, in plain words.
    std::string Problem() const;

private:
    void Run();
    void Publish(const ActiveWindow& window);
    void GiveUp(const std::string& reason);

    UiSink& m_ui;
    std::string m_display;
    std::thread m_thread;
    int m_stopEvent = -1; // eventfd that wakes the thread's poll()
    mutable std::mutex m_mutex;
    ActiveWindow m_latest;
    std::string m_problem;
    bool m_published = false;
};

// The program file of process `pid` (/proc/PID/exe); empty when it cannot be read (the process
// ended, or belongs to another user).
std::string ProgramOfProcess(int pid);

} // namespace brasslane::platform
