#include "core/keys/MacroBlob.h"

#include "core/base/Utf8.h"
#include "core/keys/ProfileImage.h"
#include "KeysTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace brasslane {
namespace {

MacroBlock Macro(std::uint16_t id, std::u16string name, std::vector<MacroStep> steps = {}, std::uint8_t repeat = 1) {
    MacroBlock macro;
    macro.id = id;
    macro.name = std::move(name);
    macro.steps = std::move(steps);
    macro.repeat = repeat;
    return macro;
}

std::vector<std::uint8_t> Build(const std::vector<MacroBlock>& macros, bool withNames) {
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    const std::size_t length = withNames ? sizes.withNames : sizes.withoutNames;
    std::vector<std::uint8_t> blob(length, 0xEE);
    EXPECT_TRUE(BuildMacroBlob(macros, blob, static_cast<std::uint16_t>(length), withNames));
    return blob;
}

// A step as the keyboard gives it back: delay in whole tens (at most 40950 ms), the key as the
// three-byte code names it, press or release.
MacroStep HeldStep(const MacroStep& step) {
    MacroStep held;
    held.delay = std::min<std::uint32_t>(step.delay / 10, 0xFFF) * 10;
    held.state = step.state == 1 ? 1 : 0;
    held.key = DecodePosition(MacroStepAction(step.key));
    return held;
}

TEST(MacroBlob, StepEncoding) {
    const struct {
        MacroStep step;
        EncodedMacroStep encoded;
    } cases[] = {
        {{50, 0x1D, 0}, {0xA000 + 5, 0x01, 0x01}},       // Left Ctrl press
        {{30, 0x162, 1}, {0x1000 + 3, 0x05, 0xFF}},      // wheel-down release
        {{40000, 0x1E, 0}, {0xA000 + 4000, 0x02, 0x04}}, // the longest delay a user may type
        {{15, 0x1E, 1}, {0x2000 + 1, 0x02, 0x04}},
        {{9, 0x171, 0}, {0x9000, 0x01, 0x01}},
        {{0, 0x173, 0}, {0x9000, 0x01, 0x04}},
        {{0, 0x161, 0}, {0x9000, 0x05, 0x01}},
        {{0, 0x15E, 0}, {0xC000, 0x81, 0x00}}, // Power: generic desktop
        {{0, 0x120, 0}, {0xA000, 0x02, 0xCD}}, // Mute: its one-byte code on the keyboard page
        {{0, 0x176, 0}, {0x8000, 0x00, 0x00}}, // Copy has no code
        {{0, 0x136, 1}, {0x2000, 0x02, 0xE5}},
        {{0, 0x1E, 7}, {0xA000, 0x02, 0x04}},      // an unknown state is a press
        {{100000, 0x1E, 1}, {0x2FFF, 0x02, 0x04}}, // too long: the longest, not wrapped
        {{0xFFFFFFFF, 0x1E, 1}, {0x2FFF, 0x02, 0x04}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeMacroStep(c.step), c.encoded) << c.step.delay << " " << std::hex << c.step.key;
    }
    EXPECT_EQ(DecodeMacroStep({0x2000 + 1, 0x02, 0x04}), (MacroStep{10, 0x1E, 1}));
    EXPECT_EQ(DecodeMacroStep({0xA000 + 4000, 0x01, 0x01}), (MacroStep{40000, 0x1D, 0}));
    EXPECT_EQ(DecodeMacroStep({0x1000 + 3, 0x05, 0xFF}), (MacroStep{30, 0x162, 1}));
    EXPECT_EQ(DecodeMacroStep({0xC000, 0x81, 0x00}), (MacroStep{0, 0x15E, 0}));
    EXPECT_EQ(DecodeMacroStep({0xF000, 0x01, 0x01}), (MacroStep{0, 0, 0})); // unknown kind
}

TEST(MacroBlob, Sizes) {
    const std::vector<MacroBlock> two{Macro(1, u"ab"), Macro(2, u"c")};
    EXPECT_EQ(MacroBlobSize(two).withoutNames, 28u);
    EXPECT_EQ(MacroBlobSize(two).withNames, 34u);
    EXPECT_EQ(MacroBlobSize({}).withoutNames, 16u);
    EXPECT_EQ(MacroBlobSize({}).withNames, 16u);

    std::vector<MacroBlock> big{Macro(1, std::u16string(300, u'x'), std::vector<MacroStep>(4100))};
    // Only what a macro block can hold counts: 4000 steps, 249 name units.
    EXPECT_EQ(MacroBlobSize(big).withoutNames, 16u + 2 + 4 + 4 * 4000);
    EXPECT_EQ(MacroBlobSize(big).withNames, 16u + 2 + 4 + 4 * 4000 + 2 * 249);
    // Lengths past 16 bits are reported as they are, so that the capacity check sees them.
    std::vector<MacroBlock> many(20, Macro(1, u"n", std::vector<MacroStep>(4000)));
    EXPECT_EQ(MacroBlobSize(many).withoutNames, 16u + 40 + 20 * (4 + 16000));
}

TEST(MacroBlob, BuildLaysOutHeaderOffsetsEntries) {
    const std::vector<MacroBlock> macros{Macro(4, u"ab", {{50, 0x1D, 0}, {30, 0x162, 1}}, 3), Macro(9, u"c")};
    const auto named = Build(macros, true);
    const std::vector<std::uint8_t> expected{
        0xAA, 0x55, 42, 0, 2,    0,    1,    0,    0,    0,    0,    0,    0,   0, 0,   0, // header
        20,   0,    36, 0,                                                                 // offsets
        2,    0,    3,  2, 0x05, 0xA0, 0x01, 0x01, 0x03, 0x10, 0x05, 0xFF, 'a', 0, 'b', 0, // first entry
        0,    0,    1,  1, 'c',  0,                                                        // second entry
    };
    EXPECT_EQ(named, expected);
    const auto plain = Build(macros, false);
    ASSERT_EQ(plain.size(), 36u);
    EXPECT_EQ(plain[2], 36);
    EXPECT_EQ(plain[6], 0);
    EXPECT_EQ(plain[23], 0); // no name length
    EXPECT_EQ(plain[18], 32);

    // A buffer too small is left alone.
    std::vector<std::uint8_t> small(41, 0xEE);
    EXPECT_FALSE(BuildMacroBlob(macros, small, 42, true));
    EXPECT_EQ(small, std::vector<std::uint8_t>(41, 0xEE));
    // So is a blob that 16-bit offsets cannot address.
    std::vector<MacroBlock> many(20, Macro(1, u"n", std::vector<MacroStep>(4000)));
    std::vector<std::uint8_t> huge(400000);
    EXPECT_FALSE(BuildMacroBlob(many, huge, 0, false));
}

TEST(MacroBlob, ParseReadsNamesIdsAndDefaults) {
    test::TempLanguage language(test::StandardTexts());
    const std::vector<MacroBlock> macros{Macro(40, u"first", {{50, 0x1D, 0}}, 7), Macro(2, u"", {{15, 0x1E, 1}}),
                                         Macro(77, u"third")};
    std::vector<MacroBlock> back{Macro(1, u"stale")};
    EXPECT_EQ(ParseMacroBlob(Build(macros, true), language.Get().Text("MACRO_NEW_PREFIX"), back), 3u);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, u"first");
    EXPECT_EQ(back[0].id, 1);
    EXPECT_EQ(back[0].repeat, 7);
    EXPECT_EQ(back[0].steps, (std::vector<MacroStep>{{50, 0x1D, 0}}));
    EXPECT_EQ(back[1].name, u"Macro2"); // no name in the blob
    EXPECT_EQ(back[1].steps, (std::vector<MacroStep>{{10, 0x1E, 1}}));
    EXPECT_EQ(back[2].id, 3);

