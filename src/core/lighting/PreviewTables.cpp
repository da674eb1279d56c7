#include "core/lighting/PreviewTables.h"

#include "core/lighting/LightingMatrix.h"

namespace brasslane {

namespace {

using enum PreviewKey;

// Where a key is drawn: row, first cell and span place it on the 6 x 23 grid of the keyboard
// picture. Its place in the keyboard's own lighting matrix is not repeated here: it is looked
// up by scan code in the matrix table, so the two tables cannot name different places.
struct GridKey {
    PreviewKey key;
    std::string_view name;
    std::uint16_t scanCode;
    std::uint8_t row;
    std::uint8_t firstCell;
    std::uint8_t span;
};

constexpr std::array<GridKey, kPreviewKeyCount> kGridKeys{{
    {kEsc, "Esc", 0x001, 0, 2, 1},
    {kF1, "F1", 0x03B, 0, 3, 1},
    {kF2, "F2", 0x03C, 0, 4, 1},
    {kF3, "F3", 0x03D, 0, 5, 1},
    {kF4, "F4", 0x03E, 0, 6, 1},
    {kF5, "F5", 0x03F, 0, 8, 1},
    {kF6, "F6", 0x040, 0, 9, 1},
    {kF7, "F7", 0x041, 0, 10, 1},
    {kF8, "F8", 0x042, 0, 11, 1},
    {kF9, "F9", 0x043, 0, 12, 1},
    {kF10, "F10", 0x044, 0, 13, 1},
    {kF11, "F11", 0x057, 0, 14, 1},
    {kF12, "F12", 0x058, 0, 15, 1},
    {kPrintScreen, "PrintScreen", 0x137, 0, 16, 1},
    {kScrollLock, "ScrollLock", 0x046, 0, 17, 1},
    {kPause, "Pause", 0x045, 0, 18, 1},

    {kGrave, "`", 0x029, 1, 1, 1},
    {k1, "1", 0x002, 1, 2, 1},
    {k2, "2", 0x003, 1, 3, 1},
    {k3, "3", 0x004, 1, 4, 1},
    {k4, "4", 0x005, 1, 5, 1},
    {k5, "5", 0x006, 1, 6, 1},
    {k6, "6", 0x007, 1, 7, 1},
    {k7, "7", 0x008, 1, 8, 1},
    {k8, "8", 0x009, 1, 9, 1},
    {k9, "9", 0x00A, 1, 10, 1},
    {k0, "0", 0x00B, 1, 11, 1},
    {kMinus, "-", 0x00C, 1, 12, 1},
    {kEqual, "=", 0x00D, 1, 13, 1},
    {kBackspace, "Backspace", 0x00E, 1, 14, 2},
    {kInsert, "Insert", 0x152, 1, 16, 1},
    {kHome, "Home", 0x147, 1, 17, 1},
    {kPageUp, "PageUp", 0x149, 1, 18, 1},
    {kNumLock, "NumLock", 0x145, 1, 19, 1},
    {kNumSlash, "Num/", 0x135, 1, 20, 1},
    {kNumStar, "Num*", 0x037, 1, 21, 1},
    {kNumMinus, "Num-", 0x04A, 1, 22, 1},

    {kTab, "Tab", 0x00F, 2, 1, 1},
    {kQ, "Q", 0x010, 2, 2, 1},
    {kW, "W", 0x011, 2, 3, 1},
    {kE, "E", 0x012, 2, 4, 1},
    {kR, "R", 0x013, 2, 5, 1},
    {kT, "T", 0x014, 2, 6, 1},
    {kY, "Y", 0x015, 2, 7, 1},
    {kU, "U", 0x016, 2, 8, 1},
    {kI, "I", 0x017, 2, 9, 1},
    {kO, "O", 0x018, 2, 10, 1},
    {kP, "P", 0x019, 2, 11, 1},
    {kLeftBracket, "[", 0x01A, 2, 12, 1},
    {kRightBracket, "]", 0x01B, 2, 13, 1},
    {kBackslash, "\\", 0x02B, 2, 14, 1},
    {kDelete, "Delete", 0x153, 2, 16, 1},
    {kEnd, "End", 0x14F, 2, 17, 1},
    {kPageDown, "PageDown", 0x151, 2, 18, 1},
    {kNum7, "Num7", 0x047, 2, 19, 1},
    {kNum8, "Num8", 0x048, 2, 20, 1},
    {kNum9, "Num9", 0x049, 2, 21, 1},

    {kCapsLock, "CapsLock", 0x03A, 3, 1, 1},
    {kA, "A", 0x01E, 3, 2, 1},
    {kS, "S", 0x01F, 3, 3, 1},
    {kD, "D", 0x020, 3, 4, 1},
    {kF, "F", 0x021, 3, 5, 1},
    {kG, "G", 0x022, 3, 6, 1},
    {kH, "H", 0x023, 3, 7, 1},
    {kJ, "J", 0x024, 3, 8, 1},
    {kK, "K", 0x025, 3, 9, 1},
    {kL, "L", 0x026, 3, 10, 1},
    {kSemicolon, ";", 0x027, 3, 11, 1},
    {kQuote, "'", 0x028, 3, 12, 1},
    {kEnter, "Enter", 0x01C, 3, 13, 2},
    {kNum4, "Num4", 0x04B, 3, 19, 1},
    {kNum5, "Num5", 0x04C, 3, 20, 1},
    {kNum6, "Num6", 0x04D, 3, 21, 1},
    // The picture draws Num + in row 3; the keyboard lights it in matrix row 2.
    {kNumPlus, "Num+", 0x04E, 3, 22, 1},

    {kLeftShift, "LeftShift", 0x02A, 4, 0, 1},
    {kIsoExtra, "ISO-extra", 0x056, 4, 1, 1},
    {kZ, "Z", 0x02C, 4, 2, 1},
    {kX, "X", 0x02D, 4, 3, 1},
    {kC, "C", 0x02E, 4, 4, 1},
    {kV, "V", 0x02F, 4, 5, 1},
    {kB, "B", 0x030, 4, 6, 1},
    {kN, "N", 0x031, 4, 7, 1},
    {kM, "M", 0x032, 4, 8, 1},
    {kComma, "Comma", 0x033, 4, 9, 1},
    {kPeriod, "Period", 0x034, 4, 10, 1},
    {kSlash, "/", 0x035, 4, 11, 1},
    // Right Shift has two scan codes (0x36 and 0x136); 0x36 is the one the key table resolves to.
    {kRightShift, "RightShift", 0x036, 4, 14, 2},
    {kUp, "Up", 0x148, 4, 17, 1},
    {kNum1, "Num1", 0x04F, 4, 19, 1},
    {kNum2, "Num2", 0x050, 4, 20, 1},
    {kNum3, "Num3", 0x051, 4, 21, 1},
    {kNumEnter, "NumEnter", 0x11C, 4, 22, 1},

    {kLeftCtrl, "LeftCtrl", 0x01D, 5, 0, 1},
    {kLeftWin, "LeftWin", 0x15B, 5, 1, 1},
    {kLeftAlt, "LeftAlt", 0x038, 5, 2, 1},
    {kSpace, "Space", 0x039, 5, 6, 1},
    {kRightAlt, "RightAlt", 0x138, 5, 9, 2},
    {kFn, "Fn", 0x000, 5, 11, 1},
    {kApp, "App", 0x15D, 5, 12, 1},
    {kRightCtrl, "RightCtrl", 0x11D, 5, 14, 2},
    {kLeft, "Left", 0x14B, 5, 16, 1},
    {kDown, "Down", 0x150, 5, 17, 1},
    {kRight, "Right", 0x14D, 5, 18, 1},
    {kNum0, "Num0", 0x052, 5, 19, 2},
    {kNumDecimal, "Num.", 0x053, 5, 21, 1},
}};

constexpr std::array<PreviewKeyInfo, kPreviewKeyCount> BuildKeys() {
    std::array<PreviewKeyInfo, kPreviewKeyCount> keys{};
    for (std::size_t i = 0; i < kGridKeys.size(); ++i) {
        const GridKey& g = kGridKeys[i];
        const int place = g.key == kPreviewFnKey ? kFnColourIndex : MatrixPlaceOf(g.scanCode);
        keys[i] = {g.key, g.name, g.scanCode, g.row, g.firstCell, g.span, static_cast<std::uint8_t>(place)};
    }
    return keys;
}

constexpr bool EveryKeyHasAMatrixPlace() {
    for (const GridKey& g : kGridKeys) {
        if (g.key != kPreviewFnKey && MatrixPlaceOf(g.scanCode) < 0) {
            return false;
        }
    }
    return true;
}
static_assert(EveryKeyHasAMatrixPlace(), "a preview key's scan code is missing from the lighting matrix");

constexpr std::array<PreviewKeyInfo, kPreviewKeyCount> kKeys = BuildKeys();

constexpr bool KeysInEnumOrder() {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (PreviewIndex(kKeys[i].key) != i) {
            return false;
        }
    }
    return true;
}
static_assert(KeysInEnumOrder(), "the key table must be indexed by PreviewKey");

constexpr std::uint8_t kNoKey = 0xFF;

using CellGrid = std::array<std::array<std::uint8_t, kPreviewCells>, kPreviewRows>;

constexpr CellGrid BuildCellGrid() {
    CellGrid grid{};
    for (auto& row : grid) {
        row.fill(kNoKey);
    }
    for (const auto& info : kKeys) {
        for (std::size_t cell = info.firstCell; cell < std::size_t{info.firstCell} + info.span; ++cell) {
            grid[info.row][cell] = static_cast<std::uint8_t>(PreviewIndex(info.key));
        }
    }
    return grid;
}

constexpr CellGrid kCellGrid = BuildCellGrid();

// clang-format off
constexpr auto kSpiral = std::to_array<PreviewKey>({
    kPause, kScrollLock, kPrintScreen, kF12, kF11, kF10, kF9, kF8, kF7, kF6, kF5, kF4, kF3, kF2, kF1, kEsc, kGrave,
    kTab, kCapsLock, kLeftShift, kLeftCtrl, kLeftWin, kLeftAlt, kSpace, kRightAlt, kFn, kApp, kRightCtrl, kLeft,
    kDown, kRight, kNum0, kNumDecimal, kNumEnter, kNumPlus, kNumMinus, kNumStar, kNumSlash, kNumLock, kPageUp,
    kHome, kInsert, kBackspace, kEqual, kMinus, k0, k9, k8, k7, k6, k5, k4, k3, k2, k1, kQ, kA, kIsoExtra, kZ, kX,
    kC, kV, kB, kN, kM, kComma, kPeriod, kSlash, kRightShift, kUp, kNum1, kNum2, kNum3, kNum6, kNum9, kNum8, kNum7,
    kPageDown, kEnd, kDelete, kBackslash, kRightBracket, kLeftBracket, kP, kO, kI, kU, kY, kT, kR, kE, kW, kS, kD,
    kF, kG, kH, kJ, kK, kL, kSemicolon, kQuote, kEnter, kNum4, kNum5,
});
// clang-format on
static_assert(kSpiral.size() == kPreviewKeyCount);

// The keys ring after ring, from the O key outwards; kRingSizes says where each ring ends.
// clang-format off
constexpr auto kRingKeys = std::to_array<PreviewKey>({
    /*  0 */ kO,
    /*  1 */ k9, kI, kK, kL, kP, k0,
    /*  2 */ kF8, k8, kU, kJ, kM, kComma, kPeriod, kSemicolon, kLeftBracket, kMinus,
    /*  3 */ kF7, k7, kY, kH, kN, kRightAlt, kSlash, kQuote, kRightBracket, kEqual, kF9,
    /*  4 */ kF6, k6, kT, kG, kB, kFn, kRightShift, kEnter, kBackslash, kBackspace, kF10, kF11,
    /*  5 */ kF5, k5, kR, kF, kV, kSpace, kApp, kRightCtrl, kDelete, kInsert, kF12,
    /*  6 */ kF4, k4, kE, kD, kC, kLeft, kUp, kEnd, kHome, kPrintScreen,
    /*  7 */ kF3, k3, kW, kS, kX, kDown, kRight, kPageDown, kPageUp, kPause, kScrollLock,
    /*  8 */ kF2, k2, kQ, kA, kZ, kLeftAlt, kNum1, kNum4, kNum7, kNumLock,
    /*  9 */ kF1, k1, kTab, kCapsLock, kLeftShift, kLeftWin, kNum0, kNum2, kNum5, kNum8, kNumSlash,
    /* 10 */ kEsc, kGrave, kLeftCtrl, kNumDecimal, kNum3, kNum6, kNum9, kNumStar, kIsoExtra,
    /* 11 */ kNumEnter, kNumPlus, kNumMinus,
});
// clang-format on
static_assert(kRingKeys.size() == kPreviewKeyCount);
constexpr std::array<std::size_t, kPreviewRingCount> kRingSizes{1, 6, 10, 11, 12, 11, 10, 11, 10, 11, 9, 3};

constexpr std::array<std::uint8_t, kPreviewKeyCount> BuildRingOfKey() {
    std::array<std::uint8_t, kPreviewKeyCount> ringOf{};
    std::size_t at = 0;
    for (std::size_t ring = 0; ring < kRingSizes.size(); ++ring) {
        for (std::size_t i = 0; i < kRingSizes[ring]; ++i) {
            ringOf[PreviewIndex(kRingKeys[at++])] = static_cast<std::uint8_t>(ring);
        }
    }
    return ringOf;
}

constexpr std::size_t SumOfRingSizes() {
    std::size_t sum = 0;
    for (const auto size : kRingSizes) {
        sum += size;
    }
    return sum;
}
static_assert(SumOfRingSizes() == kPreviewKeyCount, "the ring sizes must add up to the key count");

constexpr std::array<std::uint8_t, kPreviewKeyCount> kRingOfKey = BuildRingOfKey();

// Smoothstep: slow at both ends of a hue step, so a moving wheel shows calm primaries and
// secondaries and quick blends between them.
constexpr double Ease(double x) {
    return x * x * (3.0 - 2.0 * x);
}

constexpr std::uint8_t RoundToByte(double value) {
    return static_cast<std::uint8_t>(value + 0.5);
}

constexpr int kWheelStep = 32;

// A channel that comes in during a step: 1 on the step's first entry, 255 on its last.
constexpr std::uint8_t Rising(int i) {
    return RoundToByte(1.0 + 254.0 * Ease(i / double(kWheelStep - 1)));
}

// A channel that goes out during a step: 248 on the step's first entry, 0 on its last.
constexpr std::uint8_t Falling(int i) {
    return RoundToByte(248.0 * (1.0 - Ease(i / double(kWheelStep - 1))));
}

constexpr std::array<Rgb, kPreviewWheelSize> BuildWheel() {
    std::array<Rgb, kPreviewWheelSize> wheel{};
    for (int entry = 0; entry < static_cast<int>(kPreviewWheelSize); ++entry) {
        const int i = entry % kWheelStep;
        Rgb& c = wheel[static_cast<std::size_t>(entry)];
        switch (entry / kWheelStep) {
        case 0: // red to yellow
            c = {255, Rising(i), 0};
            break;
        case 1: // yellow to green
            c = {Falling(i), 255, 0};
            break;
        case 2: // green to cyan
            c = {0, 255, Rising(i)};
            break;
        case 3: // cyan to blue
            c = {0, Falling(i), 255};
            break;
        case 4: // blue to magenta
            c = {Rising(i), 0, 255};
            break;
        default: // magenta to red
            c = {255, 0, Falling(i)};
            break;
        }
    }
    return wheel;
}

constexpr std::array<Rgb, kPreviewWheelSize> kWheel = BuildWheel();
static_assert(kWheel[0] == Rgb{255, 1, 0} && kWheel[32] == Rgb{248, 255, 0} && kWheel[64] == Rgb{0, 255, 1} &&
              kWheel[96] == Rgb{0, 248, 255} && kWheel[128] == Rgb{1, 0, 255} && kWheel[160] == Rgb{255, 0, 248} &&
              kWheel[191] == Rgb{255, 0, 0});

constexpr auto kWaveRise = std::to_array<std::uint8_t>({
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255,
});
static_assert(kWaveRise.size() == 48);

// A quick attack to full level, then a long tail; the last 48 entries are dark.
constexpr auto kPulseLit = std::to_array<std::uint8_t>({
    0,   4,   8,   14,  22,  33,  45,  61,  77,  94,  114, 134, 158, 182, 206, 234, 255, 248, 241, 234,
    227, 220, 213, 206, 200, 194, 188, 182, 176, 170, 164, 158, 152, 146, 140, 134, 129, 124, 119, 114,
    109, 104, 99,  94,  89,  85,  81,  77,  73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,
    30,  27,  24,  22,  20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1,
});
static_assert(kPulseLit.size() == 80);

constexpr auto kBreathRise = std::to_array<std::uint8_t>({
    3,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  16,  18,  20,  22,  24,  27,  30,  33,  36,
    39,  42,  45,  49,  53,  57,  61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129,
    134, 140, 146, 152, 158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255,
});
static_assert(kBreathRise.size() == 64);

template <std::size_t N>
constexpr std::array<std::uint8_t, 2 * N> RiseThenFall(const std::array<std::uint8_t, N>& rise) {
    std::array<std::uint8_t, 2 * N> curve{};
    for (std::size_t i = 0; i < N; ++i) {
        curve[i] = rise[i];
        curve[2 * N - 1 - i] = rise[i];
    }
    return curve;
}

constexpr std::array<std::uint8_t, 96> kWave96 = RiseThenFall(kWaveRise);
constexpr std::array<std::uint8_t, 128> kBreath128 = RiseThenFall(kBreathRise);

constexpr std::array<std::uint8_t, 128> BuildPulse() {
    std::array<std::uint8_t, 128> curve{};
    for (std::size_t i = 0; i < kPulseLit.size(); ++i) {
        curve[i] = kPulseLit[i];
    }
    return curve;
}

constexpr std::array<std::uint8_t, 128> kPulse128 = BuildPulse();

} // namespace

