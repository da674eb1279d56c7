#include "core/keys/MacroEditor.h"

#include "core/base/Utf8.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/ProfileImage.h"
#include "core/keys/RecordDelaySetting.h"
#include "core/resources/SettingsStore.h"
#include "KeysTestSupport.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace brasslane {
namespace {

constexpr ScanCode kA = 0x1E;
constexpr ScanCode kB = 0x30;
constexpr ScanCode kPrintScreen = 0x137;
constexpr ScanCode kMute = 0x120;

std::vector<std::pair<std::string, std::string>> EditorTexts() {
    auto texts = test::StandardTexts();
    texts.insert(texts.end(), {{"MACRO_ERR_MAX", "At most %d macros"},
                               {"MACRO_ACTION_ERR_DELAY_MAX", "At most %d ms"},
                               {"MACRO_ACTION_CLEAR_CONFIRM", "Clear all?"},
                               {"MACRO_ACTION_ERR_MODIFY", "Not editable"},
                               {"MACRO_ACTION_RECORD_DELAY", "Record pauses"}});
    return texts;
}

MacroBlock Macro(std::uint16_t id, std::u16string name, std::vector<MacroStep> steps = {}) {
    MacroBlock macro;
    macro.id = id;
    macro.name = std::move(name);
    macro.steps = std::move(steps);
    return macro;
}

class MacroEditorTest : public ::testing::Test {
protected:
    MacroEditorTest() {
        m_editor.SetOnChange([this] { ++m_changes; });
    }

    // The working list holds `macros`; the editor loads it with `selectId`.
    void Load(std::vector<MacroBlock> macros, std::uint32_t selectId = 0) {
        m_working.image.macros = std::move(macros);
        m_editor.Load(m_working, selectId);
    }

    // Key events as the hooks deliver them.
    HookVerdict Press(ScanCode code, std::int64_t at, bool repeat = false) {
        const SynthesisedKeyEvent e = KeyEventFromScanCode(code, false, repeat);
        return m_editor.RecordKeyEvent(e.virtualKey, e.eventWord, at);
    }
    HookVerdict Release(ScanCode code, std::int64_t at) {
        const SynthesisedKeyEvent e = KeyEventFromScanCode(code, true, false);
        return m_editor.RecordKeyEvent(e.virtualKey, e.eventWord, at);
    }

    std::vector<MacroStep> Steps() const { return {m_editor.Steps().begin(), m_editor.Steps().end()}; }

    test::TempLanguage m_language{EditorTexts()};
    test::RecordingUiSink m_ui;
    WorkingImage m_working;
    MacroEditor m_editor{m_language.Get(), m_ui, [](std::chrono::milliseconds) {}};
    int m_changes = 0;
};

TEST_F(MacroEditorTest, RecordingTimesEachStepByThePauseAfterIt) {
    const struct {
        std::uint32_t mode;
        std::uint32_t pressDelay;
    } modes[] = {{kRecordMeasuredPauses, 120}, {kRecordFixedPauses, 50}, {7, 0}};
    for (const auto& mode : modes) {
        Load({Macro(1, u"m")});
        m_editor.SetRecordDelayMode(mode.mode);
        ASSERT_TRUE(m_editor.StartRecording(1000));
        EXPECT_EQ(Press(kA, 1010), HookVerdict::kSwallow);
        EXPECT_EQ(Release(kA, 1130), HookVerdict::kSwallow);
        EXPECT_EQ(Steps(), (std::vector<MacroStep>{{mode.pressDelay, kA, 0}, {0, kA, 1}})) << "mode " << mode.mode;
    }

    // Measured pauses are clamped to the longest a step can wait.
    Load({Macro(1, u"m")});
    m_editor.SetRecordDelayMode(kRecordMeasuredPauses);
    m_editor.StartRecording(0);
    Press(kA, 5);
    Release(kA, 5 + 90000);
    Press(kB, 5 + 90000 + 30);
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{{40000, kA, 0}, {30, kA, 1}, {0, kB, 0}}));
}

