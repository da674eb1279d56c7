#pragma once

// The main window's model over a simulated keyboard: a temporary program folder with the real
// language file and default mode file, a temporary user folder and settings file, the
// recording UiSink (questions answered from its script), and a view that records what it was
// told.

#include "core/app/AppCore.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Messages.h"
#include "core/base/UiSink.h"
#include "core/device/KeyboardFinder.h"
#include "support/RecordingUiSink.h"
#include "support/SimKeyboardFixture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace brasslane::test {

class RecordingView : public MainWindowView {
public:
    void RefreshKeyButtons() override { ++keyRefreshes; }
    void SetApplyEnabled(bool enabled) override { applyEnabled = enabled; }
    void SetProfileButtons(int selected) override { profileButton = selected; }
    void SetSwitchCaption(const std::string& caption) override { switchCaption = caption; }
    void SetFlip(int value) override { flip = value; }
    void PaintKeyColours(std::span<const KeyButtonColour> colours) override {
        painted.assign(colours.begin(), colours.end());
        ++paints;
    }
    void RefreshLightingPanel() override { ++panelRefreshes; }
    void RefreshProfileMenu() override { ++menuRefreshes; }
    bool CloseSubDialogs() override {
        ++closeSubDialogs;
        return subDialogsClose;
    }
    bool IsKeyDialogOpen() const override { return keyDialogOpen; }
    void OpenKeyDialog(KeyButtonId button, std::size_t record, bool isG9) override {
        openedDialogs.push_back({button, record, isG9});
    }
    void ShowWindow() override { shown = true; }
    void HideWindow() override { shown = false; }
    void ShowBusy(bool show) override { busy.push_back(show); }
    void EndApplication() override { ended = true; }

    struct OpenedDialog {
        KeyButtonId button;
        std::size_t record;
        bool isG9;
    };

    int keyRefreshes = 0;
    int panelRefreshes = 0;
    int menuRefreshes = 0;
    int closeSubDialogs = 0;
    bool subDialogsClose = true;
    bool keyDialogOpen = false;
    bool applyEnabled = false;
    int profileButton = -2;
    std::string switchCaption;
    int flip = -1;
    int paints = 0;
    std::vector<KeyButtonColour> painted; // the last preview frame painted
    bool shown = false;
    bool ended = false;
    std::vector<bool> busy;
    std::vector<OpenedDialog> openedDialogs;
};

// Folders laid out as an installed copy would see them.
inline SessionCoreOptions MakeOptions(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    const fs::path bin = root / "bin";
    fs::create_directories(bin / "Skins");
    const fs::path source(BRASSLANE_SOURCE_DIR);
    fs::copy_file(source / "data" / "Lang0409.ini", bin / "Lang0409.ini", fs::copy_options::overwrite_existing);
    fs::copy_file(source / "data" / "UserDengColor_3.userd", bin / "Skins" / "UserDengColor_3.userd",
                  fs::copy_options::overwrite_existing);
    SessionCoreOptions options;
    options.paths = AppPaths::Build(bin / "brasslane", root / "share", root / "data");
    options.settingsFile = root / "config" / "Brasslane.ini";
    return options;
}

// A fresh simulated keyboard, connected and read as the connection monitor would on arrival,
// with the model's MSG_PROFILE_SYNC handled. The request log starts empty.
class AppFixture : public ::testing::Test, protected SimKeyboardFixture {
protected:
    void SetUp() override {
        core = std::make_unique<AppCore>(MakeOptions(folder.Path()), backend, ui);
        model = std::make_unique<MainWindowModel>(*core, view);
    }

    void Arrive() {
        const ConnectResult connected = core->Connect();
        ASSERT_EQ(connected.search, SearchResult::kFound);
        ASSERT_EQ(connected.reads, kStatusSuccess);
        core->Connection().publishedState.store(1);
        ASSERT_EQ(model->OnMessage(MSG_PROFILE_SYNC, kCodeProf, 0), 1);
        keyboard.ClearRequestLog();
        ui.Clear();
    }

    // Waits for the worker's MSG_JOB_DONE and hands it to the model, as the window's event loop
    // would. Counts the posts since the recorder was last cleared (tests clear it only between
    // jobs).
    void FinishJob() {
        if (ui.Count(UiEvent::Kind::kPost, MSG_JOB_DONE) < m_jobsSeen) {
            m_jobsSeen = 0;
        }
        ASSERT_TRUE(ui.WaitFor(UiEvent::Kind::kPost, MSG_JOB_DONE, ++m_jobsSeen, std::chrono::seconds(60)));
        EXPECT_EQ(model->OnMessage(MSG_JOB_DONE, kCodeDone, 0), 1);
    }

    KeyEntry WorkingEntry(std::size_t area, std::size_t slot) {
        std::lock_guard lock(core->Working().lock);
        return core->Working().image.Entry(RecordIndex(area, slot));
    }
    void SetWorkingEntry(std::size_t area, std::size_t slot, KeyEntry entry) {
        std::lock_guard lock(core->Working().lock);
        core->Working().image.SetEntry(RecordIndex(area, slot), entry);
    }
    std::vector<std::uint8_t> WorkingHeader() {
        std::lock_guard lock(core->Working().lock);
        return core->Working().image.header;
    }
    TempFolder folder{"brasslane-app-"};
    RecordingUiSink ui;
    RecordingView view;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindowModel> model;

private:
    std::size_t m_jobsSeen = 0;
};

// The entry that the keyboard's key map of `profile` gives the key at `slot`, decoded as a
// sync from the keyboard would.
KeyEntry DecodedKeyboardEntry(const sim::SimKeyboard& keyboard, int profile, std::size_t slot);

} // namespace brasslane::test
