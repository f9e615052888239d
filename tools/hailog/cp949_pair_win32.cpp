// The pairs of code page 949 through the system's own conversion.
#include <windows.h>

#include "cp949.h"

namespace hailog {

bool HaveCp949Converter() { return IsValidCodePage(949) != 0; }

bool ConvertCp949Pair(unsigned char lead, unsigned char trail, std::string& utf8)
{
    const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    WCHAR wide[4];
    const int units = MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, in, 2, wide, 4);
    if (units != 1)
        return false;
    char out[8];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, out, sizeof(out), nullptr, nullptr);
    if (bytes <= 0)
        return false;
    utf8.assign(out, static_cast<size_t>(bytes));
    return true;
}

} // namespace hailog
