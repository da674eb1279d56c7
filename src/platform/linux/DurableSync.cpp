#include "platform/DurableSync.h"

#include "core/base/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace brasslane::platform {

namespace {

// fsync through a descriptor of its own works for files and folders alike: it flushes the
// inode's data, whoever wrote it.
bool SyncPath(const std::filesystem::path& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // EINVAL: a file system without fsync
    ::close(fd);
    return ok;
}

} // namespace

void InstallDurableSync() {
    SetDurableSync(&SyncPath);
}

} // namespace brasslane::platform
