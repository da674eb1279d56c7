#include "platform/linux/ClockChangeWatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <poll.h>

namespace brasslane::test {

TEST(ClockChangeWatchTest, QuietWhileTheClockOnlyRuns) {
    platform::ClockChangeWatch watch;
    ASSERT_TRUE(watch.Valid());
    ASSERT_GE(watch.Fd(), 0);
    // Time passing is no change: nothing is taken (a virtual machine's clock steps may make the
    // descriptor readable, but they are no jump).
    EXPECT_FALSE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());
    // Setting the clock needs rights no test has; the end-to-end behaviour (the window applies
    // on a clock change) is driven through the model.
}

TEST(ClockChangeWatchTest, OnlyAJumpOfASecondOrMoreCountsAsASetClock) {
    constexpr std::int64_t kMs = 1'000'000;
    using platform::ClockChangeWatch;
    EXPECT_FALSE(ClockChangeWatch::IsJump(0, 0));
    EXPECT_FALSE(ClockChangeWatch::IsJump(5 * kMs, 6 * kMs)); // a time daemon's step
    EXPECT_FALSE(ClockChangeWatch::IsJump(6 * kMs, 5 * kMs));
    EXPECT_FALSE(ClockChangeWatch::IsJump(0, 999 * kMs));
    EXPECT_TRUE(ClockChangeWatch::IsJump(0, 1000 * kMs));
    EXPECT_TRUE(ClockChangeWatch::IsJump(3600'000 * kMs, 0)); // set back an hour
    EXPECT_TRUE(ClockChangeWatch::IsJump(0, 86'400'000 * kMs));

    // However often the clock is nudged, a watch that only sees nudges reports nothing.
    platform::ClockChangeWatch watch;
    for (int i = 0; i < 20; ++i) {
        pollfd descriptor{watch.Fd(), POLLIN, 0};
        if (::poll(&descriptor, 1, 25) > 0) {
            EXPECT_FALSE(watch.TakeChange());
        }
    }
}

} // namespace brasslane::test
