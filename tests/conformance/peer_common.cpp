// What every backend shares about the other process: its names, and waiting
// for its window to go (only the calls under test are used).
#include "tests/conformance/backend.h"

namespace conformance {

const wchar_t kPeerClass[] = L"HailConfPeer";
const wchar_t kPeerTitle[] = L"HailConf Peer";
const wchar_t kPeerMutex[] = L"HailConfPeerMutex";
const wchar_t kPeerImage[] = L"\\ResidentFlash\\ConformancePeer\\peer.exe";

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
