#include "platform/windows/SingleInstance.h"

#include "core/base/Messages.h"

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <memory>

namespace brasslane::platform {

namespace {

constexpr std::size_t kMessageSize = 12;
constexpr std::uint8_t kReceipt = 1;
// A peer gets this long to deliver its message, so that a stalled one cannot hold up the
// user-interface thread that reads them.
constexpr DWORD kPeerTimeoutMs = 200;
constexpr int kMaxConnectionsPerRead = 16;

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string SystemError(const std::string& what, DWORD code = GetLastError()) {
    return what + " (system error " + std::to_string(code) + ")";
}

bool IsAccepted(const InstanceMessage& m) {
    return m.message == MSG_OPEN || m.message == MSG_KILL ||
           (m.message == kInstanceCommandMessage && m.wParam == kCommandFirmwareUpdate);
}

// One overlapped transfer on `handle`, waited for at most `timeoutMs`; a request still running
// then is cancelled and waited for, so that nothing refers to the buffer afterwards.
bool Transfer(HANDLE handle, bool write, void* data, DWORD size, DWORD timeoutMs, DWORD& moved) {
    moved = 0;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return false;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    const BOOL started = write ? WriteFile(handle, data, size, nullptr, &overlapped)
                               : ReadFile(handle, data, size, nullptr, &overlapped);
    bool ok = false;
    if (started || GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(event, timeoutMs) != WAIT_OBJECT_0) {
            CancelIoEx(handle, &overlapped);
        }
        ok = GetOverlappedResult(handle, &overlapped, &moved, TRUE) != 0;
    }
    CloseHandle(event);
    return ok;
}

// Reads exactly `size` bytes or fails by the deadline.
bool ReadAll(HANDLE handle, std::uint8_t* data, DWORD size, std::chrono::steady_clock::time_point deadline) {
    DWORD got = 0;
    while (got < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        DWORD moved = 0;
        if (left <= 0 || !Transfer(handle, false, data + got, size - got, static_cast<DWORD>(left), moved) ||
            moved == 0) {
            return false;
        }
        got += moved;
    }
    return true;
}

} // namespace

SingleInstance::SingleInstance(std::filesystem::path runtimeFolder) : m_folder(std::move(runtimeFolder)) {}

SingleInstance::~SingleInstance() {
    Release();
}

std::wstring SingleInstance::MutexName() const {
    // FNV-1a over the folder's name, case folded as Windows compares paths.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (wchar_t c : m_folder.lexically_normal().wstring()) {
        hash = (hash ^ static_cast<std::uint64_t>(std::towlower(c))) * 0x100000001b3ull;
    }
    wchar_t suffix[17];
    std::swprintf(suffix, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return L"Local\\QR70M33D-" + std::wstring(suffix);
}

std::wstring SingleInstance::PipeName() const {
    return L"\\\\.\\pipe\\" + MutexName().substr(6); // without "Local\"
}

bool SingleInstance::TryBecomeFirst(std::string* error) {
    if (IsFirst()) {
        return true;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, MutexName().c_str());
    if (mutex == nullptr) {
        SetError(error, SystemError("cannot create the instance mutex"));
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        SetError(error, "another copy is running");
        return false;
    }
    m_mutex = mutex;
    HANDLE pipe = CreateNamedPipeW(
        PipeName().c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 64, 64, 0, nullptr);
    m_connected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (pipe == INVALID_HANDLE_VALUE || m_connected == nullptr) {
        SetError(error, SystemError("cannot create the instance pipe"));
        if (pipe != INVALID_HANDLE_VALUE) {
            CloseHandle(pipe);
        }
        Release();
        return false;
    }
    m_pipe = pipe;
    m_connect = new OVERLAPPED{};
    if (!StartConnect()) {
        SetError(error, SystemError("cannot serve the instance pipe"));
        Release();
        return false;
    }
    return true;
}

