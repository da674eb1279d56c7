#pragma once

// Tells when the system's wall clock is set (by the user, NTP stepping it, a resume that
// corrects it): a timerfd on CLOCK_REALTIME armed far in the future with cancel-on-set, which
// the kernel cancels, making the descriptor readable, whenever the clock jumps. The main window
// runs its apply flow then, as it does for the system's time-change notification elsewhere.

namespace brasslane::platform {

class ClockChangeWatch {
public:
    // Creates and arms the timer. Valid() is false when the system offers no such timer.
    ClockChangeWatch();
    ~ClockChangeWatch();
    ClockChangeWatch(const ClockChangeWatch&) = delete;
    ClockChangeWatch& operator=(const ClockChangeWatch&) = delete;

    bool Valid() const { return m_fd >= 0; }
    // Readable when the clock was set (for QSocketNotifier or poll); -1 when not valid.
    int Fd() const { return m_fd; }
    // Reads the descriptor without waiting and arms the timer again. True when the clock was
    // set since the last call.
    bool TakeChange();

private:
    bool Arm();

    int m_fd = -1;
};

} // namespace brasslane::platform
