// One golden case of the update engine: a folder holding the starting device
// tree and what the run must leave behind.
//
//   before/              the starting tree (ResidentFlash/..., SDMMC/...)
//   dirs.txt             device folders to create (git keeps no empty folder)
//   attributes.txt       "devicepath 0xNN" lines, applied after the copy
//   faults.txt           "Operation count error [pathsubstring]" lines
//   windows.txt          "closes Title", "stays Title": running programs;
//                        "image \Path.exe Title": one that RUN can start;
//                        "[ Title ]" for a title with spaces at its ends;
//                        "supervisor": the supervisor's own window
//   run.txt              calls to make, one a line (default: startup); "copy
//                        \From \To" copies a device file between calls, as a
//                        hand on the card would
//   expected.log         log lines, UTF-8, with their "MM:SS [K] " prefix
//   after.txt            the final tree (see ListTree)
//   expected-trace.txt   messages posted to programs and programs started
//   expected-results.txt results of the run.txt calls
//   expected-paused-ms   milliseconds the thread slept
#ifndef HAILWATCH_TESTS_GOLDEN_CASE_H
#define HAILWATCH_TESTS_GOLDEN_CASE_H

#include <filesystem>
#include <string>
#include <vector>

#include "platform/host/win32_api.h"

namespace golden {

namespace fs = std::filesystem;

// What a case run produced, each in its file's text form.
struct Outcome {
    std::string log;
    std::string tree;
    std::string trace;
    std::string results;
    std::string pausedMs;
};

// case_setup.cpp: lays out the device before the run.
void PrepareDevice(const fs::path& caseFolder, const fs::path& deviceRoot);

// case_calls.cpp: makes the calls of run.txt (or the start-up update alone)
// and answers one result line per call.
std::string RunCalls(const fs::path& caseFolder);

// case_outcome.cpp: what the run left behind.
std::string DecodeLog();
// One line per entry, sorted by path: "\Folder\ 0xNN" for a folder and
// "\Folder\file 0xNN content" for a file (content escaped, at most 64 bytes).
std::string ListTree(const fs::path& deviceRoot);
// "+ms post [title] message wParam lParam" per message, "start image" per
// program started, ms counted from `startTick`.
std::string DescribeTrace(DWORD startTick);

// Lines of a case file without their line endings; none if it is missing.
std::vector<std::string> ReadLines(const fs::path& file);
std::string ReadText(const fs::path& file);

} // namespace golden

#endif
