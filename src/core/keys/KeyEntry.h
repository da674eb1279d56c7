#pragma once

// One key's assignment in a profile area of the profile image: 16 bytes, little-endian.

#include "core/base/Bytes.h"

#include <cstdint>
#include <span>

namespace brasslane {

enum class AssignmentType : std::uint16_t {
    kDefault = 0,   // keeps the action of its position in the default key map
    kDisabled = 1,  // does nothing
    kKey = 2,       // acts as the key named by param (a ScanCode)
    kProgram = 3,   // launches the program whose path is the entry's text
    kMacro = 4,     // plays the macro whose id is param
    kStopMacro = 5, // stops the playing macro
    kText = 6,      // types the entry's text
    kMedia = 7,     // multimedia function param (0..17)
    kFunction = 8,  // keyboard function param (0..10)
};

constexpr std::size_t kKeyEntrySize = 16;

struct KeyEntry {
    std::uint16_t type = 0;
    std::uint16_t extra = 0; // G code for G-key slots; repeat count of a macro assignment
    std::uint32_t param = 0;
    std::uint32_t selection = 0;
    std::uint32_t reserved = 0;

    AssignmentType Type() const { return static_cast<AssignmentType>(type); }
    bool operator==(const KeyEntry&) const = default;

    static KeyEntry Read(std::span<const std::uint8_t, kKeyEntrySize> bytes) {
        KeyEntry e;
        e.type = *ReadU16(bytes, 0);
        e.extra = *ReadU16(bytes, 2);
        e.param = *ReadU32(bytes, 4);
        e.selection = *ReadU32(bytes, 8);
        e.reserved = *ReadU32(bytes, 12);
        return e;
    }
    void Write(std::span<std::uint8_t, kKeyEntrySize> bytes) const {
        WriteU16(bytes, 0, type);
        WriteU16(bytes, 2, extra);
        WriteU32(bytes, 4, param);
        WriteU32(bytes, 8, selection);
        WriteU32(bytes, 12, reserved);
    }
};

// Slots of a profile area: 0..255 keys by ScanIndex, then the G keys of two banks.
constexpr std::size_t kAreaSlots = 512;
constexpr std::size_t kProfileAreas = 4;
constexpr std::size_t kKeyEntryCount = kAreaSlots * kProfileAreas; // 2048
constexpr std::size_t kGSlotBankA = 256;                           // G1..G9 of bank A: 256..264
constexpr std::size_t kGSlotBankB = 265;                           // G1..G9 of bank B: 265..273
constexpr std::uint16_t kGCodeBankA = 0x0300;                      // + n for Gn
constexpr std::uint16_t kGCodeBankB = 0x1300;

constexpr std::size_t RecordIndex(std::size_t area, std::size_t slot) {
    return area * kAreaSlots + slot;
}

} // namespace brasslane
