#pragma once

// A simulated keyboard connected through the real device link, helpers to read the frames the
// lighting code sent, and a temporary per-user folder.

#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <vector>

namespace brasslane::test {

using Frame = std::array<std::uint8_t, 64>;

inline std::vector<int> Commands(const std::vector<Frame>& log) {
    std::vector<int> commands;
    for (const Frame& frame : log) {
        commands.push_back(frame[3]);
    }
    return commands;
}

// The data bytes of a frame; byte 4 gives their number.
inline std::vector<std::uint8_t> Payload(const Frame& frame) {
    return std::vector<std::uint8_t>(frame.begin() + 8, frame.begin() + 8 + std::min<int>(frame[4], 56));
}

inline int Address(const Frame& frame) {
    return frame[5] | (frame[6] << 8);
}

class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("brasslane-lighting-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

struct SimLink {
    // Connects and forgets the frames of the connection itself.
    bool Connect() {
        const bool ok = ConnectKeyboard(link, connection);
        keyboard.ClearRequestLog();
        return ok;
    }
    void SetEffectList(std::initializer_list<std::uint8_t> effects) {
        auto info = keyboard.Info();
        std::fill(info.begin() + 12, info.end(), 0);
        std::copy(effects.begin(), effects.end(), info.begin() + 12);
        keyboard.SetInfo(info);
    }
    std::vector<Frame> TakeLog() {
        std::vector<Frame> log = keyboard.RequestLog();
        keyboard.ClearRequestLog();
        return log;
    }

    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    DeviceLink link{backend};
    ConnectionState connection;
};

} // namespace brasslane::test
