#pragma once

// The connection monitor thread: finds the keyboard's command interface, opens it into the
// command device of DeviceLink, checks every 100 ms that it is still there (searching once a
// second while it is not), and announces every change of the connection once to the main
// window through the UiSink. Its pauses go through a WaitClock, so tests step it tick by tick.

#include "core/base/AppState.h"
#include "core/base/UiSink.h"
#include "core/base/WaitClock.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/HidBackend.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace brasslane {

class ConnectionMonitor {
public:
    // Looks up a language text by key ("MAIN_DEFAULT_MATRIX_PROMPT").
    using TextLookup = std::function<std::string(std::string_view)>;

    // Every reference must outlive the monitor, and so must `clock` when one is given; without
    // one the monitor keeps time with the steady clock.
    ConnectionMonitor(HidBackend& backend, DeviceLink& link, ConnectionState& state, AppState& app, UiSink& ui,
                      TextLookup text, WaitClock* clock = nullptr);
    ~ConnectionMonitor(); // stops the thread
    ConnectionMonitor(const ConnectionMonitor&) = delete;
    ConnectionMonitor& operator=(const ConnectionMonitor&) = delete;

    // Starts the thread; does nothing while it runs.
    void Start();
    // Wakes the thread from its sleep and joins it. A command exchange or a message to the
    // main window that is under way is finished first.
    void Stop();
    // False once the thread has ended (stopped, or the interface list could not be had).
    bool IsRunning() const;

    // Announces a connection change (0 gone, 1 connected) once; a repeat of the announced state
    // does nothing. Runs on the monitor thread.
    void PublishConnection(int newState);

private:
    void Run();
    // One look for the keyboard before the loop; false when the interface list cannot be had.
    bool Probe();
    // Sleeps unless a stop is asked for; false when stopping.
    bool Sleep(std::chrono::milliseconds duration);
    void SetStateIcon(int icon);

    HidBackend& m_backend;
    DeviceLink& m_link;
    ConnectionState& m_state;
    AppState& m_app;
    UiSink& m_ui;
    TextLookup m_text;
    std::unique_ptr<WaitClock> m_ownClock; // the steady clock, when no clock was given
    WaitClock& m_clock;

    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};

} // namespace brasslane
