// Every profile file the loader accepts converts to JSON and back to the same bytes: files the
// program writes, files with values beyond the editing limits (a backup of a damaged macro area),
// and files damaged byte by byte. And whatever JSON is accepted gives a file the loader accepts.

#include "ProfileJson.h"

#include "core/base/Bytes.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/KeyNames.h"
#include "core/profiles/ProfileFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace brasslane::cli {
namespace {

using Json = nlohmann::ordered_json;
using Rng = std::mt19937;

std::uint32_t Pick(Rng& rng, std::uint32_t low, std::uint32_t high) {
    return std::uniform_int_distribution<std::uint32_t>(low, high)(rng);
}

bool Chance(Rng& rng, unsigned percent) {
    return Pick(rng, 0, 99) < percent;
}

// A text without zero units: plain and control characters, other planes, and unpaired
// surrogates, which UTF-8 cannot carry.
std::u16string RandomText(Rng& rng, std::size_t maxUnits) {
    static constexpr std::pair<char16_t, char16_t> kRanges[] = {{0x20, 0x7E},   {0x20, 0x7E},     {0x01, 0x1F},
                                                                {0x80, 0xD7FF}, {0xD800, 0xDFFF}, {0xE000, 0xFFFF}};
    std::u16string text(Pick(rng, 0, static_cast<std::uint32_t>(maxUnits)), u' ');
    for (char16_t& unit : text) {
        const auto [low, high] = kRanges[Pick(rng, 0, std::size(kRanges) - 1)];
        unit = static_cast<char16_t>(Pick(rng, low, high));
    }
    return text;
}

std::uint32_t RandomScanCode(Rng& rng, std::uint32_t maximum) {
    const std::vector<NamedKey>& named = NamedKeys();
    if (Chance(rng, 60)) {
        return named[Pick(rng, 0, static_cast<std::uint32_t>(named.size() - 1))].scanCode;
    }
    return Pick(rng, 0, maximum);
}

// Values a field holds: mostly ones the editor gives, sometimes anything the field can hold.
std::uint32_t RandomValue(Rng& rng, std::uint32_t usualMax, std::uint32_t fieldMax) {
    return Chance(rng, 70) ? Pick(rng, 0, usualMax) : Pick(rng, 0, fieldMax);
}

KeyEntry RandomEntry(Rng& rng, const std::vector<MacroBlock>& macros) {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(Chance(rng, 90) ? Pick(rng, 0, 8) : Pick(rng, 9, 0xFFFF));
    switch (entry.type) {
    case 2:
        entry.param = RandomScanCode(rng, Chance(rng, 90) ? 0xFFFF : 0xFFFFFFFF);
        break;
    case 4:
        // An id a macro has, or one none has (keys of a damaged macro area name such ids).
        entry.param = !macros.empty() && Chance(rng, 60)
                          ? macros[Pick(rng, 0, static_cast<std::uint32_t>(macros.size() - 1))].id
                          : RandomValue(rng, 300, 0xFFFFFFFF);
        entry.extra = static_cast<std::uint16_t>(RandomValue(rng, 255, 0xFFFF));
        break;
    case 7:
        entry.param = RandomValue(rng, 17, 0xFFFFFFFF);
        break;
    case 8:
        entry.param = RandomValue(rng, 10, 0xFFFFFFFF);
        break;
    default:
        entry.param = Chance(rng, 80) ? 0 : Pick(rng, 0, 0xFFFFFFFF);
        break;
    }
    if (Chance(rng, 15)) {
        entry.extra = static_cast<std::uint16_t>(Pick(rng, 0, 0xFFFF));
    }
    entry.selection = Chance(rng, 80) ? 0 : Pick(rng, 0, 1) + (Chance(rng, 50) ? 0 : Pick(rng, 0, 0xFFFFFFFF));
    entry.reserved = Chance(rng, 90) ? 0 : Pick(rng, 0, 0xFFFFFFFF);
    return entry;
}

MacroBlock RandomMacro(Rng& rng, std::size_t index, bool small) {
    MacroBlock macro;
    // Ids as the editor gives them, as a damaged area reads back (0, beyond 100), or twice.
    macro.id = static_cast<std::uint16_t>(Chance(rng, 70) ? index + 1 : RandomValue(rng, 101, 0xFFFF));
    macro.name = RandomText(rng, Chance(rng, 10) ? kMaxMacroNameLength : 12);
    macro.repeat = static_cast<std::uint8_t>(Chance(rng, 80) ? Pick(rng, 1, 255) : 0);
    macro.newFlag = static_cast<std::uint16_t>(Chance(rng, 85) ? 0 : RandomValue(rng, 1, 0xFFFF));
    const std::size_t steps = small ? Pick(rng, 0, 2) : Chance(rng, 1) ? kMaxMacroSteps : Pick(rng, 0, 12);
    for (std::size_t i = 0; i < steps; ++i) {
        MacroStep step;
        step.key = static_cast<std::uint16_t>(RandomScanCode(rng, 0xFFFF));
        step.state = static_cast<std::uint16_t>(Pick(rng, 0, 1));
        // Delays read back from a keyboard go up to 40950 ms.
        step.delay = Chance(rng, 85) ? Pick(rng, 0, 4000) * 10 : RandomValue(rng, 40950, 0xFFFFFFFF);
        macro.steps.push_back(step);
    }
    return macro;
}

// The bytes the program writes for an image and its texts (what saving a profile file does).
std::vector<std::uint8_t> WrittenBytes(ProfileImage image, StringTable texts, std::uint8_t flag) {
    const std::vector<std::uint8_t> pool = PackStringPool(image, texts);
    RebuildFileHeader(image, static_cast<std::uint32_t>(pool.size()), flag);
    std::ostringstream out(std::ios::binary);
    EXPECT_TRUE(WriteProfileImage(out, image, pool));
    const std::string text = out.str();
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> RandomFile(Rng& rng) {
    ProfileImage image = MakeDefaultImage();
    StringTable texts;
    const std::size_t macroCount = Chance(rng, 3) ? kMaxMacros : Pick(rng, 0, 6);
    for (std::size_t i = 0; i < macroCount; ++i) {
        image.macros.push_back(RandomMacro(rng, i, macroCount > 10));
    }
    if (Chance(rng, 20)) {
        // G codes in any area, or in none.
        const std::size_t area = Pick(rng, 0, 3);
        for (std::size_t slot = kGSlotBankA; slot < kGSlotBankB + 9; ++slot) {
            KeyEntry entry;
            entry.extra = Chance(rng, 50) ? image.Entry(slot).extra : 0;
            image.SetEntry(RecordIndex(area, slot), entry);
        }
    }
    const std::size_t entries = Pick(rng, 0, 60);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t record = Pick(rng, 0, kKeyEntryCount - 1);
        const KeyEntry entry = RandomEntry(rng, image.macros);
        image.SetEntry(record, entry);
        // Texts for the text entries, and now and then a stale one left in another slot.
        if (CarriesText(entry.type) || Chance(rng, 5)) {
            texts.Set(record, RandomText(rng, Chance(rng, 5) ? 2000 : 20));
        }
    }
    if (Chance(rng, 10)) {
        image.header[kKeyTableHeaderOffset + Pick(rng, 0, 31)] = static_cast<std::uint8_t>(Pick(rng, 0, 255));
    }
    return WrittenBytes(image, texts, static_cast<std::uint8_t>(Pick(rng, 0, 1)));
}

// --- Damage a file the way foreign tools and broken disks do ------------------------------

ProfileFileHeader HeaderOf(const std::vector<std::uint8_t>& bytes) {
    ProfileFileHeader header;
    ProfileFileHeader::Read(bytes, header);
    return header;
}

void FixChecksum(std::vector<std::uint8_t>& bytes) {
    bytes[31] = ProfileFileHeader::Checksum(bytes);
}

// Bytes in places nobody reads (a macro block's reserved fields, the unit where its name's
// terminator belongs, its unused steps), a step state that is neither press nor release, a
// step count above the limit.
void DamageMacroBlock(Rng& rng, std::vector<std::uint8_t>& bytes) {
    const ProfileFileHeader header = HeaderOf(bytes);
    if (header.macroCount == 0) {
        return;
    }
    const std::size_t block = kHeaderBlockSize + kMacroBlockSize * Pick(rng, 0, header.macroCount - 1);
    const std::size_t steps = std::min<std::size_t>(bytes[block + 508] | (bytes[block + 509] << 8), kMaxMacroSteps);
    const std::size_t places[] = {498, 499, 501, 504, 505, 510, 511, 512 + 8 * steps, 512 + 8 * Pick(rng, 0, 3999) + 6,
                                  509};
    const std::size_t at = places[Pick(rng, 0, std::size(places) - 1)];
    if (at < kMacroBlockSize) {
        bytes[block + at] = static_cast<std::uint8_t>(Pick(rng, 0x10, 0xFF));
    }
}

// The texts laid out as another program might: in another order, with junk between them, at
// odd offsets (read at the even offset below).
void RelayPool(Rng& rng, std::vector<std::uint8_t>& bytes) {
    ProfileImage image;
    StringTable texts;
    if (DecodeProfileBytes(bytes, image, texts) != ProfileFormatError::kNone) {
        return;
    }
    std::vector<std::size_t> records;
    for (std::size_t record = 0; record < kKeyEntryCount; ++record) {
        if (CarriesText(image.Entry(record).type)) {
            records.push_back(record);
        }
    }
    std::shuffle(records.begin(), records.end(), rng);
    std::vector<std::uint8_t> pool;
    for (const std::size_t record : records) {
        for (std::uint32_t gap = Pick(rng, 0, 3); gap > 0; --gap) {
            pool.push_back(static_cast<std::uint8_t>(Pick(rng, 0, 255)));
            pool.push_back(static_cast<std::uint8_t>(Pick(rng, 0, 255)));
        }
        KeyEntry entry = image.Entry(record);
        entry.param = static_cast<std::uint32_t>(pool.size()) | Pick(rng, 0, 1);
        image.SetEntry(record, entry);
        for (const char16_t unit : texts.Text(record)) {
            pool.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            pool.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        pool.push_back(0);
        pool.push_back(0);
    }
    for (std::uint32_t tail = Pick(rng, 0, 5); tail > 0; --tail) {
        pool.push_back(static_cast<std::uint8_t>(Pick(rng, 0, 255)));
    }
    const std::size_t macroCount = HeaderOf(bytes).macroCount;
    bytes.resize(kHeaderBlockSize + kMacroBlockSize * macroCount);
    std::copy(image.header.begin() + kKeyTableOffset, image.header.end(), bytes.begin() + kKeyTableOffset);
    bytes.insert(bytes.end(), pool.begin(), pool.end());
    WriteU32(bytes, 8, static_cast<std::uint32_t>(ProfileFileHeader::TotalSizeFor(macroCount, pool.size())));
    WriteU32(bytes, 16, static_cast<std::uint32_t>(pool.size()));
    FixChecksum(bytes);
}

void Damage(Rng& rng, std::vector<std::uint8_t>& bytes) {
    switch (Pick(rng, 0, 4)) {
    case 0: // the file header's reserved bytes
        bytes[20 + Pick(rng, 0, 9)] = static_cast<std::uint8_t>(Pick(rng, 1, 255));
        FixChecksum(bytes);
        break;
    case 1:
        DamageMacroBlock(rng, bytes);
        break;
    case 2:
        RelayPool(rng, bytes);
        break;
    case 3: // bytes after the end the header gives
        for (std::uint32_t n = Pick(rng, 1, 40); n > 0; --n) {
            bytes.push_back(static_cast<std::uint8_t>(Pick(rng, 0, 255)));
        }
        break;
    default: { // any byte after the file header: key entries, macros, texts
        const std::size_t end = std::min<std::size_t>(bytes.size(), HeaderOf(bytes).totalSize);
        bytes[Pick(rng, kFileHeaderSize, static_cast<std::uint32_t>(end - 1))] ^=
            static_cast<std::uint8_t>(Pick(rng, 1, 255));
        break;
    }
    }
}

// --- The checks ----------------------------------------------------------------------------

// Reads JSON as from-json does; the bytes, or an empty vector with `error`.
std::vector<std::uint8_t> FromJson(const std::string& json, std::string& error) {
    ProfileDocument document;
    std::vector<std::uint8_t> bytes;
    if (ProfileDocumentFromJson(json, document, &error)) {
        EncodeProfileDocument(document, bytes, &error);
    }
    return bytes;
}

// Counts which raw forms the JSON uses, so that the test knows it met them all.
void CountRawForms(const Json& value, std::map<std::string, int>& seen) {
    if (value.is_object()) {
        for (const auto& [name, member] : value.items()) {
            if (name.starts_with("raw-") || name == "param" || name == "header-reserved" || name == "trailing-bytes") {
                ++seen[name];
            }
            CountRawForms(member, seen);
        }
    } else if (value.is_array()) {
        for (const auto& item : value) {
            CountRawForms(item, seen);
        }
    }
}

TEST(ProfileJsonRoundTripTest, EveryFileTheLoaderAcceptsComesBackByteForByte) {
    Rng rng(20240611);
    std::map<std::string, int> seen;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes = RandomFile(rng);
        const bool damaged = round % 2 == 1;
        if (damaged) {
            for (std::uint32_t n = Pick(rng, 1, 3); n > 0; --n) {
                Damage(rng, bytes);
            }
        }
        std::string json;
        std::string error;
        const bool converted = ProfileBytesToJson(bytes, json, &error);
        if (CheckProfileBytes(bytes) != ProfileFormatError::kNone) {
            // A byte hit a text's terminator or the file's sizes: not a profile file.
            EXPECT_FALSE(converted) << "round " << round;
            EXPECT_TRUE(error.starts_with("not a valid profile file: ")) << error;
            continue;
        }
        ASSERT_TRUE(converted) << "round " << round << ": " << error;
        std::string back;
        ASSERT_EQ(FromJson(json, back), bytes) << "round " << round << ": " << back;

        std::map<std::string, int> forms;
        CountRawForms(Json::parse(json), forms);
        for (const auto& [form, count] : forms) {
            seen[form] += count;
            // What the program writes is carried in fields, never as bytes.
            const bool asBytes =
                form == "raw-block" || form == "raw-pool" || form == "header-reserved" || form == "trailing-bytes";
            EXPECT_FALSE(asBytes && !damaged) << "round " << round << ": " << form;
        }
    }
    for (const char* form :
         {"raw-id", "raw-repeat", "raw-delay", "param", "raw-block", "raw-pool", "header-reserved", "trailing-bytes"}) {
        EXPECT_GT(seen[form], 0) << form << " never came up";
    }
}

// The values a backup of a damaged macro area holds stay readable, each in its own raw field.
TEST(ProfileJsonRoundTripTest, ValuesBeyondTheLimitsTravelAsRawFields) {
    ProfileImage image = MakeDefaultImage();
    MacroBlock macro;
    macro.id = 1;
    macro.repeat = 0;
    macro.steps = {{40950, 0x1E, 0}, {10, 0x1E, 1}};
    image.macros.push_back(macro);
    macro.repeat = 3;
    macro.steps.clear();
    image.macros.push_back(macro); // a second macro 1
    macro.id = 0;
    image.macros.push_back(macro);
    KeyEntry entry;
    entry.type = 4;
    entry.param = 7; // no macro has it
    image.SetEntry(RecordIndex(0, *ParseSlotName("F1")), entry);
    entry.type = 7;
    entry.param = 18;
    image.SetEntry(RecordIndex(1, *ParseSlotName("F2")), entry);
    entry.type = 8;
    entry.param = 11;
    image.SetEntry(RecordIndex(2, *ParseSlotName("F3")), entry);
    const std::vector<std::uint8_t> bytes = WrittenBytes(image, StringTable(), 0);

    std::string json;
    std::string error;
    ASSERT_TRUE(ProfileBytesToJson(bytes, json, &error)) << error;
    const Json root = Json::parse(json);
    EXPECT_EQ(root["profiles"][0]["keys"]["F1"], Json::parse(R"({"type": "macro", "param": 7})"));
    EXPECT_EQ(root["profiles"][1]["keys"]["F2"], Json::parse(R"({"type": "media", "param": 18})"));
    EXPECT_EQ(root["profiles"][2]["keys"]["F3"], Json::parse(R"({"type": "function", "param": 11})"));
    EXPECT_EQ(root["macros"][0]["id"], 1);
    EXPECT_EQ(root["macros"][0]["raw-repeat"], 0);
    EXPECT_EQ(root["macros"][0]["steps"][0]["raw-delay"], 40950);
    EXPECT_EQ(root["macros"][0]["steps"][1]["delay"], 10);
    EXPECT_EQ(root["macros"][1]["raw-id"], 1);
    EXPECT_EQ(root["macros"][1]["repeat"], 3);
    EXPECT_EQ(root["macros"][2]["raw-id"], 0);
    EXPECT_EQ(FromJson(json, error), bytes) << error;
}

TEST(ProfileJsonRoundTripTest, FilesWhoseJsonWouldBeTooLongAreRefused) {
    ProfileImage image = MakeDefaultImage();
    StringTable texts;
    KeyEntry entry;
    entry.type = 6;
    image.SetEntry(0, entry);
    texts.Set(0, std::u16string(1000, u'\x01')); // six characters of JSON each
    const std::vector<std::uint8_t> bytes = WrittenBytes(image, texts, 0);
    std::string json = "untouched";
    std::string error;
    EXPECT_FALSE(ProfileBytesToJson(bytes, json, &error, 4000));
    EXPECT_TRUE(error.starts_with("its JSON form would take ")) << error;
    EXPECT_EQ(json, "untouched");
    EXPECT_TRUE(ProfileBytesToJson(bytes, json, &error, 8000)) << error;
}

// Raw values are read only in their own fields, never in the checked ones; whatever is read
// gives a file the loader accepts.
TEST(ProfileJsonRoundTripTest, RawValuesAreReadOnlyInTheirOwnFormAndAlwaysGiveAValidFile) {
    // A raw pool holding "hi" at 2, a key naming a missing macro, raw macro values.
    const Json base = Json::parse(R"({
        "format": "brasslane-profile", "version": 1,
        "profiles": [ { "profile": 1, "keys": { "A": { "type": "text", "text": "hi", "param": 2 },
                                                "B": { "type": "macro", "param": 9 } } },
                      { "profile": 2 }, { "profile": 3 } ],
        "macros": [ { "id": 1, "name": "M", "raw-repeat": 0,
                      "steps": [ { "key": "A", "action": "press", "raw-delay": 50000 } ] } ],
        "raw-pool": "7a0068006900000000" })");
    struct Case {
        std::function<void(Json&)> change;
        std::string expected; // empty: accepted
    };
    const std::string block(2 * kMacroBlockSize, '0');
    const std::vector<Case> cases{
        {[](Json&) {}, ""},
        {[&](Json& j) {
             j["macros"].push_back(Json{{"raw-block", block}});
         },
         ""}, // id 0
        {[](Json& j) {
             j["macros"].push_back(Json{{"raw-id", 1}});
         },
         ""},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "function"}, {"param", 4000000000U}};
         },
         ""},
        {[](Json& j) { j["header-reserved"] = "00112233445566778899"; }, ""},
        {[](Json& j) { j["trailing-bytes"] = "00ff"; }, ""},
        // Values beyond the limits are refused in the checked fields, and not given twice.
        {[](Json& j) { j["macros"][0]["repeat"] = 0; }, R"(macros[0].raw-repeat: cannot be given together with)"},
        {[](Json& j) { j["macros"][0]["steps"][0]["delay"] = 40001; },
         R"(macros[0].steps[0].raw-delay: cannot be given together with "delay")"},
        {[](Json& j) {
             j["macros"].push_back(Json{{"id", 1}});
         },
         "macros[1].id: another macro has id 1"},
        {[](Json& j) { j["macros"][0]["raw-id"] = 5; }, R"(macros[0].raw-id: cannot be given together with "id")"},
        {[](Json& j) {
             j["macros"].push_back(Json{{"raw-id", 65536}});
         },
         "macros[1].raw-id: 65536 is outside 0..65535"},
        {[](Json& j) { j["macros"][0]["raw-repeat"] = 256; }, "macros[0].raw-repeat: 256 is outside 0..255"},
        {[](Json& j) { j["profiles"][0]["keys"]["B"]["macro"] = 1; },
         R"(profiles[0].keys.B.param: cannot be given together with "macro")"},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "macro"}, {"macro", 9}};
         },
         "profiles[0].keys.B.macro: no macro has id 9"},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "media"}, {"function", 18}};
         },
         "profiles[0].keys.B.function: 18 is outside 0..17"},
        // A whole block stands alone, at its size.
        {[&](Json& j) {
             j["macros"][0] = Json{{"raw-block", block}, {"name", "x"}};
         },
         "macros[0].name: unknown field"},
        {[&](Json& j) {
             j["macros"][0] = Json{{"raw-block", "zz" + block.substr(2)}};
         },
         "macros[0].raw-block: must be 65024 hexadecimal digits"},
        // Texts of a raw pool must be the ones it holds, found as the loader finds them.
        {[](Json& j) { j["profiles"][0]["keys"]["A"]["text"] = "ho"; },
         R"(profiles[0].keys.A.text: is not the text "raw-pool" holds at 2)"},
        {[](Json& j) { j["profiles"][0]["keys"]["A"]["param"] = 8; },
         R"(profiles[0].keys.A.param: no text of "raw-pool" starts at 8)"},
        {[](Json& j) { j["profiles"][0]["keys"]["A"]["param"] = 4000000000U; },
         R"(profiles[0].keys.A.param: no text of "raw-pool" starts at 4000000000)"},
        {[](Json& j) {
             j["profiles"][0]["keys"]["C"] = Json{{"type", "program"}, {"param", 3}};
         },
         "raw-pool: holds fewer bytes than the texts of its entries add up to"}, // 2 x 6 bytes in 9
        {[](Json& j) { j["raw-pool"] = "7a006"; }, "raw-pool: must be hexadecimal digits, two for each byte"},
        {[](Json& j) { j["pool-padding"] = 2; }, R"(raw-pool: cannot be given together with "pool-padding")"},
        {[](Json& j) { j.erase("raw-pool"); }, R"(profiles[0].keys.A.param: is only given with "raw-pool")"},
        {[](Json& j) { j["header-reserved"] = "00"; }, "header-reserved: must be 20 hexadecimal digits"},
        {[](Json& j) { j["trailing-bytes"] = 1; }, "trailing-bytes: must be a text"},
    };
    for (const Case& c : cases) {
        Json document = base;
        c.change(document);
        std::string error;
        const std::vector<std::uint8_t> bytes = FromJson(document.dump(), error);
        if (c.expected.empty()) {
            EXPECT_EQ(CheckProfileBytes(bytes), ProfileFormatError::kNone) << document.dump() << "\n" << error;
        } else {
            EXPECT_TRUE(bytes.empty()) << c.expected;
            EXPECT_EQ(error.substr(0, c.expected.size()), c.expected);
        }
    }
}

} // namespace
} // namespace brasslane::cli
