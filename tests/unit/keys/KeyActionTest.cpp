#include "core/keys/KeyAction.h"

#include "core/keys/MacroBlob.h"
#include "core/keys/ProfileImage.h"
#include "KeysTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace brasslane {
namespace {

KeyEntry Entry(AssignmentType type, std::uint32_t param = 0) {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(type);
    entry.param = param;
    return entry;
}

std::vector<MacroBlock> MacrosWithIds(std::initializer_list<std::uint16_t> ids) {
    std::vector<MacroBlock> macros;
    for (std::uint16_t id : ids) {
        MacroBlock macro;
        macro.id = id;
        macro.name = u"M" + std::u16string(1, static_cast<char16_t>(u'0' + id % 10));
        macros.push_back(macro);
    }
    return macros;
}

TEST(KeyAction, BuiltInDefaultMap) {
    const auto map = BuiltInDefaultKeyMap();
    EXPECT_EQ(KeyAction::At(map, 53), (KeyAction{5, 2, 2}));
    EXPECT_EQ(KeyAction::At(map, 125), (KeyAction{2, 2, 0x63}));
    EXPECT_TRUE(std::all_of(map.begin() + 378, map.end(), [](std::uint8_t b) { return b == 0; }));
    // Reading or writing past the end of a map is refused.
    std::array<std::uint8_t, 5> small{1, 2, 3, 4, 5};
    EXPECT_EQ(KeyAction::At(small, 1), KeyAction{});
    EXPECT_FALSE((KeyAction{9, 9, 9}).Put(small, 1));
    EXPECT_EQ(small[4], 5);
}

TEST(KeyAction, DecodePosition) {
    const struct {
        KeyAction action;
        ScanCode code;
    } cases[] = {
        {{2, 2, 0x29}, 0x01},  {{2, 1, 0x02}, 0x2A},  {{2, 1, 0x30}, 0x11D}, {{2, 7, 0x01}, 0x1D},
        {{2, 1, 0x00}, 0},     {{2, 2, 0x31}, 0},     {{2, 2, 0xCD}, 0x120}, {{3, 0xB6, 0}, 0x110},
        {{3, 0xCD, 0}, 0x122}, {{3, 0x23, 2}, 0x132}, {{3, 0x2E, 2}, 0},     {{1, 1, 0x04}, 0x173},
        {{1, 1, 0x03}, 0},     {{1, 5, 0xFF}, 0x162}, {{1, 5, 0x02}, 0},     {{1, 2, 0x01}, 0},
        {{4, 0x81, 0}, 0x15E}, {{4, 0x84, 0}, 0},     {{4, 0x81, 1}, 0},     {{6, 0xA2, 1}, 0x200},
        {{6, 0xA2, 0}, 0x1FF}, {{6, 0xA1, 1}, 0},     {{5, 0, 0}, 0},        {{5, 2, 2}, 0},
        {{0, 0, 0}, 0},        {{7, 2, 4}, 0},        {{0xFF, 2, 4}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodePosition(c.action), c.code)
            << int{c.action.kind} << " " << int{c.action.sub} << " " << int{c.action.value};
    }
}

TEST(KeyAction, EncodeByType) {
    const KeyAction keyA{2, 2, 0x04};
    const auto macros = MacrosWithIds({7, 3, 9});
    const struct {
        KeyEntry entry;
        KeyAction expected;
    } cases[] = {
        {Entry(AssignmentType::kDefault, 0x1D), keyA},
        {Entry(AssignmentType::kDisabled), {0, 0, 0}},
        {Entry(AssignmentType::kProgram, 40), keyA},
        {Entry(AssignmentType::kText, 40), {0, 0, 0}},
        {Entry(AssignmentType::kKey, 0x1D), {2, 1, 0x01}},
        {Entry(AssignmentType::kKey, 0x2A), {2, 1, 0x02}},
        {Entry(AssignmentType::kKey, 0x38), {2, 1, 0x04}},
        {Entry(AssignmentType::kKey, 0x15B), {2, 1, 0x08}},
        {Entry(AssignmentType::kKey, 0x11D), {2, 1, 0x10}},
        {Entry(AssignmentType::kKey, 0x36), {2, 1, 0x20}},
        {Entry(AssignmentType::kKey, 0x138), {2, 1, 0x40}},
        {Entry(AssignmentType::kKey, 0x15C), {2, 1, 0x80}},
        {Entry(AssignmentType::kKey, 0x171), {1, 1, 0x01}},
        {Entry(AssignmentType::kKey, 0x172), {1, 1, 0x02}},
        {Entry(AssignmentType::kKey, 0x173), {1, 1, 0x04}},
        {Entry(AssignmentType::kKey, 0x161), {1, 5, 0x01}},
        {Entry(AssignmentType::kKey, 0x162), {1, 5, 0xFF}},
        {Entry(AssignmentType::kKey, 0x120), {2, 2, 0xCD}}, // a media key goes as its one-byte code
        {Entry(AssignmentType::kKey, 0x136), {2, 2, 0xE5}},
        {Entry(AssignmentType::kKey, 0x30), {2, 2, 0x05}},
        {Entry(AssignmentType::kKey, 0x15E), {2, 2, 0x00}}, // Power is no keyboard-page key
        {Entry(AssignmentType::kKey, 0x176), {2, 2, 0x00}},
        {Entry(AssignmentType::kKey, 0x1001E), {2, 2, 0x00}},
        {Entry(AssignmentType::kMacro, 3), {5, 1, 1}},
        {Entry(AssignmentType::kMacro, 9), {5, 1, 2}},
        {Entry(AssignmentType::kMacro, 42), {5, 1, 0}},
        {Entry(AssignmentType::kStopMacro), {5, 2, 0}},
        {Entry(AssignmentType::kMedia, 1), {3, 0xCD, 0x00}},
        {Entry(AssignmentType::kMedia, 8), {3, 0x23, 0x02}},
        {Entry(AssignmentType::kMedia, 17), {3, 0x8A, 0x01}},
        {Entry(AssignmentType::kMedia, 18), keyA}, // past the list: the key keeps its function
        {Entry(AssignmentType::kMedia, 0xFFFFFFFF), keyA},
        {Entry(AssignmentType::kFunction, 10), {5, 5, 0x0A}},
        {Entry(AssignmentType::kFunction, 0x1FF), {5, 5, 0xFF}},
        {Entry(static_cast<AssignmentType>(9), 1), keyA},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeKeyEntry(c.entry, keyA, macros), c.expected) << c.entry.type << " " << c.entry.param;
    }
}

