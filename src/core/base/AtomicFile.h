#pragma once

// Replacing a file whole: the new contents go to a temporary file of a unique name in the same
// folder, which is renamed over the target only once everything was written and flushed to the
// storage device. A crash, a power cut, a full disk or a failing writer leaves either the old
// or the new file, never a part of one.

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace brasslane {

// Flushes a file's or a folder's contents to the storage device; false on failure. The
// operating system's call is installed by the platform layer at start-up; until then files are
// still replaced whole, only without the flush.
using DurableSync = bool (*)(const std::filesystem::path& path);
void SetDurableSync(DurableSync sync);

// Writes `path` through `write`, which returns false (or leaves the stream failed) to abandon
// the file. The folder must exist (a writer that keeps its own folder creates it first, while
// a file the user placed must not conjure up a mistyped folder). An existing target keeps its permissions; a
// read-only target or one that is not a regular file is refused, as opening it for writing
// would be. A symbolic link is followed and its target replaced. Returns false with `error`
// (optional) in plain words on failure; the temporary file is then removed and the target is
// untouched.
bool WriteFileAtomically(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& write,
                         std::string* error = nullptr);
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error = nullptr);

} // namespace brasslane
