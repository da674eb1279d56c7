#pragma once

// Shared pieces of the profile tests: the texts the store shows and a HID backend without
// devices. Temporary folders, the language file and the recording UI sink come from support/.

#include "core/device/HidBackend.h"
#include "support/LanguageFolder.h"
#include "support/RecordingUiSink.h"
#include "support/TempFolder.h"

#include <memory>
#include <string>
#include <vector>

namespace brasslane::test {

// The texts the profile store and the macro read-back use.
inline LanguageTexts ProfileTexts() {
    return {
        {"PROFILE_FORMAT_ERROR", "The profile %s is damaged."},
        {"MACRO_NEW_PREFIX", "Macro"},
        {"EXTRA_MACRO_TOO_LONG", "Too long"},
        {"EXTRA_PROFILE_SPACE_TIGHT", "No room for names"},
        {"EXTRA_VERIFY_MACRO_AREA", "The macro area differs"},
        {"EXTRA_VERIFY_KEY_MAP", "Key map %d differs"},
    };
}

// No HID interfaces at all: a DeviceLink over it is never connected.
class NoHidBackend : public HidBackend {
public:
    bool Enumerate(std::vector<std::string>& paths) override {
        paths.clear();
        return true;
    }
    std::unique_ptr<HidHandle> Open(const std::string&, const HidOpenMode&) override { return nullptr; }
    bool IsPresent(const std::string&) override { return false; }
    std::unique_ptr<HidStopEvent> CreateStopEvent() override {
        struct NoStop : HidStopEvent {
            void Signal() override {}
        };
        return std::make_unique<NoStop>();
    }
};

} // namespace brasslane::test
