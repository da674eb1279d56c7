// The window while a long job runs on the worker: the event loop keeps running during a slow
// write of a full macro area, the busy area shows the progress, the controls that would change
// the configuration are disabled, a refused write is said plainly with Apply kept lit, a close
// waits for the write, and a second start is answered meanwhile. Also the window's plain
// dialogs: skin style, centring, the file filter and the about box in the window's menu.

#include "AppTestHarness.h"

#include "gui/CAboutDlg.h"
#include "gui/FileDialog.h"
#include "gui/SkinDialogStyle.h"
#include "gui/WindowLights.h"
#include "gui/widgets/CPngButton.h"

#include "core/app/MainWindowButtons.h"
#include "core/base/Messages.h"
#include "core/keys/MacroBlob.h"
#include "platform/linux/SingleInstance.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <QTemporaryDir>

#include <atomic>
#include <fstream>
#include <thread>

namespace brasslane::gui::test {
namespace {

constexpr ScanCode kKeyA = 0x1E;

// Keeps a picture of `widget` for a person to look at: in BRASSLANE_SHOT_DIR when set (else the
// build's artifacts folder), as the widget paints itself and, on a real X display, as the whole
// screen shows it.
void KeepPicture(QWidget& widget, const QString& name) {
    QString folder = qEnvironmentVariable("BRASSLANE_SHOT_DIR");
#if defined(BRASSLANE_ARTIFACT_DIR)
    if (folder.isEmpty()) {
        folder = QStringLiteral(BRASSLANE_ARTIFACT_DIR);
    }
#endif
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return;
    }
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        QCoreApplication::processEvents();
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     folder + QLatin1Char('/') + name + QStringLiteral("-screen.png")});
    }
}

// A pending edit of A, with the working image's macros filling the keyboard's macro area.
// A pending edit of A; with `fillMacros`, the working image's macros fill the keyboard's
// macro area.
void PendingEdit(AppHarness& h, bool fillMacros);

void PendingEditWithFullMacroArea(AppHarness& h) {
    PendingEdit(h, true);
}

void PendingEdit(AppHarness& h, bool fillMacros) {
    if (!fillMacros) {
        const std::optional<std::size_t> record = h.Model().RecordOf(KeyButtonId::Key(kKeyA));
        ASSERT_TRUE(record);
        {
            std::lock_guard lock(h.Core().Working().lock);
            KeyEntry entry = h.Core().Working().image.Entry(*record);
            entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
            h.Core().Working().image.SetEntry(*record, entry);
        }
        h.Model().SetModified(true);
        return;
    }
    // The largest macro area a keyboard can announce (255 x 128 bytes), as the keyboard and the
    // program both know it.
    auto info = h.Keyboard().Info();
    info[11] = 0xFF;
    h.Keyboard().SetInfo(info);
    h.Core().Connection().macroCapacity.store(std::size_t{0xFF} * 128);
    const std::optional<std::size_t> record = h.Model().RecordOf(KeyButtonId::Key(kKeyA));
    ASSERT_TRUE(record);
    {
        std::lock_guard lock(h.Core().Working().lock);
        auto& image = h.Core().Working().image;
        KeyEntry entry = image.Entry(*record);
        entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
        image.SetEntry(*record, entry);
        const std::size_t capacity = h.Core().Connection().macroCapacity.load();
        ASSERT_GT(capacity, 0u);
        // Each step takes 4 bytes of the area: the steps are counted, not added one by one.
        for (std::uint16_t id = 1; id <= 100 && MacroBlobSize(image.macros).withNames + 64 <= capacity; ++id) {
            MacroBlock macro;
            macro.id = id;
            macro.name = u"long";
            image.macros.push_back(macro);
            const std::size_t room = capacity - 8 - MacroBlobSize(image.macros).withNames;
            const std::size_t steps = std::min<std::size_t>(room / 4, 4000);
            for (std::size_t i = 0; i < steps; ++i) {
                image.macros.back().steps.push_back({10, 0x1E, static_cast<std::uint16_t>(i % 2)});
            }
        }
    }
    h.Model().SetModified(true);
}

