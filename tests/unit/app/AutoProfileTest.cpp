#include "core/app/AutoProfileRules.h"
#include "core/app/AutoProfileSwitcher.h"

#include "core/base/Messages.h"

#include "support/LanguageFolder.h"
#include "support/ManualClock.h"
#include "support/RecordingUiSink.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace brasslane {
namespace {

using namespace std::chrono_literals;
using Match = AutoProfileRule::Match;

ActiveWindow Window(std::uint32_t id, std::string instance, std::string windowClass, std::string title, std::string exe,
                    int pid = 100) {
    return {id, std::move(instance), std::move(windowClass), std::move(title), std::move(exe), pid};
}

TEST(AutoProfileRulesTest, MatchesByClassExeAndTitle) {
    const ActiveWindow gimp = Window(7, "gimp-2.10", "Gimp-2.10", "GNU Image Manipulation Program", "/usr/bin/gimp");
    EXPECT_TRUE(RuleMatches({Match::kClass, "gimp-2.10", 1}, gimp));
    EXPECT_TRUE(RuleMatches({Match::kClass, "GIMP-2.10", 1}, gimp)); // either name, any case
    EXPECT_FALSE(RuleMatches({Match::kClass, "gimp", 1}, gimp));     // whole name only
    EXPECT_TRUE(RuleMatches({Match::kExe, "/usr/bin/gimp", 1}, gimp));
    EXPECT_TRUE(RuleMatches({Match::kExe, "gimp", 1}, gimp)); // no '/': file name alone
    EXPECT_FALSE(RuleMatches({Match::kExe, "/bin/gimp", 1}, gimp));
    EXPECT_FALSE(RuleMatches({Match::kExe, "Gimp", 1}, gimp)); // file names keep their case
    EXPECT_TRUE(RuleMatches({Match::kTitle, "image MANIPULATION", 1}, gimp));
    EXPECT_FALSE(RuleMatches({Match::kTitle, "Photoshop", 1}, gimp));

    // What a window does not say matches nothing, not even an empty pattern.
    const ActiveWindow bare = Window(8, "", "", "", "");
    EXPECT_FALSE(RuleMatches({Match::kExe, "gimp", 1}, bare));
    EXPECT_FALSE(RuleMatches({Match::kClass, "x", 1}, bare));
    EXPECT_FALSE(RuleMatches({Match::kTitle, "", 1}, gimp));
}

TEST(AutoProfileRulesTest, FirstMatchingRuleWins) {
    AutoProfileSettings settings;
    settings.rules = {{Match::kTitle, "Dota", 2}, {Match::kClass, "steam_app_570", 3}, {Match::kTitle, "2", 1}};
    EXPECT_EQ(settings.FirstMatch(Window(1, "steam_app_570", "steam_app_570", "Dota 2", "")), 0u);
    EXPECT_EQ(settings.FirstMatch(Window(1, "steam_app_570", "steam_app_570", "Loading", "")), 1u);
    EXPECT_EQ(settings.FirstMatch(Window(1, "xterm", "XTerm", "top 2", "")), 2u);
    EXPECT_FALSE(settings.FirstMatch(Window(1, "xterm", "XTerm", "top", "")).has_value());
}

TEST(AutoProfileRulesTest, FileRoundTripKeepsWhatItCannotRead) {
    const std::string text = "\xEF\xBB\xBF"
                             "enabled = yes\r\n"
                             "default = none\n"
                             "# my games\n"
                             "class steam_app_570 = 2\n"
                             "title a = b = 3\n" // the last '=' separates the profile
                             "exe /usr/bin/gimp = 4\n"
                             "klass firefox = 1\n"
                             "title = 1\n"
                             "just some words\n"
                             "\n"
                             "EXE  code   =  1  \n";
    std::vector<std::string> problems;
    const AutoProfileSettings settings = ParseAutoProfiles(text, &problems);
    EXPECT_TRUE(settings.enabled);
    EXPECT_FALSE(settings.defaultProfile.has_value());
    const std::vector<AutoProfileRule> expected{
        {Match::kClass, "steam_app_570", 2}, {Match::kTitle, "a = b", 3}, {Match::kExe, "code", 1}};
    EXPECT_EQ(settings.rules, expected);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].rfind("line 6: ", 0), 0u) << problems[0];
    EXPECT_EQ(problems[1].rfind("line 7: ", 0), 0u) << problems[1];
    EXPECT_EQ(problems[3].rfind("line 9: ", 0), 0u) << problems[3];
    const std::vector<std::string> kept{"# my games", "exe /usr/bin/gimp = 4", "klass firefox = 1", "title = 1",
                                        "just some words"};
    EXPECT_EQ(settings.keptLines, kept);

    // Written and read again: the same rules, the same kept lines (once, not doubled), and the
    // header is not taken for the user's comments.
    AutoProfileSettings changed = settings;
    changed.defaultProfile = 1;
    const std::string written = FormatAutoProfiles(changed);
    std::vector<std::string> again;
    const AutoProfileSettings reread = ParseAutoProfiles(written, &again);
    EXPECT_EQ(reread.rules, changed.rules);
    EXPECT_EQ(reread.keptLines, changed.keptLines);
    EXPECT_EQ(reread.defaultProfile, 1);
    EXPECT_TRUE(reread.enabled);
    EXPECT_EQ(again.size(), 4u);
    EXPECT_EQ(FormatAutoProfiles(reread), written);
}

