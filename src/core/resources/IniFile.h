#pragma once

// INI files read and written with the rules of the Windows profile-string functions: section
// and key names compare case-insensitively, the first match wins, names and values are trimmed,
// lines starting with ';' are comments, and a missing file or key reads as the default. Reads
// UTF-8 and UTF-16LE with BOM; writes UTF-8, keep every other line of the file as it was, and
// replace the file atomically (temporary file and rename).

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brasslane {

// Buffer limits of the callers, in characters including the terminator.
constexpr std::size_t kTextBufferChars = 260;    // language texts, rectangles
constexpr std::size_t kPictureBufferChars = 2048; // picture names (2047 characters)

class IniFile {
public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& Path() const { return m_path; }

    // The value of `key` in `section`, or `fallback`; cut to bufferChars - 1 characters (code
    // points). Reads the file each time.
    std::string Read(std::string_view section, std::string_view key, std::string_view fallback,
                     std::size_t bufferChars = kTextBufferChars) const;
    // Does `key` exist in `section` (with any value, empty included)?
    bool Has(std::string_view section, std::string_view key) const;
    // The key names of a section in file order.
    std::vector<std::string> Keys(std::string_view section) const;

    // Sets `key` in `section` (creating the file, section or key as needed). False when the
    // file cannot be written; the old file is then untouched.
    bool Write(std::string_view section, std::string_view key, std::string_view value);

private:
    std::filesystem::path m_path;
};

} // namespace brasslane
