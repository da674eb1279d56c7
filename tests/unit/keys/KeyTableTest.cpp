#include "core/keys/KeyTable.h"

#include "KeysTestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace brasslane {
namespace {

TEST(KeyTable, ScanIndexConversions) {
    const struct {
        ScanCode code;
        std::uint16_t index;
    } cases[] = {
        {0x001, 0x01}, {0x07F, 0x7F}, {0x11C, 0x9C},  {0x100, 0x80},  {0x145, 0xC5},
        {0x17F, 0xFF}, {0x1FF, 0x7F}, {0x200, 0x100}, {0x209, 0x109}, {0x2FE, 0x1FE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToScanIndex(c.code), c.index) << std::hex << c.code;
    }
    // Every code that has a place of its own comes back from its index.
    for (ScanCode code = 0; code < 0x300; ++code) {
        if ((code >= 0x80 && code < 0x100) || (code >= 0x180 && code < 0x200)) {
            continue;
        }
        EXPECT_EQ(FromScanIndex(ToScanIndex(code)), code) << std::hex << code;
    }
}

TEST(KeyTable, RowsCarryTheirKeys) {
    const KeyRow& numLock = KeyTable()[0xC5];
    EXPECT_EQ(numLock.hidCode, 0x53);
    EXPECT_EQ(numLock.keyId, 0x004F);
    EXPECT_EQ(numLock.virtualKey, 0x90);
    EXPECT_EQ(numLock.languageKey, "IDS_KEYBOARD_NUM");
    EXPECT_EQ(KeyRowOf(0x45).hidCode, 0x48);
    EXPECT_EQ(KeyRowOf(0x45).englishLabel, "Pause");

    // Right Shift has two rows with one key id; the key id names the first.
    EXPECT_EQ(KeyRowOf(0x36).keyId, 0x0067);
    EXPECT_EQ(KeyRowOf(0x136).keyId, 0x0067);
    EXPECT_EQ(KeyRowOf(0x36).hidCode, 0xE5);
    EXPECT_EQ(KeyRowOf(0x136).hidCode, 0xE5);
    EXPECT_EQ(ScanCodeOfKeyId(0x0067), 0x36);
    EXPECT_EQ(ScanCodeOfKeyId(0x7777), 0);
    EXPECT_EQ(ScanCodeOfKeyId(kNoKeyId), 0);

    EXPECT_TRUE(KeyRowOf(0x55).IsEmpty());
    EXPECT_EQ(KeyIdOf(0x55), kNoKeyId);
    EXPECT_EQ(KeyRowOf(0x55).hidCode, 0);
    EXPECT_TRUE(KeyRowOf(0x55).languageKey.empty());
    EXPECT_TRUE(KeyRowOf(0x201).IsEmpty());
    EXPECT_FALSE(KeyRowOf(0x64).IsEmpty()); // F13: a row without a language key
    EXPECT_TRUE(KeyRowOf(0x64).languageKey.empty());

    std::size_t filled = 0;
    std::set<std::uint16_t> keyListIds;
    std::set<std::uint8_t> ownCodes;
    for (std::uint16_t i = 0; i < kKeyTableRows; ++i) {
        const KeyRow& row = KeyTable()[i];
        if (row.IsEmpty()) {
            EXPECT_EQ(row.hidCode, 0) << i;
            EXPECT_TRUE(row.englishLabel.empty() && row.languageKey.empty()) << i;
            continue;
        }
        ++filled;
        EXPECT_FALSE(row.englishLabel.empty()) << i;
        EXPECT_TRUE(row.keyId <= 0x006E || (row.keyId >= 0x8001 && row.keyId <= 0x802D)) << i;
        if (row.keyId <= 0x006E) {
            keyListIds.insert(row.keyId);
        }
        if (row.keyCode >= 0x81) {
            EXPECT_LE(row.keyCode, 0xF4) << i;
            EXPECT_TRUE(ownCodes.insert(row.keyCode).second) << "key code used twice, row " << i;
        }
    }
    EXPECT_EQ(filled, 157u);
    // The key list of the macro editor is complete: every position 0..0x6E names a key.
    EXPECT_EQ(keyListIds.size(), 0x6Fu);
}

TEST(KeyTable, ShiftKindsAndKeyCodes) {
    EXPECT_EQ(KeyRowOf(0x1E).shiftKind, ShiftKind::kLetter);
    EXPECT_EQ(KeyRowOf(0x1E).keyCode, 'a');
    EXPECT_EQ(KeyRowOf(0x2B).shiftKind, ShiftKind::kSymbol);
    EXPECT_EQ(KeyRowOf(0x2B).alternateLabel, "|");
    EXPECT_EQ(KeyRowOf(0x2B).keyCode, '\\');
    EXPECT_EQ(KeyRowOf(0x37).shiftKind, ShiftKind::kNone);
    EXPECT_EQ(KeyRowOf(0x172).keyCode, 0x02);
    // Only the keypad keys with a Num Lock-off form have a second virtual key.
    int keypad = 0;
    for (const KeyRow& row : KeyTable()) {
        if (row.alternateVirtualKey != row.virtualKey) {
            ++keypad;
            EXPECT_EQ(row.shiftKind, ShiftKind::kKeypad);
            EXPECT_FALSE(row.alternateLabel.empty());
        }
    }
    EXPECT_EQ(keypad, 11);
    EXPECT_EQ(KeyRowOf(0x4C).alternateVirtualKey, 0x0C);
}

TEST(KeyTable, HidPairsBothWays) {
    const struct {
        HidPair pair;
        ScanCode code;
    } toCode[] = {
        {{12, 0x00E2}, 0x120}, {{12, 0x022E}, 0}, {{12, 0}, 0},      {{7, 0xE5}, 0x36},  {{7, 0x48}, 0x45},
        {{1, 0x81}, 0x15E},    {{1, 0x84}, 0},    {{2, 0xF1}, 0},    {{7, 0x00}, 0},     {{7, 0x104}, 0},
        {{12, 0x00B6}, 0x110}, {{3, 0x04}, 0},    {{7, 0x04}, 0x1E}, {{7, 0xF1}, 0x171},
    };
    for (const auto& c : toCode) {
        EXPECT_EQ(HidPairToScanCode(c.pair), c.code) << c.pair.page << ":" << std::hex << c.pair.usage;
    }
    const struct {
        ScanCode code;
        HidPair pair;
    } toPair[] = {
        {0x120, {7, 0xCD}}, {0x15E, {1, 0x81}}, {0x171, {2, 0xF1}}, {0x162, {2, 0xF5}},
        {0x176, {0, 0}},    {0x55, {0, 0}},     {0x1E, {7, 0x04}},  {0x300, {0, 0}},
    };
    for (const auto& c : toPair) {
        EXPECT_EQ(ScanCodeToHidPair(c.code), c.pair) << std::hex << c.code;
    }
    EXPECT_EQ(ConsumerList()[14], 0x00CD);
    EXPECT_EQ(ConsumerList()[18], 0);
}

TEST(KeyTable, EveryRowsHidCodeLeadsBackToItsKey) {
    // Two HID codes sit in two rows each; a code names the first of its rows.
    const struct {
        ScanCode key;
        ScanCode namedBy;
    } shared[] = {
        {0x136, 0x36}, // the second Right Shift row: 0xE5
        {0x146, 0x45}, // Break carries Pause's 0x48
    };
    for (const auto& s : shared) {
        EXPECT_EQ(KeyRowOf(s.key).hidCode, KeyRowOf(s.namedBy).hidCode) << std::hex << s.key;
    }
    std::size_t withCode = 0;
    for (std::uint16_t index = 0; index < kKeyTableRows; ++index) {
        const KeyRow& row = KeyTable()[index];
        const ScanCode code = FromScanIndex(index);
        SCOPED_TRACE(testing::Message() << "scan code 0x" << std::hex << code);
        const HidPair pair = ScanCodeToHidPair(code);
        if (row.hidCode == 0) {
            EXPECT_EQ(pair, (HidPair{kPageNone, 0}));
            continue;
        }
        ++withCode;
        ScanCode expected = code;
        for (const auto& s : shared) {
            expected = s.key == code ? s.namedBy : expected;
        }
        // The one-byte code, read back from a key map, finds the key whatever page it stands for.
        EXPECT_EQ(HidPairToScanCode({kPageKeyboard, row.hidCode}), expected);
        EXPECT_EQ(pair.usage, row.hidCode);
        if (pair.page == kPageMouse) {
            // Mouse actions never come back as pairs of their private page.
            EXPECT_EQ(HidPairToScanCode(pair), 0);
        } else {
            EXPECT_EQ(HidPairToScanCode(pair), expected);
        }
        // Consumer keys also come back from the consumer usage of their slot.
        if (row.hidCode >= 0xC0 && row.hidCode < 0xC0 + 18) {
            EXPECT_EQ(HidPairToScanCode({kPageConsumer, ConsumerList()[row.hidCode - 0xC0]}), expected);
        }
    }
    EXPECT_GT(withCode, 130u);
}

TEST(KeyTable, ModifierMask) {
    const ScanCode modifiers[] = {0x1D, 0x2A, 0x38, 0x15B, 0x11D, 0x36, 0x138, 0x15C};
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(ModifierMaskOf(modifiers[bit]), 1 << bit);
        EXPECT_EQ(ModifierScanCode(static_cast<std::uint8_t>(1 << bit)), modifiers[bit]);
        // The HID modifier byte and the modifiers' own HID codes agree.
        EXPECT_EQ(KeyRowOf(modifiers[bit]).hidCode, 0xE0 + bit);
    }
    EXPECT_EQ(ModifierScanCode(0), 0);
    EXPECT_EQ(ModifierScanCode(0x06), 0x2A);
    EXPECT_EQ(ModifierScanCode(0xA0), 0x36);
    EXPECT_EQ(ModifierMaskOf(0x136), 0);
    EXPECT_EQ(ModifierMaskOf(0x1E), 0);
}

