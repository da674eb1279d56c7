#pragma once

// One running copy of the desktop app per user. The first copy holds an exclusive lock
// (flock) on "QR70M33D.lock" in the runtime folder and listens on the Unix socket
// "QR70M33D.sock" beside it; a later copy fails to take the lock, connects and sends one
// message (number and wParam), then exits. A lock left by a copy that died is released by the
// kernel with the process, so the next start simply takes it over and replaces the leftover
// socket.
//
// Wire format of one message: 12 bytes, little-endian: u32 message number, u64 wParam. The
// first copy answers one byte 1 once it has read them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brasslane::platform {

// Message number for a command id carried in wParam (what WM_COMMAND carries on Windows): how
// another program asks for the firmware update dialog (command 32780).
constexpr std::uint32_t kInstanceCommandMessage = 0x0111;

struct InstanceMessage {
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    bool operator==(const InstanceMessage&) const = default;
};

class SingleInstance {
public:
    static constexpr const char* kName = "QR70M33D";

    // `runtimeFolder` holds the lock and the socket (RuntimeFolder() in the program; a
    // temporary folder in tests). It is created with mode 0700 when missing.
    explicit SingleInstance(std::filesystem::path runtimeFolder);
    ~SingleInstance(); // Release()
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock and starts listening. True when this process is now the first copy (also
    // when it already was); false when another live process holds the lock, or on an error
    // (then `error` says why and IsFirst() stays false).
    bool TryBecomeFirst(std::string* error = nullptr);
    bool IsFirst() const { return m_listenFd >= 0; }
    // The last TryBecomeFirst failed because another live process holds the lock (rather than
    // because the runtime folder, its lock or its socket could not be used).
    bool HeldByAnother() const { return m_heldByAnother; }

    // Sends one message to the first copy and waits (up to `timeoutMs`) for its receipt. False
    // when no copy listens or it did not answer. Does not need TryBecomeFirst.
    bool SendToFirst(std::uint32_t message, std::uint64_t wParam, int timeoutMs = 2000, std::string* error = nullptr);

    // The listening socket, readable when a message is waiting (for QSocketNotifier or poll);
    // -1 unless this is the first copy.
    int Fd() const { return m_listenFd; }
    // Accepts every waiting connection and returns the messages they carried, in order. Only
    // the known messages are passed on (MSG_OPEN, MSG_KILL and the firmware update command);
    // anything else, a short or oversized message, or a peer of another user is dropped.
    // Never blocks longer than a short per-connection timeout.
    std::vector<InstanceMessage> ReadPending();

    // Stops listening, removes the socket and gives up the lock (the close sequence's step).
    void Release();

    std::filesystem::path LockPath() const;
    std::filesystem::path SocketPath() const;

private:
    std::filesystem::path m_folder;
    int m_lockFd = -1;
    bool m_heldByAnother = false;
    int m_listenFd = -1;
};

} // namespace brasslane::platform