TEST(MainWindowJobTest, TheWindowStaysLiveDuringASlowWriteAndShowsItsProgress) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    CVarnelDlg& window = h.Window();
    PendingEditWithFullMacroArea(h);
    h.Keyboard().SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});

    // A timer of the GUI thread counts how often the event loop gets round to it.
    std::atomic<int> ticks{0};
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
    heartbeat.start(10);

    window.Button("CONTROL2_APPLY")->click();
    ASSERT_TRUE(h.Model().JobRunning());
    // Disabled while it writes: the keys, the profile buttons, Apply, OK, the menu. Not Help,
    // Minimize, Cancel or Close.
    EXPECT_FALSE(window.KeyButton(KeyButtonId::Key(kKeyA))->isEnabled());
    EXPECT_FALSE(window.Button("FUNC_PROFILE2")->isEnabled());
    EXPECT_FALSE(window.Button("CONTROL2_APPLY")->isEnabled());
    EXPECT_FALSE(window.Button("CONTROL_OK")->isEnabled());
    EXPECT_FALSE(window.Button("CONTROL_MENU")->isEnabled());
    EXPECT_TRUE(window.Button("CONTROL_HELP")->isEnabled());
    EXPECT_TRUE(window.Button("CONTROL_CLOSE")->isEnabled());
    EXPECT_TRUE(window.Button("CONTROL_CANCEL")->isEnabled());

    // Long enough for a sanitizer build, which takes seconds to encode the macro area.
    ASSERT_TRUE(WaitFor([&] { return !window.ProgressShown().isEmpty(); }, 60000));
    const int ticksAtFirstProgress = ticks.load();
    const int frameAtFirstProgress = window.BusyFrame();
    const QString firstProgress = window.ProgressShown();
    KeepPicture(window, QStringLiteral("apply-in-progress"));
    EXPECT_TRUE(firstProgress.contains(QStringLiteral(" / "))) << firstProgress.toStdString();
    ASSERT_TRUE(WaitFor([&] { return ticks.load() >= ticksAtFirstProgress + 20; }, 10000));
    // Still writing, yet the event loop ran twenty times, the busy frames turned and the
    // figure moved on.
    EXPECT_TRUE(h.Model().JobRunning());
    EXPECT_NE(window.BusyFrame(), frameAtFirstProgress);
    EXPECT_NE(window.ProgressShown(), firstProgress);

    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }, 60000));
    EXPECT_FALSE(h.Model().IsModified());
    EXPECT_FALSE(window.Button("CONTROL2_APPLY")->isEnabled());
    EXPECT_TRUE(window.KeyButton(KeyButtonId::Key(kKeyA))->isEnabled());
    EXPECT_TRUE(window.Button("CONTROL_OK")->isEnabled());
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());
    EXPECT_TRUE(WaitFor([&] { return !window.BusyShown() && window.ProgressShown().isEmpty(); }));
}

TEST(MainWindowJobTest, ARefusedWriteShowsTheMessageAndKeepsApplyLit) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    CVarnelDlg& window = h.Window();
    PendingEdit(h, false);
    h.Keyboard().SetFaults({.refusedCommand = 8});
    MessageBox::ClearShown();

    window.Button("CONTROL2_APPLY")->click();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }, 30000));
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    const QString text = MessageBox::ShownSoFar()[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("the key map of profile"))) << text.toStdString();
    {
        // The same box as the user sees it, kept as a picture.
        const std::unique_ptr<QMessageBox> box = MessageBox::Build(&window, text, QString(), MessageButtons::kOk);
        box->show();
        WaitFor([] { return false; }, 300);
        KeepPicture(*box, QStringLiteral("failure-message"));
    }
    EXPECT_TRUE(window.Button("CONTROL2_APPLY")->isEnabled());
    EXPECT_TRUE(h.Model().IsModified());

    // OK tries again, fails again, and leaves the window open.
    window.Button("CONTROL_OK")->click();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }, 30000));
    EXPECT_EQ(MessageBox::ShownSoFar().size(), 2u);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.Button("CONTROL2_APPLY")->isEnabled());
}

