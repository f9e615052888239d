// Folder searches on the host.
//
// A search reads the folder once, at FindFirstFileW, and hands out the names
// in byte order; a name whose file has gone by the time it is due is skipped,
// so deleting found files while searching is safe. "." and ".." are never
// returned, as on Windows CE.
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"

using host::detail::AttributesOf;
using host::detail::Fail;
using host::detail::PrepareFileCall;

namespace {

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
    std::vector<std::string> all;
    if (!host::native::ListNames(folder, &all)) return false;
    for (size_t i = 0; i < all.size(); ++i) {
        std::wstring units;
        // A native name that is not UTF-8 cannot be named by any device path.
        if (!host::detail::Utf8ToUnits(all[i].data(), all[i].size(), &units)) continue;
        if (PatternMatches(pattern, units)) names->push_back(all[i]);
    }
    std::sort(names->begin(), names->end());
    return true;
}

FILETIME FileTimeOf(unsigned long long ticks) {
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

void FillFindData(const std::string& name, const std::string& nativePath, const host::native::FileInfo& info,
                  LPWIN32_FIND_DATAW data) {
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesOf(nativePath, info);
    data->ftCreationTime = FileTimeOf(info.writeTime);
    data->ftLastAccessTime = FileTimeOf(info.accessTime);
    data->ftLastWriteTime = FileTimeOf(info.writeTime);
    unsigned long long size = info.size;
    data->nFileSizeHigh = (DWORD)(size >> 32);
    data->nFileSizeLow = (DWORD)(size & 0xFFFFFFFFu);
    CopyNameBounded(name, data->cFileName);
}

// Hands out the next name whose file still exists.
bool NextFound(Search* search, LPWIN32_FIND_DATAW data) {
    while (search->next < search->names.size()) {
        const std::string& name = search->names[search->next++];
        std::string nativePath = search->folder + "/" + name;
        host::native::FileInfo info;
        if (host::native::Stat(nativePath, &info) != ERROR_SUCCESS) continue;
        FillFindData(name, nativePath, info, data);
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

} // namespace

namespace host {
namespace detail {

void ResetSearches() {
    std::set<Search*>& searches = Searches();
    for (std::set<Search*>::iterator it = searches.begin(); it != searches.end(); ++it) delete *it;
    searches.clear();
}

} // namespace detail
} // namespace host

extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
    std::wstring folder, namePattern;
    std::string native;
    if (pattern == NULL || data == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (host::detail::IsNetworkPath(pattern) || !SplitPattern(pattern, &folder, &namePattern)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!PrepareFileCall("FindFirstFileW", folder.c_str(), &native, pattern)) return INVALID_HANDLE_VALUE;
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
    if (!host::detail::HasPower()) return FALSE;
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
