#include "core/lighting/PreviewEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <vector>

namespace brasslane {

void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "(" << int(c.red) << ", " << int(c.green) << ", " << int(c.blue) << ")";
}

namespace {

using enum PreviewKey;

constexpr Rgb kAmber{200, 100, 50};

PreviewInput Input(std::uint8_t effect, bool colourful, std::uint8_t direction) {
    return {effect, colourful, direction, kAmber};
}

PreviewFrame TickTimes(PreviewEngine& engine, const PreviewInput& input, int frames) {
    PreviewFrame frame;
    for (int i = 0; i < frames; ++i) {
        frame = engine.Tick(input);
    }
    return frame;
}

// A fresh engine's frame after `frames` ticks of `input`.
PreviewFrame FrameAfter(const PreviewInput& input, int frames) {
    PreviewEngine engine;
    return TickTimes(engine, input, frames);
}

int Column(std::size_t key) {
    return PreviewKeyTable()[key].firstCell;
}

// 0xRRGGBB, or -1 for a key whose colour is cleared.
int Hex(const std::optional<Rgb>& c) {
    return c ? c->red << 16 | c->green << 8 | c->blue : -1;
}

std::optional<Rgb> At(const PreviewFrame& frame, std::size_t key) {
    return frame.keys[key];
}

// The level L at which `colour` scaled gives `shown`, if there is one.
std::optional<int> LevelOf(Rgb colour, Rgb shown) {
    for (int level = 0; level < 256; ++level) {
        if (PreviewScale(colour, static_cast<std::uint8_t>(level)) == shown) {
            return level;
        }
    }
    return std::nullopt;
}

TEST(PreviewTables, KeyGridPlacesEveryKeyOnItsOwnCells) {
    std::array<int, kPreviewRows> perRow{};
    std::size_t coveredCells = 0;
    for (const auto& info : PreviewKeyTable()) {
        ASSERT_LT(info.row, kPreviewRows) << info.name;
        ASSERT_TRUE(info.span == 1 || info.span == 2) << info.name;
        ASSERT_LE(info.firstCell + info.span, kPreviewCells) << info.name;
        for (std::size_t cell = info.firstCell; cell < std::size_t{info.firstCell} + info.span; ++cell) {
            EXPECT_EQ(PreviewKeyAt(info.row, cell), info.key) << info.name << " cell " << cell;
        }
        ++perRow[info.row];
        coveredCells += info.span;
    }
    EXPECT_EQ(perRow, (std::array<int, kPreviewRows>{16, 21, 20, 17, 18, 13}));

    std::size_t occupied = 0;
    for (std::size_t row = 0; row < kPreviewRows; ++row) {
        for (std::size_t cell = 0; cell < kPreviewCells; ++cell) {
            occupied += PreviewKeyAt(row, cell).has_value();
        }
    }
    EXPECT_EQ(occupied, coveredCells); // no two keys claim the same cell
    EXPECT_EQ(PreviewKeyAt(0, 7), std::nullopt);
    EXPECT_EQ(PreviewKeyAt(5, 5), std::nullopt);
    EXPECT_EQ(PreviewKeyAt(5, 11), kFn);
    EXPECT_EQ(PreviewKeyAt(4, 22), kNumEnter);
    EXPECT_EQ(PreviewKeyAt(6, 0), std::nullopt);
    EXPECT_EQ(PreviewKeyAt(0, 23), std::nullopt);
}

TEST(PreviewTables, ScanCodesAndMatrixPlacesIdentifyKeys) {
    std::set<std::uint16_t> scanCodes;
    std::set<int> matrix;
    for (const auto& info : PreviewKeyTable()) {
        EXPECT_EQ(info.scanCode == 0, info.key == kPreviewFnKey) << info.name;
        if (info.scanCode != 0) {
            EXPECT_TRUE(scanCodes.insert(info.scanCode).second) << info.name;
            EXPECT_EQ(PreviewKeyFromScanCode(info.scanCode), info.key) << info.name;
        }
        EXPECT_LT(info.matrixIndex, 126) << info.name;
        EXPECT_TRUE(matrix.insert(info.matrixIndex).second) << info.name;
    }
    const std::vector<std::pair<PreviewKey, std::uint16_t>> known{
        {kEsc, 0x01},       {kF10, 0x44},        {kF11, 0x57},        {kPrintScreen, 0x137}, {kGrave, 0x29},
        {k0, 0x0B},         {kIsoExtra, 0x56},   {kRightShift, 0x36}, {kNumStar, 0x37},      {kNumSlash, 0x135},
        {kNumEnter, 0x11C}, {kRightCtrl, 0x11D}, {kLeftWin, 0x15B},   {kApp, 0x15D},         {kPageDown, 0x151},
        {kRight, 0x14D},    {kNumDecimal, 0x53}, {kBackslash, 0x2B},  {kQuote, 0x28},        {kNumLock, 0x145},
    };
    for (const auto& [key, code] : known) {
        EXPECT_EQ(PreviewKeyInfoOf(key).scanCode, code) << PreviewKeyInfoOf(key).name;
    }
    EXPECT_EQ(PreviewKeyFromScanCode(0), std::nullopt);
    EXPECT_EQ(PreviewKeyFromScanCode(0x15C), std::nullopt); // Right Win has no place in the preview
    EXPECT_EQ(PreviewKeyInfoOf(kFn).matrixIndex, 110);
    EXPECT_EQ(matrix.count(112), 0u); // Right Win's matrix place
}

TEST(PreviewTables, SpiralAndRingsVisitEveryKeyOnce) {
    const auto spiral = PreviewSpiralOrder();
    std::set<PreviewKey> seen(spiral.begin(), spiral.end());
    EXPECT_EQ(seen.size(), kPreviewKeyCount);
    EXPECT_EQ(spiral.front(), kPause);
    EXPECT_EQ(spiral[25], kFn);
    EXPECT_EQ(spiral.back(), kNum5);

    const auto ring = PreviewRingOfKey();
    std::array<int, kPreviewRingCount> sizes{};
    for (const auto g : ring) {
        ASSERT_LT(g, kPreviewRingCount);
        ++sizes[g];
    }
    EXPECT_EQ(sizes, (std::array<int, kPreviewRingCount>{1, 6, 10, 11, 12, 11, 10, 11, 10, 11, 9, 3}));
    EXPECT_EQ(ring[PreviewIndex(kO)], 0);
    EXPECT_EQ(ring[PreviewIndex(kFn)], 4);
    EXPECT_EQ(ring[PreviewIndex(kIsoExtra)], 10);
    EXPECT_EQ(ring[PreviewIndex(kNumPlus)], 11);
}

TEST(PreviewTables, WheelHasFixedTurnsAndEasedMonotonicSteps) {
    const auto wheel = PreviewWheel();
    EXPECT_EQ(wheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(wheel[32], (Rgb{248, 255, 0}));
    EXPECT_EQ(wheel[64], (Rgb{0, 255, 1}));
    EXPECT_EQ(wheel[96], (Rgb{0, 248, 255}));
    EXPECT_EQ(wheel[128], (Rgb{1, 0, 255}));
    EXPECT_EQ(wheel[160], (Rgb{255, 0, 248}));
    EXPECT_EQ(wheel[191], (Rgb{255, 0, 0}));

    // Per step: which channel moves (0 red, 1 green, 2 blue), whether it rises, and the held channels.
    struct Step {
        int moving;
        bool rising;
        std::array<int, 3> held; // -1 for the moving channel
    };
    const std::array<Step, 6> steps{{{1, true, {255, -1, 0}},
                                     {0, false, {-1, 255, 0}},
                                     {2, true, {0, 255, -1}},
                                     {1, false, {0, -1, 255}},
                                     {0, true, {-1, 0, 255}},
                                     {2, false, {255, 0, -1}}}};
    auto channel = [](Rgb c, int i) { return i == 0 ? c.red : (i == 1 ? c.green : c.blue); };
    for (int s = 0; s < 6; ++s) {
        for (int i = 0; i < 32; ++i) {
            const Rgb c = wheel[static_cast<std::size_t>(32 * s + i)];
            for (int ch = 0; ch < 3; ++ch) {
                if (steps[s].held[ch] >= 0) {
                    EXPECT_EQ(channel(c, ch), steps[s].held[ch]) << "entry " << 32 * s + i;
                }
            }
            if (i > 0) {
                const int now = channel(c, steps[s].moving);
                const int before = channel(wheel[static_cast<std::size_t>(32 * s + i - 1)], steps[s].moving);
                EXPECT_TRUE(steps[s].rising ? now >= before : now <= before) << "entry " << 32 * s + i;
                EXPECT_LE(std::abs(now - before), 16) << "entry " << 32 * s + i;
            }
        }
    }
    // Eased, not linear: the moving channel changes more in the middle of a step than at its ends.
    EXPECT_LT(wheel[1].green - wheel[0].green, wheel[16].green - wheel[15].green);
}

TEST(PreviewTables, LevelCurves) {
    const auto wave = PreviewWave96();
    const auto pulse = PreviewPulse128();
    const auto breath = PreviewBreath128();
    for (std::size_t i = 0; i < 48; ++i) {
        EXPECT_EQ(wave[i], wave[95 - i]) << i;
    }
    for (std::size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(breath[i], breath[127 - i]) << i;
    }
    EXPECT_EQ(wave[0], 22);
    EXPECT_EQ(wave[20], 94);
    EXPECT_EQ(wave[47], 255);
    EXPECT_EQ(breath[0], 3);
    EXPECT_EQ(breath[13], 16);
    EXPECT_EQ(breath[63], 255);
    EXPECT_EQ(pulse[0], 0);
    EXPECT_EQ(pulse[16], 255);
    EXPECT_EQ(pulse[17], 248);
    EXPECT_EQ(pulse[63], 22);
    EXPECT_EQ(pulse[78], 2);
    EXPECT_EQ(pulse[79], 1);
    EXPECT_TRUE(std::all_of(pulse.begin() + 80, pulse.end(), [](std::uint8_t v) { return v == 0; }));
}

TEST(PreviewTables, ScalingAndDecayAndPhaseArithmetic) {
    EXPECT_EQ(PreviewScale({255, 128, 1}, 255), (Rgb{255, 128, 1}));
    EXPECT_EQ(PreviewScale({255, 128, 1}, 128), (Rgb{128, 64, 0}));
    EXPECT_EQ(PreviewScale({200, 100, 50}, 254), (Rgb{199, 99, 49}));
    EXPECT_EQ(PreviewScale({255, 255, 255}, 0), (Rgb{0, 0, 0}));

    struct Case {
        int level;
        PreviewDecay decay;
        int expected;
    };
    const std::vector<Case> cases{
        {255, kPreviewSparkDecay, 235}, {128, kPreviewSparkDecay, 108}, {127, kPreviewSparkDecay, 111},
        {64, kPreviewSparkDecay, 48},   {63, kPreviewSparkDecay, 53},   {32, kPreviewSparkDecay, 22},
        {31, kPreviewSparkDecay, 26},   {17, kPreviewSparkDecay, 12},   {16, kPreviewSparkDecay, 15},
        {1, kPreviewSparkDecay, 0},     {0, kPreviewSparkDecay, 0},     {128, kPreviewRainDecay, 88},
        {64, kPreviewRainDecay, 34},    {17, kPreviewRainDecay, 9},     {255, kPreviewRippleDecay, 225},
        {100, kPreviewRippleDecay, 80}, {20, kPreviewRippleDecay, 15},  {17, {0, 0, 40}, 0},
        {130, {200, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PreviewDecayStep(static_cast<std::uint8_t>(c.level), c.decay), c.expected) << c.level;
    }
    for (const PreviewDecay decay : {kPreviewSparkDecay, kPreviewRainDecay, kPreviewRippleDecay}) {
        int level = 255;
        int frames = 0;
        while (level > 0 && frames < 100) {
            const int next = PreviewDecayStep(static_cast<std::uint8_t>(level), decay);
            ASSERT_LT(next, level);
            level = next;
            ++frames;
        }
        EXPECT_EQ(level, 0) << "a full key fades out";
    }

    EXPECT_EQ(PreviewStepPhase(0, 2, 192, false), 190);
    EXPECT_EQ(PreviewStepPhase(190, 2, 192, true), 0);
    EXPECT_EQ(PreviewStepPhase(150, 7, 96, true), 61); // phase left over from the 192-step variant
    EXPECT_EQ(PreviewStepPhase(3, 7, 96, false), 92);
    EXPECT_EQ(PreviewWrap(-5, 128), 123);
}

// Frames of a fresh engine after some ticks, at six keys spread over the board: Esc and Q share
// a column, O is the centre of the rings, Fn and Backspace share a ring, NumEnter sits at the
// right edge. Made by the engine once and checked by hand against the effects' rules for a few
// entries (e.g. effect 4 moving backwards shows wheel[190], then wheel[188]; effect 1 in single
// colour shows Esc at level Wave96[7 + 7 x 2] = 99), so that a change of any rule, table or
// phase step shows here. Colours are 0xRRGGBB.
TEST(PreviewEngine, PinnedFramesFromAFreshStart) {
    const std::array<PreviewKey, 6> keys{kEsc, kQ, kO, kFn, kBackspace, kNumEnter};
    struct Row {
        PreviewInput input;
        int frames;
        std::array<int, 6> shown;
    };
    // clang-format off
    const Row rows[] = {
        {Input(4, false, 0x00), 1, {0xFF0001, 0xFF0001, 0xFF0001, 0xFF0001, 0xFF0001, 0xFF0001}},
        {Input(4, false, 0x00), 2, {0xFF0007, 0xFF0007, 0xFF0007, 0xFF0007, 0xFF0007, 0xFF0007}},
        {Input(4, false, 0xFF), 1, {0xFF0400, 0xFF0400, 0xFF0400, 0xFF0400, 0xFF0400, 0xFF0400}},
        {Input(1, true, 0x00), 1, {0xFF3500, 0xFF3500, 0x00FF92, 0x00FFED, 0x003DFF, 0xFF0003}},
        {Input(1, true, 0xFF), 3, {0x9AFF00, 0x9AFF00, 0x003DFF, 0x0001FF, 0xE600FF, 0xF7FF00}},
        {Input(1, false, 0xFF), 1, {0x4D2613, 0x4D2613, 0x422110, 0x2C160B, 0x261309, 0x72391C}},
        {Input(1, false, 0x00), 2, {0x110804, 0x110804, 0x9C4E27, 0x7B3D1E, 0x2C160B, 0xB75B2D}},
        {Input(2, true, 0x00), 1, {0xFF1A00, 0xFF1A00, 0x8EFF00, 0x53FF00, 0x00FF04, 0x00BBFF}},
        {Input(2, false, 0xFF), 1, {0xB75B2D, 0xB75B2D, 0x190C06, 0x0F0703, 0x000000, 0x000000}},
        {Input(2, false, 0x00), 1, {0x000000, 0x000000, 0x010000, 0x050201, 0x1E0F07, 0xC26130}},
        {Input(3, true, 0xFF), 1, {0x00FF7A, 0x00FFD5, 0xCFFF00, 0x0200FF, 0xFFCB00, 0xFF00C5}},
        {Input(3, false, 0x00), 1, {0x592C16, 0x3C1E0F, 0x7B3D1E, 0x5D2E17, 0x361B0D, 0x72391C}},
        {Input(5, true, 0x00), 32, {0xFF6E00, 0xFF6E00, 0x00FF1A, 0x00FF62, 0x00F5FF, 0xED00FF}},
        {Input(5, false, 0xFF), 20, {0x592C16, 0x592C16, 0x592C16, 0x592C16, 0x592C16, 0x592C16}},
        {Input(6, true, 0xFF), 1, {0xFF9E00, 0xFF9E00, 0x00FFED, 0x00F1FF, 0x0001FF, 0xFF0100}},
        {Input(6, false, 0x00), 1, {0xC86432, 0xC86432, 0xC86432, 0xC86432, 0xC86432, 0xC86432}},
        {Input(11, false, 0x00), 1, {0xAA00FF, 0x000BFF, 0x0020FF, 0x00FFFC, 0x00FF6E, 0xFF00E7}},
        {Input(11, true, 0xFF), 4, {0xF800FF, 0x0D00FF, 0x0200FF, 0x00E0FF, 0x00FFD5, 0xFF008E}},
        {Input(12, false, 0xFF), 1, {0xFF0800, 0x00FF08, 0x00FF08, 0xFF00F1, 0xF1FF00, 0x0800FF}},
        {Input(12, false, 0x00), 1, {0xFF0003, 0x03FF00, 0x03FF00, 0xFC00FF, 0xFFFC00, 0x0003FF}},
        {Input(18, false, 0xFF), 1, {0xE7FF00, 0xFF000B, 0xFFAA00, 0x00D8FF, 0x00D8FF, 0x11FF00}},
        {Input(18, false, 0x00), 1, {0xC5FF00, 0xFF0000, 0xFFD500, 0x00B0FF, 0x00B0FF, 0x01FF00}},
        {Input(18, false, 0xFF), 22, {0xFF000B, 0x9200FF, 0xFF00C5, 0x03FF00, 0x03FF00, 0xFF8600}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "effect " << int(row.input.effect)
                                        << (row.input.colourful ? " colourful" : "") << " direction "
                                        << int(row.input.direction) << ", " << row.frames << " frames");
        const PreviewFrame frame = FrameAfter(row.input, row.frames);
        ASSERT_EQ(frame.kind, PreviewFrameKind::kColours);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            EXPECT_EQ(Hex(frame[keys[i]]), row.shown[i])
                << PreviewKeyInfoOf(keys[i]).name << " shows 0x" << std::hex << Hex(frame[keys[i]]);
        }
    }
}

TEST(PreviewEngine, PatternsKeepTheirShapeAsTheyMove) {
    auto row = [](std::size_t key) { return int{PreviewKeyTable()[key].row}; };
    auto ring = [](std::size_t key) { return int{PreviewRingOfKey()[key]}; };
    auto board = [](std::size_t) { return 0; };
    struct Case {
        PreviewInput input;
        std::function<int(std::size_t)> groupOf; // keys of one group show one colour
        std::size_t colours;                     // different colours in a frame; 0: not counted
    };
    const Case cases[] = {
        {Input(4, false, 0x00), board, 1},
        // Sweeps show one level or colour per column, a two-cell key that of its left cell.
        {Input(1, false, 0xFF), Column, 0},
        {Input(1, true, 0x00), Column, 0},
        {Input(2, false, 0x00), Column, 0},
        {Input(2, true, 0xFF), Column, 0},
        {Input(5, true, 0x00), Column, 0},
        {Input(12, false, 0xFF), row, 6},   // six bands, all different
        {Input(18, false, 0x00), ring, 12}, // twelve rings round O, all different
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "effect " << int(c.input.effect));
        PreviewEngine engine;
        for (int n = 0; n < 5; ++n) {
            const PreviewFrame frame = engine.Tick(c.input);
            std::map<int, int> colourOfGroup;
            std::set<int> colours;
            for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
                const int shown = Hex(frame.keys[key]);
                const auto [at, fresh] = colourOfGroup.try_emplace(c.groupOf(key), shown);
                EXPECT_EQ(shown, at->second) << PreviewKeyTable()[key].name;
                colours.insert(shown);
            }
            if (c.colours != 0) {
                EXPECT_EQ(colours.size(), c.colours);
            }
        }
    }

