/* The single log store: an in-memory buffer for the current hour's file,
 * switched by the marker files under \ResidentFlash\Hailnet. */
#ifndef HAILWATCH_LOGBUFFER_H
#define HAILWATCH_LOGBUFFER_H

#include "platform/platform.h"

/* 512 KiB of text; the last byte always stays a terminator. */
#define LOG_BUFFER_SIZE 0x80000
#define LOG_FILE_NAME_SIZE 1024
/* Longest line the debugger echo takes, terminator included. */
#define LOG_ECHO_SIZE 1024

class CLogBuffer {
public:
    /* The one store of the process, created (and its settings read) on the
     * first call; it lives until the process ends. */
    static CLogBuffer* GetInstance();

    /* Stores one finished line for fileName; echo nonzero also sends it to
     * the debugger. */
    void Write(const char* line, const char* fileName, LONG echo);
    /* Appends the buffer to the current file and empties it; the caller
     * holds the lock. */
    void Flush();
    /* Takes the lock and flushes if logging is enabled. */
    void FlushNow();
    /* Re-reads the LogMsg and LogMsgRT markers. */
    void LoadSettings();

private:
    CLogBuffer();
    CLogBuffer(const CLogBuffer&);
    CLogBuffer& operator=(const CLogBuffer&);

    static void DeleteLockAtExit();

    void StoreLine(const char* line, const char* fileName);
    /* Appends length bytes of line (its strlen), cut to the room left. */
    void Append(const char* line, size_t length);
    void SetEnabled(LONG enabled);
    void SetRealTime(LONG realTime);

    char* m_buffer;      /* LOG_BUFFER_SIZE bytes, zero past m_length */
    DWORD m_length;      /* bytes in use, so appends never scan the buffer */
    char m_fileName[LOG_FILE_NAME_SIZE];
    LONG m_enabled;
    LONG m_realTime;
    CRITICAL_SECTION m_lock;
};

#endif
