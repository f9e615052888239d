/* The watchdog that keeps the call, modem, meter and DTG applications running. */
#ifndef HAILWATCH_CHECKAPP_H
#define HAILWATCH_CHECKAPP_H

/* Starts every watched application whose window is gone. */
void CheckApp();

#endif
