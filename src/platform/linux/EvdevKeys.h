#pragma once

// Linux key codes (the evdev KEY_* numbers of <linux/input-event-codes.h>) and the keyboard's
// ScanCode of the same key. The desktop app catches keys through the window system, whose key
// events carry the evdev code plus 8 as their native scan code under X11 and Wayland.

#include <cstdint>
#include <optional>
#include <span>

namespace brasslane::platform {

struct EvdevKey {
    std::uint16_t evdev;
    std::uint16_t scanCode;
};

// Every key the table knows, in evdev order. Several evdev codes may name one key (the
// keyboards that report My Computer, Mail or Media Player under either of two codes).
std::span<const EvdevKey> EvdevKeyTable();

// The ScanCode of an evdev key code; 0 for a code of no key of the key table.
std::uint16_t EvdevToScanCode(std::uint32_t evdev);

// The ScanCode of a key event's native scan code (X11 and Wayland keycode: evdev + 8); 0 for
// codes below 8 and codes of no key.
std::uint16_t NativeScanCodeToScanCode(std::uint32_t nativeScanCode);

// The first evdev code of a ScanCode (for tests and for synthesising events); nullopt when no
// evdev key names it.
std::optional<std::uint16_t> ScanCodeToEvdev(std::uint16_t scanCode);

} // namespace brasslane::platform
