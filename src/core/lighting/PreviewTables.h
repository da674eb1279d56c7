#pragma once

// Constant data of the on-screen lighting preview: the keys of the keyboard picture and
// where they sit, the orders in which effects walk over them, the colour wheel, the level
// curves, and the small arithmetic rules (scaling, decay, phase stepping) the effects share.
// Pure data and pure functions: nothing here allocates, fails or keeps state.

#include "core/lighting/Rgb.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace brasslane {

// The keys the preview animates, row by row and left to right on the keyboard picture.
// The enumerator value is the key's index (0..104) into every per-key array of the preview (PreviewIndex).
// Fn is a preview key although it sends no scan code; Right Win has no place in the preview.
// clang-format off
enum class PreviewKey : std::uint8_t {
    // row 0
    kEsc, kF1, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF10, kF11, kF12, kPrintScreen, kScrollLock, kPause,
    // row 1
    kGrave, k1, k2, k3, k4, k5, k6, k7, k8, k9, k0, kMinus, kEqual, kBackspace, kInsert, kHome, kPageUp, kNumLock,
    kNumSlash, kNumStar, kNumMinus,
    // row 2
    kTab, kQ, kW, kE, kR, kT, kY, kU, kI, kO, kP, kLeftBracket, kRightBracket, kBackslash, kDelete, kEnd,
    kPageDown, kNum7, kNum8, kNum9,
    // row 3
    kCapsLock, kA, kS, kD, kF, kG, kH, kJ, kK, kL, kSemicolon, kQuote, kEnter, kNum4, kNum5, kNum6, kNumPlus,
    // row 4
    kLeftShift, kIsoExtra, kZ, kX, kC, kV, kB, kN, kM, kComma, kPeriod, kSlash, kRightShift, kUp, kNum1, kNum2,
    kNum3, kNumEnter,
    // row 5
    kLeftCtrl, kLeftWin, kLeftAlt, kSpace, kRightAlt, kFn, kApp, kRightCtrl, kLeft, kDown, kRight, kNum0,
    kNumDecimal,
};
// clang-format on

constexpr std::size_t kPreviewKeyCount = 105;
constexpr std::size_t kPreviewRows = 6;
constexpr std::size_t kPreviewCells = 23; // cells per row of the key grid
constexpr std::size_t kPreviewRingCount = 12;
constexpr std::size_t kPreviewWheelSize = 192;

// Fn has no scan code; callers that look keys up by scan code find it by this id instead.
constexpr PreviewKey kPreviewFnKey = PreviewKey::kFn;

constexpr std::size_t PreviewIndex(PreviewKey key) {
    return static_cast<std::size_t>(key);
}

struct PreviewKeyInfo {
    PreviewKey key;
    std::string_view name;
    std::uint16_t scanCode;   // the key's ScanCode; 0 for Fn
    std::uint8_t row;         // 0..5 on the key grid
    std::uint8_t firstCell;   // 0..22, the leftmost grid cell the key covers
    std::uint8_t span;        // 1 or 2 grid cells
    std::uint8_t matrixIndex; // place in the keyboard's lighting matrix (LightingMatrix.h); Fn is 110
};

// Every preview key, indexed by PreviewIndex(key).
std::span<const PreviewKeyInfo, kPreviewKeyCount> PreviewKeyTable();
const PreviewKeyInfo& PreviewKeyInfoOf(PreviewKey key);

// The key covering a cell of the key grid, or nullopt for an empty cell or a cell outside the grid.
std::optional<PreviewKey> PreviewKeyAt(std::size_t row, std::size_t cell);

// The preview key with this ScanCode; nullopt for 0 and for keys the preview does not show.
std::optional<PreviewKey> PreviewKeyFromScanCode(std::uint16_t scanCode);

// The keys in the order of the spiral that runs from Pause round the edge of the keyboard inwards.
std::span<const PreviewKey, kPreviewKeyCount> PreviewSpiralOrder();

// The ring (0..11) of each key, indexed by PreviewIndex(key): ring 0 is the O key, the rings grow outwards.
std::span<const std::uint8_t, kPreviewKeyCount> PreviewRingOfKey();

// 192 colours round the hue circle: red, yellow, green, cyan, blue, magenta and back to red,
// 32 entries per step, each changing channel following an eased curve.
std::span<const Rgb, kPreviewWheelSize> PreviewWheel();

// Level curves, values 0..255.
std::span<const std::uint8_t, 96> PreviewWave96();
std::span<const std::uint8_t, 128> PreviewPulse128();
std::span<const std::uint8_t, 128> PreviewBreath128();

// The colour at level 0..255: each channel times level, divided by 255 (rounded down).
constexpr Rgb PreviewScale(Rgb colour, std::uint8_t level) {
    auto scale = [level](std::uint8_t channel) {
        return static_cast<std::uint8_t>(static_cast<unsigned>(channel) * level / 255u);
    };
    return {scale(colour.red), scale(colour.green), scale(colour.blue)};
}

// How fast a per-key level fades: a level of 128 or more loses `high`, 64..127 loses `middle`,
// 32..63 loses 10, 17..31 loses `low`, 1..16 loses 1 and 0 stays 0.
struct PreviewDecay {
    std::uint8_t high;
    std::uint8_t middle;
    std::uint8_t low;
};

constexpr PreviewDecay kPreviewSparkDecay{20, 16, 5};  // effects 10, 15 and 16
constexpr PreviewDecay kPreviewRainDecay{40, 30, 8};   // effect 13
constexpr PreviewDecay kPreviewRippleDecay{30, 20, 5}; // effect 14

// One frame of fading. Never wraps below zero, whatever the parameters.
constexpr std::uint8_t PreviewDecayStep(std::uint8_t level, PreviewDecay decay) {
    unsigned loss = 0;
    if (level >= 128) {
        loss = decay.high;
    } else if (level >= 64) {
        loss = decay.middle;
    } else if (level >= 32) {
        loss = 10;
    } else if (level >= 17) {
        loss = decay.low;
    } else if (level >= 1) {
        loss = 1;
    }
    return static_cast<std::uint8_t>(level > loss ? level - loss : 0);
}

// Advances a phase by step within period (period > 0): forward adds, otherwise subtracts.
// The result is always in 0..period-1, also when phase came from an effect variant with a
// longer period.
constexpr int PreviewStepPhase(int phase, int step, int period, bool forward) {
    const int next = (forward ? phase + step : phase - step) % period;
    return next < 0 ? next + period : next;
}

// a mod period for any sign of a, in 0..period-1.
constexpr int PreviewWrap(int value, int period) {
    const int rest = value % period;
    return rest < 0 ? rest + period : rest;
}

} // namespace brasslane
