// Shared between the host backend's own files; not for the core, not for tests.
#ifndef HAILWATCH_HOST_BACKEND_INTERNAL_H
#define HAILWATCH_HOST_BACKEND_INTERNAL_H

#include <string>

#include "platform/host/win32_api.h"

namespace host {
namespace detail {

// UTF-16 units (one per WCHAR) to UTF-8 and back.
std::string Utf16ToUtf8(const WCHAR* text);
std::wstring Utf8ToUtf16(const std::string& text);

// The native path for a UTF-16 device path; false if it is not a device
// path (relative, drive letter) or cannot be represented.
bool ResolveDevicePath(const WCHAR* devicePath, std::string* nativePath);

// True (and *error set) if an injected failure applies to this call.
bool ConsumeFault(const char* operation, const std::string& nativePath, DWORD* error);

// Per-area resets, called by host::Reset().
void ResetFiles();
void ResetDebug();
void ResetWindows();
void ResetTimers();
void ResetClock();
void ResetProcesses();
void ResetSync();

} // namespace detail
} // namespace host

#endif