TEST(KeyAction, DecodeActionRead) {
    const struct {
        KeyAction action;
        AssignmentType type;
        std::uint32_t param;
    } cases[] = {
        {{5, 1, 2}, AssignmentType::kMacro, 3},       {{5, 2, 7}, AssignmentType::kStopMacro, 0},
        {{5, 5, 3}, AssignmentType::kFunction, 3},    {{5, 0, 0}, AssignmentType::kDisabled, 0},
        {{3, 0xCD, 0}, AssignmentType::kMedia, 1},    {{3, 0x34, 0x12}, AssignmentType::kDisabled, 0},
        {{1, 1, 2}, AssignmentType::kKey, 0x172},     {{1, 5, 1}, AssignmentType::kKey, 0x161},
        {{1, 5, 2}, AssignmentType::kDisabled, 0},    {{1, 1, 3}, AssignmentType::kDisabled, 0},
        {{2, 2, 0xCD}, AssignmentType::kKey, 0x120},  {{2, 2, 0x31}, AssignmentType::kDisabled, 0},
        {{2, 1, 0x20}, AssignmentType::kKey, 0x36},   {{2, 1, 0x00}, AssignmentType::kDisabled, 0},
        {{0, 0, 0}, AssignmentType::kDisabled, 0},    {{4, 0x81, 0}, AssignmentType::kDisabled, 0},
        {{6, 0xA2, 1}, AssignmentType::kDisabled, 0},
    };
    for (const auto& c : cases) {
        const KeyEntry entry = DecodeKeyAction(c.action);
        EXPECT_EQ(entry.Type(), c.type) << int{c.action.kind} << " " << int{c.action.sub} << " " << int{c.action.value};
        EXPECT_EQ(entry.param, c.param) << int{c.action.kind} << " " << int{c.action.sub};
        EXPECT_EQ(entry.extra, 0);
    }
}

