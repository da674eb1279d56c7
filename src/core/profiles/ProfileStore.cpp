#include "core/profiles/ProfileStore.h"

#include "core/base/Bytes.h"
#include "core/base/AppState.h"
#include "core/base/Keyboard.h"
#include "core/base/UiSink.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "core/profiles/WriteSequence.h"
#include "core/base/AtomicFile.h"
#include "core/profiles/UserFolder.h"
#include "core/resources/Language.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

namespace brasslane {

namespace {

constexpr std::size_t kActiveProfileByte = 10;

// The keyboard's macro area is at most 255 units of 128 bytes.
constexpr std::size_t kMacroAreaMaxSize = 255 * 128;

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

} // namespace

ProfileStore::ProfileStore(WorkingImage& working, UploadSnapshot& snapshot, AppState& appState, DeviceLink& link,
                           ConnectionState& connection, UiSink& ui, Language& language,
                           std::filesystem::path userFolder, std::filesystem::path skinsFolder)
    : m_working(working), m_snapshot(snapshot), m_appState(appState), m_link(link), m_connection(connection), m_ui(ui),
      m_language(language), m_userFolder(std::move(userFolder)), m_skinsFolder(std::move(skinsFolder)) {}

std::filesystem::path ProfileStore::ProfileCacheFile() const {
    return ProfileCacheFilePath(m_userFolder);
}

int ProfileStore::GetActiveProfile() {
    const int cached = m_appState.activeProfile.load();
    if (cached >= 0 && cached < kProfileCount) {
        return cached;
    }
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    if (m_link.ReadDeviceInfo(info) != kStatusSuccess) {
        return -1;
    }
    // A profile number the keyboard cannot have would index past the image's areas; it is
    // taken as unknown rather than trusted.
    const int active = info[kActiveProfileByte];
    if (active >= kProfileCount) {
        return -1;
    }
    m_appState.activeProfile.store(active);
    return active;
}

bool ProfileStore::SetActiveProfile(int index) {
    // The keyboard must only ever receive profile 0, 1 or 2.
    if (index < 0 || index >= kProfileCount) {
        return false;
    }
    std::array<std::uint8_t, kDeviceInfoSize> info{};
    if (m_link.ReadDeviceInfo(info) != kStatusSuccess) {
        return false;
    }
    info[kActiveProfileByte] = static_cast<std::uint8_t>(index);
    if (m_link.WriteDeviceInfo(info) != kStatusSuccess) {
        m_appState.activeProfile.store(-1);
        return false;
    }
    m_appState.activeProfile.store(index);
    return true;
}

bool ProfileStore::CreateDefaultImage(const std::optional<std::filesystem::path>& target, std::uint8_t flag) {
    try {
        ProfileImage image = MakeDefaultImage(flag);
        if (target.has_value()) {
            return WriteFileAtomically(*target, [&image](std::ostream& out) {
                return WriteProfileImage(out, image, std::span<const std::uint8_t>());
            });
        }
        std::lock_guard lock(m_working.lock);
        m_working.image = std::move(image);
        m_working.texts.ClearAll();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

ProfileFileCheck ProfileStore::ValidateProfileFile(const std::filesystem::path& path, std::string* error) {
    std::vector<std::uint8_t> bytes;
    const ProfileFileRead read = ReadProfileFileBytes(path, bytes);
    if (read.check != ProfileFileCheck::kValid) {
        SetError(error, read.error);
    }
    if (read.format != ProfileFormatError::kNone) {
        m_ui.ShowMessage(FormatText(m_language.Text("PROFILE_FORMAT_ERROR"), path.string()), "", MessageButtons::kOk);
    }
    return read.check;
}

bool ProfileStore::LoadProfileFile(const std::filesystem::path& path, std::string* error) {
    try {
        std::vector<std::uint8_t> bytes;
        const ProfileFileRead read = ReadProfileFileBytes(path, bytes);
        if (read.check != ProfileFileCheck::kValid) {
            SetError(error, read.error);
            return false;
        }
        ProfileImage image;
        StringTable texts;
        if (const ProfileFormatError format = DecodeProfileBytes(bytes, image, texts);
            format != ProfileFormatError::kNone) {
            SetError(error, std::string(ProfileFormatErrorText(format)));
            return false;
        }
        std::lock_guard lock(m_working.lock);
        m_working.image = std::move(image);
        m_working.texts = std::move(texts);
        return true;
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory for the file");
        return false;
    }
}

bool ProfileStore::WriteWorkingImage(const std::filesystem::path& path, std::string* error) {
    try {
        if (!FitsProfileFile(m_working.image.macros.size(), m_working.texts.Total())) {
            SetError(error, "the profile has too many macros or texts for a profile file");
            return false;
        }
        const std::vector<std::uint8_t> pool = PackStringPool(m_working.image, m_working.texts);
        RebuildFileHeader(m_working.image, static_cast<std::uint32_t>(pool.size()));
        const ProfileImage& image = m_working.image;
        return WriteFileAtomically(
            path, [&](std::ostream& out) { return WriteProfileImage(out, image, pool); }, error);
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory to write the profile");
        return false;
    }
}

bool ProfileStore::SaveProfileFile(const std::filesystem::path& path, bool takeLock, std::string* error) {
    std::unique_lock lock(m_working.lock, std::defer_lock);
    if (takeLock) {
        lock.lock();
    }
    return WriteWorkingImage(path, error);
}

bool ProfileStore::SaveToCacheFile(bool takeLock, std::string* error) {
    const std::filesystem::path cache = ProfileCacheFile();
    std::error_code ec;
    if (!std::filesystem::exists(cache, ec)) {
        SetError(error, "the profile cache file does not exist");
        return false;
    }
    return SaveProfileFile(cache, takeLock, error);
}

WriteResult ProfileStore::TakeSnapshotAndUpload(bool allProfiles) {
    std::lock_guard workingLock(m_working.lock);
    // Asked before the snapshot lock is taken: it may need an exchange with the keyboard.
    const int currentProfile = GetActiveProfile();
    std::lock_guard snapshotLock(m_snapshot.lock);
    try {
        // Packing first stores the new pool offsets in the working entries, so the copy below
        // matches its pool (the key-map encoding does not read those offsets either way).
        std::vector<std::uint8_t> pool = PackStringPool(m_working.image, m_working.texts);
        m_snapshot.pool.clear();
        m_snapshot.image.macros.clear();
        m_snapshot.image.header = m_working.image.header;
        m_snapshot.image.macros = m_working.image.macros;
        RebuildFileHeader(m_snapshot.image, static_cast<std::uint32_t>(pool.size()));
        m_snapshot.pool = std::move(pool);
    } catch (const std::bad_alloc&) {
        return WriteResult{WriteFailure::kOutOfMemory};
    }
    return WriteConfiguration(m_snapshot, m_working, allProfiles, currentProfile, m_link, m_connection, m_ui,
                              m_language, m_verifyWrites);
}

bool ProfileStore::ReadKeyboardProfile(const std::filesystem::path& path, std::string* error) {
    try {
        if (GetActiveProfile() < 0) {
            SetError(error, "the keyboard does not tell its active profile");
            return false;
        }
        const std::size_t blockSize = std::min<std::size_t>(m_connection.blockSize.load(), kKeyMapBufferSize);
        std::array<std::array<std::uint8_t, kKeyMapBufferSize>, kProfileCount> maps{};
        for (std::size_t profile = 0; profile < maps.size(); ++profile) {
            const std::span<std::uint8_t> block(maps[profile].data(), blockSize);
            if (m_link.ReadKeyMapBlock(static_cast<std::uint32_t>(profile), block) != kStatusSuccess) {
                SetError(error, "the keyboard's key map of profile " + std::to_string(profile + 1) + " cannot be read");
                return false;
            }
        }

        std::array<std::uint8_t, kMacroBlobHeaderSize> blobHeader{};
        if (m_link.ReadMacroArea(blobHeader) != kStatusSuccess) {
            SetError(error, "the keyboard's macro area cannot be read");
            return false;
        }
        std::vector<MacroBlock> macros;
        const MacroBlobHeader header = ReadMacroBlobHeader(blobHeader);
        // A length the macro area cannot have marks it as damaged, which reads as no macros
        // like a wrong magic does; the key maps are still worth keeping.
        if (header.valid && header.length >= kMacroBlobHeaderSize && header.length <= kMacroAreaMaxSize) {
            std::vector<std::uint8_t> blob(header.length);
            if (m_link.ReadMacroArea(blob) != kStatusSuccess) {
                SetError(error, "the keyboard's macro area cannot be read");
                return false;
            }
            ParseMacroBlob(blob, m_language.Text("MACRO_NEW_PREFIX"), macros);
            if (macros.size() > kMaxMacros) {
                macros.resize(kMaxMacros);
            }
        }

        ProfileImage image;
        image.macros = std::move(macros);
        RebuildFileHeader(image, 0);
        WriteKeyTableHeader(image.header);
        const std::array<std::uint8_t, kKeyMapBufferSize> defaultMap =
            m_connection.HaveDefaultKeyMap() ? m_connection.DefaultKeyMap() : BuiltInDefaultKeyMap();
        const std::size_t keyCount = m_connection.keyCount.load();
        for (std::size_t profile = 0; profile < maps.size(); ++profile) {
            DecodeKeyMap(std::span<const std::uint8_t>(maps[profile].data(), blockSize),
                         std::span<const std::uint8_t>(defaultMap.data(), blockSize), keyCount, image, profile);
        }
        return WriteFileAtomically(
            path, [&image](std::ostream& out) { return WriteProfileImage(out, image, {}); }, error);
    } catch (const std::bad_alloc&) {
        SetError(error, "not enough memory for the keyboard's contents");
        return false;
    }
}

void ProfileStore::FreeWorkingImage() {
    std::lock_guard lock(m_working.lock);
    m_working.texts.ClearAll();
    m_working.image.macros.clear();
    m_working.image.macros.shrink_to_fit();
    std::fill(m_working.image.header.begin(), m_working.image.header.end(), std::uint8_t{0});
}

void ProfileStore::SyncFromKeyboard(bool keepModified) {
    EnsureUserFolder(m_userFolder, m_skinsFolder);
    const int active = GetActiveProfile();
    const bool haveCache = active >= 0 && ReadKeyboardProfile(ProfileCacheFile());
    {
        std::lock_guard lock(m_working.lock);
        FreeWorkingImage();
        // The working image must never stay empty: a cache file that cannot be loaded after
        // all gives the default image like an absent keyboard does.
        if (!haveCache || !LoadProfileFile(ProfileCacheFile())) {
            CreateDefaultImage(std::nullopt);
        }
        if (m_hooks.refreshKeyButtons) {
            m_hooks.refreshKeyButtons(active);
        }
    }
    if (!keepModified && m_hooks.clearSettingsModified) {
        m_hooks.clearSettingsModified();
    }
}

} // namespace brasslane
