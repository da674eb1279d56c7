#pragma once

// The program's two small settings ("dwLanguageId" and the "PROFILES" section) in an INI file
// that stands in for the registry: $XDG_CONFIG_HOME/Brasslane/Brasslane.ini. Sections are
// named after the registry keys they replace.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brasslane {

class SettingsStore {
public:
    // Registry key "Software\Brasslane" and the framework's per-user profile area.
    static constexpr std::string_view kProgramSection = "Software\\Brasslane";
    static constexpr std::string_view kProfilesSection = "PROFILES";

    explicit SettingsStore(std::filesystem::path file);
    // $XDG_CONFIG_HOME/Brasslane/Brasslane.ini, ~/.config when XDG_CONFIG_HOME is unset.
    static std::filesystem::path DefaultPath();

    const std::filesystem::path& Path() const { return m_file; }

    // A value written by WriteNumber (decimal; "0x" hexadecimal is accepted too); nullopt when
    // it is missing or is not a whole 32-bit number.
    std::optional<std::uint32_t> ReadNumber(std::string_view section, std::string_view key) const;
    bool WriteNumber(std::string_view section, std::string_view key, std::uint32_t value);
    // Up to 4095 characters; `fallback` when missing. The writes return false when the file
    // cannot be written (the old file is then untouched).
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

private:
    std::filesystem::path m_file;
};

} // namespace brasslane
