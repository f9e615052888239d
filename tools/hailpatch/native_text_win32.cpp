// Code page 949 and file names on Windows: names are UTF-16, and the
// system's own conversions (code page 949, no best fit) decide what 949 can
// hold, as on the terminal.
#include "native_text.h"

#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstring>

namespace hailpatch {

namespace {

const UINT kKorean = 949;

std::string WideToUtf8(const std::wstring& wide)
{
    if (wide.empty()) {
        return std::string();
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                            &out[0], size, nullptr, nullptr);
    }
    return out;
}

// The length of the 949 character starting at `bytes[at]` and its UTF-16
// form; 0 when the bytes there form none.
size_t DecodeOne(const std::string& bytes, size_t at, std::wstring* unit)
{
    size_t length = IsDBCSLeadByteEx(kKorean, static_cast<BYTE>(bytes[at])) ? 2 : 1;
    if (at + length > bytes.size()) {
        return 0;
    }
    WCHAR wide[4];
    int count = MultiByteToWideChar(kKorean, MB_ERR_INVALID_CHARS, bytes.data() + at,
                                    static_cast<int>(length), wide, 4);
    if (count <= 0) {
        return 0;
    }
    unit->assign(wide, static_cast<size_t>(count));
    return length;
}

bool WideTo949(const std::wstring& wide, std::string* out)
{
    if (wide.empty()) {
        out->clear();
        return true;
    }
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(kKorean, WC_NO_BEST_FIT_CHARS, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) {
        return false;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kKorean, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &bytes[0], size, nullptr, &usedDefault);
    // What does not come back unchanged is not held, whatever the flag says.
    std::wstring back(wide.size() + 1, L'\0');
    int units = MultiByteToWideChar(kKorean, 0, bytes.data(), size, &back[0],
                                    static_cast<int>(back.size()));
    if (usedDefault || units != static_cast<int>(wide.size()) ||
        back.compare(0, wide.size(), wide) != 0) {
        return false;
    }
    *out = bytes;
    return true;
}

} // namespace

size_t FindInvalid949(const std::string& bytes)
{
    std::wstring unit;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = DecodeOne(bytes, at, &unit);
        if (length == 0) {
            return at;
        }
        at += length;
    }
    return std::string::npos;
}

std::string Cp949ToUtf8(const std::string& bytes)
{
    std::wstring wide;
    std::string shown;
    std::wstring unit;
    for (size_t at = 0; at < bytes.size();) {
        size_t length = DecodeOne(bytes, at, &unit);
        if (length == 0) {
            shown += WideToUtf8(wide);
            wide.clear();
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned char>(bytes[at]));
            shown += escaped;
            ++at;
            continue;
        }
        wide += unit;
        at += length;
    }
    return shown + WideToUtf8(wide);
}

bool Utf8To949(const std::string& utf8, std::string* out)
{
    if (utf8.empty()) {
        out->clear();
        return true;
    }
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
    if (units <= 0) {
        return false;
    }
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                        static_cast<int>(utf8.size()), &wide[0], units);
    return WideTo949(wide, out);
}

bool NameTo949(const fs::path& name, std::string* out)
{
    return WideTo949(name.wstring(), out);
}

bool IsPcName(const fs::path&)
{
    return true;
}

std::string DisplayName(const fs::path& path)
{
    return WideToUtf8(path.wstring());
}

fs::path PathOfArgument(const std::string& argument)
{
    return fs::u8path(argument);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(WideToUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void PrepareConsole()
{
    SetConsoleOutputCP(CP_UTF8);
}

FILE* OpenListAsText(const fs::path& list, std::string* error)
{
    // The runtime's text mode is the terminal's: CR LF to LF, 0x1A ends it.
    FILE* file = _wfopen(list.wstring().c_str(), L"r");
    if (file == nullptr) {
        *error = std::strerror(errno);
    }
    return file;
}

} // namespace hailpatch
