#include "ProfileJson.h"

#include "core/base/Keyboard.h"
#include "core/base/Bytes.h"
#include "core/base/Utf8.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/KeyNames.h"
#include "core/keys/MacroBlock.h"
#include "core/profiles/ProfileFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <system_error>

namespace brasslane::cli {

namespace {

constexpr std::size_t kGSlotsPerBank = kGKeysPerBank;

using Json = nlohmann::ordered_json;

constexpr std::string_view kFormatName = "brasslane-profile";
constexpr int kFormatVersion = 1;
constexpr int kKeyboardProfiles = 3;
constexpr std::size_t kExtraArea = 3;
constexpr std::size_t kFlagOffset = 30;
constexpr std::size_t kChecksumOffset = 31;
// Bytes 20..29 of the file header are reserved: written as 0, not checked on reading.
constexpr std::size_t kHeaderReservedOffset = 20;
constexpr std::size_t kHeaderReservedSize = 10;
constexpr std::uint32_t kMaxMacroId = 100;
constexpr std::uint32_t kMaxMediaFunction = 17;
constexpr std::uint32_t kMaxSystemFunction = 10;
constexpr std::uint32_t kMaxEntryRepeat = 255;

// Names of assignment types 0..8, in type order.
constexpr std::array<std::string_view, 9> kTypeNames{"default",    "disabled", "key",   "program", "macro",
                                                     "stop-macro", "text",     "media", "function"};

enum : std::uint16_t {
    kTypeDefault = 0,
    kTypeDisabled = 1,
    kTypeKey = 2,
    kTypeProgram = 3,
    kTypeMacro = 4,
    kTypeStopMacro = 5,
    kTypeText = 6,
    kTypeMedia = 7,
    kTypeFunction = 8,
};

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

// --- Document to JSON ----------------------------------------------------------------------

bool IsGSlot(std::size_t slot) {
    return slot >= kGSlotBankA && slot < kGSlotBankB + kGSlotsPerBank;
}

std::uint16_t GCodeOf(std::size_t slot) {
    if (slot < kGSlotBankB) {
        return static_cast<std::uint16_t>(kGCodeBankA + (slot - kGSlotBankA + 1));
    }
    return static_cast<std::uint16_t>(kGCodeBankB + (slot - kGSlotBankB + 1));
}

std::uint16_t ImpliedExtra(std::size_t slot, bool gCodes) {
    return gCodes && IsGSlot(slot) ? GCodeOf(slot) : 0;
}

// Do all 18 G-key slots of the area carry their G codes?
bool AreaHasGCodes(const ProfileImage& image, std::size_t area) {
    for (std::size_t slot = kGSlotBankA; slot < kGSlotBankB + kGSlotsPerBank; ++slot) {
        if (image.Entry(RecordIndex(area, slot)).extra != GCodeOf(slot)) {
            return false;
        }
    }
    return true;
}

void PutText(Json& object, const std::string& field, const std::u16string& text) {
    if (const std::optional<std::string> converted = utf8::FromUtf16Checked(text)) {
        object[field] = *converted;
        return;
    }
    Json units = Json::array();
    for (const char16_t unit : text) {
        units.push_back(static_cast<unsigned>(unit));
    }
    object[field + "-units"] = units;
}

// What the JSON of a key entry depends on beyond the entry itself.
struct EntryContext {
    const std::set<std::uint32_t>& macroIds; // the ids of the document's macros
    bool rawPool = false;                    // texts keep their offsets into a raw pool
};

Json EntryToJson(const KeyEntry& entry, const std::u16string& text, std::uint16_t impliedExtra,
                 const EntryContext& context) {
    Json object;
    if (entry.type < kTypeNames.size()) {
        object["type"] = kTypeNames[entry.type];
    } else {
        object["type"] = entry.type;
    }
    bool extraShown = false;
    bool paramShown = true;
    switch (entry.type) {
    case kTypeKey:
        object["key"] = ScanCodeName(entry.param);
        break;
    case kTypeProgram:
    case kTypeText:
        PutText(object, entry.type == kTypeProgram ? "path" : "text", text);
        // Packing gives the offset; a raw pool keeps the one the file holds.
        paramShown = !context.rawPool;
        break;
    case kTypeMacro:
        // A key may name a macro the file does not hold (a keyboard's damaged macro area reads
        // back so); the id is then kept as the raw param, which reading does not check.
        if (context.macroIds.contains(entry.param)) {
            object["macro"] = entry.param;
        } else {
            object["param"] = entry.param;
        }
        // The repeat count the key assignment dialog stores; 0 when the entry was read back
        // from a keyboard, which does not keep it.
        if (entry.extra != 0 && entry.extra <= kMaxEntryRepeat) {
            object["repeat"] = entry.extra;
            extraShown = true;
        } else if (entry.extra == 0) {
            extraShown = true;
        }
        break;
    case kTypeMedia:
    case kTypeFunction:
        if (entry.param <= (entry.type == kTypeMedia ? kMaxMediaFunction : kMaxSystemFunction)) {
            object["function"] = entry.param;
        } else {
            object["param"] = entry.param;
        }
        break;
    default:
        paramShown = false;
        break;
    }
    if (!paramShown && entry.param != 0) {
        object["param"] = entry.param;
    }
    if (!extraShown && entry.extra != (entry.type == kTypeMacro ? 0 : impliedExtra)) {
        object["extra"] = entry.extra;
    }
    if (entry.selection != 0) {
        object["selection"] = entry.selection;
    }
    if (entry.reserved != 0) {
        object["reserved"] = entry.reserved;
    }
    return object;
}

Json AreaToJson(const ProfileDocument& document, std::size_t area, bool withNumber, const EntryContext& context) {
    const bool gCodes = AreaHasGCodes(document.image, area);
    Json object;
    if (withNumber) {
        object["profile"] = area + 1;
    }
    object["g-codes"] = gCodes;
    Json keys = Json::object();
    for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
        const std::size_t record = RecordIndex(area, slot);
        const KeyEntry entry = document.image.Entry(record);
        KeyEntry implied;
        implied.extra = ImpliedExtra(slot, gCodes);
        if (entry == implied) {
            continue;
        }
        keys[SlotName(slot)] = EntryToJson(entry, document.texts.Text(record), implied.extra, context);
    }
    object["keys"] = std::move(keys);
    return object;
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0xF]);
    }
    return text;
}

