#pragma once

// The simulated keyboard's state, shared by SimKeyboard (the model) and SimHidBackend (its
// HID interfaces). Everything is guarded by `mutex`; every change a waiting read or write could
// care about (new report, unplug, plug, stop, faults) counts up `events` and wakes both
// `changed` and the clock's waits.

#include "core/device/HidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace brasslane::sim {

enum class SimInterface { kBootKeyboard, kCommand, kConsumer };

constexpr std::size_t kSimCommandReportSize = 64; // report id 4 + 63 bytes
constexpr std::size_t kSimConsumerReportSize = 5; // report id 3 + two 16-bit usages
constexpr std::size_t kSimMaxQueuedReports = 64;  // as hidraw's per-file ring buffer

// The input reports waiting for one open handle. Every open handle of an interface gets its
// own copy of each report, as both hidraw and the Windows HID class driver do.
struct SimReportQueue {
    SimInterface iface = SimInterface::kCommand;
    std::uint64_t generation = 0;             // plug generation at open: a replug leaves the handle dead
    std::deque<SimKeyboard::Pending> reports; // ordered by readyAt
};

// An auto-reset stop event; `signalled` is guarded by the keyboard's mutex.
struct SimStopState {
    bool signalled = false;
};

struct SimKeyboard::Impl {
    Impl(SimModel simModel, WaitClock* givenClock);

    mutable std::mutex mutex;
    std::condition_variable changed;
    // Counts notifications, so waiters can tell a real wake-up. Atomic because the clock's
    // wait looks at it without the keyboard's lock.
    std::atomic<std::uint64_t> events{0};
    std::unique_ptr<WaitClock> ownClock; // the steady clock, when none was given
    WaitClock& clock;

    SimModel model;
    std::array<std::uint8_t, kSimInfoSize> info{};
    std::vector<std::uint8_t> defaultKeyMap;
    std::vector<std::uint8_t> keyMaps;
    std::vector<std::uint8_t> macroArea;
    std::array<std::uint8_t, kSimLightingSize> lighting{};
    std::array<std::uint8_t, kSimKeyColourSize> keyColours{};

    SimFaults faults;
    bool plugged = true;
    std::uint64_t generation = 0;
    // When a keyboard that left for its boot loader comes back (see SimFaults::bootReturnAfter).
    std::optional<std::chrono::steady_clock::time_point> returnAt;
    std::vector<SimReportQueue*> queues; // the open handles with read access
    std::vector<std::array<std::uint8_t, 64>> requestLog;

    // Everything below expects `mutex` to be held.
    void Reset(SimModel simModel);
    std::uint32_t BlockSize() const;
    std::uint16_t VendorId() const;
    std::uint16_t ProductId() const;
    void Notify();
    void UnplugLocked();
    void PlugLocked();
    // Plugs the keyboard back in once its return from the boot loader is due. Called wherever
    // the keyboard's presence is looked at, so the return needs no thread of its own.
    void ReturnIfDueLocked();
    bool Alive(const SimReportQueue& queue) const;
    // Open live handles with read access to `iface`.
    std::size_t ReadersLocked(SimInterface iface) const;
    void Push(SimInterface iface, const std::array<std::uint8_t, 64>& report,
              std::chrono::steady_clock::time_point readyAt);
    // The keyboard's answer to one request, without faults; nullopt for command 0xEE, which
    // sends the keyboard to its boot loader (it leaves the bus).
    std::optional<std::array<std::uint8_t, 64>> Answer(const std::array<std::uint8_t, 64>& request);
    std::uint8_t Execute(const std::array<std::uint8_t, 64>& request, std::array<std::uint8_t, 64>& answer);
    // Waits until `when` or until another notification; false when `when` passed first.
    bool WaitForChange(std::unique_lock<std::mutex>& lock, std::optional<std::chrono::steady_clock::time_point> when);

    // Report I/O for SimHidBackend's handles; these take the lock themselves.
    void Register(SimReportQueue* queue);
    void Unregister(SimReportQueue* queue);
    HidIoResult Write(SimReportQueue& queue, std::span<const std::uint8_t> report, std::size_t& transferred,
                      std::uint32_t timeoutMs, SimStopState& stop);
    HidIoResult Read(SimReportQueue& queue, std::span<std::uint8_t> buffer, std::size_t& transferred,
                     std::uint32_t timeoutMs, SimStopState& stop);
    void SignalStop(SimStopState& stop);
};

} // namespace brasslane::sim
