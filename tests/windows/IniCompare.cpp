// Reads crafted INI files through Windows' GetPrivateProfileStringW and through IniFile and
// prints, per case, what each returned and whether they agree. A difference is reported, not
// failed: the program exits 0 unless it cannot write its files.

#include "core/base/Utf8.h"
#include "core/resources/IniFile.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using brasslane::IniFile;
using namespace std::string_literals;

struct Case {
    std::string name;
    std::string bytes; // the file's content; empty with noFile for a missing file
    std::string section;
    std::string key;
    std::string fallback = "DEF";
    std::size_t bufferChars = 260;
    bool noFile = false;
};

std::string Utf16Le(const std::string& utf8, bool bom) {
    std::string bytes = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t unit : brasslane::utf8::ToUtf16(utf8)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::wstring Wide(const std::string& utf8) {
    const std::u16string u16 = brasslane::utf8::ToUtf16(utf8);
    return std::wstring(u16.begin(), u16.end());
}

std::string Narrow(const std::wstring& wide) {
    return brasslane::utf8::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// A cell of the table: quoted, control and non-ASCII bytes escaped, long texts shortened.
std::string Show(const std::string& text) {
    std::string shown = "\"";
    const std::size_t limit = 24;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '|') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    shown += '"';
    if (text.size() > limit) {
        shown += "...(" + std::to_string(text.size()) + " bytes)";
    }
    return shown;
}

std::string WindowsRead(const fs::path& file, const Case& c) {
    std::wstring buffer(c.bufferChars, L'\0');
    const std::wstring section = Wide(c.section);
    const std::wstring key = Wide(c.key);
    const std::wstring fallback = Wide(c.fallback);
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.wstring().c_str());
    buffer.resize(n);
    return Narrow(buffer);
}

