#pragma once

// Key identity and everything known about a key. Every part of the program names a key by its
// ScanCode: the PC set-1 make code, with 0x100 added for E0-prefixed keys and made-up E0 codes
// for pseudo keys (wheel, mouse buttons, office functions). The 256-row key table, indexed by
// scan index, carries the key's virtual-key code, key id, one-byte HID code and language key.
//
// Pure data and pure functions: no state, no threads, no device access. Only the display-name
// lookups read the language file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brasslane {

class Language;

using ScanCode = std::uint16_t;

constexpr std::size_t kKeyTableRows = 256;
constexpr std::uint16_t kNoKeyId = 0xFFFF;
// Buffer of the callers that show a key name, in characters including the terminator.
constexpr std::size_t kKeyNameBufferChars = 260;

enum class ShiftKind : std::uint8_t {
    kNone = 0,
    kLetter = 1, // a letter: shifted form is the upper case
    kSymbol = 2, // a digit or punctuation key with a shifted symbol
    kKeypad = 3, // a keypad key with a Num Lock-off form
};

// One row of the key table. Empty rows have key id 0xFFFF, HID code 0 and empty texts.
struct KeyRow {
    std::uint8_t keyCode = 0;       // ASCII (lower case) where the key has one, else 0x81..0xF4; not used live
    std::uint8_t virtualKey = 0xFF; // Windows virtual-key code; 0xFF for none
    std::uint16_t keyId = kNoKeyId; // 0x0000..0x006E key list position, 0x8001..0x802D special key
    std::string_view englishLabel;
    ShiftKind shiftKind = ShiftKind::kNone;
    std::uint8_t alternateVirtualKey = 0xFF; // the Num Lock-off code on the keypad, else = virtualKey
    std::uint8_t secondHidByte = 0;          // carried, not used live
    std::uint8_t hidCode = 0;                // see HidPair; 0 = none
    std::string_view alternateLabel;         // shifted or Num Lock-off label
    std::string_view languageKey;            // key of the display name in section TEXT; empty for none

    constexpr bool IsEmpty() const { return keyId == kNoKeyId; }
};

// Scan code -> row of the key table: s below 0x100 is its own index, 0x100..0x1FF land on
// 0x80..0xFF, and codes from 0x200 (only produced by keyboard actions of kind 6) give
// s - 0x100, that is 256 and above: no table row, but the profile-area slot that such a code
// addresses (the G-key slots start at 256).
std::uint16_t ToScanIndex(ScanCode code);
// Scan index -> scan code: the inverse of ToScanIndex (i below 0x80 is itself, 0x80..0xFF are
// E0 codes 0x100..0x17F, 256 and above are codes from 0x200).
ScanCode FromScanIndex(std::uint16_t index);

// The whole table, indexed by scan index.
std::span<const KeyRow, kKeyTableRows> KeyTable();
// The row of a scan code; an empty row for codes without one (0x200 and above included).
const KeyRow& KeyRowOf(ScanCode code);

// Key id of the scan code's row (0xFFFF for an empty row).
std::uint16_t KeyIdOf(ScanCode code);
// Scan code of the first row (in scan-index order) with that key id, 0 when none has it.
ScanCode ScanCodeOfKeyId(std::uint16_t keyId);

// A (usage page, usage) pair: page 7 keyboard, 1 generic desktop, 12 consumer, 2 the private
// mouse page, 0 none.
struct HidPair {
    std::uint16_t page = 0;
    std::uint16_t usage = 0;
    bool operator==(const HidPair&) const = default;
};

constexpr std::uint16_t kPageNone = 0;
constexpr std::uint16_t kPageGenericDesktop = 1;
constexpr std::uint16_t kPageMouse = 2;
constexpr std::uint16_t kPageKeyboard = 7;
constexpr std::uint16_t kPageConsumer = 12;

// The pair of a key's HID code. Consumer keys come out as page 7 with their one-byte code
// 0xC0 + slot; the consumer usage itself is in the media function list.
HidPair ScanCodeToHidPair(ScanCode code);
// The first key whose HID code the pair names, 0 when none.
ScanCode HidPairToScanCode(HidPair pair);

// The 32 consumer usages behind HID codes 0xC0 + slot; slots 18..31 are empty (0).
std::span<const std::uint16_t, 32> ConsumerList();

// The HID keyboard modifier byte: bit 0 Left Ctrl ... bit 7 Right Win. 0 for a key that is not
// one of the eight modifiers.
std::uint8_t ModifierMaskOf(ScanCode code);
// The modifier of the lowest set bit of `mask`; 0 for an empty mask.
ScanCode ModifierScanCode(std::uint8_t mask);

// Virtual-key code -> scan code (0 for virtual keys of no key, mouse buttons and pseudo-key labels).
std::span<const ScanCode, 256> VirtualKeyMap();
ScanCode ScanCodeOfVirtualKey(std::uint8_t virtualKey);

// The key of a keyboard hook event: `virtualKey` and the message's event word (bits 16..23
// hardware scan code, bit 24 extended flag). Right Shift is recognised by its scan field alone;
// an event without a hardware scan code falls back to the virtual-key map.
ScanCode KeyboardEventScanCode(std::uint32_t virtualKey, std::uint32_t eventWord);

// Mouse button messages (0x201/0x202, 0x204/0x205, 0x207/0x208) -> 0x171/0x172/0x173; every other
// message 0.
ScanCode MouseMessageScanCode(std::uint32_t message);
bool IsMouseReleaseMessage(std::uint32_t message);

// Keys whose press the system never reports (Sys Req, KL, KR, Print Screen): a recorder that
// sees their release adds the press itself.
bool IsReleaseOnlyKey(ScanCode code);

// The key's name in the current language: the text of its language key, or "UNKNOWN_KEY" used
// as a format with the scan code when the key has no language key (empty rows, F13, codes from
// 0x200). Cut to bufferChars - 1 characters (code points), like the callers' fixed buffers.
std::string KeyDisplayName(ScanCode code, Language& language, std::size_t bufferChars = kKeyNameBufferChars);
// The text of the language key of the first row with that key id; empty when no row has the id
// or its language key is empty.
std::string KeyIdDisplayName(std::uint16_t keyId, Language& language);

// Skin layout names: "KEY_%03X" with the key's scan index, "FUNC_G%d" for G key 1..9.
std::string KeyLayoutName(ScanCode code);
std::string GKeyLayoutName(int number);

// A key named by a user: its English label or its language key (case ignored, "IDS_KEYBOARD_"
// may be left off), or its scan code as "0x" and hexadecimal digits. Only keys that have a
// table row are found; the first row wins where two share a name.
std::optional<ScanCode> FindKeyByName(std::string_view name);

// One key button of the main window's full-size ISO keyboard picture and its place in the
// keyboard's lighting matrix (row x 21 + column).
struct KeyButton {
    ScanCode scanCode;
    std::uint8_t colourIndex;
};

constexpr std::size_t kKeyButtonCount = 105;

// The 105 key buttons (every key of the lighting matrix except Fn), row by row.
std::span<const KeyButton, kKeyButtonCount> KeyButtons();
std::span<const ScanCode, kKeyButtonCount> KeyButtonScanCodes();

} // namespace brasslane
