/* The retry rule of the single-file operations. */
#ifndef HAILWATCH_RETRY_H
#define HAILWATCH_RETRY_H

#include "platform/platform.h"

/* One attempt of a file-system call on one or two UTF-16 paths. */
typedef int (*FileCall)(const WCHAR* first, const WCHAR* second);

/* Up to three attempts, stopping at the first success; the thread pauses
 * 1000 ms after every failed attempt, the last included. Answers the last
 * attempt's result. */
int CallWithRetries(FileCall call, const WCHAR* first, const WCHAR* second);

#endif
