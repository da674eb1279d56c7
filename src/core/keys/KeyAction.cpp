#include "core/keys/KeyAction.h"

#include "core/keys/MacroBlob.h"
#include "core/base/Keyboard.h"
#include "core/base/Utf8.h"
#include "core/keys/ProfileImage.h"
#include "core/resources/Language.h"

#include <algorithm>

namespace brasslane {

namespace {

// The factory key map of the 126-key keyboard: which key sits at which position. Kind-5 and
// 00 00 00 positions are never remapped.
constexpr KeyAction kBuiltInMatrix[kBuiltInKeyPositions] = {
    {0x05, 0x00, 0x00}, {0x05, 0x00, 0x00}, {0x05, 0x00, 0x00}, {0x05, 0x00, 0x00}, {0x05, 0x00, 0x00},
    {0x05, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x29}, {0x02, 0x02, 0x35},
    {0x02, 0x02, 0x2B}, {0x02, 0x02, 0x39}, {0x02, 0x01, 0x02}, {0x02, 0x01, 0x01}, {0x00, 0x00, 0x00},
    {0x00, 0x00, 0x00}, {0x02, 0x02, 0x3A}, {0x02, 0x02, 0x1E}, {0x02, 0x02, 0x14}, {0x02, 0x02, 0x04},
    {0x02, 0x02, 0x1D}, {0x02, 0x01, 0x08}, {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x3B},
    {0x02, 0x02, 0x1F}, {0x02, 0x02, 0x1A}, {0x02, 0x02, 0x16}, {0x02, 0x02, 0x1B}, {0x02, 0x01, 0x04},
    {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x3C}, {0x02, 0x02, 0x20}, {0x02, 0x02, 0x08},
    {0x02, 0x02, 0x07}, {0x02, 0x02, 0x06}, {0x02, 0x02, 0x2C}, {0x02, 0x02, 0x46}, {0x00, 0x00, 0x00},
    {0x02, 0x02, 0x3D}, {0x02, 0x02, 0x21}, {0x02, 0x02, 0x15}, {0x02, 0x02, 0x09}, {0x02, 0x02, 0x19},
    {0x02, 0x01, 0x40}, {0x02, 0x02, 0x47}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x3E}, {0x02, 0x02, 0x22},
    {0x02, 0x02, 0x17}, {0x02, 0x02, 0x0A}, {0x02, 0x02, 0x05}, {0x05, 0x02, 0x02}, {0x02, 0x02, 0x2E},
    {0x00, 0x00, 0x00}, {0x02, 0x02, 0x3F}, {0x02, 0x02, 0x23}, {0x02, 0x02, 0x1C}, {0x02, 0x02, 0x0B},
    {0x02, 0x02, 0x11}, {0x02, 0x02, 0x65}, {0x02, 0x02, 0x48}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x40},
    {0x02, 0x02, 0x24}, {0x02, 0x02, 0x18}, {0x02, 0x02, 0x0D}, {0x02, 0x02, 0x10}, {0x02, 0x01, 0x10},
    {0x02, 0x02, 0x49}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x41}, {0x02, 0x02, 0x25}, {0x02, 0x02, 0x0C},
    {0x02, 0x02, 0x0E}, {0x02, 0x02, 0x36}, {0x02, 0x02, 0x50}, {0x02, 0x02, 0x4A}, {0x00, 0x00, 0x00},
    {0x02, 0x02, 0x42}, {0x02, 0x02, 0x26}, {0x02, 0x02, 0x12}, {0x02, 0x02, 0x0F}, {0x02, 0x02, 0x37},
    {0x02, 0x02, 0x51}, {0x02, 0x02, 0x4B}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x43}, {0x02, 0x02, 0x27},
    {0x02, 0x02, 0x13}, {0x02, 0x02, 0x33}, {0x02, 0x02, 0x38}, {0x02, 0x02, 0x52}, {0x02, 0x02, 0x4C},
    {0x00, 0x00, 0x00}, {0x02, 0x02, 0x44}, {0x02, 0x02, 0x2D}, {0x02, 0x02, 0x2F}, {0x02, 0x02, 0x34},
    {0x02, 0x01, 0x20}, {0x02, 0x02, 0x4F}, {0x02, 0x02, 0x4D}, {0x00, 0x00, 0x00}, {0x02, 0x02, 0x45},
    {0x02, 0x02, 0x2E}, {0x02, 0x02, 0x30}, {0x02, 0x02, 0x31}, {0x02, 0x02, 0x28}, {0x02, 0x02, 0x2A},
    {0x02, 0x02, 0x4E}, {0x00, 0x00, 0x00}, {0x03, 0xB6, 0x00}, {0x02, 0x02, 0x53}, {0x02, 0x02, 0x5F},
    {0x02, 0x02, 0x5C}, {0x02, 0x02, 0x59}, {0x02, 0x02, 0x62}, {0x02, 0x02, 0x56}, {0x00, 0x00, 0x00},
    {0x03, 0xCD, 0x00}, {0x02, 0x02, 0x54}, {0x02, 0x02, 0x60}, {0x02, 0x02, 0x5D}, {0x02, 0x02, 0x5A},
    {0x02, 0x02, 0x63},
};

