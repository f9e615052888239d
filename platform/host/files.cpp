// The file calls on the host: device paths mapped under the device root,
// with Windows' attribute model and failures.
//
// Attributes: the read-only bit is the owner's missing write permission; the
// hidden, system and archive bits live in the extended attribute
// "user.hailwatch.attrib" (decimal text), so both survive the process that
// set them. A folder reports 0x10 plus its bits; a file reports its bits, or
// 0x80 when it has none. The backend runs as root, where permission bits do
// not stop unlink or open, so every read-only rule is checked here.
//
// A file held open through fopen is neither deleted nor overwritten until it
// is closed (error 32): Windows' C library shares an open file for reading
// and writing, never for deletion. Searches are in file_search.cpp, fopen in
// file_open.cpp.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"

using host::detail::AttributesOf;
using host::detail::ErrorFromErrno;
using host::detail::Fail;
using host::detail::IsHeldOpen;
using host::detail::IsReadOnly;
using host::detail::MissingError;
using host::detail::PrepareFileCall;
using host::detail::StatExisting;

namespace {

const DWORD kErrorDiskFull = 112;
const DWORD kErrorFilenameTooLong = 206;
const char kAttributeName[] = "user.hailwatch.attrib";
const DWORD kExtendedBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
const DWORD kSettableBits = FILE_ATTRIBUTE_READONLY | kExtendedBits;

// ---- injected faults -------------------------------------------------------

struct Fault {
    std::string operation;
    int remaining;
    DWORD error;
    std::string pathContains;
};

std::vector<Fault>& Faults() {
    static std::vector<Fault> faults;
    return faults;
}


// ---- paths -----------------------------------------------------------------

std::string ParentOf(const std::string& nativePath) {
    size_t slash = nativePath.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : nativePath.substr(0, slash);
}

bool IsFolder(const std::string& nativePath) {
    struct stat st;
    return stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---- extended attribute bits -----------------------------------------------


DWORD ReadExtendedBits(const std::string& nativePath) {
    char value[16];
    ssize_t length = getxattr(nativePath.c_str(), kAttributeName, value, sizeof value - 1);
    if (length <= 0) return 0;
    value[length] = 0;
    return (DWORD)strtoul(value, NULL, 10) & kExtendedBits;
}

bool WriteExtendedBits(const std::string& nativePath, DWORD bits) {
    bits &= kExtendedBits;
    if (bits == 0)
        return removexattr(nativePath.c_str(), kAttributeName) == 0 || errno == ENODATA;
    char value[16];
    snprintf(value, sizeof value, "%u", bits);
    return setxattr(nativePath.c_str(), kAttributeName, value, strlen(value), 0) == 0;
}

} // namespace

namespace host {
namespace detail {

// ---- errors ----------------------------------------------------------------

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC: return kErrorDiskFull;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case EIO: return ERROR_WRITE_FAULT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
    }
}

// Windows tells a missing file in an existing folder from a missing folder.
DWORD MissingError(const std::string& nativePath) {
    return IsFolder(ParentOf(nativePath)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool PrepareFileCall(const char* operation, LPCWSTR devicePath, std::string* nativePath,
                     LPCWSTR callPath) {
    DWORD error = ERROR_SUCCESS;
    std::string matched = Utf16ToUtf8(callPath != NULL ? callPath : devicePath);
    if (!ResolveDevicePath(devicePath, nativePath, &error) ||
        ConsumeFault(operation, matched, *nativePath, &error)) {
        SetLastError(error);
        return false;
    }
    return true;
}

bool StatExisting(const std::string& nativePath, struct stat* st) {
    if (stat(nativePath.c_str(), st) == 0) return true;
    SetLastError(errno == ENOENT ? MissingError(nativePath) : ErrorFromErrno(errno));
    return false;
}

// ---- attributes ------------------------------------------------------------

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

DWORD AttributesOf(const std::string& nativePath, const struct stat& st) {
    DWORD bits = ReadExtendedBits(nativePath);
    if (IsReadOnly(st)) bits |= FILE_ATTRIBUTE_READONLY;
    if (S_ISDIR(st.st_mode)) return bits | FILE_ATTRIBUTE_DIRECTORY;
    return bits == 0 ? FILE_ATTRIBUTE_NORMAL : bits;
}

} // namespace detail
} // namespace host

namespace {

mode_t WithReadOnly(mode_t mode, bool readOnly) {
    mode &= 07777;
    return readOnly ? (mode_t)(mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode_t)(mode | S_IWUSR);
}

// Writes the extended bits, then the permission bits. A user other than
// root may only change extended attributes of a file it can write, so a
// read-only file is made writable for the moment.
bool StoreAttributes(const std::string& nativePath, mode_t currentMode, mode_t finalMode,
                     DWORD extendedBits) {
    if ((currentMode & S_IWUSR) == 0 && chmod(nativePath.c_str(), (currentMode & 07777) | S_IWUSR) != 0)
        return false;
    if (!WriteExtendedBits(nativePath, extendedBits)) {
        int savedErrno = errno;
        chmod(nativePath.c_str(), currentMode & 07777);
        errno = savedErrno;
        return false;
    }
    return chmod(nativePath.c_str(), finalMode) == 0;
}

// ---- copying ---------------------------------------------------------------

bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= (size_t)written;
    }
    return true;
}

bool CopyContents(int from, int to) {
    char block[65536];
    for (;;) {
        ssize_t got = read(from, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(to, block, (size_t)got)) return false;
    }
}

