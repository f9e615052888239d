#include "log/WriteLog.h"

#include <stdarg.h>
#include <string.h>

#include "log/LogBuffer.h"
#include "log/LogText.h"

#define LOG_NAME_SIZE 128
#define LOG_TEXT_SIZE 1024
/* "MM:SS [K] ", the stamp that starts every line. */
#define LINE_STAMP_LENGTH 10

static LONG s_echo = 0;

/* The current hour's file name, kept from one line to the next: it changes
 * once an hour, and formatting it for every line cost as much as the line.
 * Only the one UI thread logs, so the cache needs no lock. */
static char s_fileName[LOG_NAME_SIZE];
static SYSTEMTIME s_fileNameHour;
static int s_haveFileName = 0;

void SetLogEcho(LONG echo)
{
    s_echo = echo;
}

LONG GetLogEcho()
{
    return s_echo;
}

static int IsSameHour(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wHour == b.wHour && a.wDay == b.wDay && a.wMonth == b.wMonth && a.wYear == b.wYear;
}

static const char* FileNameFor(const SYSTEMTIME& now)
{
    if (!s_haveFileName || !IsSameHour(now, s_fileNameHour)) {
        FormatText(s_fileName, sizeof(s_fileName), "%s%s\\hailwatch-%04d%02d%02d%02d.log",
                   "\\ResidentFlash", "\\Log", now.wYear, now.wMonth, now.wDay, now.wHour);
        s_fileNameHour = now;
        s_haveFileName = 1;
    }
    return s_fileName;
}

static void PutTwoDigits(char* out, WORD value)
{
    out[0] = (char)('0' + value / 10);
    out[1] = (char)('0' + value % 10);
}

/* The line is "%02d:%02d [K] %s" of minute, second and message. A message
 * that fits behind the stamp is copied there; anything else (a message so
 * long the line must be cut, or a clock reading past two digits) takes the
 * general way, which gives the same bytes. */
static void FormatLine(char* out, size_t size, const SYSTEMTIME& now, const char* message)
{
    size_t length = strlen(message);
    if (now.wMinute < 100 && now.wSecond < 100 && LINE_STAMP_LENGTH + length < size) {
        PutTwoDigits(out, now.wMinute);
        out[2] = ':';
        PutTwoDigits(out + 3, now.wSecond);
        memcpy(out + 5, " [K] ", 5);
        memcpy(out + LINE_STAMP_LENGTH, message, length + 1);
        return;
    }
    if (!FormatText(out, size, "%02d:%02d [K] %s", now.wMinute, now.wSecond, message))
        EndCutText(out, size);
}

/* Bounded formatting always terminates its buffer, so nothing is cleared
 * beforehand: only the bytes up to the terminator are ever read. */
void WriteLog(const char* format, ...)
{
    char message[LOG_TEXT_SIZE];
    char line[LOG_TEXT_SIZE];
    SYSTEMTIME now;
    va_list args;

    GetLocalTime(&now);

    va_start(args, format);
    /* A message too long for its buffer keeps its line ending. */
    if (!FormatTextV(message, sizeof(message), format, args))
        EndCutText(message, sizeof(message));
    va_end(args);

    FormatLine(line, sizeof(line), now, message);
    CLogBuffer::GetInstance()->Write(line, FileNameFor(now), s_echo);
}
