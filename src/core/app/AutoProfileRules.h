#pragma once

// The rules that choose a profile for the program that has the focus, and the file that holds
// them: "AutoProfiles.conf" beside the settings file, one rule a line, written to be read and
// edited by hand. The desktop app and brasslanectl read and write the same file.
//
//   enabled = yes                 automatic switching on (yes) or off (no)
//   default = 1                   profile for windows no rule matches; "none" leaves it as is
//   class steam_app_570 = 2       WM_CLASS instance or class, ignoring case
//   exe /usr/bin/gimp = 3         the program file; a name without '/' matches the file name
//   title LibreOffice = 1         the window title contains the text, ignoring case
//
// The first rule that matches wins. Lines the reader does not understand are reported and kept:
// a rewrite puts them back, word for word, after the rules.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

// What is known of the window that has the focus. Empty texts are unknown.
struct ActiveWindow {
    std::uint32_t id = 0;    // the window system's id of the window; 0: no window has the focus
    std::string instance;    // WM_CLASS instance name
    std::string windowClass; // WM_CLASS class name
    std::string title;       // _NET_WM_NAME, else WM_NAME (UTF-8)
    std::string exe;         // the program file of its process
    int pid = 0;             // its process, 0 when the window does not say

    bool operator==(const ActiveWindow&) const = default;
};

struct AutoProfileRule {
    enum class Match { kExe, kClass, kTitle };
    Match match = Match::kClass;
    std::string pattern; // never empty, no line breaks, no leading or trailing blanks
    int profile = 1;     // 1..3, as the user counts them

    bool operator==(const AutoProfileRule&) const = default;
};

// "class", "exe" or "title": the word the file and brasslanectl use.
std::string_view MatchWord(AutoProfileRule::Match match);
std::optional<AutoProfileRule::Match> MatchFromWord(std::string_view word);

// True when `rule` matches `window`: exe compares the whole path (or only the file name when the
// pattern has no '/'), exactly; class compares with the instance and with the class, ignoring
// ASCII case; title looks for the pattern anywhere in the title, ignoring ASCII case.
bool RuleMatches(const AutoProfileRule& rule, const ActiveWindow& window);

// A rule as one line of the file without its profile: "class steam_app_570".
std::string DescribeRule(const AutoProfileRule& rule);

struct AutoProfileSettings {
    bool enabled = false;
    std::optional<int> defaultProfile; // 1..3; nullopt leaves the profile as it is
    std::vector<AutoProfileRule> rules;
    // Lines of the file that were not understood (and comments other than the file's own
    // header), in their order; written back after the rules.
    std::vector<std::string> keptLines;

    // The index of the first rule that matches `window`; nullopt when none does.
    std::optional<std::size_t> FirstMatch(const ActiveWindow& window) const;
};

// Checks a rule before it is stored: pattern not empty and on one line, profile 1..3. False with
// a reason in `error` otherwise.
bool ValidateRule(const AutoProfileRule& rule, std::string* error);

// Reads the file's text. Every line not understood goes to keptLines and gets one message
// "line N: why" in `problems`. Never fails: a missing or empty text gives the defaults (off, no
// default profile, no rules).
AutoProfileSettings ParseAutoProfiles(std::string_view text, std::vector<std::string>* problems = nullptr);
// The file's text for `settings`: header, the two settings, the rules, then the kept lines.
std::string FormatAutoProfiles(const AutoProfileSettings& settings);

class AutoProfileFile {
public:
    static constexpr std::string_view kFileName = "AutoProfiles.conf";
    // Files larger than this are not read (nothing a person writes by hand comes near it).
    static constexpr std::uintmax_t kMaxFileSize = 1024 * 1024;

    explicit AutoProfileFile(std::filesystem::path file) : m_file(std::move(file)) {}
    // The file beside `settingsFile` (SettingsStore's file).
    static std::filesystem::path BesideSettings(const std::filesystem::path& settingsFile);

    const std::filesystem::path& Path() const { return m_file; }

    // Reads the file. A missing file gives the defaults and true. False, with the reason in
    // `error` and `settings` left as they were, when the file exists but cannot be read or is
    // too large; a caller must then not write the file (it would lose what the user wrote).
    bool Load(AutoProfileSettings& settings, std::vector<std::string>* problems, std::string* error) const;
    // Writes the whole file under a temporary name, then renames it. False with the reason in
    // `error` when it cannot be written (the old file is then untouched).
    bool Save(const AutoProfileSettings& settings, std::string* error) const;

    // The file's last change, nullopt when it does not exist; used to notice edits by another
    // program.
    std::optional<std::filesystem::file_time_type> LastChange() const;

private:
    std::filesystem::path m_file;
};

} // namespace brasslane
