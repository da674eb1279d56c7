#include "core/profiles/WriteSequence.h"

#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "core/keys/ProfileImage.h"
#include "../keys/KeysTestSupport.h"
#include "support/SimKeyboardFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace brasslane {
namespace {

constexpr std::uint8_t kPattern = 0xAB;

class WriteSequence : public ::testing::Test {
protected:
    void Connect(sim::SimModel model = sim::SimModel::k7672, int macroUnits = 0x40) {
        m_sim = std::make_unique<test::SimKeyboardLink>(model);
        m_sim->SetInfoByte(11, static_cast<std::uint8_t>(macroUnits));
        // Key maps the write must replace (or leave alone).
        m_sim->keyboard.SetKeyMaps(std::vector<std::uint8_t>(3 * m_sim->keyboard.BlockSize(), kPattern));
        ASSERT_TRUE(m_sim->ConnectAndRead());
    }

    void Assign(std::size_t area, ScanCode key, AssignmentType type, std::uint32_t param = 0) {
        KeyEntry entry;
        entry.type = static_cast<std::uint16_t>(type);
        entry.param = param;
        m_working.image.SetEntry(RecordIndex(area, ToScanIndex(key)), entry);
    }

    WriteResult Write(bool allProfiles, int currentProfile, bool verify = false) {
        // What taking the snapshot does, without the text pool (the key maps do not use it).
        m_snapshot.image = m_working.image;
        return WriteConfiguration(m_snapshot, m_working, allProfiles, currentProfile, m_sim->link, m_sim->connection,
                                  m_ui, m_language.Get(), verify);
    }

    std::vector<std::uint8_t> Block(std::size_t profile) const { return m_sim->KeyMapOf(profile); }
    std::vector<int> Commands() const { return test::Commands(m_sim->keyboard.RequestLog()); }

    static std::vector<MacroBlock> Macros(std::initializer_list<std::uint16_t> ids) {
        std::vector<MacroBlock> macros;
        for (std::uint16_t id : ids) {
            MacroBlock macro;
            macro.id = id;
            macro.name = u"macro " + std::u16string(1, static_cast<char16_t>(u'0' + id % 10));
            macro.steps = {{20, 0x1D, 0}, {30, 0x1D, 1}};
            macros.push_back(macro);
        }
        return macros;
    }

    test::TempLanguage m_language{test::StandardTexts()};
    test::RecordingUiSink m_ui;
    WorkingImage m_working;
    UploadSnapshot m_snapshot;
    std::unique_ptr<test::SimKeyboardLink> m_sim;
};

TEST_F(WriteSequence, WritesTheCurrentProfilesKeyMap) {
    Connect();
    // Every key of profile 2 disabled, then a few given functions.
    for (std::size_t slot = 0; slot < 256; ++slot) {
        m_working.image.SetEntry(RecordIndex(1, slot), KeyEntry{1, 0, 0, 0, 0});
    }
    Assign(1, 0x1E, AssignmentType::kKey, 0x120); // A -> Mute
    Assign(1, 0x28, AssignmentType::kMedia, 1);   // ' (position 99) -> Play/Pause
    Assign(1, 0x1B, AssignmentType::kKey, 0x1E);  // ] (position 106) -> A
    Assign(1, 0x10, AssignmentType::kDefault, 0); // Q keeps its function
    Assign(0, 0x1E, AssignmentType::kKey, 0x30);  // another profile: not written

    ASSERT_TRUE(Write(false, 1));
    EXPECT_TRUE(m_ui.Texts().empty());
    const auto block = Block(1);
    const auto defaults = BuiltInDefaultKeyMap();
    EXPECT_EQ(KeyAction::At(block, 19), (KeyAction{2, 2, 0xCD}));
    EXPECT_EQ(KeyAction::At(block, 99), (KeyAction{3, 0xCD, 0x00}));
    EXPECT_EQ(KeyAction::At(block, 106), (KeyAction{2, 2, 0x04}));
    EXPECT_EQ(KeyAction::At(block, 18), KeyAction::At(defaults, 18)); // Q
    for (std::size_t i = 0; i < 126; ++i) {
        const KeyAction d = KeyAction::At(defaults, i);
        if (d == KeyAction{5, 0, 0} || d == KeyAction{0, 0, 0} || d == KeyAction{5, 2, 2} || DecodePosition(d) == 0) {
            EXPECT_EQ(KeyAction::At(block, i), d) << i;
        } else if (i != 19 && i != 99 && i != 106 && i != 18) {
            EXPECT_EQ(KeyAction::At(block, i), KeyAction{}) << i;
        }
    }
    EXPECT_EQ(Block(0), std::vector<std::uint8_t>(378, kPattern));
    EXPECT_EQ(Block(2), std::vector<std::uint8_t>(378, kPattern));

    // One bracket: begin, the macro area, the key map, end.
    const auto commands = Commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands.front(), 1);
    EXPECT_EQ(commands[1], 10);
    EXPECT_EQ(commands.back(), 2);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 8), 7); // 378 bytes in 56-byte chunks
}

