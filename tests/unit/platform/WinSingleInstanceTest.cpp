// The Windows single-instance objects: a named mutex for "is a copy running" and a named pipe
// that carries a later copy's message to the first one.

#include "platform/windows/SingleInstance.h"

#include "core/base/Messages.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <future>
#include <thread>

namespace brasslane::test {
namespace {

using platform::InstanceMessage;
using platform::SingleInstance;

// Sends from another thread (the first copy reads while the sender waits for its receipt).
std::vector<InstanceMessage> Deliver(SingleInstance& first, SingleInstance& second, std::uint32_t message,
                                     std::uint64_t wParam, bool* delivered) {
    auto sending = std::async(std::launch::async, [&] { return second.SendToFirst(message, wParam, 2000); });
    std::vector<InstanceMessage> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (received.empty() && std::chrono::steady_clock::now() < deadline &&
           sending.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        if (WaitForSingleObject(first.WaitHandle(), 50) == WAIT_OBJECT_0) {
            received = first.ReadPending();
        }
    }
    *delivered = sending.get();
    return received;
}

TEST(WinSingleInstanceTest, ASecondStartReachesTheFirstWithKnownMessagesOnly) {
    TempFolder runtime("brasslane-instance-");
    SingleInstance first(runtime.Path());
    SingleInstance second(runtime.Path());
    EXPECT_FALSE(second.SendToFirst(MSG_OPEN, 0, 200)); // nobody listens yet

    ASSERT_TRUE(first.TryBecomeFirst());
    EXPECT_TRUE(first.TryBecomeFirst()); // already the first copy
    std::string error;
    EXPECT_FALSE(second.TryBecomeFirst(&error));
    EXPECT_FALSE(second.IsFirst());
    EXPECT_EQ(second.WaitHandle(), nullptr);

    bool delivered = false;
    EXPECT_EQ(Deliver(first, second, MSG_KILL, 0x4B494C4C, &delivered),
              (std::vector<InstanceMessage>{{MSG_KILL, 0x4B494C4C}}));
    EXPECT_TRUE(delivered);
    // The pipe serves the next peer after the first.
    EXPECT_EQ(Deliver(first, second, platform::kInstanceCommandMessage, kCommandFirmwareUpdate, &delivered),
              (std::vector<InstanceMessage>{{platform::kInstanceCommandMessage, kCommandFirmwareUpdate}}));
    EXPECT_TRUE(delivered);

    // A message nobody handles is dropped, and its sender hears no receipt.
    EXPECT_TRUE(Deliver(first, second, 0x0400, 1, &delivered).empty());
    EXPECT_FALSE(delivered);
    EXPECT_TRUE(first.IsFirst());
}

TEST(WinSingleInstanceTest, ReleasingLetsTheNextCopyBeFirstAndFoldersAreApart) {
    TempFolder runtime("brasslane-instance-");
    TempFolder other("brasslane-instance-");
    SingleInstance first(runtime.Path());
    ASSERT_TRUE(first.TryBecomeFirst());
    SingleInstance elsewhere(other.Path());
    EXPECT_TRUE(elsewhere.TryBecomeFirst()); // another folder, another set of objects
    EXPECT_NE(first.MutexName(), elsewhere.MutexName());

    first.Release();
    EXPECT_FALSE(first.IsFirst());
    SingleInstance next(runtime.Path());
    EXPECT_TRUE(next.TryBecomeFirst());
    EXPECT_EQ(next.MutexName(), first.MutexName());
}

} // namespace
} // namespace brasslane::test