TEST(AutoProfileRulesTest, RulesThatCouldNotBeReadBackAreRefused) {
    std::string error;
    EXPECT_TRUE(ValidateRule({Match::kTitle, "a = b", 3}, &error));
    EXPECT_FALSE(ValidateRule({Match::kClass, "", 1}, &error));
    EXPECT_FALSE(ValidateRule({Match::kClass, " x", 1}, &error));
    EXPECT_FALSE(ValidateRule({Match::kTitle, "two\nlines", 1}, &error));
    EXPECT_FALSE(ValidateRule({Match::kClass, "a=b", 1}, &error));
    EXPECT_FALSE(ValidateRule({Match::kExe, "gimp", 0}, &error));
    EXPECT_FALSE(ValidateRule({Match::kExe, "gimp", 4}, &error));
    EXPECT_FALSE(error.empty());
}

TEST(AutoProfileRulesTest, FileLoadAndSave) {
    test::TempFolder folder("brasslane-auto-");
    const AutoProfileFile file(AutoProfileFile::BesideSettings(folder.Path() / "Brasslane" / "Brasslane.ini"));
    EXPECT_EQ(file.Path(), folder.Path() / "Brasslane" / "AutoProfiles.conf");

    AutoProfileSettings settings;
    settings.rules.push_back({Match::kExe, "gimp", 2});
    std::string error;
    EXPECT_TRUE(file.Load(settings, nullptr, &error)); // missing: the defaults
    EXPECT_TRUE(settings.rules.empty());
    EXPECT_FALSE(file.LastChange().has_value());

    settings.enabled = true;
    settings.rules.push_back({Match::kTitle, "Blender", 3});
    ASSERT_TRUE(file.Save(settings, &error)) << error; // creates the folder
    AutoProfileSettings loaded;
    ASSERT_TRUE(file.Load(loaded, nullptr, &error));
    EXPECT_EQ(loaded.rules, settings.rules);
    EXPECT_TRUE(loaded.enabled);

    // A file too large to be rules is not read, and the caller's settings stay as they were.
    std::filesystem::resize_file(file.Path(), AutoProfileFile::kMaxFileSize + 1);
    EXPECT_FALSE(file.Load(loaded, nullptr, &error));
    EXPECT_EQ(loaded.rules, settings.rules);
    EXPECT_NE(error.find("AutoProfiles.conf"), std::string::npos);
}

// The main window as the switcher sees it.
struct FakeWindow {
    bool dialogOpen = false;
    bool pendingEdits = false;
    int active = 0;
    std::vector<int> switches;
    std::vector<std::string> notes;
    bool refuse = false;
};

class AutoProfileSwitcherTest : public ::testing::Test {
protected:
    AutoProfileSwitcherTest()
        : m_folder("brasslane-auto-"), m_language({{"PROFILE_1", "Profile 1"},
                                                   {"PROFILE_2", "Profile 2"},
                                                   {"PROFILE_3", "Profile 3"},
                                                   {"AUTO_PROFILE_BY_RULE", "rule: %s"},
                                                   {"AUTO_PROFILE_BY_DEFAULT", "default"},
                                                   {"AUTO_PROFILE_WAITS_APPLY", "waits for Apply"}}) {}

    std::filesystem::path RulesFile() const { return m_folder.Path() / "AutoProfiles.conf"; }

    void WriteRules(const std::string& text) { std::ofstream(RulesFile(), std::ios::binary | std::ios::trunc) << text; }

    AutoProfileSwitcher& Make() {
        AutoProfileHooks hooks;
        hooks.dialogOpen = [this] { return m_window.dialogOpen; };
        hooks.pendingEdits = [this] { return m_window.pendingEdits; };
        hooks.activeProfile = [this] { return m_window.active; };
        hooks.switchProfile = [this](int profile) {
            m_window.switches.push_back(profile);
            if (m_window.refuse) {
                return false;
            }
            m_window.active = profile;
            return true;
        };
        hooks.trayNote = [this](const std::string& note) { m_window.notes.push_back(note); };
        m_switcher = std::make_unique<AutoProfileSwitcher>(RulesFile(), m_clock, m_sink, m_language.Get(), kOwnPid,
                                                           std::move(hooks));
        return *m_switcher;
    }

