#include "Session.h"

#include "core/device/KeyboardFinder.h"
#include "core/lighting/LightingModel.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/SystemLanguage.h"

#include <iostream>

namespace brasslane::cli {

ExitCode Report(ExitCode code, std::string_view step, std::string_view text) {
    std::cerr << "brasslanectl: " << step << ": " << text << '\n';
    return code;
}

Session::Session(GlobalOptions options)
    : m_options(std::move(options)),
      m_paths(AppPaths::Build(platform::ExecutablePath(), platform::InstalledDataFolder(), platform::UserDataHome())),
      m_settings(SettingsStore::DefaultPath()), m_language(m_paths.programFolder, &m_settings, &SystemLanguageId) {}

Session::~Session() {
    // The link must not report to a trace that is going away.
    if (m_link) {
        m_link->SetObserver(nullptr);
    }
}

ExitCode Session::OpenBackend() {
    if (m_backend) {
        return ExitCode::kSuccess;
    }
    KeyboardBackendOptions options;
    options.simulate = m_options.simulate;
    options.stateFile = m_options.stateFile;
    if (!m_options.model.empty()) {
        options.model = ParseSimModel(m_options.model);
    }
    std::string error;
    BackendError kind = BackendError::kNone;
    m_backend = KeyboardBackend::Create(options, &error, &kind);
    if (!m_backend) {
        return Report(kind == BackendError::kStateFile ? ExitCode::kFile : ExitCode::kUsage, "simulated keyboard",
                      error);
    }
    if (options.model && m_backend->LoadedFromStateFile() && m_backend->Simulated()->Model() != *options.model) {
        std::cerr << "brasslanectl: --model " << m_options.model << " ignored: " << m_options.stateFile << " holds a "
                  << SimModelName(m_backend->Simulated()->Model()) << " keyboard\n";
    }

    if (!m_options.trace.empty()) {
        m_traceFile.open(m_options.trace, std::ios::out | std::ios::app | std::ios::binary);
        if (!m_traceFile) {
            return Report(ExitCode::kFile, "trace", "cannot open " + m_options.trace + " for appending");
        }
        m_trace.SetOutput(&m_traceFile);
    }

    m_link = std::make_unique<DeviceLink>(m_backend->Hid());
    m_link->SetObserver(&m_trace);
    m_store = std::make_unique<ProfileStore>(m_working, m_snapshot, m_appState, *m_link, m_connection, m_ui, m_language,
                                             m_paths.userFolder, m_paths.skinsFolder);
    m_lighting = std::make_unique<LightingModel>(*m_link, m_connection);
    return ExitCode::kSuccess;
}

ExitCode Session::Connect() {
    if (const ExitCode opened = OpenBackend(); opened != ExitCode::kSuccess) {
        return opened;
    }
    switch (SearchKeyboard(*m_link, m_connection)) {
    case SearchResult::kFound:
        break;
    case SearchResult::kNotFound:
        return Report(ExitCode::kKeyboard, "connecting",
                      "no keyboard found (" + DeviceStatusText(kStatusNoAnswer) +
                          "); is it plugged in, and may this user open its hidraw device?");
    case SearchResult::kEnumerationFailed:
        return Report(ExitCode::kKeyboard, "connecting", "the HID interfaces cannot be listed");
    }
    if (const DeviceStatus status = ReadConnectionData(*m_link, m_connection); status != kStatusSuccess) {
        return Report(ExitCode::kKeyboard, "reading the default key map and the device information",
                      DeviceStatusText(status));
    }
    return ExitCode::kSuccess;
}

ExitCode Session::Finish(ExitCode result) {
    if (!m_backend) {
        return result;
    }
    std::string error;
    if (!m_backend->SaveState(&error)) {
        Report(ExitCode::kFile, "saving the simulated keyboard", error);
        return result == ExitCode::kSuccess ? ExitCode::kFile : result;
    }
    if (!m_trace.TraceWritten() && result == ExitCode::kSuccess) {
        return Report(ExitCode::kFile, "trace", "writing " + m_options.trace + " failed");
    }
    return result;
}

std::string Session::FailureText() {
    const DeviceStatus status = m_trace.LastFailure();
    return DeviceStatusText(status) + " (status " + std::to_string(status) + ")";
}

ExitCode Session::LoadLighting(std::optional<int> profile) {
    int index = 0;
    if (profile) {
        index = *profile - 1;
    } else {
        const std::size_t failuresBefore = m_trace.Failures();
        index = m_store->GetActiveProfile();
        if (index < 0) {
            const bool failed = m_trace.Failures() != failuresBefore;
            return Report(ExitCode::kKeyboard, "reading the active profile",
                          failed ? FailureText() : "the keyboard reports a profile it does not have");
        }
    }
    m_lighting->SetProfile(index);
    const DeviceStatus status = m_lighting->Load(false);
    if (status != kStatusSuccess) {
        const DeviceStatus cause = status == kStatusInfoFailed ? m_lighting->State().lastStatus : status;
        return Report(ExitCode::kKeyboard, "loading the lighting", DeviceStatusText(cause));
    }
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli
