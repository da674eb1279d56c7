#include "core/keys/KeyCapture.h"

#include "core/keys/KeyAction.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

constexpr ScanCode kA = 0x1E;
constexpr ScanCode kPrintScreen = 0x137;

CaptureResult Capture(ScanCode code, bool release, bool repeat, bool keyboardChoice = true) {
    const SynthesisedKeyEvent e = KeyEventFromScanCode(code, release, repeat);
    return CaptureKeyEvent(e.virtualKey, e.eventWord, keyboardChoice);
}

TEST(KeyCapture, SynthesisedEventsNameTheirKeyAgain) {
    // The platform layer describes its key events as the hooks would have seen them; the
    // keyboard-event rule must give back the very key for every row of the key table.
    int rows = 0;
    for (std::uint16_t index = 0; index < kKeyTableRows; ++index) {
        const ScanCode code = FromScanIndex(index);
        if (KeyRowOf(code).IsEmpty()) {
            continue;
        }
        ++rows;
        for (const bool release : {false, true}) {
            const SynthesisedKeyEvent e = KeyEventFromScanCode(code, release, false);
            EXPECT_EQ(KeyboardEventScanCode(e.virtualKey, e.eventWord), code) << std::hex << code;
            EXPECT_EQ(IsReleaseEvent(e.eventWord), release);
            EXPECT_EQ(e.message, release ? kMessageKeyUp : kMessageKeyDown);
        }
        const SynthesisedKeyEvent repeat = KeyEventFromScanCode(code, false, true);
        EXPECT_TRUE(IsAutoRepeatEvent(repeat.eventWord));
        EXPECT_FALSE(IsAutoRepeatEvent(KeyEventFromScanCode(code, true, false).eventWord));
    }
    EXPECT_EQ(rows, 157);
}

TEST(KeyCapture, TheThreadHookCatchesFreshPressesAndPrintScreen) {
    const struct {
        const char* what;
        ScanCode code;
        bool release;
        bool repeat;
        bool keyboardChoice;
        HookVerdict verdict;
        std::optional<ScanCode> captured;
    } cases[] = {
        {"a fresh press", kA, false, false, true, HookVerdict::kSwallow, kA},
        {"a release", kA, true, false, true, HookVerdict::kSwallow, std::nullopt},
        {"an auto-repeat", kA, false, true, true, HookVerdict::kSwallow, std::nullopt},
        {"Print Screen's lone release", kPrintScreen, true, false, true, HookVerdict::kSwallow, kPrintScreen},
        {"a mouse choice", kA, false, false, false, HookVerdict::kSwallow, std::nullopt},
        {"Mute", 0x120, false, false, true, HookVerdict::kPassOn, std::nullopt},
        {"Next Track", 0x119, false, false, true, HookVerdict::kPassOn, std::nullopt},
        {"Power (not a media key)", 0x15E, false, false, true, HookVerdict::kSwallow, ScanCode{0x15E}},
        {"Num Enter", 0x11C, false, false, true, HookVerdict::kSwallow, ScanCode{0x11C}},
    };
    for (const auto& c : cases) {
        const CaptureResult result = Capture(c.code, c.release, c.repeat, c.keyboardChoice);
        EXPECT_EQ(result.verdict, c.verdict) << c.what;
        EXPECT_EQ(result.captured, c.captured) << c.what;
    }
    // An event without any key passes on.
    EXPECT_EQ(CaptureKeyEvent(0xE7, 0, true).verdict, HookVerdict::kPassOn);
    // All eighteen media keys pass on, nothing else does.
    int media = 0;
    for (std::uint16_t index = 0; index < kKeyTableRows; ++index) {
        media += IsMediaKey(FromScanIndex(index)) ? 1 : 0;
    }
    EXPECT_EQ(media, 18);
}

TEST(KeyCapture, TheLowLevelHookTakesTheWinAndAppKeysWhateverTheChoice) {
    for (const std::uint32_t message : {kMessageKeyDown, kMessageKeyUp, kMessageSysKeyDown, kMessageSysKeyUp}) {
        EXPECT_EQ(CaptureLowLevelEvent(message, kVirtualKeyLeftWin).captured, ScanCode{0x15B});
        EXPECT_EQ(CaptureLowLevelEvent(message, kVirtualKeyRightWin).captured, ScanCode{0x15C});
        EXPECT_EQ(CaptureLowLevelEvent(message, kVirtualKeyApps).captured, ScanCode{0x15D});
        EXPECT_EQ(CaptureLowLevelEvent(message, kVirtualKeyApps).verdict, HookVerdict::kSwallow);
        EXPECT_EQ(CaptureLowLevelEvent(message, 0x41).verdict, HookVerdict::kPassOn);
        EXPECT_FALSE(CaptureLowLevelEvent(message, 0x41).captured);
    }
    EXPECT_EQ(CaptureLowLevelEvent(0x200, kVirtualKeyLeftWin).verdict, HookVerdict::kPassOn);
}

} // namespace
} // namespace brasslane
