// fopen of a device path.
//
// The path is mapped like every other device path (from code page 949), and
// the Windows C library's refusals are checked here, since root on the host
// would open anything. A mode without "b" is text mode, as on Windows. While
// a stream is open its file counts as held: the file calls refuse to delete
// or overwrite it (files.cpp, native.h).
#include <errno.h>
#include <string.h>

#include <string>

#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"

namespace {

bool ModeWrites(const char* mode) {
    return strchr(mode, 'w') != NULL || strchr(mode, 'a') != NULL || strchr(mode, '+') != NULL;
}

// Windows' C library refuses to open a folder, and a read-only file for
// writing; root on the host would do both.
int OpenRefusal(const std::string& nativePath, const char* mode) {
    host::native::FileInfo info;
    if (host::native::Stat(nativePath, &info) != ERROR_SUCCESS) return 0;
    if (info.folder) return EACCES;
    if (ModeWrites(mode) && info.readOnly) return EACCES;
    return 0;
}

} // namespace

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
    unsigned error = ERROR_SUCCESS;
    size_t noted = host::JournalLength();
    host::detail::NoteStream(native, mode);
    FILE* stream = host::detail::OpenStream(native, mode, &error);
    if (stream == NULL && host::JournalLength() > noted) host::detail::ForgetNote();
    if (stream == NULL)
        SetLastError(host::detail::IsMissing(error) ? host::detail::MissingError(native) : error);
    return stream;
}

// Outside the device: no path mapping, no journal, no refusal of the device's.
FILE* host::OpenPcStream(const std::string& nativePath, const char* mode, unsigned* error) {
    *error = ERROR_SUCCESS;
    return host::detail::OpenStream(nativePath, mode, error);
}