bool SingleInstance::StartConnect() {
    auto* overlapped = static_cast<OVERLAPPED*>(m_connect);
    *overlapped = OVERLAPPED{};
    overlapped->hEvent = m_connected;
    ResetEvent(m_connected);
    if (ConnectNamedPipe(m_pipe, overlapped)) {
        SetEvent(m_connected);
        return true;
    }
    switch (GetLastError()) {
    case ERROR_IO_PENDING:
        return true;
    case ERROR_PIPE_CONNECTED: // a peer came between creating and connecting
        SetEvent(m_connected);
        return true;
    default:
        return false;
    }
}

std::vector<InstanceMessage> SingleInstance::ReadPending() {
    std::vector<InstanceMessage> messages;
    for (int i = 0; i < kMaxConnectionsPerRead && IsFirst(); ++i) {
        if (WaitForSingleObject(m_connected, 0) != WAIT_OBJECT_0) {
            break;
        }
        std::array<std::uint8_t, kMessageSize> bytes{};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPeerTimeoutMs);
        if (ReadAll(m_pipe, bytes.data(), kMessageSize, deadline)) {
            DWORD extra = 0;
            const bool exact = PeekNamedPipe(m_pipe, nullptr, 0, nullptr, &extra, nullptr) && extra == 0;
            InstanceMessage m;
            for (std::size_t b = 0; b < 4; ++b) {
                m.message |= static_cast<std::uint32_t>(bytes[b]) << (8 * b);
            }
            for (std::size_t b = 0; b < 8; ++b) {
                m.wParam |= static_cast<std::uint64_t>(bytes[4 + b]) << (8 * b);
            }
            if (exact && IsAccepted(m)) {
                messages.push_back(m);
                std::uint8_t receipt = kReceipt;
                DWORD moved = 0;
                Transfer(m_pipe, true, &receipt, 1, kPeerTimeoutMs, moved);
                FlushFileBuffers(m_pipe); // the receipt is read before the pipe is cut
            }
        }
        DisconnectNamedPipe(m_pipe);
        if (!StartConnect()) {
            Release();
        }
    }
    return messages;
}

bool SingleInstance::SendToFirst(std::uint32_t message, std::uint64_t wParam, int timeoutMs, std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    const std::wstring name = PipeName();
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                           nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            break;
        }
        const DWORD code = GetLastError();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (code != ERROR_PIPE_BUSY || left <= 0) {
            SetError(error, code == ERROR_FILE_NOT_FOUND ? std::string("no copy is listening")
                                                         : SystemError("cannot reach the running copy", code));
            return false;
        }
        // Another peer is being served: wait for the pipe's next instance.
        WaitNamedPipeW(name.c_str(), static_cast<DWORD>(left));
    }
    std::array<std::uint8_t, kMessageSize> bytes{};
    for (std::size_t b = 0; b < 4; ++b) {
        bytes[b] = static_cast<std::uint8_t>(message >> (8 * b));
    }
    for (std::size_t b = 0; b < 8; ++b) {
        bytes[4 + b] = static_cast<std::uint8_t>(wParam >> (8 * b));
    }
    DWORD moved = 0;
    const auto left = [&] {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        return static_cast<DWORD>(std::max<long long>(ms, 1));
    };
    bool ok = Transfer(pipe, true, bytes.data(), kMessageSize, left(), moved) && moved == kMessageSize;
    std::uint8_t receipt = 0;
    ok = ok && ReadAll(pipe, &receipt, 1, deadline) && receipt == kReceipt;
    CloseHandle(pipe);
    if (!ok) {
        SetError(error, "the running copy did not answer");
    }
    return ok;
}

void SingleInstance::Release() {
    if (m_pipe != nullptr) {
        CancelIoEx(m_pipe, nullptr);
        DWORD ignored = 0;
        if (m_connect != nullptr) {
            GetOverlappedResult(m_pipe, static_cast<OVERLAPPED*>(m_connect), &ignored, TRUE);
        }
        CloseHandle(m_pipe);
        m_pipe = nullptr;
    }
    delete static_cast<OVERLAPPED*>(m_connect);
    m_connect = nullptr;
    if (m_connected != nullptr) {
        CloseHandle(m_connected);
        m_connected = nullptr;
    }
    if (m_mutex != nullptr) {
        CloseHandle(m_mutex);
        m_mutex = nullptr;
    }
}

} // namespace brasslane::platform
