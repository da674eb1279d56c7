// The desktop app: starts hidden behind its tray icon, shows the keyboard's settings when the
// keyboard is found or the user asks, and ends only through its close sequence.

#include "gui/CVarnelApp.h"

#include "core/app/CommandLine.h"
#include "platform/DurableSync.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    // Help and version need no display: answered before the toolkit starts.
    if (const brasslane::CommandLine early = brasslane::ParseCommandLine(argc, argv); early.help || early.version) {
        const std::string text = early.help ? brasslane::CommandLineHelp() : brasslane::VersionText(BRASSLANE_VERSION);
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    brasslane::platform::InstallDurableSync();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brasslane"));
    // The window spends most of its life hidden; only the close sequence ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // QApplication has taken its own options out of argv.
    const brasslane::CommandLine commandLine = brasslane::ParseCommandLine(argc, argv);
    brasslane::gui::CVarnelApp app(brasslane::gui::VarnelAppEnvironment::FromSystem());
    int exitCode = 0;
    if (!app.Start(commandLine, &exitCode)) {
        return exitCode;
    }
    return app.Exec();
}
