#pragma once

// What the program knows about the connected keyboard. One per process, beside DeviceLink.
// The monitor thread writes it; the user-interface thread reads it without a lock, so every
// field that both touch is atomic or written before the message that announces it.

#include "core/base/Messages.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace brasslane {

struct KeyboardModel {
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint32_t keyCount;
    std::uint32_t blockSize;
    std::uint32_t blockStride;
};

constexpr KeyboardModel kModel7672{0x0C45, 0x7672, 126, 378, 378};
constexpr KeyboardModel kModel505B{0x320F, 0x505B, 128, 512, 512};

// Usages that identify the two interfaces of the keyboard.
constexpr std::uint16_t kCommandUsagePage = 0xFF1C;
constexpr std::uint16_t kCommandUsage = 0x0092;
constexpr std::uint16_t kConsumerUsagePage = 0x000C;
constexpr std::uint16_t kConsumerUsage = 0x0001;

class ConnectionState {
public:
    std::atomic<int> publishedState{0};
    std::atomic<std::uint32_t> keyCount{126};
    std::atomic<std::uint32_t> blockSize{378};
    std::atomic<std::uint32_t> blockStride{378};
    std::atomic<std::uint32_t> macroCapacity{0}; // bytes: information byte 11 x 128
    std::atomic<int> firstShow{0};
    // The tray icon that shows the connection, as last set by the connection monitor: 128 no
    // keyboard, 141 connected. The input listener returns to it after a keyboard state icon.
    std::atomic<int> stateIcon{kIconNoKeyboard};

    // The keyboard's own key map (command 15); its first blockSize bytes are meaningful.
    // Until a keyboard is read it holds the built-in default matrix (set by the keys module).
    std::array<std::uint8_t, 512> DefaultKeyMap() const {
        std::lock_guard lock(m_mutex);
        return m_defaultKeyMap;
    }
    void SetDefaultKeyMap(const std::array<std::uint8_t, 512>& map) {
        std::lock_guard lock(m_mutex);
        m_defaultKeyMap = map;
        m_haveDefaultKeyMap = true;
    }
    bool HaveDefaultKeyMap() const {
        std::lock_guard lock(m_mutex);
        return m_haveDefaultKeyMap;
    }

private:
    mutable std::mutex m_mutex;
    std::array<std::uint8_t, 512> m_defaultKeyMap{};
    bool m_haveDefaultKeyMap = false;
};

} // namespace brasslane
