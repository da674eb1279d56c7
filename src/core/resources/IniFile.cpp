#include "core/resources/IniFile.h"

#include "core/base/AtomicFile.h"
#include "core/base/Strings.h"
#include "core/base/Utf8.h"

#include <array>
#include <fstream>
#include <optional>
#include <span>
#include <system_error>
#include <utility>

namespace brasslane {

namespace fs = std::filesystem;

namespace {

enum class Encoding { Utf8, Utf8Bom, Utf16 };

enum class LoadStatus { Ok, Missing, Refused };

struct LoadedText {
    LoadStatus status = LoadStatus::Missing;
    Encoding encoding = Encoding::Utf8;
    // UTF-8 without BOM. Bytes of a UTF-8 file are kept as they are, malformed or not, so that a
    // rewrite changes nothing but the written line.
    std::string text;
};

LoadedText Load(const fs::path& path) {
    LoadedText loaded;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        return loaded; // a missing file reads as an empty one
    }
    if (ec) {
        loaded.status = LoadStatus::Refused;
        return loaded;
    }
    // Devices and pipes could stream forever; folders cannot be read as text.
    if (!fs::is_regular_file(status)) {
        loaded.status = LoadStatus::Refused;
        return loaded;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > IniFile::kMaxFileBytes) {
        loaded.status = LoadStatus::Refused;
        return loaded;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        loaded.status = LoadStatus::Refused;
        return loaded;
    }
    // The file may grow between the size check and the read; never take more than the limit.
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad() || in.peek() != std::char_traits<char>::eof()) {
        loaded.status = LoadStatus::Refused;
        return loaded;
    }

    const auto u8 = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (u8.size() >= 2 && ((u8[0] == 0xFF && u8[1] == 0xFE) || (u8[0] == 0xFE && u8[1] == 0xFF))) {
        loaded.encoding = Encoding::Utf16;
        loaded.text = utf8::FromUtf16(u8.subspan(2), u8[0] == 0xFE);
    } else if (u8.size() >= 3 && u8[0] == 0xEF && u8[1] == 0xBB && u8[2] == 0xBF) {
        loaded.encoding = Encoding::Utf8Bom;
        loaded.text = bytes.substr(3);
    } else {
        loaded.encoding = Encoding::Utf8;
        loaded.text = std::move(bytes);
    }
    loaded.status = LoadStatus::Ok;
    return loaded;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

bool EnclosedInQuotes(std::string_view s) {
    return s.size() >= 2 && IsQuote(s.front()) && s.front() == s.back();
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // entries only: trimmed, outer quotes removed
};

ParsedLine ParseLine(std::string_view line) {
    ParsedLine parsed;
    const std::string_view content = Trim(line);
    if (content.empty() || content.front() == ';' || content.front() == '#') {
        return parsed;
    }
    if (content.front() == '[') {
        const std::size_t close = content.rfind(']');
        if (close != std::string_view::npos) {
            parsed.kind = LineKind::Section;
            parsed.name = Trim(content.substr(1, close - 1));
        }
        return parsed;
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) {
        return parsed;
    }
    parsed.kind = LineKind::Entry;
    parsed.name = Trim(content.substr(0, equals));
    parsed.value = Trim(content.substr(equals + 1));
    if (EnclosedInQuotes(parsed.value)) {
        parsed.value = parsed.value.substr(1, parsed.value.size() - 2);
    }
    return parsed;
}

struct Line {
    std::string_view text;   // without its line break
    std::string_view ending; // "\n", "\r\n", "\r" or "" for the last line
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        const std::size_t endingLength = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        lines.push_back({text.substr(start, end - start), text.substr(end, endingLength)});
        start = end + endingLength;
    }
    return lines;
}