TEST(MainWindowJobTest, ACloseDuringAWriteWaitsForItAndASecondStartIsAnswered) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitUntilReady());
    ASSERT_TRUE(h.WaitForState("shown"));
    CVarnelDlg& window = h.Window();
    PendingEditWithFullMacroArea(h);
    h.Keyboard().SetFaults({.latencyPerReport = std::chrono::microseconds(500)});
    window.Button("CONTROL2_APPLY")->click();
    ASSERT_TRUE(h.Model().JobRunning());

    // A second start reaches the running copy while it writes.
    std::atomic<int> answered{-1};
    std::thread second([&] {
        platform::SingleInstance next(h.Folder("run"));
        answered = next.SendToFirst(MSG_OPEN, kCodeOpen) ? 1 : 0;
    });
    EXPECT_TRUE(WaitFor([&] { return answered.load() >= 0; }, 5000));
    second.join();
    EXPECT_EQ(answered.load(), 1);

    window.Button("CONTROL_CLOSE")->click();
    EXPECT_FALSE(h.App().Finished());
    EXPECT_TRUE(h.Model().JobRunning());
    ASSERT_TRUE(WaitFor([&] { return h.App().Finished(); }, 60000));
    EXPECT_FALSE(h.Model().JobRunning());
    EXPECT_TRUE(h.HasState("closing"));
}

TEST(MainWindowJobTest, PlainDialogsTakeTheSkinStyleAndTheMenuOffersTheAboutBox) {
    BRASSLANE_REQUIRE_APP();
    // The profile filter reads once, in words.
    EXPECT_EQ(FileDialog::ProfileFilters(), QStringLiteral("Profile files (*.fwc);;All files (*)"));
    EXPECT_EQ(FileDialog::ProfileFilters().count(QStringLiteral("(*.fwc)")), 1);

    // With no window shown a box sits in the middle of the screen, in the skin's dark colours.
    const std::unique_ptr<QMessageBox> box =
        MessageBox::Build(nullptr, QStringLiteral("text"), QString(), MessageButtons::kYesNo);
    EXPECT_EQ(box->palette().color(QPalette::Window), SkinColours::Window());
    EXPECT_LT(box->palette().color(QPalette::Window).lightness(), 64);
    EXPECT_GT(box->palette().color(QPalette::WindowText).lightness(), 160);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((box->geometry().center() - screen.center()).manhattanLength(), 4);

    AppHarness h;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.WaitForState("shown"));
    CVarnelDlg& window = h.Window();
    window.move(40, 30);
    const std::unique_ptr<QMessageBox> onWindow =
        MessageBox::Build(&window, QStringLiteral("text"), QString(), MessageButtons::kOk);
    EXPECT_LE((onWindow->geometry().center() - window.frameGeometry().center()).manhattanLength(), 4);

    // The window's menu ends with the about box.
    QAction* about = window.BackupMenu()->actions().back();
    EXPECT_EQ(about->text(), QString::fromStdString(h.Core().Text().Text("MENU_22")));
    about->trigger();
    ASSERT_NE(window.AboutBox(), nullptr);
    EXPECT_TRUE(window.AboutBox()->isVisible());
    EXPECT_EQ(window.AboutBox()->palette().color(QPalette::Window), SkinColours::Window());
    EXPECT_LE((window.AboutBox()->geometry().center() - window.frameGeometry().center()).manhattanLength(), 4);
}

// The mean brightness of what the widget paints.
double Brightness(QWidget& widget) {
    const QImage image = widget.grab().toImage();
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            sum += QColor(image.pixel(x, y)).lightness();
        }
    }
    return image.isNull() ? 0 : sum / (image.width() * image.height());
}