// `earlierIds`: the ids of the macros before this one in the list.
Json MacroToJson(const MacroBlock& macro, const std::vector<std::uint8_t>* rawBlock,
                 const std::set<std::uint32_t>& earlierIds) {
    Json object;
    if (rawBlock != nullptr) {
        object["raw-block"] = ToHex(*rawBlock);
        return object;
    }
    if (macro.id >= 1 && macro.id <= kMaxMacroId && !earlierIds.contains(macro.id)) {
        object["id"] = macro.id;
    } else {
        object["raw-id"] = macro.id;
    }
    PutText(object, "name", macro.name);
    object[macro.repeat != 0 ? "repeat" : "raw-repeat"] = macro.repeat;
    if (macro.newFlag != 0) {
        object["new"] = macro.newFlag;
    }
    Json steps = Json::array();
    for (const MacroStep& step : macro.steps) {
        Json s;
        s["key"] = ScanCodeName(step.key);
        s["action"] = step.state == 1 ? "release" : "press";
        s[step.delay <= kMaxMacroDelayMs ? "delay" : "raw-delay"] = step.delay;
        steps.push_back(std::move(s));
    }
    object["steps"] = std::move(steps);
    return object;
}

std::array<std::uint8_t, kKeyTableHeaderSize> StandardKeyTableHeader() {
    std::vector<std::uint8_t> block(kKeyTableOffset, 0);
    WriteKeyTableHeader(block);
    std::array<std::uint8_t, kKeyTableHeaderSize> header{};
    std::copy_n(block.begin() + kKeyTableHeaderOffset, kKeyTableHeaderSize, header.begin());
    return header;
}

// --- JSON to document ----------------------------------------------------------------------

// A fault in the JSON, with the path of the value at fault. Thrown and caught inside this file.
struct JsonFault {
    std::string path;
    std::string what;
};

bool IsPlainName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
    });
}

std::string Member(const std::string& path, std::string_view name) {
    if (IsPlainName(name)) {
        return path.empty() ? std::string(name) : path + "." + std::string(name);
    }
    return path + "[" + Json(std::string(name)).dump() + "]";
}

std::string Item(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

[[noreturn]] void Fail(const std::string& path, std::string what) {
    throw JsonFault{path, std::move(what)};
}

void ExpectObject(const Json& value, const std::string& path) {
    if (!value.is_object()) {
        Fail(path, "must be an object");
    }
}

void OnlyFields(const Json& object, const std::string& path, std::initializer_list<std::string_view> allowed) {
    for (const auto& [name, value] : object.items()) {
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
            Fail(Member(path, name), "unknown field");
        }
    }
}

const Json* Find(const Json& object, std::string_view name) {
    const auto found = object.find(std::string(name));
    return found == object.end() ? nullptr : &*found;
}

std::uint64_t Number(const Json& value, const std::string& path, std::uint64_t minimum, std::uint64_t maximum) {
    if (!value.is_number_integer()) {
        Fail(path, "must be a whole number from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number >= minimum && number <= maximum) {
            return number;
        }
    }
    Fail(path, value.dump() + " is outside " + std::to_string(minimum) + ".." + std::to_string(maximum));
}

std::uint64_t NumberField(const Json& object, const std::string& path, std::string_view name, std::uint64_t minimum,
                          std::uint64_t maximum, std::uint64_t fallback) {
    const Json* value = Find(object, name);
    return value == nullptr ? fallback : Number(*value, Member(path, name), minimum, maximum);
}

const Json& Required(const Json& object, const std::string& path, std::string_view name) {
    const Json* value = Find(object, name);
    if (value == nullptr) {
        Fail(Member(path, name), "is missing");
    }
    return *value;
}

std::string String(const Json& value, const std::string& path) {
    if (!value.is_string()) {
        Fail(path, "must be a text");
    }
    return value.get<std::string>();
}

bool Bool(const Json& value, const std::string& path) {
    if (!value.is_boolean()) {
        Fail(path, "must be true or false");
    }
    return value.get<bool>();
}

