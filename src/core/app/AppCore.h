#pragma once

// The process-wide objects of the desktop app, built in dependency order and wired to each
// other: paths, settings, language, shared state, the device link over a given HID backend,
// the two profile images, the profile store, the lighting model with the per-key colours, and
// the two device threads. The desktop app and the GUI tests build one; the UiSink comes from
// the caller (the Qt window's sink, or a test's recorder).
//
// Members are destroyed in reverse order, so the threads are stopped (by their own
// destructors, and by Stop()) before anything they use goes away.

#include "core/app/AppPaths.h"
#include "core/base/AppState.h"
#include "core/base/UiSink.h"
#include "core/device/ConnectionMonitor.h"
#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/HidBackend.h"
#include "core/device/InputListener.h"
#include "core/lighting/LightingModel.h"
#include "core/lighting/PerKeyColours.h"
#include "core/keys/ProfileImage.h"
#include "core/profiles/ProfileStore.h"
#include "core/resources/Language.h"
#include "core/resources/SettingsStore.h"

#include <cstdint>
#include <filesystem>
#include <functional>

namespace brasslane {

struct AppCoreOptions {
    AppPaths paths;
    // The settings file standing in for the registry (SettingsStore::DefaultPath() in the app).
    std::filesystem::path settingsFile;
    // The system's language id; empty gives 1033.
    std::function<std::uint16_t()> systemLanguage;
};

class AppCore {
public:
    // `backend` and `ui` must outlive the core. Installs a default profile image as the working
    // image and the per-key colours' hooks into the lighting model; starts no thread.
    AppCore(AppCoreOptions options, HidBackend& backend, UiSink& ui);
    ~AppCore(); // Stop()
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    // Starts the input listener, then the connection monitor. Does nothing while they run.
    void Start();
    // Stops and joins both threads (the monitor first, so that no arrival is announced while the
    // listener goes away). Safe to call more than once.
    void Stop();

    // The freeing steps of the close sequence: under the working lock the working image is
    // emptied (texts, macros, header block), then under the snapshot lock the snapshot.
    void FreeImages();

    const AppPaths& Paths() const { return m_paths; }
    SettingsStore& Settings() { return m_settings; }
    Language& Text() { return m_language; }
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
    ConnectionMonitor& Monitor() { return m_monitor; }
    InputListener& Listener() { return m_listener; }

private:
    AppPaths m_paths;
    HidBackend& m_backend;
    UiSink& m_ui;
    SettingsStore m_settings;
    Language m_language;
    AppState m_state;
    ConnectionState m_connection;
    DeviceLink m_link;
    WorkingImage m_working;
    UploadSnapshot m_snapshot;
    ProfileStore m_profiles;
    LightingModel m_lighting;
    PerKeyColours m_perKey;
    InputListener m_listener;
    ConnectionMonitor m_monitor;
};

} // namespace brasslane
