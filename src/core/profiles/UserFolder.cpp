#include "core/profiles/UserFolder.h"

#include "core/base/AtomicFile.h"

#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace brasslane {

std::filesystem::path ProfileCacheFilePath(const std::filesystem::path& userFolder) {
    return userFolder / kProfileCacheFileName;
}

bool EnsureUserFolder(const std::filesystem::path& userFolder, const std::filesystem::path& skinsFolder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(userFolder, ec)) {
        return fs::is_directory(userFolder, ec);
    }
    if (!fs::create_directories(userFolder, ec) && !fs::is_directory(userFolder, ec)) {
        return false;
    }
    if (skinsFolder.empty()) {
        return true;
    }
    std::ifstream in(skinsFolder / kSkinModeFileName, std::ios::binary);
    if (!in.is_open()) {
        return true;
    }
    const std::vector<char> contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return true;
    }
    for (int mode = 0; mode < 3; ++mode) {
        const fs::path file = userFolder / ("UserDengColor_" + std::to_string(mode) + ".userd");
        WriteFileAtomically(file, [&contents](std::ostream& out) {
            out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
            return static_cast<bool>(out);
        });
    }
    return true;
}

} // namespace brasslane
