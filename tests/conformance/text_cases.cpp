// Code-page conversion with CP_ACP = 949, as the core converts every path
// and message, and wsprintfW as the core composes wide paths.
#include <string>

#include "tests/conformance/cases.h"

namespace conformance {
namespace {

// "한글" in code page 949 and in UTF-16.
const char kHangul949[] = "\xC7\xD1\xB1\xDB";
const wchar_t kHangulWide[] = {0xD55C, 0xAE00, 0};

std::string Hex(const char* bytes, int n)
{
    std::string out;
    char two[4];
    for (int i = 0; i < n; ++i) {
        snprintf(two, sizeof(two), "%02x", static_cast<unsigned char>(bytes[i]));
        out += two;
    }
    return out;
}

std::string HexUnits(const WCHAR* units, int n)
{
    std::string out;
    char four[8];
    for (int i = 0; i < n; ++i) {
        snprintf(four, sizeof(four), "%04x ", static_cast<unsigned>(units[i]) & 0xffff);
        out += four;
    }
    return out;
}

void ToWideCases()
{
    WCHAR wide[16];
    Poison();
    int n = MultiByteToWideChar(CP_ACP, 0, kHangul949, -1, wide, 16);
    ok(n == 3 && wide[0] == kHangulWide[0] && wide[1] == kHangulWide[1] && wide[2] == 0,
       "949 to UTF-16, -1: got %d, units %s", n, HexUnits(wide, n > 0 ? n : 0).c_str());
    Poison();
    n = MultiByteToWideChar(CP_ACP, 0, kHangul949, -1, NULL, 0);
    ok(n == 3, "size query counts the terminator: got %d, error %lu", n, LastError());
    Poison();
    n = MultiByteToWideChar(CP_ACP, 0, kHangul949, 4, wide, 16);
    ok(n == 2, "explicit length has no terminator: got %d", n);
    Poison();
    n = MultiByteToWideChar(CP_ACP, 0, "A\xC7\xD1.log", -1, wide, 16);
    ok(n == 7 && wide[0] == L'A' && wide[1] == kHangulWide[0] && wide[2] == L'.',
       "mixed text: got %d, units %s", n, HexUnits(wide, n > 0 ? n : 0).c_str());
    Poison();
    n = MultiByteToWideChar(CP_ACP, 0, kHangul949, -1, wide, 2);
    ok(n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "short buffer: got %d, error %lu", n,
       LastError());
    Poison();
    n = MultiByteToWideChar(CP_ACP, 0, "", -1, wide, 16);
    ok(n == 1 && wide[0] == 0, "empty text: got %d", n);
}

void ToNarrowCases()
{
    char narrow[16];
    Poison();
    int n = WideCharToMultiByte(CP_ACP, 0, kHangulWide, -1, narrow, 16, NULL, NULL);
    ok(n == 5 && Hex(narrow, n) == "c7d1b1db00", "UTF-16 to 949, -1: got %d, bytes %s", n,
       Hex(narrow, n > 0 ? n : 0).c_str());
    Poison();
    n = WideCharToMultiByte(CP_ACP, 0, kHangulWide, -1, NULL, 0, NULL, NULL);
    ok(n == 5, "size query counts the terminator: got %d, error %lu", n, LastError());
    Poison();
    n = WideCharToMultiByte(CP_ACP, 0, kHangulWide, 2, narrow, 16, NULL, NULL);
    ok(n == 4, "explicit length has no terminator: got %d", n);
    Poison();
    n = WideCharToMultiByte(CP_ACP, 0, kHangulWide, -1, narrow, 3, NULL, NULL);
    ok(n == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "short buffer: got %d, error %lu", n,
       LastError());

    // Thai KO KAI has no place in 949.
    const wchar_t outside[] = {L'a', 0x0E01, L'b', 0};
    BOOL usedDefault = FALSE;
    Poison();
    n = WideCharToMultiByte(CP_ACP, 0, outside, -1, narrow, 16, NULL, &usedDefault);
    ok(n == 4 && std::string(narrow) == "a?b" && usedDefault,
       "unrepresentable: got %d, bytes %s, used default %d", n, Hex(narrow, n > 0 ? n : 0).c_str(),
       usedDefault);
    Poison();
    n = WideCharToMultiByte(CP_ACP, 0, outside, -1, narrow, 16, NULL, NULL);
    ok(n == 4 && std::string(narrow) == "a?b", "unrepresentable, no flag: got %d, bytes %s", n,
       Hex(narrow, n > 0 ? n : 0).c_str());

    // The won sign U+20A9 has no place in 949 either: Windows' table turns it
    // into the backslash, a table without that fit into the default. Either
    // way the bytes never convert back into it, which is how the package
    // check tells a name the file calls would take for another.
    const wchar_t won[] = {L'a', 0x20A9, L'b', 0};
    WCHAR back[16];
    Poison();
    n = WideCharToMultiByte(CP_ACP, 0, won, -1, narrow, 16, NULL, NULL);
    int units = n > 0 ? MultiByteToWideChar(CP_ACP, 0, narrow, -1, back, 16) : 0;
    ok(n == 4 && (narrow[1] == '\\' || narrow[1] == '?') && units == 4 && back[1] != won[1],
       "won sign there and back: got %d, bytes %s, units %s", n, Hex(narrow, n > 0 ? n : 0).c_str(),
       HexUnits(back, units).c_str());
}

void FormatCases()
{
    WCHAR path[MAX_PATH];
    int n = wsprintfW(path, L"%s\\%s", L"\\ResidentFlash\\Hailnet", L"Hailnet.exe");
    ok(n == 34 && std::wstring(path) == L"\\ResidentFlash\\Hailnet\\Hailnet.exe",
       "wsprintfW of a path: got %d", n);
    n = wsprintfW(path, L"%d-%u", -5, 42u);
    ok(n == 5 && std::wstring(path) == L"-5-42", "wsprintfW of numbers: got %d", n);
}

} // namespace

void TextCases()
{
    ToWideCases();
    ToNarrowCases();
    FormatCases();
}

} // namespace conformance
