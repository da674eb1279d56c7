#include "core/lighting/LightingModel.h"

#include "core/lighting/LightingPanelRules.h"
#include "support/SimKeyboardFixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace brasslane {
namespace {

using test::Address;
using test::Commands;
using test::Frame;
using test::Payload;
using Ints = std::vector<int>;
using Bytes = std::vector<std::uint8_t>;

class LightingModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Connect());
        ASSERT_EQ(model.Load(false), kStatusSuccess);
        sim.TakeLog();
    }
    // Byte `offset` of `profile`'s block as the keyboard keeps it.
    std::uint8_t Byte(int profile, int offset) { return sim.keyboard.Lighting()[profile * 42 + offset]; }

    test::SimKeyboardLink sim;
    LightingModel model{sim.link, sim.connection};
};

TEST_F(LightingModelTest, ColourIsHandedOverRedFirstAndStoredGreenFirst) {
    EXPECT_EQ(model.SetColour({235, 99, 30}), kStatusSuccess);
    const std::vector<Frame> log = sim.TakeLog();
    ASSERT_EQ(Commands(log), (Ints{1, 6, 6, 2}));
    EXPECT_EQ(Address(log[1]), kOffsetColourful);
    EXPECT_EQ(Payload(log[1]), Bytes{0});
    EXPECT_EQ(Address(log[2]), kOffsetColour);
    EXPECT_EQ(Payload(log[2]), (Bytes{99, 235, 30}));
    EXPECT_EQ(model.State().colour, (Rgb{235, 99, 30}));
    EXPECT_FALSE(model.State().colourful);

    // A preset is written the same way, and a reload reads the colour back unchanged.
    EXPECT_EQ(model.ChoosePreset(6), kStatusSuccess);
    ASSERT_EQ(model.Load(false), kStatusSuccess);
    EXPECT_EQ(model.State().colour, kColourPresets[6]);
    EXPECT_EQ(model.ChoosePreset(8), kStatusBadValue);
}

TEST_F(LightingModelTest, LoadDecodesTheCurrentProfileAndBoundsItsValues) {
    auto area = sim.keyboard.Lighting();
    // Profile 1: effect 7, brightness 9, speed 6, green 10, red 20, blue 30, rate 7, four-colour 9.
    const std::array<std::uint8_t, 18> block{7, 9, 6, 0xFF, 0, 10, 20, 30, 0, 0, 0, 0, 0, 0, 0, 7, 0, 9};
    std::copy(block.begin(), block.end(), area.begin() + 42);
    sim.keyboard.SetLighting(area);
    sim.SetEffectList({1, 0, 4, 20});
    ASSERT_TRUE(model.SetProfile(1));
    EXPECT_FALSE(model.SetProfile(3));

    EXPECT_EQ(model.Load(false), kStatusSuccess);
    const std::vector<Frame> log = sim.TakeLog();
    EXPECT_EQ(Commands(log), (Ints{3, 1, 5, 5, 5, 2}));
    EXPECT_EQ((Ints{Address(log[2]), Address(log[3]), Address(log[4])}), (Ints{0, 42, 84}));

    const LightingState& s = model.State();
    EXPECT_EQ(s.effect, 7);
    EXPECT_EQ(s.brightness, kMaxBrightness);
    EXPECT_EQ(s.speed, kMaxSpeed);
    EXPECT_TRUE(s.DirectionIsFirst());
    EXPECT_EQ(s.colour, (Rgb{20, 10, 30}));
    EXPECT_EQ(s.reportRate, 3);
    EXPECT_EQ(s.fourColour, 0);
    EXPECT_EQ(s.blocks[0].Effect(), 1);
    EXPECT_EQ(model.EffectIndex().Size(), 3u);
    EXPECT_EQ(model.EffectIndex().PositionOf(4), 1);
    EXPECT_EQ(model.KeyboardProfile(), 0);
}

TEST_F(LightingModelTest, FailedReadsLeaveWhatWasKnown) {
    ASSERT_TRUE(model.SetProfile(1));
    model.Load(false);
    auto area = sim.keyboard.Lighting();
    area[0] = 9;  // profile 0's effect
    area[42] = 3; // profile 1's effect, never read below
    sim.keyboard.SetLighting(area);
    sim::SimFaults faults;
    faults.unplugAfter = 3; // information, command 1 and the first block are answered
    sim.keyboard.SetFaults(faults);

    EXPECT_NE(model.Load(false), kStatusSuccess);
    EXPECT_EQ(model.State().blocks[0].Effect(), 9);
    EXPECT_EQ(model.State().blocks[1].Effect(), 1);
    EXPECT_EQ(model.State().effect, 1);

    // Without the information block nothing else is read and no effect is offered.
    sim.link.SetConnected(false);
    EXPECT_EQ(model.Load(true), kStatusInfoFailed);
    EXPECT_EQ(model.EffectIndex().Size(), 0u);
}