constexpr MediaFunction kMediaFunctions[kMediaFunctionCount] = {
    {"MEDIA_PALYER_1", 0x16D, 0x0183},       {"MEDIA_PALY_PAUSE_2", 0x122, 0x00CD},
    {"MEDIA_STOP_PALY_3", 0x124, 0x00B7},    {"MEDIA_PREV_TRACK_4", 0x110, 0x00B6},
    {"MEDIA_Next_TRACK_5", 0x119, 0x00B5},   {"MEDIA_V_LOW_6", 0x12E, 0x00EA},
    {"MEDIA_V_ADD_7", 0x130, 0x00E9},        {"MEDIA_MUTE_8", 0x120, 0x00E2},
    {"MEDIA_WWW_HOME_9", 0x132, 0x0223},     {"MEDIA_WWW_REFRESH_10", 0x167, 0x0227},
    {"MEDIA_WWW_STOP_11", 0x168, 0x0226},    {"MEDIA_WWW_BACK_12", 0x16A, 0x0224},
    {"MEDIA_WWW_FORWARD_13", 0x169, 0x0225}, {"MEDIA_WWW_FAVORITE_14", 0x166, 0x022A},
    {"MEDIA_WWW_SEARCH_15", 0x165, 0x0221},  {"MEDIA_MY_PC_16", 0x16B, 0x0194},
    {"MEDIA_CALC_17", 0x121, 0x0192},        {"MEDIA_MAIL_18", 0x16C, 0x018A},
};

constexpr std::string_view kSystemFunctions[kSystemFunctionCount] = {
    "FUNC_KEY_DESC1", "FUNC_KEY_DESC2", "FUNC_KEY_DESC3", "FUNC_KEY_DESC4",  "FUNC_KEY_DESC5",  "FUNC_KEY_DESC6",
    "FUNC_KEY_DESC7", "FUNC_KEY_DESC8", "FUNC_KEY_DESC9", "FUNC_KEY_DESC10", "FUNC_KEY_DESC11",
};

// The action that makes a key act as key `target`: modifiers by their mask bit, mouse buttons
// and wheel steps on the mouse kind, every other key by its one-byte HID code.
KeyAction TargetKeyAction(ScanCode target) {
    if (const std::uint8_t mask = ModifierMaskOf(target); mask != 0) {
        return {2, 1, mask};
    }
    switch (target) {
    case 0x171:
        return {1, 1, 0x01};
    case 0x172:
        return {1, 1, 0x02};
    case 0x173:
        return {1, 1, 0x04};
    case 0x161:
        return {1, 5, 0x01};
    case 0x162:
        return {1, 5, 0xFF};
    default:
        break;
    }
    const HidPair pair = ScanCodeToHidPair(target);
    return {2, 2, pair.page == kPageKeyboard ? static_cast<std::uint8_t>(pair.usage) : std::uint8_t{0}};
}

std::string AssignmentText(const KeyEntry& entry, std::span<const MacroBlock> macros, Language& language) {
    std::string text = language.Text("KEY_PROMPT_SET");
    switch (entry.Type()) {
    case AssignmentType::kKey:
        text += language.Text("KEY_PROMPT_SINGLE");
        // A param beyond 16 bits names no key.
        text += KeyDisplayName(entry.param <= 0xFFFF ? static_cast<ScanCode>(entry.param) : ScanCode{0}, language);
        text += ")";
        break;
    case AssignmentType::kMacro: {
        text += language.Text("KEY_PROMPT_MACRO");
        if (const MacroBlock* macro = FindMacro(macros, entry.param)) {
            text += utf8::FromUtf16(macro->name);
        }
        text += ")";
        break;
    }
    case AssignmentType::kMedia:
        text += language.Text("KEY_PROMPT_MEDIA");
        if (entry.param < kMediaFunctionCount) {
            text += KeyDisplayName(kMediaFunctions[entry.param].scanCode, language);
        }
        text += ")";
        break;
    case AssignmentType::kFunction:
        text += language.Text("KEY_PROMPT_FUNCTION");
        if (entry.param < kSystemFunctionCount) {
            text += language.Text(kSystemFunctions[entry.param]);
        }
        text += ")";
        break;
    default:
        break;
    }
    return text;
}

} // namespace

KeyAction KeyAction::At(std::span<const std::uint8_t> map, std::size_t position) {
    const std::size_t at = position * kKeyActionSize;
    if (at > map.size() || map.size() - at < kKeyActionSize) {
        return {};
    }
    return {map[at], map[at + 1], map[at + 2]};
}