    // Breathing and the steady colours ignore the direction, and steady colours never move.
    for (const std::uint8_t effect : {5, 6}) {
        PreviewEngine left;
        PreviewEngine right;
        for (int n = 0; n < 5; ++n) {
            const auto frame = left.Tick(Input(effect, true, 0xFF));
            EXPECT_EQ(frame.keys, right.Tick(Input(effect, true, 0x00)).keys) << int(effect);
            if (effect == 6) {
                EXPECT_EQ(frame.keys, FrameAfter(Input(6, true, 0xFF), 1).keys);
            }
        }
    }
}

TEST(PreviewEngine, RingsSpreadFromOrConvergeOnTheOKey) {
    // Moving by 21 frames x 2 steps shifts the pattern by two rings: outward for 0xFF, inward for 0x00.
    PreviewEngine outward;
    const auto start = outward.Tick(Input(18, false, 0xFF));
    const auto later = TickTimes(outward, Input(18, false, 0xFF), 21);
    EXPECT_EQ(later[kF8], start[kO]);   // ring 2 now shows what ring 0 showed
    EXPECT_EQ(later[kF10], start[kF8]); // ring 4 shows ring 2's colour
    PreviewEngine inward;
    const auto first = inward.Tick(Input(18, false, 0x00));
    const auto inLater = TickTimes(inward, Input(18, false, 0x00), 21);
    EXPECT_EQ(inLater[kO], first[kF8]); // converging: ring 0 shows ring 2's colour
}

