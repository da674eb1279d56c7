#include "AppTestSupport.h"

#include "core/base/Messages.h"
#include "core/keys/KeyEntry.h"
#include "core/lighting/PreviewTables.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

namespace brasslane::test {

namespace {

constexpr std::size_t kSlotA = 0x1E; // the A key's scan index
constexpr std::size_t kSlotEsc = 0x01;
constexpr ScanCode kScanA = 0x1E;
constexpr std::size_t kLightingBlock = 42;

KeyEntry Disabled() {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
    return entry;
}

} // namespace

using MainWindowModelTest = AppFixture;

TEST_F(MainWindowModelTest, ApplyWritesPendingEditsOnlyAndKeepsThemPendingOnCancel) {
    Arrive();

    // Nothing pending: the busy indicator comes and goes, the keyboard hears nothing.
    EXPECT_TRUE(model->Apply());
    EXPECT_EQ(view.busy, (std::vector<bool>{true, false}));
    EXPECT_TRUE(TakeLog().empty());

    // An edit, then Cancel: hidden, still pending, still nothing sent.
    view.ShowWindow();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    model->Cancel();
    EXPECT_FALSE(view.shown);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(view.applyEnabled);
    EXPECT_TRUE(TakeLog().empty());

    const std::vector<std::uint8_t> profile1Before = KeyMapOf(1);
    EXPECT_TRUE(model->Apply());
    const std::vector<Frame> log = TakeLog();
    EXPECT_EQ(CountCommand(log, 8) > 0, true);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(KeyMapOf(1), profile1Before);
    EXPECT_FALSE(model->IsModified());
    EXPECT_FALSE(view.applyEnabled);

    // What was applied is in the cache file too: a fresh read of the file shows the edit.
    SetWorkingEntry(0, kSlotA, KeyEntry{});
    ASSERT_TRUE(core->Profiles().LoadProfileFile(core->Profiles().ProfileCacheFile()));
    EXPECT_EQ(WorkingEntry(0, kSlotA).Type(), AssignmentType::kDisabled);
}

TEST_F(MainWindowModelTest, ApplyWithoutCacheFileWritesKeyboardButKeepsEditPending) {
    Arrive();
    std::filesystem::remove(core->Profiles().ProfileCacheFile());
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);

    EXPECT_FALSE(model->Apply());
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(view.applyEnabled);
    EXPECT_FALSE(std::filesystem::exists(core->Profiles().ProfileCacheFile()));

    // Ok applies on the worker, failing the same way: the window stays open and says why.
    view.ShowWindow();
    ui.Clear();
    model->Ok();
    FinishJob();
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(model->IsModified());
    ASSERT_EQ(ui.Texts().size(), 1u);
    EXPECT_NE(ui.Texts()[0].find("could not be saved on this computer"), std::string::npos) << ui.Texts()[0];
}

TEST_F(MainWindowModelTest, AFailedWriteKeepsTheEditAndTheAllProfilesRequestPending) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    SetWorkingEntry(2, kSlotA, Disabled());
    core->Working().allProfilesRequest.store(true);
    model->SetModified(true);

    // The macro area refused: no key map goes, nothing counts as applied.
    keyboard.SetFaults({.refusedCommand = 10});
    EXPECT_FALSE(model->Apply());
    EXPECT_EQ(model->LastWrite().failure, WriteFailure::kMacroArea);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(view.applyEnabled);
    EXPECT_TRUE(core->Working().allProfilesRequest.load());
    EXPECT_EQ(CountCommand(TakeLog(), 8), 0);

    // Once the keyboard takes it, the next Apply still sends all three key maps.
    keyboard.SetFaults({});
    EXPECT_TRUE(model->Apply());
    EXPECT_TRUE(model->LastWrite().Ok());
    EXPECT_EQ(CountCommand(TakeLog(), 8), 3 * 7);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 2, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_FALSE(model->IsModified());

    // An import whose macro area is refused is not taken either.
    const std::filesystem::path file = folder.Path() / "backup.fwc";
    ASSERT_TRUE(model->Export(file));
    keyboard.SetFaults({.refusedCommand = 10});
    ASSERT_TRUE(model->Import(file));
    EXPECT_EQ(model->LastWrite().failure, WriteFailure::kMacroArea);
    EXPECT_TRUE(model->IsModified());
}

