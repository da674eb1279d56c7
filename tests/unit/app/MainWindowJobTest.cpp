// The main window's long jobs on the worker thread: an apply, an import, a backup, a profile
// switch and the keyboard's settings reset run off the calling thread, report their end only through the UiSink, say
// plainly what failed, and make whatever comes in meanwhile (a close, a keyboard arrival, the keyboard's notifications)
// wait for their end.

#include "AppTestSupport.h"

#include "core/app/AutoProfileSwitcher.h"
#include "core/app/BackgroundJob.h"
#include "core/base/Messages.h"
#include "core/keys/KeyEntry.h"
#include "core/keys/MacroBlob.h"

#include <chrono>
#include <fstream>
#include <thread>

namespace brasslane::test {

namespace {

constexpr std::size_t kSlotA = 0x1E;

KeyEntry Disabled() {
    KeyEntry entry;
    entry.type = static_cast<std::uint16_t>(AssignmentType::kDisabled);
    return entry;
}

class JobView : public RecordingView {
public:
    void SetJobRunning(bool running) override {
        jobRunning = running;
        ++jobChanges;
    }
    bool jobRunning = false;
    int jobChanges = 0;
};

class MainWindowJobTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // The fixture's model reports to a view without the job hook; this one records it.
        model = std::make_unique<MainWindowModel>(*core, jobView);
    }

    // Fills the working image with macros until their area nearly fills the keyboard's macro
    // capacity.
    void FillMacroArea() {
        std::lock_guard lock(core->Working().lock);
        auto& macros = core->Working().image.macros;
        const std::size_t capacity = core->Connection().macroCapacity.load();
        ASSERT_GT(capacity, 0u);
        // Each step takes 4 bytes of the area: the steps are counted, not added one by one.
        for (std::uint16_t id = 1; id <= 100 && MacroBlobSize(macros).withNames + 64 <= capacity; ++id) {
            MacroBlock macro;
            macro.id = id;
            macro.name = u"m";
            macros.push_back(macro);
            const std::size_t room = capacity - 8 - MacroBlobSize(macros).withNames;
            const std::size_t steps = std::min<std::size_t>(room / 4, 4000);
            for (std::size_t i = 0; i < steps; ++i) {
                macros.back().steps.push_back({10, 0x1E, static_cast<std::uint16_t>(i % 2)});
            }
        }
    }

    JobView jobView;
};

} // namespace

TEST_F(MainWindowJobTest, ApplyOfAFullMacroAreaRunsOnTheWorkerWithProgress) {
    Arrive();
    FillMacroArea();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    keyboard.SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});

    const std::thread::id caller = std::this_thread::get_id();
    ASSERT_TRUE(model->StartApply());
    // Back at once: the write is still going on behind it, and nothing else may start.
    EXPECT_TRUE(model->JobRunning());
    EXPECT_TRUE(jobView.jobRunning);
    EXPECT_EQ(jobView.busy, (std::vector<bool>{true}));
    EXPECT_FALSE(model->StartApply());
    EXPECT_FALSE(model->Apply());

    // The progress counts up towards a total that covers the whole macro area.
    LinkProgress seen;
    std::uint32_t steps = 0;
    for (int i = 0; i < 2000 && !model->Progress().total; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int i = 0; i < 20000; ++i) {
        const LinkProgress now = model->Progress();
        if (now.total == 0) {
            break;
        }
        EXPECT_LE(now.done, now.total);
        if (now.done != seen.done) {
            ++steps;
        }
        seen = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::size_t capacity = core->Connection().macroCapacity.load();
    EXPECT_GE(seen.total, capacity / kFramePayload);
    EXPECT_GT(steps, 5u);

    FinishJob();
    // The end arrived through the sink, posted by another thread.
    for (const UiEvent& event : ui.Events()) {
        if (event.kind == UiEvent::Kind::kPost && event.message == MSG_JOB_DONE) {
            EXPECT_NE(event.thread, caller);
        }
    }
    EXPECT_FALSE(model->JobRunning());
    EXPECT_FALSE(jobView.jobRunning);
    EXPECT_EQ(jobView.busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(model->IsModified());
    EXPECT_FALSE(jobView.applyEnabled);
    EXPECT_TRUE(ui.Texts().empty());
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(model->Progress().total, 0u);
}

TEST_F(MainWindowJobTest, ARefusedWriteIsSaidPlainlyAndOkKeepsTheWindowOpen) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    jobView.ShowWindow();

    // The keyboard refuses the key map: the message names it, Apply stays lit, OK does not hide.
    keyboard.SetFaults({.refusedCommand = 8});
    model->Ok();
    FinishJob();
    EXPECT_TRUE(jobView.shown);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(jobView.applyEnabled);
    EXPECT_EQ(model->LastWrite().failure, WriteFailure::kKeyMap);
    ASSERT_EQ(ui.Texts().size(), 1u);
    EXPECT_NE(ui.Texts()[0].find("the key map of profile 1"), std::string::npos) << ui.Texts()[0];
    EXPECT_NE(ui.Texts()[0].find("not written into the keyboard"), std::string::npos) << ui.Texts()[0];

    // The macro area refused: named as such.
    ui.Clear();
    keyboard.SetFaults({.refusedCommand = 10});
    ASSERT_TRUE(model->StartApply());
    FinishJob();
    ASSERT_EQ(ui.Texts().size(), 1u);
    EXPECT_NE(ui.Texts()[0].find("the macro area"), std::string::npos) << ui.Texts()[0];

    // Once the keyboard takes it, OK applies and hides.
    ui.Clear();
    keyboard.SetFaults({});
    model->Ok();
    FinishJob();
    EXPECT_FALSE(jobView.shown);
    EXPECT_FALSE(model->IsModified());
    EXPECT_TRUE(ui.Texts().empty());
}

