#include "core/lighting/KeyColourTable.h"

#include <algorithm>

namespace brasslane {

namespace {

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
    return MatrixPlaceOf(scanCode);
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
