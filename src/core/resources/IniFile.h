#pragma once

// INI files read and written with the rules of the Windows profile-string functions: section
// and key names compare case-insensitively, the first match wins, names and values are trimmed,
// lines starting with ';' or '#' are comments, a value enclosed in a pair of double or single
// quotes loses them (so a text can keep leading or trailing spaces), and a missing file or key
// reads as the default. Reads UTF-8 (with or without BOM) and UTF-16 with BOM; writes UTF-8,
// keeps every other line of the file as it was, and replaces the file atomically (temporary
// file in the same folder, then rename). A file larger than kMaxFileBytes, or one that is not a
// regular file, reads as empty and is never overwritten.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

// Buffer limits of the callers, in characters including the terminator.
constexpr std::size_t kTextBufferChars = 260;     // language texts, rectangles
constexpr std::size_t kPictureBufferChars = 2048; // picture names (2047 characters)

class IniFile {
public:
    static constexpr std::uintmax_t kMaxFileBytes = 16u * 1024u * 1024u;

    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& Path() const { return m_path; }

    // The value of `key` in `section` (a key present with an empty value gives ""), or
    // `fallback` when the file, section or key is missing (less its trailing spaces and a pair of
    // enclosing quotes, as Windows reads a default); cut to bufferChars - 1 characters
    // (code points), so 0 gives "". Malformed UTF-8 comes back as U+FFFD. Reads the file each
    // time.
    std::string Read(std::string_view section, std::string_view key, std::string_view fallback,
                     std::size_t bufferChars = kTextBufferChars) const;
    // Does `key` exist in `section` (with any value, empty included)?
    bool Has(std::string_view section, std::string_view key) const;
    // The key names of a section in file order, each once.
    std::vector<std::string> Keys(std::string_view section) const;

    // Sets `key` in `section` (creating the parent folders, file, section or key as needed). An
    // existing key's line is replaced in place, a new key goes after the last entry of its
    // section, a new section at the end. A value with leading or trailing blanks, or one that
    // is itself enclosed in quotes, is written in double quotes so that it reads back unchanged.
    // False when the names or value cannot be stored (a line break, a section name with ']',
    // an empty key, a key with '=' or starting with '[', ';' or '#', blanks around a name) or
    // the file cannot be read or written; the old file is then untouched.
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    // Sets several keys of one section with a single rewrite of the file (all or nothing).
    bool WriteMany(std::string_view section, std::span<const std::pair<std::string, std::string>> entries);

private:
    std::filesystem::path m_path;
};

} // namespace brasslane
