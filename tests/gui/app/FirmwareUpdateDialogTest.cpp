// The firmware update dialog driven in-process against the simulated keyboard: opened by the
// outside command, its chosen path, the boot-mode frame and the updater, the backup; and the
// whole hand-over with brasslanectl asking the running app and a real updater script.

#include "AppTestHarness.h"

#include "gui/CVarnel_DlgUpdate.h"
#include "gui/CTrayIcon.h"
#include "gui/FileDialog.h"

#include "core/app/FirmwareUpdateModel.h"
#include "core/base/Messages.h"

#include <QComboBox>
#include <QProcess>

#include <fstream>

namespace brasslane::gui::test {
namespace {

// A shell script at `path` running `body`, executable unless told otherwise.
std::filesystem::path Script(const std::filesystem::path& path, const std::string& body, bool executable = true) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    std::filesystem::permissions(path, executable
                                           ? std::filesystem::perms::owner_all
                                           : std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return path;
}

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// The boot-mode frames the keyboard received.
std::vector<std::array<std::uint8_t, 64>> BootFrames(const sim::SimKeyboard& keyboard) {
    std::vector<std::array<std::uint8_t, 64>> frames;
    for (const auto& frame : keyboard.RequestLog()) {
        if (frame[3] == 0xEE) {
            frames.push_back(frame);
        }
    }
    return frames;
}

QString LastMessage() {
    return MessageBox::ShownSoFar().empty() ? QString() : MessageBox::ShownSoFar().back().text;
}

CVarnel_DlgUpdate* OpenDialog(AppHarness& h) {
    EXPECT_TRUE(h.Window().HandleCommand(kCommandFirmwareUpdate));
    CVarnel_DlgUpdate* dialog = h.Window().UpdateDialog();
    EXPECT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog != nullptr && dialog->isVisible());
    return dialog;
}

TEST(FirmwareUpdateDialogTest, TheChosenPathOutlivesTheDialogUntilCancelled) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    EXPECT_FALSE(h.Window().HandleCommand(kCommandTrayExit));
    EXPECT_EQ(h.Window().UpdateDialog(), nullptr);
    CVarnel_DlgUpdate* dialog = OpenDialog(h);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(h.HasState("update-dialog"));
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog->Button("CONTROL_CUPButton")->text(), QStringLiteral("取消更新"));
    ASSERT_EQ(dialog->findChildren<QComboBox*>().size(), 1);
    EXPECT_TRUE(dialog->findChildren<QComboBox*>()[0]->isHidden());

    const std::filesystem::path updater = Script(h.Root() / "updater", "true");
    FileDialog::SetNextFileName(Q(updater));
    dialog->Button("CONTROL_OPENButton")->click();
    EXPECT_EQ(dialog->ShownPath(), Q(updater));
    // Closed another way (Escape) and opened again: still chosen.
    dialog->reject();
    EXPECT_FALSE(dialog->isVisible());
    OpenDialog(h);
    EXPECT_EQ(dialog->ShownPath(), Q(updater));

    // Open, then cancel the file dialog: no path at all.
    FileDialog::SetNextFileName(QString());
    dialog->Button("CONTROL_OPENButton")->click();
    EXPECT_TRUE(dialog->ShownPath().isEmpty());
    EXPECT_TRUE(h.Window().FirmwareUpdate().SelectedPath().empty());

    // Cancel update forgets the path and closes.
    FileDialog::SetNextFileName(Q(updater));
    dialog->Button("CONTROL_OPENButton")->click();
    dialog->Button("CONTROL_CUPButton")->click();
    EXPECT_FALSE(dialog->isVisible());
    OpenDialog(h);
    EXPECT_TRUE(dialog->ShownPath().isEmpty());
    EXPECT_TRUE(BootFrames(h.Keyboard()).empty());
}

TEST(FirmwareUpdateDialogTest, UpdateWithoutAKeyboardSaysSoAndStartsNothing) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    const std::filesystem::path marker = h.Root() / "updater-ran";
    const std::filesystem::path updater = Script(h.Root() / "updater", "touch '" + marker.string() + "'");
    h.Keyboard().Unplug();
    ASSERT_TRUE(h.WaitForState("keyboard-lost"));

    CVarnel_DlgUpdate* dialog = OpenDialog(h);
    FileDialog::SetNextFileName(Q(updater));
    dialog->Button("CONTROL_OPENButton")->click();
    MessageBox::ClearShown();
    dialog->Button("CONTROL_UPButton")->click();
    EXPECT_EQ(LastMessage(), QString::fromUtf8(FirmwareUpdateModel::kNoBootModeText));
    EXPECT_EQ(MessageBox::ShownSoFar().back().caption, QStringLiteral("Brasslane"));
    Settle(300);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(dialog->isVisible());
    // The updater stays chosen for a try with the keyboard back.
    EXPECT_EQ(dialog->ShownPath(), Q(updater));
}

