/* The one entry point through which every part of the system logs. */
#ifndef HAILWATCH_WRITELOG_H
#define HAILWATCH_WRITELOG_H

#include "platform/platform.h"

#if defined(__GNUC__)
#define HAILWATCH_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define HAILWATCH_PRINTF(f, a)
#endif

/* Stamps a printf-style message with the local minute and second and hands
 * it to the log store for the current hour's file. */
void WriteLog(const char* format, ...) HAILWATCH_PRINTF(1, 2);

/* Whether WriteLog also echoes every line to the debugger (nonzero: yes).
 * The shell sets it once at start-up, from the RetailMsg marker; it starts
 * as 0. */
void SetLogEcho(LONG echo);
LONG GetLogEcho();

#endif
