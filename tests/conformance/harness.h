// A small harness in the style of Wine's conformance tests: every check is an
// ok(condition, format, ...) that prints what came back when it fails; a
// check inside todo_wine / todo_host is expected to fail on that backend (a
// known difference), and one that passes there is reported and counted as a
// failure, so marks do not outlive the difference they describe.
#ifndef HAILWATCH_CONFORMANCE_HARNESS_H
#define HAILWATCH_CONFORMANCE_HARNESS_H

namespace conformance {

enum Backend { kHostBackend, kWineBackend, kWindowsBackend };

// Defined by the backend's main file.
Backend CurrentBackend();
const char* BackendName();
// Puts the backend into a known state before each group of cases.
void PrepareGroup();

inline bool OnWine() { return CurrentBackend() == kWineBackend; }
inline bool OnHost() { return CurrentBackend() == kHostBackend; }

#if defined(__GNUC__)
#define CONFORMANCE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define CONFORMANCE_PRINTF(f, a)
#endif

void Check(const char* file, int line, bool condition, const char* format, ...)
    CONFORMANCE_PRINTF(4, 5);
void Skip(const char* file, int line, const char* format, ...) CONFORMANCE_PRINTF(3, 4);

// todo blocks; a block runs its body exactly once.
void BeginTodo(bool marked);
bool TodoBodyPending();
void EndTodo();

struct Totals {
    int passed;
    int failed;
    int marked;
    int skipped;
};
Totals CurrentTotals();
// Prints "conformance[<backend>]: N passed, M failed, K marked, S skipped";
// returns the process exit code (0 when nothing failed).
int PrintSummary();

} // namespace conformance

#define ok(condition, ...) ::conformance::Check(__FILE__, __LINE__, (condition), __VA_ARGS__)
#define skip(...) ::conformance::Skip(__FILE__, __LINE__, __VA_ARGS__)
#define todo_if(is_todo) \
    for (::conformance::BeginTodo(is_todo); ::conformance::TodoBodyPending(); ::conformance::EndTodo())
#define todo_wine todo_if(::conformance::OnWine())
#define todo_host todo_if(::conformance::OnHost())

#endif
