// The PC's own file system, on Linux: the host backend keeps the hidden,
// system and archive bits in an extended attribute and the read-only bit in
// the owner's write permission.
#include "pc_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>

#include <system_error>

namespace hailpatch {

namespace {

const char kAttributeName[] = "user.hailwatch.attrib";

std::int64_t Nanoseconds(const struct timespec& t) { return t.tv_sec * 1000000000LL + t.tv_nsec; }

} // namespace

bool ReadStamp(const fs::path& path, PcStamp* stamp)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        return false;
    }
    stamp->folder = S_ISDIR(st.st_mode);
    stamp->size = stamp->folder ? 0 : static_cast<std::uintmax_t>(st.st_size);
    stamp->modified = Nanoseconds(st.st_mtim);
    stamp->statusChanged = Nanoseconds(st.st_ctim);
    stamp->identity = st.st_ino;
    return true;
}

// Without write permission an ordinary user may not set the attribute, so a
// read-only file gets it before its permissions.
void CopyAttributeBits(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add, ec);
    char value[64];
    ssize_t size = getxattr(from.c_str(), kAttributeName, value, sizeof(value));
    if (size >= 0) {
        setxattr(to.c_str(), kAttributeName, value, static_cast<size_t>(size), 0);
    }
    fs::permissions(to, fs::status(from, ec).permissions(), ec);
}

bool MakeTemporaryFolder(const std::string& tag, fs::path* folder, std::uintmax_t inMemory)
{
    std::error_code ec;
    const fs::path memory = "/dev/shm";
    const std::uintmax_t kSpare = 256u << 20;
    fs::path base = fs::temp_directory_path(ec);
    if (inMemory > 0 && std::getenv("TMPDIR") == nullptr && fs::is_directory(memory, ec) &&
        fs::space(memory, ec).available > 2 * inMemory + kSpare) {
        base = memory;
    }
    std::string pattern = (base / ("hailpatch-" + tag + "-XXXXXX")).string();
    if (ec || mkdtemp(pattern.data()) == nullptr) {
        return false;
    }
    *folder = pattern;
    return true;
}

bool WritePrivateFile(const fs::path& path, const std::string& bytes, std::string* error)
{
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    bool good = file >= 0 && write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (file >= 0 && close(file) != 0) {
        good = false;
    }
    if (!good) {
        *error = path.string() + ": cannot be written";
    }
    if (!good && file >= 0) {
        unlink(path.c_str());   // no half key left behind
    }
    return good;
}

} // namespace hailpatch
