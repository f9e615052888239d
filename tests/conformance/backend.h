// What differs between the two backends outside the calls under test: the
// other process a case needs (on Win32 this exe started again in a role; on
// the host a simulated program), and a few facts about the run.
#ifndef HAILWATCH_CONFORMANCE_BACKEND_H
#define HAILWATCH_CONFORMANCE_BACKEND_H

#include <string>

#include "platform/platform.h"

namespace conformance {

enum PeerRole {
    kPeerWindow,         // a window; WM_DESTROY makes the process quit
    kPeerIgnoresDestroy, // a window that records WM_DESTROY and stays
    kPeerSlowCopyData,   // a window that answers WM_COPYDATA after 1.5 s
    kPeerHoldsMutex      // holds kPeerMutex and has a window
};

extern const wchar_t kPeerClass[];
extern const wchar_t kPeerTitle[];
extern const wchar_t kPeerMutex[];
extern const wchar_t kPeerImage[]; // where the peer's image lies on the device
const DWORD kPeerCopyDataDelayMs = 1500;
// WM_USER + this, sent to a peer, answers its identifier for
// "WM_POWER_MODE_CHANGE".
const UINT kAskPowerMessage = WM_USER + 77;

HINSTANCE ThisInstance();

// Starts the peer and waits for its window; false if it did not appear.
bool StartPeer(PeerRole role);
// Ends the peer if it still runs.
void StopPeer();
// Waits (up to timeoutMs) for the peer's window to be gone.
bool WaitPeerGone(DWORD timeoutMs);
// Whether the peer's window received the message (posted or sent), waiting
// up to timeoutMs.
bool PeerReceived(UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs);
// Whether the peer received WM_COPYDATA with this tag and exactly these bytes.
bool PeerReceivedCopyData(ULONG_PTR tag, const std::string& bytes, DWORD timeoutMs);
// Whether another process of this backend can answer a question (the host's
// simulated programs only record messages).
bool PeerAnswers();

// A window's styles and its rectangle in screen coordinates, as desktop
// Windows may have changed them from what the window was created with.
struct WindowShape {
    DWORD style;
    DWORD exStyle;
    long left, top, right, bottom;
};
// False where the backend keeps neither (the host backend stores no styles
// or sizes).
bool ReadWindowShape(HWND window, WindowShape* shape);

// An image CreateProcessW may start with the image path alone, which ends at
// once; written to `devicePath`.
bool PrepareQuietImage(const std::wstring& devicePath);

// Windows CE (and Windows for an ordinary user) refuses to overwrite a
// read-only file; Wine running as the Unix superuser does not.
bool RunningAsUnixRoot();

} // namespace conformance

#endif