TEST_F(MainWindowModelTest, ApplyChangesOnlyTheEditedKeysOfTheKeyboard) {
    Arrive();
    // The information block was not read when the keyboard arrived: Apply reads it itself.
    core->Connection().macroCapacity.store(0);
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    EXPECT_TRUE(model->Apply());
    EXPECT_TRUE(ui.Messages().empty());

    // Read back, every other key (] among them) still has its own function.
    ASSERT_EQ(model->OnMessage(MSG_PROFILE_SYNC, kCodeProf, 0), 1);
    for (const KeyButtonId button : AllKeyButtons()) {
        EXPECT_EQ(model->ButtonState(button).assigned, button == KeyButtonId::Key(kScanA))
            << model->ButtonState(button).caption;
    }
}

TEST_F(MainWindowModelTest, KeyClicksOpenTheDialogOrFlipTheButtonsOwnSelectionFlag) {
    Arrive();
    ASSERT_TRUE(core->Profiles().SetActiveProfile(1));

    model->KeyClicked(KeyButtonId::Key(kScanA));
    model->MacroButton();
    model->KeyClicked(KeyButtonId::Fn());        // no entry: nothing in key-assignment mode
    model->KeyClicked(KeyButtonId::Key(0x0E00)); // no such button
    model->KeyClicked(KeyButtonId::G(10));       // no such button
    ASSERT_EQ(view.openedDialogs.size(), 2u);
    EXPECT_EQ(view.openedDialogs[0].record, RecordIndex(1, kSlotA));
    EXPECT_FALSE(view.openedDialogs[0].isG9);
    EXPECT_EQ(view.openedDialogs[1].record, RecordIndex(1, kGSlotBankA + 8));
    EXPECT_TRUE(view.openedDialogs[1].isG9);
    EXPECT_FALSE(model->IsModified());

    model->ToggleKeySelectionMode();
    EXPECT_TRUE(model->KeySelectionMode());
    EXPECT_EQ(view.switchCaption, core->Text().Text("MAIN_SWITCH_COLOR_TEXT"));

    // G1 and the first key button (Esc) each flip their own entry's flag.
    model->KeyClicked(KeyButtonId::G(1));
    EXPECT_EQ(WorkingEntry(1, kGSlotBankA).selection, 1u);
    EXPECT_EQ(WorkingEntry(1, kGSlotBankA).extra, kGCodeBankA + 1); // the G code is kept
    EXPECT_EQ(WorkingEntry(1, kSlotEsc).selection, 0u);
    EXPECT_TRUE(model->ButtonState(KeyButtonId::G(1)).selectionFlag);
    EXPECT_FALSE(model->ButtonState(KeyButtonId::Key(0x01)).selectionFlag);
    // Every button with an entry shows its selection face; Fn has none to show.
    EXPECT_TRUE(model->ButtonState(KeyButtonId::G(1)).selectionFace);
    EXPECT_TRUE(model->ButtonState(KeyButtonId::Key(0x01)).selectionFace);
    EXPECT_FALSE(model->ButtonState(KeyButtonId::Fn()).selectionFace);
    EXPECT_TRUE(model->IsModified());
    model->KeyClicked(KeyButtonId::G(1));
    EXPECT_EQ(WorkingEntry(1, kGSlotBankA).selection, 0u);
    EXPECT_EQ(view.openedDialogs.size(), 2u);

    model->ToggleKeySelectionMode();
    EXPECT_EQ(view.switchCaption, core->Text().Text("MAIN_SWITCH_FUNCTION_TEXT"));
    EXPECT_FALSE(model->ButtonState(KeyButtonId::G(1)).selectionFace);
}

