#pragma once

// One profile's user lighting modes in its mode file (an INI file in the per-user folder):
// ten named modes, each a complete per-key colour layout with its mark colour, base colour
// and painting tool, and the number of the current mode. Missing or malformed entries read as
// their defaults, so a missing file shows ten modes named "0" with every key red and marked.

#include "core/lighting/Rgb.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <string_view>

namespace brasslane {

constexpr int kUserModeCount = 10;

// 0 = base tool (paints the base colour, clears the mark), 1 = mark tool (paints the mark
// colour, sets the mark).
enum class PaintTool : std::uint8_t { kBase = 0, kMark = 1 };

struct UserKeyEntry {
    Rgb colour{255, 0, 0};
    bool marked = true;

    bool operator==(const UserKeyEntry&) const = default;
};

struct UserModeHeader {
    PaintTool tool = PaintTool::kBase;
    Rgb markColour;
    Rgb baseColour;

    bool operator==(const UserModeHeader&) const = default;
};

// "r,g,b" with each part 0..255 (blanks around the numbers allowed); nullopt otherwise.
std::optional<Rgb> ParseRgbText(std::string_view text);
// "r,g,b,m": any non-zero m is a mark. Anything malformed (a part missing or extra, a colour
// part outside 0..255, not a number) gives the default entry, red and marked.
UserKeyEntry ParseKeyEntryText(std::string_view text);
std::string FormatRgbText(Rgb colour);
std::string FormatKeyEntryText(const UserKeyEntry& entry);

class UserModeFile {
public:
    explicit UserModeFile(std::filesystem::path path);

    // <userFolder>/UserDengColor_<profile>.userd
    static std::filesystem::path PathFor(const std::filesystem::path& userFolder, int profile);
    // The installed default: <programFolder>/Skins/UserDengColor_3.userd
    static std::filesystem::path DefaultPath(const std::filesystem::path& programFolder);

    const std::filesystem::path& Path() const { return m_path; }

    // The current mode, 0..9; 0 when missing or not a mode number.
    int ReadCurrentMode() const;
    // Mode names and entries of modes outside 0..9 read as defaults; writes of them return
    // false and change nothing. Writes return false when the file cannot be written.
    bool WriteCurrentMode(int mode);
    std::string ReadModeName(int mode) const;
    // Control characters (line breaks among them) become blanks, so that a pasted name can
    // never break the file.
    bool WriteModeName(int mode, std::string_view name);
    UserKeyEntry ReadKeyEntry(int mode, int index) const;
    bool WriteKeyEntry(int mode, int index, const UserKeyEntry& entry);
    // Several key entries of one mode in a single rewrite of the file (a recolour touches up
    // to 106 keys; one rewrite per key would make it slow).
    bool WriteKeyEntries(int mode, std::span<const std::pair<int, UserKeyEntry>> entries);
    UserModeHeader ReadModeHeader(int mode) const;
    bool WriteModeHeader(int mode, const UserModeHeader& header);

    // Replaces this file with a byte-for-byte copy of `defaultFile`, or with an empty file when
    // the default does not exist, through a temporary file and a rename. False, with the
    // reason in `error` (optional) and the old file untouched, when the default cannot be read
    // or the copy cannot be written.
    bool RestoreFrom(const std::filesystem::path& defaultFile, std::string* error = nullptr);

private:
    std::filesystem::path m_path;
};

} // namespace brasslane
