#include "patch/Retry.h"

static const int kFileCallAttempts = 3;
static const DWORD kRetryPauseMs = 1000;

int CallWithRetries(FileCall call, const WCHAR* first, const WCHAR* second)
{
    int result = 0;
    for (int attempt = 0; attempt < kFileCallAttempts; ++attempt) {
        result = call(first, second);
        if (result != 0) {
            break;
        }
        Sleep(kRetryPauseMs);
    }
    return result;
}