TEST_F(WriteSequence, EachPositionIsWrittenFromItsOwnKey) {
    Connect();
    // Nothing assigned: the keyboard gets its default map back, ' at 99 and ] at 106 included.
    ASSERT_TRUE(Write(true, 0));
    const auto defaults = BuiltInDefaultKeyMap();
    for (std::size_t profile = 0; profile < 3; ++profile) {
        const auto block = Block(profile);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), defaults.begin())) << profile;
    }

    // A keyboard whose own default map has ' at both places reads them as one key: both follow
    // the entry of ', and the entry of ] (a key this keyboard does not have) is not used.
    auto own = defaults;
    KeyAction::At(own, 99).Put(own, 106);
    m_sim->connection.SetDefaultKeyMap(own);
    Assign(0, 0x28, AssignmentType::kMedia, 1);
    Assign(0, 0x1B, AssignmentType::kDisabled);
    ASSERT_TRUE(Write(false, 0));
    EXPECT_EQ(KeyAction::At(Block(0), 99), (KeyAction{3, 0xCD, 0x00}));
    EXPECT_EQ(KeyAction::At(Block(0), 106), (KeyAction{3, 0xCD, 0x00}));
}

TEST_F(WriteSequence, MacroAreaAndMacroKeys) {
    Connect();
    m_working.image.macros = Macros({5, 9, 2});
    m_snapshot.image.macros = m_working.image.macros;
    Assign(0, 0x1E, AssignmentType::kMacro, 9);
    Assign(0, 0x30, AssignmentType::kMacro, 4); // no such macro: the first
    ASSERT_TRUE(Write(false, 0));
    EXPECT_EQ(KeyAction::At(Block(0), 19), (KeyAction{5, 1, 1}));
    EXPECT_EQ(KeyAction::At(Block(0), 52), (KeyAction{5, 1, 0}));

    const auto area = m_sim->keyboard.MacroArea();
    const MacroBlobHeader header = ReadMacroBlobHeader(area);
    ASSERT_TRUE(header.valid);
    EXPECT_TRUE(header.withNames);
    EXPECT_EQ(header.length, MacroBlobSize(m_working.image.macros).withNames);
    std::vector<MacroBlock> back;
    ASSERT_EQ(ParseMacroBlob(std::span(area).first(header.length), "Macro", back), 3u);
    EXPECT_EQ(back[1].name, u"macro 9");
    EXPECT_EQ(back[1].id, 2);
    EXPECT_EQ(back[1].steps, m_working.image.macros[1].steps);
}

