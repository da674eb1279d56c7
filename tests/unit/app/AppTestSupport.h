#pragma once

// The main window's model over a simulated keyboard: a temporary program folder with the real
// language file and default mode file, a temporary user folder and settings file, a UiSink
// that records messages and answers questions from a script, and a view that records what it
// was told.

#include "core/app/AppCore.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Messages.h"
#include "core/base/UiSink.h"
#include "core/device/KeyboardFinder.h"
#include "platform/sim/SimHidBackend.h"
#include "platform/sim/SimKeyboard.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <atomic>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

namespace brasslane::test {

using Frame = std::array<std::uint8_t, 64>;

inline std::vector<int> Commands(const std::vector<Frame>& log) {
    std::vector<int> commands;
    for (const Frame& frame : log) {
        commands.push_back(frame[3]);
    }
    return commands;
}

inline int CountCommand(const std::vector<Frame>& log, int command) {
    int count = 0;
    for (const Frame& frame : log) {
        count += frame[3] == command ? 1 : 0;
    }
    return count;
}

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "brasslane-app-") {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 (prefix + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageButtons buttons;
};

// Answers Yes/No questions from `answers` in order (No once they run out, as the preselected
// button would).
class ScriptedUi : public UiSink {
public:
    std::intptr_t Send(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void Post(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void SetTimer(int, int) override {}
    void SetTrayIcon(int) override {}
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageButtons buttons) override {
        messages.push_back({text, caption, buttons});
        if (buttons == MessageButtons::kOk) {
            return MessageAnswer::kOk;
        }
        if (answers.empty()) {
            return MessageAnswer::kNo;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void HideMainWindow() override {}

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const ShownMessage& m : messages) {
            texts.push_back(m.text);
        }
        return texts;
    }

    std::deque<MessageAnswer> answers;
    std::vector<ShownMessage> messages;
};

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
class AppFixture : public ::testing::Test {
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
        ui.messages.clear();
    }

    std::vector<Frame> TakeLog() {
        std::vector<Frame> log = keyboard.RequestLog();
        keyboard.ClearRequestLog();
        return log;
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
    // The key map block of `profile` as the keyboard holds it.
    std::vector<std::uint8_t> KeyMapOf(int profile) const {
        const std::vector<std::uint8_t> maps = keyboard.KeyMaps();
        const std::size_t size = keyboard.BlockSize();
        return {maps.begin() + static_cast<std::ptrdiff_t>(profile * size),
                maps.begin() + static_cast<std::ptrdiff_t>((profile + 1) * size)};
    }

    TempFolder folder;
    sim::SimKeyboard keyboard;
    sim::SimHidBackend backend{keyboard};
    ScriptedUi ui;
    RecordingView view;
    std::unique_ptr<AppCore> core;
    std::unique_ptr<MainWindowModel> model;
};

// The entry that the keyboard's key map of `profile` gives the key at `slot`, decoded as a
// sync from the keyboard would.
KeyEntry DecodedKeyboardEntry(const sim::SimKeyboard& keyboard, int profile, std::size_t slot);

} // namespace brasslane::test
