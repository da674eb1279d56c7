// The key assignment dialog driven in-process against the simulated keyboard: a key click
// opens it beside the key, keys are caught from key events carrying native scan codes, a macro
// is recorded, and OK plus the main window's Apply put the result into the keyboard's memory.

#include "AppTestHarness.h"

#include "gui/MacroPageView.h"
#include "gui/Varnel_DlgComposite.h"
#include "gui/widgets/CPngButton.h"

#include "core/app/MainWindowButtons.h"
#include "core/base/Messages.h"
#include "core/keys/KeyAction.h"
#include "core/keys/MacroBlob.h"
#include "platform/linux/EvdevKeys.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QTableWidget>

#include <fstream>

namespace brasslane::gui::test {
namespace {

constexpr ScanCode kKeyA = 0x1E;
constexpr ScanCode kKeyB = 0x30;
constexpr ScanCode kKeyF1 = 0x3B;

QString Text(AppHarness& h, std::string_view key) {
    return QString::fromStdString(h.Core().Text().Text(key));
}

// A key event as the window system delivers it: the native scan code is the evdev code + 8.
void SendKey(QWidget* target, ScanCode code, bool release, bool autoRepeat = false) {
    const std::optional<std::uint16_t> evdev = platform::ScanCodeToEvdev(code);
    ASSERT_TRUE(evdev) << code;
    QKeyEvent event(release ? QEvent::KeyRelease : QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                    static_cast<quint32>(*evdev + 8), 0, 0, QString(), autoRepeat);
    QApplication::sendEvent(target, &event);
}

void TypeKey(QWidget* target, ScanCode code) {
    SendKey(target, code, false);
    SendKey(target, code, true);
}

// The position of a key in the keyboard's key map.
std::size_t PositionOf(ScanCode code) {
    const auto defaults = BuiltInDefaultMatrix();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (DecodePosition(defaults[i]) == code) {
            return i;
        }
    }
    return defaults.size();
}

KeyAction ActiveKeyAction(AppHarness& h, ScanCode code) {
    sim::SimKeyboard& keyboard = h.Keyboard();
    const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
    const std::size_t block = keyboard.BlockSize() * keyboard.ActiveProfile();
    return KeyAction::At(std::span<const std::uint8_t>(maps).subspan(block, keyboard.BlockSize()), PositionOf(code));
}

Varnel_DlgComposite* OpenFor(AppHarness& h, KeyButtonId button) {
    h.Window().KeyButton(button)->click();
    Varnel_DlgComposite* dialog = h.Window().CompositeDialog();
    EXPECT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog == nullptr || dialog->isVisible());
    return dialog;
}

class KeyDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        BRASSLANE_REQUIRE_APP();
        ASSERT_TRUE(h.Start());
        ASSERT_TRUE(h.WaitUntilReady());
        ASSERT_TRUE(h.WaitForState("shown"));
    }
    AppHarness h;
};

