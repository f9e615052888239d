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
// Searches read the folder once, at FindFirstFileW, and hand out the names in
// byte order; a name whose file has gone by the time it is due is skipped, so
// deleting found files while searching is safe. "." and ".." are never
// returned, as on Windows CE.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/host_control.h"

// Below, fopen is the C library's own; the device-path version is HostFopen.
#undef fopen

namespace {

const DWORD kErrorSharingViolation = 32;
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

std::string ParentOf(const std::string& nativePath) {
    size_t slash = nativePath.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : nativePath.substr(0, slash);
}

bool IsFolder(const std::string& nativePath) {
    struct stat st;
    return stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Windows tells a missing file in an existing folder from a missing folder.
DWORD MissingError(const std::string& nativePath) {
    return IsFolder(ParentOf(nativePath)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// Maps the device path and applies injected faults, matched against
// `callPath` (the call's first path argument) and the native path; on
// failure the last error is set and false returned.
bool PrepareCall(const char* operation, LPCWSTR devicePath, std::string* nativePath,
                 LPCWSTR callPath = NULL) {
    DWORD error = ERROR_SUCCESS;
    std::string matched = host::detail::Utf16ToUtf8(callPath != NULL ? callPath : devicePath);
    if (!host::detail::ResolveDevicePath(devicePath, nativePath, &error) ||
        host::detail::ConsumeFault(operation, matched, *nativePath, &error)) {
        SetLastError(error);
        return false;
    }
    return true;
}

// Stats a path that must exist; sets the last error otherwise.
bool StatExisting(const std::string& nativePath, struct stat* st) {
    if (stat(nativePath.c_str(), st) == 0) return true;
    SetLastError(errno == ENOENT ? MissingError(nativePath) : ErrorFromErrno(errno));
    return false;
}

// ---- attributes ------------------------------------------------------------

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

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

DWORD AttributesOf(const std::string& nativePath, const struct stat& st) {
    DWORD bits = ReadExtendedBits(nativePath);
    if (IsReadOnly(st)) bits |= FILE_ATTRIBUTE_READONLY;
    if (S_ISDIR(st.st_mode)) return bits | FILE_ATTRIBUTE_DIRECTORY;
    return bits == 0 ? FILE_ATTRIBUTE_NORMAL : bits;
}

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
        return kErrorSharingViolation; // the same file under another spelling
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// ---- searches --------------------------------------------------------------

struct Search {
    std::string folder;
    std::vector<std::string> names;
    size_t next;
};

std::set<Search*>& Searches() {
    static std::set<Search*> searches;
    return searches;
}

WCHAR FoldAscii(unsigned unit) {
    return (WCHAR)(unit >= 'A' && unit <= 'Z' ? unit - 'A' + 'a' : unit);
}

bool GlobMatch(const WCHAR* pattern, const WCHAR* name) {
    const WCHAR* starPattern = NULL;
    const WCHAR* starName = NULL;
    while (*name != 0) {
        if (*pattern == L'*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == L'?' ||
                   (*pattern != 0 && FoldAscii(host::detail::UnitValue(*pattern)) ==
                                         FoldAscii(host::detail::UnitValue(*name)))) {
            ++pattern;
            ++name;
        } else if (starPattern != NULL) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == L'*') ++pattern;
    return *pattern == 0;
}

// Windows' matching: "*" and "?" ignoring ASCII case, and a pattern ending in
// ".*" (or ".") also matches a name without any dot, so "*.*" is everything.
bool PatternMatches(const std::wstring& pattern, const std::wstring& name) {
    if (GlobMatch(pattern.c_str(), name.c_str())) return true;
    if (name.find(L'.') != std::wstring::npos) return false;
    size_t cut = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, L".*") == 0 ? 2
               : !pattern.empty() && pattern[pattern.size() - 1] == L'.' ? 1 : 0;
    return cut != 0 && GlobMatch(pattern.substr(0, pattern.size() - cut).c_str(), name.c_str());
}

// The names of `folder` that match; false if the folder cannot be read.
bool ListMatches(const std::string& folder, const std::wstring& pattern,
                 std::vector<std::string>* names) {
    DIR* dir = opendir(folder.c_str());
    if (dir == NULL) return false;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::wstring units;
        // A native name that is not UTF-8 cannot be named by any device path.
        if (!host::detail::Utf8ToUnits(name.data(), name.size(), &units)) continue;
        if (PatternMatches(pattern, units)) names->push_back(name);
    }
    closedir(dir);
    std::sort(names->begin(), names->end());
    return true;
}

FILETIME FileTimeOf(const struct timespec& when) {
    // 100 ns intervals since 1601-01-01.
    unsigned long long ticks = ((unsigned long long)when.tv_sec + 11644473600ULL) * 10000000ULL +
                               (unsigned long long)when.tv_nsec / 100;
    FILETIME out;
    out.dwLowDateTime = (DWORD)(ticks & 0xFFFFFFFFu);
    out.dwHighDateTime = (DWORD)(ticks >> 32);
    return out;
}

void CopyNameBounded(const std::string& name, WCHAR* out) {
    std::wstring units = host::detail::Utf8ToUtf16(name);
    size_t count = std::min(units.size(), (size_t)MAX_PATH - 1);
    // Never end on the first half of a surrogate pair.
    if (count < units.size() && count > 0 && units[count - 1] >= 0xD800 && units[count - 1] <= 0xDBFF)
        --count;
    for (size_t i = 0; i < count; ++i) out[i] = units[i];
    out[count] = 0;
}

void FillFindData(const std::string& name, const std::string& nativePath, const struct stat& st,
                  LPWIN32_FIND_DATAW data) {
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesOf(nativePath, st);
    data->ftCreationTime = FileTimeOf(st.st_mtim);
    data->ftLastAccessTime = FileTimeOf(st.st_atim);
    data->ftLastWriteTime = FileTimeOf(st.st_mtim);
    unsigned long long size = S_ISDIR(st.st_mode) ? 0 : (unsigned long long)st.st_size;
    data->nFileSizeHigh = (DWORD)(size >> 32);
    data->nFileSizeLow = (DWORD)(size & 0xFFFFFFFFu);
    CopyNameBounded(name, data->cFileName);
}

// Hands out the next name whose file still exists.
bool NextFound(Search* search, LPWIN32_FIND_DATAW data) {
    while (search->next < search->names.size()) {
        const std::string& name = search->names[search->next++];
        std::string nativePath = search->folder + "/" + name;
        struct stat st;
        if (stat(nativePath.c_str(), &st) != 0) continue;
        FillFindData(name, nativePath, st, data);
        return true;
    }
    return false;
}

Search* FindSearch(HANDLE handle) {
    std::set<Search*>::iterator it = Searches().find(static_cast<Search*>(handle));
    return it == Searches().end() ? NULL : *it;
}

// Splits "\folder\pattern" at its last separator.
bool SplitPattern(LPCWSTR pattern, std::wstring* folder, std::wstring* namePattern) {
    std::wstring whole = pattern;
    size_t cut = whole.find_last_of(L"\\/");
    if (cut == std::wstring::npos) return false;
    *folder = cut == 0 ? std::wstring(L"\\") : whole.substr(0, cut);
    *namePattern = whole.substr(cut + 1);
    return true;
}

bool IsValidNamePattern(const std::wstring& pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        unsigned cp = host::detail::UnitValue(pattern[i]);
        if (cp < 0x20 || cp == '<' || cp == '>' || cp == ':' || cp == '"' || cp == '|') return false;
    }
    return true;
}

// ---- fopen -----------------------------------------------------------------

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

// Windows' C library refuses to open a folder, and a read-only file for
// writing; root on the host would do both.
int OpenRefusal(const std::string& nativePath, const char* mode) {
    struct stat st;
    if (stat(nativePath.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return EACCES;
    if (ModeWrites(mode) && IsReadOnly(st)) return EACCES;
    return 0;
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
    std::set<Search*>& searches = Searches();
    for (std::set<Search*>::iterator it = searches.begin(); it != searches.end(); ++it) delete *it;
    searches.clear();
}

} // namespace detail
} // namespace host

extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR path) {
    std::string native;
    DWORD error = ERROR_SUCCESS;
    struct stat st;
    if (!host::detail::ResolveDevicePath(path, &native, &error)) {
        SetLastError(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!StatExisting(native, &st)) return INVALID_FILE_ATTRIBUTES;
    return AttributesOf(native, st);
}

extern "C" BOOL WINAPI SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    std::string native;
    struct stat st;
    if (!PrepareCall("SetFileAttributesW", path, &native) || !StatExisting(native, &st)) return FALSE;
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
    if (!PrepareCall("DeleteFileW", path, &native) || !StatExisting(native, &st)) return FALSE;
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
    if (unlink(native.c_str()) != 0) return Fail(ErrorFromErrno(errno));
    return TRUE;
}

