#include "core/resources/IniFile.h"
#include "core/resources/Language.h"
#include "core/resources/TextKeys.h"
#include "core/base/Utf8.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <utility>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace brasslane {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = BRASSLANE_SOURCE_DIR;
const fs::path kEnglishFile = kSourceDir / "data" / "Lang0409.ini";

// Every TEXT value that is not a format must be free of '%', or a translator's stray
// conversion would show raw.
bool IsFormatKey(std::string_view key) {
    for (std::string_view k : text::kNumberFormatKeys) {
        if (k == key) {
            return true;
        }
    }
    for (std::string_view k : text::kTextFormatKeys) {
        if (k == key) {
            return true;
        }
    }
    return false;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

struct LiteralLookup {
    std::string section;
    std::string key;
};

// Calls such as Text("KEY"), language.TextKey("KEY") or m_lang->Light( "KEY" ) in `source`.
std::vector<LiteralLookup> FindLiteralLookups(std::string_view source) {
    std::vector<LiteralLookup> found;
    for (const auto& [function, section] :
         {std::pair<std::string_view, std::string_view>{"Text", "TEXT"}, {"TextKey", "TEXT"}, {"Light", "LIGHT"}}) {
        for (std::size_t at = source.find(function); at != std::string_view::npos; at = source.find(function, at + 1)) {
            if (at > 0 && IsIdentifierChar(source[at - 1])) {
                continue;
            }
            std::size_t i = at + function.size();
            if (i >= source.size() || source[i] != '(') {
                continue;
            }
            ++i;
            while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i]))) {
                ++i;
            }
            if (i >= source.size() || source[i] != '"') {
                continue;
            }
            const std::size_t close = source.find('"', i + 1);
            if (close == std::string_view::npos) {
                continue;
            }
            std::size_t after = close + 1;
            while (after < source.size() && std::isspace(static_cast<unsigned char>(source[after]))) {
                ++after;
            }
            if (after < source.size() && source[after] == ')') {
                found.push_back({std::string(section), std::string(source.substr(i + 1, close - i - 1))});
            }
        }
    }
    return found;
}

std::vector<std::string_view> AllTextKeys() {
    std::vector<std::string_view> keys;
    for (std::string_view key : text::kTextKeys) {
        keys.push_back(key);
    }
    for (std::string_view key : text::kFunctionKeyDescKeys) {
        keys.push_back(key);
    }
    for (std::string_view key : text::kKeyNameKeys) {
        keys.push_back(key);
    }
    return keys;
}

TEST(LanguageFileTest, EnglishFileHasEveryKey) {
    ASSERT_TRUE(fs::exists(kEnglishFile)) << kEnglishFile;
    const IniFile file(kEnglishFile);

    std::set<std::string_view> unique;
    for (std::string_view key : AllTextKeys()) {
        EXPECT_TRUE(unique.insert(key).second) << "listed twice: " << key;
        EXPECT_FALSE(file.Read("TEXT", key, "").empty()) << "TEXT/" << key;
        if (!IsFormatKey(key)) {
            EXPECT_EQ(file.Read("TEXT", key, "").find('%'), std::string::npos) << "TEXT/" << key;
        }
    }
    for (std::string_view key : text::kLightKeys) {
        EXPECT_FALSE(file.Read("LIGHT", key, "").empty()) << "LIGHT/" << key;
    }
    for (int effect = 1; effect <= text::kEffectCount; ++effect) {
        EXPECT_FALSE(file.Read("MODE", std::to_string(effect), "").empty()) << "MODE/" << effect;
    }
}