TEST(KeyTable, VirtualKeyMap) {
    const struct {
        std::uint8_t virtualKey;
        ScanCode code;
    } cases[] = {
        {0x10, 0x2A},  {0x11, 0x1D}, {0x12, 0x38},  {0x0D, 0x1C}, {0x2C, 0x137}, {0xA1, 0x36},
        {0xA0, 0x2A},  {0x41, 0x1E}, {0x24, 0x147}, {0x67, 0x47}, {0x0C, 0x4C},  {0x90, 0x145},
        {0x03, 0x146}, {0x01, 0},    {0x02, 0},     {0x04, 0},    {0xFF, 0},     {0x88, 0},
        {0x8C, 0},     {0x97, 0},    {0x9F, 0},     {0x07, 0},    {0xD2, 0x162},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScanCodeOfVirtualKey(c.virtualKey), c.code) << std::hex << int{c.virtualKey};
    }
    // Apart from the generic Shift, Ctrl and Alt codes, a mapped key answers to that virtual key.
    for (int v = 0; v < 256; ++v) {
        const ScanCode code = VirtualKeyMap()[v];
        if (code == 0 || v == 0x10 || v == 0x11 || v == 0x12) {
            continue;
        }
        const KeyRow& row = KeyRowOf(code);
        EXPECT_TRUE(row.virtualKey == v || row.alternateVirtualKey == v) << std::hex << v;
    }
}