    EXPECT_EQ(ParseMacroBlob(Build(macros, false), "Macro ", back), 3u);
    EXPECT_EQ(back[0].name, u"Macro 1");
    EXPECT_EQ(back[2].name, u"Macro 3");
    EXPECT_EQ(back[0].newFlag, 0);

    EXPECT_EQ(ParseMacroBlob(Build(macros, false), "Makro \xC3\xA4", back), 3u);
    EXPECT_EQ(back[1].name, u"Makro \u00e42");
}

TEST(MacroBlob, RandomMacrosRoundTrip) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<MacroBlock> macros(random() % 8);
        for (std::size_t i = 0; i < macros.size(); ++i) {
            MacroBlock& macro = macros[i];
            macro.id = static_cast<std::uint16_t>(i + 1);
            macro.repeat = static_cast<std::uint8_t>(1 + random() % 255);
            const std::size_t nameLength = 1 + random() % 30;
            for (std::size_t c = 0; c < nameLength; ++c) {
                macro.name.push_back(static_cast<char16_t>(1 + random() % 0xFFFE));
            }
            macro.steps.resize(random() % 60);
            for (MacroStep& step : macro.steps) {
                step.delay = random() % 50000;
                step.key = static_cast<ScanCode>(random() % 0x180);
                step.state = static_cast<std::uint16_t>(random() % 3);
            }
        }
        const bool withNames = random() % 2;
        std::vector<MacroBlock> back;
        ASSERT_EQ(ParseMacroBlob(Build(macros, withNames), "M", back), macros.size());
        for (std::size_t i = 0; i < macros.size(); ++i) {
            EXPECT_EQ(back[i].id, i + 1);
            EXPECT_EQ(back[i].repeat, macros[i].repeat);
            EXPECT_EQ(back[i].name, withNames ? macros[i].name : u"M" + utf8::ToUtf16(std::to_string(i + 1)));
            ASSERT_EQ(back[i].steps.size(), macros[i].steps.size());
            for (std::size_t s = 0; s < macros[i].steps.size(); ++s) {
                EXPECT_EQ(back[i].steps[s], HeldStep(macros[i].steps[s]));
            }
        }
    }
}

