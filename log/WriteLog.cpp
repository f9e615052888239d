#include "log/WriteLog.h"

#include <stdarg.h>
#include <string.h>

#include "log/LogBuffer.h"
#include "log/LogCatalogue.h"
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
        FormatText(s_fileName, sizeof(s_fileName), LOG_FILE_NAME, "\\ResidentFlash", "\\Log",
                   now.wYear, now.wMonth, now.wDay, now.wHour);
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

/* "%02d:%02d [K] " of the minute and second, for readings below 100. */
static void PutStamp(char* out, const SYSTEMTIME& now)
{
    PutTwoDigits(out, now.wMinute);
    out[2] = ':';
    PutTwoDigits(out + 3, now.wSecond);
    memcpy(out + 5, LOG_STAMP_MARK, 5);
}

/* The general way to the line "%02d:%02d [K] %s", for a message too long to
 * leave the line whole: the line is cut and still ends in CR LF. */
static void WriteCutLine(const SYSTEMTIME& now, const char* message, const char* fileName)
{
    char line[LOG_TEXT_SIZE];
    if (!FormatText(line, sizeof(line), LOG_LINE, now.wMinute, now.wSecond, message))
        EndCutText(line, sizeof(line));
    CLogBuffer::GetInstance()->Write(line, fileName, s_echo);
}

/* The message is formatted straight behind the room for the stamp, so the
 * common line is made without a copy. Bounded formatting always terminates
 * its buffer, so nothing is cleared beforehand. */
void WriteLog(const char* format, ...)
{
    char line[LINE_STAMP_LENGTH + LOG_TEXT_SIZE];
    char* message = line + LINE_STAMP_LENGTH;
    SYSTEMTIME now;
    va_list args;
    size_t length;

    GetLocalTime(&now);

    va_start(args, format);
    /* A message too long for its buffer keeps its line ending. */
    if (!FormatTextV(message, LOG_TEXT_SIZE, format, args))
        EndCutText(message, LOG_TEXT_SIZE);
    va_end(args);

    length = strlen(message);
    if (now.wMinute < 100 && now.wSecond < 100 && LINE_STAMP_LENGTH + length < LOG_TEXT_SIZE) {
        PutStamp(line, now);
        CLogBuffer::GetInstance()->Write(line, FileNameFor(now), s_echo);
    } else {
        WriteCutLine(now, message, FileNameFor(now));
    }
}
