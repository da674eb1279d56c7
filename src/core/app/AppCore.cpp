#include "core/app/AppCore.h"

#include "core/profiles/UserFolder.h"

#include <mutex>
#include <optional>

namespace brasslane {

namespace {

std::function<std::uint16_t()> SystemLanguageOrDefault(std::function<std::uint16_t()> systemLanguage) {
    if (systemLanguage) {
        return systemLanguage;
    }
    return [] { return Language::kDefaultLanguageId; };
}

} // namespace

AppCore::AppCore(AppCoreOptions options, HidBackend& backend, UiSink& ui)
    : m_paths(std::move(options.paths)), m_backend(backend), m_ui(ui), m_settings(std::move(options.settingsFile)),
      m_language(m_paths.programFolder, &m_settings, SystemLanguageOrDefault(std::move(options.systemLanguage))),
      m_link(backend), m_profiles(m_working, m_snapshot, m_state, m_link, m_connection, ui, m_language,
                                  m_paths.userFolder, m_paths.skinsFolder),
      m_lighting(m_link, m_connection), m_perKey(m_lighting, m_paths.userFolder, m_paths.DefaultUserModeFile()),
      m_listener(backend, m_connection, ui), m_monitor(backend, m_link, m_connection, m_state, ui,
                                                       [this](std::string_view key) { return m_language.Text(key); }) {
    m_state.activeProfile.store(-1);
    m_perKey.InstallHooks();
    // The user folder holds the cache file and the mode files; a missing one is created and
    // seeded before anything looks for them. A failure shows later, where a file is needed.
    EnsureUserFolder(m_paths.userFolder, m_paths.skinsFolder);
    m_profiles.CreateDefaultImage(std::nullopt);
}

AppCore::~AppCore() {
    Stop();
}

void AppCore::Start() {
    m_listener.Start();
    m_monitor.Start();
}

void AppCore::Stop() {
    m_monitor.Stop();
    m_listener.Stop();
}

void AppCore::FreeImages() {
    {
        std::lock_guard lock(m_working.lock);
        m_profiles.FreeWorkingImage();
    }
    std::lock_guard lock(m_snapshot.lock);
    m_snapshot.pool.clear();
    m_snapshot.pool.shrink_to_fit();
    m_snapshot.image.macros.clear();
    m_snapshot.image.macros.shrink_to_fit();
    std::fill(m_snapshot.image.header.begin(), m_snapshot.image.header.end(), std::uint8_t{0});
}

} // namespace brasslane