TEST(PreviewEngine, EveryKeyTurnsFromItsOwnPlaceOnTheWheel) {
    PreviewEngine engine;
    EXPECT_EQ(engine.Tick(Input(11, false, 0)).keys, FrameAfter(Input(11, false, 0), 1).keys);
    engine.Tick(Input(11, true, 0xFF));
    engine.Tick(Input(4, false, 0)); // another effect in between keeps effect 11's places
    EXPECT_EQ(engine.Tick(Input(11, false, 0)).keys, FrameAfter(Input(11, false, 0), 3).keys);
    // After a reset the keys take their places again rather than all starting at the same colour.
    engine.RequestReset();
    EXPECT_EQ(engine.Tick(Input(11, false, 0)).keys, FrameAfter(Input(11, false, 0), 1).keys);
}

TEST(PreviewEngine, ScatteredFlaresLightThreeNewKeysPerFrame) {
    int frame = 0;
    PreviewEngine engine(0, [&] { return std::uint64_t{1000} + static_cast<std::uint64_t>(frame / 2); });
    auto byValue = [](Rgb c) { return c.red * 65536 + c.green * 256 + c.blue; };
    std::set<std::size_t> everLit;
    std::vector<std::vector<Rgb>> freshPerFrame;
    for (; frame < 35; ++frame) {
        const auto shown = engine.Tick(Input(10, true, 0));
        std::vector<Rgb> fresh;
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            if (At(shown, key) != Rgb{} && everLit.insert(key).second) {
                fresh.push_back(*At(shown, key));
            }
        }
        EXPECT_EQ(fresh.size(), 3u) << "frame " << frame;
        std::ranges::sort(fresh, {}, byValue);
        freshPerFrame.push_back(fresh);
    }
    // The generator is reseeded from the clock's seconds every frame: two frames in the same
    // second draw the same three colours, the next second draws others.
    EXPECT_EQ(freshPerFrame[0], freshPerFrame[1]);
    EXPECT_NE(freshPerFrame[1], freshPerFrame[2]);
    EXPECT_EQ(everLit.size(), kPreviewKeyCount); // 35 frames x 3 keys visit all 105 once

    PreviewEngine single(0, [] { return std::uint64_t{7}; });
    const auto shown = single.Tick(Input(10, false, 0));
    int lit = 0;
    for (const auto& key : shown.keys) {
        ASSERT_TRUE(key.has_value());
        lit += (*key == PreviewScale(kAmber, 235));
        EXPECT_TRUE(*key == Rgb{} || *key == PreviewScale(kAmber, 235));
    }
    EXPECT_EQ(lit, 3);
}