// A text given as "<field>" (UTF-8) or "<field>-units" (UTF-16 code units). A zero unit would
// end the text early, so it is refused. `required`: one of the two must be there.
std::optional<std::u16string> TextField(const Json& object, const std::string& path, const std::string& field,
                                        std::size_t maxUnits, bool required) {
    const Json* text = Find(object, field);
    const Json* units = Find(object, field + "-units");
    if (text != nullptr && units != nullptr) {
        Fail(Member(path, field + "-units"), "cannot be given together with \"" + field + "\"");
    }
    std::u16string result;
    if (text != nullptr) {
        const std::string fieldPath = Member(path, field);
        const std::optional<std::u16string> converted = utf8::ToUtf16Checked(String(*text, fieldPath));
        if (!converted) {
            Fail(fieldPath, "is not valid UTF-8");
        }
        result = *converted;
        if (result.find(u'\0') != std::u16string::npos) {
            Fail(fieldPath, "must not contain a NUL character");
        }
        if (result.size() > maxUnits) {
            Fail(fieldPath, "is longer than " + std::to_string(maxUnits) + " characters");
        }
    } else if (units != nullptr) {
        const std::string unitsPath = Member(path, field + "-units");
        if (!units->is_array()) {
            Fail(unitsPath, "must be an array of UTF-16 code units");
        }
        if (units->size() > maxUnits) {
            Fail(unitsPath, "is longer than " + std::to_string(maxUnits) + " code units");
        }
        for (std::size_t i = 0; i < units->size(); ++i) {
            result.push_back(static_cast<char16_t>(Number((*units)[i], Item(unitsPath, i), 1, 0xFFFF)));
        }
    } else if (required) {
        Fail(Member(path, field), "is missing");
    } else {
        return std::nullopt;
    }
    return result;
}

// Bytes given as hexadecimal digits, two per byte; exactly `size` bytes when given.
std::vector<std::uint8_t> HexField(const Json& value, const std::string& path, std::optional<std::size_t> size) {
    const std::string text = String(value, path);
    const std::string expected = size ? "must be " + std::to_string(2 * *size) + " hexadecimal digits"
                                      : "must be hexadecimal digits, two for each byte";
    if (text.size() % 2 != 0 || (size && text.size() != 2 * *size)) {
        Fail(path, expected);
    }
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned byte = 0;
        const char* first = text.data() + 2 * i;
        const auto [end, ec] = std::from_chars(first, first + 2, byte, 16);
        if (ec != std::errc{} || end != first + 2) {
            Fail(path, expected);
        }
        bytes[i] = static_cast<std::uint8_t>(byte);
    }
    return bytes;
}

// Refuses a value given both in its checked form and as its raw form.
void NotBoth(const Json& object, const std::string& path, std::string_view checked, std::string_view raw) {
    if (Find(object, checked) != nullptr && Find(object, raw) != nullptr) {
        Fail(Member(path, raw), "cannot be given together with \"" + std::string(checked) + "\"");
    }
}

// The text a pool holds at an entry's param, read as the profile loader reads it: from the
// offset rounded down to even up to its zero unit. nullopt when no zero unit ends it inside the
// pool.
std::optional<std::u16string> PoolText(std::span<const std::uint8_t> pool, std::uint32_t param) {
    std::u16string text;
    for (std::size_t at = param & ~std::uint32_t{1}; at + 1 < pool.size(); at += 2) {
        const auto unit = static_cast<char16_t>(pool[at] | (pool[at + 1] << 8));
        if (unit == 0) {
            return text;
        }
        text.push_back(unit);
    }
    return std::nullopt;
}

class DocumentReader {
public:
    explicit DocumentReader(ProfileDocument& document) : m_document(document) {}

    void Read(const Json& root) {
        ExpectObject(root, "(document)");
        OnlyFields(root, "",
                   {"format", "version", "flag", "header-reserved", "key-table-header", "pool-padding", "profiles",
                    "extra-area", "macros", "raw-pool", "trailing-bytes"});
        if (String(Required(root, "", "format"), "format") != kFormatName) {
            Fail("format", "must be \"" + std::string(kFormatName) + "\"");
        }
        if (Number(Required(root, "", "version"), "version", 0, std::numeric_limits<std::uint32_t>::max()) !=
            kFormatVersion) {
            Fail("version", "this program reads version " + std::to_string(kFormatVersion));
        }
        m_document.image.header.assign(kHeaderBlockSize, 0);
        m_document.image.header[kFlagOffset] =
            static_cast<std::uint8_t>(NumberField(root, "", "flag", 0, kProfileMaxFlag, 0));
        if (const Json* reserved = Find(root, "header-reserved")) {
            const std::vector<std::uint8_t> bytes = HexField(*reserved, "header-reserved", kHeaderReservedSize);
            std::copy(bytes.begin(), bytes.end(), m_document.image.header.begin() + kHeaderReservedOffset);
        }
        ReadKeyTableHeader(root);
        NotBoth(root, "", "pool-padding", "raw-pool");
        m_document.poolPadding =
            static_cast<std::uint32_t>(NumberField(root, "", "pool-padding", 0, kProfileFileSizeLimit - 1, 0));
        // The raw pool first: the text entries are read against it.
        if (const Json* pool = Find(root, "raw-pool")) {
            m_document.rawPool = HexField(*pool, "raw-pool", std::nullopt);
        }
        if (const Json* trailing = Find(root, "trailing-bytes")) {
            m_document.trailingBytes = HexField(*trailing, "trailing-bytes", std::nullopt);
        }

        // Macros first: the keys that play them are checked against their ids.
        if (const Json* macros = Find(root, "macros")) {
            ReadMacros(*macros);
        }
        ReadProfiles(Required(root, "", "profiles"));
        if (const Json* extra = Find(root, "extra-area")) {
            ExpectObject(*extra, "extra-area");
            OnlyFields(*extra, "extra-area", {"g-codes", "keys"});
            ReadArea(*extra, "extra-area", kExtraArea, false);
        }
        if (m_document.rawPool) {
            ReadPoolTexts();
        }
    }

private:
    // A text entry of a document with a raw pool: where it is, and the text it shows, if any.
    struct PoolEntry {
        std::string path;
        std::string textPath;
        std::optional<std::u16string> shown;
    };

