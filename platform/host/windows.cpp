// Windows, window classes and resources of the simulated device.
//
// One table holds every top-level window: this process's own (with their
// procedures) and those of simulated programs (title and class only).
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/loop_internal.h"

namespace {

struct ClassRecord {
    std::wstring name;
    WNDPROC proc;
    ATOM atom;
};

struct StringTable {
    const host::StringResource* entries;
    size_t count;
};

std::vector<ClassRecord> g_classes;
std::vector<host::detail::WindowRecord> g_windows;
// Handles are never reused, so a stale one stays invalid even across Reset.
unsigned long g_nextHandle = 0x10010;
ATOM g_nextAtom = 0xC100;

// Filled at static initialisation by the resources; kept across Reset.
const size_t kMaxStringTables = 8;
StringTable g_stringTables[kMaxStringTables];
size_t g_stringTableCount = 0;

WCHAR FoldCase(WCHAR c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<WCHAR>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<WCHAR>(c + 32);
    return c;
}

bool IsAtomName(const WCHAR* name)
{
    return reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF;
}

ClassRecord* FindClass(const WCHAR* name)
{
    for (size_t i = 0; i < g_classes.size(); ++i) {
        if (IsAtomName(name) ? g_classes[i].atom == reinterpret_cast<ULONG_PTR>(name)
                             : host::detail::EqualNoCase(g_classes[i].name, name))
            return &g_classes[i];
    }
    return NULL;
}

HWND NewHandle()
{
    HWND handle = reinterpret_cast<HWND>(g_nextHandle);
    g_nextHandle += 4;
    return handle;
}

HWND AddWindow(DWORD owner, const std::wstring& className, const WCHAR* title,
               WNDPROC proc, HWND parent, bool visible)
{
    host::detail::WindowRecord record;
    record.handle = NewHandle();
    record.owner = owner;
    record.className = className;
    record.title = title != NULL ? title : L"";
    record.proc = proc;
    record.parent = parent;
    record.visible = visible;
    record.destroying = false;
    g_windows.push_back(record);
    return record.handle;
}

void EraseWindow(HWND window)
{
    for (size_t i = 0; i < g_windows.size(); ++i) {
        if (g_windows[i].handle == window) {
            g_windows.erase(g_windows.begin() + i);
            return;
        }
    }
}

bool Matches(const host::detail::WindowRecord& w, const WCHAR* className,
             const WCHAR* title)
{
    if (w.parent != NULL)
        return false;
    if (className != NULL && !host::detail::EqualNoCase(w.className, className))
        return false;
    return title == NULL || host::detail::EqualNoCase(w.title, title);
}

const WCHAR* FindString(UINT id)
{
    for (size_t t = 0; t < g_stringTableCount; ++t) {
        for (size_t i = 0; i < g_stringTables[t].count; ++i) {
            if (g_stringTables[t].entries[i].id == id)
                return g_stringTables[t].entries[i].text;
        }
    }
    return NULL;
}

} // namespace

namespace host {

void RegisterStringTable(const StringResource* table, size_t count)
{
    if (table == NULL || g_stringTableCount == kMaxStringTables)
        return;
    g_stringTables[g_stringTableCount].entries = table;
    g_stringTables[g_stringTableCount].count = count;
    ++g_stringTableCount;
}

namespace detail {

bool EqualNoCase(const std::wstring& a, const WCHAR* b)
{
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0 || FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return b[i] == 0;
}

WindowRecord* LookUpWindow(HWND window)
{
    if (window == NULL)
        return NULL;
    for (size_t i = 0; i < g_windows.size(); ++i) {
        if (g_windows[i].handle == window)
            return &g_windows[i];
    }
    return NULL;
}

bool IsThisProcessWindow(HWND window)
{
    WindowRecord* record = LookUpWindow(window);
    return record != NULL && record->owner == kThisProcess;
}

HWND AddProgramWindow(DWORD owner, const std::wstring& title,
                      const std::wstring& className)
{
    return AddWindow(owner, className, title.c_str(), NULL, NULL, true);
}

void RemoveWindowsOf(DWORD owner)
{
    for (size_t i = g_windows.size(); i-- > 0;) {
        if (g_windows[i].owner == owner)
            g_windows.erase(g_windows.begin() + i);
    }
}

HWND FindTopLevel(const WCHAR* className, const WCHAR* title)
{
    // Newest first, as a freshly created window lies on top of the z-order.
    for (size_t i = g_windows.size(); i-- > 0;) {
        if (Matches(g_windows[i], className, title))
            return g_windows[i].handle;
    }
    return NULL;
}

int CountTopLevel(const std::wstring& title)
{
    int count = 0;
    for (size_t i = 0; i < g_windows.size(); ++i) {
        if (Matches(g_windows[i], NULL, title.c_str()))
            ++count;
    }
    return count;
}

void ResetWindows()
{
    g_windows.clear();
    g_classes.clear();
}

} // namespace detail
} // namespace host

