#pragma once

// Tells when the system's wall clock is set (by the user, NTP stepping it, a resume that
// corrects it): a timerfd on CLOCK_REALTIME armed far in the future with cancel-on-set, which
// the kernel cancels, making the descriptor readable, whenever the clock jumps. The main window
// runs its apply flow then, as it does for the system's time-change notification elsewhere.
//
// Virtual machines and time daemons step the clock by a millisecond or so many times a second;
// the kernel reports each step as a set clock. Only a jump of at least kMinimumJump against the
// monotonic clock, since the last report, counts as the clock being set.

#include <chrono>
#include <cstdint>

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

    static constexpr std::chrono::nanoseconds kMinimumJump = std::chrono::seconds(1);
    // Does a move of the wall clock against the monotonic clock from `before` to `after`
    // (nanoseconds) count as the clock being set?
    static bool IsJump(std::int64_t before, std::int64_t after);

private:
    bool Arm();
    // The wall clock minus the monotonic clock, in nanoseconds.
    static std::int64_t WallOffset();

    int m_fd = -1;
    std::int64_t m_offset = 0; // WallOffset() when the last step was taken
};

} // namespace brasslane::platform
