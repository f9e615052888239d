#include "log/WriteLog.h"

#include <stdarg.h>
#include <string.h>

#include "log/LogBuffer.h"
#include "log/LogText.h"

#define LOG_NAME_SIZE 128
#define LOG_TEXT_SIZE 1024

static LONG s_echo = 0;

void SetLogEcho(LONG echo)
{
    s_echo = echo;
}

LONG GetLogEcho()
{
    return s_echo;
}

static void FormatFileName(char* out, size_t size, const SYSTEMTIME& now)
{
    FormatText(out, size, "%s%s\\hailwatch-%04d%02d%02d%02d.log", "\\ResidentFlash", "\\Log",
               now.wYear, now.wMonth, now.wDay, now.wHour);
}

static void FormatLine(char* out, size_t size, const SYSTEMTIME& now, const char* message)
{
    if (!FormatText(out, size, "%02d:%02d [K] %s", now.wMinute, now.wSecond, message))
        EndCutText(out, size);
}

void WriteLog(const char* format, ...)
{
    char fileName[LOG_NAME_SIZE];
    char message[LOG_TEXT_SIZE];
    char line[LOG_TEXT_SIZE];
    SYSTEMTIME now;
    va_list args;

    memset(fileName, 0, sizeof(fileName));
    memset(message, 0, sizeof(message));
    memset(line, 0, sizeof(line));
    GetLocalTime(&now);

    va_start(args, format);
    /* A message too long for its buffer keeps its line ending. */
    if (!FormatTextV(message, sizeof(message), format, args))
        EndCutText(message, sizeof(message));
    va_end(args);

    FormatFileName(fileName, sizeof(fileName), now);
    FormatLine(line, sizeof(line), now, message);
    CLogBuffer::GetInstance()->Write(line, fileName, s_echo);
}