TEST(PreviewEngine, AnimatedPatternsAreSeededLiveAndFade) {
    for (const std::uint8_t effect : {13, 14, 15, 16}) {
        PreviewEngine a(42);
        PreviewEngine b(42);
        PreviewEngine c(43);
        bool differs = false;
        int brightest = 0;
        for (int n = 0; n < 200; ++n) {
            const auto fa = a.Tick(Input(effect, n % 50 < 25, 0));
            const auto fb = b.Tick(Input(effect, n % 50 < 25, 0));
            const auto fc = c.Tick(Input(effect, n % 50 < 25, 0));
            ASSERT_EQ(fa.kind, PreviewFrameKind::kColours);
            ASSERT_EQ(fa.keys, fb.keys) << "effect " << int(effect) << " frame " << n;
            differs = differs || fa.keys != fc.keys;
            if (n % 50 >= 25) { // single colour: every key is the state colour at some level
                for (const auto& key : fa.keys) {
                    const auto level = LevelOf(kAmber, *key);
                    ASSERT_TRUE(level.has_value()) << "effect " << int(effect);
                    brightest = std::max(brightest, *level);
                }
            }
        }
        EXPECT_TRUE(differs) << "effect " << int(effect) << " ignores its seed";
        EXPECT_GE(brightest, 200) << "effect " << int(effect) << " never lights a key";
    }

    // Lit keys fade by the decay rule: no key holds one lit colour for long.
    for (const std::uint8_t effect : {13, 14, 15, 16}) {
        PreviewEngine engine(11);
        std::array<int, kPreviewKeyCount> unchanged{};
        PreviewFrame previous;
        for (int n = 0; n < 300; ++n) {
            const auto frame = engine.Tick(Input(effect, false, 0));
            for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
                const bool held = frame.keys[key] == previous.keys[key] && frame.keys[key] != Rgb{};
                unchanged[key] = held ? unchanged[key] + 1 : 0;
                ASSERT_LT(unchanged[key], 10) << "effect " << int(effect) << " key " << key << " frame " << n;
            }
            previous = frame;
        }
    }
}

