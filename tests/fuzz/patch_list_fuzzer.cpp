// A patch list of any bytes, run by CPatchList::SearchPatchListFiles on the
// host device with the virtual clock.
//
// Input: one byte whose low bit chooses the pass (1: the second), then the
// list's bytes. Each run starts from the same small device: a package with a
// plain, a read-only and a nested file, an install folder and a staging
// folder. Checked after each run:
// - every log line has the stamp, an update-engine source, at most 1,023
//   bytes and a CR LF end;
// - the result is 0 exactly when a copy of the first pass logged result 0;
// - at least one line per command the model is sure of, and none at all when
//   the model is sure there is no command;
// - the list is no longer held open, and nothing outside the device root
//   changed.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "log/WriteLog.h"
#include "log/LogBuffer.h"
#include "patch/PatchList.h"
#include "platform/host/host_control.h"
#include "tests/fuzz/fuzz_device.h"
#include "tests/fuzz/patch_list_model.h"

namespace {

const char kTarget[] = "patch list";
const DWORD kStartTick = 100000;
const std::string kOutsideText = "outside the device";
// The stamp "MM:SS [K] ", then the source.
const size_t kStampLength = 10;
const char kFailedCopy[] = "<I> CPatchList::CP[858] 결과[0] ";

std::string g_scratch;
std::string g_root;

std::string Native(const std::string& relative) { return g_root + "/" + relative; }

void BuildDevice(const std::string& list)
{
    fuzzdevice::EmptyFolder(g_root);
    fuzzdevice::WriteNativeFile(Native("SDMMC/AirUpdate/patch_list.txt"), list);
    fuzzdevice::WriteNativeFile(Native("SDMMC/AirUpdate/a.dll"), "new a");
    fuzzdevice::WriteNativeFile(Native("SDMMC/AirUpdate/ro.dll"), "new ro");
    fuzzdevice::WriteNativeFile(Native("SDMMC/AirUpdate/Map/road.dat"), "road");
    fuzzdevice::WriteNativeFile(Native("ResidentFlash/Hailnet/Hailnet.exe"), "MZ");
    fuzzdevice::WriteNativeFile(Native("ResidentFlash/Hailnet/a.dll"), "old a");
    fuzzdevice::WriteNativeFile(Native("ResidentFlash/Update/left.tmp"), "left");
    SetFileAttributesW(L"\\SDMMC\\AirUpdate\\ro.dll", FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(L"\\ResidentFlash\\Hailnet\\a.dll", FILE_ATTRIBUTE_READONLY);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool HasStamp(const std::string& line)
{
    return line.size() >= kStampLength && IsDigit(line[0]) && IsDigit(line[1]) && line[2] == ':' &&
           IsDigit(line[3]) && IsDigit(line[4]) && line.compare(5, 5, " [K] ") == 0;
}

bool HasEngineSource(const std::string& line)
{
    for (const char* source : {"<I> CPatchList::", "<E> CPatchList::", "CPatchList::"}) {
        if (line.compare(kStampLength, std::strlen(source), source) == 0)
            return true;
    }
    return false;
}

bool EndsInCrLf(const std::string& line)
{
    return line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0;
}

void CheckLines(const std::vector<std::string>& lines, size_t inputSize)
{
    for (const std::string& line : lines) {
        if (!HasStamp(line) || !HasEngineSource(line))
            fuzzdevice::Fail(kTarget, "a log line without the stamp and an engine source", inputSize);
        if (line.size() > 1023 || !EndsInCrLf(line))
            fuzzdevice::Fail(kTarget, "a log line longer than 1,023 bytes or without CR LF", inputSize);
    }
}

bool LoggedFailedCopy(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (line.compare(kStampLength, std::strlen(kFailedCopy), kFailedCopy) == 0)
            return true;
    }
    return false;
}

void CheckOutside(size_t inputSize)
{
    std::vector<std::string> expected = {"device", "outside.txt"};
    if (fuzzdevice::FolderNames(g_scratch) != expected ||
        fuzzdevice::ReadNativeFile(g_scratch + "/outside.txt") != kOutsideText)
        fuzzdevice::Fail(kTarget, "something outside the device root changed", inputSize);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_scratch = fuzzdevice::MakeScratchFolder("hailwatch-fuzz-list");
    g_root = g_scratch + "/device";
    fuzzdevice::WriteNativeFile(g_scratch + "/outside.txt", kOutsideText);
    fuzzdevice::WriteNativeFile(Native("ResidentFlash/Log/.keep"), "");
    host::SetDeviceRoot(g_root);
    host::Reset();
    // The store reads its markers once, here, while there are none: the log
    // reaches the checks through the debugger echo alone.
    CLogBuffer::GetInstance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int pass = (data[0] & 1) != 0 ? 1 : 0;
    const std::string list(reinterpret_cast<const char*>(data) + 1, size - 1);

    host::Reset();
    SYSTEMTIME start = {2024, 5, 2, 14, 10, 0, 0, 0};
    host::UseVirtualClock(kStartTick, start);
    host::CaptureDebugOutput(true);
    SetLogEcho(1);
    BuildDevice(list);

    const int result = CPatchList::SearchPatchListFiles("\\SDMMC\\AirUpdate", pass);

    const std::vector<std::string> lines = fuzzdevice::EchoedLines();
    CheckLines(lines, size);
    const bool failedCopy = LoggedFailedCopy(lines);
    if (result != (pass == 0 && failedCopy ? 0 : 1))
        fuzzdevice::Fail(kTarget, "result " + std::to_string(result) +
                                      (failedCopy ? " with" : " without") + " a failed copy",
                         size);
    const fuzzmodel::ListForecast forecast = fuzzmodel::ForecastList(list, pass);
    if (lines.size() < forecast.commands || (forecast.complete && forecast.commands == 0 && !lines.empty()))
        fuzzdevice::Fail(kTarget, std::to_string(lines.size()) + " log lines for " +
                                      std::to_string(forecast.commands) + " commands",
                         size);
    SetLastError(0);
    if (!DeleteFileW(L"\\SDMMC\\AirUpdate\\patch_list.txt") && GetLastError() == ERROR_SHARING_VIOLATION)
        fuzzdevice::Fail(kTarget, "the patch list is still held open", size);
    CheckOutside(size);
    return 0;
}
