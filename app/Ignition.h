/* Following the ignition (ACC) state. */
#ifndef HAILWATCH_IGNITION_H
#define HAILWATCH_IGNITION_H

#include "platform/platform.h"

/* The registered power message arrived with wParam 1000; lParam 1000 is off. */
void ChangeAccState(HWND window, LPARAM lParam);
/* TIMER_ACC_OFF_WAIT: closes the navigation application after 25 s off. */
void StepAccOffWait(HWND window);
/* TIMER_ACC_ON_WAIT: restarts the navigation application 8 s after on. */
void StepAccOnWait(HWND window);

#endif