    void ReadKeyTableHeader(const Json& root) {
        std::array<std::uint8_t, kKeyTableHeaderSize> header = StandardKeyTableHeader();
        if (const Json* given = Find(root, "key-table-header")) {
            const std::vector<std::uint8_t> bytes = HexField(*given, "key-table-header", kKeyTableHeaderSize);
            std::copy(bytes.begin(), bytes.end(), header.begin());
        }
        std::copy(header.begin(), header.end(), m_document.image.header.begin() + kKeyTableHeaderOffset);
    }

    // Each text entry must find its text in the raw pool, as the profile loader looks for it,
    // and show that text if it shows one: the texts of such a document are not packed anew, so
    // an edited text would be lost.
    void ReadPoolTexts() {
        const std::vector<std::uint8_t>& pool = *m_document.rawPool;
        std::uint64_t total = 0;
        for (const auto& [record, entry] : m_poolEntries) {
            const std::uint32_t param = m_document.image.Entry(record).param;
            std::optional<std::u16string> text = PoolText(pool, param);
            if (!text) {
                Fail(Member(entry.path, "param"), "no text of \"raw-pool\" starts at " + std::to_string(param));
            }
            if (entry.shown && *entry.shown != *text) {
                Fail(entry.textPath, "is not the text \"raw-pool\" holds at " + std::to_string(param) +
                                         "; to change the texts, leave out \"raw-pool\" and the texts' \"param\"");
            }
            total += (text->size() + 1) * 2;
            if (total > pool.size()) {
                Fail("raw-pool", "holds fewer bytes than the texts of its entries add up to");
            }
            m_document.texts.Set(record, std::move(*text));
        }
    }

    void ReadMacros(const Json& macros) {
        if (!macros.is_array()) {
            Fail("macros", "must be an array");
        }
        if (macros.size() > kMaxMacros) {
            Fail("macros", "holds " + std::to_string(macros.size()) + " macros; at most " + std::to_string(kMaxMacros) +
                               " are allowed");
        }
        for (std::size_t i = 0; i < macros.size(); ++i) {
            m_document.image.macros.push_back(ReadMacro(macros[i], Item("macros", i), i));
        }
    }

    MacroBlock ReadMacro(const Json& object, const std::string& path, std::size_t index) {
        ExpectObject(object, path);
        if (const Json* block = Find(object, "raw-block")) {
            OnlyFields(object, path, {"raw-block"});
            std::vector<std::uint8_t> bytes = HexField(*block, Member(path, "raw-block"), kMacroBlockSize);
            MacroBlock macro = MacroBlock::Read(std::span<const std::uint8_t, kMacroBlockSize>(bytes));
            m_macroIds.insert(macro.id);
            m_document.rawMacroBlocks.emplace(index, std::move(bytes));
            return macro;
        }
        OnlyFields(object, path, {"id", "raw-id", "name", "name-units", "repeat", "raw-repeat", "new", "steps"});
        MacroBlock macro;
        NotBoth(object, path, "id", "raw-id");
        if (const Json* raw = Find(object, "raw-id")) {
            macro.id = static_cast<std::uint16_t>(Number(*raw, Member(path, "raw-id"), 0, 0xFFFF));
        } else {
            macro.id =
                static_cast<std::uint16_t>(Number(Required(object, path, "id"), Member(path, "id"), 1, kMaxMacroId));
            if (m_macroIds.contains(macro.id)) {
                Fail(Member(path, "id"), "another macro has id " + std::to_string(macro.id));
            }
        }
        m_macroIds.insert(macro.id);
        macro.name = TextField(object, path, "name", kMaxMacroNameLength, false).value_or(std::u16string());
        NotBoth(object, path, "repeat", "raw-repeat");
        macro.repeat = static_cast<std::uint8_t>(Find(object, "raw-repeat") != nullptr
                                                     ? NumberField(object, path, "raw-repeat", 0, 255, 0)
                                                     : NumberField(object, path, "repeat", 1, 255, 1));
        macro.newFlag = static_cast<std::uint16_t>(NumberField(object, path, "new", 0, 0xFFFF, 0));
        if (const Json* steps = Find(object, "steps")) {
            const std::string stepsPath = Member(path, "steps");
            if (!steps->is_array()) {
                Fail(stepsPath, "must be an array");
            }
            if (steps->size() > kMaxMacroSteps) {
                Fail(stepsPath, "holds " + std::to_string(steps->size()) + " steps; at most " +
                                    std::to_string(kMaxMacroSteps) + " are allowed");
            }
            macro.steps.reserve(steps->size());
            for (std::size_t i = 0; i < steps->size(); ++i) {
                macro.steps.push_back(ReadStep((*steps)[i], Item(stepsPath, i)));
            }
        }
        return macro;
    }