TEST(PreviewEngine, ClearingOwnColourAndUnknownEffects) {
    PreviewEngine engine;
    engine.Tick(Input(4, false, 0));
    for (const std::uint8_t effect : {7, 8, 9, 17, 19, 0, 21, 255}) {
        const auto frame = engine.Tick(Input(effect, true, 0xFF));
        EXPECT_EQ(frame.kind, PreviewFrameKind::kCleared) << int(effect);
        EXPECT_TRUE(std::ranges::none_of(frame.keys, [](const auto& k) { return k.has_value(); })) << int(effect);
    }
    const auto own = engine.Tick(Input(20, true, 0));
    EXPECT_EQ(own.kind, PreviewFrameKind::kOwnColours);
    EXPECT_TRUE(std::ranges::none_of(own.keys, [](const auto& k) { return k.has_value(); }));
    // Effect 4 carried on where it stopped.
    EXPECT_EQ(engine.Tick(Input(4, false, 0)).keys, FrameAfter(Input(4, false, 0), 2).keys);
}

TEST(PreviewEngine, ResetRequestRestartsEveryEffect) {
    PreviewEngine engine(9);
    PreviewEngine fresh(9);
    TickTimes(engine, Input(4, false, 0), 6);
    TickTimes(engine, Input(14, true, 0), 40);
    engine.RequestReset();
    EXPECT_EQ(engine.Tick(Input(4, false, 0)).keys, FrameAfter(Input(4, false, 0), 1).keys);
    for (int n = 0; n < 40; ++n) {
        ASSERT_EQ(engine.Tick(Input(14, true, 0)).keys, fresh.Tick(Input(14, true, 0)).keys) << n;
    }
}

