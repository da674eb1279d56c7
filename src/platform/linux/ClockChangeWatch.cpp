#include "platform/linux/ClockChangeWatch.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace brasslane::platform {

ClockChangeWatch::ClockChangeWatch() {
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
    itimerspec spec{};
    spec.it_value.tv_sec = static_cast<std::time_t>(INT32_MAX);
    return ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) == 0;
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
        return true;
    }
    return false;
}

} // namespace brasslane::platform
