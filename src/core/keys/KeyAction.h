#pragma once

// The 3-byte action the keyboard stores per key position (kind, sub, value), the built-in
// default key map, and the conversion between a profile area's KeyEntry records and a key map.

#include "core/keys/KeyEntry.h"
#include "core/keys/KeyTable.h"
#include "core/keys/MacroBlock.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brasslane {

class Language;
struct ProfileImage;

constexpr std::size_t kKeyActionSize = 3;
// Key-map buffers are this large whatever the model; bytes past the block size are zero.
constexpr std::size_t kKeyMapBufferSize = 512;
constexpr std::size_t kBuiltInKeyPositions = 126;

// Kinds of KeyAction.
enum class ActionKind : std::uint8_t {
    kNothing = 0,
    kMouse = 1,          // sub 1: button mask 01/02/04; sub 5: wheel 01 up, FF down
    kKeyboard = 2,       // sub 1: modifier mask; sub 2: HID keyboard code
    kConsumer = 3,       // sub/value: 16-bit consumer usage, little-endian
    kGenericDesktop = 4, // sub/value: 16-bit generic-desktop usage, little-endian
    kMacro = 5,          // sub 1: play macro at list position value; sub 2: stop; sub 5: function value
    kNamedKey = 6,       // sub 0xA2: the key with scan code 0x1FF + value
};

struct KeyAction {
    std::uint8_t kind = 0;
    std::uint8_t sub = 0;
    std::uint8_t value = 0;

    bool operator==(const KeyAction&) const = default;

    // Reads position `position` of a key map; 00 00 00 past the end of `map`.
    static KeyAction At(std::span<const std::uint8_t> map, std::size_t position);
    // Writes position `position`; false (nothing written) past the end of `map`.
    bool Put(std::span<std::uint8_t> map, std::size_t position) const;
};

// The keyboard's factory key map as built into the program: used until a keyboard's own
// default map has been read, and when reading it failed.
std::span<const KeyAction, kBuiltInKeyPositions> BuiltInDefaultMatrix();
// The same as a key-map buffer: 126 positions (378 bytes), zeros after them.
std::array<std::uint8_t, kKeyMapBufferSize> BuiltInDefaultKeyMap();

// Which key a default-map position holds; 0 for positions that are never remapped (kinds 0 and
// 5, unknown codes). Codes from 0x200 come from kind-6 positions.
ScanCode DecodePosition(KeyAction defaultAction);

// The action of one key position for `entry`. `macros` is the macro list whose positions the
// keyboard's macro numbers refer to.
KeyAction EncodeKeyEntry(const KeyEntry& entry, KeyAction defaultAction, std::span<const MacroBlock> macros);

// One profile's key map: `defaultMap` with every remappable position among the first
// `keyCount` replaced by the encoding of its key's record in area `area` (0..3) of `image`.
// `keyCount` is capped by the buffer; an image without a whole key block leaves the default.
std::array<std::uint8_t, kKeyMapBufferSize> EncodeKeyMap(std::span<const std::uint8_t, kKeyMapBufferSize> defaultMap,
                                                         std::size_t keyCount, const ProfileImage& image,
                                                         std::size_t area, std::span<const MacroBlock> macros);

// The record read-back gives a position whose action differs from its default. Positions equal
// to their default stay type 0 and are not passed here.
KeyEntry DecodeKeyAction(KeyAction action);

// Read-back of a whole key map into profile area `area` (0..3) of `image`: every record of the
// area is cleared, the G-key slots get their G codes, and every remappable position whose
// action differs from the default gets its record. `keyCount` positions are looked at (capped
// by both maps' sizes).
void DecodeKeyMap(std::span<const std::uint8_t> keyMap, std::span<const std::uint8_t> defaultMap, std::size_t keyCount,
                  ProfileImage& image, std::size_t area);

// Fills the G-key slots of `area` with the G codes (G1..G9 of banks A and B) and nothing else.
void SetGKeyCodes(ProfileImage& image, std::size_t area);

// A multimedia function (param of a type-7 entry): its name key, the key it stands for and the
// consumer usage sent to the keyboard.
struct MediaFunction {
    std::string_view nameKey;
    ScanCode scanCode;
    std::uint16_t usage;
};
constexpr std::size_t kMediaFunctionCount = 18;
std::span<const MediaFunction, kMediaFunctionCount> MediaFunctionList();
// Index of the function with that usage, or -1.
int MediaFunctionIndexOfUsage(std::uint16_t usage);

// Keyboard functions (param of a type-8 entry): language keys "FUNC_KEY_DESC1".."FUNC_KEY_DESC11".
constexpr std::size_t kSystemFunctionCount = 11;
std::span<const std::string_view, kSystemFunctionCount> SystemFunctionList();

// The tooltip of a key button: the key's name, then for an assigned key "KEY_PROMPT_SET" and
// what it is assigned to. `macros` is the working macro list.
std::string KeyCaption(ScanCode code, const KeyEntry& entry, std::span<const MacroBlock> macros, Language& language);
// The same for G key `number` (1..9), named "G1".."G9".
std::string GKeyCaption(int number, const KeyEntry& entry, std::span<const MacroBlock> macros, Language& language);

} // namespace brasslane
