// The built program as a user starts it: a second copy, "/Kill", a damaged skin folder, and
// brasslanectl asking it for the firmware update window.

#include "AppTestHarness.h"
#include "ProgramRun.h"

#include <QTemporaryDir>

#include <fstream>

namespace brasslane::gui::test {
namespace {

#if defined(BRASSLANE_APP_PATH)
const QString kProgram = QStringLiteral(BRASSLANE_APP_PATH);
#else
const QString kProgram;
#endif

#define BRASSLANE_REQUIRE_PROGRAM()                                                                                    \
    if (kProgram.isEmpty() || !QFile::exists(kProgram)) {                                                              \
        GTEST_SKIP() << "the built program is not there";                                                              \
    }

TEST(ProgramProcessTest, ASecondStartOpensTheRunningCopyAndKillClosesIt) {
    BRASSLANE_REQUIRE_PROGRAM();
    QTemporaryDir root;
    const QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("offscreen"));
    const QString state = root.filePath(QStringLiteral("keyboard.json"));

    ProgramRun first(kProgram, {QStringLiteral("--simulate=") + state, QStringLiteral("/Start")}, environment);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.WaitForState(QStringLiteral("hidden-in-tray")));
    ASSERT_TRUE(first.WaitForState(QStringLiteral("keyboard-connected")));
    EXPECT_FALSE(first.Output().contains(QStringLiteral("state shown")));

    ProgramRun second(kProgram, {}, environment);
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_TRUE(first.WaitForState(QStringLiteral("shown")));
    // The second copy never got as far as a window of its own.
    EXPECT_FALSE(second.Output().contains(QStringLiteral("hidden-in-tray")));

    ProgramRun kill(kProgram, {QStringLiteral("/kill")}, environment);
    EXPECT_EQ(kill.WaitForExit(), 0);
    EXPECT_TRUE(first.WaitForState(QStringLiteral("closing")));
    EXPECT_EQ(first.WaitForExit(), 0);
    EXPECT_TRUE(QFile::exists(state));

    // "/Kill" and "/Start" together with no copy running start the program, silently.
    ProgramRun alone(kProgram, {QStringLiteral("--simulate"), QStringLiteral("/KILL"), QStringLiteral("/start")},
                     environment);
    ASSERT_TRUE(alone.WaitForState(QStringLiteral("keyboard-connected")));
    ASSERT_TRUE(alone.WaitForState(QStringLiteral("hidden-in-tray")));
    EXPECT_FALSE(alone.Output().contains(QStringLiteral("state shown")));
    ProgramRun stop(kProgram, {QStringLiteral("/Kill")}, environment);
    EXPECT_EQ(stop.WaitForExit(), 0);
    EXPECT_EQ(alone.WaitForExit(), 0);
}

// A copy of the build's bin folder: the program finds its skin and its companion beside itself.
std::filesystem::path CopyProgram(const QTemporaryDir& root) {
    const std::filesystem::path folder = std::filesystem::path(root.path().toStdString()) / "program";
    const std::filesystem::path built = std::filesystem::path(kProgram.toStdString()).parent_path();
    std::filesystem::create_directories(folder);
    std::filesystem::copy(built / "Skins", folder / "Skins", std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(built / "Lang0409.ini", folder / "Lang0409.ini");
    std::filesystem::copy_file(kProgram.toStdString(), folder / "brasslane");
    return folder;
}

QString ProgramIn(const std::filesystem::path& folder) {
    return QString::fromStdString((folder / "brasslane").string());
}

TEST(ProgramProcessTest, AMissingSkinPictureEndsTheProgramWithExitCodeZero) {
    BRASSLANE_REQUIRE_PROGRAM();
    QTemporaryDir root;
    const std::filesystem::path folder = CopyProgram(root);
    std::filesystem::remove(folder / "Skins" / "main_disable.jpg");

    const QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("offscreen"));
    ProgramRun run(ProgramIn(folder), {QStringLiteral("--simulate")}, environment);
    EXPECT_EQ(run.WaitForExit(), 0);
    EXPECT_FALSE(run.Output().contains(QStringLiteral("hidden-in-tray")));

    // With the picture back the same copy starts.
    std::filesystem::copy_file(std::filesystem::path(kProgram.toStdString()).parent_path() / "Skins" /
                                   "main_disable.jpg",
                               folder / "Skins" / "main_disable.jpg");
    ProgramRun fixed(ProgramIn(folder), {QStringLiteral("--simulate"), QStringLiteral("/Start")}, environment);
    EXPECT_TRUE(fixed.WaitForState(QStringLiteral("hidden-in-tray")));
    ProgramRun kill(ProgramIn(folder), {QStringLiteral("/Kill")}, environment);
    EXPECT_EQ(kill.WaitForExit(), 0);
    EXPECT_EQ(fixed.WaitForExit(), 0);
}

