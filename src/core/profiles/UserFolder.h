#pragma once

// The per-user folder ($XDG_DATA_HOME/Brasslane): user lighting-mode files, the profile cache
// file and the user's profile files.

#include <filesystem>

namespace brasslane {

// Name of the profile cache file: one file whatever the active profile.
constexpr const char* kProfileCacheFileName = "$Profile0.fwc";
// The skin's mode file that seeds the user's three lighting modes.
constexpr const char* kSkinModeFileName = "UserDengColor_3.userd";

// The profile cache file in `userFolder`.
std::filesystem::path ProfileCacheFilePath(const std::filesystem::path& userFolder);

// Creates `userFolder` when it does not exist and then seeds it with UserDengColor_0/1/2.userd,
// byte copies of the skin's UserDengColor_3.userd from `skinsFolder` (none when that file is
// missing or `skinsFolder` is empty). An existing folder is left as it is, even without its
// mode files. Returns whether the folder exists afterwards.
bool EnsureUserFolder(const std::filesystem::path& userFolder, const std::filesystem::path& skinsFolder);

} // namespace brasslane