TEST_F(KeyDialogTest, AKeyClickOpensTheDialogBesideTheKeyAndBlocksProfileSwitches) {
    CPngButton* key = h.Window().KeyButton(KeyButtonId::Key(kKeyA));
    // The window placed so that the dialog fits right of and below the key on the (small)
    // offscreen screen.
    const QRect screen = h.Window().screen()->availableGeometry();
    const QPoint keyCorner = key->mapTo(&h.Window(), QPoint(key->width(), key->height()));
    h.Window().move(screen.topLeft() + QPoint(100, 50) - keyCorner);
    ASSERT_TRUE(WaitFor(
        [&] { return key->mapToGlobal(QPoint(key->width(), key->height())) == screen.topLeft() + QPoint(100, 50); }));
    Varnel_DlgComposite* dialog = OpenFor(h, KeyButtonId::Key(kKeyA));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(h.Window().IsKeyDialogOpen());
    EXPECT_TRUE(key->isDown());
    EXPECT_EQ(dialog->Model().Slot(), ToScanIndex(kKeyA));
    EXPECT_EQ(dialog->windowTitle(), Text(h, "KEY_SETTING_TISHI"));

    // Beside the key: at its lower right corner.
    const QRect button(key->mapToGlobal(QPoint(0, 0)), key->size());
    ASSERT_LE(button.right() + 1 + dialog->width(), screen.right() + 1);
    ASSERT_LE(button.bottom() + 1 + dialog->height(), screen.bottom() + 1);
    EXPECT_EQ(dialog->frameGeometry().topLeft(), button.bottomRight() + QPoint(1, 1));

    // Every control of the layout file is where the skin puts it.
    const SkinLayout layout(h.Core().Paths().compositeSkin);
    for (const char* name : {"CONTROL_OK", "CONTROL_CANCEL", "CONTROL2_APPLY", "FUNC_KEY_INPUT", "FUNC_MACRO_LIST2",
                             "FUNC_MEDIA_SELECT", "CONTROL_MASK"}) {
        const SkinRect rect = layout.Rect(name);
        ASSERT_NE(dialog->Control(name), nullptr) << name;
        EXPECT_EQ(dialog->Control(name)->geometry(), QRect(rect.x, rect.y, rect.w, rect.h)) << name;
    }

    MessageBox::ClearShown();
    EXPECT_FALSE(h.Model().SwitchProfile(1));
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_EQ(MessageBox::ShownSoFar()[0].text, Text(h, "PROFILE_SEELCT_PROMPT2"));
    EXPECT_EQ(h.Core().State().activeProfile.load(), 0);

    dialog->reject();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(h.Window().IsKeyDialogOpen());
    EXPECT_FALSE(key->isDown());
    EXPECT_FALSE(h.Model().IsModified());
}

TEST_F(KeyDialogTest, PressingBThenOkAssignsItAndApplyWritesTheKeyboard) {
    Varnel_DlgComposite* dialog = OpenFor(h, KeyButtonId::Key(kKeyA));
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->Button("CONTROL2_APPLY")->isEnabled());

    // A media key passes by; B is caught.
    TypeKey(dialog, 0x120);
    EXPECT_EQ(dialog->Model().CapturedKey(), 0);
    TypeKey(dialog, kKeyB);
    EXPECT_EQ(static_cast<QLineEdit*>(dialog->Control("FUNC_KEY_INPUT"))->text(), QStringLiteral("B"));
    EXPECT_TRUE(dialog->Button("CONTROL2_APPLY")->isEnabled());

    dialog->Button("CONTROL_OK")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(h.Model().IsModified());
    CPngButton* a = h.Window().KeyButton(KeyButtonId::Key(kKeyA));
    EXPECT_TRUE(a->IsSelected());
    EXPECT_TRUE(a->toolTip().contains(Text(h, "KEY_PROMPT_SINGLE") + QStringLiteral("B)")))
        << a->toolTip().toStdString();

    h.Window().Button("CONTROL2_APPLY")->click();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
    EXPECT_FALSE(h.Model().IsModified());
    EXPECT_EQ(ActiveKeyAction(h, kKeyA), (KeyAction{0x02, 0x02, 0x05}));
}