// Writes the destination from the source; a destination left half-written
// is removed, as Windows does.
DWORD CopyFileData(const std::string& source, const struct stat& sourceStat,
                   const std::string& destination) {
    int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return ErrorFromErrno(errno);
    int to = open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (to < 0) {
        DWORD error = errno == ENOENT ? MissingError(destination) : ErrorFromErrno(errno);
        close(from);
        return error;
    }
    bool copied = CopyContents(from, to);
    DWORD error = copied ? ERROR_SUCCESS : ErrorFromErrno(errno);
    struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    if (copied) futimens(to, times);
    if (close(to) != 0 && copied) {
        copied = false;
        error = ErrorFromErrno(errno);
    }
    close(from);
    if (!copied) unlink(destination.c_str());
    return error;
}

// The destination takes the source's permission bits (so its read-only
// bit) and its other attribute bits.
void CopyAttributes(const std::string& source, const struct stat& sourceStat,
                    const std::string& destination) {
    struct stat st;
    if (stat(destination.c_str(), &st) != 0) return;
    StoreAttributes(destination, st.st_mode, sourceStat.st_mode & 07777, ReadExtendedBits(source));
}

// Why the destination cannot be written, or ERROR_SUCCESS.
DWORD DestinationProblem(const struct stat& sourceStat, const std::string& destination,
                         BOOL failIfExists) {
    struct stat st;
    if (stat(destination.c_str(), &st) != 0) return ERROR_SUCCESS;
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (st.st_dev == sourceStat.st_dev && st.st_ino == sourceStat.st_ino)
        return ERROR_SHARING_VIOLATION; // the same file under another spelling
    if (IsHeldOpen(st)) return ERROR_SHARING_VIOLATION;
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}


} // namespace

namespace host {

void FailNext(const std::string& operation, int count, DWORD error, const std::string& pathContains) {
    if (count <= 0) return;
    Fault fault = {operation, count, error, pathContains};
    Faults().push_back(fault);
}

namespace detail {

bool ConsumeFault(const char* operation, const std::string& devicePathUtf8,
                  const std::string& nativePath, DWORD* error) {
    std::vector<Fault>& faults = Faults();
    for (size_t i = 0; i < faults.size(); ++i) {
        Fault& fault = faults[i];
        if (fault.operation != operation) continue;
        if (!fault.pathContains.empty() && devicePathUtf8.find(fault.pathContains) == std::string::npos &&
            nativePath.find(fault.pathContains) == std::string::npos)
            continue;
        *error = fault.error;
        if (--fault.remaining == 0) faults.erase(faults.begin() + (long)i);
        return true;
    }
    return false;
}

bool ConsumeFault(const char* operation, const std::string& nativePath, DWORD* error) {
    return ConsumeFault(operation, std::string(), nativePath, error);
}

void ResetFiles() {
    Faults().clear();
    ResetSearches();
}

} // namespace detail
} // namespace host


extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR path) {
    std::string native;
    DWORD error = ERROR_SUCCESS;
    struct stat st;
    if (!host::detail::ResolveDevicePath(path, &native, &error)) {
        // Wine's answer for a network path; the other calls give 3.
        SetLastError(host::detail::IsNetworkPath(path) ? ERROR_BAD_DEV_TYPE : error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!StatExisting(native, &st)) return INVALID_FILE_ATTRIBUTES;
    return AttributesOf(native, st);
}

extern "C" BOOL WINAPI SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    std::string native;
    struct stat st;
    if (!PrepareFileCall("SetFileAttributesW", path, &native) || !StatExisting(native, &st)) return FALSE;
    // FILE_ATTRIBUTE_NORMAL carries no bit of its own; the directory bit
    // cannot be changed.
    DWORD bits = attributes & kSettableBits;
    mode_t mode = WithReadOnly(st.st_mode, (bits & FILE_ATTRIBUTE_READONLY) != 0);
    if (!StoreAttributes(native, st.st_mode, mode, bits)) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR path) {
    std::string native;
    struct stat st;
    if (!PrepareFileCall("DeleteFileW", path, &native) || !StatExisting(native, &st)) return FALSE;
    if (IsHeldOpen(st)) return Fail(ERROR_SHARING_VIOLATION);
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
    if (unlink(native.c_str()) != 0) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

extern "C" BOOL WINAPI CopyFileW(LPCWSTR source, LPCWSTR destination, BOOL failIfExists) {
    std::string from, to;
    DWORD error = ERROR_SUCCESS;
    struct stat sourceStat;
    if (!PrepareFileCall("CopyFileW", source, &from)) return FALSE;
    if (!host::detail::ResolveDevicePath(destination, &to, &error)) return Fail(error);
    if (!StatExisting(from, &sourceStat)) return FALSE;
    if (S_ISDIR(sourceStat.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    error = DestinationProblem(sourceStat, to, failIfExists);
    if (error == ERROR_SUCCESS) error = CopyFileData(from, sourceStat, to);
    if (error != ERROR_SUCCESS) return Fail(error);
    CopyAttributes(from, sourceStat, to);
    return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    std::string native;
    struct stat st;
    if (!PrepareFileCall("CreateDirectoryW", path, &native)) return FALSE;
    if (stat(native.c_str(), &st) == 0) return Fail(ERROR_ALREADY_EXISTS);
    if (mkdir(native.c_str(), 0777) != 0)
        return Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR path) {
    std::string native;
    struct stat st;
    if (!PrepareFileCall("RemoveDirectoryW", path, &native) || !StatExisting(native, &st)) return FALSE;
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    if (native == host::DeviceRoot() || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
    if (rmdir(native.c_str()) != 0)
        return Fail(errno == EEXIST || errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno));
    return TRUE;
}

