#include "core/keys/KeyNames.h"

#include "core/base/Keyboard.h"
#include "core/base/Strings.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/KeyTable.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>

namespace brasslane {

namespace {

constexpr std::size_t kGSlotsPerBank = kGKeysPerBank;

constexpr std::string_view kLanguageKeyPrefix = "IDS_KEYBOARD_";

// Case and spaces do not count when a name is read.
std::string Normal(std::string_view text) {
    std::string normal;
    for (const char c : text) {
        if (c != ' ' && c != '\t') {
            normal.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return normal;
}

bool IsPlainAscii(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F;
    });
}

std::string WithoutSpaces(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ') {
            out.push_back(c);
        }
    }
    return out;
}

std::string HexName(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", static_cast<unsigned>(code));
    return text;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X') || text.size() > 10) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const char* begin = text.data() + 2;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(begin, end, value, 16);
    if (ec != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::size_t> ParseDecimal(std::string_view text) {
    std::size_t value = 0;
    const auto [stop, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || stop != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct NameTable {
    std::vector<NamedKey> keys;
    std::map<std::string, std::uint16_t> byNormalName;
    std::map<std::uint16_t, std::string> byScanIndex;
};

const NameTable& Names() {
    static const NameTable table = [] {
        NameTable built;
        const auto rows = KeyTable();
        for (std::uint16_t index = 0; index < kKeyTableRows; ++index) {
            const KeyRow& row = rows[index];
            if (row.IsEmpty()) {
                continue;
            }
            const ScanCode code = FromScanIndex(index);
            std::string name;
            if (IsPlainAscii(WithoutSpaces(row.englishLabel))) {
                name = WithoutSpaces(row.englishLabel);
            } else if (row.languageKey.starts_with(kLanguageKeyPrefix) &&
                       IsPlainAscii(row.languageKey.substr(kLanguageKeyPrefix.size()))) {
                name = std::string(row.languageKey.substr(kLanguageKeyPrefix.size()));
            }
            // A second key with the same label (Right Shift has two scan codes) is named by its code.
            if (name.empty() || built.byNormalName.contains(Normal(name))) {
                name = HexName(code);
            } else {
                built.byNormalName.emplace(Normal(name), code);
            }
            built.byScanIndex.emplace(index, name);
            built.keys.push_back(NamedKey{name, code});
        }
        return built;
    }();
    return table;
}

} // namespace

const std::vector<NamedKey>& NamedKeys() {
    return Names().keys;
}

std::string ScanCodeName(std::uint32_t code) {
    if (code <= 0xFFFF) {
        const std::uint16_t index = ToScanIndex(static_cast<ScanCode>(code));
        if (FromScanIndex(index) == code) {
            const auto found = Names().byScanIndex.find(index);
            if (found != Names().byScanIndex.end()) {
                return found->second;
            }
        }
    }
    return HexName(code);
}

std::optional<std::uint32_t> ParseScanCode(std::string_view text, std::uint32_t maxCode) {
    text = Trim(text);
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::optional<std::uint32_t> value = ParseHex(text);
        if (!value || *value > maxCode) {
            return std::nullopt;
        }
        return value;
    }
    const auto found = Names().byNormalName.find(Normal(text));
    if (found != Names().byNormalName.end()) {
        return found->second;
    }
    if (const std::optional<ScanCode> code = FindKeyByName(text)) {
        return *code;
    }
    return std::nullopt;
}

std::string SlotName(std::size_t slot) {
    if (slot < kGSlotBankA) {
        return ScanCodeName(FromScanIndex(static_cast<std::uint16_t>(slot)));
    }
    if (slot < kGSlotBankB) {
        return "G" + std::to_string(slot - kGSlotBankA + 1);
    }
    if (slot < kGSlotBankB + kGSlotsPerBank) {
        return "G" + std::to_string(slot - kGSlotBankB + 1) + "B";
    }
    return "slot" + std::to_string(slot);
}

std::optional<std::size_t> ParseSlotName(std::string_view text) {
    const std::string normal = Normal(text);
    if ((normal.size() == 2 || (normal.size() == 3 && normal[2] == 'b')) && normal[0] == 'g' && normal[1] >= '1' &&
        normal[1] <= '9') {
        const std::size_t bank = normal.size() == 3 ? kGSlotBankB : kGSlotBankA;
        return bank + static_cast<std::size_t>(normal[1] - '1');
    }
    if (normal.starts_with("slot")) {
        const std::optional<std::size_t> slot = ParseDecimal(std::string_view(normal).substr(4));
        if (slot && *slot < kAreaSlots) {
            return slot;
        }
        return std::nullopt;
    }
    const std::optional<std::uint32_t> code = ParseScanCode(text);
    if (!code) {
        return std::nullopt;
    }
    const std::uint16_t index = ToScanIndex(static_cast<ScanCode>(*code));
    // Codes 0x180..0x1FF share a scan index with 0x00..0x7F; only the code the slot is named
    // after reaches it.
    if (index >= kGSlotBankA || FromScanIndex(index) != *code) {
        return std::nullopt;
    }
    return index;
}

} // namespace brasslane
