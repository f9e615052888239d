#include "app/Ignition.h"

void ChangeAccState(HWND, LPARAM)
{
}

void StepAccOffWait(HWND)
{
}

void StepAccOnWait(HWND)
{
}
