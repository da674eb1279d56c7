#include "core/lighting/PreviewEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <vector>

namespace brasslane {

void PrintTo(const PreviewRgb& c, std::ostream* os) {
    *os << "(" << int(c.red) << ", " << int(c.green) << ", " << int(c.blue) << ")";
}

namespace {

using enum PreviewKey;

constexpr PreviewRgb kAmber{200, 100, 50};

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

PreviewRgb Wheel(int index) {
    return PreviewWheel()[static_cast<std::size_t>(PreviewWrap(index, 192))];
}

int Column(std::size_t key) {
    return PreviewKeyTable()[key].firstCell;
}

std::optional<PreviewRgb> At(const PreviewFrame& frame, std::size_t key) {
    return frame.keys[key];
}

// The level L at which `colour` scaled gives `shown`, if there is one.
std::optional<int> LevelOf(PreviewRgb colour, PreviewRgb shown) {
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
    EXPECT_EQ(wheel[0], (PreviewRgb{255, 1, 0}));
    EXPECT_EQ(wheel[32], (PreviewRgb{248, 255, 0}));
    EXPECT_EQ(wheel[64], (PreviewRgb{0, 255, 1}));
    EXPECT_EQ(wheel[96], (PreviewRgb{0, 248, 255}));
    EXPECT_EQ(wheel[128], (PreviewRgb{1, 0, 255}));
    EXPECT_EQ(wheel[160], (PreviewRgb{255, 0, 248}));
    EXPECT_EQ(wheel[191], (PreviewRgb{255, 0, 0}));

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
    auto channel = [](PreviewRgb c, int i) { return i == 0 ? c.red : (i == 1 ? c.green : c.blue); };
    for (int s = 0; s < 6; ++s) {
        for (int i = 0; i < 32; ++i) {
            const PreviewRgb c = wheel[static_cast<std::size_t>(32 * s + i)];
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
    EXPECT_EQ(PreviewScale({255, 128, 1}, 255), (PreviewRgb{255, 128, 1}));
    EXPECT_EQ(PreviewScale({255, 128, 1}, 128), (PreviewRgb{128, 64, 0}));
    EXPECT_EQ(PreviewScale({200, 100, 50}, 254), (PreviewRgb{199, 99, 49}));
    EXPECT_EQ(PreviewScale({255, 255, 255}, 0), (PreviewRgb{0, 0, 0}));

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

TEST(PreviewEngine, WholeBoardCycleFollowsDirection) {
    PreviewEngine engine;
    const auto backward = Input(4, false, 0x00);
    for (const int expected : {190, 188, 186}) {
        const auto frame = engine.Tick(backward);
        ASSERT_EQ(frame.kind, PreviewFrameKind::kColours);
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            ASSERT_EQ(At(frame, key), Wheel(expected)) << key;
        }
    }
    PreviewEngine other;
    EXPECT_EQ(other.Tick(Input(4, false, 0xFF))[kA], Wheel(2));
}

TEST(PreviewEngine, SweepsFollowColumnsRowsAndSpiral) {
    {
        PreviewEngine engine; // effect 12: six bands, 32 wheel steps apart
        const auto frame = engine.Tick(Input(12, false, 0xFF));
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            EXPECT_EQ(At(frame, key), Wheel(3 + 32 * PreviewKeyTable()[key].row)) << key;
        }
        EXPECT_EQ(PreviewEngine().Tick(Input(12, false, 0x00))[kEsc], Wheel(189));
    }
    {
        PreviewEngine engine; // effect 1 single colour: one level per column
        const auto frame = engine.Tick(Input(1, false, 0xFF));
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            const std::size_t level = static_cast<std::size_t>((7 + 7 * Column(key)) % 96);
            EXPECT_EQ(At(frame, key), PreviewScale(kAmber, PreviewWave96()[level])) << key;
        }
        EXPECT_EQ(frame[kBackspace], frame[kBackslash]); // both start in cell 14
        EXPECT_EQ(frame[kNum0], frame[kNum1]);
        EXPECT_NE(frame[kNum0], frame[kNumDecimal]);
    }
    {
        PreviewEngine engine; // effect 1 colourful, moving right
        const auto frame = engine.Tick(Input(1, true, 0x00));
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            EXPECT_EQ(At(frame, key), Wheel(183 + 9 * Column(key))) << key;
        }
    }
    {
        PreviewEngine engine; // effect 2 single colour: direction only flips the column offset
        const auto left = engine.Tick(Input(2, false, 0xFF));
        PreviewEngine other;
        const auto right = other.Tick(Input(2, false, 0x00));
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            const int c = Column(key);
            EXPECT_EQ(At(left, key), PreviewScale(kAmber, PreviewPulse128()[PreviewWrap(4 + 5 * (c + 1), 128)]));
            EXPECT_EQ(At(right, key), PreviewScale(kAmber, PreviewPulse128()[PreviewWrap(4 - 5 * (c + 1), 128)]));
        }
        EXPECT_EQ(PreviewEngine().Tick(Input(2, true, 0x00))[kQ], Wheel(188 + 5 * 2));
    }
    {
        PreviewEngine engine; // effect 3: along the spiral
        const auto colourful = engine.Tick(Input(3, true, 0xFF));
        PreviewEngine other;
        const auto single = other.Tick(Input(3, false, 0xFF));
        const auto spiral = PreviewSpiralOrder();
        for (std::size_t i = 0; i < spiral.size(); ++i) {
            EXPECT_EQ(colourful[spiral[i]], Wheel(static_cast<int>(4 + 5 * i))) << i;
            EXPECT_EQ(single[spiral[i]], PreviewScale(kAmber, PreviewWave96()[(4 + 5 * i) % 96])) << i;
        }
    }
}

