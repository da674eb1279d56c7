// Profile files as JSON: byte-exact round trips of what the program writes, the JSON paths in
// error messages, and the limits.

#include "ProfileJson.h"

#include "core/keys/KeyEntry.h"
#include "core/keys/KeyNames.h"
#include "core/profiles/ProfileFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace brasslane::cli {
namespace {

using Json = nlohmann::ordered_json;

// The bytes the program writes for an image and its texts (what saving a profile file does).
std::vector<std::uint8_t> WrittenBytes(ProfileImage image, StringTable texts, std::uint8_t flag = 0) {
    const std::vector<std::uint8_t> pool = PackStringPool(image, texts);
    RebuildFileHeader(image, static_cast<std::uint32_t>(pool.size()), flag);
    std::ostringstream out(std::ios::binary);
    EXPECT_TRUE(WriteProfileImage(out, image, pool));
    const std::string text = out.str();
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> ThroughJson(const std::vector<std::uint8_t>& bytes, std::string* json = nullptr) {
    ProfileDocument document;
    std::string error;
    EXPECT_TRUE(DecodeProfileDocument(bytes, document, &error)) << error;
    const std::string text = ProfileDocumentToJson(document);
    if (json != nullptr) {
        *json = text;
    }
    ProfileDocument back;
    EXPECT_TRUE(ProfileDocumentFromJson(text, back, &error)) << error << "\n" << text;
    std::vector<std::uint8_t> result;
    EXPECT_TRUE(EncodeProfileDocument(back, result, &error)) << error;
    return result;
}

KeyEntry Entry(std::uint16_t type, std::uint32_t param = 0, std::uint16_t extra = 0) {
    KeyEntry entry;
    entry.type = type;
    entry.param = param;
    entry.extra = extra;
    return entry;
}

std::size_t SlotOf(std::string_view name) {
    return *ParseSlotName(name);
}

MacroBlock Macro(std::uint16_t id, std::u16string name, std::vector<MacroStep> steps, std::uint8_t repeat = 1) {
    MacroBlock macro;
    macro.id = id;
    macro.name = std::move(name);
    macro.steps = std::move(steps);
    macro.repeat = repeat;
    return macro;
}

TEST(ProfileJsonTest, DefaultFilesRoundTripByteForByte) {
    for (const std::uint8_t flag : {0, 1}) {
        const ProfileImage image = MakeDefaultImage(flag);
        const std::vector<std::uint8_t> bytes = WrittenBytes(image, StringTable(), flag);
        std::string json;
        EXPECT_EQ(ThroughJson(bytes, &json), bytes) << "flag " << int{flag};

        const Json root = Json::parse(json);
        EXPECT_EQ(root.contains("flag"), flag != 0);
        EXPECT_FALSE(root.contains("key-table-header"));
        EXPECT_FALSE(root.contains("extra-area"));
        // A new file has G codes in its first area only.
        EXPECT_TRUE(root["profiles"][0]["g-codes"].get<bool>());
        EXPECT_FALSE(root["profiles"][1]["g-codes"].get<bool>());
        for (const auto& profile : root["profiles"]) {
            EXPECT_TRUE(profile["keys"].empty());
        }
    }
}

TEST(ProfileJsonTest, FileWithEveryKindOfContentRoundTripsByteForByte) {
    ProfileImage image = MakeDefaultImage();
    StringTable texts;
    const auto set = [&](std::size_t area, std::string_view key, const KeyEntry& entry) {
        image.SetEntry(RecordIndex(area, SlotOf(key)), entry);
    };
    set(0, "A", Entry(2, 0x30));    // key B
    set(0, "B", Entry(2, 0x171));   // left mouse button
    set(0, "C", Entry(2, 0x19E));   // a code whose slot belongs to another key
    set(0, "D", Entry(2, 0x12345)); // a target beyond 16 bits
    set(0, "E", Entry(1));          // disabled
    set(0, "F", Entry(3));          // program
    texts.Set(RecordIndex(0, SlotOf("F")), u"/usr/bin/gnome-calculator");
    set(0, "G", Entry(4, 2, 3)); // macro 2, repeat 3
    set(0, "H", Entry(4, 1, 0)); // macro 1 read back from a keyboard (no repeat)
    set(0, "I", Entry(5));       // stop macro
    set(0, "J", Entry(6));       // text, with a character outside the BMP
    texts.Set(RecordIndex(0, SlotOf("J")), u"Gr\u00fc\u00dfe \U0001F600");
    set(0, "K", Entry(7, 17)); // media
    set(0, "L", Entry(8, 10)); // keyboard function
    set(0, "M", Entry(0, 99)); // default with a stray param
    set(0, "0x055", Entry(1)); // a slot without a key of its own
    set(0, "0x136", Entry(1)); // Right Shift's second code
    set(0, ".", Entry(2, 0x1E));
    set(0, "G1", Entry(4, 1, 5)); // the G code gives way to the repeat count
    set(0, "G9B", Entry(6, 0, 0x1309));
    texts.Set(RecordIndex(0, SlotOf("G9B")), u"");
    set(0, "slot300", Entry(12, 7)); // a type this program does not know
    KeyEntry selected = Entry(2, 0x1F);
    selected.selection = 1;
    selected.reserved = 0xDEADBEEF;
    set(1, "S", selected);
    set(1, "P", Entry(6));
    // An unpaired surrogate cannot be UTF-8: it travels as code units.
    texts.Set(RecordIndex(1, SlotOf("P")), std::u16string{u'a', char16_t(0xD800), u'b'});
    set(2, "G3", Entry(0, 0, 0x0303)); // one G code in an area without the others
    set(3, "Z", Entry(7, 3));          // the fourth area
    // A text left in the table of an entry that no longer carries one: it still counts in
    // the pool, which the program pads with zeros.
    texts.Set(RecordIndex(2, SlotOf("Q")), u"stale");

    image.macros.push_back(Macro(1, u"Hello", {{123, 0x23, 0}, {2, 0x23, 1}, {40000, 0x1D, 0}}, 255));
    MacroBlock second = Macro(2, std::u16string(249, u'x'), {{0, 0x162, 1}});
    second.newFlag = 1;
    image.macros.push_back(second);
    image.macros.push_back(Macro(7, std::u16string{char16_t(0xDC00)}, {}));
    // A key table header of a file made elsewhere survives a save unchanged.
    image.header[kKeyTableOffset - 1] = 0x5A;

    const std::vector<std::uint8_t> bytes = WrittenBytes(image, texts);
    std::string json;
    EXPECT_EQ(ThroughJson(bytes, &json), bytes);

    const Json root = Json::parse(json);
    const Json& keys = root["profiles"][0]["keys"];
    EXPECT_EQ(keys["A"], Json::parse(R"({"type": "key", "key": "B"})"));
    EXPECT_EQ(keys["G"], Json::parse(R"({"type": "macro", "macro": 2, "repeat": 3})"));
    EXPECT_EQ(keys["H"], Json::parse(R"({"type": "macro", "macro": 1})"));
    EXPECT_EQ(keys["C"]["key"], "0x19E");
    EXPECT_EQ(keys["F"]["path"], "/usr/bin/gnome-calculator");
    EXPECT_EQ(keys["J"]["text"], "Gr\u00fc\u00dfe \U0001F600");
    EXPECT_EQ(root["profiles"][1]["keys"]["P"]["text-units"], Json::parse("[97, 55296, 98]"));
    EXPECT_FALSE(root["profiles"][2]["g-codes"].get<bool>());
    EXPECT_EQ(root["profiles"][2]["keys"]["G3"]["extra"], 0x0303);
    EXPECT_TRUE(root.contains("pool-padding"));
    EXPECT_TRUE(root.contains("key-table-header"));
    EXPECT_EQ(root["extra-area"]["keys"]["Z"]["function"], 3);
    EXPECT_EQ(root["macros"][1]["new"], 1);
    EXPECT_EQ(root["macros"][2]["name-units"], Json::parse("[56320]"));
    EXPECT_EQ(root["macros"][0]["steps"][1], Json::parse(R"({"key": "H", "action": "release", "delay": 2})"));

    // Converting the JSON again gives the same JSON.
    ProfileDocument again;
    std::string error;
    ASSERT_TRUE(ProfileDocumentFromJson(json, again, &error)) << error;
    EXPECT_EQ(ProfileDocumentToJson(again), json);
}

// A small valid document that the error cases below change one thing of.
Json ValidDocument() {
    return Json::parse(R"({
        "format": "brasslane-profile", "version": 1,
        "profiles": [ { "profile": 1, "keys": { "A": { "type": "key", "key": "B" },
                                                "F1": { "type": "macro", "macro": 1, "repeat": 1 } } },
                      { "profile": 2, "keys": {} }, { "profile": 3, "keys": {} } ],
        "macros": [ { "id": 1, "name": "Hello", "repeat": 1,
                      "steps": [ { "key": "H", "action": "press", "delay": 50 },
                                 { "key": "H", "action": "release", "delay": 0 } ] } ] })");
}

std::string ErrorOf(const std::string& text) {
    ProfileDocument document;
    std::string error;
    EXPECT_FALSE(ProfileDocumentFromJson(text, document, &error)) << text;
    return error;
}

std::string ErrorOf(const Json& root) {
    return ErrorOf(root.dump());
}

TEST(ProfileJsonTest, ValidDocumentGivesTheAssignments) {
    ProfileDocument document;
    std::string error;
    ASSERT_TRUE(ProfileDocumentFromJson(ValidDocument().dump(), document, &error)) << error;
    EXPECT_EQ(document.image.Entry(RecordIndex(0, SlotOf("A"))), Entry(2, 0x30));
    EXPECT_EQ(document.image.Entry(RecordIndex(0, SlotOf("F1"))), Entry(4, 1, 1));
    // A missing "g-codes" means the G keys carry their codes, as in a keyboard's backup.
    EXPECT_EQ(document.image.Entry(RecordIndex(2, SlotOf("G4B"))).extra, 0x1304);
    ASSERT_EQ(document.image.macros.size(), 1U);
    EXPECT_EQ(document.image.macros[0].name, u"Hello");
    EXPECT_EQ(document.image.macros[0].steps[0], (MacroStep{50, 0x23, 0}));

    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeProfileDocument(document, bytes, &error));
    EXPECT_EQ(CheckProfileBytes(bytes), ProfileFormatError::kNone);
    EXPECT_EQ(bytes.size(), kHeaderBlockSize + kMacroBlockSize);
}

