#include "core/app/MainWindowModel.h"

#include "core/base/Keyboard.h"
#include "core/app/SessionCore.h"
#include "core/base/Messages.h"
#include "core/lighting/KeyColourTable.h"
#include "core/lighting/PreviewTables.h"

#include "core/resources/Language.h"

#include <charconv>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace brasslane {

namespace {

constexpr int kPerKeyEffect = 20;
constexpr std::string_view kFlipKey = "Flip";

// The colour index of a button in lighting mode; -1 for buttons without a colour (G keys).
int ColourIndexOf(KeyButtonId button) {
    switch (button.kind) {
    case KeyButtonId::Kind::kKey:
        return KeyColourIndexOf(button.scanCode);
    case KeyButtonId::Kind::kFn:
        return kFnColourIndex;
    case KeyButtonId::Kind::kGKey:
        break;
    }
    return -1;
}

// The stored flip text as a number; nullopt when it is not a whole number.
std::optional<long long> ParseFlip(const std::string& text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

MainWindowModel::MainWindowModel(SessionCore& core, MainWindowView& view)
    : m_core(core), m_view(view), m_switch(core.Profiles(), core.Working(), core.Ui(), core.Text(), m_managerFlags,
                                           ProfileSwitchHooks{
                                               [this] { return m_view.IsKeyDialogOpen(); },
                                               [this] { return m_modified; },
                                               [this] { SetModified(false); },
                                               [this] { return Apply(); },
                                               [this](int) { m_view.RefreshKeyButtons(); },
                                               [this] { RebuildProfileMenu(); },
                                           }),
      m_job(core.Ui()) {
    m_core.Profiles().SetSyncHooks(ProfileSyncHooks{
        [this](int) { m_view.RefreshKeyButtons(); },
        [this] { SetModified(false); },
    });
    m_flip = FlipSetting();
}

MainWindowModel::~MainWindowModel() {
    // The worker writes this model's members: it ends before any of them goes.
    m_job.Finish();
    m_core.Profiles().SetSyncHooks({});
}

std::optional<std::size_t> MainWindowModel::RecordOf(KeyButtonId button) {
    const std::optional<std::size_t> slot = ButtonSlot(button);
    if (!slot) {
        return std::nullopt;
    }
    const int active = m_core.State().activeProfile.load();
    const std::size_t area = active >= 0 && active < kProfileCount ? static_cast<std::size_t>(active) : 0;
    return RecordIndex(area, *slot);
}

KeyButtonState MainWindowModel::ButtonState(KeyButtonId button) {
    KeyButtonState state;
    if (!IsKeyButton(button)) {
        return state;
    }
    state.exists = true;
    state.enabled = !FlipDisables(button, m_flip);
    if (const std::optional<std::size_t> record = RecordOf(button)) {
        WorkingImage& working = m_core.Working();
        std::lock_guard lock(working.lock);
        const KeyEntry entry = working.image.Entry(*record);
        state.assigned = entry.type != 0;
        state.selectionFlag = entry.selection != 0;
        state.selectionFace = KeySelectionMode();
        state.caption = ButtonCaption(button, entry, working.image.macros, m_core.Text());
    }
    if (PerKeyShown()) {
        const int index = ColourIndexOf(button);
        if (index >= 0) {
            state.colour = m_core.Lighting().KeyColours().Get(m_core.Lighting().State().profile, index);
        }
    }
    return state;
}

void MainWindowModel::SetModified(bool modified) {
    m_modified = modified;
    m_view.SetApplyEnabled(modified);
}

bool MainWindowModel::KeySelectionMode() const {
    return m_core.State().keySelectionMode.load();
}

bool MainWindowModel::LightingSwitchOn() const {
    return m_core.KeyColours().SwitchOn();
}

bool MainWindowModel::PerKeyShown() const {
    return m_core.KeyColours().SwitchOn() && m_core.Lighting().State().effect == kPerKeyEffect;
}

int MainWindowModel::FlipSetting() const {
    const std::string text = m_core.Settings().ReadString(SettingsStore::kProfilesSection, kFlipKey, "0");
    return ParseFlip(text) == 1 ? 1 : 0;
}

void MainWindowModel::ShowFlip() {
    m_flip = FlipSetting();
    m_view.SetFlip(m_flip);
    m_view.RefreshKeyButtons();
}

int MainWindowModel::ToggleFlip() {
    const std::string text = m_core.Settings().ReadString(SettingsStore::kProfilesSection, kFlipKey, "0");
    const std::optional<long long> stored = ParseFlip(text);
    // Only a clean 0 becomes 1; 1 and anything unexpected become 0, repairing the entry.
    const int next = stored == 0 ? 1 : 0;
    if (!m_core.Settings().WriteString(SettingsStore::kProfilesSection, kFlipKey, std::to_string(next))) {
        ShowFlip();
        return m_flip;
    }
    m_flip = next;
    m_view.SetFlip(m_flip);
    m_view.RefreshKeyButtons();
    return m_flip;
}

void MainWindowModel::PreviewTick() {
    if (!m_core.KeyColours().SwitchOn()) {
        return;
    }
    const LightingModel& lighting = m_core.Lighting();
    // Every selection starts the preview afresh, also one of the effect already shown.
    if (lighting.EffectSelections() != m_previewSelections) {
        m_previewSelections = lighting.EffectSelections();
        m_preview.RequestReset();
    }
    const LightingState& state = lighting.State();
    PreviewInput input;
    input.effect = state.effect;
    input.colourful = state.colourful;
    input.direction = state.direction;
    input.colour = {state.colour.red, state.colour.green, state.colour.blue};
    const PreviewFrame frame = m_preview.Tick(input);

    std::vector<KeyButtonColour> colours;
    switch (frame.kind) {
    case PreviewFrameKind::kColours:
        colours.reserve(kPreviewKeyCount);
        for (const PreviewKeyInfo& info : PreviewKeyTable()) {
            const KeyButtonId button = info.key == kPreviewFnKey ? KeyButtonId::Fn() : KeyButtonId::Key(info.scanCode);
            std::optional<Rgb> colour;
            if (const std::optional<Rgb> shown = frame[info.key]) {
                colour = Rgb{shown->red, shown->green, shown->blue};
            }
            colours.push_back({button, colour});
        }
        m_view.PaintKeyColours(colours);
        break;
    case PreviewFrameKind::kCleared:
        for (const KeyButtonId button : AllKeyButtons()) {
            colours.push_back({button, std::nullopt});
        }
        m_view.PaintKeyColours(colours);
        break;
    case PreviewFrameKind::kOwnColours:
        m_view.RefreshKeyButtons();
        break;
    case PreviewFrameKind::kSkipped:
        break;
    }
}

void MainWindowModel::KeyClicked(KeyButtonId button) {
    if (m_job.Running()) {
        return;
    }
    if (!IsKeyButton(button)) {
        return;
    }
    if (m_core.KeyColours().SwitchOn()) {
        const int index = ColourIndexOf(button);
        if (index >= 0 && m_core.KeyColours().ClickKey(index)) {
            m_view.RefreshKeyButtons();
        }
        return;
    }
    const std::optional<std::size_t> slot = ButtonSlot(button);
    if (!slot) {
        return; // Fn has no entry: it acts in lighting mode only
    }
    // Editing needs the real active profile: an entry of another profile's area must never be
    // changed in its place.
    const int active = m_core.Profiles().GetActiveProfile();
    if (active < 0) {
        return;
    }
    const std::size_t record = RecordIndex(static_cast<std::size_t>(active), *slot);
    if (!KeySelectionMode()) {
        m_view.OpenKeyDialog(button, record, button == KeyButtonId::G(9));
        m_view.RefreshKeyButtons();
        return;
    }
    {
        WorkingImage& working = m_core.Working();
        std::lock_guard lock(working.lock);
        KeyEntry entry = working.image.Entry(record);
        entry.selection = entry.selection != 0 ? 0 : 1;
        working.image.SetEntry(record, entry);
    }
    SetModified(true);
    m_view.RefreshKeyButtons();
}

void MainWindowModel::KeyDialogApplied() {
    SetModified(true);
    m_view.RefreshKeyButtons();
}

void MainWindowModel::ToggleKeySelectionMode() {
    if (m_job.Running()) {
        return;
    }
    const bool on = !KeySelectionMode();
    m_core.State().keySelectionMode.store(on);
    m_view.SetSwitchCaption(m_core.Text().Text(on ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT"));
    m_view.RefreshKeyButtons();
}

bool MainWindowModel::ProfileButton(int profile) {
    if (m_job.Running()) {
        return false;
    }
    if (profile < 0 || profile >= kProfileCount) {
        return false;
    }
    LightingModel& lighting = m_core.Lighting();
    lighting.SetProfile(profile);
    lighting.Load(false);
    if (lighting.SupportsPerKey()) {
        m_core.KeyColours().LoadMode(profile);
    }
    m_view.RefreshLightingPanel();
    if (m_core.KeyColours().SwitchOn()) {
        SwitchOffSteps();
    }
    if (profile == m_core.Profiles().GetActiveProfile()) {
        return true;
    }
    return StartSwitch(profile, [this, profile](bool taken) {
        if (!taken) {
            return;
        }
        m_view.SetProfileButtons(profile);
        m_core.State().keySelectionMode.store(false);
        m_view.SetSwitchCaption(m_core.Text().Text("MAIN_SWITCH_FUNCTION_TEXT"));
        m_view.RefreshKeyButtons();
    });
}

bool MainWindowModel::RestoreDefaults() {
    if (m_job.Running()) {
        return false;
    }
    const MessageAnswer answer =
        m_core.Ui().ShowMessage(m_core.Text().Text("MAIN_PROMPT_DEFAULT"), std::string(), MessageButtons::kYesNo);
    if (answer != MessageAnswer::kYes) {
        return false;
    }
    // Without the active profile there is no area to reset.
    const int active = m_core.Profiles().GetActiveProfile();
    if (active < 0) {
        return false;
    }
    ResetButtonEntries(m_core.Working(), static_cast<std::size_t>(active));
    m_view.RefreshKeyButtons();
    SetModified(true);

    m_core.ResetLighting();
    m_view.RefreshLightingPanel();
    StartApply([this](bool) {
        if (!m_core.KeyColours().SwitchOn()) {
            SwitchOffSteps();
        }
    });
    return true;
}

bool MainWindowModel::Apply() {
    if (m_job.Running()) {
        return false;
    }
    m_view.ShowBusy(true);
    bool done = true;
    if (m_modified) {
        ProfileStore& profiles = m_core.Profiles();
        std::lock_guard lock(m_core.Working().lock);
        // Both run whatever the first gives: the keyboard is written even when the cache file
        // cannot be, and the edit then stays pending so that Apply can be tried again.
        const bool saved = profiles.SaveToCacheFile(false);
        m_lastWrite = profiles.TakeSnapshotAndUpload(false);
        done = saved && m_lastWrite.Ok();
        if (done) {
            SetModified(false);
        }
    }
    m_view.ShowBusy(false);
    return done;
}

void MainWindowModel::Ok() {
    StartApply([this](bool ok) {
        if (ok) {
            m_view.HideWindow();
        }
    });
}

bool MainWindowModel::StartApply(std::function<void(bool ok)> done) {
    if (m_job.Running()) {
        return false;
    }
    if (!m_modified) {
        // Nothing pending: the busy indicator comes and goes, the keyboard hears nothing.
        m_view.ShowBusy(true);
        m_view.ShowBusy(false);
        if (done) {
            done(true);
        }
        return true;
    }
    return RunJob(
        JobKind::kApply,
        [this] {
            ProfileStore& profiles = m_core.Profiles();
            std::lock_guard lock(m_core.Working().lock);
            m_jobSaved = profiles.SaveToCacheFile(false, &m_jobError);
            m_jobWrite = profiles.TakeSnapshotAndUpload(false);
        },
        std::move(done));
}

bool MainWindowModel::StartImport(const std::filesystem::path& path) {
    if (m_job.Running()) {
        return false;
    }
    m_jobPath = path;
    return RunJob(JobKind::kImport,
                  [this] {
                      ProfileStore& profiles = m_core.Profiles();
                      m_jobValid = false;
                      if (profiles.ValidateProfileFile(m_jobPath) != ProfileFileCheck::kValid) {
                          return;
                      }
                      std::lock_guard lock(m_core.Working().lock);
                      // Loading replaces the whole image or nothing, so a file that changed since it was
                      // checked leaves the working image as it was.
                      if (!profiles.LoadProfileFile(m_jobPath)) {
                          return;
                      }
                      m_jobValid = true;
                      m_jobSaved = profiles.SaveToCacheFile(false, &m_jobError);
                      m_jobWrite = profiles.TakeSnapshotAndUpload(true);
                  },
                  {});
}

bool MainWindowModel::StartExport(const std::filesystem::path& path) {
    if (m_job.Running()) {
        return false;
    }
    m_jobPath = path;
    return RunJob(JobKind::kExport,
                  [this] {
                      m_jobError.clear();
                      m_jobSaved = m_core.Profiles().SaveProfileFile(m_jobPath, true, &m_jobError);
                  },
                  {});
}

LinkProgress MainWindowModel::Progress() const {
    return m_core.Link().Progress();
}

bool MainWindowModel::RunJob(JobKind kind, std::function<void()> work, std::function<void(bool ok)> done) {
    m_jobKind = kind;
    m_jobDone = std::move(done);
    m_jobSaved = false;
    m_jobValid = false;
    m_jobError.clear();
    m_jobWrite = WriteResult{};
    m_view.ShowBusy(true);
    m_view.SetJobRunning(true);
    if (!m_job.Start(work)) {
        // No thread to be had: the job runs here, as it would without a worker.
        work();
        OnJobDone();
    }
    return true;
}

void MainWindowModel::ReportWriteFailure() {
    std::string what;
    if (!m_lastWrite.Ok()) {
        what = WriteResultText(m_lastWrite);
    } else {
        what = "the settings could not be saved on this computer (" + m_jobError + ")";
    }
    m_core.Ui().ShowMessage(FormatText(m_core.Text().Text("MAIN_PROMPT_APPLY_FAILED"), what), std::string(),
                            MessageButtons::kOk);
}

void MainWindowModel::OnJobDone() {
    m_job.Finish();
    const JobKind kind = std::exchange(m_jobKind, JobKind::kNone);
    if (kind == JobKind::kNone) {
        return;
    }
    // The controls first get back their own states, so that what the result sets (Apply) stays.
    m_view.SetJobRunning(false);
    bool ok = true;
    switch (kind) {
    case JobKind::kApply:
        m_lastWrite = m_jobWrite;
        ok = m_jobSaved && m_lastWrite.Ok();
        if (ok) {
            SetModified(false);
        } else {
            ReportWriteFailure();
        }
        break;
    case JobKind::kImport:
        if (!m_jobValid) {
            ok = false;
            m_core.Ui().ShowMessage(m_core.Text().Text("MAIN_PROMPT_INPORT"), std::string(), MessageButtons::kOk);
            break;
        }
        m_lastWrite = m_jobWrite;
        ok = m_jobSaved && m_lastWrite.Ok();
        // An import the keyboard did not take stays pending, so that Apply can send it again.
        SetModified(!ok);
        if (!ok) {
            ReportWriteFailure();
        }
        break;
    case JobKind::kExport:
        ok = m_jobSaved;
        if (!ok) {
            m_core.Ui().ShowMessage(
                FormatText(m_core.Text().Text("MAIN_PROMPT_BACKUP_FAILED"), BackupFailureReason(m_jobPath, m_jobError)),
                std::string(), MessageButtons::kOk);
        }
        break;
    case JobKind::kSwitch:
        if (m_jobPlan.edits == SwitchPlan::Edits::kApply) {
            m_lastWrite = m_jobWrite;
            if (!m_jobSaved || !m_lastWrite.Ok()) {
                // Nothing was switched: the edits stay pending for the profile they were made in.
                ok = false;
                ReportWriteFailure();
                break;
            }
            SetModified(false);
        }
        ok = m_switch.Finish(m_jobPlan, m_jobTaken);
        break;
    case JobKind::kSettingsReset:
        SettingsResetDone();
        break;
    case JobKind::kNone:
        break;
    }
    m_view.ShowBusy(false);
    m_view.RefreshKeyButtons();

    std::function<void(bool)> done = std::exchange(m_jobDone, {});
    if (done) {
        done(ok);
    }
    // A close that waited ends the program now; what else waited is then of no use. When a
    // sub-dialog refuses to close, the program keeps running and handles it.
    if (std::exchange(m_closePending, false) && CloseSequence()) {
        m_syncPending = false;
        m_timersPending.clear();
        m_languagePending = false;
        return;
    }
    // What waited for the job, in the order the window would have handled it. A settings reset
    // among them starts a job of its own; what follows it waits again.
    if (std::exchange(m_syncPending, false)) {
        if (m_job.Running()) {
            m_syncPending = true;
        } else {
            OnProfileSync();
        }
    }
    for (const int id : std::exchange(m_timersPending, {})) {
        OnTimer(id);
    }
    if (std::exchange(m_languagePending, false)) {
        OnMessage(MSG_LANGUAGE, kCodeLang, 0);
    }
}

std::string BackupFailureReason(const std::filesystem::path& path, const std::string& error) {
    std::error_code ec;
    const std::filesystem::path folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::string reason;
    if (!std::filesystem::exists(folder, ec)) {
        reason = "the folder " + folder.string() + " does not exist";
    } else if (!std::filesystem::is_directory(folder, ec)) {
        reason = folder.string() + " is not a folder";
    } else if (std::filesystem::is_directory(path, ec)) {
        reason = path.string() + " is a folder";
    } else {
        reason = "the file " + path.string() + " could not be written there (no permission, or the disk is full)";
    }
    if (!error.empty()) {
        reason += ". Details: " + error;
    }
    return reason;
}

void MainWindowModel::Cancel() {
    m_view.HideWindow();
}

void MainWindowModel::SwitchOffSteps() {
    m_core.KeyColours().SetSwitch(false);
    m_view.RefreshKeyButtons();
    m_view.RefreshLightingPanel();
}

bool MainWindowModel::SetLightingSwitch(bool on) {
    if (m_job.Running()) {
        return false;
    }
    if (!on) {
        SwitchOffSteps();
        return true;
    }
    m_core.KeyColours().SetSwitch(true);
    m_view.RefreshKeyButtons();
    // Entering lighting mode selects the keyboard's profile again, which settles pending key
    // edits first.
    return StartSwitch(m_core.Lighting().State().profile, [this](bool taken) {
        if (!taken) {
            return;
        }
        m_view.RefreshLightingPanel();
        if (PerKeyShown()) {
            m_view.RefreshKeyButtons();
        }
    });
}

bool MainWindowModel::Import(const std::filesystem::path& path) {
    if (m_job.Running()) {
        return false;
    }
    ProfileStore& profiles = m_core.Profiles();
    if (profiles.ValidateProfileFile(path) != ProfileFileCheck::kValid) {
        m_core.Ui().ShowMessage(m_core.Text().Text("MAIN_PROMPT_INPORT"), std::string(), MessageButtons::kOk);
        return false;
    }
    bool saved = false;
    {
        std::lock_guard lock(m_core.Working().lock);
        // Loading replaces the whole image or nothing, so a file that changed since it was
        // checked leaves the working image as it was instead of emptied.
        if (!profiles.LoadProfileFile(path)) {
            m_core.Ui().ShowMessage(m_core.Text().Text("MAIN_PROMPT_INPORT"), std::string(), MessageButtons::kOk);
            return false;
        }
        saved = profiles.SaveToCacheFile(false);
        m_lastWrite = profiles.TakeSnapshotAndUpload(true);
        m_view.RefreshKeyButtons();
    }
    // An import the keyboard did not take stays pending, so that Apply can send it again.
    SetModified(!(saved && m_lastWrite.Ok()));
    return true;
}

bool MainWindowModel::Export(const std::filesystem::path& path, std::string* error) {
    return m_core.Profiles().SaveProfileFile(path, true, error);
}

bool MainWindowModel::MenuCommand(std::uint32_t command) {
    const std::optional<int> profile = ProfileMenu::ProfileOfCommand(command);
    if (!profile || *profile < 0) {
        return false;
    }
    return ProfileButton(*profile);
}

bool MainWindowModel::StartSwitch(int profile, std::function<void(bool taken)> done) {
    if (m_job.Running()) {
        return false;
    }
    const SwitchPlan plan = m_switch.Ask(profile);
    // A switch started from the message loop under the question may hold the worker by now.
    if (!plan.go || m_job.Running()) {
        return false;
    }
    m_jobPlan = plan;
    m_jobTaken = false;
    return RunJob(
        JobKind::kSwitch,
        [this] {
            if (m_jobPlan.edits == SwitchPlan::Edits::kApply) {
                // The pending edits belong to the profile active now: written before the switch,
                // and no switch when they could not be.
                ProfileStore& profiles = m_core.Profiles();
                std::lock_guard lock(m_core.Working().lock);
                m_jobSaved = profiles.SaveToCacheFile(false, &m_jobError);
                m_jobWrite = profiles.TakeSnapshotAndUpload(false);
                if (!m_jobSaved || !m_jobWrite.Ok()) {
                    return;
                }
            }
            m_jobTaken = m_switch.Carry(m_jobPlan);
        },
        std::move(done));
}

bool MainWindowModel::SwitchProfile(int profile) {
    if (m_job.Running()) {
        return false;
    }
    return m_switch.Switch(profile);
}

void MainWindowModel::RebuildProfileMenu() {
    m_menu.Build(m_core.State().activeProfile.load(), m_core.Profiles().ProfileCacheFile(), m_core.Text());
    m_view.RefreshProfileMenu();
}

void MainWindowModel::ShowActiveProfile() {
    const int active = m_core.State().activeProfile.load();
    if (active >= 0 && active < kProfileCount) {
        m_view.SetProfileButtons(active);
        LightingModel& lighting = m_core.Lighting();
        lighting.SetProfile(active);
        lighting.Load(false);
        if (lighting.SupportsPerKey()) {
            m_core.KeyColours().LoadMode(active);
        }
        m_view.RefreshLightingPanel();
    }
    RebuildProfileMenu();
}

void MainWindowModel::Open() {
    if (m_core.Connection().publishedState.load() != 0) {
        m_view.ShowWindow();
        return;
    }
    m_core.Ui().ShowMessage(m_core.Text().Text("MAIN_NO_DEVICE_PROMPT"), std::string(), MessageButtons::kOk);
}

bool MainWindowModel::CloseSequence() {
    m_view.HideWindow();
    if (m_job.Running()) {
        // The keyboard is being written: ending now would leave it half-written. The sequence
        // goes on when the job has ended (OnJobDone).
        m_closePending = true;
        return false;
    }
    if (!m_view.CloseSubDialogs()) {
        return false;
    }
    SetModified(false);
    m_core.FreeImages();
    m_view.EndApplication();
    return true;
}

void MainWindowModel::OnProfileSync() {
    m_core.Profiles().SyncFromKeyboard(false);
    const int active = m_core.State().activeProfile.load();
    LightingModel& lighting = m_core.Lighting();
    if (active >= 0 && active < kProfileCount) {
        m_view.SetProfileButtons(active);
        lighting.SetProfile(active);
    }
    m_core.KeyColours().ReadSwitch();
    lighting.Load(true);
    m_view.RefreshLightingPanel();
    if (lighting.SupportsPerKey()) {
        m_view.RefreshKeyButtons();
    }
    RebuildProfileMenu();
}

void MainWindowModel::OnSettingsReset() {
    // Lighting mode ends before the worker reads the lighting, so the preview stays off meanwhile.
    SwitchOffSteps();
    RunJob(JobKind::kSettingsReset,
           [this] {
               for (std::size_t area = 0; area < kProfileCount; ++area) {
                   ResetButtonEntries(m_core.Working(), area);
               }
               // The keyboard may be on another profile than the program after its reset: take its
               // profile before the lighting is read, so that the panel shows the block every later
               // write goes to.
               AppState& state = m_core.State();
               const int known = state.activeProfile.load();
               state.activeProfile.store(-1);
               int active = m_core.Profiles().GetActiveProfile();
               if (active < 0) {
                   // The keyboard did not tell: keep the profile the program had.
                   active = known;
                   state.activeProfile.store(known);
               }
               m_jobProfile = active;
               LightingModel& lighting = m_core.Lighting();
               if (active >= 0 && active < kProfileCount) {
                   lighting.SetProfile(active);
               }
               lighting.Load(false);
               if (lighting.SupportsPerKey()) {
                   m_core.KeyColours().RestoreAllProfiles(lighting.State().profile);
               }
           },
           {});
}

void MainWindowModel::SettingsResetDone() {
    SetModified(true);
    if (m_jobProfile >= 0 && m_jobProfile < kProfileCount) {
        m_view.SetProfileButtons(m_jobProfile);
    }
    m_view.RefreshLightingPanel();
    m_view.RefreshKeyButtons();
    RebuildProfileMenu();
}

void MainWindowModel::ReloadLighting() {
    m_core.Lighting().Load(false);
    m_view.RefreshLightingPanel();
    if (PerKeyShown()) {
        m_view.RefreshKeyButtons();
    }
}

std::intptr_t MainWindowModel::OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case MSG_OPEN:
        if (wParam != kCodeOpen) {
            return 0;
        }
        Open();
        return 1;
    case MSG_KILL:
        if (wParam != kCodeKill) {
            return 0;
        }
        CloseSequence();
        return 1;
    case MSG_INIT:
        if (wParam != kCodeInit) {
            return 0;
        }
        m_startupFinished = true;
        SetModified(false);
        ShowFlip();
        m_view.SetSwitchCaption(
            m_core.Text().Text(KeySelectionMode() ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT"));
        RebuildProfileMenu();
        m_view.HideWindow();
        return 1;
    case MSG_PROFILE_SYNC:
        if (wParam != kCodeProf) {
            return 0;
        }
        if (m_job.Running()) {
            // The worker holds the working image while it writes; read the keyboard after it.
            m_syncPending = true;
            return 1;
        }
        OnProfileSync();
        return 1;
    case MSG_DEVICE_LOST:
        if (wParam != 0) {
            return 0;
        }
        m_view.CloseSubDialogs();
        return 1;
    case MSG_JOB_DONE:
        if (wParam != kCodeDone) {
            return 0;
        }
        OnJobDone();
        return 1;
    case MSG_LANGUAGE:
        if (wParam != kCodeLang) {
            return 0;
        }
        static_cast<void>(lParam); // the view applies the language index to its own texts
        if (m_job.Running()) {
            // A settings reset on the worker may be reading the lighting: loaded again after it.
            m_languagePending = true;
            return 1;
        }
        m_view.SetSwitchCaption(
            m_core.Text().Text(KeySelectionMode() ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT"));
        RebuildProfileMenu();
        // The effect names are language texts: the panel is built again from a fresh load.
        m_core.Lighting().Load(false);
        m_view.RefreshLightingPanel();
        m_view.RefreshKeyButtons();
        return 1;
    default:
        return 0;
    }
}

bool MainWindowModel::TrayCommand(std::uint32_t command) {
    switch (command) {
    case kCommandTrayOpen:
        Open();
        return true;
    case kCommandTrayExit:
        CloseSequence();
        return true;
    default:
        return false;
    }
}

bool MainWindowModel::OnTimer(int id) {
    if (m_job.Running() && (id == kTimerLightingReload || id == kTimerSettingsReset)) {
        // Both read the keyboard or change the working image: after the job.
        m_timersPending.push_back(id);
        return true;
    }
    switch (id) {
    case kTimerLightingReload:
        ReloadLighting();
        return true;
    case kTimerSettingsReset:
        OnSettingsReset();
        return true;
    default:
        return false;
    }
}

} // namespace brasslane