TEST_F(KeyDialogTest, AMacroRecordedInTheDialogReachesTheKeyboard) {
    Varnel_DlgComposite* dialog = OpenFor(h, KeyButtonId::Key(kKeyF1));
    ASSERT_NE(dialog, nullptr);
    std::int64_t now = 1000;
    dialog->SetClock([&now] { return now; });

    dialog->Button("CONTROL_MACRO")->click();
    EXPECT_EQ(dialog->Model().ShownPage(), DialogPage::kMacro);
    EXPECT_TRUE(dialog->Control("FUNC_MACRO_LIST2")->isVisible());
    EXPECT_FALSE(dialog->Control("FUNC_KEY_INPUT")->isVisible());
    dialog->Button("FUNC_MACRO_ADD")->click();
    EXPECT_EQ(dialog->MacroPage().MacroList()->currentText(), Text(h, "MACRO_NEW_PREFIX") + QStringLiteral("1"));

    dialog->Button("FUNC_MACRO_RECORD")->click();
    EXPECT_TRUE(dialog->Model().Macros().Recording());
    EXPECT_EQ(dialog->Button("FUNC_MACRO_RECORD")->CurrentFace(), Face::Down);
    EXPECT_EQ(dialog->Button("FUNC_MACRO_RECORD")->text(), Text(h, "MACRO_ACTION_STOP_RECORD"));
    EXPECT_FALSE(dialog->Button("FUNC_MACRO_ADD")->isEnabled());
    now += 30;
    SendKey(dialog, kKeyA, false);
    now += 80;
    SendKey(dialog, kKeyA, false, true); // held: the repeat is not recorded
    SendKey(dialog, kKeyA, true, true);
    now += 40;
    SendKey(dialog, kKeyA, true);
    now += 500;
    SendKey(dialog, 0x120, false); // a media key passes by
    dialog->Button("FUNC_MACRO_RECORD")->click();
    EXPECT_FALSE(dialog->Model().Macros().Recording());
    EXPECT_NE(dialog->Button("FUNC_MACRO_RECORD")->CurrentFace(), Face::Down);
    EXPECT_EQ(dialog->Button("FUNC_MACRO_RECORD")->text(), Text(h, "MACRO_ACTION_RECORD"));

    QTableWidget* steps = dialog->MacroPage().StepList();
    ASSERT_EQ(steps->rowCount(), 2);
    EXPECT_EQ(steps->item(0, 0)->text(), QStringLiteral("A"));
    EXPECT_EQ(steps->item(0, 1)->text(), MacroPageView::PressText());
    EXPECT_EQ(steps->item(1, 1)->text(), MacroPageView::ReleaseText());
    // Recorded without measured pauses (the stored mode is 0): 50 ms each.
    EXPECT_EQ(steps->item(0, 2)->text(), QStringLiteral("50"));

    // The pause is edited in place; 40005 is too long.
    MessageBox::ClearShown();
    dialog->MacroPage().EditCell(0, MacroPageView::kDelayColumn);
    auto* delay = qobject_cast<QLineEdit*>(dialog->MacroPage().CellEditor());
    ASSERT_NE(delay, nullptr);
    delay->setText(QStringLiteral("40005"));
    dialog->MacroPage().FinishCellEdit();
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_EQ(MessageBox::ShownSoFar()[0].text, Text(h, "MACRO_ACTION_ERR_DELAY_MAX").replace("%d", "40000"));
    EXPECT_EQ(steps->item(0, 2)->text(), QStringLiteral("40000"));
    dialog->MacroPage().EditCell(0, MacroPageView::kDelayColumn);
    qobject_cast<QLineEdit*>(dialog->MacroPage().CellEditor())->setText(QStringLiteral("1234"));
    dialog->MacroPage().FinishCellEdit();
    EXPECT_EQ(steps->item(0, 2)->text(), QStringLiteral("1230"));

    dialog->MacroPage().RepeatEdit()->setText(QStringLiteral("300"));
    emit dialog->MacroPage().RepeatEdit()->editingFinished();
    EXPECT_EQ(dialog->MacroPage().RepeatEdit()->text(), QStringLiteral("255"));

    dialog->Button("CONTROL_OK")->click();
    EXPECT_TRUE(h.Window().KeyButton(KeyButtonId::Key(kKeyF1))->IsSelected());
    h.Window().Button("CONTROL2_APPLY")->click();
    ASSERT_TRUE(WaitFor([&] { return !h.Model().JobRunning(); }));
    EXPECT_FALSE(h.Model().IsModified());

    EXPECT_EQ(ActiveKeyAction(h, kKeyF1), (KeyAction{0x05, 0x01, 0x00}));
    std::vector<MacroBlock> macros;
    ASSERT_EQ(ParseMacroBlob(h.Keyboard().MacroArea(), "M", macros), 1u);
    EXPECT_EQ(macros[0].name, (Text(h, "MACRO_NEW_PREFIX") + QStringLiteral("1")).toStdU16String());
    EXPECT_EQ(macros[0].repeat, 255);
    EXPECT_EQ(macros[0].steps, (std::vector<MacroStep>{{1230, kKeyA, 0}, {0, kKeyA, 1}}));
}

