/* Window messages and timers of the main window. */
#ifndef HAILWATCH_MESSAGES_H
#define HAILWATCH_MESSAGES_H

/* Received: wParam 1 flushes the log now, 2 reloads its settings. */
#define UM_LOG_CONTROL 3049
#define LOG_CONTROL_FLUSH 1
#define LOG_CONTROL_RELOAD 2
/* Posted to the sibling applications: wParam 1 ignition off, 2 on. */
#define UM_ACC_STATE 3042
/* Posted to the navigation application: wParam 501 asks it to quit. */
#define UM_NAVI_CLOSE 1325

/* The registered ignition message: wParam 1000 marks an ignition change,
 * lParam 1000 is off and any other value on. */
#define POWER_MODE_MESSAGE_NAME L"WM_POWER_MODE_CHANGE"
#define POWER_MODE_ACC_CHANGE 1000
#define POWER_MODE_ACC_OFF 1000

#define TIMER_BUILD_OPTION 102
#define TIMER_CHECK_APP 1001
#define TIMER_ACC_OFF_WAIT 1003
#define TIMER_ACC_ON_WAIT 1004
/* Armed and left running, answered with 0 and nothing more: one a minute from
 * window creation, one every 5 s from the first request to the navigation
 * application to quit. They keep the terminal's timer identifiers taken. */
#define TIMER_MINUTE 1006
#define TIMER_AFTER_NAVI_CLOSE 1005

#endif
