// The pairs of code page 949 through iconv.
#include <iconv.h>

#include "cp949.h"

namespace hailog {
namespace {

iconv_t Codec()
{
    static const iconv_t codec = iconv_open("UTF-8", "CP949");
    return codec;
}

bool Usable(iconv_t codec) { return codec != reinterpret_cast<iconv_t>(-1); }

} // namespace

bool HaveCp949Converter() { return Usable(Codec()); }

bool ConvertCp949Pair(unsigned char lead, unsigned char trail, std::string& utf8)
{
    const iconv_t codec = Codec();
    if (!Usable(codec))
        return false;
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8];
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = sizeof(in), outLeft = sizeof(out);
    iconv(codec, nullptr, nullptr, nullptr, nullptr);
    if (iconv(codec, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    utf8.assign(out, static_cast<size_t>(outPtr - out));
    return true;
}

} // namespace hailog