    static MacroStep ReadStep(const Json& object, const std::string& path) {
        ExpectObject(object, path);
        OnlyFields(object, path, {"key", "action", "delay", "raw-delay"});
        MacroStep step;
        const std::string keyPath = Member(path, "key");
        const std::string key = String(Required(object, path, "key"), keyPath);
        const std::optional<std::uint32_t> code = ParseScanCode(key, 0xFFFF);
        if (!code) {
            Fail(keyPath, "unknown key \"" + key + "\"");
        }
        step.key = static_cast<std::uint16_t>(*code);
        const std::string actionPath = Member(path, "action");
        const std::string action = String(Required(object, path, "action"), actionPath);
        if (action == "press") {
            step.state = 0;
        } else if (action == "release") {
            step.state = 1;
        } else {
            Fail(actionPath, "must be \"press\" or \"release\", not \"" + action + "\"");
        }
        NotBoth(object, path, "delay", "raw-delay");
        step.delay = static_cast<std::uint32_t>(
            Find(object, "raw-delay") != nullptr
                ? NumberField(object, path, "raw-delay", 0, std::numeric_limits<std::uint32_t>::max(), 0)
                : NumberField(object, path, "delay", 0, kMaxMacroDelayMs, 0));
        return step;
    }

    void ReadProfiles(const Json& profiles) {
        if (!profiles.is_array() || profiles.size() != kKeyboardProfiles) {
            Fail("profiles", "must be an array of the " + std::to_string(kKeyboardProfiles) + " profiles");
        }
        std::array<bool, kKeyboardProfiles> seen{};
        for (std::size_t i = 0; i < profiles.size(); ++i) {
            const std::string path = Item("profiles", i);
            const Json& object = profiles[i];
            ExpectObject(object, path);
            OnlyFields(object, path, {"profile", "g-codes", "keys"});
            const auto number = static_cast<std::size_t>(
                Number(Required(object, path, "profile"), Member(path, "profile"), 1, kKeyboardProfiles));
            if (seen[number - 1]) {
                Fail(Member(path, "profile"), "profile " + std::to_string(number) + " is listed twice");
            }
            seen[number - 1] = true;
            ReadArea(object, path, number - 1, true);
        }
    }

    void ReadArea(const Json& object, const std::string& path, std::size_t area, bool gCodesByDefault) {
        const Json* gCodesField = Find(object, "g-codes");
        const bool gCodes = gCodesField != nullptr ? Bool(*gCodesField, Member(path, "g-codes")) : gCodesByDefault;
        for (std::size_t slot = kGSlotBankA; slot < kGSlotBankB + kGSlotsPerBank; ++slot) {
            KeyEntry entry;
            entry.extra = ImpliedExtra(slot, gCodes);
            m_document.image.SetEntry(RecordIndex(area, slot), entry);
        }
        const Json* keys = Find(object, "keys");
        if (keys == nullptr) {
            return;
        }
        const std::string keysPath = Member(path, "keys");
        ExpectObject(*keys, keysPath);
        std::map<std::size_t, std::string> named;
        for (const auto& [name, value] : keys->items()) {
            const std::string entryPath = Member(keysPath, name);
            const std::optional<std::size_t> slot = ParseSlotName(name);
            if (!slot) {
                Fail(entryPath, "unknown key \"" + name + "\"");
            }
            if (const auto [at, inserted] = named.emplace(*slot, name); !inserted) {
                Fail(entryPath, "names the same key as \"" + at->second + "\"");
            }
            ReadEntry(value, entryPath, RecordIndex(area, *slot), ImpliedExtra(*slot, gCodes));
        }
    }

