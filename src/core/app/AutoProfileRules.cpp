#include "core/app/AutoProfileRules.h"

#include "core/base/AtomicFile.h"
#include "core/base/Keyboard.h"
#include "core/base/Strings.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace brasslane {

namespace {

// The file's own comment block; these lines are written every time and so are not kept twice.
constexpr std::array<std::string_view, 9> kHeader{
    "# Brasslane automatic profiles: the keyboard takes a rule's profile while a window it",
    "# matches has the focus. The first rule that matches wins; one rule a line:",
    "#   class NAME = N    window class (WM_CLASS instance or class), ignoring case",
    "#   exe PATH = N      program file; a name without '/' matches the file name alone",
    "#   title TEXT = N    the window title contains TEXT, ignoring case",
    "# N is the profile, 1 to 3. 'default' is the profile for every other window ('none'",
    "# leaves it as it is); 'enabled' turns automatic switching on (yes) or off (no).",
    "# Lines that cannot be read are kept below the rules.",
    "#",
};

std::optional<int> ParseProfile(std::string_view text) {
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '0' + kProfileCount) {
        return text[0] - '0';
    }
    return std::nullopt;
}

std::optional<bool> ParseSwitch(std::string_view text) {
    for (std::string_view on : {"yes", "on", "1", "true"}) {
        if (EqualsNoCase(text, on)) {
            return true;
        }
    }
    for (std::string_view off : {"no", "off", "0", "false"}) {
        if (EqualsNoCase(text, off)) {
            return false;
        }
    }
    return std::nullopt;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                   [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
    return found != text.end() || part.empty();
}

std::string_view FileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool IsHeaderLine(std::string_view line) {
    return std::find(kHeader.begin(), kHeader.end(), line) != kHeader.end();
}

// One line that is not blank and not a comment; false with the reason when it is not understood.
bool ParseLine(std::string_view line, AutoProfileSettings& settings, std::string& why) {
    const std::size_t equals = line.rfind('=');
    if (equals == std::string_view::npos) {
        why = "no '=' before the value";
        return false;
    }
    const std::string_view left = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    const std::size_t blank = std::find_if(left.begin(), left.end(), IsAsciiBlank) - left.begin();
    const std::string_view word = left.substr(0, blank);
    const std::string_view pattern = blank < left.size() ? Trim(left.substr(blank)) : std::string_view();

    if (EqualsNoCase(left, "enabled")) {
        const std::optional<bool> on = ParseSwitch(value);
        if (!on) {
            why = "'enabled' takes yes or no";
            return false;
        }
        settings.enabled = *on;
        return true;
    }
    if (EqualsNoCase(left, "default")) {
        if (EqualsNoCase(value, "none")) {
            settings.defaultProfile.reset();
            return true;
        }
        const std::optional<int> profile = ParseProfile(value);
        if (!profile) {
            why = "'default' takes a profile 1 to 3 or none";
            return false;
        }
        settings.defaultProfile = profile;
        return true;
    }
    const std::optional<AutoProfileRule::Match> match = MatchFromWord(word);
    if (!match) {
        why = "'" + std::string(word) + "' is not class, exe, title, enabled or default";
        return false;
    }
    if (pattern.empty()) {
        why = "the rule has nothing to match";
        return false;
    }
    const std::optional<int> profile = ParseProfile(value);
    if (!profile) {
        why = "a rule ends with '= N', N a profile 1 to 3";
        return false;
    }
    settings.rules.push_back({*match, std::string(pattern), *profile});
    return true;
}

} // namespace

std::string_view MatchWord(AutoProfileRule::Match match) {
    switch (match) {
    case AutoProfileRule::Match::kExe:
        return "exe";
    case AutoProfileRule::Match::kClass:
        return "class";
    case AutoProfileRule::Match::kTitle:
        return "title";
    }
    return "class";
}

std::optional<AutoProfileRule::Match> MatchFromWord(std::string_view word) {
    for (const auto match :
         {AutoProfileRule::Match::kExe, AutoProfileRule::Match::kClass, AutoProfileRule::Match::kTitle}) {
        if (EqualsNoCase(word, MatchWord(match))) {
            return match;
        }
    }
    return std::nullopt;
}

