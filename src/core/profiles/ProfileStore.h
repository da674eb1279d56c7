#pragma once

// The profile store: the working image's life between files, the keyboard and the upload
// snapshot. It owns none of its collaborators; all are process-wide objects that outlive it.
//
// Locks: the working image's lock, then the snapshot's, never the other way round. Operations
// that document "caller holds the working lock" take it again themselves (it is re-entrant),
// so calling them without it is safe too, only no longer atomic with the caller's other steps.

#include "core/profiles/ProfileFile.h"
#include "core/profiles/WriteSequence.h"
#include "core/keys/ProfileImage.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace brasslane {

struct AppState;
class ConnectionState;
class DeviceLink;
class Language;
class UiSink;

// What a sync from the keyboard asks of the main window. Either may be empty.
struct ProfileSyncHooks {
    // Redraw the key buttons from the active profile's area (-1 when it is not known). Called
    // with the working lock held.
    std::function<void(int activeProfile)> refreshKeyButtons;
    // Clear the settings-modified flag (disables Apply).
    std::function<void()> clearSettingsModified;
};

class ProfileStore {
public:
    // `userFolder` holds the profile cache file; `skinsFolder` the mode file that seeds a newly
    // created user folder (may be empty).
    ProfileStore(WorkingImage& working, UploadSnapshot& snapshot, AppState& appState, DeviceLink& link,
                 ConnectionState& connection, UiSink& ui, Language& language, std::filesystem::path userFolder,
                 std::filesystem::path skinsFolder = {});

    void SetSyncHooks(ProfileSyncHooks hooks) { m_hooks = std::move(hooks); }

    // Whether TakeSnapshotAndUpload reads back and compares what it wrote (off until set: the
    // desktop app takes it from its settings, the tool from its command line).
    void SetVerifyWrites(bool verify) { m_verifyWrites = verify; }
    bool VerifyWrites() const { return m_verifyWrites; }

    const std::filesystem::path& UserFolder() const { return m_userFolder; }
    // "$Profile0.fwc" in the user folder.
    std::filesystem::path ProfileCacheFile() const;

    // The keyboard's active profile 0..2: the cached value, else read from the information
    // block (and cached). -1 when the keyboard does not answer or reports a profile it cannot
    // have (the cache then stays unknown).
    int GetActiveProfile();
    // Makes profile `index` (0..2) active on the keyboard. Any other index sends nothing and
    // returns false. After a failed read of the information block nothing changes; after a
    // failed write the cached profile becomes unknown (-1). True when the keyboard took it.
    bool SetActiveProfile(int index);

    // A default image (no macros, no texts, G codes in area 0; `flag` in the file header).
    // With a target: written to that file (temporary file and rename), the working image
    // untouched. Without: installed as the whole working image (texts and macros emptied).
    // False when the file could not be written.
    bool CreateDefaultImage(const std::optional<std::filesystem::path>& target, std::uint8_t flag = 0);

    // Checks a file for import. kInvalid for a missing file or one of an impossible size (no
    // message), or for a readable file that is not a profile image: then the language text
    // "PROFILE_FORMAT_ERROR" with the path is shown. kUnreadable when it cannot be opened for
    // reading and writing (read-only files included) or read. `error` (optional) gets the
    // reason in plain words.
    ProfileFileCheck ValidateProfileFile(const std::filesystem::path& path, std::string* error = nullptr);

    // Replaces the working image with the file's contents: header block, macros, and the texts
    // of text-carrying entries. Refuses (false, working image unchanged) a file that would not
    // validate. Caller holds the working lock.
    bool LoadProfileFile(const std::filesystem::path& path, std::string* error = nullptr);

    // Writes the working image to `path`: header rebuilt from its macro count and text total
    // (flag 0), texts packed (their offsets stored in the working entries). The old file stays
    // intact on any failure. Takes the working lock when `takeLock`.
    bool SaveProfileFile(const std::filesystem::path& path, bool takeLock, std::string* error = nullptr);
    // SaveProfileFile to the cache file, only when that file already exists (a keyboard was
    // read into it); false otherwise, with nothing written.
    bool SaveToCacheFile(bool takeLock, std::string* error = nullptr);

    // Copies the working image into the upload snapshot with its texts packed into the pool and
    // runs the write sequence on it (all three key maps when `allProfiles`), reading it back
    // when VerifyWrites(). Returns the write sequence's result: success only when every command
    // of it succeeded (and the keyboard holds what was sent), else the part that failed. Caller holds the working lock;
    // the snapshot lock is taken here.
    WriteResult TakeSnapshotAndUpload(bool allProfiles);

    // Copies the keyboard's three key maps and its macro area into a profile file at `path`.
    // Fails (no file written) when the keyboard does not tell its active profile or a read
    // fails. A macro area whose header is not valid reads as no macros.
    bool ReadKeyboardProfile(const std::filesystem::path& path, std::string* error = nullptr);

    // Makes the working image the keyboard's contents (through the cache file), or a default
    // image when the keyboard cannot be read, then calls the sync hooks (the modified flag is
    // cleared unless `keepModified`). Takes and releases the working lock.
    void SyncFromKeyboard(bool keepModified);

    // Empties the working image: no texts, no macros, a zeroed header block. Caller holds the
    // working lock and refills the image before releasing it.
    void FreeWorkingImage();

private:
    bool WriteWorkingImage(const std::filesystem::path& path, std::string* error);

    WorkingImage& m_working;
    UploadSnapshot& m_snapshot;
    AppState& m_appState;
    DeviceLink& m_link;
    ConnectionState& m_connection;
    UiSink& m_ui;
    Language& m_language;
    std::filesystem::path m_userFolder;
    std::filesystem::path m_skinsFolder;
    ProfileSyncHooks m_hooks;
    bool m_verifyWrites = false;
};

} // namespace brasslane
