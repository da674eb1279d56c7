#include "core/keys/MacroBlob.h"

#include "core/base/Bytes.h"
#include "core/base/UiSink.h"
#include "core/base/Utf8.h"
#include "core/keys/ProfileImage.h"
#include "core/resources/Language.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace brasslane {

namespace {

constexpr std::size_t kEntryHeaderSize = 4;
constexpr std::size_t kEncodedStepSize = 4;
constexpr std::uint16_t kDelayMask = 0x0FFF;
constexpr std::uint16_t kPressBit = 0x8000;
constexpr std::uint32_t kDelayUnitMs = 10;

std::size_t StepCount(const MacroBlock& macro) {
    return std::min(macro.steps.size(), kMaxMacroSteps);
}

// Name units that go to the keyboard: up to a terminator, at most 249.
std::size_t NameUnits(const MacroBlock& macro) {
    const std::size_t end = std::min(macro.name.find(u'\0'), macro.name.size());
    return std::min(end, kMaxMacroNameLength);
}

char16_t FoldCase(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char16_t a, char16_t b) { return FoldCase(a) == FoldCase(b); });
}

std::u16string NumberedName(std::u16string_view prefix, std::size_t number) {
    std::u16string name(prefix);
    for (char c : std::to_string(number)) {
        name.push_back(static_cast<char16_t>(c));
    }
    return name;
}

} // namespace

KeyAction MacroStepAction(ScanCode key) {
    const HidPair pair = ScanCodeToHidPair(key);
    switch (pair.page) {
    case kPageKeyboard:
        if (const std::uint8_t mask = ModifierMaskOf(key); mask != 0) {
            return {2, 1, mask};
        }
        return {2, 2, static_cast<std::uint8_t>(pair.usage)};
    case kPageConsumer:
        return {3, static_cast<std::uint8_t>(pair.usage & 0xFF), static_cast<std::uint8_t>(pair.usage >> 8)};
    case kPageGenericDesktop:
        return {4, static_cast<std::uint8_t>(pair.usage & 0xFF), static_cast<std::uint8_t>(pair.usage >> 8)};
    case kPageMouse:
        switch (pair.usage) {
        case 0xF1:
            return {1, 0x01, 0x01};
        case 0xF2:
            return {1, 0x01, 0x02};
        case 0xF3:
            return {1, 0x01, 0x04};
        case 0xF4:
            return {1, 0x05, 0x01};
        case 0xF5:
            return {1, 0x05, 0xFF};
        default:
            return {1, 0, 0};
        }
    default:
        return {0, 0, 0};
    }
}

EncodedMacroStep EncodeMacroStep(const MacroStep& step) {
    const KeyAction action = MacroStepAction(step.key);
    const std::uint32_t units = std::min<std::uint32_t>(step.delay / kDelayUnitMs, kDelayMask);
    std::uint16_t word = static_cast<std::uint16_t>(units | ((action.kind & 0x7u) << 12));
    if (step.state != 1) {
        word |= kPressBit;
    }
    return {word, action.sub, action.value};
}

MacroStep DecodeMacroStep(const EncodedMacroStep& encoded) {
    MacroStep step;
    step.delay = static_cast<std::uint32_t>(encoded.word & kDelayMask) * kDelayUnitMs;
    step.state = (encoded.word & kPressBit) ? 0 : 1;
    const KeyAction action{static_cast<std::uint8_t>((encoded.word >> 12) & 0x7), encoded.sub, encoded.value};
    step.key = DecodePosition(action);
    return step;
}

MacroBlobSizes MacroBlobSize(std::span<const MacroBlock> macros) {
    MacroBlobSizes sizes;
    sizes.withoutNames = kMacroBlobHeaderSize + 2 * macros.size();
    std::size_t names = 0;
    for (const MacroBlock& macro : macros) {
        sizes.withoutNames += kEntryHeaderSize + kEncodedStepSize * StepCount(macro);
        names += 2 * NameUnits(macro);
    }
    sizes.withNames = sizes.withoutNames + names;
    return sizes;
}