TEST_F(WriteSequence, AllProfilesWhenAskedOrRequested) {
    Connect();
    for (std::size_t area = 0; area < 3; ++area) {
        Assign(area, 0x1E, AssignmentType::kFunction, static_cast<std::uint32_t>(area));
    }
    ASSERT_TRUE(Write(true, -1));
    for (std::size_t profile = 0; profile < 3; ++profile) {
        EXPECT_EQ(KeyAction::At(Block(profile), 19), (KeyAction{5, 5, static_cast<std::uint8_t>(profile)}));
    }

    // A deleted macro that keys played makes the next write send all three, then the request ends.
    m_sim->keyboard.SetKeyMaps(std::vector<std::uint8_t>(3 * 378, kPattern));
    m_working.allProfilesRequest.store(true);
    ASSERT_TRUE(Write(false, 0));
    EXPECT_FALSE(m_working.allProfilesRequest.load());
    EXPECT_EQ(KeyAction::At(Block(2), 19), (KeyAction{5, 5, 2}));
    m_sim->keyboard.SetKeyMaps(std::vector<std::uint8_t>(3 * 378, kPattern));
    ASSERT_TRUE(Write(false, 0));
    EXPECT_EQ(Block(2), std::vector<std::uint8_t>(378, kPattern));
}

TEST_F(WriteSequence, UnknownProfileWritesNothing) {
    Connect();
    EXPECT_FALSE(Write(false, -1));
    EXPECT_FALSE(Write(false, 3));
    EXPECT_TRUE(m_sim->keyboard.RequestLog().empty());
    EXPECT_TRUE(m_ui.Texts().empty());
}

TEST_F(WriteSequence, MacroCapacity) {
    Connect(sim::SimModel::k7672, 1); // 128 bytes
    // 16 + 2 + 4 + 4 x 27 = 130 bytes without names: too long, nothing is written.
    MacroBlock macro;
    macro.id = 1;
    macro.name = u"long";
    macro.steps.resize(27);
    m_working.image.macros = {macro};
    m_working.allProfilesRequest.store(true);
    EXPECT_FALSE(Write(false, 0));
    EXPECT_EQ(m_ui.Texts(), (std::vector<std::string>{"Macros too long"}));
    EXPECT_TRUE(m_sim->keyboard.RequestLog().empty());
    EXPECT_TRUE(m_working.allProfilesRequest.load());

    // 126 bytes fit, with the name's 8 bytes they do not: written without names, then a warning.
    m_ui.Clear();
    m_working.image.macros[0].steps.resize(26);
    Assign(0, 0x1E, AssignmentType::kMacro, 1);
    EXPECT_TRUE(Write(false, 0));
    EXPECT_EQ(m_ui.Texts(), (std::vector<std::string>{"Names left out"}));
    const auto area = m_sim->keyboard.MacroArea();
    const MacroBlobHeader header = ReadMacroBlobHeader(area);
    EXPECT_FALSE(header.withNames);
    EXPECT_EQ(header.length, 126);
    std::vector<MacroBlock> back;
    ASSERT_EQ(ParseMacroBlob(std::span(area).first(header.length), "Macro", back), 1u);
    EXPECT_EQ(back[0].name, u"Macro1");
    EXPECT_EQ(KeyAction::At(Block(0), 19), (KeyAction{5, 1, 0}));
}

