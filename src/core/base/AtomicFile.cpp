#include "core/base/AtomicFile.h"

#include <fstream>
#include <system_error>

namespace brasslane {

namespace {

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
    return false;
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& path, const std::function<bool(std::ostream&)>& write,
                         std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        target = fs::weakly_canonical(path, ec);
        if (ec) {
            return Fail(error, "the link " + path.string() + " cannot be followed");
        }
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

    fs::path temporary = target;
    temporary += ".brasslane.tmp";
    bool written = false;
    try {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            return Fail(error, "cannot create " + temporary.string());
        }
        written = write(out) && static_cast<bool>(out.flush());
        out.close();
        written = written && !out.fail();
    } catch (...) {
        written = false;
    }
    if (!written) {
        fs::remove(temporary, ec);
        return Fail(error, "cannot write " + temporary.string());
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
    return true;
}

} // namespace brasslane
