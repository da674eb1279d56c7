#pragma once

// The objects one run of either program works with, built in dependency order and wired to each
// other, without any thread: paths, settings, language, shared state, the device link over a
// given HID backend, the two profile images, the profile store, and the lighting model with the
// per-key colours hooked into it. brasslanectl builds one for a keyboard command; the desktop
// app's AppCore is one with the two device threads added. The UiSink comes from the caller (the
// Qt window's sink, the tool's inline sink, or a test's recorder).

#include "core/app/AppPaths.h"
#include "core/base/AppState.h"
#include "core/base/UiSink.h"
#include "core/base/WaitClock.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/HidBackend.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/ProfileImage.h"
#include "core/lighting/LightingModel.h"
#include "core/lighting/PerKeyColours.h"
#include "core/profiles/ProfileStore.h"
#include "core/resources/Language.h"
#include "core/resources/SettingsStore.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace brasslane {

struct SessionCoreOptions {
    AppPaths paths;
    // The settings file standing in for the registry (SettingsStore::DefaultPath() in the
    // programs).
    std::filesystem::path settingsFile;
    // The system's language id; empty gives 1033.
    std::function<std::uint16_t()> systemLanguage;
    // Times the device link's pauses (the one before a sequence ends); the steady clock when
    // null. Must outlive the session.
    WaitClock* linkClock = nullptr;
};

// The part of a session that needs no keyboard: the path table, the settings and the language
// texts over them. Commands that only read files use it alone; every SessionCore has one.
class ProgramSetup {
public:
    explicit ProgramSetup(SessionCoreOptions options);
    ProgramSetup(const ProgramSetup&) = delete;
    ProgramSetup& operator=(const ProgramSetup&) = delete;

    const AppPaths& Paths() const { return m_paths; }
    SettingsStore& Settings() { return m_settings; }
    Language& Text() { return m_language; }

private:
    AppPaths m_paths;
    SettingsStore m_settings;
    Language m_language; // reads and stores its choice in m_settings
};

// What SessionCore::Connect found.
struct ConnectResult {
    SearchResult search = SearchResult::kNotFound;
    // The arrival reads (default key map, information block); kStatusNoAnswer when the keyboard
    // was not found.
    DeviceStatus reads = kStatusNoAnswer;
};

// What SessionCore::ResetLighting did.
struct LightingResetResult {
    // The write of the default block, the reset's last step. The earlier steps' writes are not
    // reported here: a caller that must know of every failed command watches the link's frames
    // (brasslanectl's exchange trace does).
    DeviceStatus status = kStatusSuccess;
    // The keyboard offers the per-key effect: the current profile's user modes were restored
    // from the installed default and the current mode's key colours sent.
    bool userModes = false;
    // Why the current profile's mode file could not be restored; empty when it was (or when
    // the keyboard has no user modes).
    std::string modeFileError;
};

class SessionCore {
public:
    // `backend` and `ui` must outlive the core. Installs a default profile image as the working
    // image and the per-key colours' hooks into the lighting model. Touches no file and no
    // device.
    SessionCore(SessionCoreOptions options, HidBackend& backend, UiSink& ui);
    ~SessionCore() = default;
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;

    // The per-user folder holds the cache file and the mode files: a missing one is created and
    // seeded with three copies of the installed default mode file; an existing one is left as
    // it is. False when it does not exist afterwards.
    bool PrepareUserFolder();

    // Finds the keyboard's command interface and opens it into the link, then reads what the
    // connection handler reads on arrival (the default key map, the information block). For a
    // session without the connection monitor; nothing is published.
    ConnectResult Connect();

    // Resets the lighting of the lighting model's current profile to its defaults, every step of
    // the lighting panel's reset: effect 1 selected; when the keyboard offers the per-key effect,
    // the profile's mode file restored from the installed default and its current mode's key
    // colours sent; then the default block written. The panel shows the result afterwards; the
    // lighting switch is not changed.
    LightingResetResult ResetLighting();

    // The freeing steps of the close sequence: under the working lock the working image is
    // emptied (texts, macros, header block), then under the snapshot lock the snapshot.
    void FreeImages();

    const AppPaths& Paths() const { return m_setup.Paths(); }
    SettingsStore& Settings() { return m_setup.Settings(); }
    Language& Text() { return m_setup.Text(); }
    AppState& State() { return m_state; }
    ConnectionState& Connection() { return m_connection; }
    DeviceLink& Link() { return m_link; }
    WorkingImage& Working() { return m_working; }
    UploadSnapshot& Snapshot() { return m_snapshot; }
    ProfileStore& Profiles() { return m_profiles; }
    LightingModel& Lighting() { return m_lighting; }
    PerKeyColours& KeyColours() { return m_perKey; }
    UiSink& Ui() { return m_ui; }
    HidBackend& Backend() { return m_backend; }

private:
    ProgramSetup m_setup;
    HidBackend& m_backend;
    UiSink& m_ui;
    AppState m_state;
    ConnectionState m_connection;
    DeviceLink m_link;
    WorkingImage m_working;
    UploadSnapshot m_snapshot;
    ProfileStore m_profiles;
    LightingModel m_lighting;
    PerKeyColours m_perKey;
};

} // namespace brasslane
