// The last error, CreateProcessW and the simulated sibling programs.
//
// A program is registered for an image path; every CreateProcessW of an
// existing image with that path starts an instance, which owns one top-level
// window, appearing at once or after the program's delay, unless the program
// ends at once (it crashes at start).
#include <stdio.h>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/loop_internal.h"
#include "platform/host/native.h"

namespace {

const wchar_t kDefaultProgramClass[] = L"HostSimulatedProgram";

struct Registration {
    std::string key; // the device path, ASCII letters folded
    host::ProgramSetup setup;
};

struct Instance {
    DWORD id;
    std::string key;
    host::ProgramSetup setup;
    bool windowPending;
    DWORD windowDue;
};

thread_local DWORD t_lastError = 0;
std::vector<Registration> g_registrations;
std::vector<Instance> g_instances;
std::vector<std::string> g_startedImages;
DWORD g_nextInstance = 1;

// Device paths, like every Windows CE path, ignore letter case.
std::string ProgramKey(const std::string& devicePath)
{
    std::string key(devicePath);
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] >= 'A' && key[i] <= 'Z')
            key[i] = static_cast<char>(key[i] + 32);
    }
    return key;
}

const Registration* FindRegistration(const std::string& key)
{
    for (size_t i = 0; i < g_registrations.size(); ++i) {
        if (g_registrations[i].key == key)
            return &g_registrations[i];
    }
    return NULL;
}

Instance* FindInstance(DWORD id)
{
    for (size_t i = 0; i < g_instances.size(); ++i) {
        if (g_instances[i].id == id)
            return &g_instances[i];
    }
    return NULL;
}

void ShowProgramWindow(const Instance& instance)
{
    const std::wstring& className = instance.setup.className.empty()
                                        ? std::wstring(kDefaultProgramClass)
                                        : instance.setup.className;
    host::detail::AddProgramWindow(instance.id, instance.setup.title, className);
}

DWORD StartInstance(const Registration& registration)
{
    Instance instance;
    instance.id = g_nextInstance++;
    instance.key = registration.key;
    instance.setup = registration.setup;
    instance.windowPending = registration.setup.windowDelayMs != 0;
    instance.windowDue = GetTickCount() + registration.setup.windowDelayMs;
    g_instances.push_back(instance);
    if (!instance.windowPending)
        ShowProgramWindow(instance);
    return instance.id;
}

// The earliest instance whose window is still to appear.
Instance* EarliestPending()
{
    Instance* earliest = NULL;
    for (size_t i = 0; i < g_instances.size(); ++i) {
        Instance& candidate = g_instances[i];
        if (candidate.windowPending &&
            (earliest == NULL || host::detail::TickAfter(earliest->windowDue, candidate.windowDue)))
            earliest = &candidate;
    }
    return earliest;
}

bool ImageExists(LPCWSTR image, DWORD* error)
{
    std::string native;
    host::native::FileInfo info;
    if (!host::detail::ResolveDevicePath(image, &native, error))
        return false;
    if (host::native::Stat(native, &info) != ERROR_SUCCESS) {
        *error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (info.folder) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    return true;
}

void FillProcessInformation(LPPROCESS_INFORMATION info, DWORD instance)
{
    if (info == NULL)
        return;
    info->hProcess = host::detail::NewPlainHandle();
    info->hThread = host::detail::NewPlainHandle();
    info->dwProcessId = 0x1000 + instance * 4;
    info->dwThreadId = 0x1002 + instance * 4;
}

} // namespace

namespace host {

void RegisterProgram(const std::string& imageDevicePath, const ProgramSetup& setup)
{
    std::string key = ProgramKey(imageDevicePath);
    for (size_t i = 0; i < g_registrations.size(); ++i) {
        if (g_registrations[i].key == key) {
            g_registrations[i].setup = setup;
            return;
        }
    }
    Registration registration;
    registration.key = key;
    registration.setup = setup;
    g_registrations.push_back(registration);
}

void StartProgram(const std::string& imageDevicePath)
{
    const Registration* registration = FindRegistration(ProgramKey(imageDevicePath));
    if (registration == NULL) {
        fprintf(stderr, "host backend: StartProgram of an unregistered program %s\n",
                imageDevicePath.c_str());
        return;
    }
    StartInstance(*registration);
}

void EndProgram(const std::string& imageDevicePath)
{
    std::string key = ProgramKey(imageDevicePath);
    for (size_t i = g_instances.size(); i-- > 0;) {
        if (g_instances[i].key == key)
            detail::EndProgramInstance(g_instances[i].id);
    }
}

std::vector<std::string> StartedImages() { return g_startedImages; }

int WindowCount(const std::wstring& title)
{
    detail::FireDueProgramEvents();
    return detail::CountTopLevel(title);
}

namespace detail {

const ProgramSetup* ProgramBehaviour(DWORD owner)
{
    Instance* instance = FindInstance(owner);
    return instance != NULL ? &instance->setup : NULL;
}

void EndProgramInstance(DWORD owner)
{
    RemoveWindowsOf(owner);
    for (size_t i = 0; i < g_instances.size(); ++i) {
        if (g_instances[i].id == owner) {
            g_instances.erase(g_instances.begin() + i);
            return;
        }
    }
}

void FireDueProgramEvents()
{
    DWORD now = GetTickCount();
    for (Instance* next = EarliestPending(); next != NULL && TickReached(now, next->windowDue);
         next = EarliestPending()) {
        next->windowPending = false;
        ShowProgramWindow(*next);
    }
}

bool NextProgramEventDue(DWORD* due)
{
    Instance* next = EarliestPending();
    if (next == NULL)
        return false;
    *due = next->windowDue;
    return true;
}

void RebaseProgramEvents(DWORD delta)
{
    for (size_t i = 0; i < g_instances.size(); ++i)
        g_instances[i].windowDue += delta;
}

void ResetProcesses()
{
    g_registrations.clear();
    g_instances.clear();
    g_startedImages.clear();
    t_lastError = 0;
}

} // namespace detail
} // namespace host

extern "C" {

DWORD WINAPI GetLastError(void) { return t_lastError; }

void WINAPI SetLastError(DWORD error) { t_lastError = error; }

BOOL WINAPI CreateProcessW(LPCWSTR image, LPWSTR, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR,
                           LPSTARTUPINFOW, LPPROCESS_INFORMATION info)
{
    if (image == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD error = 0;
    if (!ImageExists(image, &error)) {
        SetLastError(error);
        return FALSE;
    }
    std::string devicePath = host::detail::Utf16ToUtf8(image);
    g_startedImages.push_back(devicePath);
    const Registration* registration = FindRegistration(ProgramKey(devicePath));
    bool crashes = registration != NULL && registration->setup.exitsAtStart &&
                   registration->setup.exitsAtStart();
    DWORD instance = registration != NULL && !crashes ? StartInstance(*registration) : 0;
    FillProcessInformation(info, instance);
    return TRUE;
}

} // extern "C"
