#pragma once

// The desktop app started in-process on the offscreen platform against the simulated
// keyboard, with every folder it touches (user data, settings, the single-instance lock) in a
// temporary folder of its own. Message boxes and file dialogs are answered in advance.

#include "gui/CVarnelApp.h"
#include "gui/CVarnelDlg.h"
#include "gui/MessageBox.h"

#include "core/app/AppCore.h"
#include "core/app/CommandLine.h"
#include "platform/KeyboardBackend.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace brasslane::gui::test {

// Processes events until `condition` holds or `ms` passed. True when it holds.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(5);
    }
    return true;
}

// Lets queued work run for `ms` without waiting for anything in particular.
inline void Settle(int ms = 100) {
    WaitFor([] { return false; }, ms);
}

class AppHarness {
public:
    AppHarness() {
        MessageBox::SetNeverBlock(true);
        MessageBox::ClearShown();
        std::filesystem::create_directories(Folder("run"));
        std::filesystem::permissions(Folder("run"), std::filesystem::perms::owner_all);
    }
    ~AppHarness() {
        m_app.reset();
        MessageBox::SetNeverBlock(false);
    }

    std::filesystem::path Folder(const std::string& name) const { return Root() / name; }
    std::filesystem::path Root() const { return m_dir.path().toStdString(); }
    std::filesystem::path UserFolder() const { return Folder("data") / "Brasslane"; }

    // Starts the program with `arguments` (plus --simulate unless one is given, or `simulate` is false: then it
    // opens hidraw). False when it did not get to its event loop; `exitCode` tells why.
    bool Start(std::vector<std::string> arguments = {}, bool simulate = true) {
        VarnelAppEnvironment environment;
        environment.executable = std::filesystem::path(BRASSLANE_BIN_DIR) / "brasslane";
        environment.installedDataFolder = Folder("installed");
        environment.userDataHome = Folder("data");
        environment.settingsFile = Folder("config") / "Brasslane.ini";
        environment.runtimeFolder = Folder("run");
        environment.systemLanguage = [] { return std::uint16_t{1033}; };
        environment.startCompanion = false;
        environment.deviceClock = deviceClock;
        m_app = std::make_unique<CVarnelApp>(std::move(environment));
        m_app->SetStateObserver([this](WindowState state) { m_states.emplace_back(WindowStateName(state)); });
        if (simulate && std::none_of(arguments.begin(), arguments.end(),
                                     [](const std::string& a) { return a.starts_with("--simulate"); })) {
            arguments.insert(arguments.begin(), "--simulate");
        }
        std::vector<std::string_view> views(arguments.begin(), arguments.end());
        return m_app->Start(ParseCommandLine(views), &exitCode);
    }

    // Ends the program the way its destructor does (the threads are released and joined), while
    // the test goes on; the states seen so far stay.
    void Destroy() { m_app.reset(); }

    bool HasState(std::string_view state) const {
        return std::find(m_states.begin(), m_states.end(), state) != m_states.end();
    }
    // Waits for a job of the main window (an apply, a profile switch, a settings reset) to end
    // and its outcome to be shown.
    bool WaitForJob(int ms = 10000) {
        return WaitFor([this] { return !Model().JobRunning(); }, ms);
    }
    bool WaitForState(std::string_view state, int ms = 5000) {
        return WaitFor([&] { return HasState(state); }, ms);
    }
    // Waits until start-up finished and the keyboard was read.
    bool WaitUntilReady() { return WaitForState("hidden-in-tray") && WaitForState("keyboard-connected"); }

    CVarnelApp& App() { return *m_app; }
    CVarnelDlg& Window() { return *m_app->Window(); }
    MainWindowModel& Model() { return m_app->Window()->Model(); }
    AppCore& Core() { return *m_app->Core(); }
    sim::SimKeyboard& Keyboard() { return *m_app->Keyboard()->Simulated(); }
    const std::vector<std::string>& States() const { return m_states; }

    int exitCode = -1;
    // The clock of the device threads and the sink's waits; the steady clock when null.
    WaitClock* deviceClock = nullptr;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CVarnelApp> m_app;
    std::vector<std::string> m_states;
};

// Skips the test when the build did not say where the program lives (the file is then built
// into another test program).
#if defined(BRASSLANE_BIN_DIR)
#define BRASSLANE_REQUIRE_APP() static_cast<void>(0)
#else
#define BRASSLANE_BIN_DIR ""
#define BRASSLANE_REQUIRE_APP() GTEST_SKIP() << "built without the desktop app's location"
#endif

} // namespace brasslane::gui::test
