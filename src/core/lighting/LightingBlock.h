#pragma once

// One profile's lighting record as the keyboard keeps it in its lighting area: 42 bytes per
// profile at profile x 42. The colour bytes are held here in the program's order (red, green,
// blue): DeviceLink exchanges them on the way in and out, so a block read through it and a
// block built by the program look alike.

#include "core/lighting/Rgb.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace brasslane {

constexpr int kLightingProfileCount = 3;
constexpr std::size_t kLightingBlockSize = 42;

// Field offsets within a block (also the low part of a lighting write's address).
constexpr std::uint16_t kOffsetEffect = 0;
constexpr std::uint16_t kOffsetBrightness = 1;
constexpr std::uint16_t kOffsetSpeed = 2;
constexpr std::uint16_t kOffsetDirection = 3;
constexpr std::uint16_t kOffsetColourful = 4;
constexpr std::uint16_t kOffsetColour = 5; // three bytes
constexpr std::uint16_t kOffsetReportRate = 15;
constexpr std::uint16_t kOffsetFourColour = 17;

// Value ranges of the panel's controls.
constexpr std::uint8_t kMaxBrightness = 5;
constexpr std::uint8_t kMaxSpeed = 4;
constexpr std::uint8_t kMaxReportRate = 3;
constexpr std::uint8_t kMaxFourColour = 3;

// Direction byte: the first direction button (left, up, spread outward) and the second (right,
// down, converge inward).
constexpr std::uint8_t kDirectionFirst = 0xFF;
constexpr std::uint8_t kDirectionSecond = 0x00;

// The reset writes this many bytes from the start of the block; the rest of the block is never
// written by the program.
constexpr std::size_t kDefaultBlockSize = 35;

// Effect 1, brightness 5, speed 2, direction "second", colourful, white, all reserved bytes zero.
// Sent as it is: it is not a 3-byte write, so no byte exchange applies.
constexpr std::array<std::uint8_t, kDefaultBlockSize> kDefaultBlock{0x01, 0x05, 0x02, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};

// Address of a field of a profile's block in the lighting area. Profiles outside 0..2 are the
// caller's error; LightingModel never passes one.
constexpr std::uint16_t LightingAddress(int profile, std::uint16_t offset) {
    return static_cast<std::uint16_t>(profile * static_cast<int>(kLightingBlockSize) + offset);
}

class LightingBlock {
public:
    LightingBlock() = default;
    // Takes the first 42 bytes of `data`; shorter data leaves the rest zero.
    explicit LightingBlock(std::span<const std::uint8_t> data);

    std::span<const std::uint8_t, kLightingBlockSize> Bytes() const { return m_bytes; }

    std::uint8_t Effect() const { return m_bytes[kOffsetEffect]; }
    std::uint8_t Brightness() const { return m_bytes[kOffsetBrightness]; }
    std::uint8_t Speed() const { return m_bytes[kOffsetSpeed]; }
    std::uint8_t Direction() const { return m_bytes[kOffsetDirection]; }
    bool Colourful() const { return m_bytes[kOffsetColourful] != 0; }
    Rgb Colour() const;
    std::uint8_t ReportRate() const { return m_bytes[kOffsetReportRate]; }
    std::uint8_t FourColour() const { return m_bytes[kOffsetFourColour]; }

    bool operator==(const LightingBlock&) const = default;

private:
    std::array<std::uint8_t, kLightingBlockSize> m_bytes{};
};

} // namespace brasslane