TEST_F(MacroEditorTest, RecordingSkipsRepeatsAndMediaKeysAndCompletesReleaseOnlyKeys) {
    Load({Macro(1, u"m")});
    m_editor.SetRecordDelayMode(kRecordMeasuredPauses);
    m_editor.StartRecording(0);

    // Holding A: one press, however long the auto-repeat runs.
    Press(kA, 10);
    for (int i = 1; i <= 20; ++i) {
        EXPECT_EQ(Press(kA, 10 + 33 * i, true), HookVerdict::kSwallow);
    }
    Release(kA, 800);
    // A media key goes on to the system and is not recorded.
    EXPECT_EQ(Press(kMute, 850), HookVerdict::kPassOn);
    EXPECT_EQ(Release(kMute, 860), HookVerdict::kPassOn);
    // Print Screen reports only its release: a press goes where the key went down, 2 ms before it.
    EXPECT_EQ(Release(kPrintScreen, 1000), HookVerdict::kSwallow);
    EXPECT_EQ(Steps(),
              (std::vector<MacroStep>{{790, kA, 0}, {200, kA, 1}, {2, kPrintScreen, 0}, {0, kPrintScreen, 1}}));

    // Where the press is reported too, it is recorded once, with its own timing.
    Load({Macro(1, u"m")});
    m_editor.StartRecording(0);
    Press(kPrintScreen, 10);
    Release(kPrintScreen, 70);
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{{60, kPrintScreen, 0}, {0, kPrintScreen, 1}}));

    // With fixed pauses the extra press takes the fixed pause too.
    Load({Macro(1, u"m")});
    m_editor.SetRecordDelayMode(kRecordFixedPauses);
    m_editor.StartRecording(0);
    Release(kPrintScreen, 10);
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{{50, kPrintScreen, 0}, {0, kPrintScreen, 1}}));

    // Not recording: nothing is taken.
    m_editor.StopRecording();
    EXPECT_EQ(Press(kA, 20), HookVerdict::kPassOn);
    EXPECT_EQ(m_editor.Steps().size(), 2u);
}

TEST_F(MacroEditorTest, TheLowLevelHookRecordsOnlyTheWinKeysAndSwallowsTheirRepeats) {
    Load({Macro(1, u"m")});
    m_editor.SetRecordDelayMode(kRecordMeasuredPauses);
    m_editor.StartRecording(0);
    EXPECT_EQ(m_editor.RecordLowLevelEvent(kMessageKeyDown, kVirtualKeyLeftWin, 10), HookVerdict::kSwallow);
    EXPECT_EQ(m_editor.RecordLowLevelEvent(kMessageKeyDown, kVirtualKeyLeftWin, 40), HookVerdict::kSwallow);
    EXPECT_EQ(m_editor.RecordLowLevelEvent(kMessageKeyUp, kVirtualKeyLeftWin, 100), HookVerdict::kSwallow);
    EXPECT_EQ(m_editor.RecordLowLevelEvent(kMessageSysKeyDown, kVirtualKeyRightWin, 130), HookVerdict::kSwallow);
    // App and ordinary keys are the thread hook's.
    EXPECT_EQ(m_editor.RecordLowLevelEvent(kMessageKeyDown, kVirtualKeyApps, 140), HookVerdict::kPassOn);
    EXPECT_EQ(m_editor.RecordLowLevelEvent(kMessageKeyDown, 0x41, 150), HookVerdict::kPassOn);
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{{90, 0x15B, 0}, {30, 0x15B, 1}, {0, 0x15C, 0}}));
}

TEST_F(MacroEditorTest, TheStepLimitHoldsForRecordedAndAddedSteps) {
    Load({Macro(1, u"m", std::vector<MacroStep>(kMaxMacroSteps - 1, MacroStep{10, kA, 0}))});
    m_editor.StartRecording(0);
    Press(kB, 10);
    Release(kB, 20);
    EXPECT_EQ(m_editor.Steps().size(), kMaxMacroSteps);
    EXPECT_EQ(m_editor.Steps().back().key, kB);
    EXPECT_EQ(m_editor.Steps().back().state, 0);
    EXPECT_FALSE(m_editor.AddStep(kA, 1, 0));
    EXPECT_TRUE(m_ui.Texts().empty());
}

