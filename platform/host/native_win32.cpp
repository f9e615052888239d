// The PC underneath the host backend, on a Windows PC: the PC's own Win32.
//
// This is the one file of the backend that sees the real <windows.h>; the
// backend's own Win32 names are renamed on Windows builds (model_names.h), so
// the two never meet. A stream of the C library holds its file without
// sharing deletion, which tells whether a file is held open.
//
// Attributes: Windows marks every new file for archiving, and Wine reports
// the archive bit on every file and keeps neither read-only nor archive on a
// folder. The bits the terminal's code sets are therefore also kept here, for
// the path they were set on, and answered from here; a file or folder this
// process never set bits on answers the PC's own, the archive bit on a file
// aside (it says nothing there).
//
// Paths are handed over whole, in the "\\?\" form: without it Win32 would
// trim trailing dots and spaces from every name on the way, where the device
// trims only as its path rules say (device_path.cpp has done that already),
// so "Hailnet..", a name the device keeps, would reach "Hailnet".
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <wincrypt.h>

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/host/native.h"
#include "platform/host/native_files.h"

namespace host {
namespace native {

namespace {

const unsigned kExtendedBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), NULL, 0);
    std::wstring out((size_t)(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &out[0], count);
    return out;
}

// The path as Win32 takes it literally: backslashes, and "\\?\" before a
// drive-letter path ("\\?\UNC\" before a network one).
std::wstring Wide(const std::string& utf8) {
    std::wstring path = Widen(utf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\' && path.compare(0, 4, L"\\\\?\\") != 0)
        return L"\\\\?\\UNC" + path.substr(1);
    return path;
}

std::string Narrow(const wchar_t* wide) {
    int count = WideCharToMultiByte(CP_UTF8, 0, wide, -1, NULL, 0, NULL, NULL);
    if (count <= 1) return std::string();
    std::string out((size_t)count, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], count, NULL, NULL);
    out.resize((size_t)count - 1);
    return out;
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

unsigned long long Ticks(const FILETIME& time) {
    return ((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

unsigned ErrorOr(BOOL ok) { return ok ? 0 : (unsigned)GetLastError(); }

bool IdentityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE file = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    BOOL ok = GetFileInformationByHandle(file, info);
    CloseHandle(file);
    return ok != FALSE;
}

struct SetBits {
    bool readOnly;
    unsigned extended;
};

std::map<std::string, SetBits>& BitsSet() {
    static std::map<std::string, SetBits> bits;
    return bits;
}

const SetBits* BitsSetOn(const std::string& path) {
    std::map<std::string, SetBits>::const_iterator it = BitsSet().find(path);
    return it == BitsSet().end() ? NULL : &it->second;
}

unsigned Forgetting(const std::string& path, unsigned error) {
    if (error == 0) BitsSet().erase(path);
    return error;
}

} // namespace

// The PC's own files (native_volume.cpp chooses them or a memory device).
namespace pc {

unsigned Stat(const std::string& path, FileInfo* info) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return (unsigned)GetLastError();
    info->folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const SetBits* set = BitsSetOn(path);
    info->readOnly = set != NULL ? set->readOnly : (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    info->size = info->folder ? 0 : ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    info->writeTime = Ticks(data.ftLastWriteTime);
    info->accessTime = Ticks(data.ftLastAccessTime);
    return 0;
}

bool Exists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SpellingOnDisk(const std::string& folder, const std::string& name, std::string* spelling) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(folder + "/" + name).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    // Only the name itself, letter case aside: Windows may also answer for
    // a short name or a name without its trailing dots.
    std::string name8 = Narrow(found.cFileName);
    if (name8.size() != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (FoldAscii(name8[i]) != FoldAscii(name[i])) return false;
    }
    *spelling = name8;
    return true;
}

unsigned ExtendedBits(const std::string& path) {
    const SetBits* set = BitsSetOn(path);
    if (set != NULL) return set->extended;
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) attributes &= ~(DWORD)FILE_ATTRIBUTE_ARCHIVE;
    return (unsigned)(attributes & kExtendedBits);
}

unsigned StoreAttributes(const std::string& path, bool readOnly, unsigned extendedBits) {
    DWORD bits = (extendedBits & kExtendedBits) | (readOnly ? FILE_ATTRIBUTE_READONLY : 0);
    if (!SetFileAttributesW(Wide(path).c_str(), bits != 0 ? bits : FILE_ATTRIBUTE_NORMAL))
        return (unsigned)GetLastError();
    SetBits set = {readOnly, extendedBits & kExtendedBits};
    BitsSet()[path] = set;
    return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    return IdentityOf(a, &first) && IdentityOf(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

unsigned RemoveFile(const std::string& path) { return Forgetting(path, ErrorOr(DeleteFileW(Wide(path).c_str()))); }

// The bits the backend set on a path go with it.
unsigned Rename(const std::string& from, const std::string& to) {
    if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) return (unsigned)GetLastError();
    std::map<std::string, SetBits>::iterator set = BitsSet().find(from);
    BitsSet().erase(to);
    if (set != BitsSet().end()) {
        BitsSet()[to] = set->second;
        BitsSet().erase(set);
    }
    return 0;
}

unsigned Truncate(const std::string& path, unsigned long long size) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return (unsigned)GetLastError();
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)size;
    BOOL done = SetFilePointerEx(file, at, NULL, FILE_BEGIN) && SetEndOfFile(file);
    unsigned error = done ? 0 : (unsigned)GetLastError();
    CloseHandle(file);
    return error;
}

unsigned MakeFolder(const std::string& path) { return ErrorOr(CreateDirectoryW(Wide(path).c_str(), NULL)); }

unsigned RemoveFolder(const std::string& path) {
    return Forgetting(path, ErrorOr(RemoveDirectoryW(Wide(path).c_str())));
}

// CopyFileW brings the source's attributes along; the caller sets them as the
// device would, so they are cleared first.
unsigned CopyData(const std::string& from, const FileInfo&, const std::string& to) {
    std::wstring target = Wide(to);
    if (!CopyFileW(Wide(from).c_str(), target.c_str(), FALSE)) {
        unsigned error = (unsigned)GetLastError();
        DeleteFileW(target.c_str());
        return error;
    }
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return Forgetting(to, 0);
}

bool ListNames(const std::string& folder, std::vector<std::string>* names) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(folder + "/*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names->push_back(Narrow(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

} // namespace pc

std::string CurrentFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return ".";
    std::string out = Narrow(buffer);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

namespace pc {

struct OpenFile {
    HANDLE handle;
};

// Shared for reading and writing, never for deletion, as the C library
// opens a file.
OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error) {
    DWORD disposition = access.create ? (access.truncate ? CREATE_ALWAYS : OPEN_ALWAYS)
                                      : (access.truncate ? TRUNCATE_EXISTING : OPEN_EXISTING);
    bool creates = access.create && !Exists(path);
    HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ | (access.write ? GENERIC_WRITE : 0),
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = (unsigned)GetLastError();
        return NULL;
    }
    if (creates) BitsSet().erase(path);
    OpenFile* file = new OpenFile;
    file->handle = handle;
    return file;
}

