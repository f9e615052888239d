// Device paths under the device root.
//
// A device path has backslashes (slashes are accepted too) and no drive
// letter: "\ResidentFlash\Hailnet\LogMsg" names
// <root>/ResidentFlash/Hailnet/LogMsg. Windows CE has no current folder, so a
// path without the leading backslash is taken from the root as well; a
// leading pair of separators is a network path, which names nothing here.
// "." components are dropped and ".." goes up one level but never above the
// root, so no device path leaves the device root. Names are trimmed as Win32
// trims them: the last component loses every trailing dot and space, an
// earlier one a single trailing dot.
//
// Windows CE's file system ignores letter case, the host's does not. Each
// component that exists is therefore looked up without regard to ASCII letter
// case: an exact match is taken first, otherwise the entry that equals it
// ignoring ASCII case and comes first in byte order (so the choice does not
// depend on directory order when several spellings exist). A component that
// does not exist, and everything after it, keeps the caller's spelling, so a
// new file is created under the name it was given. Letters outside ASCII are
// compared exactly.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/host_control.h"
#include "platform/host/native.h"

namespace host {

namespace {

std::string& RootStorage() {
    static std::string root;
    return root;
}

std::string WithoutTrailingSlashes(const std::string& folder) {
    std::string out = folder;
    while (out.size() > 1 && out[out.size() - 1] == '/') out.erase(out.size() - 1);
    return out;
}

std::string DefaultRoot() {
    const char* fromEnvironment = getenv("HAILWATCH_DEVICE_ROOT");
    if (fromEnvironment != NULL && fromEnvironment[0] != 0) return fromEnvironment;
    return native::CurrentFolder();
}

bool IsSeparator(unsigned cp) { return cp == '\\' || cp == '/'; }

// Characters no Windows file name may hold (wildcards included).
bool IsForbiddenInName(unsigned cp) {
    return cp < 0x20 || cp == '<' || cp == '>' || cp == ':' || cp == '"' || cp == '|' ||
           cp == '?' || cp == '*';
}

bool EqualIgnoringAsciiCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] != 0 && i < b.size(); ++i) {
        unsigned char x = (unsigned char)a[i];
        unsigned char y = (unsigned char)b[i];
        if (x >= 'A' && x <= 'Z') x = (unsigned char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = (unsigned char)(y - 'A' + 'a');
        if (x != y) return false;
    }
    return a[i] == 0 && i == b.size();
}

// The name under which `component` exists in `folder`, or false.
bool FindSpelling(const std::string& folder, const std::string& component, std::string* found) {
    if (native::SpellingOnDisk(folder, component, found)) return true;
    std::vector<std::string> names;
    if (!native::ListNames(folder, &names)) return false;
    bool any = false;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!EqualIgnoringAsciiCase(names[i].c_str(), component)) continue;
        if (!any || names[i] < *found) *found = names[i];
        any = true;
    }
    return any;
}

bool IsDriveLetterPath(const WCHAR* path) {
    return path[0] != 0 && detail::UnitValue(path[1]) == ':';
}

// "dir." is "dir" and "dir.." stays, anywhere in a path; the last component
// ("name. . ") also loses its trailing spaces and every trailing dot.
void TrimComponent(std::string* name, bool last) {
    if (last) {
        size_t keep = name->find_last_not_of(". ");
        name->erase(keep == std::string::npos ? 0 : keep + 1);
    } else if (name->size() >= 2 && (*name)[name->size() - 1] == '.' &&
               (*name)[name->size() - 2] != '.') {
        name->erase(name->size() - 1);
    }
}

// Adds one component ended by a separator or (last) by the path's end.
void AddComponent(std::string name, bool last, std::vector<std::string>* components) {
    if (name == "..") {
        if (!components->empty()) components->pop_back();
        return;
    }
    if (name == ".") return;
    TrimComponent(&name, last);
    if (!name.empty()) components->push_back(name);
}

// Splits a device path into its components (UTF-8), applying "." and "..".
bool SplitComponents(const WCHAR* path, std::vector<std::string>* components, DWORD* error) {
    size_t length = wcslen(path);
    if (IsDriveLetterPath(path)) {
        *error = ERROR_INVALID_NAME;
        return false;
    }
    if (detail::IsNetworkPath(path)) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::string current;
    for (size_t i = 0; i <= length;) {
        unsigned cp = 0;
        i += i < length ? detail::NextCodePoint(path + i, length - i, &cp) : 1;
        if (cp == detail::kInvalidCodePoint) {
            *error = ERROR_FILE_NOT_FOUND;
            return false;
        }
        if (cp == 0 || IsSeparator(cp)) {
            AddComponent(current, cp == 0, components);
            current.clear();
        } else if (IsForbiddenInName(cp)) {
            *error = ERROR_INVALID_NAME;
            return false;
        } else {
            detail::AppendUtf8(cp, &current);
        }
    }
    return true;
}

} // namespace

void SetDeviceRoot(const std::string& nativeFolder) {
    RootStorage() = WithoutTrailingSlashes(nativeFolder.empty() ? DefaultRoot() : nativeFolder);
}

const std::string& DeviceRoot() {
    if (RootStorage().empty()) RootStorage() = WithoutTrailingSlashes(DefaultRoot());
    return RootStorage();
}

std::string NativePath(const std::string& devicePathUtf8) {
    std::wstring units = Widen(devicePathUtf8);
    std::string native;
    if (!detail::ResolveDevicePath(units.c_str(), &native)) return std::string();
    return native;
}

namespace detail {

bool IsNetworkPath(const WCHAR* path) {
    return path != NULL && path[0] != 0 && IsSeparator(UnitValue(path[0])) &&
           IsSeparator(UnitValue(path[1]));
}

bool ResolveDevicePath(const WCHAR* devicePath, std::string* nativePath, DWORD* error) {
    std::vector<std::string> components;
    if (devicePath == NULL || devicePath[0] == 0) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (!SplitComponents(devicePath, &components, error)) return false;
    std::string path = DeviceRoot();
    bool lookingUp = true;
    for (size_t i = 0; i < components.size(); ++i) {
        std::string name = components[i];
        if (lookingUp) lookingUp = FindSpelling(path, components[i], &name);
        path += "/";
        path += name;
    }
    *nativePath = path;
    return true;
}

bool ResolveDevicePath(const WCHAR* devicePath, std::string* nativePath) {
    DWORD ignored;
    return ResolveDevicePath(devicePath, nativePath, &ignored);
}

} // namespace detail
} // namespace host
