#pragma once

// The keyboard picture of the main window: every key button with its scan code, legend and
// place in key units. Plain data without Qt so that the skin tests can check the generated
// layout against the same list of keys.

#include <cstdint>
#include <span>
#include <string>

namespace brasslane::skingen {

struct KeyCap {
    std::uint16_t scanCode; // set-1 make code, 0x100 added for E0-prefixed keys
    const char* legend;     // main legend; "\n" separates a shifted legend (top) from the base one
    double x;               // left edge in key units from the left edge of the main block
    int row;                // 0 = function row .. 5 = bottom row
    double width;           // in key units
    double height = 1.0;    // 2 for the tall numpad keys
};

// The 105 key buttons of the full-size ISO keyboard with its numpad, in row order.
std::span<const KeyCap> KeyboardKeys();

// The Fn key, which has its own layout key instead of a scan code.
const KeyCap& FnKey();

// Height of the key grid in key units: the function row sits half a unit above row 1. The main
// block is 15 units wide; the navigation block and the numpad follow after a half-unit gap each.
constexpr double kKeyboardUnitsHigh = 6.5;

} // namespace brasslane::skingen
