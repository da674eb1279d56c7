#include "core/profiles/ProfileStore.h"

#include "ProfileTestSupport.h"
#include "core/base/Bytes.h"
#include "core/base/AppState.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "core/resources/Language.h"
#include "support/SimKeyboardFixture.h"

#include <gtest/gtest.h>

#include <set>

namespace brasslane {
namespace {

// Positions 99 and 106 always carry the same action in a written key map, so the key at 106
// cannot keep an assignment of its own.
constexpr std::size_t kMirroredPosition = 106;
constexpr std::size_t kMirrorSource = 99;

// The profile-area slots of the keys the keyboard lets us remap.
std::vector<std::size_t> RemappableSlots(std::set<std::size_t>& excluded) {
    std::vector<std::size_t> slots;
    std::set<std::size_t> seen;
    const auto matrix = BuiltInDefaultMatrix();
    for (std::size_t position = 0; position < matrix.size(); ++position) {
        const ScanCode code = DecodePosition(matrix[position]);
        if (code == 0) {
            continue;
        }
        const std::size_t slot = ToScanIndex(code);
        if (position == kMirroredPosition || position == kMirrorSource) {
            excluded.insert(slot);
        }
        if (seen.insert(slot).second) {
            slots.push_back(slot);
        }
    }
    std::erase_if(slots, [&](std::size_t slot) { return excluded.contains(slot); });
    return slots;
}

KeyEntry Assignment(AssignmentType type, std::uint32_t param = 0) {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(type);
    entry.param = param;
    return entry;
}

MacroBlock Macro(std::u16string name, std::uint16_t id, std::uint8_t repeat, std::vector<MacroStep> steps) {
    MacroBlock macro;
    macro.name = std::move(name);
    macro.id = id;
    macro.repeat = repeat;
    macro.steps = std::move(steps);
    return macro;
}

class KeyboardProfileTest : public ::testing::TestWithParam<sim::SimModel> {
protected:
    KeyboardProfileTest()
        : m_language(m_folder.Path(), nullptr, [] { return std::uint16_t{0x0409}; }), m_sim(GetParam()),
          m_store(m_working, m_snapshot, m_appState, m_sim.link, m_sim.connection, m_ui, m_language,
                  m_folder / "user") {}

    void SetUp() override {
        test::WriteLanguageFile(m_folder.Path(), test::ProfileTexts());
        ASSERT_TRUE(m_sim.ConnectAndRead());
        ASSERT_TRUE(m_store.CreateDefaultImage(std::nullopt));
    }

    // Every kind of assignment a key map can hold, spread over the three profiles, and three
    // macros whose steps use keys, modifiers, mouse buttons and the wheel.
    void FillWorkingImage() {
        std::set<std::size_t> excluded;
        const std::vector<std::size_t> slots = RemappableSlots(excluded);
        std::vector<KeyEntry> kinds = {
            Assignment(AssignmentType::kDisabled),     Assignment(AssignmentType::kKey, 0x1E),
            Assignment(AssignmentType::kKey, 0x30),    Assignment(AssignmentType::kKey, 0x1D),
            Assignment(AssignmentType::kKey, 0x36),    Assignment(AssignmentType::kKey, 0x171),
            Assignment(AssignmentType::kKey, 0x173),   Assignment(AssignmentType::kKey, 0x161),
            Assignment(AssignmentType::kKey, 0x162),   Assignment(AssignmentType::kMacro, 1),
            Assignment(AssignmentType::kMacro, 3),     Assignment(AssignmentType::kStopMacro),
            Assignment(AssignmentType::kMedia, 0),     Assignment(AssignmentType::kMedia, 7),
            Assignment(AssignmentType::kMedia, 17),    Assignment(AssignmentType::kFunction, 0),
            Assignment(AssignmentType::kFunction, 10), Assignment(AssignmentType::kDefault),
        };
        std::lock_guard lock(m_working.lock);
        for (std::size_t area = 0; area < 3; ++area) {
            SetGKeyCodes(m_working.image, area);
            for (std::size_t k = 0; k < slots.size(); ++k) {
                KeyEntry entry = kinds[(k + 5 * area) % kinds.size()];
                // A key assigned to itself is its default.
                if (entry.Type() == AssignmentType::kKey &&
                    ToScanIndex(static_cast<ScanCode>(entry.param)) == slots[k]) {
                    entry = Assignment(AssignmentType::kDisabled);
                }
                m_working.image.SetEntry(RecordIndex(area, slots[k]), entry);
            }
        }
        m_working.image.macros = {
            Macro(u"Copy", 1, 1, {{30, 0x1D, 0}, {20, 0x2E, 0}, {10, 0x2E, 1}, {0, 0x1D, 1}}),
            Macro(u"Clicks", 2, 5, {{40000, 0x171, 0}, {100, 0x171, 1}, {0, 0x161, 0}, {0, 0x162, 1}}),
            Macro(u"Empty", 3, 255, {}),
        };
    }

