// Plays every case folder under cases/ and compares what it left behind with
// the case's expected files. HAILWATCH_GOLDEN_UPDATE=1 writes the actual
// outcome into the case folder instead, for review before it is kept.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "log/WriteLog.h"
#include "platform/host/host_control.h"
#include "tests/golden/golden_case.h"

namespace golden {
namespace {

const DWORD kStartTick = 100000;

SYSTEMTIME StartTime()
{
    SYSTEMTIME t = {};
    t.wYear = 2024;
    t.wMonth = 5;
    t.wDay = 14;
    t.wHour = 10;
    return t;
}

std::vector<std::string> ListCases()
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(HAILWATCH_GOLDEN_CASES)) {
        if (entry.is_directory()) {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

// The log reaches the test through the debugger echo, so no log file or
// marker needs to stand in the device tree the case compares.
Outcome Play(const fs::path& caseFolder, const fs::path& deviceRoot)
{
    host::Reset();
    host::SetDeviceRoot(deviceRoot.string());
    host::UseVirtualClock(kStartTick, StartTime());
    host::CaptureDebugOutput(true);
    SetLogEcho(1);
    PrepareDevice(caseFolder, deviceRoot);
    host::ClearTrace();

    Outcome outcome;
    outcome.results = RunCalls(caseFolder);
    outcome.log = DecodeLog();
    outcome.tree = ListTree(deviceRoot);
    outcome.trace = DescribeTrace(kStartTick);
    outcome.pausedMs = std::to_string(host::SleptMilliseconds()) + "\n";
    return outcome;
}

void WriteExpected(const fs::path& file, const std::string& text, bool keepEmpty)
{
    if (text.empty() && !keepEmpty) {
        fs::remove(file);
        return;
    }
    std::ofstream(file, std::ios::binary) << text;
}

class GoldenCase : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenCase, LeavesTheExpectedLogTreeAndTrace)
{
    const fs::path caseFolder = fs::path(HAILWATCH_GOLDEN_CASES) / GetParam();
    const fs::path deviceRoot = fs::temp_directory_path() /
                                ("hailwatch-golden-" + std::to_string(getpid()) + "-" + GetParam());
    Outcome actual = Play(caseFolder, deviceRoot);
    bool hasCalls = fs::exists(caseFolder / "run.txt");

    if (getenv("HAILWATCH_GOLDEN_UPDATE") != nullptr) {
        WriteExpected(caseFolder / "expected.log", actual.log, true);
        WriteExpected(caseFolder / "after.txt", actual.tree, true);
        WriteExpected(caseFolder / "expected-trace.txt", actual.trace, false);
        WriteExpected(caseFolder / "expected-paused-ms", actual.pausedMs, true);
        WriteExpected(caseFolder / "expected-results.txt", hasCalls ? actual.results : "", false);
    } else {
        EXPECT_EQ(ReadText(caseFolder / "expected.log"), actual.log);
        EXPECT_EQ(ReadText(caseFolder / "after.txt"), actual.tree);
        EXPECT_EQ(ReadText(caseFolder / "expected-trace.txt"), actual.trace);
        if (fs::exists(caseFolder / "expected-paused-ms")) {
            EXPECT_EQ(ReadText(caseFolder / "expected-paused-ms"), actual.pausedMs);
        }
        if (hasCalls) {
            EXPECT_EQ(ReadText(caseFolder / "expected-results.txt"), actual.results);
        }
    }
    RecordProperty("paused_ms", actual.pausedMs.substr(0, actual.pausedMs.size() - 1));
    std::cout << "paused " << actual.pausedMs;
    fs::remove_all(deviceRoot);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCase, ::testing::ValuesIn(ListCases()), TestName);

} // namespace
} // namespace golden
