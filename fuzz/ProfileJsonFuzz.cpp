// A profile as JSON text, as the tool imports it: parsed into a document, encoded as profile
// file bytes, and those must be a profile file that converts back to JSON.

#include "ProfileJson.h"
#include "core/profiles/ProfileFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    cli::ProfileDocument document;
    std::string error;
    if (!cli::ProfileDocumentFromJson(text, document, &error)) {
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    if (!cli::EncodeProfileDocument(document, bytes, &error)) {
        return 0;
    }
    // The encoder promises bytes the profile loader accepts.
    if (CheckProfileBytes(bytes) != ProfileFormatError::kNone) {
        std::abort();
    }
    std::string json;
    if (!cli::ProfileBytesToJson(bytes, json, &error)) {
        std::abort();
    }
    return 0;
}
