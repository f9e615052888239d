#include "patch/AppliedSequence.h"

#include <stdio.h>
#include <string.h>

#include "patch/PathText.h"

/* "4294967295\n" and one byte more, to tell a longer file. */
static const size_t kMaxText = 12;

/* Decimal digits, no leading zero, from 1 to 2^32 - 1, then a line feed
 * and nothing after it. */
static int ParseNumber(const char* text, size_t length, DWORD* number)
{
    DWORD value = 0;
    size_t digits = length - 1;
    if (length < 2 || text[digits] != '\n' || text[0] == '0') return 0;
    for (size_t i = 0; i < digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        DWORD digit = (DWORD)(text[i] - '0');
        if (value > (0xFFFFFFFFu - digit) / 10) return 0;
        value = value * 10 + digit;
    }
    *number = value;
    return 1;
}

AppliedSequence ReadAppliedSequence(const char* path, DWORD* number)
{
    *number = 0;
    if (ReadAttributes(path) == INVALID_FILE_ATTRIBUTES) return SEQUENCE_NONE;
    char text[kMaxText];
    FILE* file = fopen(path, "rb");
    if (file == NULL) return SEQUENCE_DAMAGED;
    size_t got = fread(text, 1, sizeof(text), file);
    fclose(file);
    return got < sizeof(text) && ParseNumber(text, got, number) ? SEQUENCE_HELD
                                                                 : SEQUENCE_DAMAGED;
}

int RecordAppliedSequence(const char* path, DWORD number)
{
    char text[kMaxText];
    int length = sprintf(text, "%lu\n", (unsigned long)number);
    FILE* file = fopen(path, "wb");
    if (file == NULL) return 0;
    size_t written = fwrite(text, 1, (size_t)length, file);
    int closed = fclose(file) == 0;
    return written == (size_t)length && closed;
}
