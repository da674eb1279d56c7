#include "core/resources/SettingsStore.h"

#include "core/resources/IniFile.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <utility>

namespace brasslane {

namespace {

// Settings hold paths (the profile list), which may be longer than a language text.
constexpr std::size_t kSettingBufferChars = 4096;

// Parses the whole of `text` as a decimal number or, with a 0x prefix, a hexadecimal one.
std::optional<std::uint32_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::filesystem::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return {};
    }
    std::filesystem::path path(value);
    // Relative values are invalid for the XDG variables and must be ignored.
    return path.is_absolute() ? path : std::filesystem::path{};
}

} // namespace

SettingsStore::SettingsStore(std::filesystem::path file) : m_file(std::move(file)) {}

std::filesystem::path SettingsStore::DefaultPath() {
    std::filesystem::path base = FromEnvironment("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::filesystem::path home = FromEnvironment("HOME");
        // Without a home the settings go to the working folder rather than to the root.
        base = home.empty() ? std::filesystem::path(".config") : home / ".config";
    }
    return base / "Brasslane" / "Brasslane.ini";
}

std::optional<std::uint32_t> SettingsStore::ReadNumber(std::string_view section, std::string_view key) const {
    const IniFile file(m_file);
    if (!file.Has(section, key)) {
        return std::nullopt;
    }
    return ParseNumber(file.Read(section, key, ""));
}

bool SettingsStore::WriteNumber(std::string_view section, std::string_view key, std::uint32_t value) {
    return WriteString(section, key, std::to_string(value));
}

std::string SettingsStore::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
    return IniFile(m_file).Read(section, key, fallback, kSettingBufferChars);
}

bool SettingsStore::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    IniFile file(m_file);
    return file.Write(section, key, value);
}

} // namespace brasslane
