#include "core/lighting/PreviewEngine.h"

#include "core/lighting/PreviewRandom.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace brasslane {

namespace {

constexpr int kWheel = static_cast<int>(kPreviewWheelSize);
constexpr std::size_t kKeys = kPreviewKeyCount;

// Effect 10 walks the keys in steps of 37 through the grid order; 37 shares no factor with
// 105, so the walk visits every key once per round while consecutive keys land far apart.
constexpr std::size_t kScatterStride = 37;
constexpr std::size_t kScatterKeysPerFrame = 3;

constexpr std::size_t kMaxDrops = 12;
constexpr std::size_t kMaxRipples = 4;
constexpr int kRippleReach = 24; // cells; a ripple from a corner key has crossed the board by then
constexpr std::size_t kFireflyCount = 7;
constexpr std::size_t kMaxNeighbours = 12;

std::uint64_t WallClockSeconds() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

// The column of a key for the effects that sweep across the board: its grid cell, and for a
// key covering two cells the left one, so a wide key shows one colour, not a blend.
int ColumnOf(std::size_t key) {
    return PreviewKeyTable()[key].firstCell;
}

int RowOf(std::size_t key) {
    return PreviewKeyTable()[key].row;
}

// Key centres in half cells, so that two-cell keys sit between the cells they cover.
int CentreX2(std::size_t key) {
    const auto& info = PreviewKeyTable()[key];
    return 2 * info.firstCell + info.span;
}

int CentreY2(std::size_t key) {
    return 2 * PreviewKeyTable()[key].row + 1;
}

Rgb WheelAt(int index) {
    return PreviewWheel()[static_cast<std::size_t>(PreviewWrap(index, kWheel))];
}

struct Neighbours {
    std::array<std::uint8_t, kMaxNeighbours> keys{};
    std::size_t count = 0;
};

// Keys whose centres lie within one and a half cells across and one row up or down.
const std::array<Neighbours, kKeys>& NeighbourTable() {
    static const std::array<Neighbours, kKeys> table = [] {
        std::array<Neighbours, kKeys> result{};
        for (std::size_t a = 0; a < kKeys; ++a) {
            for (std::size_t b = 0; b < kKeys; ++b) {
                const int dx = CentreX2(a) - CentreX2(b);
                const int dy = CentreY2(a) - CentreY2(b);
                if (a != b && dx >= -3 && dx <= 3 && dy >= -2 && dy <= 2 && result[a].count < kMaxNeighbours) {
                    result[a].keys[result[a].count++] = static_cast<std::uint8_t>(b);
                }
            }
        }
        return result;
    }();
    return table;
}

// A level per key and the wheel colour it shows when the preview is colourful; in single
// colour the state colour is used instead, so a colour change shows at once.
struct LevelField {
    std::array<std::uint8_t, kKeys> level{};
    std::array<std::uint8_t, kKeys> hue{};

    void Decay(PreviewDecay decay) {
        for (auto& value : level) {
            value = PreviewDecayStep(value, decay);
        }
    }

    void Raise(std::size_t key, std::uint8_t value, int hueIndex) {
        if (key >= kKeys || value < level[key]) {
            return;
        }
        level[key] = value;
        hue[key] = static_cast<std::uint8_t>(PreviewWrap(hueIndex, kWheel));
    }

    void RaiseCell(std::size_t row, int cell, std::uint8_t value, int hueIndex) {
        if (cell < 0) {
            return;
        }
        if (const auto key = PreviewKeyAt(row, static_cast<std::size_t>(cell))) {
            Raise(PreviewIndex(*key), value, hueIndex);
        }
    }

    void Show(const PreviewInput& input, PreviewFrame& frame) const {
        for (std::size_t key = 0; key < kKeys; ++key) {
            const Rgb base = input.colourful ? PreviewWheel()[hue[key] % kPreviewWheelSize] : input.colour;
            frame.keys[key] = PreviewScale(base, level[key]);
        }
    }
};

struct Drop {
    std::uint8_t row = 0;
    std::uint8_t cell = 0;
    std::uint8_t hue = 0;
    bool active = false;
};

struct Ripple {
    std::uint8_t centre = 0; // key the ripple started from
    std::uint8_t radius = 0; // cells
    std::uint8_t hue = 0;
    bool active = false;
};

struct Firefly {
    std::uint8_t key = 0;
    std::uint8_t age = 0;     // frames glowing on the current key
    std::uint8_t glow = 0;    // frames it glows there before resting
    std::uint8_t resting = 0; // frames left dark before it hops to a neighbour
    std::uint8_t hue = 0;
    bool active = false;
};

} // namespace

