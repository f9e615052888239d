// The file calls on the host: device paths mapped under the device root,
// with Windows' attribute model and failures.
//
// Attributes are kept by the PC underneath (native.h). A folder reports 0x10
// plus its bits; a file reports its bits, or 0x80 when it has none. The
// backend may run as root, where permission bits do not stop unlink or open,
// so every read-only rule is checked here.
//
// A file held open through fopen is neither deleted nor overwritten until it
// is closed (error 32): Windows' C library shares an open file for reading
// and writing, never for deletion. Searches are in file_search.cpp, fopen in
// file_open.cpp.
#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"
#include "platform/host/native.h"

using host::detail::AttributesOf;
using host::detail::Fail;
using host::detail::MissingError;
using host::detail::PrepareFileCall;
using host::detail::StatExisting;
using host::native::FileInfo;

namespace {

const DWORD kExtendedBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

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
    FileInfo info;
    return host::native::Stat(nativePath, &info) == ERROR_SUCCESS && info.folder;
}

} // namespace

namespace host {
namespace detail {

// ---- errors ----------------------------------------------------------------

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Windows tells a missing file in an existing folder from a missing folder.
DWORD MissingError(const std::string& nativePath) {
    return IsFolder(ParentOf(nativePath)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool PrepareFileCall(const char* operation, LPCWSTR devicePath, std::string* nativePath,
                     LPCWSTR callPath) {
    DWORD error = ERROR_SUCCESS;
    if (!HasPower()) return false;
    std::string matched = Utf16ToUtf8(callPath != NULL ? callPath : devicePath);
    if (!ResolveDevicePath(devicePath, nativePath, &error) ||
        ConsumeFault(operation, matched, *nativePath, &error)) {
        SetLastError(error);
        return false;
    }
    return true;
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool StatExisting(const std::string& nativePath, FileInfo* info) {
    DWORD error = host::native::Stat(nativePath, info);
    if (error == ERROR_SUCCESS) return true;
    SetLastError(IsMissing(error) ? MissingError(nativePath) : error);
    return false;
}

// ---- attributes ------------------------------------------------------------

DWORD AttributesOf(const std::string& nativePath, const FileInfo& info) {
    DWORD bits = host::native::ExtendedBits(nativePath) & kExtendedBits;
    if (info.readOnly) bits |= FILE_ATTRIBUTE_READONLY;
    if (info.folder) return bits | FILE_ATTRIBUTE_DIRECTORY;
    return bits == 0 ? FILE_ATTRIBUTE_NORMAL : bits;
}

} // namespace detail
} // namespace host

namespace {

// The destination takes the source's read-only bit and its other attribute
// bits.
void CopyAttributes(const std::string& source, const FileInfo& sourceInfo, const std::string& destination) {
    host::native::StoreAttributes(destination, sourceInfo.readOnly, host::native::ExtendedBits(source));
}

// Why the destination cannot be written, or ERROR_SUCCESS.
DWORD DestinationProblem(const std::string& source, const std::string& destination, BOOL failIfExists) {
    FileInfo info;
    if (host::native::Stat(destination, &info) != ERROR_SUCCESS) return ERROR_SUCCESS;
    if (failIfExists) return ERROR_FILE_EXISTS;
    if (host::native::SameFile(source, destination))
        return ERROR_SHARING_VIOLATION; // the same file under another spelling
    if (host::detail::IsHeld(destination)) return ERROR_SHARING_VIOLATION;
    if (info.folder || info.readOnly) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

DWORD CopyFileData(const std::string& source, const FileInfo& sourceInfo, const std::string& destination) {
    DWORD error = host::native::CopyData(source, sourceInfo, destination);
    return host::detail::IsMissing(error) ? MissingError(destination) : error;
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
    ResetPower();
    ResetSearches();
}

} // namespace detail
} // namespace host


extern "C" DWORD WINAPI GetFileAttributesW(LPCWSTR path) {
    std::string native;
    DWORD error = ERROR_SUCCESS;
    FileInfo info;
    if (!host::detail::HasPower()) return INVALID_FILE_ATTRIBUTES;
    if (!host::detail::ResolveDevicePath(path, &native, &error)) {
        // Wine's answer for a network path; the other calls give 3.
        SetLastError(host::detail::IsNetworkPath(path) ? ERROR_BAD_DEV_TYPE : error);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!StatExisting(native, &info)) return INVALID_FILE_ATTRIBUTES;
    return AttributesOf(native, info);
}

extern "C" BOOL WINAPI SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    std::string native;
    FileInfo info;
    if (!PrepareFileCall("SetFileAttributesW", path, &native) || !StatExisting(native, &info)) return FALSE;
    // FILE_ATTRIBUTE_NORMAL carries no bit of its own; the directory bit
    // cannot be changed.
    size_t noted = host::JournalLength();
    host::detail::NoteAttributes(native, attributes);
    DWORD error = host::native::StoreAttributes(native, (attributes & FILE_ATTRIBUTE_READONLY) != 0,
                                                attributes & kExtendedBits);
    if (error != ERROR_SUCCESS && host::JournalLength() > noted) host::detail::ForgetNote();
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL WINAPI DeleteFileW(LPCWSTR path) {
    std::string native;
    FileInfo info;
    if (!PrepareFileCall("DeleteFileW", path, &native) || !StatExisting(native, &info)) return FALSE;
    if (host::detail::IsHeld(native)) return Fail(ERROR_SHARING_VIOLATION);
    if (info.folder || info.readOnly) return Fail(ERROR_ACCESS_DENIED);
    DWORD error = host::detail::RemoveFileNoted(native);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL WINAPI CopyFileW(LPCWSTR source, LPCWSTR destination, BOOL failIfExists) {
    std::string from, to;
    DWORD error = ERROR_SUCCESS;
    FileInfo sourceInfo;
    if (!PrepareFileCall("CopyFileW", source, &from)) return FALSE;
    if (!host::detail::ResolveDevicePath(destination, &to, &error)) return Fail(error);
    if (!StatExisting(from, &sourceInfo)) return FALSE;
    if (sourceInfo.folder) return Fail(ERROR_ACCESS_DENIED);
    error = DestinationProblem(from, to, failIfExists);
    if (error == ERROR_SUCCESS) {
        host::detail::NoteReplace(to, "CopyFileW");
        error = CopyFileData(from, sourceInfo, to);
    }
    if (error != ERROR_SUCCESS) return Fail(error);
    CopyAttributes(from, sourceInfo, to);
    return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    std::string native;
    if (!PrepareFileCall("CreateDirectoryW", path, &native)) return FALSE;
    if (host::native::Exists(native)) return Fail(ERROR_ALREADY_EXISTS);
    host::detail::NoteCreate(native, "CreateDirectoryW");
    DWORD error = host::native::MakeFolder(native);
    if (error != ERROR_SUCCESS) host::detail::ForgetNote();
    return error == ERROR_SUCCESS ? TRUE : Fail(host::detail::IsMissing(error) ? ERROR_PATH_NOT_FOUND : error);
}

extern "C" BOOL WINAPI RemoveDirectoryW(LPCWSTR path) {
    std::string native;
    FileInfo info;
    if (!PrepareFileCall("RemoveDirectoryW", path, &native) || !StatExisting(native, &info)) return FALSE;
    if (!info.folder) return Fail(ERROR_DIRECTORY);
    if (native == host::DeviceRoot() || info.readOnly) return Fail(ERROR_ACCESS_DENIED);
    host::detail::NoteFolderRemoval(native);
    DWORD error = host::native::RemoveFolder(native);
    if (error != ERROR_SUCCESS) host::detail::ForgetNote();
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}
