#include "cp949.h"

#include <iconv.h>

#include <cerrno>

namespace hailog {
namespace {

void MaskControls(std::string& text, size_t from)
{
    for (size_t i = from; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F)
            text[i] = '?';
    }
}

} // namespace

bool DecodeCp949(const std::string& cp949, Decoded& out)
{
    out = Decoded();
    iconv_t codec = iconv_open("UTF-8", "CP949");
    if (codec == reinterpret_cast<iconv_t>(-1))
        return false;
    char buffer[4096];
    char* in = const_cast<char*>(cp949.data());
    size_t inLeft = cp949.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t done = iconv(codec, &in, &inLeft, &outPtr, &outLeft);
        const size_t shown = out.utf8.size();
        out.utf8.append(buffer, static_cast<size_t>(outPtr - buffer));
        MaskControls(out.utf8, shown);
        // EILSEQ: a byte that is not 949; EINVAL: a lead byte cut off at the end.
        if (done == static_cast<size_t>(-1) && errno != E2BIG) {
            out.utf8.push_back('?');
            ++out.badBytes;
            ++in;
            --inLeft;
        }
    }
    iconv_close(codec);
    return true;
}

} // namespace hailog
