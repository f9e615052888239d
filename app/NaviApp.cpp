#include "app/NaviApp.h"

void RunNaviApp(int)
{
}