TEST(KeyAction, DecodeKeyMapIntoArea) {
    ProfileImage image;
    for (std::size_t r = 0; r < kKeyEntryCount; ++r) {
        image.SetEntry(r, KeyEntry{6, 0x77, 0x1234, 1, 9});
    }
    const auto defaults = BuiltInDefaultKeyMap();
    auto read = defaults;
    KeyAction{1, 1, 0x01}.Put(read, 19);  // A (02 02 04) -> left button
    KeyAction{0, 0, 0}.Put(read, 8);      // Esc disabled
    KeyAction{5, 1, 4}.Put(read, 112);    // Prev Track -> fifth macro
    KeyAction{2, 2, 0x05}.Put(read, 0);   // a never-remapped position: ignored
    KeyAction{2, 2, 0x05}.Put(read, 127); // beyond the key count: ignored
    DecodeKeyMap(read, defaults, 126, image, 1);

    EXPECT_EQ(image.Entry(RecordIndex(1, 0x1E)), Entry(AssignmentType::kKey, 0x171));
    EXPECT_EQ(image.Entry(RecordIndex(1, 0x01)), Entry(AssignmentType::kDisabled));
    EXPECT_EQ(image.Entry(RecordIndex(1, ToScanIndex(0x110))), Entry(AssignmentType::kMacro, 5));
    std::size_t assigned = 0;
    for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
        const KeyEntry entry = image.Entry(RecordIndex(1, slot));
        assigned += entry.type != 0;
        if (slot >= kGSlotBankA && slot < kGSlotBankA + 9) {
            EXPECT_EQ(entry.extra, kGCodeBankA + (slot - kGSlotBankA + 1));
        } else if (slot >= kGSlotBankB && slot < kGSlotBankB + 9) {
            EXPECT_EQ(entry.extra, kGCodeBankB + (slot - kGSlotBankB + 1));
        } else {
            EXPECT_EQ(entry.extra, 0) << slot;
        }
        EXPECT_EQ(entry.selection, 0u);
    }
    EXPECT_EQ(assigned, 3u);
    // Other areas are not touched.
    EXPECT_EQ(image.Entry(RecordIndex(0, 0x1E)), (KeyEntry{6, 0x77, 0x1234, 1, 9}));
    EXPECT_EQ(image.Entry(RecordIndex(2, 0x1E)), (KeyEntry{6, 0x77, 0x1234, 1, 9}));

    // Short or missing maps and a bad area are safe.
    DecodeKeyMap(std::span<const std::uint8_t>(read).first(10), defaults, 126, image, 2);
    EXPECT_EQ(image.Entry(RecordIndex(2, 0x1E)), KeyEntry{});
    DecodeKeyMap(read, {}, 126, image, 3);
    DecodeKeyMap(read, defaults, 126, image, 4);

    // A named-key position reaches a G-key slot and keeps its G code.
    std::array<std::uint8_t, kKeyMapBufferSize> gDefaults{};
    KeyAction{6, 0xA2, 1}.Put(gDefaults, 0);
    auto gRead = gDefaults;
    KeyAction{5, 2, 0}.Put(gRead, 0);
    DecodeKeyMap(gRead, gDefaults, 1, image, 0);
    EXPECT_EQ(image.Entry(RecordIndex(0, kGSlotBankA)),
              (KeyEntry{static_cast<std::uint16_t>(AssignmentType::kStopMacro), kGCodeBankA + 1, 0, 0, 0}));
}

// What the keyboard can hold of an entry: the form it reads back as.
KeyEntry HeldForm(const KeyEntry& entry, KeyAction defaultAction, std::span<const MacroBlock> macros) {
    const KeyAction action = EncodeKeyEntry(entry, defaultAction, macros);
    return action == defaultAction ? KeyEntry{} : DecodeKeyAction(action);
}