bool BuildMacroBlob(std::span<const MacroBlock> macros, std::span<std::uint8_t> buffer, std::uint16_t length,
                    bool withNames) {
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    const std::size_t required = withNames ? sizes.withNames : sizes.withoutNames;
    if (required > buffer.size() || required > kMaxMacroBlobLength) {
        return false;
    }
    std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(required), std::uint8_t{0});
    WriteU16(buffer, 0, kMacroBlobMagic);
    WriteU16(buffer, 2, length);
    WriteU16(buffer, 4, static_cast<std::uint16_t>(macros.size()));
    WriteU16(buffer, 6, withNames ? 1 : 0);
    std::size_t at = kMacroBlobHeaderSize + 2 * macros.size();
    for (std::size_t i = 0; i < macros.size(); ++i) {
        const MacroBlock& macro = macros[i];
        const std::size_t steps = StepCount(macro);
        const std::size_t nameUnits = withNames ? NameUnits(macro) : 0;
        WriteU16(buffer, kMacroBlobHeaderSize + 2 * i, static_cast<std::uint16_t>(at));
        WriteU16(buffer, at, static_cast<std::uint16_t>(steps));
        WriteU8(buffer, at + 2, macro.repeat);
        WriteU8(buffer, at + 3, static_cast<std::uint8_t>(nameUnits));
        at += kEntryHeaderSize;
        for (std::size_t s = 0; s < steps; ++s) {
            const EncodedMacroStep encoded = EncodeMacroStep(macro.steps[s]);
            WriteU16(buffer, at, encoded.word);
            WriteU8(buffer, at + 2, encoded.sub);
            WriteU8(buffer, at + 3, encoded.value);
            at += kEncodedStepSize;
        }
        for (std::size_t u = 0; u < nameUnits; ++u) {
            WriteU16(buffer, at, static_cast<std::uint16_t>(macro.name[u]));
            at += 2;
        }
    }
    return true;
}

MacroBlobHeader ReadMacroBlobHeader(std::span<const std::uint8_t> blob) {
    MacroBlobHeader header;
    if (blob.size() < kMacroBlobHeaderSize || *ReadU16(blob, 0) != kMacroBlobMagic) {
        return header;
    }
    header.valid = true;
    header.length = *ReadU16(blob, 2);
    header.count = *ReadU16(blob, 4);
    header.withNames = *ReadU16(blob, 6) == 1;
    return header;
}

std::size_t ParseMacroBlob(std::span<const std::uint8_t> blob, std::string_view namePrefix,
                           std::vector<MacroBlock>& macros) {
    macros.clear();
    const MacroBlobHeader header = ReadMacroBlobHeader(blob);
    if (!header.valid) {
        return 0;
    }
    // Nothing past the length the header claims belongs to the blob.
    const std::span<const std::uint8_t> data = blob.first(std::min<std::size_t>(header.length, blob.size()));
    const std::size_t entriesStart = kMacroBlobHeaderSize + 2 * std::size_t{header.count};
    const std::size_t count = std::min<std::size_t>(header.count, kMaxMacros);
    const std::u16string prefix = utf8::ToUtf16(namePrefix);
    for (std::size_t i = 0; i < count; ++i) {
        const auto offset = ReadU16(data, kMacroBlobHeaderSize + 2 * i);
        if (!offset || *offset < entriesStart) {
            break;
        }
        const auto steps = ReadU16(data, *offset);
        const auto repeat = ReadU8(data, *offset + 2);
        const auto nameUnits = ReadU8(data, *offset + 3);
        if (!steps || !repeat || !nameUnits || *steps > kMaxMacroSteps) {
            break;
        }
        const std::size_t stepsStart = *offset + kEntryHeaderSize;
        const std::size_t nameStart = stepsStart + kEncodedStepSize * *steps;
        if (nameStart + 2 * std::size_t{*nameUnits} > data.size()) {
            break;
        }
        MacroBlock macro;
        macro.id = static_cast<std::uint16_t>(i + 1);
        macro.repeat = *repeat;
        macro.newFlag = 0;
        macro.steps.reserve(*steps);
        for (std::size_t s = 0; s < *steps; ++s) {
            const std::size_t at = stepsStart + kEncodedStepSize * s;
            macro.steps.push_back(DecodeMacroStep({*ReadU16(data, at), *ReadU8(data, at + 2), *ReadU8(data, at + 3)}));
        }
        for (std::size_t u = 0; u < *nameUnits && u < kMaxMacroNameLength; ++u) {
            const std::uint16_t unit = *ReadU16(data, nameStart + 2 * u);
            if (unit == 0) {
                break;
            }
            macro.name.push_back(static_cast<char16_t>(unit));
        }
        if (macro.name.empty()) {
            macro.name = NumberedName(prefix, i + 1);
        }
        macros.push_back(std::move(macro));
    }
    return macros.size();
}