TEST(KeyTable, KeyboardEventRule) {
    const auto word = [](std::uint32_t scan, bool extended) { return (scan << 16) | (extended ? 1u << 24 : 0u); };
    const struct {
        std::uint32_t virtualKey;
        std::uint32_t eventWord;
        ScanCode expected;
    } cases[] = {
        {0xA1, word(0x36, false), 0x36}, // Right Shift
        {0x10, word(0x36, false), 0x36}, // generic Shift code, Right Shift scan
        {0xA0, word(0x36, false), 0x36}, // whatever the virtual key
        {0xFF, word(0x71, false), 0x71}, // no virtual key: the scan code
        {0x41, 0, 0x1E},                 // injected: no hardware scan code
        {0x41, word(0x1E, false), 0x1E}, // A
        {0x0D, word(0x1C, true), 0x11C}, // Num Enter
        {0x0D, word(0x1C, false), 0x1C}, // Enter
        {0x24, word(0x47, false), 0x47}, // Num 7 with Num Lock off sends Home
        {0x24, word(0x47, true), 0x147}, // the Home key
        {0x41, word(0x30, false), 0x1E}, // scan code of another key: the virtual key wins
        {0x11, word(0x1D, false), 0x1D}, // generic Ctrl: low byte matches the map's index
        {0x11, word(0x1D, true), 0x11D}, // Right Ctrl through the generic code
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyboardEventScanCode(c.virtualKey, c.eventWord), c.expected)
            << std::hex << c.virtualKey << " " << c.eventWord;
    }
}