using host::detail::LookUpWindow;
using host::detail::WindowRecord;

extern "C" {

ATOM WINAPI RegisterClassW(const WNDCLASSW* windowClass)
{
    if (windowClass == NULL || windowClass->lpfnWndProc == NULL ||
        windowClass->lpszClassName == NULL || IsAtomName(windowClass->lpszClassName) ||
        windowClass->lpszClassName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(windowClass->lpszClassName) != NULL) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ClassRecord record;
    record.name = windowClass->lpszClassName;
    record.proc = windowClass->lpfnWndProc;
    record.atom = g_nextAtom++;
    g_classes.push_back(record);
    return record.atom;
}

HWND WINAPI CreateWindowExW(DWORD, LPCWSTR className, LPCWSTR title, DWORD style,
                            int, int, int, int, HWND parent, HMENU, HINSTANCE,
                            LPVOID)
{
    ClassRecord* windowClass = className != NULL ? FindClass(className) : NULL;
    if (windowClass == NULL) {
        SetLastError(HOST_ERROR_CANNOT_FIND_WND_CLASS);
        return NULL;
    }
    if (parent != NULL && LookUpWindow(parent) == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return NULL;
    }
    WNDPROC proc = windowClass->proc;
    HWND window = AddWindow(host::detail::kThisProcess, windowClass->name, title,
                            proc, parent, (style & WS_VISIBLE) != 0);
    // WM_CREATE is delivered before CreateWindowExW returns; -1 refuses the
    // window, which is then destroyed as Windows does (WM_DESTROY included).
    if (proc(window, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(window);
        return NULL;
    }
    return IsWindow(window) ? window : NULL;
}

BOOL WINAPI ShowWindow(HWND window, int showCommand)
{
    WindowRecord* record = LookUpWindow(window);
    if (record == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = record->visible ? TRUE : FALSE;
    record->visible = showCommand != SW_HIDE;
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    if (LookUpWindow(window) == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND window)
{
    WindowRecord* record = LookUpWindow(window);
    if (record == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (record->owner != host::detail::kThisProcess) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (record->destroying)
        return TRUE;
    record->destroying = true;
    WNDPROC proc = record->proc;
    host::detail::KillTimersOf(window);
    proc(window, WM_DESTROY, 0, 0);
    // The procedure may have armed timers or posted to itself meanwhile.
    EraseWindow(window);
    host::detail::KillTimersOf(window);
    host::detail::DropPostedFor(window);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window)
{
    host::detail::FireDueProgramEvents();
    return LookUpWindow(window) != NULL ? TRUE : FALSE;
}

LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow(window);
    return 0;
}

int WINAPI LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int size)
{
    const WCHAR* text = FindString(id);
    if (buffer == NULL || size < 0)
        return 0;
    if (text == NULL) {
        if (size > 0)
            buffer[0] = 0;
        SetLastError(HOST_ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    int length = 0;
    while (text[length] != 0)
        ++length;
    if (size == 0) {
        // As on Windows: a read-only pointer to the resource itself.
        *reinterpret_cast<const WCHAR**>(buffer) = text;
        return length;
    }
    int copied = length < size - 1 ? length : size - 1;
    for (int i = 0; i < copied; ++i)
        buffer[i] = text[i];
    buffer[copied] = 0;
    return copied;
}

HICON WINAPI LoadIconW(HINSTANCE, LPCWSTR name)
{
    // Nothing is drawn on the host: any icon is a distinct dummy handle.
    return reinterpret_cast<HICON>(0x20000 + (reinterpret_cast<ULONG_PTR>(name) & 0xFFFF));
}

HGDIOBJ WINAPI GetStockObject(int object)
{
    if (object < 0 || object > 19)
        return NULL;
    return reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(0x30000 + object));
}

HACCEL WINAPI LoadAcceleratorsW(HINSTANCE, LPCWSTR)
{
    // The module ships no accelerator table.
    SetLastError(HOST_ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
}

int WINAPI TranslateAcceleratorW(HWND, HACCEL, LPMSG)
{
    return 0;
}

} // extern "C"