TEST_F(LightingModelTest, SlidersWriteOnlyChangesAndSpeedIsReversed) {
    // The simulated keyboard starts with brightness 5 and speed 2.
    model.SetSpeed(0);
    EXPECT_EQ(Byte(0, kOffsetSpeed), 4);
    model.SetSpeed(4);
    EXPECT_EQ(Byte(0, kOffsetSpeed), 0);
    EXPECT_EQ(model.State().SpeedPosition(), 4);
    EXPECT_EQ(Commands(sim.TakeLog()), (Ints{1, 6, 2, 1, 6, 2}));

    model.SetSpeed(4);
    model.SetBrightness(5);
    EXPECT_EQ(model.SetBrightness(6), kStatusBadValue);
    EXPECT_EQ(model.SetReportRate(4), kStatusBadValue);
    EXPECT_EQ(model.SetFourColour(-1), kStatusBadValue);
    EXPECT_TRUE(sim.TakeLog().empty());
}

TEST_F(LightingModelTest, SlidersRewriteAByteTheyCannotShow) {
    // Brightness 9 shows as 5 and speed 7 as position 0; moving a control to the position it
    // shows still writes, or the keyboard would keep the bad byte for good.
    auto area = sim.keyboard.Lighting();
    area[kOffsetBrightness] = 9;
    area[kOffsetSpeed] = 7;
    sim.keyboard.SetLighting(area);
    ASSERT_EQ(model.Load(false), kStatusSuccess);
    EXPECT_EQ(model.State().brightness, kMaxBrightness);
    EXPECT_EQ(model.State().SpeedPosition(), 0);
    sim.TakeLog();

    EXPECT_EQ(model.SetSpeed(0), kStatusSuccess);
    EXPECT_EQ(model.SetBrightness(5), kStatusSuccess);
    EXPECT_EQ(Commands(sim.TakeLog()), (Ints{1, 6, 2, 1, 6, 2}));
    EXPECT_EQ(Byte(0, kOffsetSpeed), 4);
    EXPECT_EQ(Byte(0, kOffsetBrightness), 5);

    // Once corrected, the same positions are no change again.
    model.SetSpeed(0);
    model.SetBrightness(5);
    EXPECT_TRUE(sim.TakeLog().empty());
}

TEST_F(LightingModelTest, EveryActionIsOneBracketedTransactionAtTheProfilesBlock) {
    ASSERT_TRUE(model.SetProfile(2));
    const std::vector<std::pair<const char*, std::function<void()>>> actions{
        {"effect", [&] { model.SelectEffect(3); }},
        {"brightness", [&] { model.SetBrightness(1); }},
        {"speed", [&] { model.SetSpeed(1); }},
        {"direction", [&] { model.SetDirection(true); }},
        {"colour",
         [&] {
             model.SetColour({1, 2, 3});
         }},
        {"colourful", [&] { model.ToggleColourful(); }},
        {"report rate", [&] { model.SetReportRate(2); }},
        {"four colour", [&] { model.SetFourColour(3); }},
        {"key colours", [&] { model.SendKeyColours(); }},
        {"one key",
         [&] {
             model.SetKeyColour(kFnColourIndex, {9, 8, 7});
         }},
    };
    for (const auto& [name, action] : actions) {
        SCOPED_TRACE(name);
        action();
        const Ints commands = Commands(sim.TakeLog());
        ASSERT_GE(commands.size(), 3u);
        EXPECT_EQ(commands.front(), 1);
        EXPECT_EQ(commands.back(), 2);
        for (std::size_t i = 1; i + 1 < commands.size(); ++i) {
            EXPECT_TRUE(commands[i] == 6 || commands[i] == 17) << commands[i];
        }
    }
    const Bytes expected{4, 1, 3, 0xFF, 1, 2, 1, 3};
    EXPECT_EQ((Bytes{Byte(2, 0), Byte(2, 1), Byte(2, 2), Byte(2, 3), Byte(2, 4), Byte(2, 5), Byte(2, 6), Byte(2, 7)}),
              expected);
    EXPECT_EQ(Byte(2, kOffsetReportRate), 2);
    EXPECT_EQ(Byte(2, kOffsetFourColour), 3);
    EXPECT_TRUE(model.State().colourful);
    EXPECT_EQ(Byte(0, kOffsetBrightness), 5); // other profiles untouched
}