TEST_F(MainWindowModelTest, ButtonStateShowsTheActiveProfilesEntries) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    SetWorkingEntry(2, kGSlotBankA + 2, Disabled());

    const KeyButtonState a = model->ButtonState(KeyButtonId::Key(kScanA));
    EXPECT_TRUE(a.exists);
    EXPECT_TRUE(a.assigned);
    EXPECT_NE(a.caption.find(core->Text().Text("KEY_PROMPT_SET")), std::string::npos);
    EXPECT_FALSE(model->ButtonState(KeyButtonId::G(3)).assigned);
    EXPECT_EQ(model->ButtonState(KeyButtonId::G(3)).caption.rfind("G3", 0), 0u);
    EXPECT_FALSE(model->ButtonState(KeyButtonId::G(0)).exists);

    core->State().activeProfile.store(2);
    EXPECT_FALSE(model->ButtonState(KeyButtonId::Key(kScanA)).assigned);
    EXPECT_TRUE(model->ButtonState(KeyButtonId::G(3)).assigned);

    // Colours show only in lighting mode with the per-key effect.
    EXPECT_FALSE(model->ButtonState(KeyButtonId::Key(kScanA)).colour.has_value());
    ASSERT_TRUE(core->KeyColours().SetSwitch(true));
    const int position = core->Lighting().EffectIndex().PositionOf(20);
    ASSERT_GE(position, 0);
    core->Lighting().SelectEffect(position);
    EXPECT_TRUE(model->ButtonState(KeyButtonId::Key(kScanA)).colour.has_value());
    EXPECT_TRUE(model->ButtonState(KeyButtonId::Fn()).colour.has_value());
    EXPECT_FALSE(model->ButtonState(KeyButtonId::G(1)).colour.has_value());
}

TEST_F(MainWindowModelTest, RestoreDefaultsClearsOnlyTheActiveProfilesButtonsWhenAnsweredYes) {
    Arrive();
    for (std::size_t area = 0; area < 3; ++area) {
        for (const std::size_t slot : {kSlotA, kGSlotBankA + 4, kGSlotBankB}) {
            KeyEntry entry = WorkingEntry(area, slot);
            entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
            SetWorkingEntry(area, slot, entry);
        }
    }
    model->SetModified(true);
    ASSERT_TRUE(model->Apply());
    TakeLog();
    const std::vector<std::uint8_t> before = WorkingHeader();
    const std::vector<std::uint8_t> profile1Before = KeyMapOf(1);

    EXPECT_FALSE(model->RestoreDefaults()); // No
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, core->Text().Text("MAIN_PROMPT_DEFAULT"));
    EXPECT_EQ(ui.Messages()[0].buttons, MessageButtons::kYesNo);
    EXPECT_EQ(WorkingHeader(), before);
    EXPECT_FALSE(model->IsModified());
    EXPECT_TRUE(TakeLog().empty());

    ui.SetAnswers({MessageAnswer::kYes});
    EXPECT_TRUE(model->RestoreDefaults());
    FinishJob();
    EXPECT_EQ(WorkingEntry(0, kSlotA), KeyEntry{});
    KeyEntry g5;
    g5.extra = kGCodeBankA + 5;
    EXPECT_EQ(WorkingEntry(0, kGSlotBankA + 4), g5);
    EXPECT_EQ(WorkingEntry(0, kGSlotBankB).Type(), AssignmentType::kDisabled); // bank B has no button
    for (std::size_t area = 1; area < 3; ++area) {
        EXPECT_EQ(WorkingEntry(area, kSlotA).Type(), AssignmentType::kDisabled) << area;
        EXPECT_EQ(WorkingEntry(area, kGSlotBankA + 4).Type(), AssignmentType::kDisabled) << area;
    }
    // Applied: the keyboard's profile 0 has the buttons' keys back; the lighting was reset.
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDefault);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kGSlotBankA + 4).Type(), AssignmentType::kDefault);
    EXPECT_EQ(KeyMapOf(1), profile1Before);
    EXPECT_FALSE(model->IsModified());
    const auto lighting = keyboard.Lighting();
    EXPECT_EQ(std::vector<int>(lighting.begin(), lighting.begin() + 3), (std::vector<int>{1, 5, 2}));
}

TEST_F(MainWindowModelTest, ImportOfAnInvalidFileShowsBothMessagesAndChangesNothing) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    const std::vector<std::uint8_t> before = WorkingHeader();
    const std::filesystem::path bad = folder.Path() / "bad.fwc";
    {
        std::ofstream out(bad, std::ios::binary);
        out << std::string(40000, 'x');
    }

    EXPECT_FALSE(model->Import(bad));
    const std::vector<std::string> texts = ui.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], FormatText(core->Text().Text("PROFILE_FORMAT_ERROR"), bad.string()));
    EXPECT_EQ(texts[1], core->Text().Text("MAIN_PROMPT_INPORT"));
    EXPECT_EQ(WorkingHeader(), before);
    EXPECT_TRUE(TakeLog().empty());

    // A missing file: only the import message.
    ui.Clear();
    EXPECT_FALSE(model->Import(folder.Path() / "missing.fwc"));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{core->Text().Text("MAIN_PROMPT_INPORT")});
    EXPECT_EQ(WorkingHeader(), before);
}