TEST(MacroBlob, DamagedBlobsReadOnlyWholeMacros) {
    const std::vector<MacroBlock> macros{Macro(1, u"one", {{10, 0x1E, 0}, {10, 0x1E, 1}}),
                                         Macro(2, u"two", {{20, 0x30, 0}}), Macro(3, u"three")};
    const auto blob = Build(macros, true);
    std::vector<MacroBlock> full;
    ASSERT_EQ(ParseMacroBlob(blob, "M", full), 3u);

    // Cut anywhere: the macros that are whole come back, the rest are dropped.
    for (std::size_t length = 0; length <= blob.size(); ++length) {
        const std::vector<std::uint8_t> cut(blob.begin(), blob.begin() + static_cast<std::ptrdiff_t>(length));
        std::vector<MacroBlock> back;
        const std::size_t count = ParseMacroBlob(cut, "M", back);
        ASSERT_LE(count, 3u);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(back[i], full[i]) << length;
        }
    }
    // The header's length bounds the blob even when more bytes follow.
    auto shortLength = blob;
    shortLength[2] = 40;
    std::vector<MacroBlock> back;
    EXPECT_EQ(ParseMacroBlob(shortLength, "M", back), 1u);

    auto badMagic = blob;
    badMagic[0] = 0x55;
    EXPECT_EQ(ParseMacroBlob(badMagic, "M", back), 0u);
    EXPECT_TRUE(back.empty());

    auto intoHeader = blob;
    intoHeader[18] = 4; // second entry's offset inside the header
    intoHeader[19] = 0;
    EXPECT_EQ(ParseMacroBlob(intoHeader, "M", back), 1u);

    auto tooManySteps = blob;
    tooManySteps[blob[16]] = 0xA1; // 4001 steps
    tooManySteps[blob[16] + 1] = 0x0F;
    EXPECT_EQ(ParseMacroBlob(tooManySteps, "M", back), 0u);

    auto longName = blob;
    longName[blob[20] + 3] = 0xFF; // name runs past the end
    EXPECT_EQ(ParseMacroBlob(longName, "M", back), 2u);

    // A count above what the profile image holds is cut to 100 macros.
    std::vector<std::uint8_t> crowded(16 + 2 * 300 + 4, 0);
    crowded[0] = 0xAA;
    crowded[1] = 0x55;
    crowded[2] = static_cast<std::uint8_t>(crowded.size() & 0xFF);
    crowded[3] = static_cast<std::uint8_t>(crowded.size() >> 8);
    crowded[4] = 300 & 0xFF;
    crowded[5] = 300 >> 8;
    for (std::size_t i = 0; i < 300; ++i) {
        crowded[16 + 2 * i] = static_cast<std::uint8_t>((16 + 600) & 0xFF);
        crowded[17 + 2 * i] = static_cast<std::uint8_t>((16 + 600) >> 8);
    }
    EXPECT_EQ(ParseMacroBlob(crowded, "M", back), 100u);
}

