#include "core/app/MainWindowButtons.h"

#include "core/keys/KeyAction.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/KeyTable.h"
#include "core/keys/ProfileImage.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace brasslane {

namespace {

constexpr int kGButtonCount = 9;
// F1..F4, the key buttons a flip setting of 1 disables.
constexpr std::array<ScanCode, 4> kFlipKeys{0x3B, 0x3C, 0x3D, 0x3E};

bool IsKeyButtonScanCode(ScanCode code) {
    const auto codes = KeyButtonScanCodes();
    return code != 0 && std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace

std::vector<KeyButtonId> AllKeyButtons() {
    std::vector<KeyButtonId> buttons;
    buttons.reserve(kKeyButtonCount + kGButtonCount + 1);
    for (const ScanCode code : KeyButtonScanCodes()) {
        buttons.push_back(KeyButtonId::Key(code));
    }
    for (int n = 1; n <= kGButtonCount; ++n) {
        buttons.push_back(KeyButtonId::G(n));
    }
    buttons.push_back(KeyButtonId::Fn());
    return buttons;
}

bool IsKeyButton(KeyButtonId button) {
    switch (button.kind) {
    case KeyButtonId::Kind::kKey:
        return IsKeyButtonScanCode(button.scanCode);
    case KeyButtonId::Kind::kGKey:
        return button.gKey >= 1 && button.gKey <= kGButtonCount;
    case KeyButtonId::Kind::kFn:
        return true;
    }
    return false;
}

std::optional<std::size_t> ButtonSlot(KeyButtonId button) {
    if (!IsKeyButton(button)) {
        return std::nullopt;
    }
    switch (button.kind) {
    case KeyButtonId::Kind::kKey:
        return ToScanIndex(button.scanCode);
    case KeyButtonId::Kind::kGKey:
        return kGSlotBankA + static_cast<std::size_t>(button.gKey - 1);
    case KeyButtonId::Kind::kFn:
        break;
    }
    return std::nullopt;
}

bool FlipDisables(KeyButtonId button, int flip) {
    return flip == 1 && button.kind == KeyButtonId::Kind::kKey &&
           std::find(kFlipKeys.begin(), kFlipKeys.end(), button.scanCode) != kFlipKeys.end();
}

bool FlipEnablesDButtons(int flip) {
    return flip == 1;
}

std::string ButtonCaption(KeyButtonId button, const KeyEntry& entry, std::span<const MacroBlock> macros,
                          Language& language) {
    switch (button.kind) {
    case KeyButtonId::Kind::kKey:
        return KeyCaption(button.scanCode, entry, macros, language);
    case KeyButtonId::Kind::kGKey:
        return GKeyCaption(button.gKey, entry, macros, language);
    case KeyButtonId::Kind::kFn:
        break;
    }
    return {};
}

void ResetButtonEntries(WorkingImage& working, std::size_t area) {
    if (area >= kProfileAreas) {
        return;
    }
    std::lock_guard lock(working.lock);
    const auto reset = [&](std::size_t slot, std::uint16_t gCode) {
        const std::size_t record = RecordIndex(area, slot);
        KeyEntry entry;
        // The G code names the slot's key in a profile file; an emptied G slot must keep it,
        // as a default image does.
        entry.extra = gCode;
        working.image.SetEntry(record, entry);
        working.texts.Clear(record);
    };
    for (const ScanCode code : KeyButtonScanCodes()) {
        reset(ToScanIndex(code), 0);
    }
    for (int n = 1; n <= kGButtonCount; ++n) {
        reset(kGSlotBankA + static_cast<std::size_t>(n - 1), static_cast<std::uint16_t>(kGCodeBankA + n));
    }
}

} // namespace brasslane