TEST(MainWindowJobTest, TheFlipSwapsF1ToF4ForD1ToD6AndDisabledButtonsLookDisabled) {
    BRASSLANE_REQUIRE_APP();
    AppHarness h;
    ASSERT_TRUE(h.Start({"/Start"}));
    ASSERT_TRUE(h.WaitForState("hidden-in-tray"));
    CVarnelDlg& window = h.Window();
    CPngButton* f1 = window.KeyButton(KeyButtonId::Key(0x3B));
    std::vector<CPngButton*> dButtons;
    for (int d = 1; d <= 6; ++d) {
        CPngButton* button = window.Button("FUNC_D" + std::to_string(d));
        ASSERT_NE(button, nullptr) << d;
        EXPECT_FALSE(button->geometry().topLeft() == QPoint(1, 1)) << "D" << d << " is missing from the skin";
        dButtons.push_back(button);
    }
    // Flip 0: F1..F4 on, D1..D6 off.
    EXPECT_TRUE(f1->isEnabled());
    for (CPngButton* d : dButtons) {
        EXPECT_FALSE(d->isEnabled());
    }
    const double f1On = Brightness(*f1);
    const double d1Off = Brightness(*dButtons[0]);

    window.Button("FLIP_2")->click();
    EXPECT_FALSE(f1->isEnabled());
    for (CPngButton* d : dButtons) {
        EXPECT_TRUE(d->isEnabled());
    }
    // A disabled key is plainly darker than the same key enabled.
    EXPECT_LT(Brightness(*f1), f1On * 0.75);
    EXPECT_GT(Brightness(*dButtons[0]), d1Off * 1.25);

    // Apply without a pending edit looks different from Apply with one.
    CPngButton* apply = window.Button("CONTROL2_APPLY");
    ASSERT_FALSE(apply->isEnabled());
    const QImage off = apply->grab().toImage();
    h.Model().SetModified(true);
    ASSERT_TRUE(apply->isEnabled());
    EXPECT_NE(apply->grab().toImage(), off);
    EXPECT_GT(Brightness(*apply), 0);
    window.Button("FLIP_1")->click();
    EXPECT_TRUE(f1->isEnabled());
}

TEST(MainWindowJobTest, TheLockLightsFollowTheKeyboardsAndTheArrowsTurn) {
    BRASSLANE_REQUIRE_APP();
    QTemporaryDir sysfs;
    const std::filesystem::path leds = std::filesystem::path(sysfs.path().toStdString()) / "class" / "leds";
    const auto setLed = [&](const std::string& name, int brightness) {
        std::filesystem::create_directories(leds / name);
        std::ofstream(leds / name / "brightness") << brightness << "\n";
    };
    setLed("input4::capslock", 1);
    setLed("input4::numlock", 0);
    qputenv("BRASSLANE_SYSFS_ROOT", sysfs.path().toUtf8());

    AppHarness h;
    ASSERT_TRUE(h.Start({"--simulate"}));
    ASSERT_TRUE(h.WaitForState("shown"));
    CVarnelDlg& window = h.Window();
    ASSERT_NE(window.Lights(), nullptr);
    EXPECT_TRUE(window.Lights()->Running());
    EXPECT_TRUE(WaitFor([&] { return window.Button("LOCK_CAPS")->IsSelected(); }));
    EXPECT_FALSE(window.Button("LOCK_NUM")->IsSelected());
    EXPECT_FALSE(window.Button("LOCK_SCROLL")->IsSelected());

    setLed("input4::capslock", 0);
    setLed("input4::numlock", 1);
    EXPECT_TRUE(WaitFor([&] { return window.Button("LOCK_NUM")->IsSelected(); }));
    EXPECT_FALSE(window.Button("LOCK_CAPS")->IsSelected());

    // The arrows alternate their two frames, each cut from its own place of the arrow picture.
    CPngButton* left = window.Button("LEFT_ARROW");
    const QPoint first = left->FaceOrigin();
    const int frame = window.Lights()->ArrowFrame();
    window.Lights()->NextArrowFrame();
    EXPECT_NE(window.Lights()->ArrowFrame(), frame);
    EXPECT_NE(left->FaceOrigin(), first);
    window.Lights()->NextArrowFrame();
    EXPECT_EQ(left->FaceOrigin(), first);

    // Hidden, nothing runs.
    window.HideWindow();
    EXPECT_FALSE(window.Lights()->Running());
    qunsetenv("BRASSLANE_SYSFS_ROOT");
}

} // namespace
} // namespace brasslane::gui::test