TEST(LanguageFileTest, EnglishFileIsWellFormed) {
    const std::string raw = test::ReadBytes(kEnglishFile);
    EXPECT_EQ(utf8::Sanitize(raw), raw) << "not valid UTF-8";

    // The first of two equal keys wins, so a repeated key means a text that is never shown.
    std::map<std::string, std::set<std::string>> seen;
    std::string section;
    std::istringstream lines(raw);
    for (std::string line; std::getline(lines, line);) {
        const std::string_view content = TrimBlanks(line);
        if (content.empty() || content.front() == ';' || content.front() == '#') {
            continue;
        }
        if (content.front() == '[') {
            section = std::string(content.substr(1, content.find(']') - 1));
            continue;
        }
        const std::size_t equals = content.find('=');
        ASSERT_NE(equals, std::string_view::npos) << "not an entry: " << line;
        std::string key(TrimBlanks(content.substr(0, equals)));
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
        EXPECT_TRUE(seen[section].insert(key).second) << section << "/" << key << " appears twice";
    }

    const IniFile file(kEnglishFile);
    for (std::string_view key : text::kNumberFormatKeys) {
        const std::string format = file.Read("TEXT", key, "");
        const std::string filled = FormatText(format, 0x55);
        EXPECT_NE(filled, format) << key << " takes no number";
        EXPECT_EQ(filled.find('%'), std::string::npos) << key << " has more than one conversion";
    }
    for (std::string_view key : text::kTextFormatKeys) {
        const std::string filled = FormatText(file.Read("TEXT", key, ""), "/some/path.fwc");
        EXPECT_NE(filled.find("/some/path.fwc"), std::string::npos) << key << " takes no text";
        EXPECT_EQ(filled.find('%'), std::string::npos) << key << " has more than one conversion";
    }

    // Texts that are joined to others or used as names keep their shape.
    EXPECT_EQ(file.Read("TEXT", "KEY_PROMPT_SET", "").front(), ' ') << "caption parts need their spaces";
    for (const char* key : {"KEY_PROMPT_SINGLE", "KEY_PROMPT_MACRO", "KEY_PROMPT_MEDIA", "KEY_PROMPT_FUNCTION"}) {
        EXPECT_EQ(file.Read("TEXT", key, "").front(), ' ') << key;
    }
    EXPECT_EQ(file.Read("TEXT", "MACRO_NEW_PREFIX", "").back(), ' ');
    const std::string newProfile = file.Read("TEXT", "PROFILE_NEW", "");
    EXPECT_EQ(newProfile.find_first_of("/\\"), std::string::npos) << "PROFILE_NEW must be a plain file name";
    EXPECT_TRUE(newProfile.ends_with(".fwc"));
    // The record-delay text doubles as a settings key name.
    const std::string delayKey = file.Read("TEXT", "MACRO_ACTION_RECORD_DELAY", "");
    EXPECT_EQ(delayKey.find_first_of("=[];#\r\n"), std::string::npos);
}

// Keys looked up with a literal anywhere in the program must be in the file too, so that a
// dialog written later cannot ask for a text that nobody wrote.
TEST(LanguageFileTest, KeysUsedInSourcesExist) {
    const auto sample = FindLiteralLookups(R"(a.Text("ONE"); FormatText("%d", 1); b->Light( "Speed" ); MyText("X");)");
    ASSERT_EQ(sample.size(), 2u);
    EXPECT_EQ(sample[0].section + "/" + sample[0].key, "TEXT/ONE");
    EXPECT_EQ(sample[1].section + "/" + sample[1].key, "LIGHT/Speed");

    const IniFile file(kEnglishFile);
    std::size_t checked = 0;
    for (const char* folder : {"src", "apps"}) {
        const fs::path root = kSourceDir / folder;
        if (!fs::is_directory(root)) {
            continue;
        }
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            const std::string ext = entry.path().extension().string();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
                continue;
            }
            for (const LiteralLookup& lookup : FindLiteralLookups(test::ReadBytes(entry.path()))) {
                EXPECT_TRUE(file.Has(lookup.section, lookup.key))
                    << lookup.section << "/" << lookup.key << " used in " << entry.path();
                ++checked;
            }
        }
    }
    RecordProperty("literal_lookups", static_cast<int>(checked));
}

TEST(LanguageFileTest, ReadThroughLanguage) {
    Language language(kSourceDir / "data", nullptr, [] { return std::uint16_t{0x1004}; });
    EXPECT_EQ(language.FileFor(language.CurrentLanguageIndex()), kEnglishFile);
    EXPECT_EQ(language.Text("MAIN_CAPTION"), "Brasslane");
    const std::string caption = "A" + language.Text("KEY_PROMPT_SET") + language.Text("KEY_PROMPT_SINGLE") + "B)";
    EXPECT_EQ(caption.find("  "), std::string::npos) << caption;
    EXPECT_TRUE(caption.starts_with("A ")) << caption;
    EXPECT_NE(FormatText(language.Text("UNKNOWN_KEY"), 0x55).find("55"), std::string::npos);
}

} // namespace
} // namespace brasslane