std::uint16_t AllocateMacroId(std::span<const MacroBlock> macros) {
    for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
        if (FindMacro(macros, id) == nullptr) {
            return id;
        }
    }
    return 0;
}

std::size_t MacroPosition(std::span<const MacroBlock> macros, std::uint32_t id) {
    for (std::size_t i = 0; i < macros.size(); ++i) {
        if (macros[i].id == id) {
            return i;
        }
    }
    return 0;
}

const MacroBlock* FindMacro(std::span<const MacroBlock> macros, std::uint32_t id) {
    for (const MacroBlock& macro : macros) {
        if (macro.id == id) {
            return &macro;
        }
    }
    return nullptr;
}

std::vector<std::size_t> ReconcileMacros(WorkingImage& working, std::vector<MacroBlock> newList) {
    std::lock_guard lock(working.lock);
    std::vector<std::size_t> fellBack;
    ProfileImage& image = working.image;
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        KeyEntry entry = image.Entry(record);
        if (entry.Type() != AssignmentType::kMacro) {
            continue;
        }
        if (entry.param != 0) {
            // A macro created in the open dialog that took a freed id is not the macro the
            // key was given.
            const MacroBlock* macro = FindMacro(newList, entry.param);
            if (macro == nullptr || macro->newFlag == 1) {
                entry.type = static_cast<std::uint16_t>(AssignmentType::kDefault);
                image.SetEntry(record, entry);
                fellBack.push_back(record);
            }
        } else if (!newList.empty()) {
            entry.param = newList.front().id;
            image.SetEntry(record, entry);
        }
    }
    for (MacroBlock& macro : newList) {
        macro.newFlag = 0;
    }
    image.macros = std::move(newList);
    return fellBack;
}

bool MayDeleteMacro(WorkingImage& working, const MacroBlock& macro, UiSink& ui, Language& language) {
    if (macro.newFlag == 1) {
        return true;
    }
    bool used = false;
    {
        std::lock_guard lock(working.lock);
        for (std::size_t record = 0; record < kKeyEntryCount && !used; ++record) {
            const KeyEntry entry = working.image.Entry(record);
            used = entry.Type() == AssignmentType::kMacro && entry.param == macro.id;
        }
    }
    if (!used) {
        return true;
    }
    // Keys of every profile may play it, so the next write sends all three key maps.
    working.allProfilesRequest.store(true);
    // The question is asked without the working lock: the box runs its own message loop.
    return ui.ShowMessage(language.Text("MACRO_DELETE_CONFIRM_OF_KEYS"), "", MessageButtons::kYesNo) ==
           MessageAnswer::kYes;
}

bool IsMacroNameTaken(std::span<const MacroBlock> macros, std::u16string_view name) {
    return std::any_of(macros.begin(), macros.end(),
                       [name](const MacroBlock& macro) { return StartsWithIgnoringCase(macro.name, name); });
}

MacroNamer::MacroNamer(Wait wait) : m_wait(std::move(wait)) {
    if (!m_wait) {
        m_wait = [](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); };
    }
}

std::u16string MacroNamer::NextName(std::span<const MacroBlock> macros, std::u16string_view prefix) {
    if (macros.empty()) {
        m_counter = 1;
    }
    // Each existing name blocks only the few numbers that are its beginnings, so at most a few
    // hundred values are ever skipped; the bound only guards against a wrapped counter.
    constexpr int kMaxTries = 100000;
    std::u16string name;
    for (int tries = 0; tries < kMaxTries; ++tries) {
        name = NumberedName(prefix, static_cast<std::size_t>(m_counter));
        ++m_counter;
        if (!IsMacroNameTaken(macros, name)) {
            break;
        }
        m_wait(std::chrono::milliseconds(16));
    }
    return name;
}

} // namespace brasslane