TEST(FirmwareUpdateDialogTest, TheBootFrameGoesOncePerPressAndOnlyForARunnableFile) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CVarnel_DlgUpdate* dialog = OpenDialog(h);
    h.Keyboard().ClearRequestLog();
    const QString chooseFile = QString::fromUtf8(FirmwareUpdateModel::kChooseFileText);

    // Nothing chosen, a file that is gone, a file that is no program: the keyboard hears nothing.
    MessageBox::ClearShown();
    dialog->Button("CONTROL_UPButton")->click();
    EXPECT_EQ(LastMessage(), chooseFile);
    for (const std::filesystem::path& file :
         {h.Root() / "gone", Script(h.Root() / "notes.txt", "echo", /*executable=*/false)}) {
        FileDialog::SetNextFileName(Q(file));
        dialog->Button("CONTROL_OPENButton")->click();
        MessageBox::ClearShown();
        dialog->Button("CONTROL_UPButton")->click();
        EXPECT_EQ(LastMessage(), chooseFile) << file;
    }
    EXPECT_TRUE(BootFrames(h.Keyboard()).empty());

    // A program that cannot be started: one boot frame, then the launch message, and the
    // path is gone.
    const std::filesystem::path broken = Script(h.Root() / "broken-updater", "");
    std::ofstream(broken) << "#!/nonexistent/interpreter\n";
    FileDialog::SetNextFileName(Q(broken));
    dialog->Button("CONTROL_OPENButton")->click();
    MessageBox::ClearShown();
    dialog->Button("CONTROL_UPButton")->click();
    EXPECT_EQ(LastMessage(), QString::fromUtf8(FirmwareUpdateModel::kCannotRunText));
    const auto frames = BootFrames(h.Keyboard());
    ASSERT_EQ(frames.size(), 1u);
    std::array<std::uint8_t, 64> expected{};
    expected[0] = 4;
    expected[3] = 0xEE;
    expected[4] = 0xEE;
    EXPECT_EQ(frames[0], expected);
    EXPECT_TRUE(dialog->ShownPath().isEmpty());
    EXPECT_TRUE(dialog->isVisible());

    // Pressed again after the failed launch: the choice is gone, so nothing more is sent.
    MessageBox::ClearShown();
    dialog->Button("CONTROL_UPButton")->click();
    EXPECT_EQ(LastMessage(), chooseFile);
    EXPECT_EQ(BootFrames(h.Keyboard()).size(), 1u);
}

TEST(FirmwareUpdateDialogTest, BackUpWritesTheWorkingImageAndSaysWhetherItWorked) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    CVarnel_DlgUpdate* dialog = OpenDialog(h);

    const std::filesystem::path backup = h.Root() / "before-update.fwc";
    FileDialog::SetNextFileName(Q(backup));
    MessageBox::ClearShown();
    dialog->Button("CONTROL_BACKUPButton")->click();
    EXPECT_EQ(LastMessage(), QString::fromUtf8(FirmwareUpdateModel::kBackupDoneText));
    EXPECT_EQ(h.Core().Profiles().ValidateProfileFile(backup), ProfileFileCheck::kValid);

    FileDialog::SetNextFileName(Q(h.Root() / "missing" / "x.fwc"));
    dialog->Button("CONTROL_BACKUPButton")->click();
    EXPECT_EQ(LastMessage(), QString::fromUtf8(FirmwareUpdateModel::kBackupFailedText));

    // A cancelled file dialog writes and says nothing.
    MessageBox::ClearShown();
    FileDialog::SetNextFileName(QString());
    dialog->Button("CONTROL_BACKUPButton")->click();
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());
}

#if defined(BRASSLANECTL_PATH)
// Runs brasslanectl with the app's runtime folder while the app's event loop keeps running, so
// that the app can answer it. Returns its exit code (-1 when it did not end).
int RunCtl(AppHarness& h, const QStringList& arguments, QString* errors) {
    QProcess ctl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Q(h.Folder("run")));
    ctl.setProcessEnvironment(environment);
    ctl.start(QStringLiteral(BRASSLANECTL_PATH), arguments);
    if (!ctl.waitForStarted(5000) || !WaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 10000)) {
        return -1;
    }
    *errors = QString::fromUtf8(ctl.readAllStandardError());
    return ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1;
}

TEST(FirmwareUpdateDialogTest, BrasslanectlOpensTheDialogAndTheUpdaterTakesTheKeyboardOver) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitUntilReady());
    const std::size_t connections = std::count(h.States().begin(), h.States().end(), std::string("keyboard-connected"));

    QString errors;
    ASSERT_EQ(RunCtl(h, {QStringLiteral("firmware-update")}, &errors), 0) << errors.toStdString();
    ASSERT_TRUE(h.WaitForState("update-dialog"));
    CVarnel_DlgUpdate* dialog = h.Window().UpdateDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());

    // The updater notes that it ran; the keyboard waits for it in boot mode.
    const std::filesystem::path marker = h.Root() / "updater-ran";
    const std::filesystem::path updater = Script(h.Root() / "updater", "echo ran > '" + marker.string() + "'");
    FileDialog::SetNextFileName(Q(updater));
    dialog->Button("CONTROL_OPENButton")->click();
    MessageBox::ClearShown();
    dialog->Button("CONTROL_UPButton")->click();
    EXPECT_TRUE(MessageBox::ShownSoFar().empty()) << LastMessage().toStdString();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(marker); }));
    EXPECT_EQ(BootFrames(h.Keyboard()).size(), 1u);
    EXPECT_FALSE(h.Keyboard().IsPlugged());

    // The app sees the keyboard go, and come back once the updater is done.
    ASSERT_TRUE(h.WaitForState("keyboard-lost"));
    EXPECT_TRUE(WaitFor([&] { return h.Window().TrayIcon()->IconResource() == kIconNoKeyboard; }));
    h.Keyboard().Plug();
    ASSERT_TRUE(WaitFor([&] {
        return std::count(h.States().begin(), h.States().end(), std::string("keyboard-connected")) >
               static_cast<long>(connections);
    }));
    EXPECT_TRUE(WaitFor([&] { return h.Window().TrayIcon()->IconResource() == kIconConnected; }));
    EXPECT_TRUE(h.Window().FirmwareUpdate().SelectedPath().empty());

    // With the app gone brasslanectl says that nothing runs.
    h.Model().CloseSequence();
    ASSERT_TRUE(h.App().Finished());
    EXPECT_EQ(RunCtl(h, {QStringLiteral("firmware-update")}, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("not running"))) << errors.toStdString();
}
#endif

} // namespace
} // namespace brasslane::gui::test
