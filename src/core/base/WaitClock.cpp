#include "core/base/WaitClock.h"

namespace brasslane {

WaitClock::TimePoint SteadyWaitClock::Now() {
    return std::chrono::steady_clock::now();
}

bool SteadyWaitClock::WaitUntil(TimePoint deadline, const std::function<bool()>& stop) {
    std::unique_lock lock(m_mutex);
    const auto stopped = [&] { return stop && stop(); };
    if (deadline == TimePoint::max()) {
        m_wake.wait(lock, stopped);
        return true;
    }
    return m_wake.wait_until(lock, deadline, stopped);
}

void SteadyWaitClock::Interrupt() {
    // Taking the mutex orders this wake after any stop condition the caller has just set: a
    // waiter is either before its check (and sees it) or already waiting (and is woken).
    { std::lock_guard lock(m_mutex); }
    m_wake.notify_all();
}

} // namespace brasslane
