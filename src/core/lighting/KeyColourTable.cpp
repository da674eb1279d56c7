#include "core/lighting/KeyColourTable.h"

#include <algorithm>

namespace brasslane {

namespace {

struct MatrixKey {
    std::uint16_t scanCode;
    std::uint8_t index;
};

constexpr std::uint8_t Place(int row, int column) {
    return static_cast<std::uint8_t>(row * kMatrixColumns + column);
}

// Every key of the lighting matrix that has a scan code, by row and column.
constexpr std::array<MatrixKey, kKeyButtonColourCount - 1> kMatrixKeys{{
    // Row 0: Esc, F1..F12, Print Screen, Scroll Lock, Pause.
    {0x01, Place(0, 0)},
    {0x3B, Place(0, 1)},
    {0x3C, Place(0, 2)},
    {0x3D, Place(0, 3)},
    {0x3E, Place(0, 4)},
    {0x3F, Place(0, 5)},
    {0x40, Place(0, 6)},
    {0x41, Place(0, 7)},
    {0x42, Place(0, 8)},
    {0x43, Place(0, 9)},
    {0x44, Place(0, 10)},
    {0x57, Place(0, 11)},
    {0x58, Place(0, 12)},
    {0x137, Place(0, 14)},
    {0x46, Place(0, 15)},
    {0x45, Place(0, 16)},
    // Row 1: `, 1..0, -, =, Backspace, Insert, Home, Page Up, Num Lock, Num /, Num *, Num -.
    {0x29, Place(1, 0)},
    {0x02, Place(1, 1)},
    {0x03, Place(1, 2)},
    {0x04, Place(1, 3)},
    {0x05, Place(1, 4)},
    {0x06, Place(1, 5)},
    {0x07, Place(1, 6)},
    {0x08, Place(1, 7)},
    {0x09, Place(1, 8)},
    {0x0A, Place(1, 9)},
    {0x0B, Place(1, 10)},
    {0x0C, Place(1, 11)},
    {0x0D, Place(1, 12)},
    {0x0E, Place(1, 13)},
    {0x152, Place(1, 14)},
    {0x147, Place(1, 15)},
    {0x149, Place(1, 16)},
    {0x145, Place(1, 17)},
    {0x135, Place(1, 18)},
    {0x37, Place(1, 19)},
    {0x4A, Place(1, 20)},
    // Row 2: Tab, Q..P, [, ], \, Delete, End, Page Down, Num 7, Num 8, Num 9, Num +.
    {0x0F, Place(2, 0)},
    {0x10, Place(2, 1)},
    {0x11, Place(2, 2)},
    {0x12, Place(2, 3)},
    {0x13, Place(2, 4)},
    {0x14, Place(2, 5)},
    {0x15, Place(2, 6)},
    {0x16, Place(2, 7)},
    {0x17, Place(2, 8)},
    {0x18, Place(2, 9)},
    {0x19, Place(2, 10)},
    {0x1A, Place(2, 11)},
    {0x1B, Place(2, 12)},
    {0x2B, Place(2, 13)},
    {0x153, Place(2, 14)},
    {0x14F, Place(2, 15)},
    {0x151, Place(2, 16)},
    {0x47, Place(2, 17)},
    {0x48, Place(2, 18)},
    {0x49, Place(2, 19)},
    {0x4E, Place(2, 20)},
    // Row 3: Caps Lock, A..L, ;, ', Enter, Num 4, Num 5, Num 6.
    {0x3A, Place(3, 0)},
    {0x1E, Place(3, 1)},
    {0x1F, Place(3, 2)},
    {0x20, Place(3, 3)},
    {0x21, Place(3, 4)},
    {0x22, Place(3, 5)},
    {0x23, Place(3, 6)},
    {0x24, Place(3, 7)},
    {0x25, Place(3, 8)},
    {0x26, Place(3, 9)},
    {0x27, Place(3, 10)},
    {0x28, Place(3, 11)},
    {0x1C, Place(3, 13)},
    {0x4B, Place(3, 17)},
    {0x4C, Place(3, 18)},
    {0x4D, Place(3, 19)},
    // Row 4: Left Shift, the extra ISO key, Z..M, comma, period, /, Right Shift, Up,
    // Num 1, Num 2, Num 3, Num Enter.
    {0x2A, Place(4, 0)},
    {0x56, Place(4, 1)},
    {0x2C, Place(4, 2)},
    {0x2D, Place(4, 3)},
    {0x2E, Place(4, 4)},
    {0x2F, Place(4, 5)},
    {0x30, Place(4, 6)},
    {0x31, Place(4, 7)},
    {0x32, Place(4, 8)},
    {0x33, Place(4, 9)},
    {0x34, Place(4, 10)},
    {0x35, Place(4, 11)},
    {0x36, Place(4, 13)},
    {0x148, Place(4, 15)},
    {0x4F, Place(4, 17)},
    {0x50, Place(4, 18)},
    {0x51, Place(4, 19)},
    {0x11C, Place(4, 20)},
    // Row 5: Left Ctrl, Left Win, Left Alt, Space, Right Alt, (Fn), App, Right Win, Right Ctrl,
    // Left, Down, Right, Num 0, Num .
    {0x1D, Place(5, 0)},
    {0x15B, Place(5, 1)},
    {0x38, Place(5, 2)},
    {0x39, Place(5, 3)},
    {0x138, Place(5, 4)},
    {0x15D, Place(5, 6)},
    {0x15C, Place(5, 7)},
    {0x11D, Place(5, 8)},
    {0x14B, Place(5, 14)},
    {0x150, Place(5, 15)},
    {0x14D, Place(5, 16)},
    {0x52, Place(5, 18)},
    {0x53, Place(5, 19)},
}};

constexpr std::uint16_t kRightShiftExtended = 0x136;

constexpr std::array<std::uint16_t, kKeyColourSlots> BuildScanCodeByIndex() {
    std::array<std::uint16_t, kKeyColourSlots> table{};
    for (const MatrixKey& key : kMatrixKeys) {
        table[key.index] = key.scanCode;
    }
    return table;
}

constexpr std::array<bool, kKeyColourSlots> BuildButtonFlags() {
    std::array<bool, kKeyColourSlots> flags{};
    for (const MatrixKey& key : kMatrixKeys) {
        flags[key.index] = true;
    }
    flags[kFnColourIndex] = true;
    return flags;
}

constexpr std::array<std::uint8_t, kKeyButtonColourCount> BuildButtonIndices() {
    const std::array<bool, kKeyColourSlots> flags = BuildButtonFlags();
    std::array<std::uint8_t, kKeyButtonColourCount> indices{};
    std::size_t n = 0;
    for (int i = 0; i < kKeyColourSlots; ++i) {
        if (flags[static_cast<std::size_t>(i)] && n < indices.size()) {
            indices[n++] = static_cast<std::uint8_t>(i);
        }
    }
    return indices;
}

constexpr std::size_t CountButtons() {
    std::size_t n = 0;
    for (bool isButton : BuildButtonFlags()) {
        n += isButton ? 1 : 0;
    }
    return n;
}
// A duplicate place in the matrix table would leave fewer distinct places than keys.
static_assert(CountButtons() == kKeyButtonColourCount);

constexpr std::array<std::uint16_t, kKeyColourSlots> kScanCodeByIndex = BuildScanCodeByIndex();
constexpr std::array<bool, kKeyColourSlots> kIsButton = BuildButtonFlags();
constexpr std::array<std::uint8_t, kKeyButtonColourCount> kButtonIndices = BuildButtonIndices();

bool InRange(int profile, int index) {
    return profile >= 0 && profile < kLightingProfileCount && index >= 0 && index < kKeyColourSlots;
}

} // namespace

int KeyColourIndexOf(std::uint16_t scanCode) {
    if (scanCode == 0) {
        return -1;
    }
    if (scanCode == kRightShiftExtended) {
        scanCode = 0x36;
    }
    for (const MatrixKey& key : kMatrixKeys) {
        if (key.scanCode == scanCode) {
            return key.index;
        }
    }
    return -1;
}

std::uint16_t ScanCodeOfColourIndex(int index) {
    if (index < 0 || index >= kKeyColourSlots) {
        return 0;
    }
    return kScanCodeByIndex[static_cast<std::size_t>(index)];
}

bool IsKeyButtonColourIndex(int index) {
    return index >= 0 && index < kKeyColourSlots && kIsButton[static_cast<std::size_t>(index)];
}

std::span<const std::uint8_t, kKeyButtonColourCount> KeyButtonColourIndices() {
    return kButtonIndices;
}

std::uint32_t KeyColourChunkCount(std::uint32_t keyCount) {
    constexpr std::uint32_t kMaxChunks = kKeyColourAreaSize / kKeyColourChunkBytes;
    return std::min(keyCount / kKeyColourChunkKeys + 1, kMaxChunks);
}

Rgb KeyColourTable::Get(int profile, int index) const {
    if (!InRange(profile, index)) {
        return kBlack;
    }
    return m_colours[static_cast<std::size_t>(profile)][static_cast<std::size_t>(index)];
}

bool KeyColourTable::Set(int profile, int index, Rgb colour) {
    if (!InRange(profile, index) || !IsKeyButtonColourIndex(index)) {
        return false;
    }
    m_colours[static_cast<std::size_t>(profile)][static_cast<std::size_t>(index)] = colour;
    return true;
}

std::array<std::uint8_t, kKeyColourAreaSize> KeyColourTable::Encode(int profile, std::uint32_t keyCount) const {
    std::array<std::uint8_t, kKeyColourAreaSize> area{};
    if (profile < 0 || profile >= kLightingProfileCount) {
        return area;
    }
    for (std::uint8_t index : kButtonIndices) {
        if (index >= keyCount) {
            continue;
        }
        const Rgb c = m_colours[static_cast<std::size_t>(profile)][index];
        const std::size_t at = static_cast<std::size_t>(index) * 3;
        area[at] = c.green;
        area[at + 1] = c.red;
        area[at + 2] = c.blue;
    }
    return area;
}

} // namespace brasslane
