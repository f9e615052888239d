#include "app/SupervisorState.h"

SupervisorState g_supervisor;
