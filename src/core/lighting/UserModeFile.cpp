#include "core/lighting/UserModeFile.h"

#include "core/base/AtomicFile.h"
#include "core/base/Strings.h"
#include "core/resources/IniFile.h"

#include <array>
#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

namespace brasslane {

namespace {

constexpr std::string_view kPresentSection = "PRESENTMODE";
constexpr std::string_view kPresentKey = "mode";
constexpr std::string_view kNameSection = "MODENAME";
constexpr std::string_view kToolKey = "tool";
constexpr std::string_view kMarkColourKey = "jcolor";
constexpr std::string_view kBaseColourKey = "color";
constexpr std::string_view kDefaultName = "0";
constexpr std::string_view kDefaultEntry = "255,0,0,1";
constexpr std::string_view kDefaultColour = "0,0,0";
// A mode file is a few kilobytes; a default larger than this is not one.
constexpr std::uintmax_t kMaxModeFileBytes = IniFile::kMaxFileBytes;

bool ValidMode(int mode) {
    return mode >= 0 && mode < kUserModeCount;
}

std::string ModeSection(int mode) {
    return "Mode" + std::to_string(mode);
}

std::optional<long long> ParseInteger(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Splits "a,b,c" into exactly `count` integers.
template <std::size_t count> std::optional<std::array<long long, count>> ParseIntegers(std::string_view text) {
    std::array<long long, count> values{};
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t comma = text.find(',');
        const bool last = i + 1 == count;
        if (last != (comma == std::string_view::npos)) {
            return std::nullopt;
        }
        const std::optional<long long> value = ParseInteger(text.substr(0, comma));
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
        text = last ? std::string_view{} : text.substr(comma + 1);
    }
    return values;
}

std::optional<Rgb> ToRgb(long long red, long long green, long long blue) {
    const auto byte = [](long long v) { return v >= 0 && v <= 255; };
    if (!byte(red) || !byte(green) || !byte(blue)) {
        return std::nullopt;
    }
    return Rgb{static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(blue)};
}

} // namespace

std::optional<Rgb> ParseRgbText(std::string_view text) {
    const auto values = ParseIntegers<3>(text);
    if (!values) {
        return std::nullopt;
    }
    return ToRgb((*values)[0], (*values)[1], (*values)[2]);
}

UserKeyEntry ParseKeyEntryText(std::string_view text) {
    const auto values = ParseIntegers<4>(text);
    if (!values) {
        return UserKeyEntry{};
    }
    const std::optional<Rgb> colour = ToRgb((*values)[0], (*values)[1], (*values)[2]);
    if (!colour) {
        return UserKeyEntry{};
    }
    return UserKeyEntry{*colour, (*values)[3] != 0};
}

std::string FormatRgbText(Rgb colour) {
    return std::to_string(colour.red) + "," + std::to_string(colour.green) + "," + std::to_string(colour.blue);
}

std::string FormatKeyEntryText(const UserKeyEntry& entry) {
    return FormatRgbText(entry.colour) + (entry.marked ? ",1" : ",0");
}

UserModeFile::UserModeFile(std::filesystem::path path) : m_path(std::move(path)) {}

std::filesystem::path UserModeFile::PathFor(const std::filesystem::path& userFolder, int profile) {
    return userFolder / ("UserDengColor_" + std::to_string(profile) + ".userd");
}

std::filesystem::path UserModeFile::DefaultPath(const std::filesystem::path& programFolder) {
    return programFolder / "Skins" / "UserDengColor_3.userd";
}

int UserModeFile::ReadCurrentMode() const {
    const std::optional<long long> mode = ParseInteger(IniFile(m_path).Read(kPresentSection, kPresentKey, "0"));
    if (!mode || *mode < 0 || *mode >= kUserModeCount) {
        return 0;
    }
    return static_cast<int>(*mode);
}

bool UserModeFile::WriteCurrentMode(int mode) {
    if (!ValidMode(mode)) {
        return false;
    }
    return IniFile(m_path).Write(kPresentSection, kPresentKey, std::to_string(mode));
}

std::string UserModeFile::ReadModeName(int mode) const {
    if (!ValidMode(mode)) {
        return std::string(kDefaultName);
    }
    return IniFile(m_path).Read(kNameSection, std::to_string(mode), kDefaultName);
}

bool UserModeFile::WriteModeName(int mode, std::string_view name) {
    if (!ValidMode(mode)) {
        return false;
    }
    std::string clean(name);
    for (char& c : clean) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return IniFile(m_path).Write(kNameSection, std::to_string(mode), clean);
}

UserKeyEntry UserModeFile::ReadKeyEntry(int mode, int index) const {
    if (!ValidMode(mode) || index < 0) {
        return UserKeyEntry{};
    }
    return ParseKeyEntryText(IniFile(m_path).Read(ModeSection(mode), std::to_string(index), kDefaultEntry));
}

bool UserModeFile::WriteKeyEntry(int mode, int index, const UserKeyEntry& entry) {
    if (!ValidMode(mode) || index < 0) {
        return false;
    }
    return IniFile(m_path).Write(ModeSection(mode), std::to_string(index), FormatKeyEntryText(entry));
}

bool UserModeFile::WriteKeyEntries(int mode, std::span<const std::pair<int, UserKeyEntry>> entries) {
    if (!ValidMode(mode)) {
        return false;
    }
    std::vector<std::pair<std::string, std::string>> values;
    values.reserve(entries.size());
    for (const auto& [index, entry] : entries) {
        if (index < 0) {
            return false;
        }
        values.emplace_back(std::to_string(index), FormatKeyEntryText(entry));
    }
    return IniFile(m_path).WriteMany(ModeSection(mode), values);
}

UserModeHeader UserModeFile::ReadModeHeader(int mode) const {
    UserModeHeader header;
    if (!ValidMode(mode)) {
        return header;
    }
    const IniFile file(m_path);
    const std::string section = ModeSection(mode);
    const std::optional<long long> tool = ParseInteger(file.Read(section, kToolKey, "0"));
    header.tool = tool && *tool == 1 ? PaintTool::kMark : PaintTool::kBase;
    header.markColour = ParseRgbText(file.Read(section, kMarkColourKey, kDefaultColour)).value_or(kBlack);
    header.baseColour = ParseRgbText(file.Read(section, kBaseColourKey, kDefaultColour)).value_or(kBlack);
    return header;
}

bool UserModeFile::WriteModeHeader(int mode, const UserModeHeader& header) {
    if (!ValidMode(mode)) {
        return false;
    }
    IniFile file(m_path);
    const std::string section = ModeSection(mode);
    const bool tool = file.Write(section, kToolKey, header.tool == PaintTool::kMark ? "1" : "0");
    const bool mark = file.Write(section, kMarkColourKey, FormatRgbText(header.markColour));
    const bool base = file.Write(section, kBaseColourKey, FormatRgbText(header.baseColour));
    return tool && mark && base;
}

bool UserModeFile::RestoreFrom(const std::filesystem::path& defaultFile, std::string* error) {
    const auto fail = [error](std::string text) {
        if (error) {
            *error = std::move(text);
        }
        return false;
    };

    std::vector<char> content;
    std::error_code ec;
    if (std::filesystem::exists(defaultFile, ec)) {
        const std::uintmax_t size = std::filesystem::file_size(defaultFile, ec);
        if (ec || !std::filesystem::is_regular_file(defaultFile, ec)) {
            return fail("cannot read the default mode file " + defaultFile.string());
        }
        if (size > kMaxModeFileBytes) {
            return fail("the default mode file " + defaultFile.string() + " is too large");
        }
        std::ifstream in(defaultFile, std::ios::binary);
        content.resize(static_cast<std::size_t>(size));
        if (!in || !in.read(content.data(), static_cast<std::streamsize>(content.size()))) {
            return fail("cannot read the default mode file " + defaultFile.string());
        }
    } else if (ec) {
        return fail("cannot look for the default mode file " + defaultFile.string() + ": " + ec.message());
    }

    if (m_path.has_parent_path()) {
        std::filesystem::create_directories(m_path.parent_path(), ec);
    }
    std::string text;
    if (!WriteFileAtomically(m_path, std::string_view(content.data(), content.size()), &text)) {
        return fail(text);
    }
    return true;
}

} // namespace brasslane