    // Moves the focus, then lets `wait` pass and fires the timer as the window would when it
    // was asked for.
    void Focus(const ActiveWindow& window, std::chrono::milliseconds wait = 300ms) {
        m_switcher->OnActiveWindow(window);
        Pass(wait);
    }
    void Pass(std::chrono::milliseconds wait) {
        m_clock.Advance(wait);
        m_switcher->OnTimer();
    }

    // The period of the last timer the switcher asked for; 0 when none.
    std::uintptr_t LastTimerPeriod() const {
        std::uintptr_t period = 0;
        for (const test::UiEvent& event : m_sink.Events()) {
            if (event.kind == test::UiEvent::Kind::kTimer && event.message == kTimerAutoProfile) {
                period = event.wParam;
            }
        }
        return period;
    }

    static constexpr int kOwnPid = 4242;
    test::TempFolder m_folder;
    test::TempLanguage m_language;
    test::ManualClock m_clock;
    test::RecordingUiSink m_sink;
    FakeWindow m_window;
    std::unique_ptr<AutoProfileSwitcher> m_switcher;
};

const ActiveWindow kGame = Window(1, "steam_app_570", "steam_app_570", "Dota 2", "/games/dota2");
const ActiveWindow kEditor = Window(2, "code", "Code", "main.cpp - Visual Studio Code", "/usr/share/code/code");
const ActiveWindow kTerminal = Window(3, "xterm", "XTerm", "bash", "/usr/bin/xterm");

