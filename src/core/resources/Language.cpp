#include "core/resources/Language.h"

#include "core/resources/IniFile.h"
#include "core/resources/SettingsStore.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace brasslane {

namespace {

constexpr std::string_view kTextSection = "TEXT";
constexpr std::string_view kLightSection = "LIGHT";
constexpr std::string_view kModeSection = "MODE";

// System languages that are shown in the language of another slot.
constexpr std::array<std::pair<std::uint16_t, std::uint16_t>, 2> kSystemLanguageMap{{
    {0x0C04, 1033}, // Chinese (Hong Kong)
    {0x1004, 1033}, // Chinese (Singapore)
}};

bool HasSlot(std::uint16_t id) {
    return id != 0 && std::ranges::find(Language::kSupportedLanguages, id) != Language::kSupportedLanguages.end();
}

} // namespace

Language::Language(std::filesystem::path programFolder, SettingsStore* settings,
                   std::function<std::uint16_t()> systemLanguage)
    : m_folder(std::move(programFolder)), m_settings(settings), m_systemLanguage(std::move(systemLanguage)) {}

std::uint16_t Language::CurrentLanguageId() {
    if (m_settings != nullptr) {
        const std::optional<std::uint32_t> stored =
            m_settings->ReadNumber(SettingsStore::kProgramSection, kLanguageIdValue);
        // A value that is no 16-bit id cannot name a file; it counts as no choice.
        if (stored && *stored != 0 && *stored <= 0xFFFF) {
            return static_cast<std::uint16_t>(*stored);
        }
    }
    std::uint16_t id = m_systemLanguage ? m_systemLanguage() : kDefaultLanguageId;
    for (const auto& [from, to] : kSystemLanguageMap) {
        if (id == from) {
            id = to;
        }
    }
    if (!HasSlot(id)) {
        id = kDefaultLanguageId;
    }
    if (m_settings != nullptr) {
        m_settings->WriteNumber(SettingsStore::kProgramSection, kLanguageIdValue, id);
    }
    return id;
}

int Language::CurrentLanguageIndex() {
    const std::uint16_t id = CurrentLanguageId();
    for (std::size_t slot = 0; slot < kSupportedLanguages.size(); ++slot) {
        if (kSupportedLanguages[slot] != 0 && kSupportedLanguages[slot] == id) {
            return static_cast<int>(slot);
        }
    }
    return 0;
}

std::string Language::Text(std::string_view key) {
    return Lookup(kTextSection, key, CurrentLanguageIndex());
}

std::string Language::Light(std::string_view key) {
    return Lookup(kLightSection, key, CurrentLanguageIndex());
}

std::string Language::Mode(int effect) {
    return Lookup(kModeSection, std::to_string(effect), CurrentLanguageIndex());
}

std::string Language::Lookup(std::string_view section, std::string_view key, int languageIndex) {
    return IniFile(FileFor(languageIndex)).Read(section, key, kMissingText, kTextBufferChars);
}

std::filesystem::path Language::FileFor(int languageIndex) const {
    const bool inTable = languageIndex >= 0 && languageIndex < static_cast<int>(kSupportedLanguages.size());
    std::uint16_t id = kSupportedLanguages[inTable ? static_cast<std::size_t>(languageIndex) : 0];
    if (id == 0) {
        // An empty slot has no file of its own.
        id = kSupportedLanguages[0];
    }
    return m_folder / FileName(id);
}

std::string Language::FileName(std::uint16_t languageId) {
    char name[16];
    std::snprintf(name, sizeof name, "Lang%04X.ini", static_cast<unsigned>(languageId));
    return name;
}

} // namespace brasslane
