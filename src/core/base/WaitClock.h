#pragma once

// Time for the threads that poll or pause (the connection monitor, the input listener and its
// tray workers, the pause before a command sequence ends): the current time and a wait that
// another thread can cut short. The program runs on the steady clock; tests hand in a clock of
// their own and move time forward themselves, so no test sleeps and no result depends on how
// busy the machine is.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace brasslane {

class WaitClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~WaitClock() = default;

    virtual TimePoint Now() = 0;
    // Blocks until Now() has reached `deadline` or `stop` returns true, whichever comes first,
    // and returns stop()'s last answer. `stop` is asked before the first wait and again after
    // every Interrupt, so a thread that makes `stop` true and then calls Interrupt always ends
    // the wait. `stop` may be empty (never true). TimePoint::max() waits for `stop` alone.
    virtual bool WaitUntil(TimePoint deadline, const std::function<bool()>& stop) = 0;
    // Wakes every wait of this clock to ask its `stop` again.
    virtual void Interrupt() = 0;

    // WaitUntil(Now() + duration, stop).
    bool WaitFor(std::chrono::milliseconds duration, const std::function<bool()>& stop = {}) {
        return WaitUntil(Now() + duration, stop);
    }
};

// std::chrono::steady_clock with a condition-variable wait.
class SteadyWaitClock final : public WaitClock {
public:
    TimePoint Now() override;
    bool WaitUntil(TimePoint deadline, const std::function<bool()>& stop) override;
    void Interrupt() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

} // namespace brasslane
