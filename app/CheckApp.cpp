#include "app/CheckApp.h"

void CheckApp()
{
}