TEST(MacroBlob, HostileBlobsNeverReadOutOfBounds) {
    std::mt19937 random(99);
    std::vector<MacroBlock> back;
    for (int round = 0; round < 20000; ++round) {
        // Exactly sized heap buffers, so that the address sanitizer sees any stray read.
        std::vector<std::uint8_t> blob(random() % 300);
        for (auto& byte : blob) {
            byte = static_cast<std::uint8_t>(random());
        }
        if (blob.size() >= 2 && random() % 4 != 0) {
            blob[0] = 0xAA;
            blob[1] = 0x55;
        }
        if (blob.size() >= 6 && random() % 2) {
            blob[4] = static_cast<std::uint8_t>(random() % 8);
            blob[5] = 0;
        }
        if (blob.size() >= 4 && random() % 2) {
            blob[2] = static_cast<std::uint8_t>(blob.size());
            blob[3] = static_cast<std::uint8_t>(blob.size() >> 8);
        }
        const std::size_t count = ParseMacroBlob(blob, "M", back);
        EXPECT_EQ(count, back.size());
        for (const MacroBlock& macro : back) {
            EXPECT_LE(macro.steps.size(), kMaxMacroSteps);
            EXPECT_LE(macro.name.size(), kMaxMacroNameLength);
            EXPECT_FALSE(macro.name.empty());
        }
    }
}

TEST(MacroBlob, IdsAndPositions) {
    std::vector<MacroBlock> macros{Macro(2, u"a"), Macro(1, u"b"), Macro(5, u"c")};
    EXPECT_EQ(AllocateMacroId(macros), 3);
    EXPECT_EQ(MacroPosition(macros, 5), 2u);
    EXPECT_EQ(MacroPosition(macros, 4), 0u);
    std::vector<MacroBlock> full;
    for (std::uint16_t id = 1; id <= 100; ++id) {
        full.push_back(Macro(id, u"m"));
    }
    EXPECT_EQ(AllocateMacroId(full), 0);
}

void SetType(WorkingImage& working, std::size_t record, AssignmentType type, std::uint32_t param) {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(type);
    entry.param = param;
    entry.extra = 5;
    working.image.SetEntry(record, entry);
}