TEST_F(LightingModelTest, EveryEffectShowsAndWritesWhatItsRowSays) {
    using D = DirectionKind;
    using W = SelectionWrite;
    const DirectionControls none{};
    const DirectionControls leftRight{"CONTROL_BLFXStatic2",
                                      {"CONTROL_BLFXLStaPic2", "CONTROL_BLFXRStaPic2"},
                                      {"leftup.bmp", "rightup.bmp"},
                                      {"leftdown.bmp", "rightdown.bmp"}};
    const DirectionControls upDown{"CONTROL_BLFXStatic3",
                                   {"CONTROL_BLFXLStaPic3", "CONTROL_BLFXRStaPic3"},
                                   {"upup.bmp", "downup.bmp"},
                                   {"updown.bmp", "downdown.bmp"}};
    const DirectionControls spread{"CONTROL_BLFXStatic",
                                   {"CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"},
                                   {"kuosan.bmp", "julong.bmp"},
                                   {"kuosandown.bmp", "julongdown.bmp"}};
    struct Row {
        int effect;
        PanelVisibility shown;
        const DirectionControls& direction;
        SelectionWrite writes;
    };
    constexpr bool Y = true;
    constexpr bool n = false;
    // clang-format off
    const Row rows[] = {
        // effect  brightness speed direction colour toggle second four user
        {1,  {Y, Y, D::kLeftRight,      Y, Y, n, n, n}, leftRight, W::kEffectAndColourful},
        {2,  {Y, Y, D::kLeftRight,      Y, Y, n, n, n}, leftRight, W::kEffectAndColourful},
        {3,  {Y, Y, D::kLeftRight,      n, Y, n, n, n}, leftRight, W::kEffectAndColourful},
        {4,  {Y, Y, D::kNone,           n, n, n, n, n}, none,      W::kEffectOnly},
        {5,  {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {6,  {Y, n, D::kNone,           n, n, Y, n, n}, none,      W::kEffectOnly},
        {7,  {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {8,  {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {9,  {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {10, {Y, Y, D::kNone,           n, n, n, n, n}, none,      W::kEffectOnly},
        {11, {Y, Y, D::kNone,           n, n, n, n, n}, none,      W::kEffectOnly},
        {12, {Y, Y, D::kUpDown,         n, n, n, n, n}, upDown,    W::kEffectOnly},
        {13, {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {14, {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {15, {Y, Y, D::kNone,           Y, Y, n, n, n}, none,      W::kEffectAndColourful},
        {16, {Y, n, D::kNone,           n, n, Y, n, n}, none,      W::kEffectOnly},
        {17, {Y, n, D::kNone,           n, n, n, Y, n}, none,      W::kEffectOnly},
        {18, {Y, n, D::kSpreadConverge, n, n, n, n, n}, spread,    W::kEffectOnly},
        {19, {n, n, D::kNone,           n, n, n, n, n}, none,      W::kNothing},
        {20, {Y, n, D::kNone,           n, n, n, n, Y}, none,      W::kEffectAndRepaint},
    };
    // clang-format on

    // The empty slot is skipped: the selector still holds effect e at position e - 1.
    sim.SetEffectList({1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
    ASSERT_TRUE(model.SetProfile(1));
    model.Load(false);
    int repaints = 0;
    model.SetRepaintHook([&] { ++repaints; });
    for (const bool colourful : {false, true}) {
        if (model.State().colourful != colourful) {
            model.ToggleColourful();
        }
        sim.TakeLog();
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << "effect " << row.effect << (colourful ? ", colourful" : ""));
            EXPECT_EQ(VisibilityFor(row.effect), row.shown);
            EXPECT_EQ(DirectionControlsFor(row.shown.direction), row.direction);
            EXPECT_EQ(SelectionWriteOf(row.effect), row.writes);

            const std::uint8_t effectBefore = model.State().effect;
            const int repaintsBefore = repaints;
            ASSERT_EQ(model.EffectIndex().TypeAt(row.effect - 1), row.effect);
            model.SelectEffect(row.effect - 1);
            const std::vector<Frame> log = sim.TakeLog();
            if (row.writes == W::kNothing) {
                EXPECT_TRUE(log.empty());
                EXPECT_EQ(model.State().effect, effectBefore);
                continue;
            }
            const bool withFlag = row.writes == W::kEffectAndColourful;
            ASSERT_EQ(Commands(log), withFlag ? (Ints{1, 6, 6, 2}) : (Ints{1, 6, 2}));
            EXPECT_EQ(Address(log[1]), 42 + kOffsetEffect);
            EXPECT_EQ(Payload(log[1]), Bytes{static_cast<std::uint8_t>(row.effect)});
            if (withFlag) {
                EXPECT_EQ(Address(log[2]), 42 + kOffsetColourful);
                EXPECT_EQ(Payload(log[2]), Bytes{colourful ? std::uint8_t{1} : std::uint8_t{0}});
            }
            EXPECT_EQ(model.State().effect, row.effect);
            EXPECT_EQ(repaints - repaintsBefore, row.writes == W::kEffectAndRepaint ? 1 : 0);
        }
    }

    // Positions without an effect send nothing either.
    model.SelectEffect(20);
    model.SelectEffect(-1);
    EXPECT_TRUE(sim.TakeLog().empty());
    EXPECT_EQ(model.State().effect, 20);
}

TEST_F(LightingModelTest, ResetWritesExactlyThe35DefaultBytes) {
    auto area = sim.keyboard.Lighting();
    std::fill(area.begin() + 42, area.begin() + 84, 0xAA);
    sim.keyboard.SetLighting(area);
    ASSERT_TRUE(model.SetProfile(1));
    model.Load(false);
    int restores = 0;
    model.SetUserModeResetHook([&] { ++restores; });
    sim.TakeLog();

    EXPECT_EQ(model.ResetToDefaults(), kStatusSuccess);
    const std::vector<Frame> log = sim.TakeLog();
    ASSERT_EQ(Commands(log), (Ints{1, 6, 6, 2, 1, 6, 2})); // effect 1, then the block
    EXPECT_EQ(Address(log[5]), 42);
    EXPECT_EQ(Payload(log[5]), Bytes(kDefaultBlock.begin(), kDefaultBlock.end()));
    EXPECT_EQ(restores, 1); // the simulated keyboard offers effect 20
    for (int offset = 0; offset < 42; ++offset) {
        EXPECT_EQ(Byte(1, offset), offset < 35 ? kDefaultBlock[offset] : 0xAA) << offset;
    }
    EXPECT_EQ(model.State().colour, kWhite);
    EXPECT_TRUE(model.State().colourful);

    sim.SetEffectList({2, 3});
    model.Load(false);
    sim.TakeLog();
    model.ResetToDefaults();
    EXPECT_EQ(Commands(sim.TakeLog()), (Ints{1, 6, 2}));
    EXPECT_EQ(restores, 1);
}

TEST_F(LightingModelTest, KeyColoursAddressTheProfileAndGoGreenFirst) {
    ASSERT_TRUE(model.SetProfile(2));
    const int num1 = 4 * 21 + 17;
    EXPECT_EQ(model.SetKeyColour(num1, {10, 20, 30}), kStatusSuccess);
    const std::vector<Frame> log = sim.TakeLog();
    ASSERT_EQ(Commands(log), (Ints{1, 17, 2}));
    EXPECT_EQ((Ints{log[1][4], log[1][5], log[1][6]}), (Ints{3, 0x2F, 0x05})); // 303 + 1024
    EXPECT_EQ(Payload(log[1]), (Bytes{20, 10, 30}));
    EXPECT_EQ(model.KeyColours().Get(2, num1), (Rgb{10, 20, 30}));

    // Index 100 is an empty place of the matrix and G keys have no colour: nothing is sent.
    EXPECT_EQ(model.SetKeyColour(100, {1, 1, 1}), kStatusBadValue);
    EXPECT_EQ(model.SetKeyColour(kGKeyColourIndex, {1, 1, 1}), kStatusBadValue);
    EXPECT_TRUE(sim.TakeLog().empty());
}

TEST_F(LightingModelTest, WholeProfileGoesInEightChunksWithEmptyPlacesZero) {
    for (std::uint8_t index : KeyButtonColourIndices()) {
        model.KeyColours().Set(1, index, {index, 0x40, 0x80});
    }
    EXPECT_EQ(model.SendKeyColours(1), kStatusSuccess);
    const std::vector<Frame> log = sim.TakeLog();
    ASSERT_EQ(log.size(), 10u);
    for (std::size_t j = 0; j < 8; ++j) {
        EXPECT_EQ((Ints{log[j + 1][3], log[j + 1][4], Address(log[j + 1])}), (Ints{17, 54, 512 + int(j) * 54}));
    }
    const auto colours = sim.keyboard.KeyColours();
    EXPECT_EQ((Ints{colours[512], colours[513], colours[514]}), (Ints{0x40, 0, 0x80})); // Esc
    EXPECT_EQ(colours[512 + 110 * 3 + 1], 110);                                         // Fn
    EXPECT_EQ(colours[512 + 13 * 3], 0); // the empty place between F12 and Print Screen
}

TEST_F(LightingModelTest, RefusedTransactionStillClosesAndKeepsTheNewValue) {
    sim::SimFaults faults;
    faults.statusByte = 0xFF;
    faults.statusCount = 1;
    sim.keyboard.SetFaults(faults);
    EXPECT_EQ(model.SetColour({7, 8, 9}), kStatusRefusedFF);
    EXPECT_EQ(Commands(sim.TakeLog()), (Ints{1, 2}));
    EXPECT_EQ(model.State().colour, (Rgb{7, 8, 9}));
    EXPECT_EQ(model.State().lastStatus, kStatusRefusedFF);
    model.SetReportRate(1);
    EXPECT_EQ(model.State().lastStatus, kStatusSuccess);
}

} // namespace
} // namespace brasslane