struct PreviewEngine::State {
    std::array<int, kEffectSlots> phase{};

    LevelField scatter; // effect 10
    std::size_t scatterPosition = 0;

    std::array<std::uint8_t, kKeys> keyPhase{}; // effect 11
    bool keyPhaseSet = false;

    LevelField rain; // effect 13
    std::array<Drop, kMaxDrops> drops{};

    LevelField ripple; // effect 14
    std::array<Ripple, kMaxRipples> ripples{};

    LevelField sparkle; // effect 15

    LevelField glow; // effect 16
    std::array<Firefly, kFireflyCount> fireflies{};

    PreviewRandom random;
};

namespace {

void FillColumns(PreviewFrame& frame, auto colourOfColumn) {
    for (std::size_t key = 0; key < kKeys; ++key) {
        frame.keys[key] = colourOfColumn(ColumnOf(key));
    }
}

void FillSpiral(PreviewFrame& frame, auto colourOfPlace) {
    const auto spiral = PreviewSpiralOrder();
    for (std::size_t i = 0; i < spiral.size(); ++i) {
        frame.keys[PreviewIndex(spiral[i])] = colourOfPlace(static_cast<int>(i));
    }
}

void FillAll(PreviewFrame& frame, Rgb colour) {
    for (auto& key : frame.keys) {
        key = colour;
    }
}

std::uint8_t LevelAt(std::span<const std::uint8_t> curve, int index) {
    return curve[static_cast<std::size_t>(PreviewWrap(index, static_cast<int>(curve.size())))];
}

} // namespace

PreviewEngine::PreviewEngine(std::uint64_t seed, PreviewSecondsClock clock)
    : m_seed(seed), m_clock(std::move(clock)), m_state(std::make_unique<State>()) {
    if (!m_clock) {
        m_clock = WallClockSeconds;
    }
    ResetState();
}

PreviewEngine::~PreviewEngine() = default;

void PreviewEngine::ResetState() {
    *m_state = State{};
    m_state->random = PreviewRandom(m_seed);
}

PreviewFrame PreviewEngine::Tick(const PreviewInput& input) {
    if (m_resetRequested && m_framesRunning == 0) {
        ResetState();
        m_resetRequested = false;
    }

    PreviewFrame frame;
    switch (input.effect) {
    case 7:
    case 8:
    case 9:
    case 17:
    case 19:
        frame.kind = PreviewFrameKind::kCleared;
        return frame;
    case 20:
        frame.kind = PreviewFrameKind::kOwnColours;
        return frame;
    default:
        break;
    }
    if (input.effect == 0 || input.effect >= kEffectSlots) {
        // An effect this program does not know (a newer keyboard's, or a damaged record) shows
        // nothing rather than a guess.
        frame.kind = PreviewFrameKind::kCleared;
        return frame;
    }
    bool& busy = m_busy[input.effect];
    if (busy) {
        frame.kind = PreviewFrameKind::kSkipped;
        return frame;
    }

    struct Running {
        bool& busy;
        int& running;
        Running(bool& b, int& r) : busy(b), running(r) {
            busy = true;
            ++running;
        }
        ~Running() {
            busy = false;
            --running;
        }
    } running(busy, m_framesRunning);

    frame.kind = PreviewFrameKind::kColours;
    MakeFrame(input, frame);
    return frame;
}

