// The power switch of the host device: once it is cut, every file call fails
// as on a terminal whose power has gone, so a start cut in the middle goes on
// to its end quickly and changes nothing more. The change journal
// (journal.cpp) puts a device back; the switch only stops one.
#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"

namespace {

bool& PowerIsOff() {
    static bool off = false;
    return off;
}

} // namespace

namespace host {

void CutPower() { PowerIsOff() = true; }

void RestorePower() { PowerIsOff() = false; }

bool PowerIsOn() { return !PowerIsOff(); }

namespace detail {

bool HasPower() {
    if (!PowerIsOff()) return true;
    SetLastError(ERROR_NOT_READY);
    return false;
}

void ResetPower() { PowerIsOff() = false; }

} // namespace detail
} // namespace host
