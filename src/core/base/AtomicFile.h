#pragma once

// Replacing a file whole: the new contents go to a temporary file in the same folder, which is
// renamed over the target only once everything was written. A crash, a full disk or a failing
// writer leaves the old file as it was.

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>

namespace brasslane {

// Writes `path` through `write`, which returns false (or leaves the stream failed) to abandon
// the file. An existing target keeps its permissions; a read-only target or one that is not a
// regular file is refused, as opening it for writing would be. A symbolic link is followed
// and its target replaced. Returns false with `error` (optional) in plain words on failure;
// the temporary file is then removed.
bool WriteFileAtomically(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& write,
                         std::string* error = nullptr);

} // namespace brasslane