TEST(MacroBlob, ReconcileAfterIdReuse) {
    WorkingImage working;
    working.image.macros = {Macro(1, u"a"), Macro(2, u"b"), Macro(3, u"c")};
    SetType(working, RecordIndex(0, 0x1E), AssignmentType::kMacro, 3); // played macro 3, since deleted
    SetType(working, RecordIndex(1, 0x30), AssignmentType::kMacro, 2); // still there
    SetType(working, RecordIndex(2, 0x10), AssignmentType::kMacro, 0); // no macro chosen yet
    SetType(working, RecordIndex(3, 0x11), AssignmentType::kMacro, 9); // gone
    SetType(working, RecordIndex(0, 0x12), AssignmentType::kKey, 3);   // not a macro key
    // In the dialog macro 3 was deleted and a new macro took id 3.
    std::vector<MacroBlock> edited{Macro(2, u"b"), Macro(1, u"a"), Macro(3, u"new")};
    edited[2].newFlag = 1;

    const auto fellBack = ReconcileMacros(working, edited);
    EXPECT_EQ(fellBack, (std::vector<std::size_t>{RecordIndex(0, 0x1E), RecordIndex(3, 0x11)}));
    EXPECT_EQ(working.image.Entry(RecordIndex(0, 0x1E)).Type(), AssignmentType::kDefault);
    EXPECT_EQ(working.image.Entry(RecordIndex(0, 0x1E)).extra, 5);
    EXPECT_EQ(working.image.Entry(RecordIndex(1, 0x30)).param, 2u);
    EXPECT_EQ(working.image.Entry(RecordIndex(1, 0x30)).Type(), AssignmentType::kMacro);
    EXPECT_EQ(working.image.Entry(RecordIndex(2, 0x10)).param, 2u); // the first macro of the new list
    EXPECT_EQ(working.image.Entry(RecordIndex(0, 0x12)).Type(), AssignmentType::kKey);
    ASSERT_EQ(working.image.macros.size(), 3u);
    EXPECT_EQ(working.image.macros[2].name, u"new");
    for (const MacroBlock& macro : working.image.macros) {
        EXPECT_EQ(macro.newFlag, 0);
    }

    // An empty list leaves unchosen macro keys alone and drops the rest.
    SetType(working, RecordIndex(2, 0x10), AssignmentType::kMacro, 0);
    EXPECT_EQ(ReconcileMacros(working, {}), (std::vector<std::size_t>{RecordIndex(1, 0x30)}));
    EXPECT_EQ(working.image.Entry(RecordIndex(2, 0x10)), (KeyEntry{4, 5, 0, 0, 0}));
    EXPECT_TRUE(working.image.macros.empty());
}

TEST(MacroBlob, MayDelete) {
    test::TempLanguage language(test::StandardTexts());
    test::RecordingUiSink ui;
    WorkingImage working;
    working.image.macros = {Macro(1, u"a"), Macro(2, u"b")};
    SetType(working, RecordIndex(2, 0x20), AssignmentType::kMacro, 2);
    SetType(working, RecordIndex(0, 0x21), AssignmentType::kKey, 1);

    MacroBlock fresh = Macro(2, u"new");
    fresh.newFlag = 1;
    EXPECT_TRUE(MayDeleteMacro(working, fresh, ui, language.Get()));
    EXPECT_TRUE(MayDeleteMacro(working, working.image.macros[0], ui, language.Get())); // no key plays it
    EXPECT_TRUE(ui.Texts().empty());
    EXPECT_FALSE(working.allProfilesRequest.load());

    // Nothing scripted: the question takes its preselected No.
    EXPECT_FALSE(MayDeleteMacro(working, working.image.macros[1], ui, language.Get()));
    EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Keys use this macro. Delete?"}));
    EXPECT_TRUE(working.allProfilesRequest.load());
    ui.SetAnswers({MessageAnswer::kYes});
    EXPECT_TRUE(MayDeleteMacro(working, working.image.macros[1], ui, language.Get()));
}

TEST(MacroBlob, DefaultNames) {
    std::vector<std::chrono::milliseconds> waits;
    MacroNamer namer([&waits](std::chrono::milliseconds ms) { waits.push_back(ms); });
    std::vector<MacroBlock> macros;
    EXPECT_EQ(namer.NextName(macros, u"Macro"), u"Macro1");
    macros.push_back(Macro(1, u"Macro1"));
    // "Macro2" is the beginning of "MACRO21" and "Macro3" is taken: both skipped after a wait.
    macros.push_back(Macro(2, u"MACRO21"));
    macros.push_back(Macro(3, u"macro3"));
    EXPECT_EQ(namer.NextName(macros, u"Macro"), u"Macro4");
    EXPECT_EQ(waits,
              (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(16), std::chrono::milliseconds(16)}));
    EXPECT_EQ(namer.NextName(macros, u"Macro"), u"Macro5");
    // An empty list starts the counter again.
    EXPECT_EQ(namer.NextName({}, u"Macro"), u"Macro1");
    EXPECT_EQ(namer.Counter(), 2);
}

} // namespace
} // namespace brasslane