    void ReadEntry(const Json& object, const std::string& path, std::size_t record, std::uint16_t impliedExtra) {
        ExpectObject(object, path);
        const std::string typePath = Member(path, "type");
        const Json& typeValue = Required(object, path, "type");
        KeyEntry entry;
        if (typeValue.is_string()) {
            const std::string name = typeValue.get<std::string>();
            const auto found = std::find(kTypeNames.begin(), kTypeNames.end(), name);
            if (found == kTypeNames.end()) {
                Fail(typePath, "unknown type \"" + name + "\"");
            }
            entry.type = static_cast<std::uint16_t>(found - kTypeNames.begin());
        } else if (typeValue.is_number_integer()) {
            entry.type = static_cast<std::uint16_t>(Number(typeValue, typePath, 0, 0xFFFF));
        } else {
            Fail(typePath, "must be the name of an assignment type");
        }

        entry.extra = impliedExtra;
        switch (entry.type) {
        case kTypeKey: {
            OnlyFields(object, path, {"type", "key", "extra", "selection", "reserved"});
            const std::string keyPath = Member(path, "key");
            const std::string key = String(Required(object, path, "key"), keyPath);
            const std::optional<std::uint32_t> code = ParseScanCode(key, std::numeric_limits<std::uint32_t>::max());
            if (!code) {
                Fail(keyPath, "unknown key \"" + key + "\"");
            }
            entry.param = *code;
            break;
        }
        case kTypeProgram:
        case kTypeText: {
            const std::string field = entry.type == kTypeProgram ? "path" : "text";
            OnlyFields(object, path, {"type", field, field + "-units", "param", "extra", "selection", "reserved"});
            const bool rawPool = m_document.rawPool.has_value();
            if (!rawPool && Find(object, "param") != nullptr) {
                Fail(Member(path, "param"), "is only given with \"raw-pool\": texts are packed in key-entry order");
            }
            std::optional<std::u16string> text =
                TextField(object, path, field, std::numeric_limits<std::uint32_t>::max() / 4, !rawPool);
            if (rawPool) {
                entry.param = static_cast<std::uint32_t>(
                    NumberField(object, path, "param", 0, std::numeric_limits<std::uint32_t>::max(), 0));
                const std::string textPath = Member(path, Find(object, field) != nullptr ? field : field + "-units");
                m_poolEntries.insert_or_assign(record, PoolEntry{path, textPath, std::move(text)});
            } else {
                m_document.texts.Set(record, std::move(*text));
            }
            break;
        }
        case kTypeMacro: {
            OnlyFields(object, path, {"type", "macro", "param", "repeat", "extra", "selection", "reserved"});
            NotBoth(object, path, "macro", "param");
            if (const Json* raw = Find(object, "param")) {
                entry.param = static_cast<std::uint32_t>(
                    Number(*raw, Member(path, "param"), 0, std::numeric_limits<std::uint32_t>::max()));
            } else {
                const std::string macroPath = Member(path, "macro");
                entry.param = static_cast<std::uint32_t>(
                    Number(Required(object, path, "macro"), macroPath, 0, std::numeric_limits<std::uint32_t>::max()));
                if (!m_macroIds.contains(entry.param)) {
                    Fail(macroPath, "no macro has id " + std::to_string(entry.param));
                }
            }
            if (Find(object, "repeat") != nullptr && Find(object, "extra") != nullptr) {
                Fail(Member(path, "extra"), "cannot be given together with \"repeat\"");
            }
            entry.extra = static_cast<std::uint16_t>(NumberField(object, path, "repeat", 0, kMaxEntryRepeat, 0));
            break;
        }
        case kTypeMedia:
        case kTypeFunction: {
            OnlyFields(object, path, {"type", "function", "param", "extra", "selection", "reserved"});
            NotBoth(object, path, "function", "param");
            if (const Json* raw = Find(object, "param")) {
                entry.param = static_cast<std::uint32_t>(
                    Number(*raw, Member(path, "param"), 0, std::numeric_limits<std::uint32_t>::max()));
            } else {
                const std::uint32_t maximum = entry.type == kTypeMedia ? kMaxMediaFunction : kMaxSystemFunction;
                entry.param = static_cast<std::uint32_t>(
                    Number(Required(object, path, "function"), Member(path, "function"), 0, maximum));
            }
            break;
        }
        default:
            OnlyFields(object, path, {"type", "param", "extra", "selection", "reserved"});
            entry.param = static_cast<std::uint32_t>(
                NumberField(object, path, "param", 0, std::numeric_limits<std::uint32_t>::max(), 0));
            break;
        }
        entry.extra = static_cast<std::uint16_t>(NumberField(object, path, "extra", 0, 0xFFFF, entry.extra));
        entry.selection = static_cast<std::uint32_t>(
            NumberField(object, path, "selection", 0, std::numeric_limits<std::uint32_t>::max(), 0));
        entry.reserved = static_cast<std::uint32_t>(
            NumberField(object, path, "reserved", 0, std::numeric_limits<std::uint32_t>::max(), 0));
        m_document.image.SetEntry(record, entry);
    }

    ProfileDocument& m_document;
    std::set<std::uint32_t> m_macroIds;
    // Text entries by record, when the document keeps a raw pool.
    std::map<std::size_t, PoolEntry> m_poolEntries;
};

} // namespace

bool DecodeProfileDocument(std::span<const std::uint8_t> bytes, ProfileDocument& document, std::string* error) {
    try {
        ProfileDocument decoded;
        if (const ProfileFormatError format = DecodeProfileBytes(bytes, decoded.image, decoded.texts);
            format != ProfileFormatError::kNone) {
            SetError(error, std::string(ProfileFormatErrorText(format)));
            return false;
        }
        ProfileFileHeader header;
        ProfileFileHeader::Read(bytes, header);

        // Blocks that do not come back from their fields are kept whole.
        std::vector<std::uint8_t> block(kMacroBlockSize);
        for (std::size_t n = 0; n < decoded.image.macros.size(); ++n) {
            decoded.image.macros[n].Write(std::span<std::uint8_t, kMacroBlockSize>(block));
            const auto stored = bytes.subspan(kHeaderBlockSize + kMacroBlockSize * n, kMacroBlockSize);
            if (!std::equal(block.begin(), block.end(), stored.begin())) {
                decoded.rawMacroBlocks.emplace(n, std::vector<std::uint8_t>(stored.begin(), stored.end()));
            }
        }

        // A pool that packing the texts gives again (texts in key-entry order, then zeros) is
        // described by its texts and its padding; any other is kept as it is.
        const auto pool = bytes.subspan(kHeaderBlockSize + kMacroBlockSize * header.macroCount, header.poolSize);
        ProfileImage packedImage = decoded.image;
        StringTable packedTexts = decoded.texts;
        std::vector<std::uint8_t> packed = PackStringPool(packedImage, packedTexts);
        if (packed.size() <= pool.size()) {
            packed.resize(pool.size(), 0);
        }
        if (std::equal(packed.begin(), packed.end(), pool.begin(), pool.end()) &&
            packedImage.header == decoded.image.header) {
            decoded.poolPadding = header.poolSize - decoded.texts.Total();
        } else {
            decoded.rawPool.emplace(pool.begin(), pool.end());
        }

        const auto trailing = bytes.subspan(header.totalSize);
        decoded.trailingBytes.assign(trailing.begin(), trailing.end());
        document = std::move(decoded);
        return true;
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory for the profile");
        return false;
    }
}

