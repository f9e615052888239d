// Shared between the host backend's own files; not for the core, not for tests.
#ifndef HAILWATCH_HOST_BACKEND_INTERNAL_H
#define HAILWATCH_HOST_BACKEND_INTERNAL_H

#include <string>

#include "platform/host/host_control.h"
#include "platform/host/win32_api.h"

namespace host {
namespace detail {

// UTF-16 units (one per WCHAR) to UTF-8 and back.
std::string Utf16ToUtf8(const WCHAR* text);
std::wstring Utf8ToUtf16(const std::string& text);

// The native path for a UTF-16 device path; false if it is not a device
// path (network path, drive letter) or cannot be represented.
bool ResolveDevicePath(const WCHAR* devicePath, std::string* nativePath);
// The same, also telling why it failed (ERROR_PATH_NOT_FOUND for an empty or
// network path, ERROR_INVALID_NAME for a drive letter or a character no file
// name may hold, ERROR_FILE_NOT_FOUND for units that name no character).
bool ResolveDevicePath(const WCHAR* devicePath, std::string* nativePath, DWORD* error);

// A path that starts with two separators (\\server\share).
bool IsNetworkPath(const WCHAR* path);

// True (and *error set) if an injected failure applies to this call.
bool ConsumeFault(const char* operation, const std::string& nativePath, DWORD* error);
// The same, matching the injected path fragment against the device path (in
// UTF-8) as well as the native path.
bool ConsumeFault(const char* operation, const std::string& devicePathUtf8,
                  const std::string& nativePath, DWORD* error);

// ---- text codecs (text.cpp) ----------------------------------------------
// Returned for a sequence or unit that is no character.
const unsigned kInvalidCodePoint = 0xFFFFFFFFu;
// The UTF-16 unit a WCHAR stands for: its low 16 bits when it went through
// sign extension, the code point itself for a host literal beyond the BMP.
unsigned UnitValue(WCHAR unit);
bool IsSurrogate(unsigned codePoint);
// Decodes one character of UTF-8 at s (n > 0 bytes left); returns the bytes
// it took and sets *codePoint, kInvalidCodePoint for a malformed sequence.
size_t DecodeUtf8(const unsigned char* s, size_t n, unsigned* codePoint);
// Takes one character (a unit or a surrogate pair) of n > 0 units;
// kInvalidCodePoint for an unpaired surrogate.
size_t NextCodePoint(const WCHAR* units, size_t n, unsigned* codePoint);
void AppendUtf8(unsigned codePoint, std::string* out);
void AppendUtf16(unsigned codePoint, std::wstring* out);
// Whole-buffer conversions; false if anything had to be replaced.
bool Utf8ToUnits(const char* text, size_t length, std::wstring* out);
bool UnitsToUtf8(const WCHAR* units, size_t length, std::string* out);
bool Cp949ToUnits(const char* text, size_t length, std::wstring* out);
// defaultChar NULL or empty: "?".
bool UnitsToCp949(const WCHAR* units, size_t length, const char* defaultChar,
                  std::string* out);

// What stands at a native path (journal.cpp); the bytes hashed for a file
// unless `hashBytes` is false.
PathState StateAt(const std::string& nativePath, bool hashBytes = true);

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
