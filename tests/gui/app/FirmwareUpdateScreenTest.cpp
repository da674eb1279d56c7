// The firmware update as a user goes through it, on a virtual X display: another program asks
// the running app for its update window (brasslanectl firmware-update), the user opens an
// updater through the file dialog and presses Update. The simulated keyboard receives its
// boot-mode frame and leaves, the updater runs, the app shows the keyboard gone, and when the
// keyboard comes back from its boot loader the app connects to it again.

#include "ProgramRun.h"
#include "ScreenDriver.h"

#include "core/resources/SkinLayout.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace brasslane::gui::test {
namespace {

#if defined(BRASSLANE_APP_PATH) && defined(BRASSLANE_ARTIFACT_DIR) && defined(BRASSLANE_BIN_DIR) &&                    \
    defined(BRASSLANECTL_PATH)
const QString kProgram = QStringLiteral(BRASSLANE_APP_PATH);
const QString kControl = QStringLiteral(BRASSLANECTL_PATH);
const QString kArtifacts = QStringLiteral(BRASSLANE_ARTIFACT_DIR);
const std::filesystem::path kSkins = std::filesystem::path(BRASSLANE_BIN_DIR) / "Skins";
#else
const QString kProgram;
const QString kControl;
const QString kArtifacts;
const std::filesystem::path kSkins;
#endif

// Waits until the program printed "brasslane: state <state>" `times` times in all.
bool WaitForStateCount(ProgramRun& program, const QString& state, int times, int ms = 15000) {
    const QString line = QStringLiteral("brasslane: state ") + state + QLatin1Char('\n');
    QDeadlineTimer deadline(ms);
    while (program.Output().count(line) < times) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

TEST(FirmwareUpdateScreenTest, UpdateHandsTheKeyboardToTheUpdaterAndTheAppFollowsItsReturn) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (kProgram.isEmpty() || !QFile::exists(kProgram) || !QFile::exists(kControl) || xvfb.isEmpty() ||
        xdotool.isEmpty() || import.isEmpty()) {
        GTEST_SKIP() << "needs the built programs, Xvfb, xdotool and ImageMagick's import";
    }
    QTemporaryDir root;
    QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("xcb"));
    // The simulated keyboard comes back from its boot loader 1.5 s after it went there, as the
    // real one does once its updater has written the firmware.
    environment.insert(QStringLiteral("BRASSLANE_SIM_FAULTS"), QStringLiteral("boot-return-ms=1500"));
    const Display display(xvfb, environment);
    ASSERT_TRUE(display.Up()) << "Xvfb did not come up";

    // The updater: a script that leaves a mark, so the test sees it was started.
    const std::filesystem::path updater = std::filesystem::path(root.path().toStdString()) / "updater.sh";
    const std::filesystem::path mark = std::filesystem::path(root.path().toStdString()) / "updater-ran";
    {
        std::ofstream script(updater);
        script << "#!/bin/sh\ntouch '" << mark.string() << "'\n";
    }
    std::filesystem::permissions(updater, std::filesystem::perms::owner_all);

    ProgramRun program(kProgram, {QStringLiteral("--simulate")}, display.Environment());
    ASSERT_TRUE(WaitForStateCount(program, QStringLiteral("keyboard-connected"), 1, 20000))
        << program.Output().toStdString();
    ProgramRun ask(kControl, {QStringLiteral("firmware-update")}, display.Environment());
    ASSERT_EQ(ask.WaitForExit(), 0);
    ASSERT_TRUE(program.WaitForState(QStringLiteral("update-dialog")));
    const QString dialog = FindWindow(display, xdotool, QStringLiteral("^Firmware update$"));
    ASSERT_FALSE(dialog.isEmpty()) << "the update window did not appear";
    const QPoint origin = WindowOrigin(display, xdotool, dialog);
    const SkinLayout layout(kSkins / "UpdateDlg.ini");

    // Open: the file dialog takes the typed path of the updater.
    Click(display, xdotool, origin, layout, "CONTROL_OPENButton");
    QTest::qWait(1500);
    display.Tool(xdotool, {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"),
                           QString::fromStdString(updater.string())});
    display.Tool(xdotool, {QStringLiteral("key"), QStringLiteral("Return")});
    QTest::qWait(800);
    QDir().mkpath(kArtifacts);
    display.Tool(import, {QStringLiteral("-window"), dialog, kArtifacts + QStringLiteral("/update-dialog.png")});

    Click(display, xdotool, origin, layout, "CONTROL_UPButton");
    EXPECT_TRUE(WaitForStateCount(program, QStringLiteral("keyboard-lost"), 1)) << program.Output().toStdString();
    QDeadlineTimer ran(10000);
    while (!std::filesystem::exists(mark) && !ran.hasExpired()) {
        QTest::qWait(50);
    }
    EXPECT_TRUE(std::filesystem::exists(mark)) << "the updater was not started";
    EXPECT_TRUE(WaitForStateCount(program, QStringLiteral("keyboard-connected"), 2))
        << "the keyboard's return was not followed\n"
        << program.Output().toStdString();

    ProgramRun kill(kProgram, {QStringLiteral("/Kill")}, display.Environment());
    EXPECT_EQ(kill.WaitForExit(), 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

} // namespace
} // namespace brasslane::gui::test
