#include "core/profiles/WriteSequence.h"

#include "core/base/UiSink.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "core/keys/ProfileImage.h"
#include "core/resources/Language.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <vector>

namespace brasslane {

namespace {

constexpr int kKeyboardProfiles = 3;

using KeyMapBuffer = std::array<std::uint8_t, kKeyMapBufferSize>;

void Show(UiSink& ui, Language& language, std::string_view key) {
    ui.ShowMessage(language.Text(key), "", MessageButtons::kOk);
}

bool WriteConfigurationLocked(UploadSnapshot& snapshot, WorkingImage& working, bool allProfiles, int currentProfile,
                              DeviceLink& link, const ConnectionState& connection, UiSink& ui, Language& language) {
    const bool writeAll = allProfiles || working.allProfilesRequest.load();
    // The keyboard only ever receives profile 0, 1 or 2: an unknown current profile writes nothing.
    if (!writeAll && (currentProfile < 0 || currentProfile >= kKeyboardProfiles)) {
        return false;
    }
    if (snapshot.image.header.size() < kHeaderBlockSize) {
        return false;
    }

    const std::span<const MacroBlock> macros = snapshot.image.macros;
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    const std::size_t capacity = connection.macroCapacity.load();
    if (sizes.withoutNames > capacity || sizes.withoutNames > kMaxMacroBlobLength) {
        Show(ui, language, "EXTRA_MACRO_TOO_LONG");
        return false;
    }
    const bool withNames = sizes.withNames <= capacity && sizes.withNames <= kMaxMacroBlobLength;
    const std::size_t length = withNames ? sizes.withNames : sizes.withoutNames;
    std::vector<std::uint8_t> blob(length);
    if (!BuildMacroBlob(macros, blob, static_cast<std::uint16_t>(length), withNames)) {
        return false;
    }

    const std::size_t blockSize = std::min<std::size_t>(connection.blockSize.load(), kKeyMapBufferSize);
    const std::size_t keyCount = std::min<std::size_t>(connection.keyCount.load(), blockSize / kKeyActionSize);
    const KeyMapBuffer defaultMap =
        connection.HaveDefaultKeyMap() ? connection.DefaultKeyMap() : BuiltInDefaultKeyMap();

    std::vector<int> profiles;
    if (writeAll) {
        profiles = {0, 1, 2};
    } else {
        profiles = {currentProfile};
    }
    // Every position is written from the entry of the key its default action names. Where a
    // keyboard's default map gives two positions the same action (one key read at two places),
    // both get the same entry and so the same action.
    std::vector<KeyMapBuffer> maps;
    maps.reserve(profiles.size());
    for (int profile : profiles) {
        maps.push_back(EncodeKeyMap(defaultMap, keyCount, snapshot.image, static_cast<std::size_t>(profile),
                                    working.image.macros));
    }

    link.BeginSequence();
    link.WriteMacroArea(blob);
    DeviceStatus last = kStatusNoAnswer;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        last = link.WriteKeyMapBlock(static_cast<std::uint32_t>(profiles[i]),
                                     std::span<const std::uint8_t>(maps[i]).first(blockSize));
    }
    link.EndSequence();

    if (!withNames) {
        Show(ui, language, "EXTRA_PROFILE_SPACE_TIGHT");
    }
    working.allProfilesRequest.store(false);
    return last == kStatusSuccess;
}

} // namespace

bool WriteConfiguration(UploadSnapshot& snapshot, WorkingImage& working, bool allProfiles, int currentProfile,
                        DeviceLink& link, const ConnectionState& connection, UiSink& ui, Language& language) {
    try {
        std::lock_guard workingLock(working.lock);
        std::lock_guard snapshotLock(snapshot.lock);
        return WriteConfigurationLocked(snapshot, working, allProfiles, currentProfile, link, connection, ui, language);
    } catch (const std::bad_alloc&) {
        // No memory for the blob or the key maps: the write fails without a message.
        return false;
    }
}

} // namespace brasslane
