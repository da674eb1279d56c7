#include "platform/linux/ClockChangeWatch.h"

#include <gtest/gtest.h>

#include <poll.h>

namespace brasslane::test {

TEST(ClockChangeWatchTest, QuietWhileTheClockOnlyRuns) {
    platform::ClockChangeWatch watch;
    ASSERT_TRUE(watch.Valid());
    ASSERT_GE(watch.Fd(), 0);
    // Time passing is no change: the descriptor stays unreadable and nothing is taken.
    pollfd descriptor{watch.Fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&descriptor, 1, 20), 0);
    EXPECT_FALSE(watch.TakeChange());
    EXPECT_FALSE(watch.TakeChange());
    // Setting the clock needs rights no test has; the end-to-end behaviour (the window applies
    // on a clock change) is driven through the model.
}

} // namespace brasslane::test