size_t ReadFrom(OpenFile* file, void* data, size_t size, bool* failed) {
    size_t total = 0;
    while (total < size) {
        DWORD got = 0;
        DWORD ask = size - total > 0x40000000u ? 0x40000000u : (DWORD)(size - total);
        if (!ReadFile(file->handle, static_cast<char*>(data) + total, ask, &got, NULL)) {
            *failed = true;
            break;
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

bool WriteTo(OpenFile* file, const void* data, size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        DWORD put = 0;
        DWORD ask = size > 0x40000000u ? 0x40000000u : (DWORD)size;
        if (!WriteFile(file->handle, at, ask, &put, NULL) || put == 0) return false;
        at += put;
        size -= put;
    }
    return true;
}

bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd) {
    LARGE_INTEGER at;
    at.QuadPart = toEnd ? 0 : (LONGLONG)offset;
    return SetFilePointerEx(file->handle, at, NULL, toEnd ? FILE_END : FILE_BEGIN) != FALSE;
}

bool CloseFile(OpenFile* file) {
    bool closed = CloseHandle(file->handle) != FALSE;
    delete file;
    return closed;
}

} // namespace pc

// ---- clock -------------------------------------------------------------------

unsigned MonotonicMilliseconds() { return (unsigned)GetTickCount(); }

void Wait(unsigned milliseconds) { Sleep(milliseconds); }

void Now(LocalTime* out) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    out->year = now.wYear;
    out->month = now.wMonth;
    out->dayOfWeek = now.wDayOfWeek;
    out->day = now.wDay;
    out->hour = now.wHour;
    out->minute = now.wMinute;
    out->second = now.wSecond;
    out->milliseconds = now.wMilliseconds;
}