void PreviewEngine::MakeFrame(const PreviewInput& input, PreviewFrame& frame) {
    State& s = *m_state;
    int& phase = s.phase[input.effect];
    const bool forward = input.direction != 0;
    const auto wave = PreviewWave96();
    const auto pulse = PreviewPulse128();
    const auto breath = PreviewBreath128();

    switch (input.effect) {
    case 1: // colour sweeping across the columns
        if (input.colourful) {
            phase = PreviewStepPhase(phase, 9, kWheel, forward);
            FillColumns(frame, [&](int c) { return WheelAt(phase + 9 * c); });
        } else {
            phase = PreviewStepPhase(phase, 7, 96, forward);
            FillColumns(frame, [&](int c) { return PreviewScale(input.colour, LevelAt(wave, phase + 7 * c)); });
        }
        break;
    case 2: // pulses running across the columns
        if (input.colourful) {
            phase = PreviewStepPhase(phase, 4, kWheel, forward);
            FillColumns(frame, [&](int c) { return WheelAt(phase + 5 * c); });
        } else {
            phase = PreviewStepPhase(phase, 4, 128, true);
            const int sign = input.direction == 0xFF ? 1 : -1;
            FillColumns(frame,
                        [&](int c) { return PreviewScale(input.colour, LevelAt(pulse, phase + sign * 5 * (c + 1))); });
        }
        break;
    case 3: // colour running along the spiral
        if (input.colourful) {
            phase = PreviewStepPhase(phase, 4, kWheel, forward);
            FillSpiral(frame, [&](int i) { return WheelAt(phase + 5 * i); });
        } else {
            phase = PreviewStepPhase(phase, 4, 96, forward);
            FillSpiral(frame, [&](int i) { return PreviewScale(input.colour, LevelAt(wave, phase + 5 * i)); });
        }
        break;
    case 4: // the whole board cycling through the wheel
        phase = PreviewStepPhase(phase, 2, kWheel, forward);
        FillAll(frame, WheelAt(phase));
        break;
    case 5: // breathing
        phase = PreviewStepPhase(phase, 2, 128, true);
        FillColumns(frame, [&](int c) {
            return PreviewScale(input.colourful ? WheelAt(7 * c) : input.colour, LevelAt(breath, phase));
        });
        break;
    case 6: // steady
        if (input.colourful) {
            // The wheel's 192 steps spread over 22 columns; the last column closes the circle on red.
            FillColumns(frame, [](int c) { return c < 22 ? WheelAt(9 * c) : WheelAt(0); });
        } else {
            FillAll(frame, input.colour);
        }
        break;
    case 10: { // scattered keys flaring up in random colours
        PreviewRandom random(m_clock());
        for (std::size_t n = 0; n < kScatterKeysPerFrame; ++n) {
            const std::size_t key = (s.scatterPosition * kScatterStride) % kKeys;
            s.scatterPosition = (s.scatterPosition + 1) % kKeys;
            const int r = static_cast<int>(random.Next() % 255);
            s.scatter.level[key] = 255;
            s.scatter.hue[key] = static_cast<std::uint8_t>(r < kWheel ? r : r - kWheel);
        }
        s.scatter.Decay(kPreviewSparkDecay);
        s.scatter.Show(input, frame);
        break;
    }
    case 11: // every key on its own place of the wheel, all turning together
        if (!s.keyPhaseSet) {
            const auto spiral = PreviewSpiralOrder();
            for (std::size_t i = 0; i < spiral.size(); ++i) {
                s.keyPhase[PreviewIndex(spiral[i])] = static_cast<std::uint8_t>((33 * (i + 1)) % kPreviewWheelSize);
            }
            s.keyPhaseSet = true;
        }
        for (std::size_t key = 0; key < kKeys; ++key) {
            s.keyPhase[key] = static_cast<std::uint8_t>(PreviewStepPhase(s.keyPhase[key], 3, kWheel, true));
            frame.keys[key] = WheelAt(s.keyPhase[key]);
        }
        break;
    case 12: // horizontal bands moving up or down
        phase = PreviewStepPhase(phase, 3, kWheel, forward);
        for (std::size_t key = 0; key < kKeys; ++key) {
            frame.keys[key] = WheelAt(phase + 32 * RowOf(key));
        }
        break;
    case 13: { // raindrops falling down the columns, leaving a fading trail
        s.rain.Decay(kPreviewRainDecay);
        for (auto& drop : s.drops) {
            if (!drop.active) {
                continue;
            }
            if (++drop.row >= kPreviewRows) {
                drop.active = false;
                continue;
            }
            s.rain.RaiseCell(drop.row, drop.cell, 255, drop.hue);
        }
        if (s.random.Below(3) != 0) {
            const auto free = std::ranges::find_if(s.drops, [](const Drop& d) { return !d.active; });
            if (free != s.drops.end()) {
                *free = {0, static_cast<std::uint8_t>(s.random.Below(kPreviewCells)),
                         static_cast<std::uint8_t>(s.random.Below(kPreviewWheelSize)), true};
                s.rain.RaiseCell(0, free->cell, 255, free->hue);
            }
        }
        s.rain.Show(input, frame);
        break;
    }
    case 14: { // rings spreading from random keys over the board
        s.ripple.Decay(kPreviewRippleDecay);
        for (auto& ripple : s.ripples) {
            if (!ripple.active) {
                continue;
            }
            if (++ripple.radius > kRippleReach) {
                ripple.active = false;
                continue;
            }
            // A key is on the ring when its centre lies within half a cell of the radius;
            // compared squared, in half cells, to stay in integers.
            const int inner = 2 * ripple.radius - 1;
            const int outer = 2 * ripple.radius + 1;
            const int cx = CentreX2(ripple.centre);
            const int cy = CentreY2(ripple.centre);
            for (std::size_t key = 0; key < kKeys; ++key) {
                const int dx = CentreX2(key) - cx;
                const int dy = CentreY2(key) - cy;
                const int d2 = dx * dx + dy * dy;
                if (d2 >= inner * inner && d2 < outer * outer) {
                    s.ripple.Raise(key, 255, ripple.hue + 4 * ripple.radius);
                }
            }
        }
        const bool anyActive = std::ranges::any_of(s.ripples, [](const Ripple& r) { return r.active; });
        if (!anyActive || s.random.Below(12) == 0) {
            const auto free = std::ranges::find_if(s.ripples, [](const Ripple& r) { return !r.active; });
            if (free != s.ripples.end()) {
                *free = {static_cast<std::uint8_t>(s.random.Below(kKeys)), 0,
                         static_cast<std::uint8_t>(s.random.Below(kPreviewWheelSize)), true};
                s.ripple.Raise(free->centre, 255, free->hue);
            }
        }
        s.ripple.Show(input, frame);
        break;
    }
    case 15: { // keys lighting as if typed on, with a glow on their row neighbours
        s.sparkle.Decay(kPreviewSparkDecay);
        const std::uint32_t roll = s.random.Below(12);
        const int presses = roll < 3 ? 2 : (roll < 9 ? 1 : 0);
        for (int n = 0; n < presses; ++n) {
            const std::size_t key = s.random.Below(kKeys);
            const int hue = static_cast<int>(s.random.Below(kPreviewWheelSize));
            const auto& info = PreviewKeyTable()[key];
            s.sparkle.Raise(key, 255, hue);
            s.sparkle.RaiseCell(info.row, info.firstCell - 1, 110, hue);
            s.sparkle.RaiseCell(info.row, info.firstCell + info.span, 110, hue);
        }
        s.sparkle.Show(input, frame);
        break;
    }
    case 16: { // a few lights wandering from key to key, glowing up and fading
        s.glow.Decay(kPreviewSparkDecay);
        for (auto& fly : s.fireflies) {
            if (!fly.active) {
                // They arrive one by one after a reset rather than all in the first frame.
                if (s.random.Below(6) == 0) {
                    fly = {static_cast<std::uint8_t>(s.random.Below(kKeys)),
                           0,
                           static_cast<std::uint8_t>(4 + s.random.Below(6)),
                           0,
                           static_cast<std::uint8_t>(s.random.Below(kPreviewWheelSize)),
                           true};
                }
                continue;
            }
            if (fly.resting > 0) {
                if (--fly.resting == 0) {
                    const auto& near = NeighbourTable()[fly.key];
                    if (near.count > 0) {
                        fly.key = near.keys[s.random.Below(static_cast<std::uint32_t>(near.count))];
                    }
                    fly.age = 0;
                    fly.glow = static_cast<std::uint8_t>(4 + s.random.Below(6));
                }
                continue;
            }
            ++fly.age;
            s.glow.Raise(fly.key, static_cast<std::uint8_t>(std::min(255, 60 * fly.age)), fly.hue);
            fly.hue = static_cast<std::uint8_t>((fly.hue + 1) % kPreviewWheelSize);
            if (fly.age >= fly.glow) {
                fly.resting = static_cast<std::uint8_t>(1 + s.random.Below(10));
            }
        }
        s.glow.Show(input, frame);
        break;
    }
    case 18: // rings of colour round the O key
        // Spreading outward (direction 0xFF) needs the phase to fall: the rings further out
        // hold the larger wheel offsets, so a falling phase hands each colour to the next
        // ring out. A rising phase draws the colours in towards O.
        phase = PreviewStepPhase(phase, 2, kWheel, !forward);
        for (std::size_t key = 0; key < kKeys; ++key) {
            frame.keys[key] = WheelAt(phase + 21 * (PreviewRingOfKey()[key] + 1));
        }
        break;
    default:
        frame.kind = PreviewFrameKind::kCleared;
        break;
    }
}

} // namespace brasslane
