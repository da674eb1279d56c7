#include "gui/CVarnelApp.h"

#include "gui/CVarnelDlg.h"
#include "gui/MessageBox.h"
#include "gui/QtUiSink.h"

#include "core/app/AppCore.h"
#include "core/base/Messages.h"
#include "platform/KeyboardBackend.h"
#include "platform/linux/ClockChangeWatch.h"
#include "platform/linux/DeviceAccess.h"
#include "platform/linux/LinuxPaths.h"
#include "platform/linux/SingleInstance.h"
#include "platform/linux/SystemLanguage.h"

#include "core/resources/SettingsStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace brasslane::gui {

namespace {

bool EnvironmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string_view(value) == "1";
}

// A copy that is closing gives up the lock a moment after it stopped answering.
constexpr std::chrono::milliseconds kLockRetryDelay{300};

} // namespace

VarnelAppEnvironment VarnelAppEnvironment::FromSystem() {
    VarnelAppEnvironment environment;
    environment.executable = platform::ExecutablePath();
    environment.installedDataFolder = platform::InstalledDataFolder();
    environment.userDataHome = platform::UserDataHome();
    environment.settingsFile = SettingsStore::DefaultPath();
    environment.runtimeFolder = platform::RuntimeFolder();
    environment.systemLanguage = [] { return SystemLanguageId(); };
    environment.traceStates = EnvironmentFlag("BRASSLANE_TRACE_STATES");
    environment.exitAfterInit = EnvironmentFlag("BRASSLANE_EXIT_AFTER_INIT");
    return environment;
}

CVarnelApp::CVarnelApp(VarnelAppEnvironment environment)
    : m_environment(std::move(environment)), m_started(std::chrono::steady_clock::now()) {}

CVarnelApp::~CVarnelApp() {
    // The device threads may be waiting for the GUI thread; release them before joining them,
    // and join them before the window they report to goes away.
    if (m_sink) {
        m_sink->BeginShutdown();
    }
    if (m_core) {
        m_core->Stop();
    }
    m_notifier.reset();
    m_clockNotifier.reset();
    m_window.reset();
}

bool CVarnelApp::SendToFirst(std::uint32_t message, std::uint64_t wParam) {
    return m_instance->SendToFirst(message, wParam);
}

bool CVarnelApp::Start(const CommandLine& commandLine, int* exitCode) {
    *exitCode = 0;
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "brasslane: %s\n", commandLine.error.c_str());
    }
    for (const std::string& argument : commandLine.ignored) {
        std::fputs(IgnoredArgumentText(argument).c_str(), stderr);
    }

    m_instance = std::make_unique<platform::SingleInstance>(m_environment.runtimeFolder);
    // "/Kill" closes a running copy; without one it has no effect.
    if (commandLine.kill && SendToFirst(MSG_KILL, kCodeKill)) {
        return false;
    }
    std::string error;
    if (!m_instance->TryBecomeFirst(&error)) {
        if (!m_instance->HeldByAnother()) {
            // No other copy is in the way: the folder itself cannot be used.
            std::fprintf(stderr, "brasslane: the runtime folder %s cannot be used: %s\n",
                         m_environment.runtimeFolder.string().c_str(), error.c_str());
            *exitCode = 1;
            return false;
        }
        if (SendToFirst(MSG_OPEN, kCodeOpen)) {
            return false;
        }
        // The holder may be a copy in the middle of closing: try once more after it is gone.
        std::this_thread::sleep_for(kLockRetryDelay);
        if (!m_instance->TryBecomeFirst(&error)) {
            std::fprintf(stderr, "brasslane: %s%s%s\n",
                         m_instance->HeldByAnother() ? "another copy is running but does not answer"
                                                     : "the runtime folder cannot be used",
                         error.empty() ? "" : ": ", error.c_str());
            *exitCode = 1;
            return false;
        }
    }

    const AppPaths paths =
        AppPaths::Build(m_environment.executable, m_environment.installedDataFolder, m_environment.userDataHome);
    if (m_environment.startCompanion) {
        std::error_code ignored;
        if (std::filesystem::is_regular_file(paths.companionProgram, ignored)) {
            QProcess::startDetached(QString::fromStdString(paths.companionProgram.string()), {});
        }
    }

    KeyboardBackendOptions backendOptions;
    backendOptions.simulate = commandLine.simulate;
    backendOptions.stateFile = commandLine.simulateState;
    if (commandLine.model) {
        backendOptions.model = *commandLine.model == 0x505B ? sim::SimModel::k505B : sim::SimModel::k7672;
    }
    m_keyboard = KeyboardBackend::Create(backendOptions, &error);
    if (!m_keyboard) {
        std::fprintf(stderr, "brasslane: %s\n", error.c_str());
        ReleaseInstance();
        *exitCode = 1;
        return false;
    }

    m_sink = std::make_unique<QtUiSink>(m_environment.deviceClock);
    SessionCoreOptions coreOptions{paths, m_environment.settingsFile, m_environment.systemLanguage};
    m_core = std::make_unique<AppCore>(std::move(coreOptions), m_keyboard->Hid(), *m_sink, m_environment.deviceClock);
    if (commandLine.start) {
        m_core->Connection().firstShow.store(1);
    }

    m_window = std::make_unique<CVarnelDlg>(*m_core, *m_sink);
    CVarnelDlg::Hooks hooks;
    hooks.releaseInstance = [this] { ReleaseInstance(); };
    hooks.quit = [this] { Finish(); };
    hooks.stateChanged = [this](WindowState state) { OnState(state); };
    m_window->SetHooks(std::move(hooks));
    if (!m_window->Initialise()) {
        // A missing skin picture ends the program quietly.
        Abandon();
        return false;
    }

    m_notifier = std::make_unique<QSocketNotifier>(m_instance->Fd(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_window.get(), [this] { ReadInstanceMessages(); });

    // The monitor searches once a second; so does this look at what the search was refused.
    if (!m_keyboard->IsSimulated()) {
        m_accessCheck = std::make_unique<QTimer>();
        QObject::connect(m_accessCheck.get(), &QTimer::timeout, m_window.get(), [this] { CheckDeviceAccess(); });
        m_accessCheck->start(1000);
    }

    // A set clock runs the apply flow, as the system's time-change message does elsewhere.
    m_clock = std::make_unique<platform::ClockChangeWatch>();
    if (m_clock->Valid()) {
        m_clockNotifier = std::make_unique<QSocketNotifier>(m_clock->Fd(), QSocketNotifier::Read);
        QObject::connect(m_clockNotifier.get(), &QSocketNotifier::activated, m_window.get(), [this] {
            if (m_clock->TakeChange() && m_window && m_window->Model().StartupFinished()) {
                m_window->Model().ClockChanged();
            }
        });
    }
    return true;
}

