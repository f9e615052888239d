/* The one entry point through which every part of the system logs. */
#ifndef HAILWATCH_WRITELOG_H
#define HAILWATCH_WRITELOG_H

#if defined(__GNUC__)
#define HAILWATCH_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define HAILWATCH_PRINTF(f, a)
#endif

/* Stamps a printf-style message with the local minute and second and hands
 * it to the log store for the current hour's file. */
void WriteLog(const char* format, ...) HAILWATCH_PRINTF(1, 2);

#endif
