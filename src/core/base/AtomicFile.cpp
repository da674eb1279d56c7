#include "core/base/AtomicFile.h"

#include <atomic>
#include <cstdio>
#include <random>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

namespace brasslane {

namespace fs = std::filesystem;

namespace {

// Creates `path` for writing and fails when it already exists, so that a file placed under the
// temporary name is never written through. Windows' C library takes wide names and knows the
// exclusive creation only as an open flag.
std::FILE* CreateNewFile(const fs::path& path) {
#ifdef _WIN32
    int fd = -1;
    if (_wsopen_s(&fd, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE) !=
        0) {
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        _close(fd);
    }
    return file;
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

std::atomic<DurableSync> g_sync{nullptr};

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
    return false;
}

bool Sync(const fs::path& path) {
    const DurableSync sync = g_sync.load();
    return sync == nullptr || sync(path);
}

// ".<name>.<random><counter>.tmp": hidden, beside the target (a rename never crosses file
// systems), and unique, so two writers of the same file never share a temporary file.
fs::path TemporaryName(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 generator{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x%04x.tmp", static_cast<unsigned>(generator()),
                  counter.fetch_add(1) & 0xFFFFu);
    return target.parent_path() / ("." + target.filename().string() + suffix);
}

} // namespace

void SetDurableSync(DurableSync sync) {
    g_sync.store(sync);
}

bool WriteFileAtomically(const fs::path& path, const std::function<bool(std::ostream&)>& write, std::string* error) {
    std::ostringstream contents;
    bool written = false;
    try {
        written = write(contents) && static_cast<bool>(contents);
    } catch (...) {
        written = false;
    }
    if (!written) {
        return Fail(error, "cannot write " + path.string());
    }
    return WriteFileAtomically(path, contents.view(), error);
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string* error) {
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        // Replace the file the link points to, not the link itself.
        target = fs::weakly_canonical(path, ec);
        if (ec) {
            return Fail(error, "the link " + path.string() + " cannot be followed");
        }
    }
    if (!target.has_parent_path()) {
        target = fs::path(".") / target;
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists) {
        if (!fs::is_regular_file(status)) {
            return Fail(error, target.string() + " is not a regular file");
        }
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
            return Fail(error, target.string() + " is read-only");
        }
    }
    const fs::path folder = target.parent_path();
    if (!fs::is_directory(folder, ec)) {
        return Fail(error, "the folder " + folder.string() + " does not exist");
    }

    fs::path temporary;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 16 && file == nullptr; ++attempt) {
        temporary = TemporaryName(target);
        file = CreateNewFile(temporary);
    }
    if (file == nullptr) {
        return Fail(error, "cannot create a file in " + folder.string());
    }
    // An empty view may carry no pointer at all, which fwrite must not be given.
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = (std::fflush(file) == 0) && ok;
    ok = (std::fclose(file) == 0) && ok;
    ok = ok && Sync(temporary);
    if (!ok) {
        fs::remove(temporary, ec);
        return Fail(error, "cannot write " + target.string() + " (is the disk full?)");
    }
    if (exists) {
        fs::permissions(temporary, status.permissions(), ec);
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return Fail(error, "cannot replace " + target.string() + ": " + ec.message());
    }
    // The rename itself is durable only once the folder is.
    if (!Sync(folder)) {
        return Fail(error, "cannot flush the folder " + folder.string());
    }
    return true;
}

} // namespace brasslane
