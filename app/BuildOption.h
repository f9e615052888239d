/* The one-time report of the version and build option. */
#ifndef HAILWATCH_BUILDOPTION_H
#define HAILWATCH_BUILDOPTION_H

/* Logs the version and sends the build option to the call application. */
void ReqBuildOption();

#endif
