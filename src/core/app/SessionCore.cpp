#include "core/app/SessionCore.h"

#include "core/profiles/UserFolder.h"

#include <algorithm>
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

ProgramSetup::ProgramSetup(SessionCoreOptions options)
    : m_paths(std::move(options.paths)), m_settings(std::move(options.settingsFile)),
      m_language(m_paths.programFolder, &m_settings, SystemLanguageOrDefault(std::move(options.systemLanguage))) {}

SessionCore::SessionCore(SessionCoreOptions options, HidBackend& backend, UiSink& ui)
    : m_setup(std::move(options)), m_backend(backend), m_ui(ui), m_link(backend, options.linkClock),
      m_profiles(m_working, m_snapshot, m_state, m_link, m_connection, ui, m_setup.Text(), Paths().userFolder,
                 Paths().skinsFolder),
      m_lighting(m_link, m_connection), m_perKey(m_lighting, Paths().userFolder, Paths().DefaultUserModeFile()) {
    m_state.activeProfile.store(-1);
    m_perKey.InstallHooks();
    m_profiles.CreateDefaultImage(std::nullopt);
}

bool SessionCore::PrepareUserFolder() {
    return EnsureUserFolder(Paths().userFolder, Paths().skinsFolder);
}

ConnectResult SessionCore::Connect() {
    ConnectResult result;
    result.search = SearchKeyboard(m_link, m_connection);
    if (result.search == SearchResult::kFound) {
        result.reads = ReadConnectionData(m_link, m_connection);
    }
    return result;
}

LightingResetResult SessionCore::ResetLighting() {
    LightingResetResult result;
    result.userModes = m_lighting.SupportsPerKey();
    if (result.userModes) {
        // The default is copied into the user folder, which a brasslanectl run may meet missing.
        PrepareUserFolder();
    }
    // The per-key colours' reset hook, installed by the constructor, restores and sends the
    // user modes between the effect selection and the default block.
    result.status = m_lighting.ResetToDefaults();
    if (result.userModes) {
        result.modeFileError = m_perKey.LastFileError();
    }
    return result;
}

void SessionCore::FreeImages() {
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