TEST(KeyAction, RandomAssignmentsSurviveEncodeAndDecode) {
    std::mt19937 random(20240611);
    const auto macros = MacrosWithIds({1, 2, 3, 4, 5}); // ids as read back: 1..n
    const auto defaults = BuiltInDefaultKeyMap();
    const ScanCode targets[] = {0x1D,  0x36,  0x136, 0x15C, 0x171, 0x172, 0x173, 0x161, 0x162, 0x120,
                                0x15E, 0x176, 0x1E,  0x11C, 0x145, 0x55,  0x200, 0x45,  0x146, 0x0};
    for (int round = 0; round < 200; ++round) {
        ProfileImage image;
        for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
            KeyEntry entry;
            entry.type = static_cast<std::uint16_t>(random() % 9);
            switch (entry.Type()) {
            case AssignmentType::kKey:
                entry.param = random() % 2 ? targets[random() % std::size(targets)] : random() % 0x180;
                break;
            case AssignmentType::kMacro:
                entry.param = random() % 10;
                break;
            case AssignmentType::kMedia:
                entry.param = random() % 20;
                break;
            case AssignmentType::kFunction:
                entry.param = random() % 11;
                break;
            default:
                entry.param = random();
                break;
            }
            image.SetEntry(RecordIndex(2, slot), entry);
        }
        const auto map = EncodeKeyMap(defaults, 126, image, 2, macros);
        // Never-remapped positions keep their default.
        for (std::size_t i = 0; i < kKeyMapBufferSize / 3; ++i) {
            const KeyAction d = KeyAction::At(defaults, i);
            if (i >= 126 || d == KeyAction{5, 0, 0} || d == KeyAction{0, 0, 0} || d == KeyAction{5, 2, 2}) {
                EXPECT_EQ(KeyAction::At(map, i), d) << i;
            }
        }
        ProfileImage back;
        DecodeKeyMap(map, defaults, 126, back, 2);
        // Writing what was read back gives the same key map, except that a key without a code
        // (02 02 00) is written as disabled and a modifier's keyboard code as its modifier bit.
        const auto again = EncodeKeyMap(defaults, 126, back, 2, macros);
        for (std::size_t i = 0; i < 126; ++i) {
            const KeyAction first = KeyAction::At(map, i);
            const KeyAction second = KeyAction::At(again, i);
            if (first == KeyAction{2, 2, 0}) {
                EXPECT_EQ(second, KeyAction{}) << i;
            } else if (first.kind == 2 && first.sub == 2 && first.value >= 0xE0 && first.value <= 0xE7) {
                EXPECT_EQ(second, (KeyAction{2, 1, static_cast<std::uint8_t>(1 << (first.value - 0xE0))})) << i;
            } else {
                EXPECT_EQ(second, first) << i;
            }
        }
        ProfileImage backAgain;
        DecodeKeyMap(again, defaults, 126, backAgain, 2);
        EXPECT_EQ(backAgain.header, back.header);
        for (std::size_t i = 0; i < 126; ++i) {
            const KeyAction d = KeyAction::At(defaults, i);
            const ScanCode code = DecodePosition(d);
            if (code == 0) {
                continue;
            }
            const std::size_t slot = ToScanIndex(code);
            KeyEntry expected = HeldForm(image.Entry(RecordIndex(2, slot)), d, macros);
            EXPECT_EQ(back.Entry(RecordIndex(2, slot)), expected) << "slot " << slot;
        }
    }
}

TEST(KeyAction, MediaAndFunctionLists) {
    const auto media = MediaFunctionList();
    ASSERT_EQ(media.size(), 18u);
    for (std::size_t i = 0; i < media.size(); ++i) {
        // The function's key carries the one-byte code of the function's consumer usage.
        std::size_t slot = 0;
        while (slot < 18 && ConsumerList()[slot] != media[i].usage) {
            ++slot;
        }
        ASSERT_LT(slot, 18u) << i;
        EXPECT_EQ(ScanCodeToHidPair(media[i].scanCode),
                  (HidPair{kPageKeyboard, static_cast<std::uint16_t>(0xC0 + slot)}))
            << i;
        EXPECT_EQ(KeyRowOf(media[i].scanCode).languageKey, media[i].nameKey) << i;
        EXPECT_EQ(MediaFunctionIndexOfUsage(media[i].usage), static_cast<int>(i));
    }
    EXPECT_EQ(MediaFunctionIndexOfUsage(0x1234), -1);
    ASSERT_EQ(SystemFunctionList().size(), 11u);
    EXPECT_EQ(SystemFunctionList()[0], "FUNC_KEY_DESC1");
    EXPECT_EQ(SystemFunctionList()[10], "FUNC_KEY_DESC11");
}

TEST(KeyAction, Captions) {
    test::TempLanguage language(test::StandardTexts());
    Language& lang = language.Get();
    std::vector<MacroBlock> macros = MacrosWithIds({7, 3});
    macros[1].name = u"Combo \u00e9";
    EXPECT_EQ(KeyCaption(0x1E, KeyEntry{}, macros, lang), "A");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kKey, 0x172), macros, lang), "A|set|key(Right Button)");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kMacro, 3), macros, lang), "A|set|macro(Combo \xC3\xA9)");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kMacro, 5), macros, lang), "A|set|macro()");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kMedia, 7), macros, lang), "A|set|media(Mute)");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kMedia, 99), macros, lang), "A|set|media()");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kFunction, 2), macros, lang), "A|set|function(Lock Win)");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kFunction, 11), macros, lang), "A|set|function()");
    EXPECT_EQ(KeyCaption(0x1E, Entry(AssignmentType::kDisabled), macros, lang), "A|set|");
    EXPECT_EQ(KeyCaption(0x55, Entry(AssignmentType::kKey, 0x70000), macros, lang),
              "Unknown (055)|set|key(Unknown (000))");
    EXPECT_EQ(GKeyCaption(3, KeyEntry{}, macros, lang), "G3");
    EXPECT_EQ(GKeyCaption(9, Entry(AssignmentType::kMacro, 7), macros, lang), "G9|set|macro(M7)");
}

} // namespace
} // namespace brasslane
