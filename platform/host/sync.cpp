// Kernel handles, named mutexes and critical sections.
//
// Mutex names are system-wide: a name stays taken while this process holds a
// handle to it or another (simulated) process holds it. Names compare exactly,
// as kernel object names do on Windows.
#include <map>

#include "platform/host/backend_internal.h"
#include "platform/host/loop_internal.h"

namespace {

struct Mutex {
    std::wstring name; // empty: anonymous
    int openHandles;
    int ownCount; // recursion count of this thread's ownership
    bool heldElsewhere;
};

const unsigned long kPlainObject = 0;

// Handle value -> mutex id (kPlainObject for process and thread records).
std::map<unsigned long, unsigned long> g_handles;
std::map<unsigned long, Mutex> g_mutexes;
// Never reused, so a closed handle stays invalid.
unsigned long g_nextHandle = 0x400;
unsigned long g_nextMutex = 1;

HANDLE OpenHandle(unsigned long object)
{
    unsigned long value = g_nextHandle;
    g_nextHandle += 4;
    g_handles[value] = object;
    return reinterpret_cast<HANDLE>(value);
}

unsigned long HandleValue(HANDLE handle)
{
    return static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(handle));
}

// The id of the mutex with this name, or 0.
unsigned long FindMutex(const std::wstring& name)
{
    for (std::map<unsigned long, Mutex>::iterator it = g_mutexes.begin(); it != g_mutexes.end();
         ++it) {
        if (!it->second.name.empty() && it->second.name == name)
            return it->first;
    }
    return 0;
}

unsigned long NewMutex(const std::wstring& name)
{
    Mutex mutex = {name, 0, 0, false};
    g_mutexes[g_nextMutex] = mutex;
    return g_nextMutex++;
}

Mutex* MutexOfHandle(HANDLE handle)
{
    std::map<unsigned long, unsigned long>::iterator it = g_handles.find(HandleValue(handle));
    if (it == g_handles.end() || it->second == kPlainObject)
        return NULL;
    return &g_mutexes[it->second];
}

} // namespace

namespace host {
namespace detail {

HANDLE NewPlainHandle() { return OpenHandle(kPlainObject); }

void HoldMutexOutside(const std::wstring& name)
{
    if (name.empty())
        return;
    unsigned long id = FindMutex(name);
    if (id == 0)
        id = NewMutex(name);
    g_mutexes[id].heldElsewhere = true;
}

void ResetSync()
{
    g_handles.clear();
    g_mutexes.clear();
}

} // namespace detail
} // namespace host

extern "C" {

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name)
{
    std::wstring key = name != NULL ? name : L"";
    unsigned long id = key.empty() ? 0 : FindMutex(key);
    if (id != 0) {
        // The existing mutex; the request for initial ownership is ignored.
        g_mutexes[id].openHandles++;
        HANDLE handle = OpenHandle(id);
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    id = NewMutex(key);
    g_mutexes[id].openHandles = 1;
    g_mutexes[id].ownCount = initialOwner ? 1 : 0;
    HANDLE handle = OpenHandle(id);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE handle)
{
    Mutex* mutex = MutexOfHandle(handle);
    if (mutex == NULL) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (mutex->ownCount == 0) {
        SetLastError(HOST_ERROR_NOT_OWNER);
        return FALSE;
    }
    mutex->ownCount--;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle)
{
    std::map<unsigned long, unsigned long>::iterator it = g_handles.find(HandleValue(handle));
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    unsigned long id = it->second;
    g_handles.erase(it);
    if (id != kPlainObject) {
        Mutex& mutex = g_mutexes[id];
        // The last handle gone, the name is free again (unless held elsewhere).
        if (--mutex.openHandles == 0 && !mutex.heldElsewhere)
            g_mutexes.erase(id);
        else if (mutex.openHandles == 0)
            mutex.ownCount = 0;
    }
    return TRUE;
}

// One thread: a critical section is a recursion count in the caller's record.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    if (section == NULL)
        return;
    section->impl = section;
    for (size_t i = 0; i < sizeof(section->reserved) / sizeof(section->reserved[0]); ++i)
        section->reserved[i] = 0;
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    if (section != NULL)
        section->impl = NULL;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (section != NULL)
        section->reserved[0]++;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    if (section != NULL && section->reserved[0] > 0)
        section->reserved[0]--;
}

} // extern "C"
