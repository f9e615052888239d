// Debugger output on the host: standard error, or a capture for tests.
//
// The log store hands over bytes widened with sign extension, so units such
// as 0xFFB0 arrive that are no text in any code page. Each unit is written as
// the UTF-8 form of the code point it holds (a lone surrogate included), so
// nothing is lost or refused and nothing can fail.
#include <stdio.h>

#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/host_control.h"

namespace {

bool& Capturing() {
    static bool capturing = false;
    return capturing;
}

std::vector<std::wstring>& Captured() {
    static std::vector<std::wstring> captured;
    return captured;
}

// Pairs are joined; any other unit stands for itself.
std::string UnitsAsUtf8(const WCHAR* text) {
    std::string out;
    for (const WCHAR* p = text; *p != 0;) {
        unsigned cp = host::detail::UnitValue(*p);
        size_t taken = 1;
        if (p[1] != 0) taken = host::detail::NextCodePoint(p, 2, &cp);
        if (cp == host::detail::kInvalidCodePoint) cp = host::detail::UnitValue(*p);
        host::detail::AppendUtf8(cp, &out);
        p += taken;
    }
    return out;
}

} // namespace

namespace host {

void CaptureDebugOutput(bool capture) { Capturing() = capture; }

const std::vector<std::wstring>& DebugOutput() { return Captured(); }

namespace detail {

void ResetDebug() {
    Capturing() = false;
    Captured().clear();
}

} // namespace detail
} // namespace host

extern "C" void WINAPI OutputDebugStringW(LPCWSTR text) {
    if (text == NULL) return;
    if (Capturing()) {
        Captured().push_back(std::wstring(text));
        return;
    }
    std::string bytes = UnitsAsUtf8(text);
    fwrite(bytes.data(), 1, bytes.size(), stderr);
    fflush(stderr);
}
