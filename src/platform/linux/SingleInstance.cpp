#include "platform/linux/SingleInstance.h"

#include "core/base/Messages.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <span>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace brasslane::platform {

namespace {

constexpr std::size_t kMessageSize = 12;
constexpr std::uint8_t kReceipt = 1;
// A peer gets this long to deliver its message, so that a stalled one cannot hold up the
// user-interface thread that reads them.
constexpr int kPeerTimeoutMs = 200;
// Connections taken per ReadPending call; the rest wait for the next call.
constexpr int kMaxConnectionsPerRead = 16;

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool FillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    const std::string text = path.string();
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (text.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

void PutU32(std::array<std::uint8_t, kMessageSize>& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutU64(std::array<std::uint8_t, kMessageSize>& bytes, std::size_t at, std::uint64_t value) {
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint64_t GetLe(const std::array<std::uint8_t, kMessageSize>& bytes, std::size_t at, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        value |= static_cast<std::uint64_t>(bytes[at + i]) << (8 * i);
    }
    return value;
}

bool IsAccepted(const InstanceMessage& m) {
    // The codes in wParam are the receiver's to check, as with any private message; only
    // message numbers nobody handles, and commands other than the update, stop here.
    return m.message == MSG_OPEN || m.message == MSG_KILL ||
           (m.message == kInstanceCommandMessage && m.wParam == kCommandFirmwareUpdate);
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Reads exactly bytes.size() bytes before `deadline`; false on end of stream, error or time-out.
bool ReadExactly(int fd, std::span<std::uint8_t> bytes, std::chrono::steady_clock::time_point deadline) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t got = ::recv(fd, bytes.data() + done, bytes.size() - done, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool SameUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        return false;
    }
    return credentials.uid == ::geteuid();
}

} // namespace

SingleInstance::SingleInstance(std::filesystem::path runtimeFolder) : m_folder(std::move(runtimeFolder)) {}

SingleInstance::~SingleInstance() {
    Release();
}

std::filesystem::path SingleInstance::LockPath() const {
    return m_folder / (std::string(kName) + ".lock");
}

std::filesystem::path SingleInstance::SocketPath() const {
    return m_folder / (std::string(kName) + ".sock");
}

bool SingleInstance::TryBecomeFirst(std::string* error) {
    if (IsFirst()) {
        return true;
    }
    m_heldByAnother = false;
    std::error_code ec;
    if (!std::filesystem::is_directory(m_folder, ec)) {
        if (!std::filesystem::create_directories(m_folder, ec)) {
            SetError(error, "cannot create " + m_folder.string() + ": " + ec.message());
            return false;
        }
        ::chmod(m_folder.c_str(), 0700);
    }
    sockaddr_un address{};
    if (!FillAddress(SocketPath(), address)) {
        SetError(error, "the runtime folder's path is too long for a socket: " + m_folder.string());
        return false;
    }

    const int lockFd = ::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) {
        SetError(error, ErrnoText("cannot open " + LockPath().string()));
        return false;
    }
    // The kernel drops a flock with the process that held it, so a lock left by a copy that
    // died is never in the way.
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        m_heldByAnother = held;
        SetError(error,
                 held ? std::string("another copy is running") : ErrnoText("cannot lock " + LockPath().string()));
        ::close(lockFd);
        return false;
    }

    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd < 0) {
        SetError(error, ErrnoText("cannot create the instance socket"));
        ::close(lockFd);
        return false;
    }
    // Whatever sits at the socket's name was left by a copy that no longer holds the lock.
    ::unlink(SocketPath().c_str());
    if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::chmod(SocketPath().c_str(), 0600) != 0 || ::listen(listenFd, 8) != 0) {
        SetError(error, ErrnoText("cannot listen on " + SocketPath().string()));
        ::close(listenFd);
        ::unlink(SocketPath().c_str());
        ::close(lockFd);
        return false;
    }

    // The holder's process id, for a person looking at the folder.
    if (::ftruncate(lockFd, 0) == 0) {
        const std::string pid = std::to_string(::getpid()) + "\n";
        [[maybe_unused]] const ssize_t written = ::pwrite(lockFd, pid.data(), pid.size(), 0);
    }
    m_lockFd = lockFd;
    m_listenFd = listenFd;
    return true;
}

bool SingleInstance::SendToFirst(std::uint32_t message, std::uint64_t wParam, int timeoutMs, std::string* error) {
    sockaddr_un address{};
    if (!FillAddress(SocketPath(), address)) {
        SetError(error, "the runtime folder's path is too long for a socket: " + m_folder.string());
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        SetError(error, ErrnoText("cannot create a socket"));
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    bool delivered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        SetError(error, ErrnoText("no running copy listens on " + SocketPath().string()));
    } else {
        std::array<std::uint8_t, kMessageSize> bytes{};
        PutU32(bytes, 0, message);
        PutU64(bytes, 4, wParam);
        if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
            SetError(error, ErrnoText("cannot send to the running copy"));
        } else {
            std::array<std::uint8_t, 1> receipt{};
            delivered = ReadExactly(fd, receipt, deadline) && receipt[0] == kReceipt;
            if (!delivered) {
                SetError(error, "the running copy did not take the message");
            }
        }
    }
    ::close(fd);
    return delivered;
}

std::vector<InstanceMessage> SingleInstance::ReadPending() {
    std::vector<InstanceMessage> messages;
    if (m_listenFd < 0) {
        return messages;
    }
    for (int taken = 0; taken < kMaxConnectionsPerRead; ++taken) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) {
                continue;
            }
            break; // EAGAIN: nothing more waiting
        }
        std::array<std::uint8_t, kMessageSize> bytes{};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPeerTimeoutMs);
        if (SameUser(fd) && ReadExactly(fd, bytes, deadline)) {
            std::uint8_t extra = 0;
            // A well-formed sender writes one message and waits for the receipt.
            const bool oversized = ::recv(fd, &extra, 1, MSG_DONTWAIT | MSG_PEEK) > 0;
            const InstanceMessage m{static_cast<std::uint32_t>(GetLe(bytes, 0, 4)), GetLe(bytes, 4, 8)};
            if (!oversized && IsAccepted(m)) {
                messages.push_back(m);
                [[maybe_unused]] const ssize_t sent = ::send(fd, &kReceipt, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            }
        }
        ::close(fd);
    }
    return messages;
}

void SingleInstance::Release() {
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        ::unlink(SocketPath().c_str());
    }
    if (m_lockFd >= 0) {
        // The lock file itself stays: removing it would let two later copies lock different
        // files of the same name.
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

} // namespace brasslane::platform
