/* Control of the navigation application. */
#ifndef HAILWATCH_NAVIAPP_H
#define HAILWATCH_NAVIAPP_H

/* Mode 1 asks the navigation application to quit; any other mode starts it
 * again if we had closed it. */
void RunNaviApp(int mode);

#endif
