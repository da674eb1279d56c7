#pragma once

// Per-key colours: the keys that carry a colour, found by their place in the keyboard's
// lighting matrix (their key colour index), and the colour of every key in each profile.

#include "core/lighting/LightingBlock.h"
#include "core/lighting/LightingMatrix.h"
#include "core/lighting/Rgb.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace brasslane {

// A profile's key colour area: 512 bytes, three per index (the last two bytes are unused).
constexpr std::size_t kKeyColourAreaSize = 512;
constexpr int kKeyColourSlots = static_cast<int>(kKeyColourAreaSize / 3);
// 105 key buttons with a scan code, and Fn.
constexpr std::size_t kKeyButtonColourCount = kMatrixScanCodeKeys + 1;
// Whole-profile sends go in chunks of 18 keys (54 bytes, within a frame's 56).
constexpr std::uint32_t kKeyColourChunkKeys = 18;
constexpr std::size_t kKeyColourChunkBytes = kKeyColourChunkKeys * 3;

// The key colour index of the key with this scan code, or -1 when it has no place in the
// matrix. Right Shift answers to both of its codes (0x36 and 0x136).
int KeyColourIndexOf(std::uint16_t scanCode);
// The scan code of the key at `index`; 0 for Fn, empty places and indices out of range.
std::uint16_t ScanCodeOfColourIndex(int index);
// Does `index` belong to a key that carries a colour (the 105 key buttons and Fn)?
bool IsKeyButtonColourIndex(int index);
// The indices of the keys that carry a colour, ascending.
std::span<const std::uint8_t, kKeyButtonColourCount> KeyButtonColourIndices();

// Number of 18-key chunks that a whole-profile send uses for a keyboard lighting `keyCount`
// places: keyCount / 18 + 1 (8 for both models), never more than fit in the 512-byte area.
std::uint32_t KeyColourChunkCount(std::uint32_t keyCount);

class KeyColourTable {
public:
    // Black for a profile or index out of range.
    Rgb Get(int profile, int index) const;
    // False (and nothing stored) unless 0 <= profile < 3 and `index` belongs to a key button.
    bool Set(int profile, int index, Rgb colour);

    // A profile's area as the keyboard keeps it: green, red, blue per index; places of no key
    // button and places at or beyond `keyCount` are zero. All zero for a profile out of range.
    std::array<std::uint8_t, kKeyColourAreaSize> Encode(int profile, std::uint32_t keyCount) const;

    bool operator==(const KeyColourTable&) const = default;

private:
    std::array<std::array<Rgb, kKeyColourSlots>, kLightingProfileCount> m_colours{};
};

} // namespace brasslane