extern "C" BOOL WINAPI CopyFileW(LPCWSTR source, LPCWSTR destination, BOOL failIfExists) {
    std::string from, to;
    DWORD error = ERROR_SUCCESS;
    struct stat sourceStat;
    if (!PrepareCall("CopyFileW", source, &from)) return FALSE;
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
    if (!PrepareCall("CreateDirectoryW", path, &native)) return FALSE;
    if (stat(native.c_str(), &st) == 0) return Fail(ERROR_ALREADY_EXISTS);
    if (mkdir(native.c_str(), 0777) != 0)
        return Fail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR path) {
    std::string native;
    struct stat st;
    if (!PrepareCall("RemoveDirectoryW", path, &native) || !StatExisting(native, &st)) return FALSE;
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    if (native == host::DeviceRoot() || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
    if (rmdir(native.c_str()) != 0)
        return Fail(errno == EEXIST || errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno));
    return TRUE;
}

extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    std::wstring folder, namePattern;
    std::string native;
    if (pattern == NULL || data == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!SplitPattern(pattern, &folder, &namePattern)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!PrepareCall("FindFirstFileW", folder.c_str(), &native, pattern)) return INVALID_HANDLE_VALUE;
    if (!IsValidNamePattern(namePattern)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    Search* search = new Search;
    search->folder = native;
    search->next = 0;
    if (!ListMatches(native, namePattern, &search->names)) {
        delete search;
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (namePattern.empty() || !NextFound(search, data)) {
        delete search;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Searches().insert(search);
    return search;
}

extern "C" BOOL WINAPI FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data) {
    Search* search = FindSearch(handle);
    if (search == NULL) return Fail(ERROR_INVALID_HANDLE);
    if (data == NULL) return Fail(ERROR_INVALID_PARAMETER);
    if (!NextFound(search, data)) return Fail(ERROR_NO_MORE_FILES);
    return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE handle) {
    Search* search = FindSearch(handle);
    if (search == NULL) return Fail(ERROR_INVALID_HANDLE);
    Searches().erase(search);
    delete search;
    return TRUE;
}

extern "C" FILE* HostFopen(const char* path, const char* mode) {
    if (path == NULL || mode == NULL || mode[0] == 0) {
        errno = EINVAL;
        return NULL;
    }
    std::wstring units;
    host::detail::Cp949ToUnits(path, strlen(path), &units);
    std::string native;
    if (!PrepareCall("fopen", units.c_str(), &native)) {
        errno = ENOENT;
        return NULL;
    }
    int refusal = OpenRefusal(native, mode);
    if (refusal != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        errno = refusal;
        return NULL;
    }
    FILE* file = fopen(native.c_str(), NativeMode(mode).c_str());
    if (file == NULL) SetLastError(errno == ENOENT ? MissingError(native) : ErrorFromErrno(errno));
    return file;
}