TEST(ProfileJsonTest, ErrorsNameTheJsonPathOfTheFault) {
    struct Case {
        std::function<void(Json&)> change;
        std::string expected;
    };
    const std::vector<Case> cases{
        {[](Json& j) { j["profiles"][0]["keys"]["A"]["type"] = "kye"; },
         R"(profiles[0].keys.A.type: unknown type "kye")"},
        {[](Json& j) { j["profiles"][1]["keys"]["Nope"] = Json::parse(R"({"type": "disabled"})"); },
         R"(profiles[1].keys.Nope: unknown key "Nope")"},
        {[](Json& j) { j["profiles"][0]["keys"]["."] = Json::parse(R"({"type": "key"})"); },
         R"(profiles[0].keys["."].key: is missing)"},
        {[](Json& j) { j["profiles"][0]["keys"]["A"]["key"] = "Nokey"; },
         R"(profiles[0].keys.A.key: unknown key "Nokey")"},
        {[](Json& j) { j["profiles"][0]["keys"]["A"]["colour"] = 1; }, "profiles[0].keys.A.colour: unknown field"},
        {[](Json& j) { j["profiles"][0]["keys"]["0x01E"] = Json::parse(R"({"type": "disabled"})"); },
         R"(profiles[0].keys.0x01E: names the same key as "A")"},
        {[](Json& j) { j["profiles"][0]["keys"]["F1"]["macro"] = 7; }, "profiles[0].keys.F1.macro: no macro has id 7"},
        {[](Json& j) { j["macros"][0]["steps"][1]["action"] = "hold"; },
         R"(macros[0].steps[1].action: must be "press" or "release", not "hold")"},
        {[](Json& j) { j["macros"][0]["steps"][0]["key"] = 5; }, "macros[0].steps[0].key: must be a text"},
        {[](Json& j) { j["macros"][0]["steps"][0]["delay"] = 1.5; },
         "macros[0].steps[0].delay: must be a whole number"},
        {[](Json& j) { j["profiles"][2]["profile"] = 2; }, "profiles[2].profile: profile 2 is listed twice"},
        {[](Json& j) { j["profiles"].erase(2); }, "profiles: must be an array of the 3 profiles"},
        {[](Json& j) { j["profiles"][0]["g-codes"] = "yes"; }, "profiles[0].g-codes: must be true or false"},
        {[](Json& j) { j.erase("format"); }, "format: is missing"},
        {[](Json& j) { j["version"] = 2; }, "version: this program reads version 1"},
        {[](Json& j) { j["flag"] = 2; }, "flag: 2 is outside 0..1"},
        {[](Json& j) { j["key-table-header"] = "00"; }, "key-table-header: must be 64 hexadecimal digits"},
        {[](Json& j) { j["extra"] = true; }, "extra: unknown field"},
        {[](Json& j) {
             j["macros"][0]["name"] = "a";
             j["macros"][0]["name-units"] = {98};
         },
         R"(macros[0].name-units: cannot be given together with "name")"},
        {[](Json& j) { j["profiles"][0]["keys"]["B"] = Json::parse(R"({"type": "text", "text": "a\u0000b"})"); },
         "profiles[0].keys.B.text: must not contain a NUL character"},
    };
    for (const Case& c : cases) {
        Json document = ValidDocument();
        c.change(document);
        EXPECT_EQ(ErrorOf(document).substr(0, c.expected.size()), c.expected);
    }
    EXPECT_EQ(ErrorOf(std::string("{ \"format\": ")).substr(0, 15), "not valid JSON:");
    EXPECT_EQ(ErrorOf(std::string("[]")), "(document): must be an object");
    std::string twice = ValidDocument().dump();
    twice.replace(twice.find("\"A\""), 3, "\"F1\"");
    EXPECT_NE(ErrorOf(twice).find("\"F1\" appears twice"), std::string::npos);
}

