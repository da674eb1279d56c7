#pragma once

// Which of the keyboard's HID interfaces a logged-in user is given access to, decided from the
// interface's report descriptor alone (the device rule has matched the keyboard's ids already).
// Only the command interface and the consumer-control interface qualify. An interface that
// carries keystrokes never does: with access to it any program of the user could log keys.

#include <cstdint>
#include <span>
#include <string_view>

namespace brasslane {

enum class AccessRole { kNone, kCommand, kConsumer };

// kCommand when a top-level collection is the command interface's (usage page 0xFF1C, usage
// 0x0092), else kConsumer when one is consumer control (0x000C, 0x0001); kNone when neither is,
// when the descriptor does not parse, or when any part of it is a keyboard or keypad (a Generic
// Desktop keyboard or keypad collection, or input fields on the Keyboard/Keypad usage page).
AccessRole AccessRoleOf(std::span<const std::uint8_t> descriptor);

// "command", "consumer" or "none".
std::string_view AccessRoleName(AccessRole role);

} // namespace brasslane
