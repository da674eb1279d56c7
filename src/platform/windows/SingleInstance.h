#pragma once

// One running copy of the desktop app per user session. The first copy creates the named mutex
// "Local\QR70M33D-<folder>" and serves the named pipe "\\.\pipe\QR70M33D-<folder>"; a later copy
// finds the mutex there, connects to the pipe and sends one message (number and wParam), then
// exits. <folder> is a hash of the runtime folder's name, so a test's folder gets objects of its
// own. A copy that dies takes its mutex and pipe with it: the system closes its handles, the
// objects vanish, and the next start becomes the first copy.
//
// Wire format of one message: 12 bytes, little-endian: u32 message number, u64 wParam. The
// first copy answers one byte 1 once it has read them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brasslane::platform {

// Message number for a command id carried in wParam (WM_COMMAND): how another program asks
// for the firmware update dialog (command 32780).
constexpr std::uint32_t kInstanceCommandMessage = 0x0111;

struct InstanceMessage {
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    bool operator==(const InstanceMessage&) const = default;
};

class SingleInstance {
public:
    static constexpr const char* kName = "QR70M33D";

    explicit SingleInstance(std::filesystem::path runtimeFolder);
    ~SingleInstance(); // Release()
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Creates the mutex and starts serving the pipe. True when this process is now the first
    // copy (also when it already was); false when another copy holds the mutex, or on an error
    // (then `error` says why and IsFirst() stays false).
    bool TryBecomeFirst(std::string* error = nullptr);
    bool IsFirst() const { return m_pipe != nullptr; }

    // Sends one message to the first copy and waits (up to `timeoutMs`) for its receipt. False
    // when no copy listens or it did not answer. Does not need TryBecomeFirst.
    bool SendToFirst(std::uint32_t message, std::uint64_t wParam, int timeoutMs = 2000, std::string* error = nullptr);

    // An event object (a HANDLE) that is signalled while a peer waits to be read, for
    // WaitForMultipleObjects or QWinEventNotifier; nullptr unless this is the first copy.
    void* WaitHandle() const { return m_connected; }
    // Reads every waiting peer's message and returns them, in order. Only the known messages
    // are passed on (MSG_OPEN, MSG_KILL and the firmware update command); anything else, or a
    // short or oversized message, is dropped. Never blocks longer than a short per-peer timeout.
    std::vector<InstanceMessage> ReadPending();

    // Stops serving the pipe and closes the mutex (the close sequence's step).
    void Release();

    std::wstring MutexName() const;
    std::wstring PipeName() const;

private:
    bool StartConnect();

    std::filesystem::path m_folder;
    void* m_mutex = nullptr;
    void* m_pipe = nullptr;
    void* m_connected = nullptr; // the pipe's connect event
    void* m_connect = nullptr;   // the OVERLAPPED record of the pending connect
};

} // namespace brasslane::platform