std::span<const PreviewKeyInfo, kPreviewKeyCount> PreviewKeyTable() {
    return kKeys;
}

const PreviewKeyInfo& PreviewKeyInfoOf(PreviewKey key) {
    return kKeys[PreviewIndex(key) % kPreviewKeyCount];
}

std::optional<PreviewKey> PreviewKeyAt(std::size_t row, std::size_t cell) {
    if (row >= kPreviewRows || cell >= kPreviewCells || kCellGrid[row][cell] == kNoKey) {
        return std::nullopt;
    }
    return static_cast<PreviewKey>(kCellGrid[row][cell]);
}

std::optional<PreviewKey> PreviewKeyFromScanCode(std::uint16_t scanCode) {
    if (scanCode == 0) {
        return std::nullopt;
    }
    for (const auto& info : kKeys) {
        if (info.scanCode == scanCode) {
            return info.key;
        }
    }
    return std::nullopt;
}

std::span<const PreviewKey, kPreviewKeyCount> PreviewSpiralOrder() {
    return kSpiral;
}

std::span<const std::uint8_t, kPreviewKeyCount> PreviewRingOfKey() {
    return kRingOfKey;
}

std::span<const Rgb, kPreviewWheelSize> PreviewWheel() {
    return kWheel;
}

std::span<const std::uint8_t, 96> PreviewWave96() {
    return kWave96;
}

std::span<const std::uint8_t, 128> PreviewPulse128() {
    return kPulse128;
}

std::span<const std::uint8_t, 128> PreviewBreath128() {
    return kBreath128;
}

} // namespace brasslane
