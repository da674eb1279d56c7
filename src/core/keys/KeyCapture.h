#pragma once

// What the key assignment dialog and the macro recorder do with a key event while they listen
// to the keyboard. Events arrive in the form the keyboard hooks deliver them: a virtual-key
// code with the message's event word (bits 16..23 hardware scan code, bit 24 extended flag,
// bit 30 previous state, bit 31 transition), or, for the keys only the low-level hook sees
// (the two Win keys and App), a key message with its virtual-key code. The platform layer
// synthesises both from its own key events (KeyEventFromScanCode).

#include "core/keys/KeyTable.h"

#include <cstdint>
#include <optional>

namespace brasslane {

// Key messages of the low-level hook.
constexpr std::uint32_t kMessageKeyDown = 0x100;
constexpr std::uint32_t kMessageKeyUp = 0x101;
constexpr std::uint32_t kMessageSysKeyDown = 0x104;
constexpr std::uint32_t kMessageSysKeyUp = 0x105;

constexpr std::uint32_t kVirtualKeyLeftWin = 0x5B;
constexpr std::uint32_t kVirtualKeyRightWin = 0x5C;
constexpr std::uint32_t kVirtualKeyApps = 0x5D;

// Event word bits.
constexpr std::uint32_t kEventExtended = 1U << 24;
constexpr std::uint32_t kEventPreviousState = 1U << 30; // set on an auto-repeated press
constexpr std::uint32_t kEventRelease = 1U << 31;

// Is the event a release (transition bit)? An auto-repeat (a press whose key was already down)?
constexpr bool IsReleaseEvent(std::uint32_t eventWord) {
    return (eventWord & kEventRelease) != 0;
}
constexpr bool IsAutoRepeatEvent(std::uint32_t eventWord) {
    return !IsReleaseEvent(eventWord) && (eventWord & kEventPreviousState) != 0;
}

// Low-level key messages: a down message is a press, any other key message a release.
constexpr bool IsKeyDownMessage(std::uint32_t message) {
    return message == kMessageKeyDown || message == kMessageSysKeyDown;
}
constexpr bool IsKeyMessage(std::uint32_t message) {
    return IsKeyDownMessage(message) || message == kMessageKeyUp || message == kMessageSysKeyUp;
}

// The 18 keys of the multimedia function list: the dialog and the recorder let them through
// (the multimedia page is the way to assign them).
bool IsMediaKey(ScanCode code);

enum class HookVerdict {
    kPassOn,  // the event goes on to the window that has the focus
    kSwallow, // the event is used up
};

struct CaptureResult {
    HookVerdict verdict = HookVerdict::kPassOn;
    std::optional<ScanCode> captured; // the key that becomes the single-key target
};

// The single-key page's keyboard hook. Keys without a scan code and media keys pass on; every
// other event is swallowed, and a fresh press (not a release, not an auto-repeat) becomes the
// captured key while the keyboard choice is checked. Print Screen, of which the system reports
// only the release, is captured on any of its events.
CaptureResult CaptureKeyEvent(std::uint32_t virtualKey, std::uint32_t eventWord, bool keyboardChoice);

// The single-key page's low-level hook: down and up messages of the two Win keys and App are
// swallowed and captured (0x15B, 0x15C, 0x15D) whatever the choice; everything else passes on.
CaptureResult CaptureLowLevelEvent(std::uint32_t message, std::uint32_t virtualKey);

// A platform key event in the hooks' terms. The low-level hook sees every key event first; an
// event it passes on goes on to the thread hook, as on the system the hooks come from.
struct SynthesisedKeyEvent {
    std::uint32_t message = 0;    // for the low-level hook: kMessageKeyDown or kMessageKeyUp
    std::uint32_t virtualKey = 0; // for both hooks
    std::uint32_t eventWord = 0;  // for the thread hook
};

// The event the hooks would have seen for a press or release of `code`: the key's virtual-key
// code from the key table and an event word carrying its scan code, extended flag, previous
// state (for an auto-repeat and a release) and transition. Fed back through
// KeyboardEventScanCode it gives `code` again for every key of the table.
SynthesisedKeyEvent KeyEventFromScanCode(ScanCode code, bool release, bool autoRepeat);

} // namespace brasslane