TEST_F(KeyDialogTest, TheLastGKeyOpensOnTheMacroPageOnly) {
    Varnel_DlgComposite* dialog = OpenFor(h, KeyButtonId::G(9));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), Text(h, "MACRO_EDIT_TISHI"));
    EXPECT_EQ(dialog->Model().ShownPage(), DialogPage::kMacro);
    for (const char* tab : {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR"}) {
        EXPECT_FALSE(dialog->Button(tab)->isEnabled()) << tab;
        EXPECT_TRUE(dialog->Button(tab)->text().isEmpty()) << tab;
    }
    EXPECT_TRUE(dialog->Button("CONTROL_MACRO")->isEnabled());
    // Without a macro there are no steps to record or edit.
    for (const char* button : {"FUNC_MACRO_RECORD", "FUNC_MACRO_DELETE", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR",
                               "FUNC_MACRO_UP_TOP", "FUNC_MACRO_DOWN_BOTTOM"}) {
        EXPECT_FALSE(dialog->Button(button)->isEnabled()) << button;
        EXPECT_EQ(dialog->Button(button)->CurrentFace(), Face::Disabled) << button;
    }
    EXPECT_TRUE(dialog->Button("FUNC_MACRO_ADD")->isEnabled());
    dialog->reject();

    // The same dialog then opens for an ordinary key with every page.
    dialog = OpenFor(h, KeyButtonId::Key(kKeyB));
    EXPECT_TRUE(dialog->Button("CONTROL_KEY")->isEnabled());
    EXPECT_EQ(dialog->Button("CONTROL_KEY")->text(), Text(h, "SINGLE_KEY"));
    EXPECT_EQ(dialog->windowTitle(), Text(h, "KEY_SETTING_TISHI"));
    dialog->reject();
}

TEST_F(KeyDialogTest, TheKeyboardLeavingAndTheCloseSequenceCloseTheDialog) {
    Varnel_DlgComposite* dialog = OpenFor(h, KeyButtonId::Key(kKeyA));
    ASSERT_NE(dialog, nullptr);
    TypeKey(dialog, kKeyB);
    EXPECT_EQ(h.Window().HandleMessage(MSG_DEVICE_LOST, 0, 0), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(h.Window().IsKeyDialogOpen());
    // Closed without writing.
    EXPECT_FALSE(h.Model().IsModified());
    EXPECT_EQ(h.Core().Working().image.Entry(*h.Model().RecordOf(KeyButtonId::Key(kKeyA))).type, 0);

    OpenFor(h, KeyButtonId::Key(kKeyA));
    EXPECT_TRUE(h.Model().CloseSequence());
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(KeyDialogTest, TheOnScreenKeyboardButtonStartsOneFromPathOrSaysWhatToInstall) {
    Varnel_DlgComposite* dialog = OpenFor(h, KeyButtonId::Key(kKeyA));
    ASSERT_NE(dialog, nullptr);
    const QByteArray path = qgetenv("PATH");
    const std::filesystem::path bin = h.Folder("bin");
    std::filesystem::create_directories(bin);

    qputenv("PATH", QByteArray::fromStdString(bin.string()));
    MessageBox::ClearShown();
    dialog->Button("CONTROL_OSK")->click();
    ASSERT_EQ(MessageBox::ShownSoFar().size(), 1u);
    EXPECT_EQ(MessageBox::ShownSoFar()[0].text, Text(h, "COMPOSITE_OSK_MISSING"));

    const std::filesystem::path marker = h.Folder("florence-ran");
    {
        std::ofstream script(bin / "florence");
        script << "#!/bin/sh\n: > '" << marker.string() << "'\n";
    }
    std::filesystem::permissions(bin / "florence", std::filesystem::perms::owner_all);
    MessageBox::ClearShown();
    dialog->Button("CONTROL_OSK")->click();
    qputenv("PATH", path);
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(marker); }));
    EXPECT_TRUE(MessageBox::ShownSoFar().empty());
    dialog->reject();
}

} // namespace
} // namespace brasslane::gui::test