TEST_F(MainWindowJobTest, TheKeyboardLeavingDuringAWriteNamesWhereTheWriteStopped) {
    Arrive();
    FillMacroArea();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    keyboard.SetFaults({.unplugAfter = 20});
    ASSERT_TRUE(model->StartApply());
    FinishJob();
    // No connection monitor runs here to notice the unplug: the write names the part it lost.
    EXPECT_EQ(model->LastWrite().failure, WriteFailure::kMacroArea);
    ASSERT_EQ(ui.Texts().size(), 1u);
    EXPECT_NE(ui.Texts()[0].find("the macro area"), std::string::npos) << ui.Texts()[0];
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(jobView.applyEnabled);
}

TEST_F(MainWindowJobTest, ACloseDuringAWriteEndsTheProgramWhenTheWriteHasEnded) {
    Arrive();
    FillMacroArea();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    keyboard.SetFaults({.latencyPerReport = std::chrono::microseconds(300)});
    ASSERT_TRUE(model->StartApply());

    // A close, a keyboard arrival and the keyboard's own reset come in while it writes: none
    // waits for the worker here, and none runs before the write has ended.
    EXPECT_FALSE(model->CloseSequence());
    EXPECT_FALSE(jobView.ended);
    EXPECT_EQ(model->OnMessage(MSG_PROFILE_SYNC, kCodeProf, 0), 1);
    EXPECT_TRUE(model->OnTimer(kTimerSettingsReset));
    EXPECT_FALSE(jobView.ended);

    FinishJob();
    EXPECT_TRUE(jobView.ended);
    EXPECT_FALSE(model->JobRunning());
    // What the keyboard got is the whole write.
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
}

