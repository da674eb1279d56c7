#pragma once

// The canonical text names of keys and profile-area slots: what brasslanectl's commands and
// profile JSON read and write. The key table's own names (KeyTable.h) are for display; these
// are one word each, unique and plain ASCII, so that they can be typed and read back.
//
// Every key of the key table has one canonical name: its English label without spaces ("A",
// "CapsLock", "Num7", "RightCtrl"), or, where that label is not plain ASCII or is taken by an
// earlier key, its language key without "IDS_KEYBOARD_" ("UP", "LEFT"). A key that gets neither
// is named by its scan code, "0x" and three or more upper-case hexadecimal digits ("0x136").
// Reading a name ignores case and spaces and also accepts every name the key table knows
// (English labels such as "Caps Lock", language keys such as "IDS_KEYBOARD_CAPS").
//
// Profile-area slots: 0..255 are named after the key with that scan index, 256..264 are "G1".."G9"
// (bank A), 265..273 "G1B".."G9B" (bank B), and 274..511, which nothing uses, "slot274".."slot511".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

struct NamedKey {
    std::string name;
    std::uint16_t scanCode = 0;
};

// Every key of the key table under its canonical name, in scan-index order.
const std::vector<NamedKey>& NamedKeys();

// The canonical name of scan code `code`, or "0x%03X" for a code without one (codes of no key,
// codes above 0xFFFF included).
std::string ScanCodeName(std::uint32_t code);

// A key given by name or as "0x" and hexadecimal digits (at most `maxCode`). A hexadecimal code
// is taken as it is: it need not name a key of the table.
std::optional<std::uint32_t> ParseScanCode(std::string_view text, std::uint32_t maxCode = 0xFFFF);

// The name of profile-area slot 0..511.
std::string SlotName(std::size_t slot);
// A slot given by its name, by any name of its key, or by the scan code of a key slot (0..255)
// whose scan index is that slot. nullopt for anything else.
std::optional<std::size_t> ParseSlotName(std::string_view text);

} // namespace brasslane