    void ExpectWorkingImageEquals(const ProfileImage& expected) {
        std::set<std::size_t> excluded;
        RemappableSlots(excluded);
        const ScanCode mirrored = DecodePosition(BuiltInDefaultMatrix()[kMirroredPosition]);
        for (std::size_t area = 0; area < 3; ++area) {
            for (std::size_t slot = 0; slot < 274; ++slot) {
                if (slot == ToScanIndex(mirrored)) {
                    continue;
                }
                ASSERT_EQ(m_working.image.Entry(RecordIndex(area, slot)), expected.Entry(RecordIndex(area, slot)))
                    << "area " << area << " slot " << slot;
            }
        }
    }

    test::TempFolder m_folder;
    test::RecordingUiSink m_ui;
    Language m_language;
    test::SimKeyboardLink m_sim;
    AppState m_appState;
    WorkingImage m_working;
    UploadSnapshot m_snapshot;
    ProfileStore m_store;
};

TEST_P(KeyboardProfileTest, ActiveProfile) {
    m_sim.SetInfoByte(10, 1);
    EXPECT_EQ(m_store.GetActiveProfile(), 1);
    m_sim.keyboard.ClearRequestLog();
    EXPECT_EQ(m_store.GetActiveProfile(), 1) << "cached";
    EXPECT_TRUE(m_sim.keyboard.RequestLog().empty());

    for (const int index : {-1, 3, 4, 255, 1000}) {
        EXPECT_FALSE(m_store.SetActiveProfile(index)) << index;
    }
    EXPECT_TRUE(m_sim.keyboard.RequestLog().empty()) << "no index outside 0..2 reaches the keyboard";

    EXPECT_TRUE(m_store.SetActiveProfile(2));
    EXPECT_EQ(m_sim.keyboard.ActiveProfile(), 2);
    EXPECT_EQ(m_appState.activeProfile.load(), 2);
    const auto log = m_sim.keyboard.RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0][3], 3);
    EXPECT_EQ(log[1][3], 4);
    EXPECT_EQ(log[1][8 + 10], 2);

    // A failed write leaves the profile unknown.
    sim::SimFaults faults;
    faults.unplugAfter = 1;
    m_sim.keyboard.SetFaults(faults);
    EXPECT_FALSE(m_store.SetActiveProfile(0));
    EXPECT_EQ(m_appState.activeProfile.load(), -1);
    EXPECT_EQ(m_store.GetActiveProfile(), -1);

    // A profile the keyboard cannot have is not taken: nothing is read into a file either.
    m_sim.keyboard.SetFaults({});
    m_sim.keyboard.Plug();
    ASSERT_TRUE(ConnectKeyboard(m_sim.link, m_sim.connection));
    m_sim.SetInfoByte(10, 7);
    EXPECT_EQ(m_store.GetActiveProfile(), -1);
    EXPECT_EQ(m_appState.activeProfile.load(), -1);
    EXPECT_FALSE(m_store.ReadKeyboardProfile(m_folder / "x.fwc"));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "x.fwc"));
}

TEST_P(KeyboardProfileTest, UploadAndReadBackGiveTheSameProfile) {
    FillWorkingImage();
    const ProfileImage expected = m_working.image;
    ASSERT_TRUE(m_store.TakeSnapshotAndUpload(true));
    EXPECT_TRUE(m_ui.TakeTexts().empty());

    const auto path = m_folder / "backup.fwc";
    ASSERT_TRUE(m_store.ReadKeyboardProfile(path));
    EXPECT_EQ(m_store.ValidateProfileFile(path), ProfileFileCheck::kValid);
    ASSERT_TRUE(m_store.CreateDefaultImage(std::nullopt));
    ASSERT_TRUE(m_store.LoadProfileFile(path));
    ExpectWorkingImageEquals(expected);
    EXPECT_EQ(m_working.image.macros, expected.macros);
    for (std::size_t slot = 0; slot < kAreaSlots; ++slot) {
        EXPECT_EQ(m_working.image.Entry(RecordIndex(3, slot)), KeyEntry()) << "area 3 stays empty";
    }
}