TEST_F(WriteSequence, EveryPartMustSucceedAndAFailedMacroAreaStopsTheKeyMaps) {
    Connect(sim::SimModel::k7672, 1);
    Assign(0, 0x1E, AssignmentType::kDisabled);
    Assign(1, 0x1E, AssignmentType::kDisabled);
    m_working.image.macros = Macros({1});
    m_working.image.macros[0].name = std::u16string(100, u'n'); // too long to go with its name

    struct Case {
        const char* name;
        sim::SimFaults faults;
        WriteFailure failure;
        int profile;
        std::string text;
    };
    // Each write is one of all three profiles: begin, one macro-area chunk, 3 x 7 key-map chunks, end.
    const std::vector<Case> cases{
        {"begin", {.statusByte = 0xFE, .statusCount = 1}, WriteFailure::kBegin, -1, "the start of the write"},
        {"macro area", {.refusedCommand = 10}, WriteFailure::kMacroArea, -1, "the macro area"},
        {"profile 1",
         {.statusByte = 0xFF, .statusCount = 1, .statusAfter = 2},
         WriteFailure::kKeyMap,
         0,
         "the key map of profile 1"},
        {"every key map", {.refusedCommand = 8}, WriteFailure::kKeyMap, 0, "the key map of profile 1"},
        {"end", {.refusedCommand = 2}, WriteFailure::kEnd, -1, "the end of the write"},
    };
    for (const Case& c : cases) {
        m_sim->keyboard.SetKeyMaps(std::vector<std::uint8_t>(3 * 378, kPattern));
        m_sim->keyboard.SetMacroArea(std::vector<std::uint8_t>(128, 0));
        m_sim->keyboard.SetFaults(c.faults);
        m_sim->keyboard.ClearRequestLog();
        m_ui.Clear();
        m_working.allProfilesRequest.store(true);

        const WriteResult result = Write(false, 0);
        EXPECT_FALSE(result.Ok()) << c.name;
        EXPECT_EQ(result.failure, c.failure) << c.name;
        EXPECT_EQ(result.profile, c.profile) << c.name;
        EXPECT_EQ(result.status, c.faults.statusByte == 0xFE ? kStatusRefusedFE : kStatusRefusedFF) << c.name;
        const std::string text = WriteResultText(result);
        EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
        EXPECT_NE(text.find(": the keyboard refused the command"), std::string::npos) << text;
        // The next write must still send all three key maps.
        EXPECT_TRUE(m_working.allProfilesRequest.load()) << c.name;
        // Every bracket begun is closed.
        EXPECT_EQ(Commands().back(), 2) << c.name;
    }

    // The macro area refused: no key map was sent, no word about the names either.
    m_sim->keyboard.SetKeyMaps(std::vector<std::uint8_t>(3 * 378, kPattern));
    m_sim->keyboard.SetFaults({.refusedCommand = 10});
    m_sim->keyboard.ClearRequestLog();
    m_ui.Clear();
    EXPECT_EQ(Write(true, 0).failure, WriteFailure::kMacroArea);
    EXPECT_EQ(Commands(), (std::vector<int>{1, 10, 2}));
    EXPECT_EQ(m_sim->keyboard.KeyMaps(), std::vector<std::uint8_t>(3 * 378, kPattern));
    EXPECT_TRUE(m_ui.Texts().empty());

    // Profile 1's key map refused: profiles 2 and 3 are written all the same.
    m_sim->keyboard.SetFaults({.statusByte = 0xFF, .statusCount = 1, .statusAfter = 2});
    EXPECT_EQ(Write(true, 0).failure, WriteFailure::kKeyMap);
    EXPECT_EQ(KeyAction::At(Block(1), 19), KeyAction{});
    EXPECT_EQ(Block(0)[19 * 3 + 1], kPattern);

    // All well again: success, and the request is done with.
    m_sim->keyboard.SetFaults({});
    m_ui.Clear();
    EXPECT_TRUE(Write(false, 0));
    EXPECT_EQ(WriteResultText(Write(false, 0)), "written");
    EXPECT_FALSE(m_working.allProfilesRequest.load());
    EXPECT_EQ(KeyAction::At(Block(0), 19), KeyAction{});
    EXPECT_EQ(m_ui.Texts(), (std::vector<std::string>{"Names left out", "Names left out"}));

    // A keyboard that is gone is not written to at all.
    m_sim->keyboard.ClearRequestLog();
    m_sim->link.SetConnected(false);
    EXPECT_EQ(Write(true, 0).failure, WriteFailure::kKeyboardGone);
    EXPECT_TRUE(m_sim->keyboard.RequestLog().empty());
}

