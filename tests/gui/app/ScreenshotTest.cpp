// The real program on a real (virtual) X display: it starts against the simulated keyboard,
// opens its window when the keyboard is found, and the window is captured as a picture that
// stays in the build tree (artifacts/main-window.png) for a person to look at.

#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace brasslane::gui::test {
namespace {

#if defined(BRASSLANE_APP_PATH) && defined(BRASSLANE_ARTIFACT_DIR)
const QString kProgram = QStringLiteral(BRASSLANE_APP_PATH);
const QString kArtifacts = QStringLiteral(BRASSLANE_ARTIFACT_DIR);
#else
const QString kProgram;
const QString kArtifacts;
#endif

// Runs a short command and returns its standard output; empty when it failed.
QString RunTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A display number nobody uses.
int FreeDisplay() {
    for (int display = 91; display < 140; ++display) {
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) &&
            !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) {
            return display;
        }
    }
    return -1;
}

int DistinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7) {
            colours.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(colours.size());
}

TEST(ScreenshotTest, TheMainWindowOpensOnAnXDisplayAndIsCaptured) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (kProgram.isEmpty() || !QFile::exists(kProgram) || xvfb.isEmpty() || xdotool.isEmpty() || import.isEmpty()) {
        GTEST_SKIP() << "needs the built program, Xvfb, xdotool and ImageMagick's import";
    }
    const int display = FreeDisplay();
    ASSERT_GE(display, 0);
    const QString name = QStringLiteral(":%1").arg(display);

    QProcess server;
    server.start(xvfb, {name, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    ASSERT_TRUE(server.waitForStarted(5000));
    QDeadlineTimer up(10000);
    while (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) && !up.hasExpired()) {
        QTest::qSleep(50);
    }
    ASSERT_TRUE(QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display))) << "Xvfb did not come up";

    QTemporaryDir root;
    QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), name);
    {
        ProgramRun program(kProgram, {QStringLiteral("--simulate=") + root.filePath(QStringLiteral("keyboard.json"))},
                           environment);
        ASSERT_TRUE(program.WaitForState(QStringLiteral("shown"), 20000)) << program.Output().toStdString();

        QString window;
        QDeadlineTimer found(10000);
        while (window.isEmpty() && !found.hasExpired()) {
            window = RunTool(xdotool,
                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                              QStringLiteral("^Brasslane$")},
                             environment)
                         .section(QLatin1Char('\n'), 0, 0);
            QTest::qSleep(100);
        }
        ASSERT_FALSE(window.isEmpty()) << "the window did not appear on the display";
        // Let the window paint itself.
        QTest::qSleep(1000);

        QDir().mkpath(kArtifacts);
        const QString shot = kArtifacts + QStringLiteral("/main-window.png");
        QFile::remove(shot);
        RunTool(import, {QStringLiteral("-window"), window, shot}, environment);
        const QString screen = kArtifacts + QStringLiteral("/main-window-screen.png");
        RunTool(import, {QStringLiteral("-window"), QStringLiteral("root"), screen}, environment);

        QImage picture(shot);
        ASSERT_FALSE(picture.isNull()) << "no screenshot was taken";
        EXPECT_GE(picture.width(), 600);
        EXPECT_GE(picture.height(), 300);
        // A painted keyboard, not an empty window.
        EXPECT_GT(DistinctColours(picture), 50);

        ProgramRun kill(kProgram, {QStringLiteral("/Kill")}, environment);
        EXPECT_EQ(kill.WaitForExit(), 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
    server.terminate();
    if (!server.waitForFinished(5000)) {
        server.kill();
        server.waitForFinished(2000);
    }
}

} // namespace
} // namespace brasslane::gui::test