TEST_F(MacroEditorTest, AStepGoesAfterTheSelectedRowAndTakesOverItsPause) {
    Load({Macro(1, u"m", {{100, kA, 0}, {200, kA, 1}})});
    m_editor.SelectStep(0);
    ASSERT_TRUE(m_editor.AddStep(kB, 0, 30));
    // A (press) now waits 30 ms before B, and B waits the 100 ms A waited before.
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{{30, kA, 0}, {100, kB, 0}, {200, kA, 1}}));
    EXPECT_EQ(m_editor.SelectedStep(), 1);
    // Nothing selected: at the end. A first row gets no pause before it.
    m_editor.SelectStep(-1);
    m_editor.AddStep(kB, 1, 5);
    EXPECT_EQ(Steps().back(), (MacroStep{200, kB, 1}));
    EXPECT_EQ(Steps()[2].delay, 5u);
    Load({Macro(1, u"m")});
    m_editor.AddStep(kA, 0, 70);
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{{0, kA, 0}}));
    // Without a macro there are no rows to add to.
    Load({});
    EXPECT_FALSE(m_editor.AddStep(kA, 0, 0));
    EXPECT_FALSE(m_editor.StartRecording(0));
}

TEST_F(MacroEditorTest, RowsMoveWithTheirDelayAndStaySelected) {
    const std::vector<MacroStep> rows{{10, 0x02, 0}, {20, 0x03, 0}, {30, 0x04, 0}, {40, 0x05, 0}};
    Load({Macro(1, u"m", rows)});
    m_editor.SelectStep(2);
    EXPECT_TRUE(m_editor.MoveStep(StepMove::kTop));
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{rows[2], rows[0], rows[1], rows[3]}));
    EXPECT_EQ(m_editor.SelectedStep(), 0);
    EXPECT_FALSE(m_editor.MoveStep(StepMove::kUp));
    EXPECT_TRUE(m_editor.MoveStep(StepMove::kBottom));
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{rows[0], rows[1], rows[3], rows[2]}));
    EXPECT_EQ(m_editor.SelectedStep(), 3);
    EXPECT_TRUE(m_editor.MoveStep(StepMove::kUp));
    EXPECT_TRUE(m_editor.MoveStep(StepMove::kUp));
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{rows[0], rows[2], rows[1], rows[3]}));
    EXPECT_TRUE(m_editor.MoveStep(StepMove::kDown));
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{rows[0], rows[1], rows[2], rows[3]}));
    EXPECT_EQ(m_editor.SelectedStep(), 2);

    EXPECT_TRUE(m_editor.DeleteStep());
    EXPECT_EQ(Steps(), (std::vector<MacroStep>{rows[0], rows[1], rows[3]}));
    EXPECT_EQ(m_editor.SelectedStep(), -1);
    EXPECT_FALSE(m_editor.DeleteStep());
    EXPECT_FALSE(m_editor.MoveStep(StepMove::kTop));

    // Clearing asks first; No keeps the rows.
    m_ui.SetAnswers({MessageAnswer::kNo});
    EXPECT_FALSE(m_editor.ClearSteps());
    EXPECT_EQ(m_editor.Steps().size(), 3u);
    m_ui.SetAnswers({MessageAnswer::kYes});
    EXPECT_TRUE(m_editor.ClearSteps());
    EXPECT_TRUE(m_editor.Steps().empty());
    EXPECT_EQ(m_ui.Texts(), (std::vector<std::string>{"Clear all?", "Clear all?"}));
    // No rows: nothing to ask.
    EXPECT_FALSE(m_editor.ClearSteps());
    EXPECT_EQ(m_ui.Texts().size(), 2u);
}