// Calls visit(parsedLine, lineIndex) for every entry of every section named `section`, in file
// order, until visit returns true. Returns the index it stopped at.
template <typename Visit>
std::optional<std::size_t> ForEachEntry(const std::vector<Line>& lines, std::string_view section, Visit visit) {
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = ParseLine(lines[i].text);
        if (parsed.kind == LineKind::Section) {
            inSection = EqualsNoCase(parsed.name, section);
        } else if (parsed.kind == LineKind::Entry && inSection && visit(parsed, i)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> FindValue(const fs::path& path, std::string_view section, std::string_view key) {
    const LoadedText loaded = Load(path);
    if (loaded.status != LoadStatus::Ok) {
        return std::nullopt;
    }
    const std::vector<Line> lines = SplitLines(loaded.text);
    std::optional<std::string> found;
    ForEachEntry(lines, section, [&](const ParsedLine& parsed, std::size_t) {
        if (EqualsNoCase(parsed.name, key)) {
            found = std::string(parsed.value);
            return true;
        }
        return false;
    });
    return found;
}

std::string CutToBuffer(std::string_view text, std::size_t bufferChars) {
    if (bufferChars == 0) {
        return {};
    }
    return std::string(utf8::CutToCodePoints(text, bufferChars - 1));
}

bool ContainsAny(std::string_view s, std::string_view chars) {
    return s.find_first_of(chars) != std::string_view::npos;
}

constexpr std::string_view kLineBreaksAndNul{"\r\n\0", 3};

bool ValidNames(std::string_view section, std::string_view key, std::string_view value) {
    if (ContainsAny(section, kLineBreaksAndNul) || ContainsAny(key, kLineBreaksAndNul) ||
        ContainsAny(value, kLineBreaksAndNul)) {
        return false;
    }
    if (Trim(section) != section || section.find(']') != std::string_view::npos) {
        return false;
    }
    if (key.empty() || Trim(key) != key || key.find('=') != std::string_view::npos || key.front() == '[' ||
        key.front() == ';' || key.front() == '#') {
        return false;
    }
    return true;
}

std::string EncodeValue(std::string_view value) {
    const bool needsQuotes = Trim(value) != value || EnclosedInQuotes(value);
    if (!needsQuotes) {
        return std::string(value);
    }
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted += '"';
    quoted += value;
    quoted += '"';
    return quoted;
}

} // namespace

IniFile::IniFile(std::filesystem::path path) : m_path(std::move(path)) {}

std::string IniFile::Read(std::string_view section, std::string_view key, std::string_view fallback,
                          std::size_t bufferChars) const {
    const std::optional<std::string> value = FindValue(m_path, section, key);
    if (!value) {
        // As Windows does: the default loses its trailing spaces, then a pair of enclosing
        // quotes, like a value read from the file.
        while (!fallback.empty() && fallback.back() == ' ') {
            fallback.remove_suffix(1);
        }
        if (EnclosedInQuotes(fallback)) {
            fallback = fallback.substr(1, fallback.size() - 2);
        }
        return CutToBuffer(fallback, bufferChars);
    }
    return CutToBuffer(utf8::Sanitize(*value), bufferChars);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
    return FindValue(m_path, section, key).has_value();
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const LoadedText loaded = Load(m_path);
    if (loaded.status != LoadStatus::Ok) {
        return keys;
    }
    const std::vector<Line> lines = SplitLines(loaded.text);
    std::vector<std::string_view> seen;
    ForEachEntry(lines, section, [&](const ParsedLine& parsed, std::size_t) {
        for (std::string_view name : seen) {
            if (EqualsNoCase(name, parsed.name)) {
                return false;
            }
        }
        seen.push_back(parsed.name);
        keys.push_back(utf8::Sanitize(parsed.name));
        return false;
    });
    return keys;
}

namespace {

// The file's text (without byte-order mark) with `key` set to `value` in `section`: over the
// line of the existing key, else after the last entry (or the header) of the first section of
// that name, else in a new section at the end.
std::string SetEntry(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
    const std::vector<Line> lines = SplitLines(text);
    std::string_view newline = "\n";
    for (const Line& line : lines) {
        if (!line.ending.empty()) {
            newline = line.ending;
            break;
        }
    }
    const std::string entryText = std::string(key) + "=" + EncodeValue(value);

    std::optional<std::size_t> replaceAt = ForEachEntry(
        lines, section, [&](const ParsedLine& parsed, std::size_t) { return EqualsNoCase(parsed.name, key); });
    std::optional<std::size_t> insertAfter;
    if (!replaceAt) {
        bool inFirst = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const ParsedLine parsed = ParseLine(lines[i].text);
            if (parsed.kind == LineKind::Section) {
                if (inFirst) {
                    break;
                }
                inFirst = EqualsNoCase(parsed.name, section);
                if (inFirst) {
                    insertAfter = i;
                }
            } else if (inFirst && parsed.kind == LineKind::Entry) {
                insertAfter = i;
            }
        }
    }

    std::string out;
    out.reserve(text.size() + entryText.size() + section.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (replaceAt == i) {
            out += entryText;
        } else {
            out += lines[i].text;
        }
        if (insertAfter == i) {
            out += lines[i].ending.empty() ? newline : lines[i].ending;
            out += entryText;
            out += newline;
            continue;
        }
        out += lines[i].ending;
    }
    if (!replaceAt && !insertAfter) {
        if (!lines.empty()) {
            if (lines.back().ending.empty()) {
                out += newline;
            }
            if (!Trim(lines.back().text).empty()) {
                out += newline;
            }
        }
        out += "[";
        out += section;
        out += "]";
        out += newline;
        out += entryText;
        out += newline;
    }
    return out;
}

} // namespace

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    const std::pair<std::string, std::string> entry{std::string(key), std::string(value)};
    return WriteMany(section, std::span(&entry, 1));
}

bool IniFile::WriteMany(std::string_view section, std::span<const std::pair<std::string, std::string>> entries) {
    for (const auto& [key, value] : entries) {
        if (!ValidNames(section, key, value)) {
            return false;
        }
    }
    const LoadedText loaded = Load(m_path);
    if (loaded.status == LoadStatus::Refused) {
        return false;
    }
    std::string text = loaded.text;
    for (const auto& [key, value] : entries) {
        text = SetEntry(text, section, key, value);
    }
    if (loaded.encoding != Encoding::Utf8) {
        // A converted UTF-16 file keeps a byte-order mark so that it is still recognised as Unicode.
        text.insert(0, "\xEF\xBB\xBF");
    }
    // The settings file's folder is the program's own: made on the first write.
    std::error_code ec;
    if (m_path.has_parent_path()) {
        fs::create_directories(m_path.parent_path(), ec);
    }
    return WriteFileAtomically(m_path, text);
}

} // namespace brasslane
