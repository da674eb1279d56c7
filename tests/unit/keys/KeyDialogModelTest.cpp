#include "core/keys/KeyDialogModel.h"

#include "core/device/ConnectionState.h"
#include "core/device/DeviceLink.h"
#include "core/device/KeyboardFinder.h"
#include "core/keys/KeyAction.h"
#include "core/keys/ProfileImage.h"
#include "core/profiles/WriteSequence.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"
#include "KeysTestSupport.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

constexpr ScanCode kA = 0x1E;
constexpr ScanCode kB = 0x30;
constexpr ScanCode kPrintScreen = 0x137;
constexpr std::size_t kArea = 1; // the keyboard's current profile in these tests

constexpr std::uint16_t T(AssignmentType type) {
    return static_cast<std::uint16_t>(type);
}

std::size_t KeyRecord(ScanCode code) {
    return RecordIndex(kArea, ToScanIndex(code));
}

std::size_t GRecord(int number) {
    return RecordIndex(kArea, kGSlotBankA + static_cast<std::size_t>(number) - 1);
}

MacroBlock Macro(std::uint16_t id, std::u16string name) {
    MacroBlock macro;
    macro.id = id;
    macro.name = std::move(name);
    macro.steps = {{10, kA, 0}, {0, kA, 1}};
    return macro;
}

class KeyDialogModelTest : public ::testing::Test {
protected:
    void SetEntry(std::size_t record, AssignmentType type, std::uint32_t param = 0, std::uint16_t extra = 0) {
        KeyEntry entry;
        entry.type = T(type);
        entry.param = param;
        entry.extra = extra;
        m_working.image.SetEntry(record, entry);
    }
    KeyEntry Entry(std::size_t record) { return m_working.image.Entry(record); }

    // Presses and releases `code` on the single-key page, as the keyboard would.
    void Type(ScanCode code) {
        for (const bool release : {false, true}) {
            const SynthesisedKeyEvent e = KeyEventFromScanCode(code, release, false);
            if (m_model.LowLevelKeyEvent(e.message, e.virtualKey) == HookVerdict::kPassOn) {
                m_model.KeyEvent(e.virtualKey, e.eventWord);
            }
        }
    }

    test::TempLanguage m_language{test::StandardTexts()};
    test::RecordingUiSink m_ui;
    WorkingImage m_working;
    KeyDialogModel m_model{m_working, m_language.Get(), m_ui, [](std::chrono::milliseconds) {}};
};

TEST_F(KeyDialogModelTest, ACaughtKeyBecomesTheTargetUnlessItIsTheKeyItself) {
    m_model.Open(KeyRecord(kA), false, 0);
    EXPECT_EQ(m_model.Page(), 0);
    EXPECT_TRUE(m_model.Capturing());
    EXPECT_FALSE(m_model.Dirty());

    Type(kB);
    EXPECT_EQ(m_model.CapturedKey(), kB);
    EXPECT_EQ(m_model.Page(), 2);
    EXPECT_TRUE(m_model.Dirty());
    KeyDialogApplyResult result = m_model.Apply();
    EXPECT_EQ(result.entry, (KeyEntry{2, 0, kB, 0, 0}));
    EXPECT_EQ(Entry(KeyRecord(kA)), result.entry);
    EXPECT_FALSE(m_model.Dirty());

    // Clicking A and pressing A gives A its default back.
    Type(kA);
    EXPECT_EQ(m_model.Apply().entry.type, 0);
    // So does Clear.
    SetEntry(KeyRecord(kA), AssignmentType::kKey, kB);
    m_model.Open(KeyRecord(kA), false, 0);
    EXPECT_EQ(m_model.CapturedKey(), kB);
    EXPECT_TRUE(m_model.Clear());
    EXPECT_EQ(m_model.Page(), 0);
    EXPECT_EQ(m_model.Apply().entry.type, 0);
}

