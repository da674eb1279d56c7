// A macro area as read from the keyboard: parsed with every offset checked, and what it gives
// must build a blob again that parses to the same macros.

#include "core/keys/MacroBlob.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> blob(data, size);
    ReadMacroBlobHeader(blob);
    std::vector<MacroBlock> macros;
    const std::size_t count = ParseMacroBlob(blob, "Macro ", macros);
    if (count != macros.size()) {
        std::abort();
    }
    const MacroBlobSizes sizes = MacroBlobSize(macros);
    if (sizes.withNames > kMaxMacroBlobLength) {
        return 0;
    }
    std::vector<std::uint8_t> rebuilt(sizes.withNames);
    if (!BuildMacroBlob(macros, rebuilt, static_cast<std::uint16_t>(rebuilt.size()), true)) {
        return 0;
    }
    std::vector<MacroBlock> again;
    if (ParseMacroBlob(rebuilt, "Macro ", again) != macros.size()) {
        std::abort();
    }
    return 0;
}