TEST(PreviewEngine, ReentrantFrameOfTheSameEffectIsSkipped) {
    PreviewEngine* self = nullptr;
    std::vector<PreviewFrameKind> inner;
    bool entered = false;
    PreviewEngine engine(0, [&]() -> std::uint64_t {
        if (!entered) {
            entered = true;
            inner.push_back(self->Tick(Input(10, true, 0)).kind);
            inner.push_back(self->Tick(Input(4, true, 0)).kind);
            self->RequestReset();
            inner.push_back(self->Tick(Input(4, true, 0)).kind); // the reset waits for the outer frame
        }
        return 1;
    });
    self = &engine;
    TickTimes(engine, Input(4, false, 0), 3);
    EXPECT_EQ(engine.Tick(Input(10, true, 0)).kind, PreviewFrameKind::kColours);
    EXPECT_EQ(inner, (std::vector{PreviewFrameKind::kSkipped, PreviewFrameKind::kColours, PreviewFrameKind::kColours}));
    // The reset is taken at the next outer tick.
    EXPECT_EQ(engine.Tick(Input(4, false, 0)).keys, FrameAfter(Input(4, false, 0), 1).keys);
    EXPECT_EQ(engine.Tick(Input(10, true, 0)).kind, PreviewFrameKind::kColours);
}

TEST(PreviewEngine, EveryEffectFillsEveryKeyForAnyInput) {
    PreviewEngine engine(3, [] { return std::uint64_t{123}; });
    for (int effect = 0; effect < 24; ++effect) {
        for (const std::uint8_t direction : {0x00, 0x01, 0x7F, 0xFF}) {
            for (const bool colourful : {false, true}) {
                for (int n = 0; n < 150; ++n) {
                    const auto frame = engine.Tick(Input(static_cast<std::uint8_t>(effect), colourful, direction));
                    if (frame.kind == PreviewFrameKind::kColours) {
                        ASSERT_TRUE(std::ranges::all_of(frame.keys, [](const auto& k) { return k.has_value(); }))
                            << effect;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace brasslane
