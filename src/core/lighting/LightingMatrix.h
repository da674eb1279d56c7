#pragma once

// The keyboard's lighting matrix: where each key sits among its 6 x 21 places. A key's place,
// row x 21 + column, is its key colour index. Keys are named by their scan code; the Fn key has
// none and is named by its index. Constant data, usable at compile time, so that every table
// naming lighting places (the key colours, the preview's keys) takes them from here.

#include <array>
#include <cstddef>
#include <cstdint>

namespace brasslane {

constexpr int kMatrixRows = 6;
constexpr int kMatrixColumns = 21;
// The Fn key has no scan code; this is its place in the matrix.
constexpr int kFnColourIndex = 110;
// The macro keys G1..G9 have no place in the matrix; this index stands for them where one is
// needed. It belongs to no key button, so it never carries a colour.
constexpr int kGKeyColourIndex = 125;
// Keys of the matrix with a scan code (Fn, the 106th key with a place, has none).
constexpr std::size_t kMatrixScanCodeKeys = 105;

struct MatrixKey {
    std::uint16_t scanCode;
    std::uint8_t index;
};

constexpr std::uint8_t MatrixPlace(int row, int column) {
    return static_cast<std::uint8_t>(row * kMatrixColumns + column);
}

// Every key of the lighting matrix that has a scan code, by row and column.
inline constexpr std::array<MatrixKey, kMatrixScanCodeKeys> kMatrixKeys{{
    // Row 0: Esc, F1..F12, Print Screen, Scroll Lock, Pause.
    {0x01, MatrixPlace(0, 0)},
    {0x3B, MatrixPlace(0, 1)},
    {0x3C, MatrixPlace(0, 2)},
    {0x3D, MatrixPlace(0, 3)},
    {0x3E, MatrixPlace(0, 4)},
    {0x3F, MatrixPlace(0, 5)},
    {0x40, MatrixPlace(0, 6)},
    {0x41, MatrixPlace(0, 7)},
    {0x42, MatrixPlace(0, 8)},
    {0x43, MatrixPlace(0, 9)},
    {0x44, MatrixPlace(0, 10)},
    {0x57, MatrixPlace(0, 11)},
    {0x58, MatrixPlace(0, 12)},
    {0x137, MatrixPlace(0, 14)},
    {0x46, MatrixPlace(0, 15)},
    {0x45, MatrixPlace(0, 16)},
    // Row 1: `, 1..0, -, =, Backspace, Insert, Home, Page Up, Num Lock, Num /, Num *, Num -.
    {0x29, MatrixPlace(1, 0)},
    {0x02, MatrixPlace(1, 1)},
    {0x03, MatrixPlace(1, 2)},
    {0x04, MatrixPlace(1, 3)},
    {0x05, MatrixPlace(1, 4)},
    {0x06, MatrixPlace(1, 5)},
    {0x07, MatrixPlace(1, 6)},
    {0x08, MatrixPlace(1, 7)},
    {0x09, MatrixPlace(1, 8)},
    {0x0A, MatrixPlace(1, 9)},
    {0x0B, MatrixPlace(1, 10)},
    {0x0C, MatrixPlace(1, 11)},
    {0x0D, MatrixPlace(1, 12)},
    {0x0E, MatrixPlace(1, 13)},
    {0x152, MatrixPlace(1, 14)},
    {0x147, MatrixPlace(1, 15)},
    {0x149, MatrixPlace(1, 16)},
    {0x145, MatrixPlace(1, 17)},
    {0x135, MatrixPlace(1, 18)},
    {0x37, MatrixPlace(1, 19)},
    {0x4A, MatrixPlace(1, 20)},
    // Row 2: Tab, Q..P, [, ], \, Delete, End, Page Down, Num 7, Num 8, Num 9, Num +.
    {0x0F, MatrixPlace(2, 0)},
    {0x10, MatrixPlace(2, 1)},
    {0x11, MatrixPlace(2, 2)},
    {0x12, MatrixPlace(2, 3)},
    {0x13, MatrixPlace(2, 4)},
    {0x14, MatrixPlace(2, 5)},
    {0x15, MatrixPlace(2, 6)},
    {0x16, MatrixPlace(2, 7)},
    {0x17, MatrixPlace(2, 8)},
    {0x18, MatrixPlace(2, 9)},
    {0x19, MatrixPlace(2, 10)},
    {0x1A, MatrixPlace(2, 11)},
    {0x1B, MatrixPlace(2, 12)},
    {0x2B, MatrixPlace(2, 13)},
    {0x153, MatrixPlace(2, 14)},
    {0x14F, MatrixPlace(2, 15)},
    {0x151, MatrixPlace(2, 16)},
    {0x47, MatrixPlace(2, 17)},
    {0x48, MatrixPlace(2, 18)},
    {0x49, MatrixPlace(2, 19)},
    {0x4E, MatrixPlace(2, 20)},
    // Row 3: Caps Lock, A..L, ;, ', Enter, Num 4, Num 5, Num 6.
    {0x3A, MatrixPlace(3, 0)},
    {0x1E, MatrixPlace(3, 1)},
    {0x1F, MatrixPlace(3, 2)},
    {0x20, MatrixPlace(3, 3)},
    {0x21, MatrixPlace(3, 4)},
    {0x22, MatrixPlace(3, 5)},
    {0x23, MatrixPlace(3, 6)},
    {0x24, MatrixPlace(3, 7)},
    {0x25, MatrixPlace(3, 8)},
    {0x26, MatrixPlace(3, 9)},
    {0x27, MatrixPlace(3, 10)},
    {0x28, MatrixPlace(3, 11)},
    {0x1C, MatrixPlace(3, 13)},
    {0x4B, MatrixPlace(3, 17)},
    {0x4C, MatrixPlace(3, 18)},
    {0x4D, MatrixPlace(3, 19)},
    // Row 4: Left Shift, the extra ISO key, Z..M, comma, period, /, Right Shift, Up,
    // Num 1, Num 2, Num 3, Num Enter.
    {0x2A, MatrixPlace(4, 0)},
    {0x56, MatrixPlace(4, 1)},
    {0x2C, MatrixPlace(4, 2)},
    {0x2D, MatrixPlace(4, 3)},
    {0x2E, MatrixPlace(4, 4)},
    {0x2F, MatrixPlace(4, 5)},
    {0x30, MatrixPlace(4, 6)},
    {0x31, MatrixPlace(4, 7)},
    {0x32, MatrixPlace(4, 8)},
    {0x33, MatrixPlace(4, 9)},
    {0x34, MatrixPlace(4, 10)},
    {0x35, MatrixPlace(4, 11)},
    {0x36, MatrixPlace(4, 13)},
    {0x148, MatrixPlace(4, 15)},
    {0x4F, MatrixPlace(4, 17)},
    {0x50, MatrixPlace(4, 18)},
    {0x51, MatrixPlace(4, 19)},
    {0x11C, MatrixPlace(4, 20)},
    // Row 5: Left Ctrl, Left Win, Left Alt, Space, Right Alt, (Fn), App, Right Win, Right Ctrl,
    // Left, Down, Right, Num 0, Num .
    {0x1D, MatrixPlace(5, 0)},
    {0x15B, MatrixPlace(5, 1)},
    {0x38, MatrixPlace(5, 2)},
    {0x39, MatrixPlace(5, 3)},
    {0x138, MatrixPlace(5, 4)},
    {0x15D, MatrixPlace(5, 6)},
    {0x15C, MatrixPlace(5, 7)},
    {0x11D, MatrixPlace(5, 8)},
    {0x14B, MatrixPlace(5, 14)},
    {0x150, MatrixPlace(5, 15)},
    {0x14D, MatrixPlace(5, 16)},
    {0x52, MatrixPlace(5, 18)},
    {0x53, MatrixPlace(5, 19)},
}};

// Right Shift answers to both of its scan codes; the table names it by 0x36.
constexpr std::uint16_t kRightShiftExtended = 0x136;

// The place of the key with this scan code, or -1 when it has none (0 included).
constexpr int MatrixPlaceOf(std::uint16_t scanCode) {
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

} // namespace brasslane
