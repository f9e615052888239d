#include "log/LogText.h"

#include <stdio.h>

#ifdef _WIN32_WCE
#define vsnprintf _vsnprintf
#endif

/* Lead bytes of code page 949, the code page of every text we log. */
static int IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

int FormatTextV(char* out, size_t size, const char* format, va_list args)
{
    int written;
    if (size == 0)
        return 0;
    written = vsnprintf(out, size, format, args);
    /* Older runtimes answer -1 and leave the buffer unterminated when cut. */
    out[size - 1] = '\0';
    return written >= 0 && (size_t)written < size;
}

int FormatText(char* out, size_t size, const char* format, ...)
{
    va_list args;
    int fitted;
    va_start(args, format);
    fitted = FormatTextV(out, size, format, args);
    va_end(args);
    return fitted;
}

void EndCutText(char* out, size_t size)
{
    size_t keep = 0;
    size_t limit;
    if (size < 3)
        return;
    limit = size - 3;
    /* Walk whole characters from the start: only there is it known whether
     * a byte is a lead byte or the trail of one. */
    while (keep < limit && out[keep] != '\0') {
        size_t step = IsLeadByte((unsigned char)out[keep]) && out[keep + 1] != '\0' ? 2 : 1;
        if (keep + step > limit)
            break;
        keep += step;
    }
    out[keep] = '\r';
    out[keep + 1] = '\n';
    out[keep + 2] = '\0';
}

void WidenBytes(const char* text, WCHAR* out, size_t size)
{
    size_t i = 0;
    if (size == 0)
        return;
    for (; i + 1 < size && text[i] != '\0'; ++i)
        out[i] = (WCHAR)(WORD)(signed char)text[i];
    out[i] = 0;
}
