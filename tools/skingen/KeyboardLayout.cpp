#include "KeyboardLayout.h"

#include "core/resources/SkinKeys.h"

#include <array>

namespace brasslane::skingen {
namespace {

constexpr double kNav = 15.5;    // first column of the navigation block
constexpr double kNumpad = 19.0; // first column of the numpad

// clang-format off
constexpr std::array<KeyCap, 105> kKeys{{
    // Row 0: Esc, F1-F12 in three groups, the print/scroll/pause group.
    {0x01, "Esc", 0, 0, 1},
    {0x3B, "F1", 2, 0, 1}, {0x3C, "F2", 3, 0, 1}, {0x3D, "F3", 4, 0, 1}, {0x3E, "F4", 5, 0, 1},
    {0x3F, "F5", 6.5, 0, 1}, {0x40, "F6", 7.5, 0, 1}, {0x41, "F7", 8.5, 0, 1}, {0x42, "F8", 9.5, 0, 1},
    {0x43, "F9", 11, 0, 1}, {0x44, "F10", 12, 0, 1}, {0x57, "F11", 13, 0, 1}, {0x58, "F12", 14, 0, 1},
    {0x137, "PrtSc", kNav, 0, 1}, {0x46, "ScrLk", kNav + 1, 0, 1}, {0x45, "Pause", kNav + 2, 0, 1},

    // Row 1: number row, Insert/Home/PageUp, NumLock and the numpad operators.
    {0x29, "~\n`", 0, 1, 1},
    {0x02, "!\n1", 1, 1, 1}, {0x03, "@\n2", 2, 1, 1}, {0x04, "#\n3", 3, 1, 1}, {0x05, "$\n4", 4, 1, 1},
    {0x06, "%\n5", 5, 1, 1}, {0x07, "^\n6", 6, 1, 1}, {0x08, "&\n7", 7, 1, 1}, {0x09, "*\n8", 8, 1, 1},
    {0x0A, "(\n9", 9, 1, 1}, {0x0B, ")\n0", 10, 1, 1}, {0x0C, "_\n-", 11, 1, 1}, {0x0D, "+\n=", 12, 1, 1},
    {0x0E, "Backspace", 13, 1, 2},
    {0x152, "Ins", kNav, 1, 1}, {0x147, "Home", kNav + 1, 1, 1}, {0x149, "PgUp", kNav + 2, 1, 1},
    {0x145, "Num", kNumpad, 1, 1}, {0x135, "/", kNumpad + 1, 1, 1}, {0x37, "*", kNumpad + 2, 1, 1},
    {0x4A, "-", kNumpad + 3, 1, 1},

    // Row 2: Tab row, Delete/End/PageDown, Num 7-9 and the tall Num +.
    {0x0F, "Tab", 0, 2, 1.5},
    {0x10, "Q", 1.5, 2, 1}, {0x11, "W", 2.5, 2, 1}, {0x12, "E", 3.5, 2, 1}, {0x13, "R", 4.5, 2, 1},
    {0x14, "T", 5.5, 2, 1}, {0x15, "Y", 6.5, 2, 1}, {0x16, "U", 7.5, 2, 1}, {0x17, "I", 8.5, 2, 1},
    {0x18, "O", 9.5, 2, 1}, {0x19, "P", 10.5, 2, 1}, {0x1A, "{\n[", 11.5, 2, 1}, {0x1B, "}\n]", 12.5, 2, 1},
    {0x2B, "|\n\\", 13.5, 2, 1.5},
    {0x153, "Del", kNav, 2, 1}, {0x14F, "End", kNav + 1, 2, 1}, {0x151, "PgDn", kNav + 2, 2, 1},
    {0x47, "7", kNumpad, 2, 1}, {0x48, "8", kNumpad + 1, 2, 1}, {0x49, "9", kNumpad + 2, 2, 1},
    {0x4E, "+", kNumpad + 3, 2, 1, 2},

    // Row 3: Caps row and Num 4-6.
    {0x3A, "Caps", 0, 3, 1.75},
    {0x1E, "A", 1.75, 3, 1}, {0x1F, "S", 2.75, 3, 1}, {0x20, "D", 3.75, 3, 1}, {0x21, "F", 4.75, 3, 1},
    {0x22, "G", 5.75, 3, 1}, {0x23, "H", 6.75, 3, 1}, {0x24, "J", 7.75, 3, 1}, {0x25, "K", 8.75, 3, 1},
    {0x26, "L", 9.75, 3, 1}, {0x27, ":\n;", 10.75, 3, 1}, {0x28, "\"\n'", 11.75, 3, 1},
    {0x1C, "Enter", 12.75, 3, 2.25},
    {0x4B, "4", kNumpad, 3, 1}, {0x4C, "5", kNumpad + 1, 3, 1}, {0x4D, "6", kNumpad + 2, 3, 1},

    // Row 4: the short ISO left Shift with the extra key, Up, Num 1-3 and the tall Num Enter.
    {0x2A, "Shift", 0, 4, 1.25}, {0x56, ">\n<", 1.25, 4, 1},
    {0x2C, "Z", 2.25, 4, 1}, {0x2D, "X", 3.25, 4, 1}, {0x2E, "C", 4.25, 4, 1}, {0x2F, "V", 5.25, 4, 1},
    {0x30, "B", 6.25, 4, 1}, {0x31, "N", 7.25, 4, 1}, {0x32, "M", 8.25, 4, 1},
    {0x33, "<\n,", 9.25, 4, 1}, {0x34, ">\n.", 10.25, 4, 1}, {0x35, "?\n/", 11.25, 4, 1},
    {0x36, "Shift", 12.25, 4, 2.75},
    {0x148, "\xE2\x86\x91", kNav + 1, 4, 1},
    {0x4F, "1", kNumpad, 4, 1}, {0x50, "2", kNumpad + 1, 4, 1}, {0x51, "3", kNumpad + 2, 4, 1},
    {0x11C, "Enter", kNumpad + 3, 4, 1, 2},

    // Row 5: the bottom row (Fn sits between Right Alt and App), arrows, Num 0 and Num .
    {0x1D, "Ctrl", 0, 5, 1.25}, {0x15B, "Win", 1.25, 5, 1.25}, {0x38, "Alt", 2.5, 5, 1.25},
    {0x39, "", 3.75, 5, 6.25},
    {0x138, "Alt", 10, 5, 1}, {0x15D, "Menu", 12, 5, 1}, {0x15C, "Win", 13, 5, 1}, {0x11D, "Ctrl", 14, 5, 1},
    {0x14B, "\xE2\x86\x90", kNav, 5, 1}, {0x150, "\xE2\x86\x93", kNav + 1, 5, 1},
    {0x14D, "\xE2\x86\x92", kNav + 2, 5, 1},
    {0x52, "0", kNumpad, 5, 2}, {0x53, ".", kNumpad + 2, 5, 1},
}};
// clang-format on

constexpr KeyCap kFn{0, "Fn", 11, 5, 1};

} // namespace

std::span<const KeyCap> KeyboardKeys() {
    return kKeys;
}

const KeyCap& FnKey() {
    return kFn;
}

} // namespace brasslane::skingen
