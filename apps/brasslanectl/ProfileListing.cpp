#include "ProfileListing.h"

#include "core/base/Keyboard.h"
#include "core/keys/KeyAction.h"
#include "core/keys/KeyNames.h"
#include "core/keys/MacroBlob.h"
#include "core/resources/Language.h"
#include "core/base/Utf8.h"

#include <cstdio>
#include <sstream>

namespace brasslane::cli {

namespace {

constexpr std::size_t kGSlotsPerBank = kGKeysPerBank;

constexpr std::size_t kKeyboardProfiles = 3;
constexpr std::size_t kNameColumn = 14;

// Shown between quotes; an unpaired surrogate shows as U+FFFD.
std::string Quoted(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return "\"" + utf8::FromUtf16(bytes, false) + "\"";
}

bool IsGSlot(std::size_t slot) {
    return slot >= kGSlotBankA && slot < kGSlotBankB + kGSlotsPerBank;
}

std::uint16_t GCodeOf(std::size_t slot) {
    return slot < kGSlotBankB ? static_cast<std::uint16_t>(kGCodeBankA + slot - kGSlotBankA + 1)
                              : static_cast<std::uint16_t>(kGCodeBankB + slot - kGSlotBankB + 1);
}

std::string Describe(const KeyEntry& entry, const std::u16string& text, std::span<const MacroBlock> macros,
                     Language& language) {
    switch (entry.Type()) {
    case AssignmentType::kDefault:
        return "default";
    case AssignmentType::kDisabled:
        return "disabled";
    case AssignmentType::kKey:
        return "key " + ScanCodeName(entry.param);
    case AssignmentType::kProgram:
        return "program " + Quoted(text);
    case AssignmentType::kMacro: {
        std::string description = "macro " + std::to_string(entry.param);
        if (const MacroBlock* macro = FindMacro(macros, entry.param)) {
            description += " " + Quoted(macro->name);
        } else {
            description += " (no such macro)";
        }
        if (entry.extra != 0) {
            description += ", repeat " + std::to_string(entry.extra);
        }
        return description;
    }
    case AssignmentType::kStopMacro:
        return "stop macro";
    case AssignmentType::kText:
        return "text " + Quoted(text);
    case AssignmentType::kMedia:
        if (entry.param < kMediaFunctionCount) {
            return "media " + std::to_string(entry.param) + ": " +
                   std::string(KeyRowOf(MediaFunctionList()[entry.param].scanCode).englishLabel);
        }
        return "media " + std::to_string(entry.param) + " (unknown)";
    case AssignmentType::kFunction:
        if (entry.param < kSystemFunctionCount) {
            return "function " + std::to_string(entry.param) + ": " + language.Text(SystemFunctionList()[entry.param]);
        }
        return "function " + std::to_string(entry.param) + " (unknown)";
    }
    return "type " + std::to_string(entry.type) + " (param " + std::to_string(entry.param) + ")";
}

void ListArea(std::ostringstream& out, const ProfileDocument& document, std::size_t area, Language& language) {
    std::size_t shown = 0;
    for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
        const std::size_t record = RecordIndex(area, slot);
        const KeyEntry entry = document.image.Entry(record);
        const bool plainGSlot = IsGSlot(slot) && (entry.extra == GCodeOf(slot) || entry.extra == 0);
        const bool quiet = entry.type == 0 && entry.param == 0 && entry.selection == 0 && entry.reserved == 0 &&
                           (entry.extra == 0 || plainGSlot);
        if (quiet) {
            continue;
        }
        std::string name = SlotName(slot);
        name.resize(std::max(name.size(), kNameColumn), ' ');
        out << "  " << name << Describe(entry, document.texts.Text(record), document.image.macros, language);
        if (entry.selection != 0) {
            out << " [selected]";
        }
        out << '\n';
        ++shown;
    }
    if (shown == 0) {
        out << "  every key has its default function\n";
    }
}

} // namespace

std::string ProfileListingText(const ProfileDocument& document, Language& language) {
    std::ostringstream out;
    for (std::size_t area = 0; area < kKeyboardProfiles; ++area) {
        out << "Profile " << area + 1 << '\n';
        ListArea(out, document, area, language);
    }
    bool extraUsed = false;
    for (std::size_t slot = 0; slot < kAreaSlots && !extraUsed; ++slot) {
        const KeyEntry entry = document.image.Entry(RecordIndex(3, slot));
        extraUsed = entry.type != 0 || entry.param != 0 || entry.selection != 0 || entry.reserved != 0 ||
                    (entry.extra != 0 && !(IsGSlot(slot) && entry.extra == GCodeOf(slot)));
    }
    if (extraUsed) {
        out << "Fourth key area (no keyboard profile uses it)\n";
        ListArea(out, document, 3, language);
    }

    const auto& macros = document.image.macros;
    out << "Macros: " << macros.size() << '\n';
    for (const MacroBlock& macro : macros) {
        out << "  " << macro.id << " " << Quoted(macro.name) << ", repeat " << int{macro.repeat} << ", "
            << macro.steps.size() << (macro.steps.size() == 1 ? " step" : " steps") << '\n';
        for (std::size_t i = 0; i < macro.steps.size(); ++i) {
            const MacroStep& step = macro.steps[i];
            char line[96];
            std::snprintf(line, sizeof line, "    %4zu  %-14s %-8s %5u ms\n", i + 1, ScanCodeName(step.key).c_str(),
                          step.state == 1 ? "release" : "press", static_cast<unsigned>(step.delay));
            out << line;
        }
    }
    return out.str();
}

} // namespace brasslane::cli
