#include "tests/conformance/harness.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace conformance {
namespace {

Totals g_totals = {0, 0, 0, 0};
bool g_inTodo = false;
bool g_todoMarked = false;
bool g_todoBodyRan = false;

const char* BaseName(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            base = p + 1;
    }
    return base;
}

void PrintLine(const char* file, int line, const char* label, const char* format, va_list args)
{
    char text[1024];
    vsnprintf(text, sizeof(text), format, args);
    text[sizeof(text) - 1] = '\0';
    printf("%s:%d: %s%s\n", BaseName(file), line, label, text);
    fflush(stdout);
}

} // namespace

void Check(const char* file, int line, bool condition, const char* format, ...)
{
    bool marked = g_inTodo && g_todoMarked;
    const char* label = NULL;
    if (marked && condition) {
        ++g_totals.failed;
        label = "Test succeeded inside todo block: ";
    } else if (marked) {
        ++g_totals.marked;
        label = "Test marked todo: ";
    } else if (condition) {
        ++g_totals.passed;
    } else {
        ++g_totals.failed;
        label = "Test failed: ";
    }
    if (label == NULL)
        return;
    va_list args;
    va_start(args, format);
    PrintLine(file, line, label, format, args);
    va_end(args);
}

void Skip(const char* file, int line, const char* format, ...)
{
    ++g_totals.skipped;
    va_list args;
    va_start(args, format);
    PrintLine(file, line, "Tests skipped: ", format, args);
    va_end(args);
}

void BeginTodo(bool marked)
{
    g_inTodo = true;
    g_todoMarked = marked;
    g_todoBodyRan = false;
}

bool TodoBodyPending()
{
    if (g_todoBodyRan)
        return false;
    g_todoBodyRan = true;
    return true;
}

void EndTodo()
{
    g_inTodo = false;
    g_todoMarked = false;
}

Totals CurrentTotals() { return g_totals; }

int PrintSummary()
{
    printf("conformance[%s]: %d passed, %d failed, %d marked, %d skipped\n", BackendName(),
           g_totals.passed, g_totals.failed, g_totals.marked, g_totals.skipped);
    fflush(stdout);
    return g_totals.failed == 0 ? 0 : 1;
}

} // namespace conformance
