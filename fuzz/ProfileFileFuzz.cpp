// A profile file's bytes as an import meets them: checked, then decoded, then written back and
// read again, which must give the same image.

#include "core/profiles/ProfileFile.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>

using namespace brasslane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const ProfileFormatError check = CheckProfileBytes(bytes);
    ProfileImage image;
    StringTable texts;
    const ProfileFormatError decoded = DecodeProfileBytes(bytes, image, texts);
    if (decoded != check) {
        std::abort(); // the check and the decoder must agree on every file
    }
    if (decoded != ProfileFormatError::kNone) {
        return 0;
    }
    // What loading then saving does: pack the texts, write, and the result must load again.
    std::vector<std::uint8_t> pool = PackStringPool(image, texts);
    RebuildFileHeader(image, static_cast<std::uint32_t>(pool.size()));
    std::ostringstream out;
    if (!WriteProfileImage(out, image, pool)) {
        std::abort();
    }
    const std::string written = out.str();
    const std::span<const std::uint8_t> again(reinterpret_cast<const std::uint8_t*>(written.data()), written.size());
    ProfileImage reloaded;
    StringTable reloadedTexts;
    if (DecodeProfileBytes(again, reloaded, reloadedTexts) != ProfileFormatError::kNone) {
        std::abort();
    }
    return 0;
}
