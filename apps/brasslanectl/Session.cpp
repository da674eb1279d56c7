#include "Session.h"

#include "platform/Paths.h"
#include "platform/SystemLanguage.h"

#include <iostream>

namespace brasslane::cli {

namespace {

// Where this run's program files, settings and user folder are, as the desktop app finds them.
SessionCoreOptions SystemOptions() {
    SessionCoreOptions options;
    options.paths =
        AppPaths::Build(platform::ExecutablePath(), platform::InstalledDataFolder(), platform::UserDataHome());
    options.settingsFile = platform::SettingsFile();
    options.systemLanguage = [] { return SystemLanguageId(); };
    return options;
}

} // namespace

ExitCode Report(ExitCode code, std::string_view step, std::string_view text) {
    std::cerr << "brasslanectl: " << step << ": " << text << '\n';
    return code;
}

Session::Session(GlobalOptions options) : m_options(std::move(options)) {}

Session::~Session() {
    // The link must not report to a trace that is going away.
    if (m_core) {
        m_core->Link().SetObserver(nullptr);
    }
}

Language& Session::Texts() {
    if (m_core) {
        return m_core->Text();
    }
    if (!m_setup) {
        m_setup = std::make_unique<ProgramSetup>(SystemOptions());
    }
    return m_setup->Text();
}

ExitCode Session::OpenBackend() {
    if (m_core) {
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

    m_core = std::make_unique<SessionCore>(SystemOptions(), m_backend->Hid(), m_ui);
    m_core->Link().SetObserver(&m_trace);
    m_core->Profiles().SetVerifyWrites(m_options.verifyWrites);
    return ExitCode::kSuccess;
}

ExitCode Session::Connect() {
    if (const ExitCode opened = OpenBackend(); opened != ExitCode::kSuccess) {
        return opened;
    }
    const ConnectResult connected = m_core->Connect();
    switch (connected.search) {
    case SearchResult::kFound:
        break;
    case SearchResult::kNotFound:
        if (const std::string denied = AccessDeniedNode(); !denied.empty()) {
            return Report(ExitCode::kKeyboard, "connecting", AccessDeniedHint(denied));
        }
        return Report(ExitCode::kKeyboard, "connecting",
                      "no keyboard found (" + DeviceStatusText(kStatusNoAnswer) +
                          "); is it plugged in, and may this user open its hidraw device?");
    case SearchResult::kEnumerationFailed:
        return Report(ExitCode::kKeyboard, "connecting", "the HID interfaces cannot be listed");
    }
    if (connected.reads != kStatusSuccess) {
        return Report(ExitCode::kKeyboard, "reading the default key map and the device information",
                      DeviceStatusText(connected.reads));
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

std::string Session::AccessDeniedNode() {
    return m_backend ? m_backend->AccessDeniedInterface() : std::string();
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
        index = Store().GetActiveProfile();
        if (index < 0) {
            const bool failed = m_trace.Failures() != failuresBefore;
            return Report(ExitCode::kKeyboard, "reading the active profile",
                          failed ? FailureText() : "the keyboard reports a profile it does not have");
        }
    }
    LightingModel& lighting = Lighting();
    lighting.SetProfile(index);
    const DeviceStatus status = lighting.Load(false);
    if (status != kStatusSuccess) {
        const DeviceStatus cause = status == kStatusInfoFailed ? lighting.State().lastStatus : status;
        return Report(ExitCode::kKeyboard, "loading the lighting", DeviceStatusText(cause));
    }
    return ExitCode::kSuccess;
}

} // namespace brasslane::cli
