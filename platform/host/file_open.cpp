// fopen of a device path, and the files it holds open.
//
// The path is mapped like every other device path (from code page 949), and
// the Windows C library's refusals are checked here, since root on the host
// would open anything. A mode without "b" is text mode, as on Windows (see
// file_stream.cpp). While a stream is open its file counts as held: the file
// calls refuse to delete or overwrite it (files.cpp).
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <utility>

#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"

// Below, fopen is the C library's own; the device-path version is HostFopen.
#undef fopen

namespace {

typedef std::pair<dev_t, ino_t> FileIdentity;

// How many streams hold each file open.
std::map<FileIdentity, int>& HeldFiles() {
    static std::map<FileIdentity, int> held;
    return held;
}

FileIdentity IdentityOf(const struct stat& st) { return FileIdentity(st.st_dev, st.st_ino); }

void Release(void* context) {
    FileIdentity* identity = static_cast<FileIdentity*>(context);
    std::map<FileIdentity, int>::iterator it = HeldFiles().find(*identity);
    if (it != HeldFiles().end() && --it->second == 0) HeldFiles().erase(it);
    delete identity;
}

bool ModeWrites(const char* mode) {
    return strchr(mode, 'w') != NULL || strchr(mode, 'a') != NULL || strchr(mode, '+') != NULL;
}

// The C library's mode for a Windows mode: the letter and '+', without the
// Windows-only flags ("t", "c", "n", ",ccs=").
std::string NativeMode(const char* mode) {
    std::string out(1, mode[0]);
    for (const char* p = mode + 1; *p != 0 && *p != ','; ++p)
        if (*p == '+' || *p == 'b') out += *p;
    return out;
}

bool IsTextMode(const char* mode) {
    const char* flagsEnd = strchr(mode, ',');
    const char* binary = strchr(mode, 'b');
    return binary == NULL || (flagsEnd != NULL && binary > flagsEnd);
}

// Windows' C library refuses to open a folder, and a read-only file for
// writing; root on the host would do both.
int OpenRefusal(const std::string& nativePath, const char* mode) {
    struct stat st;
    if (stat(nativePath.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return EACCES;
    if (ModeWrites(mode) && host::detail::IsReadOnly(st)) return EACCES;
    return 0;
}

// The native stream for the mapped path, wrapped and counted as held.
FILE* OpenHeld(const std::string& nativePath, const char* mode) {
    std::string nativeMode = NativeMode(mode);
    FILE* native = fopen(nativePath.c_str(), nativeMode.c_str());
    if (native == NULL) {
        SetLastError(errno == ENOENT ? host::detail::MissingError(nativePath)
                                     : host::detail::ErrorFromErrno(errno));
        return NULL;
    }
    struct stat st;
    if (fstat(fileno(native), &st) != 0) {
        int savedErrno = errno;
        fclose(native);
        errno = savedErrno;
        return NULL;
    }
    FileIdentity* identity = new FileIdentity(IdentityOf(st));
    FILE* stream = host::detail::WrapStream(native, nativeMode.c_str(), IsTextMode(mode), Release,
                                            identity);
    if (stream == NULL) {
        delete identity;
        return NULL;
    }
    ++HeldFiles()[IdentityOf(st)];
    return stream;
}

} // namespace

namespace host {
namespace detail {

bool IsHeldOpen(const struct stat& st) { return HeldFiles().count(IdentityOf(st)) != 0; }

} // namespace detail
} // namespace host

extern "C" FILE* HostFopen(const char* path, const char* mode) {
    if (path == NULL || mode == NULL || mode[0] == 0) {
        errno = EINVAL;
        return NULL;
    }
    std::wstring units;
    host::detail::Cp949ToUnits(path, strlen(path), &units);
    std::string native;
    if (!host::detail::PrepareFileCall("fopen", units.c_str(), &native)) {
        errno = ENOENT;
        return NULL;
    }
    int refusal = OpenRefusal(native, mode);
    if (refusal != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        errno = refusal;
        return NULL;
    }
    return OpenHeld(native, mode);
}
