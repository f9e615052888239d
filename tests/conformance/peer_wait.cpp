// Waiting for the other process's window to go works the same on every
// backend: only the calls under test are used.
#include "tests/conformance/backend.h"

namespace conformance {

bool WaitPeerGone(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (FindWindowW(kPeerClass, kPeerTitle) != NULL) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

} // namespace conformance
