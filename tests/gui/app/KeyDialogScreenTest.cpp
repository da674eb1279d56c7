// The real program on a virtual X display driven like a user with xdotool: click the A key,
// press B on the keyboard, OK, Apply; then the simulated keyboard's memory (its state file)
// holds A acting as B. The open dialog is kept as a picture for a person to look at
// (artifacts/key-dialog.png in the build tree).

#include "ProgramRun.h"
#include "ScreenDriver.h"

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
