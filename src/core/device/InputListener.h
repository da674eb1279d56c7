#pragma once

// The input listener thread: opens the keyboard's consumer-control interface with its own
// CHidDevice, blocks reading its input reports, and turns the keyboard's notifications into
// main-window timers and tray icons. Searches for the interface again once a second when it
// is missing or has gone. Its pauses go through a WaitClock, so tests step it tick by tick.

#include "core/base/UiSink.h"
#include "core/base/WaitClock.h"
#include "core/device/CHidDevice.h"
#include "core/device/ConnectionState.h"
#include "core/device/HidBackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace brasslane {

class InputListener {
public:
    // Every reference must outlive the listener, and so must `clock` when one is given; without
    // one the listener keeps time with the steady clock. `state` gives the state icon to
    // return to.
    InputListener(HidBackend& backend, const ConnectionState& state, UiSink& ui, WaitClock* clock = nullptr);
    ~InputListener(); // stops the thread
    InputListener(const InputListener&) = delete;
    InputListener& operator=(const InputListener&) = delete;

    void Start();
    // Wakes the thread from its sleep or its blocked read, joins it and every tray worker (a
    // worker holding the tray-switch flag lets it go at once).
    void Stop();
    // False once the thread has ended (stopped, or the interface list could not be had).
    bool IsRunning() const;

private:
    struct TrayWorker {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void Run();
    // Reads reports until a read fails or a stop is asked for.
    void Listen();
    void HandleUsage(std::uint16_t usage);
    // 0 for the state icon, looked up when the worker runs.
    void StartTrayWorker(int icon);
    void ReapTrayWorkers(bool all);

    const ConnectionState& m_state;
    UiSink& m_ui;
    std::unique_ptr<WaitClock> m_ownClock; // the steady clock, when no clock was given
    WaitClock& m_clock;
    CHidDevice m_device;

    // Guards every Open and Close of m_device and the setting of m_stopping, so that Stop's
    // Close never meets the thread's own Open; a read waits outside it and is woken by that
    // Close.
    std::mutex m_mutex;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_running{false};
    std::thread m_thread;

    std::mutex m_trayMutex; // the tray-switch flag: one worker sets the icon at a time
    std::condition_variable m_trayTurn;
    std::uint64_t m_trayTickets = 0; // the next worker's turn; only the listener thread counts
    std::uint64_t m_trayServing = 0; // the turn of the worker that may take the tray; under m_trayMutex
    std::list<TrayWorker> m_workers; // touched by the listener thread, then by Stop after the join
};

} // namespace brasslane
