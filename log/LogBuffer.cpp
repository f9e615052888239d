#include "log/LogBuffer.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "log/LogText.h"

static const WCHAR kLogMarker[] = L"\\ResidentFlash\\Hailnet\\LogMsg";
static const WCHAR kRealTimeMarker[] = L"\\ResidentFlash\\Hailnet\\LogMsgRT";

static CLogBuffer* s_instance = NULL;

static int MarkerExists(const WCHAR* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

/* Copies at most size - 1 bytes and terminates. */
static void CopyBounded(char* out, size_t size, const char* text)
{
    strncpy(out, text, size - 1);
    out[size - 1] = '\0';
}

static void EchoToDebugger(const char* line)
{
    WCHAR wide[LOG_ECHO_SIZE];
    if (memchr(line, '\0', LOG_ECHO_SIZE) == NULL)
        return;
    WidenBytes(line, wide, LOG_ECHO_SIZE);
    OutputDebugStringW(wide);
}

CLogBuffer::CLogBuffer()
    : m_buffer(new char[LOG_BUFFER_SIZE]), m_length(0), m_enabled(0), m_realTime(0)
{
    InitializeCriticalSection(&m_lock);
    memset(m_buffer, 0, LOG_BUFFER_SIZE);
    memset(m_fileName, 0, sizeof(m_fileName));
}

CLogBuffer* CLogBuffer::GetInstance()
{
    if (s_instance == NULL) {
        s_instance = new CLogBuffer();
        s_instance->LoadSettings();
        atexit(DeleteLockAtExit);
    }
    return s_instance;
}

/* Only the lock is released at exit: the process is ending, and whatever is
 * still buffered is the shell's to flush on its way out. */
void CLogBuffer::DeleteLockAtExit()
{
    if (s_instance != NULL)
        DeleteCriticalSection(&s_instance->m_lock);
}

void CLogBuffer::Write(const char* line, const char* fileName, LONG echo)
{
    EnterCriticalSection(&m_lock);
    if (m_enabled == 1)
        StoreLine(line, fileName);
    if (echo != 0)
        EchoToDebugger(line);
    LeaveCriticalSection(&m_lock);
}

void CLogBuffer::StoreLine(const char* line, const char* fileName)
{
    size_t length = strlen(line);
    if (m_fileName[0] == '\0')
        CopyBounded(m_fileName, sizeof(m_fileName), fileName);
    if (strncmp(m_fileName, fileName, sizeof(m_fileName) - 1) != 0) {
        /* A new hour: what was buffered belongs to the old hour's file. */
        Flush();
        CopyBounded(m_fileName, sizeof(m_fileName), fileName);
    } else if (m_length + length > LOG_BUFFER_SIZE - 1) {
        Flush();
    }
    Append(line, length);
    if (m_realTime == 1)
        Flush();
}

void CLogBuffer::Append(const char* line, size_t length)
{
    size_t room = LOG_BUFFER_SIZE - 1 - m_length;
    /* Only a single line larger than the whole buffer is cut here. */
    if (length > room)
        length = room;
    memcpy(m_buffer + m_length, line, length);
    m_length += (DWORD)length;
    m_buffer[m_length] = '\0';
}

void CLogBuffer::Flush()
{
    FILE* file;
    if (m_length == 0)
        return;
    file = fopen(m_fileName, "ab");
    if (file != NULL) {
        fwrite(m_buffer, 1, m_length, file);
        fclose(file);
    }
    /* The bytes past m_length are already zero, so this empties it whole. */
    memset(m_buffer, 0, m_length);
    m_length = 0;
}

void CLogBuffer::FlushNow()
{
    EnterCriticalSection(&m_lock);
    if (m_enabled == 1)
        Flush();
    LeaveCriticalSection(&m_lock);
}

void CLogBuffer::LoadSettings()
{
    if (!MarkerExists(kLogMarker)) {
        SetEnabled(0);
        SetRealTime(0);
        return;
    }
    SetRealTime(MarkerExists(kRealTimeMarker) ? 1 : 0);
    SetEnabled(1);
}

void CLogBuffer::SetEnabled(LONG enabled)
{
    EnterCriticalSection(&m_lock);
    m_enabled = enabled;
    LeaveCriticalSection(&m_lock);
}

void CLogBuffer::SetRealTime(LONG realTime)
{
    EnterCriticalSection(&m_lock);
    m_realTime = realTime;
    LeaveCriticalSection(&m_lock);
}