TEST_F(MainWindowModelTest, ExportThenImportRestoresEveryProfileOnTheKeyboard) {
    Arrive();
    SetWorkingEntry(2, kSlotA, Disabled());
    const std::filesystem::path file = folder.Path() / "backup.fwc";
    std::string error;
    ASSERT_TRUE(model->Export(file, &error)) << error;
    EXPECT_TRUE(TakeLog().empty());

    SetWorkingEntry(2, kSlotA, KeyEntry{});
    model->SetModified(true);
    ASSERT_TRUE(model->Import(file));
    const std::vector<Frame> log = TakeLog();
    EXPECT_EQ(CountCommand(log, 8) >= 3, true); // all three key maps
    EXPECT_EQ(WorkingEntry(2, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 2, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_FALSE(model->IsModified());
    EXPECT_TRUE(ui.Messages().empty());

    // An import the keyboard refuses stays pending for Apply.
    keyboard.SetFaults({.failWrites = true});
    ASSERT_TRUE(model->Import(file));
    EXPECT_TRUE(model->IsModified());
}

TEST_F(MainWindowModelTest, FlipToggleRepairsOddStoredValues) {
    const struct {
        const char* stored;
        int shown;
        int next;
    } cases[] = {{"0", 0, 1}, {"1", 1, 0}, {"5", 0, 0}, {"-1", 0, 0}, {"abc", 0, 0}, {"", 0, 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(core->Settings().WriteString("PROFILES", "Flip", c.stored));
        EXPECT_EQ(model->FlipSetting(), c.shown) << c.stored;
        EXPECT_EQ(model->ToggleFlip(), c.next) << c.stored;
        EXPECT_EQ(view.flip, c.next) << c.stored;
        EXPECT_EQ(core->Settings().ReadString("PROFILES", "Flip", "?"), std::to_string(c.next)) << c.stored;
    }
    // Missing entry: reads 0, toggles to 1.
    const TempFolder other;
    std::filesystem::remove(core->Settings().Path());
    EXPECT_EQ(model->FlipSetting(), 0);
    EXPECT_EQ(model->ToggleFlip(), 1);
}

TEST_F(MainWindowModelTest, FlipSettingOfOneDisablesTheKeysF1ToF4) {
    const auto enabledKeys = [&] {
        std::vector<ScanCode> codes;
        for (const ScanCode code : {0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x01}) {
            if (model->ButtonState(KeyButtonId::Key(code)).enabled) {
                codes.push_back(code);
            }
        }
        return codes;
    };
    const std::vector<ScanCode> all{0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x01};
    EXPECT_EQ(enabledKeys(), all);

    const int refreshes = view.keyRefreshes;
    ASSERT_EQ(model->ToggleFlip(), 1);
    EXPECT_GT(view.keyRefreshes, refreshes);
    EXPECT_EQ(enabledKeys(), (std::vector<ScanCode>{0x3F, 0x01}));
    EXPECT_TRUE(model->ButtonState(KeyButtonId::G(1)).enabled);
    EXPECT_TRUE(model->ButtonState(KeyButtonId::Fn()).enabled);

    // A stored value the window does not know shows as 0 once it is read again.
    ASSERT_TRUE(core->Settings().WriteString("PROFILES", "Flip", "5"));
    model->ShowFlip();
    EXPECT_EQ(view.flip, 0);
    EXPECT_EQ(enabledKeys(), all);
}

TEST_F(MainWindowModelTest, PreviewPaintsTheSelectedEffectAndStartsAfreshOnEverySelection) {
    Arrive();
    LightingModel& lighting = core->Lighting();
    lighting.SetColour({255, 255, 255});
    lighting.SetDirection(true);
    lighting.SelectEffect(lighting.EffectIndex().PositionOf(1));

    model->PreviewTick(); // lighting switch off: no preview
    EXPECT_EQ(view.paints, 0);

    ASSERT_TRUE(core->KeyColours().SetSwitch(true));
    // Effect 1 in single colour: column 0 (Left Shift) shows white at the wave's level of the
    // phase, which moves by 7 a frame.
    const auto leftShift = [&]() -> std::optional<Rgb> {
        for (const KeyButtonColour& entry : view.painted) {
            if (entry.button == KeyButtonId::Key(0x2A)) {
                return entry.colour;
            }
        }
        return std::nullopt;
    };
    model->PreviewTick();
    // One colour per key the preview lights (Fn among them); the G buttons have no light.
    EXPECT_EQ(view.painted.size(), kPreviewKeyCount);
    EXPECT_TRUE(std::none_of(view.painted.begin(), view.painted.end(), [](const KeyButtonColour& entry) {
        return entry.button.kind == KeyButtonId::Kind::kGKey;
    }));
    EXPECT_EQ(leftShift(), (Rgb{42, 42, 42}));
    model->PreviewTick();
    EXPECT_EQ(leftShift(), (Rgb{69, 69, 69}));

    // Selecting the effect already shown starts it from its first frame again.
    lighting.SelectEffect(lighting.EffectIndex().PositionOf(1));
    model->PreviewTick();
    EXPECT_EQ(leftShift(), (Rgb{42, 42, 42}));
    // Without a selection the animation goes on.
    model->PreviewTick();
    EXPECT_EQ(leftShift(), (Rgb{69, 69, 69}));

    // Effects without a preview clear every button, the G buttons included.
    lighting.SelectEffect(lighting.EffectIndex().PositionOf(7));
    model->PreviewTick();
    EXPECT_EQ(view.painted.size(), AllKeyButtons().size());
    EXPECT_TRUE(std::all_of(view.painted.begin(), view.painted.end(),
                            [](const KeyButtonColour& entry) { return !entry.colour.has_value(); }));

    // The per-key effect shows the keys' own colours: the buttons are redrawn, not painted.
    lighting.SelectEffect(lighting.EffectIndex().PositionOf(20));
    const int paints = view.paints;
    const int refreshes = view.keyRefreshes;
    model->PreviewTick();
    EXPECT_EQ(view.paints, paints);
    EXPECT_GT(view.keyRefreshes, refreshes);
}

TEST_F(MainWindowModelTest, LanguageChangeLoadsTheLightingAgain) {
    Arrive();
    // The keyboard's lighting changed without the program hearing of it.
    auto area = keyboard.Lighting();
    area[0] = 12;
    keyboard.SetLighting(area);
    const int panels = view.panelRefreshes;

    EXPECT_EQ(model->OnMessage(MSG_LANGUAGE, kCodeLang, 0), 1);
    EXPECT_EQ(core->Lighting().State().effect, 12);
    EXPECT_GT(view.panelRefreshes, panels);
    EXPECT_EQ(CountCommand(TakeLog(), 5), 3); // the three lighting blocks
}

TEST_F(MainWindowModelTest, OpenNeedsAKeyboardAndMessagesCheckTheirCodes) {
    // No keyboard: the prompt with an empty caption, the window stays hidden.
    EXPECT_EQ(model->OnMessage(MSG_OPEN, kCodeOpen, 0), 1);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, core->Text().Text("MAIN_NO_DEVICE_PROMPT"));
    EXPECT_EQ(ui.Messages()[0].caption, "");
    EXPECT_FALSE(view.shown);
    EXPECT_TRUE(model->TrayCommand(kCommandTrayOpen));
    EXPECT_EQ(ui.Messages().size(), 2u);

    // Every message with a wrong code is left alone.
    const std::uint32_t messages[] = {MSG_OPEN, MSG_KILL, MSG_INIT, MSG_PROFILE_SYNC, MSG_DEVICE_LOST, MSG_LANGUAGE};
    for (const std::uint32_t message : messages) {
        EXPECT_EQ(model->OnMessage(message, 0x12345678, 0), 0) << message;
    }
    EXPECT_EQ(model->OnMessage(0x1234, kCodeOpen, 0), 0);
    EXPECT_EQ(ui.Messages().size(), 2u);
    EXPECT_FALSE(view.ended);
    EXPECT_FALSE(model->StartupFinished());
    EXPECT_EQ(view.closeSubDialogs, 0);
    EXPECT_TRUE(TakeLog().empty());

    Arrive();
    EXPECT_EQ(model->OnMessage(MSG_OPEN, kCodeOpen, 0), 1);
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(ui.Messages().empty());

    EXPECT_EQ(model->OnMessage(MSG_INIT, kCodeInit, 0), 1);
    EXPECT_TRUE(model->StartupFinished());
    EXPECT_FALSE(view.shown);
    EXPECT_GT(view.menuRefreshes, 0);

    EXPECT_EQ(model->OnMessage(MSG_DEVICE_LOST, 0, 0), 1);
    EXPECT_EQ(view.closeSubDialogs, 1);
}

TEST_F(MainWindowModelTest, CloseSequenceStopsWhenADialogRefusesAndFreesTheImagesOtherwise) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    view.ShowWindow();

    view.subDialogsClose = false;
    EXPECT_EQ(model->OnMessage(MSG_KILL, kCodeKill, 0), 1);
    EXPECT_FALSE(view.shown);
    EXPECT_FALSE(view.ended);
    EXPECT_TRUE(model->IsModified());
    EXPECT_EQ(WorkingEntry(0, kSlotA).Type(), AssignmentType::kDisabled);

    view.subDialogsClose = true;
    EXPECT_TRUE(model->TrayCommand(kCommandTrayExit));
    EXPECT_TRUE(view.ended);
    EXPECT_FALSE(model->IsModified());
    EXPECT_FALSE(view.applyEnabled);
    EXPECT_EQ(WorkingHeader(), std::vector<std::uint8_t>(kHeaderBlockSize, 0));
    std::lock_guard lock(core->Snapshot().lock);
    EXPECT_TRUE(core->Snapshot().pool.empty());
    EXPECT_TRUE(core->Snapshot().image.macros.empty());
    EXPECT_TRUE(TakeLog().empty());
}

TEST_F(MainWindowModelTest, ArrivalReadsTheKeyboardIntoTheWorkingImage) {
    Arrive();
    // Put a disabled A key into the keyboard's profile 2, then forget it locally.
    ASSERT_TRUE(core->Profiles().SetActiveProfile(2));
    SetWorkingEntry(2, kSlotA, Disabled());
    model->SetModified(true);
    ASSERT_TRUE(model->Apply());
    SetWorkingEntry(2, kSlotA, KeyEntry{});
    model->SetModified(true);

    // It comes back with profile 1 active, as after an unplug.
    auto info = keyboard.Info();
    info[10] = 1;
    keyboard.SetInfo(info);
    core->State().activeProfile.store(-1);
    EXPECT_EQ(model->OnMessage(MSG_PROFILE_SYNC, kCodeProf, 0), 1);

    EXPECT_EQ(WorkingEntry(2, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(core->State().activeProfile.load(), 1);
    EXPECT_EQ(view.profileButton, 1);
    EXPECT_EQ(core->Lighting().State().profile, 1);
    EXPECT_FALSE(model->IsModified());
    EXPECT_FALSE(view.applyEnabled);
    ASSERT_EQ(model->Menu().Entries().size(), 5u);
    EXPECT_TRUE(model->Menu().Entries()[3].checked);
    EXPECT_EQ(model->Menu().ButtonCaption(), "$Profile0");
}

TEST_F(MainWindowModelTest, KeyboardSettingsResetClearsEveryProfilesButtons) {
    Arrive();
    for (std::size_t area = 0; area < 4; ++area) {
        SetWorkingEntry(area, kSlotA, Disabled());
    }
    ASSERT_TRUE(core->KeyColours().SetSwitch(true));

    EXPECT_TRUE(model->OnTimer(kTimerSettingsReset));
    FinishJob();
    for (std::size_t area = 0; area < 3; ++area) {
        EXPECT_EQ(WorkingEntry(area, kSlotA), KeyEntry{}) << area;
    }
    EXPECT_EQ(WorkingEntry(3, kSlotA).Type(), AssignmentType::kDisabled); // the carried area has no buttons
    EXPECT_TRUE(model->IsModified());
    EXPECT_FALSE(core->KeyColours().SwitchOn());

    EXPECT_TRUE(model->OnTimer(kTimerLightingReload));
    EXPECT_FALSE(model->OnTimer(kTimerBusy));
    EXPECT_FALSE(model->OnTimer(kTimerPreview));
}

TEST_F(MainWindowModelTest, KeyboardSettingsResetTakesTheKeyboardsProfileBeforeItsLighting) {
    Arrive();
    ASSERT_EQ(core->State().activeProfile.load(), 0);
    // After its reset the keyboard is on profile 2, whose block differs from profile 0's.
    auto area = keyboard.Lighting();
    area[2 * kLightingBlock + 0] = 12;
    area[2 * kLightingBlock + 1] = 3;
    keyboard.SetLighting(area);
    auto info = keyboard.Info();
    info[10] = 2;
    keyboard.SetInfo(info);
    const int keyRefreshes = view.keyRefreshes;

    EXPECT_TRUE(model->OnTimer(kTimerSettingsReset));
    FinishJob();
    EXPECT_EQ(core->State().activeProfile.load(), 2);
    EXPECT_EQ(view.profileButton, 2);
    ASSERT_EQ(model->Menu().Entries().size(), 5u);
    EXPECT_TRUE(model->Menu().Entries()[4].checked);
    EXPECT_GT(view.keyRefreshes, keyRefreshes);
    const LightingState& state = core->Lighting().State();
    EXPECT_EQ(state.profile, 2);
    EXPECT_EQ(state.effect, 12);
    EXPECT_EQ(state.brightness, 3);

    // The next lighting write goes to the block the panel shows.
    core->Lighting().SetBrightness(4);
    EXPECT_EQ(keyboard.Lighting()[2 * kLightingBlock + 1], 4);
    EXPECT_EQ(keyboard.Lighting()[1], 5);
}

} // namespace brasslane::test

namespace brasslane::test {

TEST_F(MainWindowModelTest, LightingModeClicksPaintKeysInsteadOfOpeningTheDialog) {
    Arrive();
    EXPECT_TRUE(model->SetLightingSwitch(true));
    FinishJob();
    EXPECT_EQ(Commands(TakeLog()), (std::vector<int>{3, 4}));
    core->Lighting().SelectEffect(core->Lighting().EffectIndex().PositionOf(20));
    TakeLog();

    model->KeyClicked(KeyButtonId::Key(kScanA));
    model->KeyClicked(KeyButtonId::Fn());
    EXPECT_EQ(CountCommand(TakeLog(), 17), 2);
    model->KeyClicked(KeyButtonId::G(1)); // G keys carry no colour
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_TRUE(view.openedDialogs.empty());

    EXPECT_TRUE(model->SetLightingSwitch(false));
    model->KeyClicked(KeyButtonId::Key(kScanA));
    EXPECT_EQ(view.openedDialogs.size(), 1u);
}

// The device threads deliver inline to the model, as brasslanectl's sink does.
class InlineUi : public RecordingUiSink {
public:
    std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        MainWindowModel* target = model.load();
        return target != nullptr ? target->OnMessage(message, wParam, lParam) : 0;
    }
    void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        Send(message, wParam, lParam);
    }
    std::atomic<MainWindowModel*> model{nullptr};
};

TEST(AppCoreTest, StartedThreadsBringTheKeyboardInAndStopJoinsThem) {
    TempFolder folder;
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend(keyboard);
    InlineUi ui;
    RecordingView view;
    AppCore core(MakeOptions(folder.Path()), backend, ui);
    MainWindowModel model(core, view);
    ui.model = &model;

    core.Start();
    EXPECT_TRUE(core.Monitor().IsRunning());
    for (int i = 0; i < 300 && !std::filesystem::exists(core.Profiles().ProfileCacheFile()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (int i = 0; i < 300 && core.Connection().publishedState.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    core.Stop();
    EXPECT_FALSE(core.Monitor().IsRunning());
    EXPECT_FALSE(core.Listener().IsRunning());
    core.Stop();

    EXPECT_EQ(core.Connection().publishedState.load(), 1);
    EXPECT_EQ(view.profileButton, 0);
    EXPECT_TRUE(view.shown); // the first arrival opens the window
    EXPECT_TRUE(std::filesystem::exists(core.Paths().UserModeFile(0)));
}

} // namespace brasslane::test
