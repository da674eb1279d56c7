// The real program on a virtual X display driven like a user with xdotool: click the A key,
// press B on the keyboard, OK, Apply; then the simulated keyboard's memory (its state file)
// holds A acting as B. The open dialog is kept as a picture for a person to look at
// (artifacts/key-dialog.png in the build tree).

#include "ProgramRun.h"

#include "core/keys/KeyAction.h"
#include "core/resources/SkinLayout.h"
#include "platform/sim/SimKeyboard.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace brasslane::gui::test {
namespace {

#if defined(BRASSLANE_APP_PATH) && defined(BRASSLANE_ARTIFACT_DIR) && defined(BRASSLANE_BIN_DIR)
const QString kProgram = QStringLiteral(BRASSLANE_APP_PATH);
const QString kArtifacts = QStringLiteral(BRASSLANE_ARTIFACT_DIR);
const std::filesystem::path kSkins = std::filesystem::path(BRASSLANE_BIN_DIR) / "Skins";
#else
const QString kProgram;
const QString kArtifacts;
const std::filesystem::path kSkins;
#endif

class Display {
public:
    Display(const QString& xvfb, const QProcessEnvironment& base) : m_environment(base) {
        for (int display = 141; display < 190 && m_name.isEmpty(); ++display) {
            if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)) &&
                !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) {
                m_number = display;
                m_name = QStringLiteral(":%1").arg(display);
            }
        }
        if (m_name.isEmpty()) {
            return;
        }
        m_server.start(xvfb, {m_name, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x800x24"),
                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QDeadlineTimer up(10000);
        while (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(m_number)) && !up.hasExpired()) {
            QTest::qSleep(50);
        }
        m_environment.insert(QStringLiteral("DISPLAY"), m_name);
    }
    ~Display() {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(2000);
        }
    }
    bool Up() const { return !m_name.isEmpty() && QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(m_number)); }
    const QProcessEnvironment& Environment() const { return m_environment; }

    // Runs a tool on the display; its standard output, or nothing when it failed.
    QString Tool(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(program, arguments);
        if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            return {};
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

private:
    QProcessEnvironment m_environment;
    QProcess m_server;
    QString m_name;
    int m_number = -1;
};

// The first visible window whose name matches `pattern`, waiting for it to appear.
QString FindWindow(const Display& display, const QString& xdotool, const QString& pattern) {
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        const QString found = display
                                  .Tool(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), pattern})
                                  .section(QLatin1Char('\n'), 0, 0);
        if (!found.isEmpty()) {
            return found;
        }
        QTest::qSleep(100);
    }
    return {};
}

QPoint WindowOrigin(const Display& display, const QString& xdotool, const QString& window) {
    const QStringList lines =
        display.Tool(xdotool, {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
            .split(QLatin1Char('\n'));
    QPoint origin(-1, -1);
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("X="))) {
            origin.setX(line.mid(2).toInt());
        } else if (line.startsWith(QLatin1String("Y="))) {
            origin.setY(line.mid(2).toInt());
        }
    }
    return origin;
}

// Clicks the middle of the control `key` of a window laid out by `layout`.
void Click(const Display& display, const QString& xdotool, const QPoint& origin, const SkinLayout& layout,
           std::string_view key) {
    const SkinRect rect = layout.Rect(key);
    display.Tool(xdotool,
                 {QStringLiteral("mousemove"), QString::number(origin.x() + rect.x + rect.w / 2),
                  QString::number(origin.y() + rect.y + rect.h / 2), QStringLiteral("click"), QStringLiteral("1")});
}

std::size_t PositionOf(ScanCode code) {
    const auto defaults = BuiltInDefaultMatrix();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (DecodePosition(defaults[i]) == code) {
            return i;
        }
    }
    return defaults.size();
}

TEST(KeyDialogScreenTest, ClickAKeyPressAnotherOkApplyReachesTheKeyboard) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (kProgram.isEmpty() || !QFile::exists(kProgram) || xvfb.isEmpty() || xdotool.isEmpty() || import.isEmpty()) {
        GTEST_SKIP() << "needs the built program, Xvfb, xdotool and ImageMagick's import";
    }
    QTemporaryDir root;
    const Display display(xvfb, ProgramEnvironment(root.path().toStdString(), QStringLiteral("xcb")));
    ASSERT_TRUE(display.Up()) << "Xvfb did not come up";
    const QString state = root.filePath(QStringLiteral("keyboard.json"));
    const SkinLayout main(kSkins / "Main.ini");
    const SkinLayout composite(kSkins / "Composite.ini");
    {
        ProgramRun program(kProgram, {QStringLiteral("--simulate=") + state}, display.Environment());
        ASSERT_TRUE(program.WaitForState(QStringLiteral("shown"), 20000)) << program.Output().toStdString();
        const QString window = FindWindow(display, xdotool, QStringLiteral("^Brasslane$"));
        ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
        const QPoint mainOrigin = WindowOrigin(display, xdotool, window);

        Click(display, xdotool, mainOrigin, main, "KEY_01E");
        const QString dialog = FindWindow(display, xdotool, QStringLiteral("^Assign key$"));
        ASSERT_FALSE(dialog.isEmpty()) << "the key dialog did not open";
        const QPoint dialogOrigin = WindowOrigin(display, xdotool, dialog);
        // Beside the A key, right of it, and on the screen: the key sits too low for the dialog
        // to fit below it and too high to fit above.
        const SkinRect a = main.Rect("KEY_01E");
        EXPECT_EQ(dialogOrigin.x(), mainOrigin.x() + a.x + a.w);
        EXPECT_GE(dialogOrigin.y(), 0);
        EXPECT_LE(dialogOrigin.y() + 446, 800);

        display.Tool(xdotool, {QStringLiteral("key"), QStringLiteral("b")});
        QTest::qSleep(500);
        QDir().mkpath(kArtifacts);
        const QString shot = kArtifacts + QStringLiteral("/key-dialog.png");
        QFile::remove(shot);
        display.Tool(import, {QStringLiteral("-window"), dialog, shot});
        display.Tool(import, {QStringLiteral("-window"), QStringLiteral("root"),
                              kArtifacts + QStringLiteral("/key-dialog-screen.png")});
        const QImage picture(shot);
        EXPECT_EQ(picture.size(), QSize(560, 446));

        Click(display, xdotool, dialogOrigin, composite, "CONTROL_OK");
        QDeadlineTimer closed(10000);
        while (!display
                    .Tool(xdotool, {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                    QStringLiteral("^Assign key$")})
                    .isEmpty() &&
               !closed.hasExpired()) {
            QTest::qSleep(100);
        }
        Click(display, xdotool, mainOrigin, main, "CONTROL2_APPLY");
        QTest::qSleep(800);

        ProgramRun kill(kProgram, {QStringLiteral("/Kill")}, display.Environment());
        EXPECT_EQ(kill.WaitForExit(), 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
    sim::SimKeyboard keyboard;
    std::string error;
    ASSERT_TRUE(keyboard.LoadStateFile(state.toStdString(), &error)) << error;
    const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
    EXPECT_EQ(KeyAction::At(std::span<const std::uint8_t>(maps).subspan(0, keyboard.BlockSize()), PositionOf(0x1E)),
              (KeyAction{0x02, 0x02, 0x05}));
}

} // namespace
} // namespace brasslane::gui::test
