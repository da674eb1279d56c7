#pragma once

// The simulated keyboard behind the simulated HID backend, optionally connected through the
// real device link, and helpers to read the frames the code under test sent it.

#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace brasslane::test {

using Frame = std::array<std::uint8_t, 64>;

// The command byte of every frame.
inline std::vector<int> Commands(const std::vector<Frame>& log) {
    std::vector<int> commands;
    for (const Frame& frame : log) {
        commands.push_back(frame[3]);
    }
    return commands;
}

inline int CountCommand(const std::vector<Frame>& log, int command) {
    return static_cast<int>(
        std::count_if(log.begin(), log.end(), [command](const Frame& frame) { return frame[3] == command; }));
}

// The data bytes of a frame; byte 4 gives their number.
inline std::vector<std::uint8_t> Payload(const Frame& frame) {
    return std::vector<std::uint8_t>(frame.begin() + 8, frame.begin() + 8 + std::min<int>(frame[4], 56));
}

inline int Address(const Frame& frame) {
    return frame[5] | (frame[6] << 8);
}

// A simulated keyboard and the backend through which the code under test finds it.
struct SimKeyboardFixture {
    explicit SimKeyboardFixture(sim::SimModel model = sim::SimModel::k7672) : keyboard(model) {}

    // The frames sent since the last call.
    std::vector<Frame> TakeLog() {
        std::vector<Frame> log = keyboard.RequestLog();
        keyboard.ClearRequestLog();
        return log;
    }
    void SetInfoByte(std::size_t index, std::uint8_t value) {
        auto info = keyboard.Info();
        info[index] = value;
        keyboard.SetInfo(info);
    }
    // The lighting effects the keyboard says it has.
    void SetEffectList(std::initializer_list<std::uint8_t> effects) {
        auto info = keyboard.Info();
        std::fill(info.begin() + 12, info.end(), 0);
        std::copy(effects.begin(), effects.end(), info.begin() + 12);
        keyboard.SetInfo(info);
    }
    // The key map block of `profile` as the keyboard holds it.
    std::vector<std::uint8_t> KeyMapOf(std::size_t profile) const {
        const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
        const std::size_t size = keyboard.BlockSize();
        return {maps.begin() + static_cast<std::ptrdiff_t>(profile * size),
                maps.begin() + static_cast<std::ptrdiff_t>((profile + 1) * size)};
    }

    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
};

// The same keyboard reached through the real device link.
struct SimKeyboardLink : SimKeyboardFixture {
    using SimKeyboardFixture::SimKeyboardFixture;

    // Connects and forgets the frames of the connection itself.
    bool Connect() {
        const bool ok = ConnectKeyboard(link, connection);
        keyboard.ClearRequestLog();
        return ok;
    }
    // Connects and reads what a connection reads, then forgets those frames.
    bool ConnectAndRead() {
        const bool ok = ConnectKeyboard(link, connection) && ReadConnectionData(link, connection) == kStatusSuccess;
        keyboard.ClearRequestLog();
        return ok;
    }

    DeviceLink link{backend};
    ConnectionState connection;
};

} // namespace brasslane::test
