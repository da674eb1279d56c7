#pragma once

// A program folder holding the English language file with the texts a test names.

#include "core/resources/Language.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace brasslane::test {

using LanguageTexts = std::vector<std::pair<std::string, std::string>>;

// Writes `folder`/Lang0409.ini with the given [TEXT] lines.
inline void WriteLanguageFile(const std::filesystem::path& folder, const LanguageTexts& texts) {
    std::filesystem::create_directories(folder);
    std::ofstream file(folder / "Lang0409.ini", std::ios::binary | std::ios::trunc);
    file << "[TEXT]\n";
    for (const auto& [key, value] : texts) {
        file << key << "=" << value << "\n";
    }
}

// A temporary program folder with a language file of `texts`, and the Language reading it as
// the English system language.
class TempLanguage {
public:
    explicit TempLanguage(const LanguageTexts& texts) : m_folder("brasslane-language-") {
        WriteLanguageFile(m_folder.Path(), texts);
        m_language = std::make_unique<Language>(m_folder.Path(), nullptr, [] { return std::uint16_t{0x0409}; });
    }

    Language& Get() { return *m_language; }
    const std::filesystem::path& Folder() const { return m_folder.Path(); }

private:
    TempFolder m_folder;
    std::unique_ptr<Language> m_language;
};

} // namespace brasslane::test
