#include "core/profiles/WriteSequence.h"

#include "core/base/UiSink.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "core/keys/ProfileImage.h"
#include "core/resources/Language.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <vector>

namespace brasslane {

namespace {

constexpr int kKeyboardProfiles = 3;

using KeyMapBuffer = std::array<std::uint8_t, kKeyMapBufferSize>;

void Show(UiSink& ui, Language& language, std::string_view key) {
    ui.ShowMessage(language.Text(key), "", MessageButtons::kOk);
}

WriteResult Failed(WriteFailure failure, DeviceStatus status = kStatusSuccess, int profile = -1) {
    return WriteResult{failure, profile, status};
}

// The first byte where the keyboard's copy differs from what was sent; nullopt when none does.
std::optional<std::size_t> FirstDifference(std::span<const std::uint8_t> sent, std::span<const std::uint8_t> held) {
    const auto [at, _] = std::mismatch(sent.begin(), sent.end(), held.begin(), held.end());
    if (at == sent.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(at - sent.begin());
}

// Reads back what a write sent and compares: the macro area first (its length is the blob's),
// then each key map. The first read that fails or differs ends the check.
WriteResult VerifyWritten(std::span<const std::uint8_t> blob, const std::vector<int>& profiles,
                          const std::vector<KeyMapBuffer>& maps, std::size_t blockSize, DeviceLink& link, UiSink& ui,
                          Language& language) {
    std::vector<std::uint8_t> held(blob.size());
    if (const DeviceStatus status = link.ReadMacroArea(held); status != kStatusSuccess) {
        return Failed(WriteFailure::kReadBack, status);
    }
    if (const auto at = FirstDifference(blob, held)) {
        Show(ui, language, "EXTRA_VERIFY_MACRO_AREA");
        WriteResult result = Failed(WriteFailure::kMismatch);
        result.offset = *at;
        return result;
    }
    KeyMapBuffer heldMap{};
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const std::span<std::uint8_t> block = std::span<std::uint8_t>(heldMap).first(blockSize);
        if (const DeviceStatus status = link.ReadKeyMapBlock(static_cast<std::uint32_t>(profiles[i]), block);
            status != kStatusSuccess) {
            return Failed(WriteFailure::kReadBack, status, profiles[i]);
        }
        if (const auto at = FirstDifference(std::span<const std::uint8_t>(maps[i]).first(blockSize), block)) {
            ui.ShowMessage(FormatText(language.Text("EXTRA_VERIFY_KEY_MAP"), profiles[i] + 1), "", MessageButtons::kOk);
            WriteResult result = Failed(WriteFailure::kMismatch, kStatusSuccess, profiles[i]);
            result.offset = *at;
            return result;
        }
    }
    return WriteResult{};
}

WriteResult WriteConfigurationLocked(UploadSnapshot& snapshot, WorkingImage& working, bool allProfiles,
                                     int currentProfile, DeviceLink& link, ConnectionState& connection, UiSink& ui,
                                     Language& language, bool verify) {
    const bool writeAll = allProfiles || working.allProfilesRequest.load();
    // The keyboard only ever receives profile 0, 1 or 2: an unknown current profile writes nothing.
    if (!writeAll && (currentProfile < 0 || currentProfile >= kKeyboardProfiles)) {
        return Failed(WriteFailure::kProfileUnknown);
    }
    if (snapshot.image.header.size() < kHeaderBlockSize) {
        return Failed(WriteFailure::kOutOfMemory); // the snapshot could not be taken
    }
    if (!link.IsConnected()) {
        return Failed(WriteFailure::kKeyboardGone, kStatusNoAnswer);
    }

    // A capacity of 0 fits no macro area at all, not even an empty one with its 16-byte header:
    // the information block was not read at connection. Read it now rather than call every
    // configuration too long.
    if (connection.macroCapacity.load() == 0) {
        if (const DeviceStatus status = ReadMacroCapacity(link, connection); status != kStatusSuccess) {
            return Failed(WriteFailure::kCapacityUnknown, status);
        }
    }
    const std::span<const MacroBlock> macros = snapshot.image.macros;
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    const std::size_t capacity = connection.macroCapacity.load();
    if (sizes.withoutNames > capacity || sizes.withoutNames > kMaxMacroBlobLength) {
        Show(ui, language, "EXTRA_MACRO_TOO_LONG");
        return Failed(WriteFailure::kMacrosTooLong);
    }
    const bool withNames = sizes.withNames <= capacity && sizes.withNames <= kMaxMacroBlobLength;
    const std::size_t length = withNames ? sizes.withNames : sizes.withoutNames;
    std::vector<std::uint8_t> blob(length);
    if (!BuildMacroBlob(macros, blob, static_cast<std::uint16_t>(length), withNames)) {
        return Failed(WriteFailure::kOutOfMemory);
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

    // One exchange per 56-byte chunk, plus the begin and end commands, for the progress shown
    // while the write runs.
    const auto chunks = [](std::size_t bytes) { return (bytes + kFramePayload - 1) / kFramePayload; };
    link.BeginProgress(static_cast<std::uint32_t>(2 + chunks(length) + profiles.size() * chunks(blockSize)));
    struct ProgressEnd {
        DeviceLink& link;
        ~ProgressEnd() { link.EndProgress(); }
    } progressEnd{link};

    WriteResult result;
    const auto note = [&result](WriteFailure failure, DeviceStatus status, int profile = -1) {
        if (status != kStatusSuccess && result.Ok()) {
            result = Failed(failure, status, profile);
        }
    };
    note(WriteFailure::kBegin, link.BeginSequence());
    const DeviceStatus macroArea = link.WriteMacroArea(blob);
    note(WriteFailure::kMacroArea, macroArea);
    // Key maps written after a failed macro area could play macros the keyboard does not have.
    if (macroArea == kStatusSuccess) {
        for (std::size_t i = 0; i < profiles.size(); ++i) {
            note(WriteFailure::kKeyMap,
                 link.WriteKeyMapBlock(static_cast<std::uint32_t>(profiles[i]),
                                       std::span<const std::uint8_t>(maps[i]).first(blockSize)),
                 profiles[i]);
        }
    }
    note(WriteFailure::kEnd, link.EndSequence());
    if (!result.Ok() && !link.IsConnected()) {
        result.failure = WriteFailure::kKeyboardGone;
        result.profile = -1;
    }

    if (!withNames && macroArea == kStatusSuccess) {
        Show(ui, language, "EXTRA_PROFILE_SPACE_TIGHT");
    }
    // Only a write the keyboard took as a whole is worth reading back.
    if (verify && result.Ok()) {
        result = VerifyWritten(blob, profiles, maps, blockSize, link, ui, language);
        if (!result.Ok() && !link.IsConnected()) {
            result.failure = WriteFailure::kKeyboardGone;
            result.profile = -1;
        }
    }
    // A request for all three key maps stays until all three were written.
    if (result.Ok()) {
        working.allProfilesRequest.store(false);
    }
    return result;
}

} // namespace

std::string WriteResultText(const WriteResult& result) {
    const auto because = [&result](std::string part) {
        return part + ": " + DeviceStatusText(result.status) + " (status " + std::to_string(result.status) + ")";
    };
    switch (result.failure) {
    case WriteFailure::kNone:
        return "written";
    case WriteFailure::kProfileUnknown:
        return "the keyboard's current profile is not known";
    case WriteFailure::kCapacityUnknown:
        return because("the keyboard did not answer when asked for its macro capacity");
    case WriteFailure::kMacrosTooLong:
        return "the macros do not fit into the keyboard's memory";
    case WriteFailure::kOutOfMemory:
        return "not enough memory for the write";
    case WriteFailure::kKeyboardGone:
        return "the keyboard is gone";
    case WriteFailure::kBegin:
        return because("the start of the write");
    case WriteFailure::kMacroArea:
        return because("the macro area (no key map was written after it)");
    case WriteFailure::kKeyMap:
        return because("the key map of profile " + std::to_string(result.profile + 1));
    case WriteFailure::kEnd:
        return because("the end of the write");
    case WriteFailure::kReadBack:
        return because(result.profile < 0
                           ? "reading back the macro area"
                           : "reading back the key map of profile " + std::to_string(result.profile + 1));
    case WriteFailure::kMismatch:
        return (result.profile < 0 ? std::string("the macro area")
                                   : "the key map of profile " + std::to_string(result.profile + 1)) +
               " read back differs from what was written, first at byte " + std::to_string(result.offset);
    }
    return "unknown failure";
}

WriteResult WriteConfiguration(UploadSnapshot& snapshot, WorkingImage& working, bool allProfiles, int currentProfile,
                               DeviceLink& link, ConnectionState& connection, UiSink& ui, Language& language,
                               bool verify) {
    try {
        std::lock_guard workingLock(working.lock);
        std::lock_guard snapshotLock(snapshot.lock);
        return WriteConfigurationLocked(snapshot, working, allProfiles, currentProfile, link, connection, ui, language,
                                        verify);
    } catch (const std::bad_alloc&) {
        // No memory for the blob or the key maps: the write fails without a message.
        return Failed(WriteFailure::kOutOfMemory);
    }
}

} // namespace brasslane