TEST_P(KeyboardProfileTest, NamesThatDoNotFitComeBackNumbered) {
    FillWorkingImage();
    for (MacroBlock& macro : m_working.image.macros) {
        macro.name = std::u16string(200, u'n');
    }
    const MacroBlobSizes sizes = MacroBlobSize(m_working.image.macros);
    ASSERT_LT((sizes.withoutNames + 127) / 128, sizes.withNames / 128);
    m_sim.SetInfoByte(11, static_cast<std::uint8_t>((sizes.withoutNames + 127) / 128));
    ASSERT_EQ(ReadConnectionData(m_sim.link, m_sim.connection), kStatusSuccess);

    std::vector<MacroBlock> expected = m_working.image.macros;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        expected[i].name = u"Macro" + std::u16string(1, static_cast<char16_t>(u'1' + i));
    }
    ASSERT_TRUE(m_store.TakeSnapshotAndUpload(true));
    EXPECT_EQ(m_ui.TakeTexts(), std::vector<std::string>{"No room for names"});
    const auto path = m_folder / "backup.fwc";
    ASSERT_TRUE(m_store.ReadKeyboardProfile(path));
    ASSERT_TRUE(m_store.LoadProfileFile(path));
    EXPECT_EQ(m_working.image.macros, expected);
}

TEST_P(KeyboardProfileTest, SnapshotCarriesPackedTexts) {
    FillWorkingImage();
    KeyEntry program = Assignment(AssignmentType::kProgram, 999);
    m_working.image.SetEntry(RecordIndex(3, 7), program);
    m_working.texts.Set(RecordIndex(3, 7), u"run");
    m_working.texts.Set(RecordIndex(3, 2), u"unused");
    ASSERT_TRUE(m_store.TakeSnapshotAndUpload(false));

    EXPECT_EQ(m_snapshot.pool.size(), 8u + 14u);
    EXPECT_EQ(m_snapshot.image.macros, m_working.image.macros);
    EXPECT_EQ(m_working.image.Entry(RecordIndex(3, 7)).param, 0u) << "offset stored in the working entry";
    EXPECT_EQ(m_snapshot.image.Entry(RecordIndex(3, 7)).param, 0u);
    EXPECT_EQ(*ReadU16(m_snapshot.image.header, 14), 3u);
    EXPECT_EQ(*ReadU32(m_snapshot.image.header, 16), 22u);
    EXPECT_EQ(m_snapshot.image.header[31], ProfileFileHeader::Checksum(m_snapshot.image.header));
    EXPECT_TRUE(std::equal(m_snapshot.image.header.begin() + 32, m_snapshot.image.header.end(),
                           m_working.image.header.begin() + 32));
}

TEST_P(KeyboardProfileTest, DamagedMacroAreaReadsAsNoMacros) {
    for (const std::uint16_t length : {std::uint16_t{8}, std::uint16_t{40000}}) {
        std::vector<std::uint8_t> area(sim::kSimMacroAreaMax, 0);
        WriteU16(area, 0, 0x55AA);
        WriteU16(area, 2, length);
        WriteU16(area, 4, 3);
        m_sim.keyboard.SetMacroArea(area);
        const auto path = m_folder / "damaged.fwc";
        ASSERT_TRUE(m_store.ReadKeyboardProfile(path)) << length;
        ASSERT_TRUE(m_store.LoadProfileFile(path));
        EXPECT_TRUE(m_working.image.macros.empty());
    }
}

TEST_P(KeyboardProfileTest, SyncFromKeyboard) {
    FillWorkingImage();
    ASSERT_TRUE(m_store.TakeSnapshotAndUpload(true));
    const ProfileImage expected = m_working.image;
    m_sim.SetInfoByte(10, 2);
    m_appState.activeProfile.store(-1);
    ASSERT_TRUE(m_store.CreateDefaultImage(std::nullopt));

    int refreshed = -2;
    m_store.SetSyncHooks({[&](int active) { refreshed = active; }, {}});
    m_store.SyncFromKeyboard(false);
    EXPECT_EQ(refreshed, 2);
    EXPECT_TRUE(std::filesystem::exists(m_store.ProfileCacheFile()));
    ExpectWorkingImageEquals(expected);
    EXPECT_EQ(m_working.image.macros, expected.macros);

    // A keyboard that stops answering gives the default image and no new cache file.
    std::filesystem::remove(m_store.ProfileCacheFile());
    sim::SimFaults faults;
    faults.neverAnswer = true;
    m_sim.keyboard.SetFaults(faults);
    m_appState.activeProfile.store(-1);
    m_store.SyncFromKeyboard(false);
    EXPECT_EQ(refreshed, -1);
    EXPECT_EQ(m_working.image.header, MakeDefaultImage().header);
    EXPECT_TRUE(m_working.image.macros.empty());
    EXPECT_FALSE(std::filesystem::exists(m_store.ProfileCacheFile()));
}

INSTANTIATE_TEST_SUITE_P(BothModels, KeyboardProfileTest,
                         ::testing::Values(sim::SimModel::k7672, sim::SimModel::k505B));

} // namespace
} // namespace brasslane