bool EncodeProfileDocument(ProfileDocument& document, std::vector<std::uint8_t>& bytes, std::string* error) {
    try {
        const std::size_t macroCount = document.image.macros.size();
        for (const auto& [index, block] : document.rawMacroBlocks) {
            if (index >= macroCount || block.size() != kMacroBlockSize) {
                SetError(error, "a macro block kept as bytes is not a whole block of the profile");
                return false;
            }
        }
        const std::uint64_t poolSize = document.rawPool ? std::uint64_t{document.rawPool->size()}
                                                        : std::uint64_t{document.texts.Total()} + document.poolPadding;
        if (!FitsProfileFile(macroCount, poolSize)) {
            SetError(error, "the profile has too many macros or texts for a profile file");
            return false;
        }
        std::vector<std::uint8_t> pool;
        if (document.rawPool) {
            pool = *document.rawPool;
        } else {
            pool = PackStringPool(document.image, document.texts);
            pool.resize(pool.size() + document.poolPadding, 0);
        }
        // Rebuilding the header clears its reserved bytes; a file that had others keeps them.
        std::vector<std::uint8_t>& header = document.image.header;
        std::array<std::uint8_t, kHeaderReservedSize> reserved{};
        std::copy_n(header.begin() + kHeaderReservedOffset, kHeaderReservedSize, reserved.begin());
        RebuildFileHeader(document.image, static_cast<std::uint32_t>(pool.size()), header[kFlagOffset]);
        std::copy(reserved.begin(), reserved.end(), header.begin() + kHeaderReservedOffset);
        header[kChecksumOffset] = ProfileFileHeader::Checksum(header);

        std::vector<std::uint8_t> encoded;
        encoded.reserve(ProfileFileHeader::TotalSizeFor(macroCount, pool.size()) + document.trailingBytes.size());
        encoded.insert(encoded.end(), header.begin(), header.end());
        std::vector<std::uint8_t> block(kMacroBlockSize);
        for (std::size_t n = 0; n < macroCount; ++n) {
            if (const auto raw = document.rawMacroBlocks.find(n); raw != document.rawMacroBlocks.end()) {
                encoded.insert(encoded.end(), raw->second.begin(), raw->second.end());
            } else {
                document.image.macros[n].Write(std::span<std::uint8_t, kMacroBlockSize>(block));
                encoded.insert(encoded.end(), block.begin(), block.end());
            }
        }
        encoded.insert(encoded.end(), pool.begin(), pool.end());
        encoded.insert(encoded.end(), document.trailingBytes.begin(), document.trailingBytes.end());
        // Whatever is written must load: texts a raw pool does not hold are caught here.
        if (const ProfileFormatError format = CheckProfileBytes(encoded); format != ProfileFormatError::kNone) {
            SetError(error,
                     "the profile would not be a valid profile file: " + std::string(ProfileFormatErrorText(format)));
            return false;
        }
        bytes = std::move(encoded);
        return true;
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory for the profile");
        return false;
    }
}

bool ProfileBytesToJson(std::span<const std::uint8_t> bytes, std::string& json, std::string* error,
                        std::uintmax_t maxJsonSize) {
    try {
        ProfileDocument document;
        std::string problem;
        if (!DecodeProfileDocument(bytes, document, &problem)) {
            SetError(error, "not a valid profile file: " + problem);
            return false;
        }
        std::string text = ProfileDocumentToJson(document);
        if (text.size() > maxJsonSize) {
            SetError(error, "its JSON form would take " + std::to_string(text.size()) + " bytes, more than the " +
                                std::to_string(maxJsonSize) + " that are read back");
            return false;
        }
        // The promise is the same file back: check it rather than trust it.
        ProfileDocument back;
        std::vector<std::uint8_t> again;
        if (!ProfileDocumentFromJson(text, back, &problem) || !EncodeProfileDocument(back, again, &problem)) {
            SetError(error, "its JSON form would not convert back (" + problem + ")");
            return false;
        }
        if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) {
            const auto at = std::mismatch(again.begin(), again.end(), bytes.begin(), bytes.end()).first;
            SetError(error, "its JSON form would not convert back to the same file (byte " +
                                std::to_string(at - again.begin()) + " would differ)");
            return false;
        }
        json = std::move(text);
        return true;
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory for the JSON form of the profile");
        return false;
    }
}

