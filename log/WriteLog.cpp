#include "log/WriteLog.h"
