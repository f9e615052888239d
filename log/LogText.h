/* Bounded formatting and the byte-level text rules of the log. */
#ifndef HAILWATCH_LOGTEXT_H
#define HAILWATCH_LOGTEXT_H

#include <stdarg.h>
#include <stddef.h>

#include "platform/platform.h"

/* Formats into out (size bytes, terminator included) and always terminates.
 * Returns 1 if the whole text fitted, 0 if it was cut. */
int FormatTextV(char* out, size_t size, const char* format, va_list args);
int FormatText(char* out, size_t size, const char* format, ...);

/* A text that was cut to fill out (size bytes) is ended with "\r\n" instead,
 * so that one message stays one line; a double-byte character that the cut
 * would split is dropped whole. */
void EndCutText(char* out, size_t size);

/* Copies text into out (size units, terminator included), each byte widened
 * by sign extension into one 16-bit unit, without code-page conversion. */
void WidenBytes(const char* text, WCHAR* out, size_t size);

#endif
