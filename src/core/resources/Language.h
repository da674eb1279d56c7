#pragma once

// Every visible text, looked up by key in the language file beside the program
// ("Lang%04X.ini"). Nothing is cached: an edited file takes effect at the next lookup.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace brasslane {

class SettingsStore;

class Language {
public:
    // Slot 0 is English (United States); the empty slots (0) are room for further languages.
    static constexpr std::array<std::uint16_t, 3> kSupportedLanguages{1033, 0, 0};
    static constexpr std::uint16_t kDefaultLanguageId = 1033;
    static constexpr std::string_view kLanguageIdValue = "dwLanguageId";
    // The text of a key that the language file does not have (or of a missing file).
    static constexpr std::string_view kMissingText = "#Error";

    // `systemLanguage` returns the system's language id (the Linux layer maps the locale).
    // `settings` may be null: the choice is then made again at every lookup.
    Language(std::filesystem::path programFolder, SettingsStore* settings,
             std::function<std::uint16_t()> systemLanguage);

    // The stored "dwLanguageId" when it is a non-zero 16-bit id (used as it is, even without a
    // slot); otherwise the system language (zh_HK and zh_SG mapped to 1033, anything without
    // a slot replaced by 1033), which is then stored. A failed store is ignored: the choice is
    // simply made again next time.
    std::uint16_t CurrentLanguageId();
    // The slot of CurrentLanguageId() in kSupportedLanguages, 0 when it has none.
    int CurrentLanguageIndex();

    // Section "TEXT"; "#Error" when the file or key is missing, "" for an empty value. At most
    // 259 characters.
    std::string Text(std::string_view key);
    // Section "LIGHT".
    std::string Light(std::string_view key);
    // Section "MODE": the name of lighting effect `effect`.
    std::string Mode(int effect);
    // One lookup in the file of slot `languageIndex` (outside 0..2, or an empty slot: slot 0).
    std::string Lookup(std::string_view section, std::string_view key, int languageIndex);

    // "<program folder>/Lang%04X.ini" for the id of the slot `languageIndex` selects.
    std::filesystem::path FileFor(int languageIndex) const;
    // "Lang%04X.ini" for `languageId`.
    static std::string FileName(std::uint16_t languageId);

private:
    std::filesystem::path m_folder;
    SettingsStore* m_settings;
    std::function<std::uint16_t()> m_systemLanguage;
};

// Fills a language text that is a printf-style format with one argument. Only the first
// conversion (%d, %i, %u, %x, %X or %s, with optional flags "-+ 0#", a width up to 999 and an
// ignored 'l' or 'll') takes the argument: a number under %s shows in decimal, a text under a
// number conversion shows as %s would. "%%" gives "%"; anything else, later conversions
// included, is shown as written, so a broken language file can never crash the program.
// Widths count code points; %u, %x and %X show a negative number as its 64-bit two's
// complement.
std::string FormatText(std::string_view format, long long number);
std::string FormatText(std::string_view format, std::string_view text);

} // namespace brasslane