TEST_F(MacroEditorTest, TypedDelaysAndRepeatCountsAreCorrected) {
    const struct {
        const char* text;
        std::uint32_t delay;
        bool message;
    } delays[] = {
        {"40005", 40000, true}, {"1234", 1230, false}, {"40000", 40000, false}, {"9", 0, false},
        {"-5", 40000, true},    {"abc", 0, false},     {" 77ms", 70, false},    {"99999999999999999999", 40000, true}};
    Load({Macro(1, u"m", {{0, kA, 0}})});
    for (const auto& d : delays) {
        m_ui.Clear();
        EXPECT_EQ(m_editor.SetStepDelayText(0, d.text), d.delay) << d.text;
        EXPECT_EQ(m_editor.Steps()[0].delay, d.delay) << d.text;
        EXPECT_EQ(m_ui.Texts(), d.message ? std::vector<std::string>{"At most 40000 ms"} : std::vector<std::string>{})
            << d.text;
    }

    const struct {
        const char* text;
        int repeat;
    } repeats[] = {{"0", 1}, {"300", 255}, {"255", 255}, {"1", 1}, {"-3", 1}, {"12x", 12}, {"", 1}};
    for (const auto& r : repeats) {
        EXPECT_EQ(m_editor.SetRepeatText(r.text), r.repeat) << r.text;
    }
    // The edit's count is what the macro keeps.
    m_editor.SetRepeatText("42");
    EXPECT_EQ(m_editor.Result().front().repeat, 42);

    // The key of a step comes from the key list; the state is a press or a release.
    EXPECT_TRUE(m_editor.SetStepKeyId(0, 0x0001));
    EXPECT_EQ(m_editor.Steps()[0].key, kB);
    EXPECT_FALSE(m_editor.SetStepKeyId(0, kStepKeyListSize));
    EXPECT_TRUE(m_editor.SetStepState(0, 1));
    EXPECT_EQ(m_editor.Steps()[0].state, 1);
    // Starting to edit a delay ends a recording.
    m_editor.StartRecording(0);
    m_editor.BeginDelayEdit();
    EXPECT_FALSE(m_editor.Recording());
}

TEST_F(MacroEditorTest, NewNamesAndRenamesAvoidTheBeginningsOfOtherNames) {
    Load({Macro(4, u"Macro1"), Macro(7, u"Fire ball")}, 7);
    EXPECT_EQ(m_editor.Selected(), 1);

    ASSERT_TRUE(m_editor.NewMacro());
    // "Macro1" is taken; the new macro takes the lowest free id.
    EXPECT_EQ(m_editor.SelectedMacro()->name, u"Macro2");
    EXPECT_EQ(m_editor.SelectedMacro()->id, 1);
    EXPECT_EQ(m_editor.SelectedMacro()->newFlag, 1);
    EXPECT_EQ(m_editor.Selected(), 2);

    // Renaming to the beginning of another name, or to nothing, gives a generated name.
    EXPECT_EQ(m_editor.Rename(u"fire"), u"Macro3");
    EXPECT_EQ(m_editor.Rename(u""), u"Macro4");
    EXPECT_EQ(m_editor.Rename(u"Ice"), u"Ice");
    // Its own name does not count.
    EXPECT_EQ(m_editor.Rename(u"Ice"), u"Ice");
    const std::u16string longName(300, u'x');
    EXPECT_EQ(m_editor.Rename(longName).size(), kMaxMacroNameLength);
    EXPECT_EQ(m_editor.Macros()[2].name, std::u16string(kMaxMacroNameLength, u'x'));

    // Typing a name into an empty list creates the macro.
    Load({});
    EXPECT_EQ(m_editor.Rename(u"Sprint"), u"Sprint");
    ASSERT_EQ(m_editor.Macros().size(), 1u);
    EXPECT_EQ(m_editor.Macros()[0].id, 1);
    // The counter did not move for it.
    m_editor.NewMacro();
    EXPECT_EQ(m_editor.Macros()[1].name, u"Macro1");
}

TEST_F(MacroEditorTest, TheHundredAndFirstMacroIsRefused) {
    std::vector<MacroBlock> full;
    for (std::uint16_t id = 1; id <= kMaxMacros; ++id) {
        full.push_back(Macro(id, u"M" + utf8::ToUtf16(std::to_string(id))));
    }
    Load(full);
    m_changes = 0;
    EXPECT_FALSE(m_editor.NewMacro());
    EXPECT_EQ(m_editor.Macros().size(), kMaxMacros);
    EXPECT_EQ(m_ui.Texts(), std::vector<std::string>{"At most 100 macros"});
    EXPECT_EQ(m_changes, 0);
}

