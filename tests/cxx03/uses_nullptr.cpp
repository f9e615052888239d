// Compiled with the core's flags, this must not build: nullptr is C++11.
#include "platform/platform.h"

HWND NoWindow()
{
    return nullptr;
}