void CVarnelApp::CheckDeviceAccess() {
    if (m_core->Link().IsConnected()) {
        return;
    }
    const std::string node = m_keyboard->AccessDeniedInterface();
    if (node.empty()) {
        return;
    }
    m_accessCheck->stop();
    std::fprintf(stderr, "brasslane: %s\n", DeviceAccessHint(node).c_str());
    MessageBox::Show(
        nullptr,
        QString::fromStdString(m_core->Text().Text("MAIN_DEVICE_ACCESS_PROMPT") + "\n\n" + DeviceAccessCommand()),
        QStringLiteral("Brasslane"), MessageButtons::kOk);
}

int CVarnelApp::Exec() {
    if (!m_finished) {
        QCoreApplication::exec();
    }
    return m_exitCode;
}

void CVarnelApp::ReadInstanceMessages() {
    if (!m_instance || !m_instance->IsFirst()) {
        return;
    }
    for (const platform::InstanceMessage& message : m_instance->ReadPending()) {
        if (!m_window) {
            return;
        }
        if (message.message == platform::kInstanceCommandMessage) {
            m_window->HandleCommand(static_cast<std::uint32_t>(message.wParam));
            continue;
        }
        m_window->HandleMessage(message.message, static_cast<std::uintptr_t>(message.wParam), 0);
    }
}

void CVarnelApp::ReleaseInstance() {
    if (m_notifier) {
        // May run inside the notifier's own signal (a /Kill from a second copy).
        m_notifier->setEnabled(false);
    }
    if (m_instance) {
        m_instance->Release();
    }
}

void CVarnelApp::Finish() {
    if (m_finished) {
        return;
    }
    m_sink->BeginShutdown();
    m_core->Stop();
    std::string error;
    if (!m_keyboard->SaveState(&error)) {
        std::fprintf(stderr, "brasslane: the simulated keyboard's state was not saved: %s\n", error.c_str());
    }
    m_finished = true;
    QCoreApplication::exit(m_exitCode);
}

void CVarnelApp::Abandon() {
    if (m_sink) {
        m_sink->BeginShutdown();
    }
    if (m_core) {
        m_core->Stop();
    }
    ReleaseInstance();
}

void CVarnelApp::OnState(WindowState state) {
    if (m_environment.traceStates) {
        const std::string_view name = WindowStateName(state);
        std::printf("brasslane: state %.*s\n", static_cast<int>(name.size()), name.data());
        std::fflush(stdout);
    }
    if (state == WindowState::kHiddenInTray && m_environment.exitAfterInit) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_started).count();
        std::printf("brasslane: start-up finished after %lld us\n", static_cast<long long>(elapsed));
        std::fflush(stdout);
        QTimer::singleShot(0, m_window.get(), [this] { m_window->Model().CloseSequence(); });
    }
    if (m_observer) {
        m_observer(state);
    }
}

} // namespace brasslane::gui