bool KeyAction::Put(std::span<std::uint8_t> map, std::size_t position) const {
    const std::size_t at = position * kKeyActionSize;
    if (at > map.size() || map.size() - at < kKeyActionSize) {
        return false;
    }
    map[at] = kind;
    map[at + 1] = sub;
    map[at + 2] = value;
    return true;
}

std::span<const KeyAction, kBuiltInKeyPositions> BuiltInDefaultMatrix() {
    return kBuiltInMatrix;
}

std::array<std::uint8_t, kKeyMapBufferSize> BuiltInDefaultKeyMap() {
    std::array<std::uint8_t, kKeyMapBufferSize> map{};
    for (std::size_t i = 0; i < kBuiltInKeyPositions; ++i) {
        kBuiltInMatrix[i].Put(map, i);
    }
    return map;
}

ScanCode DecodePosition(KeyAction action) {
    switch (static_cast<ActionKind>(action.kind)) {
    case ActionKind::kMouse:
        if (action.sub == 1) {
            switch (action.value) {
            case 0x01:
                return 0x171;
            case 0x02:
                return 0x172;
            case 0x04:
                return 0x173;
            default:
                return 0;
            }
        }
        if (action.sub == 5) {
            return action.value == 0x01 ? ScanCode{0x161} : action.value == 0xFF ? ScanCode{0x162} : ScanCode{0};
        }
        return 0;
    case ActionKind::kKeyboard:
        if (action.sub == 2) {
            return HidPairToScanCode({kPageKeyboard, action.value});
        }
        return ModifierScanCode(action.value);
    case ActionKind::kConsumer:
        return HidPairToScanCode({kPageConsumer, static_cast<std::uint16_t>(action.sub | (action.value << 8))});
    case ActionKind::kGenericDesktop:
        return HidPairToScanCode({kPageGenericDesktop, static_cast<std::uint16_t>(action.sub | (action.value << 8))});
    case ActionKind::kNamedKey:
        return action.sub == 0xA2 ? static_cast<ScanCode>(0x1FF + action.value) : ScanCode{0};
    default:
        return 0;
    }
}

KeyAction EncodeKeyEntry(const KeyEntry& entry, KeyAction defaultAction, std::span<const MacroBlock> macros) {
    switch (entry.Type()) {
    case AssignmentType::kDisabled:
    case AssignmentType::kText:
        return {0, 0, 0};
    case AssignmentType::kKey:
        // A param beyond 16 bits names no key: the key gets the "no code" action.
        return TargetKeyAction(entry.param <= 0xFFFF ? static_cast<ScanCode>(entry.param) : ScanCode{0});
    case AssignmentType::kMacro: {
        // Lists hold at most 100 macros, so the position fits the value byte.
        const std::size_t position = MacroPosition(macros, entry.param);
        return {5, 1, static_cast<std::uint8_t>(position <= 0xFF ? position : 0)};
    }
    case AssignmentType::kStopMacro:
        return {5, 2, 0};
    case AssignmentType::kMedia:
        // An index past the list (a damaged profile file) keeps the key's own function.
        if (entry.param >= kMediaFunctionCount) {
            return defaultAction;
        }
        return {3, static_cast<std::uint8_t>(kMediaFunctions[entry.param].usage & 0xFF),
                static_cast<std::uint8_t>(kMediaFunctions[entry.param].usage >> 8)};
    case AssignmentType::kFunction:
        return {5, 5, static_cast<std::uint8_t>(entry.param & 0xFF)};
    case AssignmentType::kDefault:
    case AssignmentType::kProgram:
    default:
        return defaultAction;
    }
}

std::array<std::uint8_t, kKeyMapBufferSize> EncodeKeyMap(std::span<const std::uint8_t, kKeyMapBufferSize> defaultMap,
                                                         std::size_t keyCount, const ProfileImage& image,
                                                         std::size_t area, std::span<const MacroBlock> macros) {
    std::array<std::uint8_t, kKeyMapBufferSize> map{};
    std::copy(defaultMap.begin(), defaultMap.end(), map.begin());
    if (area >= kProfileAreas || image.header.size() < kHeaderBlockSize) {
        return map;
    }
    const std::size_t positions = std::min(keyCount, kKeyMapBufferSize / kKeyActionSize);
    for (std::size_t i = 0; i < positions; ++i) {
        const KeyAction defaultAction = KeyAction::At(defaultMap, i);
        const ScanCode code = DecodePosition(defaultAction);
        const std::uint16_t slot = ToScanIndex(code);
        if (code == 0 || slot >= kAreaSlots) {
            continue;
        }
        EncodeKeyEntry(image.Entry(RecordIndex(area, slot)), defaultAction, macros).Put(map, i);
    }
    return map;
}