// ---- code page 949, through the PC's own table --------------------------------

Cp949Codec::Cp949Codec() : toUnicode_(NULL), fromUnicode_(NULL), triedTo_(false), triedFrom_(false) {}

Cp949Codec::~Cp949Codec() {}

bool Cp949Codec::Decode(const char pair[2], unsigned* codePoint) {
    wchar_t units[2];
    int count = MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, pair, 2, units, 2);
    if (count != 1) return false;
    *codePoint = units[0];
    return true;
}

bool Cp949Codec::Encode(unsigned codePoint, char bytes[2], size_t* produced) {
    if (codePoint > 0xFFFF) return false;
    wchar_t unit = (wchar_t)codePoint;
    BOOL usedDefault = FALSE;
    int count = WideCharToMultiByte(949, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, 2, NULL, &usedDefault);
    if (count <= 0 || usedDefault) return false;
    *produced = (size_t)count;
    return true;
}

// ---- CryptoAPI ---------------------------------------------------------------

namespace crypto {

bool AcquireContext(size_t* provider, const wchar_t* container, const wchar_t* providerName, unsigned type,
                    unsigned flags) {
    HCRYPTPROV handle = 0;
    if (!CryptAcquireContextW(&handle, container, providerName, type, flags)) return false;
    *provider = (size_t)handle;
    return true;
}

bool ReleaseContext(size_t provider, unsigned flags) { return CryptReleaseContext((HCRYPTPROV)provider, flags) != 0; }

bool ImportKey(size_t provider, const unsigned char* data, unsigned length, size_t unwrapKey, unsigned flags,
               size_t* key) {
    HCRYPTKEY handle = 0;
    if (!CryptImportKey((HCRYPTPROV)provider, data, length, (HCRYPTKEY)unwrapKey, flags, &handle)) return false;
    *key = (size_t)handle;
    return true;
}

bool DestroyKey(size_t key) { return CryptDestroyKey((HCRYPTKEY)key) != 0; }

bool CreateHash(size_t provider, unsigned algorithm, size_t key, unsigned flags, size_t* hash) {
    HCRYPTHASH handle = 0;
    if (!CryptCreateHash((HCRYPTPROV)provider, algorithm, (HCRYPTKEY)key, flags, &handle)) return false;
    *hash = (size_t)handle;
    return true;
}

bool HashData(size_t hash, const unsigned char* data, unsigned length, unsigned flags) {
    return CryptHashData((HCRYPTHASH)hash, data, length, flags) != 0;
}

bool VerifySignature(size_t hash, const unsigned char* signature, unsigned length, size_t key,
                     const wchar_t* description, unsigned flags) {
    return CryptVerifySignatureW((HCRYPTHASH)hash, signature, length, (HCRYPTKEY)key, description, flags) != 0;
}

bool DestroyHash(size_t hash) { return CryptDestroyHash((HCRYPTHASH)hash) != 0; }

unsigned LastError() { return (unsigned)GetLastError(); }

bool GenerateKey(size_t provider, unsigned algorithm, unsigned flags, size_t* key) {
    HCRYPTKEY handle = 0;
    if (!CryptGenKey((HCRYPTPROV)provider, algorithm, flags, &handle)) return false;
    *key = (size_t)handle;
    return true;
}

// Asked twice, as CryptoAPI wants: first the size, then the bytes.
bool ExportKey(size_t key, unsigned blobType, std::string* blob) {
    DWORD size = 0;
    if (!CryptExportKey((HCRYPTKEY)key, 0, blobType, 0, NULL, &size)) return false;
    std::vector<BYTE> bytes(size);
    if (!CryptExportKey((HCRYPTKEY)key, 0, blobType, 0, bytes.data(), &size)) return false;
    blob->assign(bytes.begin(), bytes.begin() + size);
    return true;
}

bool SignHash(size_t hash, unsigned keySpec, std::string* signature) {
    DWORD size = 0;
    if (!CryptSignHashW((HCRYPTHASH)hash, keySpec, NULL, 0, NULL, &size)) return false;
    std::vector<BYTE> bytes(size);
    if (!CryptSignHashW((HCRYPTHASH)hash, keySpec, NULL, 0, bytes.data(), &size)) return false;
    signature->assign(bytes.begin(), bytes.begin() + size);
    return true;
}

} // namespace crypto

} // namespace native
} // namespace host