TEST_F(MainWindowJobTest, ImportAndBackupRunOnTheWorkerAndSayWhyTheyFailed) {
    Arrive();
    SetWorkingEntry(0, kSlotA, Disabled());
    const std::filesystem::path file = folder.Path() / "backup.fwc";
    ASSERT_TRUE(model->StartExport(file));
    FinishJob();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_TRUE(ui.Texts().empty());

    // A backup into a folder that is not there: the user's words first, the detail after.
    ASSERT_TRUE(model->StartExport(folder.Path() / "missing" / "backup.fwc"));
    FinishJob();
    ASSERT_EQ(ui.Texts().size(), 1u);
    EXPECT_EQ(ui.Texts()[0].rfind("The backup was not saved: the folder ", 0), 0u) << ui.Texts()[0];
    EXPECT_NE(ui.Texts()[0].find("does not exist"), std::string::npos) << ui.Texts()[0];

    // The backup comes back through an import, written into all three key maps.
    ui.Clear();
    SetWorkingEntry(0, kSlotA, KeyEntry{});
    TakeLog();
    ASSERT_TRUE(model->StartImport(file));
    FinishJob();
    EXPECT_TRUE(ui.Texts().empty());
    EXPECT_EQ(WorkingEntry(0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_GE(CountCommand(TakeLog(), 8), 3);
    EXPECT_FALSE(model->IsModified());

    // A file that is no profile file changes nothing.
    const std::filesystem::path junk = folder.Path() / "junk.fwc";
    { std::ofstream(junk) << std::string(100, 'x'); }
    ASSERT_TRUE(model->StartImport(junk));
    FinishJob();
    EXPECT_EQ(ui.Texts().back(), core->Text().Text("MAIN_PROMPT_INPORT"));
    EXPECT_EQ(WorkingEntry(0, kSlotA).Type(), AssignmentType::kDisabled);
}

TEST_F(MainWindowJobTest, ASetClockRunsTheApplyFlow) {
    Arrive();
    // Nothing pending: the busy indicator comes and goes, nothing is sent.
    model->ClockChanged();
    EXPECT_FALSE(model->JobRunning());
    EXPECT_EQ(jobView.busy, (std::vector<bool>{true, false}));
    EXPECT_TRUE(TakeLog().empty());

    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    model->ClockChanged();
    EXPECT_TRUE(model->JobRunning());
    FinishJob();
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
}

TEST_F(MainWindowJobTest, ASwitchWithPendingEditsWritesThemIntoThePreviousProfileOnTheWorker) {
    Arrive();
    FillMacroArea();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kYes});
    keyboard.SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});
    const AutoProfileHooks autoHooks = MainWindowAutoProfileHooks(*model, jobView, *core, {});
    EXPECT_FALSE(autoHooks.dialogOpen());

    const int shownBefore = jobView.profileButton;
    const std::thread::id caller = std::this_thread::get_id();
    ASSERT_TRUE(model->ProfileButton(1));
    // The question came first, on this thread; the write goes on behind the returned call.
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, core->Text().Text("PROFILE_SELECT_PROMPT"));
    for (const UiEvent& event : ui.Events()) {
        if (event.kind == UiEvent::Kind::kMessage) {
            EXPECT_EQ(event.thread, caller);
        }
    }
    EXPECT_TRUE(model->JobRunning());
    EXPECT_TRUE(jobView.jobRunning);
    EXPECT_EQ(jobView.busy, (std::vector<bool>{true}));
    // Nothing else starts meanwhile, and an automatic switch waits as it does for a dialog.
    EXPECT_FALSE(model->ProfileButton(2));
    EXPECT_FALSE(model->StartSwitch(2));
    EXPECT_TRUE(autoHooks.dialogOpen());

    // This thread stays free: it watches the write's progress while it goes on.
    std::uint32_t steps = 0;
    LinkProgress seen;
    for (int i = 0; i < 2000 && !model->Progress().total; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int i = 0; i < 20000 && model->Progress().total; ++i) {
        const LinkProgress now = model->Progress();
        steps += now.done != seen.done ? 1 : 0;
        seen = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GT(steps, 5u);
    // The window shows the switch only when its end has come through the sink.
    EXPECT_EQ(jobView.profileButton, shownBefore);

    FinishJob();
    for (const UiEvent& event : ui.Events()) {
        if (event.kind == UiEvent::Kind::kPost && event.message == MSG_JOB_DONE) {
            EXPECT_NE(event.thread, caller);
        }
    }
    const std::vector<int> commands = Commands(TakeLog());
    const auto keyMapWrite = std::find(commands.begin(), commands.end(), 8);
    const auto profileWrite = std::find(commands.begin(), commands.end(), 4);
    ASSERT_NE(keyMapWrite, commands.end());
    ASSERT_NE(profileWrite, commands.end());
    EXPECT_LT(keyMapWrite, profileWrite);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 1, kSlotA).Type(), AssignmentType::kDefault);
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_EQ(core->State().activeProfile.load(), 1);
    EXPECT_EQ(jobView.profileButton, 1);
    EXPECT_TRUE(model->Menu().Entries()[3].checked);
    EXPECT_FALSE(model->IsModified());
    EXPECT_FALSE(jobView.applyEnabled);
    EXPECT_FALSE(model->JobRunning());
    EXPECT_FALSE(jobView.jobRunning);
    EXPECT_EQ(jobView.busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(autoHooks.dialogOpen());
}

TEST_F(MainWindowJobTest, ASwitchWhoseEditsCannotBeWrittenSwitchesNothing) {
    Arrive();
    // Refused before any job: the key dialog is open.
    jobView.keyDialogOpen = true;
    EXPECT_FALSE(model->ProfileButton(1));
    EXPECT_FALSE(model->JobRunning());
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{core->Text().Text("PROFILE_SEELCT_PROMPT2")});
    jobView.keyDialogOpen = false;

    // No: the edits are dropped before the job, which then only switches.
    ui.Clear();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kNo});
    TakeLog();
    ASSERT_TRUE(model->ProfileButton(1));
    EXPECT_FALSE(model->IsModified());
    EXPECT_EQ(WorkingEntry(0, kSlotA), KeyEntry{});
    FinishJob();
    EXPECT_EQ(CountCommand(TakeLog(), 8), 0);
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_EQ(jobView.profileButton, 1);

    // Yes, but the keyboard refuses the key map: said as an apply's failure, the edits stay
    // pending in profile 2 (shown as 1), and the keyboard and the window stay on it. (The
    // recorder is not cleared: the job ends are counted.)
    SetWorkingEntry(1, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kYes});
    keyboard.SetFaults({.refusedCommand = 8});
    bool taken = true;
    ASSERT_TRUE(model->StartSwitch(2, [&taken](bool ok) { taken = ok; }));
    FinishJob();
    keyboard.SetFaults({});
    EXPECT_FALSE(taken);
    ASSERT_FALSE(ui.Texts().empty());
    EXPECT_NE(ui.Texts().back().find("the key map of profile 2"), std::string::npos) << ui.Texts().back();
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(jobView.applyEnabled);
    EXPECT_EQ(WorkingEntry(1, kSlotA).Type(), AssignmentType::kDisabled);
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
    EXPECT_EQ(core->State().activeProfile.load(), 1);
}