KeyEntry DecodeKeyAction(KeyAction action) {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
    const auto setKey = [&entry](ScanCode target) {
        if (target != 0) {
            entry.type = static_cast<std::uint16_t>(AssignmentType::kKey);
            entry.param = target;
        }
    };
    switch (static_cast<ActionKind>(action.kind)) {
    case ActionKind::kMacro:
        if (action.sub == 1) {
            entry.type = static_cast<std::uint16_t>(AssignmentType::kMacro);
            entry.param = static_cast<std::uint32_t>(action.value) + 1;
        } else if (action.sub == 2) {
            entry.type = static_cast<std::uint16_t>(AssignmentType::kStopMacro);
        } else if (action.sub == 5) {
            entry.type = static_cast<std::uint16_t>(AssignmentType::kFunction);
            entry.param = action.value;
        }
        break;
    case ActionKind::kConsumer:
        if (const int index = MediaFunctionIndexOfUsage(static_cast<std::uint16_t>(action.sub | (action.value << 8)));
            index >= 0) {
            entry.type = static_cast<std::uint16_t>(AssignmentType::kMedia);
            entry.param = static_cast<std::uint32_t>(index);
        }
        break;
    case ActionKind::kMouse:
        if (action.sub == 1 || action.sub == 5) {
            setKey(DecodePosition(action));
        }
        break;
    case ActionKind::kKeyboard:
        if (action.sub == 2) {
            setKey(HidPairToScanCode({kPageKeyboard, action.value}));
        } else if (action.sub == 1) {
            setKey(ModifierScanCode(action.value));
        }
        break;
    default:
        break;
    }
    return entry;
}

void SetGKeyCodes(ProfileImage& image, std::size_t area) {
    if (area >= kProfileAreas) {
        return;
    }
    for (std::size_t n = 1; n <= static_cast<std::size_t>(kGKeysPerBank); ++n) {
        KeyEntry a;
        a.extra = static_cast<std::uint16_t>(kGCodeBankA + n);
        image.SetEntry(RecordIndex(area, kGSlotBankA + n - 1), a);
        KeyEntry b;
        b.extra = static_cast<std::uint16_t>(kGCodeBankB + n);
        image.SetEntry(RecordIndex(area, kGSlotBankB + n - 1), b);
    }
}

void DecodeKeyMap(std::span<const std::uint8_t> keyMap, std::span<const std::uint8_t> defaultMap, std::size_t keyCount,
                  ProfileImage& image, std::size_t area) {
    if (area >= kProfileAreas || image.header.size() < kHeaderBlockSize) {
        return;
    }
    for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
        image.SetEntry(RecordIndex(area, slot), KeyEntry{});
    }
    SetGKeyCodes(image, area);
    const std::size_t positions =
        std::min({keyCount, keyMap.size() / kKeyActionSize, defaultMap.size() / kKeyActionSize});
    for (std::size_t i = 0; i < positions; ++i) {
        const KeyAction read = KeyAction::At(keyMap, i);
        const KeyAction defaultAction = KeyAction::At(defaultMap, i);
        if (read == defaultAction) {
            continue;
        }
        const ScanCode code = DecodePosition(defaultAction);
        const std::uint16_t slot = ToScanIndex(code);
        if (code == 0 || slot >= kAreaSlots) {
            continue;
        }
        // A G-key slot reached through a named-key position keeps its G code.
        KeyEntry entry = DecodeKeyAction(read);
        entry.extra = image.Entry(RecordIndex(area, slot)).extra;
        image.SetEntry(RecordIndex(area, slot), entry);
    }
}

std::span<const MediaFunction, kMediaFunctionCount> MediaFunctionList() {
    return kMediaFunctions;
}

int MediaFunctionIndexOfUsage(std::uint16_t usage) {
    for (std::size_t i = 0; i < kMediaFunctionCount; ++i) {
        if (kMediaFunctions[i].usage == usage) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::span<const std::string_view, kSystemFunctionCount> SystemFunctionList() {
    return kSystemFunctions;
}

std::string KeyCaption(ScanCode code, const KeyEntry& entry, std::span<const MacroBlock> macros, Language& language) {
    std::string text = KeyDisplayName(code, language);
    if (entry.Type() != AssignmentType::kDefault) {
        text += AssignmentText(entry, macros, language);
    }
    return text;
}

std::string GKeyCaption(int number, const KeyEntry& entry, std::span<const MacroBlock> macros, Language& language) {
    // Appended rather than "G" + to_string(): GCC 12 at -O3 warns falsely (-Wrestrict) about the
    // operator+ that prepends to a temporary.
    std::string text = "G";
    text += std::to_string(number);
    if (entry.Type() != AssignmentType::kDefault) {
        text += AssignmentText(entry, macros, language);
    }
    return text;
}

} // namespace brasslane
