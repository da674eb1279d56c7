#pragma once

// A WaitClock whose time moves only when a test says so. Threads that wait on it stay parked
// until Advance takes time past their deadline (or Interrupt meets their stop condition), so a
// test steps a polling thread tick by tick: wait until it is parked, look at what it did,
// advance, and so on. Nothing depends on how fast the machine is.
//
// Made with kJumpToDeadline, a wait that is not ended at once moves time to its deadline
// instead: a single thread's timeouts and pauses then pass without taking real time, and the
// time they took can be read off Now(). Only for tests where one thread at a time waits.

#include "core/base/WaitClock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <list>
#include <mutex>
#include <optional>

namespace brasslane::test {

class ManualClock final : public WaitClock {
public:
    enum Mode { kStill, kJumpToDeadline };
    explicit ManualClock(Mode mode = kStill) : m_mode(mode) {}

    TimePoint Now() override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    bool WaitUntil(TimePoint deadline, const std::function<bool()>& stop) override {
        std::unique_lock lock(m_mutex);
        const auto self = m_parked.insert(m_parked.end(), deadline);
        ++m_waitsStarted;
        m_changed.notify_all();
        bool stopped = false;
        for (;;) {
            const std::uint64_t seen = m_version;
            // Asked without the clock's lock: the condition may take locks of its own.
            lock.unlock();
            stopped = stop && stop();
            lock.lock();
            if (stopped || m_now >= deadline) {
                break;
            }
            if (m_mode == kJumpToDeadline && deadline != TimePoint::max()) {
                m_now = deadline;
                ++m_version;
                m_changed.notify_all();
                continue;
            }
            m_changed.wait(lock, [&] { return m_version != seen; });
        }
        m_parked.erase(self);
        m_changed.notify_all();
        return stopped;
    }

    void Interrupt() override {
        std::lock_guard lock(m_mutex);
        ++m_version;
        m_changed.notify_all();
    }

    // Moves time forward and wakes every wait whose deadline it reaches.
    void Advance(std::chrono::milliseconds duration) {
        std::lock_guard lock(m_mutex);
        m_now += duration;
        ++m_version;
        m_changed.notify_all();
    }

    // Waits until at least `count` threads are parked on a deadline still ahead, that is, until
    // they have done everything up to their next wait. False when that does not happen within
    // `guard`, which only keeps a broken test from hanging.
    bool WaitForParked(std::size_t count = 1, std::chrono::milliseconds guard = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, guard, [&] { return ParkedLocked() >= count; });
    }

    // How long until the earliest parked thread wakes; nullopt when none is parked ahead.
    std::optional<std::chrono::milliseconds> NextWakeIn() {
        std::lock_guard lock(m_mutex);
        std::optional<TimePoint> earliest;
        for (const TimePoint deadline : m_parked) {
            if (deadline > m_now && (!earliest || deadline < *earliest)) {
                earliest = deadline;
            }
        }
        if (!earliest) {
            return std::nullopt;
        }
        return std::chrono::duration_cast<std::chrono::milliseconds>(*earliest - m_now);
    }

    // Waits begun so far, parked or done.
    std::uint64_t WaitsStarted() {
        std::lock_guard lock(m_mutex);
        return m_waitsStarted;
    }

private:
    std::size_t ParkedLocked() const {
        return static_cast<std::size_t>(
            std::count_if(m_parked.begin(), m_parked.end(), [&](TimePoint deadline) { return deadline > m_now; }));
    }

    const Mode m_mode;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Starts well away from zero so that code subtracting intervals never goes below the epoch.
    TimePoint m_now = TimePoint{} + std::chrono::hours(1);
    std::uint64_t m_version = 0;
    std::uint64_t m_waitsStarted = 0;
    std::list<TimePoint> m_parked;
};

} // namespace brasslane::test
