// Messages: registered message names, finding windows, posting and sending
// (to this process or to simulated programs), and the message loop.
#include <deque>
#include <stdio.h>
#include <stdlib.h>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/loop_internal.h"

namespace {

const UINT kFirstRegisteredMessage = 0xC000;

std::vector<std::wstring> g_registeredNames;
std::deque<MSG> g_posted;
bool g_quitPending = false;
int g_quitCodePending = 0;
int g_lastQuitCode = -1;
bool g_hasUserDeadline = false;
DWORD g_userDeadline = 0;
std::vector<host::TraceEntry> g_trace;

bool InRange(UINT message, UINT first, UINT last)
{
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

bool ForWindow(HWND target, HWND filter)
{
    return filter == NULL || target == filter;
}

void FillMessage(MSG* out, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    out->hwnd = window;
    out->message = message;
    out->wParam = wParam;
    out->lParam = lParam;
    out->time = GetTickCount();
    out->pt.x = 0;
    out->pt.y = 0;
}

bool TakePosted(MSG* out, HWND filter, UINT first, UINT last)
{
    for (std::deque<MSG>::iterator it = g_posted.begin(); it != g_posted.end(); ++it) {
        if (ForWindow(it->hwnd, filter) && InRange(it->message, first, last)) {
            *out = *it;
            g_posted.erase(it);
            return true;
        }
    }
    return false;
}

// The earliest moment something can arrive: a timer the filter lets through
// or a program event.
bool NextEventDue(HWND filter, bool timersWanted, DWORD* due)
{
    DWORD timerDue = 0;
    DWORD programDue = 0;
    bool haveTimer = timersWanted && host::detail::NextTimerDue(filter, &timerDue);
    bool haveProgram = host::detail::NextProgramEventDue(&programDue);
    if (!haveTimer && !haveProgram)
        return false;
    if (haveTimer && haveProgram)
        *due = host::detail::TickAfter(timerDue, programDue) ? programDue : timerDue;
    else
        *due = haveTimer ? timerDue : programDue;
    return true;
}

void AbortIdleForever()
{
    fprintf(stderr,
            "host backend: GetMessageW would wait forever: no message posted, "
            "no timer armed, no program event pending and no loop deadline set\n");
    abort();
}

void Record(const host::detail::WindowRecord& window, UINT message, WPARAM wParam,
            LPARAM lParam, bool sent)
{
    host::TraceEntry entry;
    entry.tick = GetTickCount();
    entry.title = window.title;
    entry.className = window.className;
    entry.message = message;
    entry.wParam = wParam;
    entry.lParam = lParam;
    entry.sent = sent;
    entry.copyTag = 0;
    if (sent && message == WM_COPYDATA && lParam != 0) {
        const COPYDATASTRUCT* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        entry.copyTag = data->dwData;
        if (data->lpData != NULL) {
            const unsigned char* bytes = static_cast<const unsigned char*>(data->lpData);
            entry.copyBytes.assign(bytes, bytes + data->cbData);
        }
    }
    g_trace.push_back(entry);
}

// What a simulated program does with a message once it has taken it.
void ApplyBehaviour(DWORD owner, UINT message)
{
    const host::ProgramSetup* setup = host::detail::ProgramBehaviour(owner);
    if (setup == NULL)
        return;
    bool quits = setup->quitOnMessage != 0 && message == setup->quitOnMessage;
    bool destroyed = message == WM_DESTROY && !setup->ignoreDestroy;
    if (quits || destroyed)
        host::detail::EndProgramInstance(owner);
}

// A program answers at once, except WM_COPYDATA after its configured delay.
LRESULT SendToProgram(const host::detail::WindowRecord& window, UINT message,
                      WPARAM wParam, LPARAM lParam, UINT timeout, PDWORD_PTR result)
{
    DWORD owner = window.owner;
    Record(window, message, wParam, lParam, true);
    const host::ProgramSetup* setup = host::detail::ProgramBehaviour(owner);
    DWORD delay = (setup != NULL && message == WM_COPYDATA) ? setup->copyDataDelayMs : 0;
    if (delay > timeout) {
        host::detail::PassTime(timeout);
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    host::detail::PassTime(delay);
    if (result != NULL)
        *result = 1;
    ApplyBehaviour(owner, message);
    return 1;
}

} // namespace

namespace host {
namespace detail {

LoopResult NextMessage(MSG* message, HWND window, UINT first, UINT last,
                       const DWORD* deadline)
{
    for (;;) {
        FireDueProgramEvents();
        if (TakePosted(message, window, first, last))
            return message->message == WM_QUIT ? kGotQuit : kGotMessage;
        if (g_quitPending) {
            g_quitPending = false;
            FillMessage(message, NULL, WM_QUIT, static_cast<WPARAM>(g_quitCodePending), 0);
            return kGotQuit;
        }
        bool timersWanted = InRange(WM_TIMER, first, last);
        if (timersWanted && TakeDueTimer(window, message))
            return kGotMessage;
        DWORD due = 0;
        bool haveEvent = NextEventDue(window, timersWanted, &due);
        if (deadline != NULL && (!haveEvent || TickAfter(due, *deadline))) {
            PassTimeUntil(*deadline);
            FillMessage(message, NULL, WM_QUIT, 0, 0);
            return kReachedDeadline;
        }
        if (!haveEvent)
            AbortIdleForever();
        PassTimeUntil(due);
    }
}

void DropPostedFor(HWND window)
{
    for (std::deque<MSG>::iterator it = g_posted.begin(); it != g_posted.end();) {
        if (it->hwnd == window)
            it = g_posted.erase(it);
        else
            ++it;
    }
}

void SetUserDeadline(DWORD tick)
{
    g_hasUserDeadline = true;
    g_userDeadline = tick;
}

int LastQuitCode() { return g_lastQuitCode; }

const std::vector<TraceEntry>& TraceLog() { return g_trace; }

void ClearTraceLog() { g_trace.clear(); }

void ResetMessages()
{
    g_registeredNames.clear();
    g_posted.clear();
    g_quitPending = false;
    g_quitCodePending = 0;
    g_lastQuitCode = -1;
    g_hasUserDeadline = false;
    g_userDeadline = 0;
    g_trace.clear();
}

} // namespace detail
} // namespace host

using host::detail::LookUpWindow;
using host::detail::WindowRecord;

extern "C" {

UINT WINAPI RegisterWindowMessageW(LPCWSTR name)
{
    if (name == NULL || name[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (size_t i = 0; i < g_registeredNames.size(); ++i) {
        if (host::detail::EqualNoCase(g_registeredNames[i], name))
            return kFirstRegisteredMessage + static_cast<UINT>(i);
    }
    if (g_registeredNames.size() >= 0x4000) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    g_registeredNames.push_back(name);
    return kFirstRegisteredMessage + static_cast<UINT>(g_registeredNames.size() - 1);
}

HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR title)
{
    host::detail::FireDueProgramEvents();
    return host::detail::FindTopLevel(className, title);
}

BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window == NULL) {
        // A thread message: queued for this thread, dispatched to no window.
        MSG posted;
        FillMessage(&posted, NULL, message, wParam, lParam);
        g_posted.push_back(posted);
        return TRUE;
    }
    WindowRecord* record = LookUpWindow(window);
    if (record == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (record->owner == host::detail::kThisProcess) {
        MSG posted;
        FillMessage(&posted, window, message, wParam, lParam);
        g_posted.push_back(posted);
        return TRUE;
    }
    DWORD owner = record->owner;
    Record(*record, message, wParam, lParam, false);
    ApplyBehaviour(owner, message);
    return TRUE;
}

LRESULT WINAPI SendMessageTimeoutW(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam, UINT, UINT timeout,
                                   PDWORD_PTR result)
{
    WindowRecord* record = LookUpWindow(window);
    if (record == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (record->owner != host::detail::kThisProcess)
        return SendToProgram(*record, message, wParam, lParam, timeout, result);
    LRESULT answer = record->proc(window, message, wParam, lParam);
    if (result != NULL)
        *result = static_cast<DWORD_PTR>(answer);
    return 1;
}

LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRecord* record = LookUpWindow(window);
    if (record == NULL) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (record->owner != host::detail::kThisProcess) {
        DWORD_PTR answer = 0;
        SendToProgram(*record, message, wParam, lParam, 0xFFFFFFFFu, &answer);
        return static_cast<LRESULT>(answer);
    }
    return record->proc(window, message, wParam, lParam);
}

BOOL WINAPI GetMessageW(LPMSG message, HWND window, UINT first, UINT last)
{
    if (message == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const DWORD* deadline = g_hasUserDeadline ? &g_userDeadline : NULL;
    return host::detail::NextMessage(message, window, first, last, deadline) ==
                   host::detail::kGotMessage
               ? TRUE
               : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    // No keyboard on the host: there is never a character to make.
    return FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* message)
{
    if (message == NULL)
        return 0;
    if (message->message == WM_TIMER && message->lParam != 0) {
        TIMERPROC proc = reinterpret_cast<TIMERPROC>(message->lParam);
        proc(message->hwnd, WM_TIMER, message->wParam, GetTickCount());
        return 0;
    }
    WindowRecord* record = LookUpWindow(message->hwnd);
    if (record == NULL || record->owner != host::detail::kThisProcess)
        return 0;
    return record->proc(message->hwnd, message->message, message->wParam,
                        message->lParam);
}

void WINAPI PostQuitMessage(int exitCode)
{
    g_quitPending = true;
    g_quitCodePending = exitCode;
    g_lastQuitCode = exitCode;
}

} // extern "C"
