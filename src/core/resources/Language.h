#pragma once

// Every visible text, looked up by key in the language file beside the program
// ("Lang%04X.ini"). Nothing is cached: an edited file takes effect at the next lookup.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace brasslane {

class SettingsStore;

class Language {
public:
    // `systemLanguage` returns the system's language id (the Linux layer maps the locale).
    // `settings` may be null: the choice is then made again at every lookup.
    Language(std::filesystem::path programFolder, SettingsStore* settings,
             std::function<std::uint16_t()> systemLanguage);

    std::uint16_t CurrentLanguageId();
    int CurrentLanguageIndex();

    // Section "TEXT"; "#Error" when the file or key is missing, "" for an empty value.
    std::string Text(std::string_view key);
    // Section "LIGHT".
    std::string Light(std::string_view key);
    // Section "MODE": the name of lighting effect `effect`.
    std::string Mode(int effect);
    std::string Lookup(std::string_view section, std::string_view key, int languageIndex);

    std::filesystem::path FileFor(int languageIndex) const;

private:
    std::filesystem::path m_folder;
    SettingsStore* m_settings;
    std::function<std::uint16_t()> m_systemLanguage;
};

// Fills a language text that is a printf-style format with one argument. Only one conversion
// (%d, %u, %i, %x, %X with optional flags and width, or %s) is honoured; anything else in the
// format is shown as written, so a broken language file can never crash the program.
std::string FormatText(std::string_view format, long long number);
std::string FormatText(std::string_view format, std::string_view text);

} // namespace brasslane