TEST_F(KeyDialogModelTest, PrintScreenIsCaughtFromItsReleaseAndMediaKeysChangeNothing) {
    SetEntry(KeyRecord(kA), AssignmentType::kKey, kB);
    m_model.Open(KeyRecord(kA), false, 0);

    // A media key goes on to the system: the media page is the way to assign it.
    const SynthesisedKeyEvent mute = KeyEventFromScanCode(0x120, false, false);
    EXPECT_EQ(m_model.KeyEvent(mute.virtualKey, mute.eventWord), HookVerdict::kPassOn);
    EXPECT_EQ(m_model.CapturedKey(), kB);
    EXPECT_FALSE(m_model.Dirty());

    const SynthesisedKeyEvent print = KeyEventFromScanCode(kPrintScreen, true, false);
    EXPECT_EQ(m_model.KeyEvent(print.virtualKey, print.eventWord), HookVerdict::kSwallow);
    EXPECT_EQ(m_model.CapturedKey(), kPrintScreen);
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{2, 0, kPrintScreen, 0, 0}));

    // The Win key is caught by the low-level hook.
    Type(0x15B);
    EXPECT_EQ(m_model.CapturedKey(), 0x15B);
    // Away from the single-key page nothing is caught.
    m_model.PressPageButton(DialogPage::kMedia);
    EXPECT_FALSE(m_model.Capturing());
    const SynthesisedKeyEvent a = KeyEventFromScanCode(kA, false, false);
    EXPECT_EQ(m_model.KeyEvent(a.virtualKey, a.eventWord), HookVerdict::kPassOn);
    EXPECT_EQ(m_model.CapturedKey(), 0x15B);
}

TEST_F(KeyDialogModelTest, OpeningShowsTheEntrysPageAndChoice) {
    const struct {
        AssignmentType type;
        std::uint32_t param;
        DialogPage page;
        bool keyboard;
        int mouse;
        ScanCode captured;
        int media;
        int function;
    } cases[] = {
        {AssignmentType::kKey, 0x172, DialogPage::kKey, false, 1, 0, 0, 0},
        {AssignmentType::kKey, 0x162, DialogPage::kKey, false, 4, 0, 0, 0},
        {AssignmentType::kKey, 0x11D, DialogPage::kKey, true, 0, 0x11D, 0, 0},
        {AssignmentType::kKey, 0, DialogPage::kKey, true, 0, 0, 0, 0},
        {AssignmentType::kMedia, 7, DialogPage::kMedia, true, 0, 0, 7, 0},
        {AssignmentType::kMedia, 99, DialogPage::kMedia, true, 0, 0, 0, 0},
        {AssignmentType::kFunction, 10, DialogPage::kFunction, true, 0, 0, 0, 10},
        {AssignmentType::kDisabled, 0, DialogPage::kKey, true, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SetEntry(KeyRecord(kA), c.type, c.param);
        m_model.Open(KeyRecord(kA), false, 0);
        EXPECT_EQ(m_model.Page(), T(c.type));
        EXPECT_EQ(m_model.ShownPage(), c.page);
        EXPECT_EQ(m_model.KeyboardChoice(), c.keyboard);
        EXPECT_EQ(m_model.MouseEntry(), c.mouse);
        EXPECT_EQ(m_model.CapturedKey(), c.captured);
        EXPECT_EQ(m_model.MediaEntry(), c.media);
        EXPECT_EQ(m_model.FunctionEntry(), c.function);
        // OK without a change writes the entry it opened with; an out-of-range choice is
        // replaced by the first entry, and a key assignment without a key is the default.
        const bool noKey = c.type == AssignmentType::kKey && c.param == 0;
        const std::uint32_t param = c.param == 99 ? 0 : c.param;
        EXPECT_EQ(m_model.Apply().entry, (KeyEntry{noKey ? std::uint16_t{0} : T(c.type), 0, param, 0, 0}))
            << static_cast<int>(c.type) << " " << c.param;
    }
}

TEST_F(KeyDialogModelTest, PagesChoicesAndTheEntryTheyWrite) {
    m_model.Open(KeyRecord(kA), false, 0);
    // The single-key button does nothing while the page is 0.
    EXPECT_FALSE(m_model.PressPageButton(DialogPage::kKey));
    EXPECT_FALSE(m_model.Dirty());

    EXPECT_TRUE(m_model.ChooseMouse());
    EXPECT_EQ(m_model.Page(), 2);
    EXPECT_TRUE(m_model.SelectMouseEntry(4));
    EXPECT_FALSE(m_model.SelectMouseEntry(5));
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{2, 0, 0x162, 0, 0}));

    EXPECT_TRUE(m_model.PressPageButton(DialogPage::kMedia));
    EXPECT_FALSE(m_model.PressPageButton(DialogPage::kMedia));
    EXPECT_TRUE(m_model.SelectMediaEntry(17));
    EXPECT_FALSE(m_model.SelectMediaEntry(18));
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{7, 0, 17, 0, 0}));

    EXPECT_TRUE(m_model.PressPageButton(DialogPage::kFunction));
    EXPECT_TRUE(m_model.SelectFunctionEntry(3));
    EXPECT_FALSE(m_model.SelectFunctionEntry(11));
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{8, 0, 3, 0, 0}));

    // The macro page without macros stores the default.
    EXPECT_TRUE(m_model.PressPageButton(DialogPage::kMacro));
    EXPECT_EQ(m_model.Apply().entry.type, 0);

    // The selection flag goes, a G key keeps its G code.
    KeyEntry flagged{2, 0x0305, kB, 1, 0};
    m_working.image.SetEntry(GRecord(5), flagged);
    m_model.Open(GRecord(5), false, 0);
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{2, 0x0305, kB, 0, 0}));
    m_model.Clear();
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{0, 0x0305, 0, 0, 0}));
}

