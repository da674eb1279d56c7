#include "core/lighting/EffectList.h"
#include "core/lighting/KeyColourTable.h"
#include "core/lighting/LightingPanelRules.h"
#include "core/lighting/PreviewTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace brasslane {
namespace {

TEST(EffectListTest, PositionsSkipEmptySlots) {
    const std::array<std::uint8_t, 4> bytes{1, 0, 4, 20};
    const EffectList list(bytes);
    const EffectIndexTable table(list);
    EXPECT_EQ(table.Size(), 3u);
    EXPECT_EQ(table.TypeAt(0), 1);
    EXPECT_EQ(table.TypeAt(1), 4);
    EXPECT_EQ(table.TypeAt(2), 20);
    EXPECT_EQ(table.TypeAt(3), -1);
    EXPECT_EQ(table.PositionOf(4), 1);
    EXPECT_EQ(table.PositionOf(2), -1);
    EXPECT_EQ(table.PositionOf(0), -1); // empty slots are not positions
    EXPECT_TRUE(list.SupportsPerKey());

    std::array<std::uint8_t, 44> info{};
    info[43] = 20; // the last slot counts
    EXPECT_TRUE(EffectList::FromDeviceInfo(info).SupportsPerKey());
    EXPECT_EQ(EffectList::FromDeviceInfo(std::span(info).first(5)), EffectList{});
}

TEST(PanelRulesTest, UnknownEffectsShowAndWriteNothing) {
    // Effects 1..20 are one table with the model's selection writes (LightingModelTest).
    for (const int effect : {0, 21, 255, -1}) {
        SCOPED_TRACE(effect);
        EXPECT_EQ(VisibilityFor(effect), PanelVisibility{});
        EXPECT_EQ(SelectionWriteOf(effect), SelectionWrite::kNothing);
    }
    EXPECT_EQ(DirectionControlsFor(DirectionKind::kNone), DirectionControls{});
}

TEST(PanelRulesTest, ColourFieldsStopAt255) {
    EXPECT_EQ(ColourFieldText("300"), "255");
    EXPECT_EQ(ColourFieldText("255"), "255");
    EXPECT_EQ(ColourFieldText(""), "");
    EXPECT_EQ(ColourFieldText("99999999999999999999999"), "255");
    EXPECT_EQ(ColourFieldText("0000000000000000000000007"), "0000000000000000000000007");
    EXPECT_EQ(ColourFieldText("ab"), "ab");
}

TEST(KeyColourIndexTest, MatrixPlacesOfKeys) {
    const std::pair<std::uint16_t, int> cases[] = {
        {0x01, 0},  {0x57, 11},  {0x137, 14},  {0x45, 16},   {0x4A, 41},  {0x4E, 62},  {0x1C, 76},
        {0x56, 85}, {0x136, 97}, {0x11C, 104}, {0x15C, 112}, {0x53, 124}, {0x146, -1}, {0x171, -1},
    };
    for (const auto& [scan, index] : cases) {
        SCOPED_TRACE(scan);
        EXPECT_EQ(KeyColourIndexOf(scan), index);
    }

    std::set<int> seen;
    for (std::uint8_t index : KeyButtonColourIndices()) {
        EXPECT_LT(index, kMatrixRows * kMatrixColumns);
        seen.insert(index);
        EXPECT_EQ(KeyColourIndexOf(ScanCodeOfColourIndex(index)), index == kFnColourIndex ? -1 : index);
    }
    EXPECT_EQ(seen.size(), kKeyButtonColourCount);
    EXPECT_FALSE(IsKeyButtonColourIndex(kGKeyColourIndex));
    EXPECT_FALSE(IsKeyButtonColourIndex(13));
    EXPECT_FALSE(IsKeyButtonColourIndex(500));
}

TEST(KeyColourIndexTest, PreviewPictureAndLightingMatrixHoldTheSameKeys) {
    constexpr int kRightWinPlace = 5 * 21 + 7; // the only coloured key the picture does not draw
    std::set<int> drawn;
    std::array<std::vector<std::pair<int, int>>, kPreviewRows> cellAndColumnByRow;
    for (const PreviewKeyInfo& info : PreviewKeyTable()) {
        SCOPED_TRACE(std::string(info.name));
        EXPECT_TRUE(IsKeyButtonColourIndex(info.matrixIndex));
        EXPECT_EQ(ScanCodeOfColourIndex(info.matrixIndex), info.scanCode);
        drawn.insert(info.matrixIndex);
        // Both lay the keys out in the same rows, Num + apart (drawn a row lower).
        EXPECT_EQ(info.matrixIndex / kMatrixColumns, info.key == PreviewKey::kNumPlus ? 2 : info.row);
        cellAndColumnByRow[info.row].emplace_back(info.firstCell, info.matrixIndex % kMatrixColumns);
    }
    std::set<int> coloured(KeyButtonColourIndices().begin(), KeyButtonColourIndices().end());
    coloured.erase(kRightWinPlace);
    EXPECT_EQ(drawn, coloured);
    // Within a row both run left to right in the same order, so two keys swapped in either
    // table show up.
    for (auto& row : cellAndColumnByRow) {
        std::ranges::sort(row);
        EXPECT_TRUE(std::ranges::adjacent_find(row, [](auto a, auto b) { return a.second >= b.second; }) == row.end());
    }
}

TEST(KeyColourTableTest, EncodeExchangesAndDropsPlacesWithoutKeys) {
    KeyColourTable table;
    EXPECT_TRUE(table.Set(0, 0, {1, 2, 3}));
    EXPECT_TRUE(table.Set(0, kFnColourIndex, {4, 5, 6}));
    EXPECT_FALSE(table.Set(0, 13, {7, 7, 7}));
    EXPECT_FALSE(table.Set(3, 0, {7, 7, 7}));
    EXPECT_EQ(table.Get(5, 0), kBlack);

    auto area = table.Encode(0, 126);
    EXPECT_EQ((std::array<int, 4>{area[0], area[1], area[2], area[330]}), (std::array<int, 4>{2, 1, 3, 5}));
    // A keyboard lighting fewer places gets zero beyond them.
    area = table.Encode(0, 100);
    EXPECT_EQ(area[330], 0);
    EXPECT_EQ(table.Encode(1, 126), (std::array<std::uint8_t, 512>{}));

    EXPECT_EQ(KeyColourChunkCount(126), 8u);
    EXPECT_EQ(KeyColourChunkCount(128), 8u);
    EXPECT_EQ(KeyColourChunkCount(0xFFFFFFFF), 9u); // never past the 512-byte area
}

} // namespace
} // namespace brasslane
