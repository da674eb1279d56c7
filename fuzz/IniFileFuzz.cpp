// An INI file as a hand-edited language, skin or settings file may be: UTF-8 with or without
// BOM, UTF-16 with BOM, or neither. Every lookup the program makes (values, key lists, a
// rewrite of one key) must hold up; a rewrite must read back.

#include "FuzzFile.h"
#include "core/resources/IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const IniFile file(fuzz::InputFile(data, size, "input.ini"));
    // Every lookup reads the whole file again the same way: one of each kind is enough.
    file.Read("BUTTONINFO", "CONTROL_OK", "", 3);
    const std::vector<std::string> keys = file.Keys("TEXT");
    if (!keys.empty()) {
        file.Read("TEXT", keys.back(), "fallback");
    }
    IniFile writable(file.Path());
    if (writable.Write("PROFILES", "VerifyWrites", "1") && writable.Read("PROFILES", "VerifyWrites", "") != "1") {
        std::abort(); // a value just written must read back
    }
    return 0;
}
