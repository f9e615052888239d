// Compiled with the core's pedantic flags, this must not build: long long
// arrived with C++11 (the device's compiler has __int64 instead).
#include "platform/platform.h"

long long TickSum(DWORD first, DWORD second)
{
    return (long long)first + second;
}