TEST(PreviewEngine, BreathingAndSteadyColumns) {
    PreviewEngine engine;
    // Breathing always moves forward, whatever the direction byte.
    const auto colourful = TickTimes(engine, Input(5, true, 0x00), 2);
    for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
        EXPECT_EQ(At(colourful, key), PreviewScale(Wheel(7 * Column(key)), PreviewBreath128()[4])) << key;
    }
    EXPECT_EQ(engine.Tick(Input(5, false, 0x00))[kSpace], PreviewScale(kAmber, PreviewBreath128()[6]));

    for (int n = 0; n < 3; ++n) { // steady: the same every frame
        const auto steady = engine.Tick(Input(6, true, 0xFF));
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            const int c = Column(key);
            EXPECT_EQ(At(steady, key), c < 22 ? Wheel(9 * c) : Wheel(0)) << key;
        }
    }
    EXPECT_EQ(engine.Tick(Input(6, true, 0))[kNumPlus], Wheel(0));
    EXPECT_EQ(engine.Tick(Input(6, true, 0))[kNum6], Wheel(189));
    EXPECT_EQ(engine.Tick(Input(6, false, 0))[kNum6], kAmber);
}

TEST(PreviewEngine, RingsSpreadFromOrConvergeOnTheOKey) {
    PreviewEngine inward;
    const auto first = inward.Tick(Input(18, false, 0x00));
    for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
        EXPECT_EQ(At(first, key), Wheel(2 + 21 * (PreviewRingOfKey()[key] + 1))) << key;
    }
    EXPECT_EQ(first[kO], Wheel(23));
    EXPECT_EQ(first[kNumEnter], Wheel(62));

    // Moving by 21 frames x 2 steps shifts the pattern by two rings: outward for 0xFF, inward for 0x00.
    PreviewEngine outward;
    const auto start = outward.Tick(Input(18, false, 0xFF));
    EXPECT_EQ(start[kO], Wheel(190 + 21));
    const auto later = TickTimes(outward, Input(18, false, 0xFF), 21);
    const auto inLater = TickTimes(inward, Input(18, false, 0x00), 21);
    EXPECT_EQ(later[kF8], start[kO]);   // ring 2 now shows what ring 0 showed
    EXPECT_EQ(later[kF10], start[kF8]); // ring 4 shows ring 2's colour
    EXPECT_EQ(inLater[kO], first[kF8]); // converging: ring 0 shows ring 2's colour
}

TEST(PreviewEngine, EveryKeyTurnsFromItsOwnPlaceOnTheWheel) {
    PreviewEngine engine;
    const auto spiral = PreviewSpiralOrder();
    auto expectTurned = [&](const PreviewFrame& frame, int frames) {
        for (std::size_t i = 0; i < spiral.size(); ++i) {
            EXPECT_EQ(frame[spiral[i]], Wheel(static_cast<int>(33 * (i + 1)) + 3 * frames)) << i;
        }
    };
    expectTurned(engine.Tick(Input(11, false, 0)), 1);
    expectTurned(engine.Tick(Input(11, true, 0xFF)), 2);
    engine.Tick(Input(4, false, 0)); // another effect in between keeps effect 11's places
    expectTurned(engine.Tick(Input(11, false, 0)), 3);
    // After a reset the keys take their places again rather than all starting at the same colour.
    engine.RequestReset();
    expectTurned(engine.Tick(Input(11, false, 0)), 1);
}

TEST(PreviewEngine, ScatteredFlaresLightThreeNewKeysPerFrame) {
    int frame = 0;
    PreviewEngine engine(0, [&] { return std::uint64_t{1000} + static_cast<std::uint64_t>(frame / 2); });
    auto byValue = [](PreviewRgb c) { return c.red * 65536 + c.green * 256 + c.blue; };
    std::set<std::size_t> everLit;
    std::vector<std::vector<PreviewRgb>> freshPerFrame;
    for (; frame < 35; ++frame) {
        const auto shown = engine.Tick(Input(10, true, 0));
        std::vector<PreviewRgb> fresh;
        for (std::size_t key = 0; key < kPreviewKeyCount; ++key) {
            if (At(shown, key) != PreviewRgb{} && everLit.insert(key).second) {
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
        EXPECT_TRUE(*key == PreviewRgb{} || *key == PreviewScale(kAmber, 235));
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
                const bool held = frame.keys[key] == previous.keys[key] && frame.keys[key] != PreviewRgb{};
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
    EXPECT_EQ(engine.Tick(Input(4, false, 0))[kEsc], Wheel(188)); // effect 4 carried on where it stopped
}

TEST(PreviewEngine, ResetRequestRestartsEveryEffect) {
    PreviewEngine engine(9);
    PreviewEngine fresh(9);
    EXPECT_EQ(TickTimes(engine, Input(4, false, 0), 6)[kEsc], Wheel(180));
    TickTimes(engine, Input(14, true, 0), 40);
    engine.RequestReset();
    EXPECT_EQ(engine.Tick(Input(4, false, 0))[kEsc], Wheel(190));
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
    EXPECT_EQ(engine.Tick(Input(4, false, 0))[kEsc], Wheel(190)); // reset taken at the next outer tick
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
