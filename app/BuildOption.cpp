#include "app/BuildOption.h"

void ReqBuildOption()
{
}