TEST_F(AutoProfileSwitcherTest, SwitchesOnlyWhenTheFocusSettles) {
    WriteRules("enabled = yes\ndefault = 1\nclass steam_app_570 = 2\nexe code = 3\n");
    AutoProfileSwitcher& switcher = Make();

    // Alt+Tab through three windows, 100 ms each: nothing reaches the keyboard.
    Focus(kGame, 100ms);
    Focus(kEditor, 100ms);
    Focus(kGame, 100ms);
    EXPECT_TRUE(m_window.switches.empty());
    EXPECT_EQ(LastTimerPeriod(), 200u); // asked again for the time the focus still has to stay
    // 200 ms later the game has held the focus 300 ms.
    Pass(199ms);
    EXPECT_TRUE(m_window.switches.empty());
    Pass(1ms);
    EXPECT_EQ(m_window.switches, std::vector<int>{1});
    EXPECT_EQ(switcher.TrayNote(), "Profile 2 \xE2\x80\x94 rule: class steam_app_570");

    // A late timer for a decision already taken does nothing; nor does the same window again.
    Pass(300ms);
    Focus(kGame);
    EXPECT_EQ(m_window.switches.size(), 1u);

    Focus(kEditor);
    Focus(kTerminal); // no rule: the default profile
    EXPECT_EQ(m_window.switches, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(switcher.TrayNote(), "Profile 1 \xE2\x80\x94 default");
    EXPECT_EQ(switcher.SwitchCount(), 3);

    // Already on the rule's profile: nothing is sent, the note still names the rule.
    m_window.active = 2;
    Focus(kEditor);
    EXPECT_EQ(m_window.switches.size(), 3u);
    EXPECT_EQ(switcher.TrayNote(), "Profile 3 \xE2\x80\x94 rule: exe code");
}

TEST_F(AutoProfileSwitcherTest, LeavesTheProfileAloneWhenItMustNotGuess) {
    WriteRules("enabled = yes\ndefault = none\nclass steam_app_570 = 2\n");
    AutoProfileSwitcher& switcher = Make();
    Focus(kTerminal);                                            // no rule, no default
    Focus(Window(0, "", "", "", ""));                            // a window that cannot be known
    Focus(Window(9, "brasslane", "Brasslane", "", "", kOwnPid)); // this program's own window
    EXPECT_TRUE(m_window.switches.empty());
    EXPECT_TRUE(switcher.RecentWindows().size() == 1 && switcher.RecentWindows()[0].id == kTerminal.id);

    // Without a way to know the focused window the feature stays off.
    switcher.SetWatcherAvailable(false, "no X server");
    Focus(kGame);
    EXPECT_TRUE(m_window.switches.empty());
    EXPECT_EQ(switcher.WatcherProblem(), "no X server");
    switcher.SetWatcherAvailable(true, "");
    Focus(kGame);
    EXPECT_EQ(m_window.switches, std::vector<int>{1});

    // Off: nothing, even for a matching window.
    WriteRules("enabled = no\nclass xterm = 3\n");
    std::filesystem::last_write_time(RulesFile(), std::filesystem::file_time_type::clock::now() + 2s);
    Focus(kTerminal);
    EXPECT_EQ(m_window.switches.size(), 1u);
    EXPECT_FALSE(switcher.Enabled());
}

TEST_F(AutoProfileSwitcherTest, WaitsForDialogsAndPendingEdits) {
    WriteRules("enabled = yes\nclass steam_app_570 = 2\nclass xterm = 3\n");
    AutoProfileSwitcher& switcher = Make();

    m_window.dialogOpen = true;
    Focus(kGame);
    EXPECT_TRUE(m_window.switches.empty());
    EXPECT_EQ(LastTimerPeriod(), 1000u); // tried again later
    Pass(1000ms);
    EXPECT_TRUE(m_window.switches.empty());
    m_window.dialogOpen = false;
    Pass(1000ms);
    EXPECT_EQ(m_window.switches, std::vector<int>{1});

    // Pending edits: no switch, and the tray says so once however often the focus moves.
    m_window.pendingEdits = true;
    Focus(kTerminal);
    Pass(1000ms);
    Focus(kGame);
    Focus(kTerminal);
    EXPECT_EQ(m_window.switches, std::vector<int>{1});
    EXPECT_EQ(std::count(m_window.notes.begin(), m_window.notes.end(), "waits for Apply"), 1);
    EXPECT_EQ(switcher.TrayNote(), "waits for Apply");
    // Applied: the waiting decision goes through.
    m_window.pendingEdits = false;
    Pass(1000ms);
    EXPECT_EQ(m_window.switches, (std::vector<int>{1, 2}));
    EXPECT_EQ(switcher.TrayNote(), "Profile 3 \xE2\x80\x94 rule: class xterm");

    // Without a keyboard (active profile unknown) nothing is asked of it.
    m_window.active = -1;
    Focus(Window(4, "steam_app_570", "steam_app_570", "Dota 2 (second window)", ""));
    EXPECT_EQ(m_window.switches, (std::vector<int>{1, 2}));
    m_window.active = 2;

    // A refused switch leaves the note as it was.
    m_window.refuse = true;
    Focus(kGame);
    EXPECT_EQ(m_window.switches, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(switcher.TrayNote(), "Profile 3 \xE2\x80\x94 rule: class xterm");
}

TEST_F(AutoProfileSwitcherTest, StoringKeepsLinesTheFileCouldNotRead) {
    WriteRules("enabled = no\nclass steam_app_570 = 9\nclass xterm = 3\n");
    AutoProfileSwitcher& switcher = Make();
    ASSERT_EQ(switcher.Problems().size(), 1u);
    EXPECT_EQ(switcher.Problems()[0].rfind("line 2: ", 0), 0u);

    std::string error;
    ASSERT_TRUE(switcher.SetEnabled(true, &error)) << error;
    AutoProfileSettings edited = switcher.Settings();
    edited.rules.insert(edited.rules.begin(), {Match::kTitle, "Blender", 1});
    edited.keptLines.clear(); // a view's copy cannot drop them
    ASSERT_TRUE(switcher.Store(edited, &error)) << error;

    std::vector<std::string> problems;
    AutoProfileSettings stored;
    ASSERT_TRUE(AutoProfileFile(RulesFile()).Load(stored, &problems, &error));
    EXPECT_TRUE(stored.enabled);
    EXPECT_EQ(stored.rules.size(), 2u);
    EXPECT_EQ(stored.keptLines, std::vector<std::string>{"class steam_app_570 = 9"});
    EXPECT_EQ(problems.size(), 1u);

    // A file that cannot be read is never written over.
    const std::uintmax_t size = AutoProfileFile::kMaxFileSize + 1;
    std::filesystem::resize_file(RulesFile(), size);
    std::filesystem::last_write_time(RulesFile(), std::filesystem::file_time_type::clock::now() + 1s);
    EXPECT_FALSE(switcher.SetEnabled(false, &error));
    EXPECT_NE(error.find("left as it is"), std::string::npos) << error;
    EXPECT_EQ(std::filesystem::file_size(RulesFile()), size);
    EXPECT_FALSE(switcher.Enabled());
    ASSERT_TRUE(switcher.Store(edited, &error) == false);
    ASSERT_TRUE(AutoProfileFile(RulesFile()).Save(stored, &error));

    // Another program changes the file: the switcher reads it again before deciding.
    std::ofstream(RulesFile(), std::ios::app) << "class steam_app_570 = 2\n";
    std::filesystem::last_write_time(RulesFile(), std::filesystem::file_time_type::clock::now() + 2s);
    Focus(kGame);
    EXPECT_EQ(m_window.switches, std::vector<int>{1});
    EXPECT_EQ(switcher.Settings().rules.size(), 3u);
}

} // namespace
} // namespace brasslane