TEST_F(KeyDialogModelTest, TheLastGKeyOffersOnlyTheMacroPage) {
    m_working.image.macros = {Macro(1, u"one"), Macro(2, u"two")};
    SetEntry(GRecord(9), AssignmentType::kKey, kB, 0x0309);
    m_model.Open(GRecord(9), true, 0);
    EXPECT_EQ(m_model.Page(), 4);
    EXPECT_EQ(m_model.ShownPage(), DialogPage::kMacro);
    for (const DialogPage page : {DialogPage::kKey, DialogPage::kMedia, DialogPage::kFunction}) {
        EXPECT_FALSE(m_model.PressPageButton(page));
    }
    EXPECT_FALSE(m_model.Clear());
    EXPECT_FALSE(m_model.ChooseKeyboard());
    EXPECT_FALSE(m_model.CaptureKey(kA));
    EXPECT_EQ(m_model.ShownPage(), DialogPage::kMacro);

    m_model.Macros().Select(1);
    m_model.Macros().SetRepeatText("3");
    // The macro's id, with the repeat count in extra.
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{4, 3, 2, 0, 0}));
    EXPECT_EQ(m_working.image.macros[1].repeat, 3);
    // Opening again shows the macro the key plays.
    m_model.Open(GRecord(9), true, 0);
    EXPECT_EQ(m_model.Macros().Selected(), 1);
    EXPECT_EQ(m_model.Macros().RepeatCount(), 3);
}

TEST_F(KeyDialogModelTest, AKeyOfADeletedMacroFallsBackWhenTheIdIsTakenAgain) {
    m_working.image.macros = {Macro(1, u"one"), Macro(2, u"two"), Macro(3, u"three")};
    SetEntry(KeyRecord(kB), AssignmentType::kMacro, 3);
    SetEntry(RecordIndex(2, ToScanIndex(0x3B)), AssignmentType::kMacro, 3); // F1 in another profile
    SetEntry(KeyRecord(0x3C), AssignmentType::kMacro, 2);

    m_model.Open(KeyRecord(kA), false, 0);
    m_model.PressPageButton(DialogPage::kMacro);
    m_model.Macros().Select(2);
    m_ui.SetAnswers({MessageAnswer::kYes});
    ASSERT_TRUE(m_model.Macros().DeleteMacro(m_working));
    ASSERT_TRUE(m_model.Macros().NewMacro());
    EXPECT_EQ(m_model.Macros().SelectedMacro()->id, 3);

    const KeyDialogApplyResult result = m_model.Apply();
    // A now plays the new macro 3; B and F1 of profile 3 played the old one and fall back.
    EXPECT_EQ(result.entry, (KeyEntry{4, 1, 3, 0, 0}));
    EXPECT_EQ(Entry(KeyRecord(kB)).type, 0);
    EXPECT_EQ(Entry(RecordIndex(2, ToScanIndex(0x3B))).type, 0);
    EXPECT_EQ(Entry(KeyRecord(0x3C)), (KeyEntry{4, 0, 2, 0, 0}));
    EXPECT_EQ(result.fellBack.size(), 2u);
    EXPECT_TRUE(m_working.allProfilesRequest.load());
    ASSERT_EQ(m_working.image.macros.size(), 3u);
    EXPECT_EQ(m_working.image.macros[2].newFlag, 0);

    // A second apply from the same dialog keeps A on the macro it was just given.
    m_model.SetDirty(true);
    EXPECT_TRUE(m_model.Apply().fellBack.empty());
    EXPECT_EQ(Entry(KeyRecord(kA)), (KeyEntry{4, 1, 3, 0, 0}));
}

