#pragma once

// The desktop app's core: the session core that both programs build, and the two device threads
// that only the desktop app runs (the input listener and the connection monitor). The desktop
// app and the GUI tests build one; the UiSink comes from the caller (the Qt window's sink, or a
// test's recorder).
//
// The threads are members of this class and the session core its base, so they are destroyed
// (and stopped, by their own destructors and by Stop()) before anything they use goes away.

#include "core/app/SessionCore.h"
#include "core/device/ConnectionMonitor.h"
#include "core/device/InputListener.h"

#include <string_view>

namespace brasslane {

class AppCore : public SessionCore {
public:
    // Settings section "PROFILES": 0 writes without reading back; missing or anything else reads
    // back and compares every write.
    static constexpr std::string_view kVerifyWritesKey = "VerifyWrites";

    // `backend` and `ui` must outlive the core, and so must `threadClock` when one is given: it
    // times the two threads' checks and searches (the steady clock when null). Builds the
    // session core, creates the per-user folder when it is missing, and takes the write
    // verification from the settings; starts no thread.
    AppCore(SessionCoreOptions options, HidBackend& backend, UiSink& ui, WaitClock* threadClock = nullptr);
    ~AppCore(); // Stop()
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    // Starts the input listener, then the connection monitor. Does nothing while they run.
    void Start();
    // Stops and joins both threads (the monitor first, so that no arrival is announced while the
    // listener goes away). Safe to call more than once.
    void Stop();

    ConnectionMonitor& Monitor() { return m_monitor; }
    InputListener& Listener() { return m_listener; }

private:
    InputListener m_listener;
    ConnectionMonitor m_monitor;
};

} // namespace brasslane