TEST(ProgramProcessTest, TheCompanionBesideTheProgramIsStartedAndItsFailureIgnored) {
    BRASSLANE_REQUIRE_PROGRAM();
    QTemporaryDir root;
    const std::filesystem::path folder = CopyProgram(root);
    const QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("offscreen"));
    const std::filesystem::path marker = std::filesystem::path(root.path().toStdString()) / "companion-ran";
    {
        std::ofstream script(folder / "keywarden");
        script << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
    }
    std::filesystem::permissions(folder / "keywarden", std::filesystem::perms::owner_all);

    ProgramRun run(ProgramIn(folder), {QStringLiteral("--simulate"), QStringLiteral("/Start")}, environment);
    EXPECT_TRUE(run.WaitForState(QStringLiteral("hidden-in-tray")));
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(marker); }));
    ProgramRun kill(ProgramIn(folder), {QStringLiteral("/Kill")}, environment);
    EXPECT_EQ(kill.WaitForExit(), 0);
    EXPECT_EQ(run.WaitForExit(), 0);

    // A companion that cannot be run changes nothing.
    std::filesystem::remove(marker);
    std::filesystem::permissions(folder / "keywarden", std::filesystem::perms::owner_read);
    ProgramRun again(ProgramIn(folder), {QStringLiteral("--simulate"), QStringLiteral("/Start")}, environment);
    EXPECT_TRUE(again.WaitForState(QStringLiteral("hidden-in-tray")));
    EXPECT_FALSE(std::filesystem::exists(marker));
    ProgramRun stop(ProgramIn(folder), {QStringLiteral("/Kill")}, environment);
    EXPECT_EQ(stop.WaitForExit(), 0);
    EXPECT_EQ(again.WaitForExit(), 0);
}

#if defined(BRASSLANECTL_PATH)
TEST(ProgramProcessTest, BrasslanectlOpensTheFirmwareUpdateWindowOfTheRunningCopy) {
    BRASSLANE_REQUIRE_PROGRAM();
    QTemporaryDir root;
    const QProcessEnvironment environment = ProgramEnvironment(root.path().toStdString(), QStringLiteral("offscreen"));
    const QString ctl = QStringLiteral(BRASSLANECTL_PATH);

    // Nothing runs yet.
    ProgramRun early(ctl, {QStringLiteral("firmware-update")}, environment);
    EXPECT_EQ(early.WaitForExit(), 1);

    ProgramRun app(kProgram, {QStringLiteral("--simulate"), QStringLiteral("/Start")}, environment);
    ASSERT_TRUE(app.WaitForState(QStringLiteral("keyboard-connected")));
    ProgramRun ask(ctl, {QStringLiteral("firmware-update")}, environment);
    EXPECT_EQ(ask.WaitForExit(), 0);
    EXPECT_TRUE(app.WaitForState(QStringLiteral("update-dialog")));

    ProgramRun kill(kProgram, {QStringLiteral("/Kill")}, environment);
    EXPECT_EQ(kill.WaitForExit(), 0);
    EXPECT_EQ(app.WaitForExit(), 0);
}
#endif

} // namespace
} // namespace brasslane::gui::test
