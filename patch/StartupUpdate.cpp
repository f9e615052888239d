#include "patch/StartupUpdate.h"

void RunStartupUpdate()
{
}

void KillApps()
{
}

void DeletePatchList(const char*)
{
}
