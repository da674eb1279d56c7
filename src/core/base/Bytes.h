#pragma once

// Little-endian access to binary layouts. Every reader checks its bounds: callers get
// std::nullopt (or false) rather than a read past the end of untrusted data.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace brasslane {

inline std::optional<std::uint8_t> ReadU8(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset >= data.size()) {
        return std::nullopt;
    }
    return data[offset];
}

inline std::optional<std::uint16_t> ReadU16(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset > data.size() || data.size() - offset < 2) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

inline std::optional<std::uint32_t> ReadU32(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset > data.size() || data.size() - offset < 4) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(data[offset + 2]) << 16) | (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

inline bool WriteU8(std::span<std::uint8_t> data, std::size_t offset, std::uint8_t value) {
    if (offset >= data.size()) {
        return false;
    }
    data[offset] = value;
    return true;
}

inline bool WriteU16(std::span<std::uint8_t> data, std::size_t offset, std::uint16_t value) {
    if (offset > data.size() || data.size() - offset < 2) {
        return false;
    }
    data[offset] = static_cast<std::uint8_t>(value & 0xFF);
    data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    return true;
}

inline bool WriteU32(std::span<std::uint8_t> data, std::size_t offset, std::uint32_t value) {
    if (offset > data.size() || data.size() - offset < 4) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
    return true;
}

} // namespace brasslane
