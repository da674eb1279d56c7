#include "core/app/AppCore.h"

#include <string_view>

namespace brasslane {

AppCore::AppCore(SessionCoreOptions options, HidBackend& backend, UiSink& ui, WaitClock* threadClock)
    : SessionCore(std::move(options), backend, ui), m_listener(backend, Connection(), ui, threadClock),
      m_monitor(
          backend, Link(), Connection(), State(), ui, [this](std::string_view key) { return Text().Text(key); },
          threadClock) {
    // The user folder holds the cache file and the mode files; a missing one is created and
    // seeded before anything looks for them. A failure shows later, where a file is needed.
    PrepareUserFolder();
    // Writes are read back and compared unless the settings turn it off (PROFILES/VerifyWrites=0).
    Profiles().SetVerifyWrites(Settings().ReadNumber(SettingsStore::kProfilesSection, kVerifyWritesKey).value_or(1) !=
                               0);
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

} // namespace brasslane
