#include "core/keys/KeyCapture.h"

#include "core/keys/KeyAction.h"

#include <algorithm>

namespace brasslane {

namespace {

constexpr ScanCode kPrintScreen = 0x137;

} // namespace

bool IsMediaKey(ScanCode code) {
    const auto list = MediaFunctionList();
    return std::any_of(list.begin(), list.end(), [code](const MediaFunction& f) { return f.scanCode == code; });
}

CaptureResult CaptureKeyEvent(std::uint32_t virtualKey, std::uint32_t eventWord, bool keyboardChoice) {
    const ScanCode code = KeyboardEventScanCode(virtualKey, eventWord);
    if (code == 0 || IsMediaKey(code)) {
        return {HookVerdict::kPassOn, std::nullopt};
    }
    CaptureResult result{HookVerdict::kSwallow, std::nullopt};
    const bool freshPress = !IsReleaseEvent(eventWord) && !IsAutoRepeatEvent(eventWord);
    if (keyboardChoice && (freshPress || code == kPrintScreen)) {
        result.captured = code;
    }
    return result;
}

CaptureResult CaptureLowLevelEvent(std::uint32_t message, std::uint32_t virtualKey) {
    if (!IsKeyMessage(message)) {
        return {HookVerdict::kPassOn, std::nullopt};
    }
    switch (virtualKey) {
    case kVirtualKeyLeftWin:
        return {HookVerdict::kSwallow, ScanCode{0x15B}};
    case kVirtualKeyRightWin:
        return {HookVerdict::kSwallow, ScanCode{0x15C}};
    case kVirtualKeyApps:
        return {HookVerdict::kSwallow, ScanCode{0x15D}};
    default:
        return {HookVerdict::kPassOn, std::nullopt};
    }
}

SynthesisedKeyEvent KeyEventFromScanCode(ScanCode code, bool release, bool autoRepeat) {
    SynthesisedKeyEvent event;
    const KeyRow& row = KeyRowOf(code);
    event.virtualKey = row.IsEmpty() ? 0xFF : row.virtualKey;
    event.message = release ? kMessageKeyUp : kMessageKeyDown;
    event.eventWord = (static_cast<std::uint32_t>(code & 0xFF) << 16) | ((code & 0x100) != 0 ? kEventExtended : 0);
    if (release) {
        // A release always had the key down before it.
        event.eventWord |= kEventRelease | kEventPreviousState;
    } else if (autoRepeat) {
        event.eventWord |= kEventPreviousState;
    }
    return event;
}

} // namespace brasslane
