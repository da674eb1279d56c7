#pragma once

// Shared pieces of the keys tests: a language file in a temporary folder and a UiSink that
// records what it is asked to show.

#include "core/base/UiSink.h"
#include "core/resources/Language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace brasslane::test {

// A program folder holding Lang0409.ini with the given [TEXT] lines; removed again at the end.
class TempLanguage {
public:
    explicit TempLanguage(const std::vector<std::pair<std::string, std::string>>& texts) {
        static int serial = 0;
        m_folder = std::filesystem::temp_directory_path() /
                   ("brasslane-keys-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_folder);
        std::ofstream file(m_folder / "Lang0409.ini", std::ios::binary);
        file << "[TEXT]\n";
        for (const auto& [key, value] : texts) {
            file << key << "=" << value << "\n";
        }
        file.close();
        m_language = std::make_unique<Language>(m_folder, nullptr, [] { return std::uint16_t{0x0409}; });
    }
    ~TempLanguage() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    TempLanguage(const TempLanguage&) = delete;
    TempLanguage& operator=(const TempLanguage&) = delete;

    Language& Get() { return *m_language; }

private:
    std::filesystem::path m_folder;
    std::unique_ptr<Language> m_language;
};

// The texts the keys module shows, with recognisable values.
inline std::vector<std::pair<std::string, std::string>> StandardTexts() {
    return {
        {"UNKNOWN_KEY", "Unknown (%03X)"},
        {"IDS_KEYBOARD_A", "A"},
        {"IDS_KEYBOARD_RSHIFT", "Right Shift"},
        {"IDS_KEYBOARD_MOU_RIGHT", "Right Button"},
        {"MEDIA_MUTE_8", "Mute"},
        {"MEDIA_PALY_PAUSE_2", "Play/Pause"},
        {"IDS_KEYBOARD_ESC", "\xC3\xA4\xC3\xB6\xC3\xBC"},
        {"KEY_PROMPT_SET", "|set|"},
        {"KEY_PROMPT_SINGLE", "key("},
        {"KEY_PROMPT_MACRO", "macro("},
        {"KEY_PROMPT_MEDIA", "media("},
        {"KEY_PROMPT_FUNCTION", "function("},
        {"FUNC_KEY_DESC3", "Lock Win"},
        {"MACRO_NEW_PREFIX", "Macro"},
        {"MACRO_DELETE_CONFIRM_OF_KEYS", "Keys use this macro. Delete?"},
        {"EXTRA_MACRO_TOO_LONG", "Macros too long"},
        {"EXTRA_PROFILE_SPACE_TIGHT", "Names left out"},
    };
}

class RecordingUiSink : public UiSink {
public:
    std::intptr_t Send(std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
    void Post(std::uint32_t, std::uintptr_t, std::intptr_t) override {}
    void SetTimer(int, int) override {}
    void SetTrayIcon(int) override {}
    MessageAnswer ShowMessage(const std::string& text, const std::string&, MessageButtons buttons) override {
        messages.push_back(text);
        return buttons == MessageButtons::kYesNo ? answer : MessageAnswer::kOk;
    }
    void HideMainWindow() override {}

    std::vector<std::string> messages;
    MessageAnswer answer = MessageAnswer::kNo;
};

} // namespace brasslane::test
