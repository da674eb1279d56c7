#include "platform/linux/SingleInstance.h"

#include "AppTestSupport.h"
#include "core/base/Messages.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <future>

namespace brasslane::test {

using platform::InstanceMessage;
using platform::SingleInstance;

namespace {

// Sends from another thread (the first copy must read while the sender waits for its
// receipt) and collects what the first copy got.
std::vector<InstanceMessage> Deliver(SingleInstance& first, SingleInstance& second, std::uint32_t message,
                                     std::uint64_t wParam, bool* delivered) {
    auto sending = std::async(std::launch::async, [&] { return second.SendToFirst(message, wParam, 2000); });
    std::vector<InstanceMessage> received;
    pollfd p{first.Fd(), POLLIN, 0};
    if (::poll(&p, 1, 2000) == 1) {
        received = first.ReadPending();
    }
    *delivered = sending.get();
    return received;
}

// Writes raw bytes to the first copy's socket, as a foreign program might.
void SendRaw(const std::filesystem::path& socketPath, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

} // namespace

TEST(SingleInstanceTest, ASecondStartReachesTheFirst) {
    TempFolder runtime("brasslane-instance-");
    const std::filesystem::path folder = runtime.Path() / "run";
    SingleInstance first(folder);
    SingleInstance second(folder);

    // Nobody listens yet.
    EXPECT_FALSE(second.SendToFirst(MSG_OPEN, kCodeOpen, 200));

    std::string error;
    ASSERT_TRUE(first.TryBecomeFirst(&error)) << error;
    EXPECT_TRUE(first.IsFirst());
    EXPECT_TRUE(first.TryBecomeFirst());
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_FALSE(second.TryBecomeFirst(&error));
    EXPECT_FALSE(second.IsFirst());
    EXPECT_EQ(second.Fd(), -1);

    bool delivered = false;
    EXPECT_EQ(Deliver(first, second, MSG_OPEN, kCodeOpen, &delivered),
              (std::vector<InstanceMessage>{{MSG_OPEN, kCodeOpen}}));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(Deliver(first, second, MSG_KILL, kCodeKill, &delivered),
              (std::vector<InstanceMessage>{{MSG_KILL, kCodeKill}}));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(Deliver(first, second, platform::kInstanceCommandMessage, kCommandFirmwareUpdate, &delivered),
              (std::vector<InstanceMessage>{{platform::kInstanceCommandMessage, kCommandFirmwareUpdate}}));
    EXPECT_TRUE(delivered);

    // A wrong code is the receiver's to ignore; unknown messages and other commands stop here.
    EXPECT_EQ(Deliver(first, second, MSG_OPEN, 0x1234, &delivered), (std::vector<InstanceMessage>{{MSG_OPEN, 0x1234}}));
    EXPECT_TRUE(Deliver(first, second, MSG_INIT, kCodeInit, &delivered).empty());
    EXPECT_FALSE(delivered);
    EXPECT_TRUE(Deliver(first, second, platform::kInstanceCommandMessage, 32774, &delivered).empty());
    EXPECT_FALSE(delivered);

    // Short and oversized messages are dropped; nothing waits: ReadPending returns at once.
    SendRaw(first.SocketPath(), {0x50, 0x53, 0, 0});
    std::vector<std::uint8_t> longer(13, 0);
    longer[0] = 0x50;
    longer[1] = 0x53;
    SendRaw(first.SocketPath(), longer);
    EXPECT_TRUE(first.ReadPending().empty());
    EXPECT_TRUE(first.ReadPending().empty());

    // Once the first copy is gone the second can take over.
    first.Release();
    EXPECT_FALSE(std::filesystem::exists(first.SocketPath()));
    EXPECT_TRUE(second.TryBecomeFirst(&error)) << error;
}

TEST(SingleInstanceTest, ALockLeftByADeadCopyIsTakenOver) {
    TempFolder runtime("brasslane-instance-");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Becomes the first copy and dies without releasing anything.
        SingleInstance dying(runtime.Path());
        ::_exit(dying.TryBecomeFirst() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    SingleInstance next(runtime.Path());
    EXPECT_TRUE(std::filesystem::exists(next.LockPath()));
    EXPECT_TRUE(std::filesystem::exists(next.SocketPath()));
    // The leftover socket has nobody behind it.
    EXPECT_FALSE(next.SendToFirst(MSG_OPEN, kCodeOpen, 200));

    std::string error;
    ASSERT_TRUE(next.TryBecomeFirst(&error)) << error;
    SingleInstance later(runtime.Path());
    bool delivered = false;
    EXPECT_EQ(Deliver(next, later, MSG_OPEN, kCodeOpen, &delivered).size(), 1u);
    EXPECT_TRUE(delivered);
}

TEST(SingleInstanceTest, AFolderTooDeepForASocketIsReported) {
    TempFolder runtime("brasslane-instance-");
    SingleInstance instance(runtime.Path() / std::string(120, 'x'));
    std::string error;
    EXPECT_FALSE(instance.TryBecomeFirst(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(instance.IsFirst());
    EXPECT_FALSE(instance.SendToFirst(MSG_OPEN, kCodeOpen, 100));
}

} // namespace brasslane::test