TEST_F(MainWindowJobTest, ACloseDuringASwitchEndsTheProgramWhenTheSwitchHasEnded) {
    Arrive();
    FillMacroArea();
    SetWorkingEntry(0, kSlotA, Disabled());
    model->SetModified(true);
    ui.SetAnswers({MessageAnswer::kYes});
    keyboard.SetFaults({.latencyPerReport = std::chrono::microseconds(300)});
    ASSERT_TRUE(model->ProfileButton(2));

    EXPECT_FALSE(model->CloseSequence());
    EXPECT_TRUE(model->OnTimer(kTimerSettingsReset));
    EXPECT_FALSE(jobView.ended);
    FinishJob();
    // The close came first after the job: the keyboard's reset, of no use now, starts nothing.
    EXPECT_TRUE(jobView.ended);
    EXPECT_FALSE(model->JobRunning());
    EXPECT_EQ(keyboard.ActiveProfile(), 2);
    EXPECT_EQ(DecodedKeyboardEntry(keyboard, 0, kSlotA).Type(), AssignmentType::kDisabled);
}

TEST_F(MainWindowJobTest, TheModelGoingAwayDuringASwitchWaitsForTheWorker) {
    Arrive();
    keyboard.SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});
    ASSERT_TRUE(model->StartSwitch(1));
    model.reset();
    EXPECT_EQ(keyboard.ActiveProfile(), 1);
}

TEST_F(MainWindowJobTest, TheKeyboardsSettingsResetRunsOnTheWorker) {
    Arrive();
    SetWorkingEntry(1, kSlotA, Disabled());
    ASSERT_TRUE(core->KeyColours().SetSwitch(true));
    auto info = keyboard.Info();
    info[10] = 1;
    keyboard.SetInfo(info);
    keyboard.SetFaults({.latencyPerReport = std::chrono::milliseconds(1)});

    EXPECT_TRUE(model->OnTimer(kTimerSettingsReset));
    // Lighting mode ends at once; the keyboard is read behind the returned call.
    EXPECT_FALSE(core->KeyColours().SwitchOn());
    EXPECT_TRUE(model->JobRunning());
    EXPECT_TRUE(jobView.jobRunning);
    EXPECT_FALSE(model->ProfileButton(2));
    // A language change reloads the lighting the worker is reading: after the job.
    const int menus = jobView.menuRefreshes;
    EXPECT_EQ(model->OnMessage(MSG_LANGUAGE, kCodeLang, 0), 1);
    EXPECT_EQ(jobView.menuRefreshes, menus);
    FinishJob();
    EXPECT_GE(jobView.menuRefreshes, menus + 2); // the reset's own rebuild and the language's
    EXPECT_EQ(WorkingEntry(1, kSlotA), KeyEntry{});
    EXPECT_EQ(core->State().activeProfile.load(), 1);
    EXPECT_EQ(jobView.profileButton, 1);
    EXPECT_TRUE(model->IsModified());
    EXPECT_TRUE(jobView.applyEnabled);
    EXPECT_FALSE(jobView.jobRunning);
}

TEST(BackgroundJobTest, ProgressTextAndBackupReasons) {
    EXPECT_EQ(ProgressText({}), "");
    EXPECT_EQ(ProgressText({37, 240}), "37 / 240");

    TempFolder folder{"brasslane-job-"};
    EXPECT_NE(BackupFailureReason(folder.Path() / "none" / "x.fwc", "").find("does not exist"), std::string::npos);
    std::filesystem::create_directories(folder.Path() / "dir.fwc");
    EXPECT_NE(BackupFailureReason(folder.Path() / "dir.fwc", "raw").find("is a folder. Details: raw"),
              std::string::npos);
}

} // namespace brasslane::test