TEST_F(KeyDialogModelTest, EntriesWithATextSurviveTheDialogUntilChanged) {
    SetEntry(KeyRecord(kA), AssignmentType::kProgram, 0, 0);
    m_working.texts.Set(KeyRecord(kA), u"/usr/bin/true");
    m_model.Open(KeyRecord(kA), false, 0);
    EXPECT_EQ(m_model.ShownPage(), DialogPage::kKey);
    // OK without a change keeps the program.
    EXPECT_EQ(m_model.Apply().entry.type, T(AssignmentType::kProgram));
    EXPECT_EQ(m_working.texts.Text(KeyRecord(kA)), u"/usr/bin/true");

    // A new assignment frees the text.
    Type(kB);
    EXPECT_EQ(m_model.Apply().entry, (KeyEntry{2, 0, kB, 0, 0}));
    EXPECT_EQ(m_working.texts.Length(KeyRecord(kA)), 0u);
    EXPECT_EQ(m_working.texts.Total(), 0u);
}

TEST_F(KeyDialogModelTest, LeavingTheMacroPageStopsARecording) {
    m_working.image.macros = {Macro(1, u"one")};
    m_model.Open(KeyRecord(kA), false, 0);
    m_model.PressPageButton(DialogPage::kMacro);
    ASSERT_TRUE(m_model.Macros().StartRecording(0));
    m_model.PressPageButton(DialogPage::kFunction);
    EXPECT_FALSE(m_model.Macros().Recording());
    m_model.PressPageButton(DialogPage::kMacro);
    m_model.Macros().StartRecording(0);
    m_model.Close();
    EXPECT_FALSE(m_model.Macros().Recording());
}

TEST(KeyDialogPlacement, BesideTheButtonWhereItFits) {
    const ScreenRect screen{0, 0, 1000, 800};
    const int w = 300;
    const int h = 200;
    const struct {
        const char* where;
        ScreenRect button;
        ScreenPoint expected;
    } cases[] = {
        {"right and below", {100, 100, 40, 30}, {140, 130}},
        {"right, above", {100, 650, 40, 30}, {140, 450}},
        {"left, below", {800, 100, 40, 30}, {500, 130}},
        {"left, above", {800, 650, 40, 30}, {500, 450}},
        // Where it fits neither below nor above, it is kept on the screen.
        {"left, neither below nor above", {800, 100, 40, 650}, {500, 600}},
        {"nowhere", {-10, 300, 1020, 300}, {700, 600}},
        {"right, neither below nor above", {100, 100, 40, 650}, {140, 600}},
        {"exactly at the edges", {660, 570, 40, 30}, {700, 600}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyDialogPosition(c.button, w, h, screen, false), c.expected) << c.where;
    }
    // A dialog larger than the screen keeps its top left corner on it.
    EXPECT_EQ(KeyDialogPosition({100, 100, 40, 30}, 1200, 900, screen, false), (ScreenPoint{0, 0}));
    EXPECT_EQ(KeyDialogPosition({100, 100, 40, 30}, w, h, screen, true), (ScreenPoint{350, 300}));
    EXPECT_EQ(KeyDialogPosition({100, 100, 40, 30}, w, h, {1920, 0, 1000, 800}, true), (ScreenPoint{2270, 300}));
}

// The dialog's entry on its way into the keyboard: a key given the wheel-down step plays 01 05 FF.
TEST(KeyDialogToKeyboard, AWheelStepReachesTheKeyMap) {
    test::TempLanguage language{test::StandardTexts()};
    test::RecordingUiSink ui;
    WorkingImage working;
    UploadSnapshot snapshot;
    sim::SimKeyboard keyboard(sim::SimModel::k7672);
    sim::SimHidBackend backend(keyboard);
    DeviceLink link(backend);
    ConnectionState connection;
    ASSERT_TRUE(ConnectKeyboard(link, connection));
    ASSERT_EQ(ReadConnectionData(link, connection), kStatusSuccess);

    KeyDialogModel model(working, language.Get(), ui);
    model.Open(RecordIndex(0, ToScanIndex(kA)), false, 0);
    model.ChooseMouse();
    model.SelectMouseEntry(4);
    model.Apply();
    snapshot.image = working.image;
    ASSERT_TRUE(WriteConfiguration(snapshot, working, false, 0, link, connection, ui, language.Get()));

    const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
    const auto defaults = BuiltInDefaultMatrix();
    std::size_t position = defaults.size();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        if (DecodePosition(defaults[i]) == kA) {
            position = i;
        }
    }
    ASSERT_LT(position, defaults.size());
    EXPECT_EQ(KeyAction::At(maps, position), (KeyAction{0x01, 0x05, 0xFF}));
}

} // namespace
} // namespace brasslane