TEST_F(MacroEditorTest, DeletingAskedForAMacroThatKeysPlay) {
    Load({Macro(1, u"a"), Macro(2, u"b"), Macro(3, u"c")}, 3);
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kMacro);
    entry.param = 3;
    m_working.image.SetEntry(RecordIndex(1, kA), entry);

    m_ui.SetAnswers({MessageAnswer::kNo});
    EXPECT_FALSE(m_editor.DeleteMacro(m_working));
    EXPECT_EQ(m_editor.Macros().size(), 3u);
    EXPECT_EQ(m_ui.Texts().size(), 1u);
    m_ui.SetAnswers({MessageAnswer::kYes});
    EXPECT_TRUE(m_editor.DeleteMacro(m_working));
    // The one before it is shown; the next write sends every profile's key map.
    EXPECT_EQ(m_editor.Selected(), 1);
    EXPECT_EQ(m_editor.SelectedMacro()->id, 2);
    EXPECT_TRUE(m_working.allProfilesRequest.load());
    // A macro no key plays goes without a question; deleting the first shows the new first.
    m_editor.Select(0);
    EXPECT_TRUE(m_editor.DeleteMacro(m_working));
    EXPECT_EQ(m_editor.SelectedMacro()->id, 2);
    EXPECT_EQ(m_ui.Texts().size(), 2u);
    EXPECT_TRUE(m_editor.DeleteMacro(m_working));
    EXPECT_EQ(m_editor.Selected(), -1);
    EXPECT_FALSE(m_editor.DeleteMacro(m_working));
}

TEST_F(MacroEditorTest, ACommittedListIsNoLongerNew) {
    Load({});
    m_editor.NewMacro();
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kMacro);
    entry.param = 1;
    // First apply: the list goes in, then the key gets the new macro.
    m_editor.Commit(m_working);
    m_working.image.SetEntry(RecordIndex(0, kA), entry);
    // A second apply from the same dialog must not take the macro for one created since.
    EXPECT_TRUE(m_editor.Commit(m_working).empty());
    EXPECT_EQ(m_working.image.Entry(RecordIndex(0, kA)), entry);
    EXPECT_EQ(m_working.image.macros.size(), 1u);
    EXPECT_EQ(m_working.image.macros[0].newFlag, 0);
}

TEST_F(MacroEditorTest, SelectingKeepsEachMacrosRepeatCount) {
    Load({Macro(1, u"a"), Macro(2, u"b")}, 2);
    m_editor.SetRepeatText("9");
    m_editor.Select(0);
    EXPECT_EQ(m_editor.RepeatCount(), 1);
    m_editor.Select(1);
    EXPECT_EQ(m_editor.RepeatCount(), 9);
    // Loading takes fresh copies: edits never reach the working list by themselves.
    EXPECT_EQ(m_working.image.macros[1].repeat, 1);
}

TEST(RecordDelaySetting, StoredUnderTheLanguageTextOfItsName) {
    test::TempLanguage language(EditorTexts());
    test::TempFolder folder;
    SettingsStore settings(folder / "Brasslane.ini");
    EXPECT_EQ(ReadRecordDelayMode(settings, language.Get()), 0u);
    EXPECT_EQ(ToggleRecordDelayMode(settings, language.Get(), 0), 1u);
    EXPECT_EQ(settings.ReadNumber(SettingsStore::kProfilesSection, "Record pauses"), 1u);
    EXPECT_EQ(ReadRecordDelayMode(settings, language.Get()), 1u);
    EXPECT_EQ(ToggleRecordDelayMode(settings, language.Get(), 1), 0u);
    // Any other stored value toggles to 1.
    settings.WriteNumber(SettingsStore::kProfilesSection, "Record pauses", 5);
    EXPECT_EQ(ToggleRecordDelayMode(settings, language.Get(), ReadRecordDelayMode(settings, language.Get())), 1u);
}

} // namespace
} // namespace brasslane