TEST(ProfileJsonTest, LimitsAreCheckedAtTheirEdges) {
    struct Case {
        std::function<void(Json&)> change;
        std::string expected; // empty: accepted
    };
    const auto macros = [](std::size_t count) {
        Json list = Json::array();
        for (std::size_t i = 1; i <= count; ++i) {
            list.push_back(Json{{"id", i}});
        }
        return list;
    };
    const auto steps = [](std::size_t count) {
        Json list = Json::array();
        for (std::size_t i = 0; i < count; ++i) {
            list.push_back(Json{{"key", "A"}, {"action", "press"}});
        }
        return list;
    };
    const std::vector<Case> cases{
        {[&](Json& j) { j["macros"] = macros(100); }, ""},
        {[&](Json& j) { j["macros"] = macros(101); }, "macros: holds 101 macros; at most 100 are allowed"},
        {[&](Json& j) { j["macros"][0]["steps"] = steps(4000); }, ""},
        {[&](Json& j) { j["macros"][0]["steps"] = steps(4001); },
         "macros[0].steps: holds 4001 steps; at most 4000 are allowed"},
        {[](Json& j) { j["macros"][0]["steps"][0]["delay"] = 40000; }, ""},
        {[](Json& j) { j["macros"][0]["steps"][0]["delay"] = 40001; },
         "macros[0].steps[0].delay: 40001 is outside 0..40000"},
        {[](Json& j) { j["macros"][0]["steps"][0]["delay"] = -10; }, "macros[0].steps[0].delay: -10 is outside"},
        {[](Json& j) { j["macros"][0]["repeat"] = 255; }, ""},
        {[](Json& j) { j["macros"][0]["repeat"] = 0; }, "macros[0].repeat: 0 is outside 1..255"},
        {[](Json& j) { j["macros"][0]["repeat"] = 256; }, "macros[0].repeat: 256 is outside 1..255"},
        {[](Json& j) { j["macros"][0]["name"] = std::string(249, 'n'); }, ""},
        {[](Json& j) { j["macros"][0]["name"] = std::string(250, 'n'); },
         "macros[0].name: is longer than 249 characters"},
        {[](Json& j) { j["macros"][0]["id"] = 0; }, "macros[0].id: 0 is outside 1..100"},
        {[](Json& j) { j["macros"][0]["id"] = 101; }, "macros[0].id: 101 is outside 1..100"},
        {[](Json& j) {
             j["macros"].push_back(Json{{"id", 1}});
         },
         "macros[1].id: another macro has id 1"},
        {[](Json& j) { j["profiles"][0]["keys"]["F1"]["repeat"] = 256; },
         "profiles[0].keys.F1.repeat: 256 is outside 0..255"},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "media"}, {"function", 17}};
         },
         ""},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "media"}, {"function", 18}};
         },
         "profiles[0].keys.B.function: 18 is outside 0..17"},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "function"}, {"function", 11}};
         },
         "profiles[0].keys.B.function: 11 is outside 0..10"},
        {[](Json& j) {
             j["profiles"][0]["keys"]["B"] = Json{{"type", "key"}, {"key", "0x100000000"}};
         },
         R"(profiles[0].keys.B.key: unknown key "0x100000000")"},
    };
    for (const Case& c : cases) {
        Json document = ValidDocument();
        c.change(document);
        ProfileDocument result;
        std::string error;
        const bool read = ProfileDocumentFromJson(document.dump(), result, &error);
        if (c.expected.empty()) {
            EXPECT_TRUE(read) << error;
        } else {
            EXPECT_FALSE(read);
            EXPECT_EQ(error.substr(0, c.expected.size()), c.expected);
        }
    }
}

TEST(ProfileJsonTest, FailedReadsLeaveTheDocumentAlone) {
    ProfileDocument document;
    std::string error;
    ASSERT_TRUE(ProfileDocumentFromJson(ValidDocument().dump(), document, &error));
    const std::vector<std::uint8_t> before = document.image.header;

    Json broken = ValidDocument();
    broken["macros"][0]["steps"][1]["action"] = "hold";
    EXPECT_FALSE(ProfileDocumentFromJson(broken.dump(), document, &error));
    EXPECT_EQ(document.image.header, before);
    EXPECT_EQ(document.image.macros.size(), 1U);

    // Bytes that are not a profile file are refused too.
    std::vector<std::uint8_t> bytes = WrittenBytes(MakeDefaultImage(), StringTable());
    EXPECT_FALSE(DecodeProfileDocument(std::span(bytes).first(100), document, &error));
    EXPECT_EQ(error, "the file is too short to be a profile");
    bytes[31] ^= 1;
    EXPECT_FALSE(DecodeProfileDocument(bytes, document, &error));
    EXPECT_EQ(error, "the file header is not that of a profile");
    EXPECT_EQ(document.image.header, before);
}

} // namespace
} // namespace brasslane::cli
