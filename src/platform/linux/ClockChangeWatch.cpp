#include "platform/linux/ClockChangeWatch.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace brasslane::platform {

ClockChangeWatch::ClockChangeWatch() {
    m_offset = WallOffset();
    m_fd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0 && !Arm()) {
        ::close(m_fd);
        m_fd = -1;
    }
}

ClockChangeWatch::~ClockChangeWatch() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool ClockChangeWatch::Arm() {
    // An absolute expiry that never comes: only a clock jump ends the wait, with ECANCELED.
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<std::time_t>(INT32_MAX);
    return ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) == 0;
}

std::int64_t ClockChangeWatch::WallOffset() {
    timespec wall{};
    timespec monotonic{};
    ::clock_gettime(CLOCK_REALTIME, &wall);
    ::clock_gettime(CLOCK_MONOTONIC, &monotonic);
    return (static_cast<std::int64_t>(wall.tv_sec) - monotonic.tv_sec) * 1'000'000'000 +
           (static_cast<std::int64_t>(wall.tv_nsec) - monotonic.tv_nsec);
}

bool ClockChangeWatch::IsJump(std::int64_t before, std::int64_t after) {
    const std::int64_t moved = after >= before ? after - before : before - after;
    return moved >= kMinimumJump.count();
}

bool ClockChangeWatch::TakeChange() {
    if (m_fd < 0) {
        return false;
    }
    std::uint64_t expirations = 0;
    const ssize_t got = ::read(m_fd, &expirations, sizeof(expirations));
    if (got < 0 && errno == ECANCELED) {
        // A cancelled timer stays cancelled until it is set again.
        Arm();
        // Each step is measured from the last one, so that many small steps of a time daemon
        // never add up to a jump.
        const std::int64_t now = WallOffset();
        const bool jump = IsJump(m_offset, now);
        m_offset = now;
        return jump;
    }
    return false;
}

} // namespace brasslane::platform
