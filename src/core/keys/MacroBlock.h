#pragma once

// A macro as the profile image keeps it: a 32512-byte block (name, repeat count, flags, id and
// up to 4000 steps). The struct is the editable form; Read and Write convert to and from the
// block's bytes.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brasslane {

constexpr std::size_t kMacroBlockSize = 32512; // 0x7F00
constexpr std::size_t kMacroNameUnits = 250;   // 249 characters and the terminator
constexpr std::size_t kMaxMacroNameLength = 249;
constexpr std::size_t kMaxMacros = 100;
constexpr std::size_t kMaxMacroSteps = 4000;
constexpr std::uint32_t kMaxMacroDelayMs = 40000;

struct MacroStep {
    std::uint32_t delay = 0; // milliseconds after this step
    std::uint16_t key = 0;   // ScanCode
    std::uint16_t state = 0; // 0 press, 1 release
    bool operator==(const MacroStep&) const = default;
};

struct MacroBlock {
    std::u16string name;          // at most 249 UTF-16 units
    std::uint8_t repeat = 1;      // 1..255
    std::uint16_t newFlag = 0;    // 1 while created in an open dialog and not yet applied
    std::uint16_t id = 0;         // 1..100
    std::vector<MacroStep> steps; // at most 4000

    bool operator==(const MacroBlock&) const = default;

    // Decodes a block. Out-of-range counts are clamped (at most 4000 steps, a name ends at its
    // terminator or after 249 units), so any 32512 bytes decode safely.
    static MacroBlock Read(std::span<const std::uint8_t, kMacroBlockSize> bytes);
    // Encodes into a zero-filled block.
    void Write(std::span<std::uint8_t, kMacroBlockSize> bytes) const;
};

} // namespace brasslane
