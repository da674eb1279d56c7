#pragma once

// A WaitClock on real time, running `speed` times faster: a 100 ms pause of a polling thread
// takes 100 / speed ms. For tests that let the device threads run freely against real events (a
// storm of plugs) and need them to poll often without changing their intervals.
//
// It also counts the waits parked without a deadline: a thread waiting in the sink for the GUI
// thread waits that way, so a test can tell that a device thread is stuck there.

#include "core/base/WaitClock.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace brasslane::test {

class FastClock final : public WaitClock {
public:
    explicit FastClock(int speed) : m_speed(speed), m_origin(std::chrono::steady_clock::now()) {}

    TimePoint Now() override { return m_origin + (std::chrono::steady_clock::now() - m_origin) * m_speed; }

    bool WaitUntil(TimePoint deadline, const std::function<bool()>& stop) override {
        const bool unbounded = deadline == TimePoint::max();
        std::unique_lock lock(m_mutex);
        if (unbounded) {
            ++m_unboundedWaits;
        }
        bool stopped = false;
        for (;;) {
            const std::uint64_t seen = m_interrupts;
            // Asked without the clock's lock: the condition may take locks of its own.
            lock.unlock();
            stopped = stop && stop();
            lock.lock();
            if (stopped || (!unbounded && Now() >= deadline)) {
                break;
            }
            const auto interrupted = [&] { return m_interrupts != seen; };
            if (unbounded) {
                m_wake.wait(lock, interrupted);
            } else {
                m_wake.wait_until(lock, m_origin + (deadline - m_origin) / m_speed, interrupted);
            }
        }
        if (unbounded) {
            --m_unboundedWaits;
        }
        return stopped;
    }

    void Interrupt() override {
        {
            std::lock_guard lock(m_mutex);
            ++m_interrupts;
        }
        m_wake.notify_all();
    }

    // Threads parked right now in a wait without a deadline.
    int UnboundedWaits() {
        std::lock_guard lock(m_mutex);
        return m_unboundedWaits;
    }

private:
    const int m_speed;
    const std::chrono::steady_clock::time_point m_origin;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_interrupts = 0;
    int m_unboundedWaits = 0;
};

} // namespace brasslane::test