TEST_F(WriteSequence, MacroCapacityIsReadAgainWhenTheConnectionDidNotGetIt) {
    Connect();
    m_sim->connection.macroCapacity.store(0); // the information block was not read at connection
    m_sim->keyboard.SetFaults({.refusedCommand = 3});
    const WriteResult unknown = Write(false, 0);
    EXPECT_EQ(unknown.failure, WriteFailure::kCapacityUnknown);
    EXPECT_EQ(unknown.status, kStatusRefusedFF);
    EXPECT_TRUE(m_ui.Texts().empty()) << "the macros are not too long; the keyboard did not say";
    EXPECT_EQ(Commands(), (std::vector<int>{3}));
    EXPECT_EQ(m_sim->keyboard.KeyMaps(), std::vector<std::uint8_t>(3 * 378, kPattern));

    m_sim->keyboard.SetFaults({});
    m_sim->keyboard.ClearRequestLog();
    m_working.image.macros = Macros({1});
    EXPECT_TRUE(Write(false, 0));
    EXPECT_EQ(m_sim->connection.macroCapacity.load(), 0x40u * 128);
    EXPECT_TRUE(m_ui.Texts().empty());
    EXPECT_EQ(Commands().front(), 3);
    EXPECT_EQ(ReadMacroBlobHeader(m_sim->keyboard.MacroArea()).count, 1);
}

TEST_F(WriteSequence, KeyboardDefaultMapAndLargerModel) {
    Connect(sim::SimModel::k505B);
    // A keyboard whose own default map also has A at position 127.
    auto own = BuiltInDefaultKeyMap();
    KeyAction{2, 2, 0x04}.Put(own, 127);
    m_sim->connection.SetDefaultKeyMap(own);
    Assign(2, 0x1E, AssignmentType::kKey, 0x171);
    ASSERT_TRUE(Write(false, 2));
    const auto block = Block(2);
    ASSERT_EQ(block.size(), 512u);
    EXPECT_EQ(KeyAction::At(block, 19), (KeyAction{1, 1, 1}));
    EXPECT_EQ(KeyAction::At(block, 127), (KeyAction{1, 1, 1}));
    EXPECT_TRUE(std::all_of(block.begin() + 384, block.end(), [](std::uint8_t b) { return b == 0; }));
    const auto commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 8), 10); // 512 bytes in 56-byte chunks
}

TEST_F(WriteSequence, BuiltInDefaultMapUntilTheKeyboardsIsRead) {
    Connect();
    ConnectionState fresh;
    fresh.keyCount.store(126);
    fresh.blockSize.store(378);
    fresh.macroCapacity.store(1024);
    ASSERT_FALSE(fresh.HaveDefaultKeyMap());
    Assign(0, 0x110, AssignmentType::kStopMacro); // Prev Track sits at position 112 of the built-in map
    m_snapshot.image = m_working.image;
    ASSERT_TRUE(WriteConfiguration(m_snapshot, m_working, false, 0, m_sim->link, fresh, m_ui, m_language.Get()));
    EXPECT_EQ(KeyAction::At(Block(0), 112), (KeyAction{5, 2, 0}));
}

TEST_F(WriteSequence, VerifiedWriteReadsBackEverythingItWrote) {
    for (const sim::SimModel model : {sim::SimModel::k7672, sim::SimModel::k505B}) {
        Connect(model);
        const std::size_t chunks = model == sim::SimModel::k7672 ? 7 : 10;
        m_working.image.macros = Macros({1, 2, 3});
        Assign(2, 0x1E, AssignmentType::kMacro, 1);
        m_sim->keyboard.ClearRequestLog();

        ASSERT_TRUE(Write(true, 0, true)) << WriteResultText(Write(true, 0, true));
        const std::vector<int> commands = Commands();
        const std::size_t blobLength = MacroBlobSize(m_working.image.macros).withNames;
        const auto end = std::find(commands.begin(), commands.end(), 2);
        ASSERT_NE(end, commands.end());
        // Nothing is read back inside the bracket; after it, the macro area up to the blob's
        // length, then each key map.
        EXPECT_EQ(std::count(commands.begin(), end, 7) + std::count(commands.begin(), end, 9), 0);
        EXPECT_EQ(static_cast<std::size_t>(std::count(end, commands.end(), 9)), (blobLength + 55) / 56);
        EXPECT_EQ(static_cast<std::size_t>(std::count(end, commands.end(), 7)), 3 * chunks);
        EXPECT_TRUE(m_ui.Texts().empty());

        // One profile: only its key map is read back.
        m_sim->keyboard.ClearRequestLog();
        ASSERT_TRUE(Write(false, 1, true));
        EXPECT_EQ(static_cast<std::size_t>(test::CountCommand(m_sim->keyboard.RequestLog(), 7)), chunks);
    }
}

