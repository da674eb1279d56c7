// A user lighting-mode file as the per-user folder may hold it after hand edits: every read
// the per-key colours make, and a key entry's text on its own.

#include "FuzzFile.h"
#include "core/lighting/UserModeFile.h"

#include <cstdint>
#include <string_view>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ParseRgbText(text);
    ParseKeyEntryText(text);
    const UserModeFile file(fuzz::InputFile(data, size, "UserDengColor_0.userd"));
    const int mode = file.ReadCurrentMode();
    file.ReadModeName(mode);
    file.ReadModeHeader(mode);
    // Every read goes through the whole file again the same way: a key inside the table and one
    // past it are enough.
    file.ReadKeyEntry(mode, 127);
    file.ReadKeyEntry(10, 200);
    return 0;
}
