// The Win32 build, run under Wine: the other process is this exe started
// again (image path alone, as the core starts programs) with its role in the
// environment variable HAILCONF_PEER. A peer records the messages its window
// takes in a file the cases read.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tests/conformance/backend.h"
#include "tests/conformance/cases.h"

namespace conformance {

namespace {

const wchar_t kPeerFolder[] = L"\\ResidentFlash\\ConformancePeer";
const char kPeerLog[] = "\\ResidentFlash\\ConformancePeer\\messages.txt";
const wchar_t kPeerLogWide[] = L"\\ResidentFlash\\ConformancePeer\\messages.txt";
const wchar_t kRoleVariable[] = L"HAILCONF_PEER";

Backend g_backend = kWineBackend;
PROCESS_INFORMATION g_peer = {NULL, NULL, 0, 0};

// ---- the peer process ----------------------------------------------------

std::wstring g_role;

void LogPeerLine(const char* line)
{
    FILE* log = fopen(kPeerLog, "ab");
    if (log == NULL)
        return;
    fputs(line, log);
    fclose(log);
}

void LogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    char line[96];
    snprintf(line, sizeof(line), "msg %u %lu %ld\n", message, static_cast<unsigned long>(wParam),
             static_cast<long>(lParam));
    LogPeerLine(line);
}

void LogCopyData(const COPYDATASTRUCT* data)
{
    std::string line = "copy " + std::to_string(static_cast<unsigned long>(data->dwData)) + " ";
    const unsigned char* bytes = static_cast<const unsigned char*>(data->lpData);
    char two[4];
    for (DWORD i = 0; bytes != NULL && i < data->cbData; ++i) {
        snprintf(two, sizeof(two), "%02x", bytes[i]);
        line += two;
    }
    LogPeerLine((line + "\n").c_str());
}

LRESULT CALLBACK PeerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COPYDATA:
        if (g_role == L"slow-copydata")
            Sleep(kPeerCopyDataDelayMs);
        LogCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return TRUE;
    case kAskPowerMessage:
        return RegisterWindowMessageW(L"WM_POWER_MODE_CHANGE");
    case WM_DESTROY:
        LogMessage(message, wParam, lParam);
        if (g_role != L"ignore-destroy")
            PostQuitMessage(0);
        return 0;
    default:
        if (message >= WM_USER) {
            LogMessage(message, wParam, lParam);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunPeer(const wchar_t* role)
{
    g_role = role;
    if (g_role == L"exit")
        return 0;
    HANDLE mutex = NULL;
    if (g_role == L"mutex")
        mutex = CreateMutexW(NULL, FALSE, kPeerMutex);
    WNDCLASSW windowClass = {0, PeerProc, 0, 0, GetModuleHandleW(NULL), NULL, NULL, NULL, NULL,
                             kPeerClass};
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kPeerClass, kPeerTitle, WS_DISABLED, 0, 0, 0, 0, NULL, NULL,
                                  GetModuleHandleW(NULL), NULL);
    if (window == NULL)
        return 3;
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (mutex != NULL)
        CloseHandle(mutex);
    return 0;
}

// ---- the side of the cases -----------------------------------------------

const wchar_t* RoleName(PeerRole role)
{
    switch (role) {
    case kPeerWindow: return L"window";
    case kPeerIgnoresDestroy: return L"ignore-destroy";
    case kPeerSlowCopyData: return L"slow-copydata";
    case kPeerHoldsMutex: return L"mutex";
    }
    return L"window";
}

bool CopyThisImage(const std::wstring& devicePath)
{
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, self, MAX_PATH);
    return n > 0 && n < MAX_PATH && CopyFileW(self, devicePath.c_str(), FALSE);
}

std::string PeerLog()
{
    FILE* log = fopen(kPeerLog, "rb");
    if (log == NULL)
        return std::string();
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), log)) > 0)
        text.append(buffer, n);
    fclose(log);
    return text;
}

bool WaitPeerLogLine(const std::string& line, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (PeerLog().find(line) != std::string::npos)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(50);
    }
}

void DrainMessages()
{
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT)
            DispatchMessageW(&message);
    }
}

} // namespace

Backend CurrentBackend() { return g_backend; }
const char* BackendName() { return g_backend == kWineBackend ? "wine" : "windows"; }
void PrepareGroup() { DrainMessages(); }
HINSTANCE ThisInstance() { return GetModuleHandleW(NULL); }

bool StartPeer(PeerRole role)
{
    StopPeer();
    CreateDirectoryW(L"\\ResidentFlash", NULL);
    CreateDirectoryW(kPeerFolder, NULL);
    if (GetFileAttributesW(kPeerImage) == INVALID_FILE_ATTRIBUTES && !CopyThisImage(kPeerImage))
        return false;
    DeleteFileW(kPeerLogWide);
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    SetEnvironmentVariableW(kRoleVariable, RoleName(role));
    BOOL started = CreateProcessW(kPeerImage, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                  &g_peer);
    SetEnvironmentVariableW(kRoleVariable, NULL);
    if (!started)
        return false;
    for (int i = 0; i < 200; ++i) {
        if (FindWindowW(kPeerClass, kPeerTitle) != NULL)
            return true;
        Sleep(50);
    }
    return false;
}

void StopPeer()
{
    if (g_peer.hProcess == NULL)
        return;
    TerminateProcess(g_peer.hProcess, 0);
    WaitForSingleObject(g_peer.hProcess, 5000);
    CloseHandle(g_peer.hProcess);
    CloseHandle(g_peer.hThread);
    ZeroMemory(&g_peer, sizeof(g_peer));
    WaitPeerGone(5000);
}

bool PeerReceived(UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs)
{
    char line[96];
    snprintf(line, sizeof(line), "msg %u %lu %ld\n", message, static_cast<unsigned long>(wParam),
             static_cast<long>(lParam));
    return WaitPeerLogLine(line, timeoutMs);
}

bool PeerReceivedCopyData(ULONG_PTR tag, const std::string& bytes, DWORD timeoutMs)
{
    std::string line = "copy " + std::to_string(static_cast<unsigned long>(tag)) + " ";
    char two[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(two, sizeof(two), "%02x", static_cast<unsigned char>(bytes[i]));
        line += two;
    }
    return WaitPeerLogLine(line + "\n", timeoutMs);
}

bool PeerAnswers() { return true; }

bool ReadWindowShape(HWND window, WindowShape* shape)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    shape->style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    shape->exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    shape->left = rect.left;
    shape->top = rect.top;
    shape->right = rect.right;
    shape->bottom = rect.bottom;
    return true;
}

bool PrepareQuietImage(const std::wstring& devicePath)
{
    // A started copy of this exe sees the role and ends at once.
    SetEnvironmentVariableW(kRoleVariable, L"exit");
    return CopyThisImage(devicePath);
}

bool RunningAsUnixRoot()
{
    const char* root = getenv("HAILCONF_UNIX_ROOT");
    return root != NULL && strcmp(root, "1") == 0;
}

} // namespace conformance

namespace {

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* role = _wgetenv(L"HAILCONF_PEER");
    if (role != NULL && role[0] != L'\0')
        return conformance::RunPeer(role);
    conformance::g_backend = UnderWine() ? conformance::kWineBackend : conformance::kWindowsBackend;
    char filter[128] = "";
    if (argc > 1)
        WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, filter, sizeof(filter), NULL, NULL);
    filter[sizeof(filter) - 1] = '\0';
    conformance::RunCaseGroups(filter);
    conformance::StopPeer();
    return conformance::PrintSummary();
}