TEST_F(WriteSequence, VerificationCatchesAByteTheKeyboardStoredWrong) {
    Connect(sim::SimModel::k505B);
    m_working.image.macros = Macros({1, 2});
    Assign(1, 0x1E, AssignmentType::kMacro, 2);

    struct Case {
        const char* name;
        sim::SimFaults faults;
        int profile;
        std::size_t offset;
        std::string message;
    };
    // The fault inverts the first data byte of one chunk: the third key-map chunk of the second
    // profile written starts at byte 112 of that key map.
    const std::vector<Case> cases{
        {"macro area", {.corruptCommand = 10}, -1, 0, "Macro area differs"},
        {"key map", {.corruptCommand = 8, .corruptAfter = 12}, 1, 112, "Key map 2 differs"},
    };
    for (const Case& c : cases) {
        m_sim->keyboard.SetFaults(c.faults);
        m_ui.Clear();
        m_working.allProfilesRequest.store(true);
        const WriteResult result = Write(true, 0, true);
        EXPECT_EQ(result.failure, WriteFailure::kMismatch) << c.name;
        EXPECT_EQ(result.profile, c.profile) << c.name;
        EXPECT_EQ(result.offset, c.offset) << c.name;
        EXPECT_EQ(m_ui.Texts(), std::vector<std::string>{c.message}) << c.name;
        EXPECT_NE(WriteResultText(result).find(c.profile < 0 ? "the macro area" : "the key map of profile 2"),
                  std::string::npos)
            << WriteResultText(result);
        // The request for all three key maps stays for the next write, which puts it right.
        EXPECT_TRUE(m_working.allProfilesRequest.load()) << c.name;
        EXPECT_TRUE(Write(false, 0, true)) << c.name;
        EXPECT_FALSE(m_working.allProfilesRequest.load()) << c.name;
    }

    // Without verification the same fault goes unnoticed: that is what the read-back is for.
    m_sim->keyboard.SetFaults({.corruptCommand = 8});
    EXPECT_TRUE(Write(false, 0, false));
}

TEST_F(WriteSequence, AFailedReadBackIsAFailure) {
    Connect();
    // Status faults after the 1 + 1 + 7 + 1 exchanges of the write itself.
    m_sim->keyboard.SetFaults({.statusByte = 0xFF, .statusCount = 1, .statusAfter = 10});
    WriteResult result = Write(false, 0, true);
    EXPECT_EQ(result.failure, WriteFailure::kReadBack);
    EXPECT_EQ(result.profile, -1);
    EXPECT_NE(WriteResultText(result).find("reading back the macro area"), std::string::npos);

    m_sim->keyboard.SetFaults({.statusByte = 0xFE, .statusCount = 1, .statusAfter = 11});
    result = Write(false, 2, true);
    EXPECT_EQ(result.failure, WriteFailure::kReadBack);
    EXPECT_EQ(result.profile, 2);
    EXPECT_EQ(result.status, kStatusRefusedFE);
    EXPECT_TRUE(m_ui.Texts().empty());

    // Pulled out while its key map is read back (the link is closed only by the monitor).
    m_sim->keyboard.SetFaults({.unplugAfter = 12});
    result = Write(false, 0, true);
    EXPECT_EQ(result.failure, WriteFailure::kReadBack);
    EXPECT_EQ(result.profile, 0);
    EXPECT_NE(result.status, kStatusSuccess);
}

} // namespace
} // namespace brasslane