TEST(KeyTable, MouseMessagesAndReleaseOnlyKeys) {
    EXPECT_EQ(MouseMessageScanCode(0x201), 0x171);
    EXPECT_EQ(MouseMessageScanCode(0x205), 0x172);
    EXPECT_EQ(MouseMessageScanCode(0x208), 0x173);
    EXPECT_EQ(MouseMessageScanCode(0x200), 0); // mouse move
    EXPECT_TRUE(IsMouseReleaseMessage(0x205));
    EXPECT_FALSE(IsMouseReleaseMessage(0x207));
    EXPECT_TRUE(IsReleaseOnlyKey(0x137));
    EXPECT_FALSE(IsReleaseOnlyKey(0x37));
}

TEST(KeyTable, DisplayNames) {
    test::TempLanguage language(test::StandardTexts());
    Language& lang = language.Get();
    EXPECT_EQ(KeyDisplayName(0x1E, lang), "A");
    EXPECT_EQ(KeyDisplayName(0x136, lang), "Right Shift");
    EXPECT_EQ(KeyDisplayName(0x55, lang), "Unknown (055)");  // empty row
    EXPECT_EQ(KeyDisplayName(0x64, lang), "Unknown (064)");  // F13: no language key
    EXPECT_EQ(KeyDisplayName(0x209, lang), "Unknown (209)"); // no row at all
    EXPECT_EQ(KeyDisplayName(0x30, lang), "#Error");         // text missing from the file
    // Cut to the caller's buffer, never inside a character.
    EXPECT_EQ(KeyDisplayName(0x1E, lang, 1), "");
    EXPECT_EQ(KeyDisplayName(0x55, lang, 5), "Unkn");
    EXPECT_EQ(KeyDisplayName(0x120, lang, 3), "Mu");
    EXPECT_EQ(KeyDisplayName(0x01, lang, 3), "\xC3\xA4\xC3\xB6");

    EXPECT_EQ(KeyIdDisplayName(0x0067, lang), "Right Shift");
    EXPECT_EQ(KeyIdDisplayName(0x802D, lang), ""); // F13
    EXPECT_EQ(KeyIdDisplayName(0x7000, lang), "");

    test::TempLanguage noFormat(test::LanguageTexts{{"UNKNOWN_KEY", "?"}});
    EXPECT_EQ(KeyDisplayName(0x55, noFormat.Get()), "?");
}

TEST(KeyTable, LayoutNamesAndNameLookup) {
    EXPECT_EQ(KeyLayoutName(0x1E), "KEY_01E");
    EXPECT_EQ(KeyLayoutName(0x11C), "KEY_09C");
    EXPECT_EQ(KeyLayoutName(0x17E), "KEY_0FE");
    EXPECT_EQ(GKeyLayoutName(1), "FUNC_G1");
    EXPECT_EQ(GKeyLayoutName(9), "FUNC_G9");

    const struct {
        std::string_view name;
        std::optional<ScanCode> code;
    } cases[] = {
        {"a", 0x1E},
        {"Right Shift", 0x36},
        {"ids_keyboard_s_enter", 0x11C},
        {"S_ENTER", 0x11C},
        {"0x11c", 0x11C},
        {" 0X01 ", 0x01},
        {"F13", 0x64},
        {"mute", 0x120},
        {"media_mute_8", 0x120},
        {"Num Lock", 0x145},
        {"0x55", std::nullopt},
        {"0x9C", std::nullopt},
        {"0x", std::nullopt},
        {"0x1234567", std::nullopt},
        {"nonsense", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindKeyByName(c.name), c.code) << c.name;
    }
}

TEST(KeyTable, KeyButtons) {
    ASSERT_EQ(KeyButtons().size(), 105u);
    std::set<ScanCode> codes;
    std::set<int> places;
    for (std::size_t i = 0; i < KeyButtons().size(); ++i) {
        const KeyButton& button = KeyButtons()[i];
        EXPECT_EQ(KeyButtonScanCodes()[i], button.scanCode);
        EXPECT_TRUE(codes.insert(button.scanCode).second) << std::hex << button.scanCode;
        EXPECT_TRUE(places.insert(button.colourIndex).second) << int{button.colourIndex};
        EXPECT_LT(button.colourIndex, 126);
        EXPECT_NE(button.colourIndex, 110); // Fn's place: Fn has no key button
        EXPECT_FALSE(KeyRowOf(button.scanCode).languageKey.empty()) << std::hex << button.scanCode;
    }
    EXPECT_EQ(KeyButtons()[0].scanCode, 0x01);
    EXPECT_EQ(KeyButtons()[104].scanCode, 0x53);
    EXPECT_EQ(KeyButtons()[104].colourIndex, 5 * 21 + 19);
}

} // namespace
} // namespace brasslane
