// A window of this process whose procedure records what it receives, in
// the manner of Wine's message-sequence tests.
#ifndef HAILWATCH_CONFORMANCE_TEST_WINDOW_H
#define HAILWATCH_CONFORMANCE_TEST_WINDOW_H

#include "platform/platform.h"

namespace conformance {

extern const wchar_t kTestClass[];
extern const wchar_t kTestTitle[];
// The procedure answers this message with kPostedAnswer.
const UINT kPostedMessage = WM_USER + 5;
const LRESULT kPostedAnswer = 77;

struct SeenMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tick;
    bool insideCreate; // delivered while CreateWindowExW had not returned
};

// Registers kTestClass once per process (host: once per group, since the
// backend's tables are reset between groups).
bool RegisterTestClass();
// Creates the recording window (disabled, 0 by 0, as the supervisor does).
HWND CreateTestWindow();

void ClearSeen();
int SeenCount();
const SeenMessage& Seen(int index);
// How many of the recorded messages are `message` (and, for WM_TIMER, carry
// `timerId` when it is not 0).
int CountSeen(UINT message, UINT_PTR timerId = 0);

// Dispatches this thread's messages until a WM_TIMER for `stopId` has been
// dispatched (the caller arms it as a deadline) or the quit request comes.
void PumpUntilTimer(HWND window, UINT_PTR stopId);

} // namespace conformance

#endif