bool RuleMatches(const AutoProfileRule& rule, const ActiveWindow& window) {
    if (rule.pattern.empty()) {
        return false;
    }
    switch (rule.match) {
    case AutoProfileRule::Match::kExe:
        if (window.exe.empty()) {
            return false;
        }
        if (rule.pattern.find('/') == std::string::npos) {
            return FileName(window.exe) == rule.pattern;
        }
        return window.exe == rule.pattern;
    case AutoProfileRule::Match::kClass:
        return (!window.instance.empty() && EqualsNoCase(window.instance, rule.pattern)) ||
               (!window.windowClass.empty() && EqualsNoCase(window.windowClass, rule.pattern));
    case AutoProfileRule::Match::kTitle:
        return ContainsNoCase(window.title, rule.pattern);
    }
    return false;
}

std::string DescribeRule(const AutoProfileRule& rule) {
    return std::string(MatchWord(rule.match)) + " " + rule.pattern;
}

std::optional<std::size_t> AutoProfileSettings::FirstMatch(const ActiveWindow& window) const {
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (RuleMatches(rules[i], window)) {
            return i;
        }
    }
    return std::nullopt;
}

bool ValidateRule(const AutoProfileRule& rule, std::string* error) {
    std::string why;
    if (Trim(rule.pattern).empty()) {
        why = "the rule has nothing to match";
    } else if (rule.pattern.find_first_of("\r\n") != std::string::npos) {
        why = "the text to match must be on one line";
    } else if (Trim(rule.pattern).size() != rule.pattern.size()) {
        why = "the text to match cannot begin or end with a blank";
    } else if (rule.pattern.find('=') != std::string::npos && rule.match != AutoProfileRule::Match::kTitle) {
        // Only the last '=' of a line separates the profile; a title may hold one, a class or
        // program name has no reason to.
        why = "a class or program name cannot contain '='";
    } else if (rule.profile < 1 || rule.profile > kProfileCount) {
        why = "the profile must be 1 to 3";
    }
    if (!why.empty() && error) {
        *error = why;
    }
    return why.empty();
}

AutoProfileSettings ParseAutoProfiles(std::string_view text, std::vector<std::string>* problems) {
    AutoProfileSettings settings;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || IsHeaderLine(line)) {
            continue;
        }
        if (trimmed.front() == '#' || trimmed.front() == ';') {
            settings.keptLines.emplace_back(line);
            continue;
        }
        std::string why;
        if (!ParseLine(trimmed, settings, why)) {
            settings.keptLines.emplace_back(line);
            if (problems) {
                problems->push_back("line " + std::to_string(lineNumber) + ": " + why + " (kept as written)");
            }
        }
    }
    return settings;
}

std::string FormatAutoProfiles(const AutoProfileSettings& settings) {
    std::string out;
    for (const std::string_view line : kHeader) {
        out.append(line).append("\n");
    }
    out += settings.enabled ? "enabled = yes\n" : "enabled = no\n";
    out += "default = " + (settings.defaultProfile ? std::to_string(*settings.defaultProfile) : "none") + "\n";
    for (const AutoProfileRule& rule : settings.rules) {
        out += DescribeRule(rule) + " = " + std::to_string(rule.profile) + "\n";
    }
    for (const std::string& line : settings.keptLines) {
        out += line + "\n";
    }
    return out;
}

std::filesystem::path AutoProfileFile::BesideSettings(const std::filesystem::path& settingsFile) {
    return settingsFile.parent_path() / kFileName;
}

bool AutoProfileFile::Load(AutoProfileSettings& settings, std::vector<std::string>* problems,
                           std::string* error) const {
    std::error_code ec;
    const bool exists = std::filesystem::exists(m_file, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        if (error) {
            *error = m_file.string() + ": " + ec.message();
        }
        return false;
    }
    if (!exists) {
        settings = AutoProfileSettings();
        return true;
    }
    const std::uintmax_t size = std::filesystem::file_size(m_file, ec);
    if (ec || size > kMaxFileSize) {
        if (error) {
            *error = m_file.string() + (ec ? ": " + ec.message() : std::string(": larger than 1 MiB, not read"));
        }
        return false;
    }
    std::ifstream in(m_file, std::ios::binary);
    if (!in) {
        if (error) {
            *error = m_file.string() + ": cannot be read";
        }
        return false;
    }
    std::string text;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad() || text.size() > kMaxFileSize) {
        if (error) {
            *error = m_file.string() + ": cannot be read";
        }
        return false;
    }
    settings = ParseAutoProfiles(text, problems);
    return true;
}

bool AutoProfileFile::Save(const AutoProfileSettings& settings, std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    return WriteFileAtomically(m_file, FormatAutoProfiles(settings), error);
}

std::optional<std::filesystem::file_time_type> AutoProfileFile::LastChange() const {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(m_file, ec);
    if (ec) {
        return std::nullopt;
    }
    return time;
}

} // namespace brasslane