std::vector<Case> Cases() {
    const std::string longValue(1000, 'x');
    const std::string hugeLine = "pad=" + std::string(70000, 'p');
    return {
        {"missing file", "", "s", "k", "DEF", 260, true},
        {"missing section", "[a]\nk=1\n", "b", "k"},
        {"missing key", "[s]\nk=1\n", "s", "other"},
        {"duplicate keys", "[s]\nk=first\nk=second\n", "s", "k"},
        {"duplicate sections, key in 2nd", "[s]\na=1\n[t]\nx=1\n[s]\nb=2\n", "s", "b"},
        {"duplicate sections, key in both", "[s]\nk=1\n[t]\nx=1\n[s]\nk=2\n", "s", "k"},
        {"spaces around = and key", "[s]\n   k   =   v w   \n", "s", "k"},
        {"tabs around = and key", "[s]\n\tk\t=\tv\t\n", "s", "k"},
        {"spaces around section name", "[  s  ]\nk=v\n", "s", "k"},
        {"spaces before [", "   [s]\nk=v\n", "s", "k"},
        {"key with inner space", "[s]\nmy key=v\n", "s", "my key"},
        {"double quotes", "[s]\nk=\"  v  \"\n", "s", "k"},
        {"single quotes", "[s]\nk='  v  '\n", "s", "k"},
        {"mismatched quotes", "[s]\nk=\"v'\n", "s", "k"},
        {"opening quote only", "[s]\nk=\"v\n", "s", "k"},
        {"quotes inside", "[s]\nk=\"a\"b\"\n", "s", "k"},
        {"one quote character", "[s]\nk=\"\n", "s", "k"},
        {"section/key case", "[SeCtIoN]\nKeY=v\n", "section", "key"},
        {"; comment line", "[s]\n;k=c\nk=v\n", "s", "k"},
        {"# comment line", "[s]\n#k=c\nk=v\n", "s", "k"},
        {"; key read by name", "[s]\n;k=c\n", "s", ";k"},
        {"# key read by name", "[s]\n#k=c\n", "s", "#k"},
        {"; after value", "[s]\nk=v ; note\n", "s", "k"},
        {"UTF-16 LE with BOM", Utf16Le("[s]\nk=\xC3\xA9t\xC3\xA9\n", true), "s", "k"},
        {"UTF-16 LE without BOM", Utf16Le("[s]\nk=\xC3\xA9t\xC3\xA9\n", false), "s", "k"},
        {"UTF-16 LE no BOM, ASCII", Utf16Le("[s]\nk=v\n", false), "s", "k"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF[s]\nk=\xC3\xA9t\xC3\xA9\n", "s", "k"},
        {"UTF-8 without BOM", "[s]\nk=\xC3\xA9t\xC3\xA9\n", "s", "k"},
        {"1000-char value, 260 buffer", "[s]\nk=" + longValue + "\n", "s", "k"},
        {"1000-char value, 2048 buffer", "[s]\nk=" + longValue + "\n", "s", "k", "DEF", 2048},
        {"key after 70000-char line", "[s]\n" + hugeLine + "\nk=v\n", "s", "k"},
        {"70000-char line's value", "[s]\n" + hugeLine + "\n", "s", "pad", "DEF", 2048},
        {"default value", "[s]\n", "s", "k", "dflt"},
        {"default with blanks", "[s]\n", "s", "k", "  dflt  "},
        {"default in quotes", "[s]\n", "s", "k", "\"dflt\""},
        {"default with trailing tab", "[s]\n", "s", "k", "dflt\t"},
        {"default in single quotes", "[s]\n", "s", "k", "'dflt'"},
        {"default, blanks in quotes", "[s]\n", "s", "k", "\" dflt \"  "},
        {"default missing file, blanks", "", "s", "k", "dflt  ", 260, true},
        {"empty value", "[s]\nk=\n", "s", "k"},
        {"blank value", "[s]\nk=   \n", "s", "k"},
        {"key without =", "[s]\nk\n", "s", "k"},
        {"= inside value", "[s]\nk=a=b\n", "s", "k"},
        {"non-ASCII section case", "[\xC3\x84]\nk=v\n", "\xC3\xA4", "k"},
        {"UTF-16 BE with BOM", "\xFE\xFF\0[\0s\0]\0\n\0k\0=\0v\0\n"s, "s", "k"},
        {"CRLF", "[s]\r\nk=v\r\n", "s", "k"},
        {"LF", "[s]\nk=v\n", "s", "k"},
        {"CR only", "[s]\rk=v\r", "s", "k"},
        {"no final line break", "[s]\nk=v", "s", "k"},
        {"key before any section", "k=v\n[s]\nx=1\n", "", "k"},
        {"section without ]", "[s\nk=v\n", "s", "k"},
        {"text after ]", "[s] x\nk=v\n", "s", "k"},
        {"empty section name", "[]\nk=v\n", "", "k"},
        {"empty key name", "[s]\n=v\n", "s", ""},
    };
}

} // namespace

int main() {
    std::error_code ec;
    const fs::path folder =
        fs::temp_directory_path(ec) / ("brasslane-ini-compare-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder, ec);
    if (ec) {
        std::printf("cannot create %s\n", folder.string().c_str());
        return 1;
    }
    int index = 0;
    int differences = 0;
    std::printf("| case | Windows | IniFile | same? |\n|---|---|---|---|\n");
    for (const Case& c : Cases()) {
        const fs::path file = folder / ("case" + std::to_string(++index) + ".ini");
        if (!c.noFile) {
            std::ofstream out(file, std::ios::binary);
            out.write(c.bytes.data(), static_cast<std::streamsize>(c.bytes.size()));
            if (!out) {
                std::printf("cannot write %s\n", file.string().c_str());
                return 1;
            }
        }
        const std::string windows = WindowsRead(file, c);
        const std::string ours = IniFile(file).Read(c.section, c.key, c.fallback, c.bufferChars);
        const bool same = windows == ours;
        differences += same ? 0 : 1;
        std::printf("| %s | %s | %s | %s |\n", c.name.c_str(), Show(windows).c_str(), Show(ours).c_str(),
                    same ? "yes" : "NO");
    }
    std::printf("%d cases, %d differences\n", index, differences);
    fs::remove_all(folder, ec);
    return 0;
}
