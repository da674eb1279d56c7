#include "platform/DurableSync.h"

#include "core/base/AtomicFile.h"

#include <windows.h>

namespace brasslane::platform {

namespace {

// FlushFileBuffers needs a handle with write access. A folder needs no flush of its own: NTFS
// records the rename in its journal, and folders cannot be opened for writing.
bool FlushPath(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    return ok;
}

} // namespace

void InstallDurableSync() {
    SetDurableSync(&FlushPath);
}

} // namespace brasslane::platform
