/* Reading the opt-in file of the rollback: empty, or "key=value" lines. */
#include "patch/RollbackSettings.h"

#include <stdio.h>
#include <string.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/PathText.h"

static const char* const kSettingsPath = "\\ResidentFlash\\Hailnet\\update.rollback";
/* A settings file is a few lines; anything longer is not one. */
static const size_t kMaxBytes = 256;
static const DWORD kMaxRestarts = 100;
/* A day of watchdog time: far inside the 49 days the tick count spans. */
static const DWORD kMaxMinutes = 1440;

static void UseDefaults(RollbackSettings* settings)
{
    settings->restarts = ROLLBACK_DEFAULT_RESTARTS;
    settings->minutes = ROLLBACK_DEFAULT_MINUTES;
}

/* Decimal digits only, from 1 to `limit`. */
static int ReadValue(const char* text, size_t length, DWORD limit, DWORD* value)
{
    DWORD read = 0;
    if (length == 0 || length > 4) {
        return 0;
    }
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return 0;
        }
        read = read * 10 + (DWORD)(text[i] - '0');
    }
    if (read < 1 || read > limit) {
        return 0;
    }
    *value = read;
    return 1;
}

static int StartsWith(const char* line, size_t length, const char* key)
{
    size_t keyLength = strlen(key);
    return length >= keyLength && memcmp(line, key, keyLength) == 0;
}

/* One line without its line end: empty, or a known key and its value. */
static int ParseLine(const char* line, size_t length, RollbackSettings* settings)
{
    if (length == 0) {
        return 1;
    }
    if (StartsWith(line, length, "restarts=")) {
        return ReadValue(line + 9, length - 9, kMaxRestarts, &settings->restarts);
    }
    if (StartsWith(line, length, "minutes=")) {
        return ReadValue(line + 8, length - 8, kMaxMinutes, &settings->minutes);
    }
    return 0;
}

int ParseRollbackSettings(const char* text, size_t length, RollbackSettings* settings)
{
    UseDefaults(settings);
    /* An editor's byte-order mark is no part of the first line. */
    if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        length -= 3;
    }
    size_t start = 0;
    while (start < length) {
        const char* end = (const char*)memchr(text + start, '\n', length - start);
        size_t stop = end != NULL ? (size_t)(end - text) : length;
        size_t lineLength = stop - start;
        if (lineLength > 0 && text[stop - 1] == '\r') {
            --lineLength;
        }
        if (!ParseLine(text + start, lineLength, settings)) {
            UseDefaults(settings);
            return 0;
        }
        start = stop + 1;
    }
    return 1;
}

/* The whole file, if it has at most kMaxBytes. */
static int ReadSettingsText(char* text, size_t* length)
{
    FILE* file = fopen(kSettingsPath, "rb");
    if (file == NULL) {
        return 0;
    }
    *length = fread(text, 1, kMaxBytes + 1, file);
    fclose(file);
    return *length <= kMaxBytes;
}

int ReadRollbackSettings(RollbackSettings* settings)
{
    UseDefaults(settings);
    if (ReadAttributes(kSettingsPath) == INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    char text[kMaxBytes + 1];
    size_t length = 0;
    if (!ReadSettingsText(text, &length) || !ParseRollbackSettings(text, length, settings)) {
        WriteLog(LOG_HEAD "%s 설정을 읽을 수 없어 기본값(재시작 %d회, %d분)을 씁니다.\r\n", LOG_ERROR,
                 LOG_READ_ROLLBACK_SETTINGS, LOG_ROLLBACK_SETTINGS_UNREADABLE, kSettingsPath,
                 ROLLBACK_DEFAULT_RESTARTS, ROLLBACK_DEFAULT_MINUTES);
    }
    return 1;
}