std::string ProfileDocumentToJson(const ProfileDocument& document) {
    Json root;
    root["format"] = kFormatName;
    root["version"] = kFormatVersion;
    const std::uint8_t flag = document.image.header[kFlagOffset];
    if (flag != 0) {
        root["flag"] = flag;
    }
    const auto reserved = std::span(document.image.header).subspan(kHeaderReservedOffset, kHeaderReservedSize);
    if (std::any_of(reserved.begin(), reserved.end(), [](std::uint8_t byte) { return byte != 0; })) {
        root["header-reserved"] = ToHex(reserved);
    }
    const auto tableHeader = std::span(document.image.header).subspan(kKeyTableHeaderOffset, kKeyTableHeaderSize);
    const auto standard = StandardKeyTableHeader();
    if (!std::equal(tableHeader.begin(), tableHeader.end(), standard.begin())) {
        root["key-table-header"] = ToHex(tableHeader);
    }
    if (document.poolPadding != 0 && !document.rawPool) {
        root["pool-padding"] = document.poolPadding;
    }
    std::set<std::uint32_t> macroIds;
    for (const MacroBlock& macro : document.image.macros) {
        macroIds.insert(macro.id);
    }
    const EntryContext context{macroIds, document.rawPool.has_value()};
    Json profiles = Json::array();
    for (std::size_t area = 0; area < kKeyboardProfiles; ++area) {
        profiles.push_back(AreaToJson(document, area, true, context));
    }
    root["profiles"] = std::move(profiles);
    Json extra = AreaToJson(document, kExtraArea, false, context);
    if (extra["g-codes"].get<bool>() || !extra["keys"].empty()) {
        root["extra-area"] = std::move(extra);
    }
    Json macros = Json::array();
    std::set<std::uint32_t> earlierIds;
    for (std::size_t i = 0; i < document.image.macros.size(); ++i) {
        const auto raw = document.rawMacroBlocks.find(i);
        const MacroBlock& macro = document.image.macros[i];
        macros.push_back(MacroToJson(macro, raw != document.rawMacroBlocks.end() ? &raw->second : nullptr, earlierIds));
        earlierIds.insert(macro.id);
    }
    root["macros"] = std::move(macros);
    if (document.rawPool) {
        root["raw-pool"] = ToHex(*document.rawPool);
    }
    if (!document.trailingBytes.empty()) {
        root["trailing-bytes"] = ToHex(document.trailingBytes);
    }
    // Every text went through FromUtf16Checked, so nothing needs replacing; the handler only keeps
    // a surprise from becoming an exception.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool ProfileDocumentFromJson(std::string_view text, ProfileDocument& document, std::string* error) {
    try {
        // The parser keeps one of two equal names in an object silently; a profile document
        // with a key listed twice is refused instead.
        std::vector<std::set<std::string>> names;
        const Json::parser_callback_t noDuplicates = [&names](int, Json::parse_event_t event, Json& parsed) {
            if (event == Json::parse_event_t::object_start) {
                names.emplace_back();
            } else if (event == Json::parse_event_t::object_end && !names.empty()) {
                names.pop_back();
            } else if (event == Json::parse_event_t::key && !names.empty() &&
                       !names.back().insert(parsed.get<std::string>()).second) {
                throw JsonFault{"", "the name \"" + parsed.get<std::string>() + "\" appears twice in one object"};
            }
            return true;
        };
        const Json root = Json::parse(text.begin(), text.end(), noDuplicates);
        ProfileDocument read;
        DocumentReader(read).Read(root);
        document = std::move(read);
        return true;
    } catch (const JsonFault& fault) {
        SetError(error, fault.path.empty() ? fault.what : fault.path + ": " + fault.what);
    } catch (const nlohmann::json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 5: ..." without its tag.
        std::string what = e.what();
        if (const std::size_t tag = what.find("] "); tag != std::string::npos) {
            what.erase(0, tag + 2);
        }
        SetError(error, "not valid JSON: " + what);
    } catch (const nlohmann::json::exception& e) {
        SetError(error, std::string("not a profile document: ") + e.what());
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory for the JSON document");
    }
    return false;
}

bool ReadWholeFile(const std::filesystem::path& path, std::uintmax_t limit, std::string& contents, std::string* error) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        SetError(error, path.string() + " does not exist");
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        SetError(error, path.string() + " is not a regular file");
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        SetError(error, "cannot read " + path.string() + ": " + ec.message());
        return false;
    }
    if (size > limit) {
        SetError(error, path.string() + " is too large (" + std::to_string(size) + " bytes)");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, "cannot open " + path.string());
        return false;
    }
    try {
        contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory to read " + path.string());
        return false;
    }
    if (in.bad() || contents.size() > limit) {
        SetError(error, "cannot read " + path.string());
        return false;
    }
    return true;
}

bool ReadProfileDocument(const std::filesystem::path& path, ProfileDocument& document, std::string* error) {
    std::string contents;
    if (!ReadWholeFile(path, kMaxInputFileSize, contents, error)) {
        return false;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(contents.data());
    std::string problem;
    if (!DecodeProfileDocument(std::span<const std::uint8_t>(data, contents.size()), document, &problem)) {
        SetError(error, path.string() + " is not a valid profile file: " + problem);
        return false;
    }
    return true;
}

} // namespace brasslane::cli
