// How many lines a second the log takes: WriteLog buffered (an in-memory
// append, a file open per 512 KiB) and real-time (a file open per line),
// beside two baselines measured in the same run: a common logging library
// (spdlog's single-threaded basic file sink, writing the same bytes with the
// pattern "%M:%S [K] %v" and CR LF line ends) and the plain way of
// formatting the line and opening, printing and closing the file each time.
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>

#include "log/LogBuffer.h"
#include "log/WriteLog.h"
#include "platform/host/host_control.h"

namespace fs = std::filesystem;

namespace {

const char kMessageFormat[] = "%s %s[%d] %s\r\n";
const char kMessageText[] = "\\ResidentFlash\\Hailnet\\Hailwire.exe restarted";

// A device root of its own per run, with the markers of the mode measured.
class Device {
public:
    explicit Device(bool realTime)
    {
        host::Reset();
        std::string pattern = (fs::temp_directory_path() / "hailwatch-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            abort();
        root_ = pattern;
        host::SetDeviceRoot(root_);
        fs::create_directories(host::NativePath("\\ResidentFlash\\Log"));
        fs::create_directories(host::NativePath("\\ResidentFlash\\Hailnet"));
        std::ofstream(host::NativePath("\\ResidentFlash\\Hailnet\\LogMsg"));
        if (realTime)
            std::ofstream(host::NativePath("\\ResidentFlash\\Hailnet\\LogMsgRT"));
        CLogBuffer::GetInstance()->LoadSettings();
    }
    ~Device()
    {
        CLogBuffer::GetInstance()->FlushNow();
        fs::remove_all(root_);
    }

private:
    std::string root_;
};

void WriteLogLines(benchmark::State& state, bool realTime)
{
    Device device(realTime);
    for (auto _ : state)
        WriteLog(kMessageFormat, "<I>", "CheckApp", 409, kMessageText);
    state.SetItemsProcessed(state.iterations());
}

void BM_WriteLogBuffered(benchmark::State& state) { WriteLogLines(state, false); }
void BM_WriteLogRealTime(benchmark::State& state) { WriteLogLines(state, true); }

// The same stamp, file name and line, then fopen/fprintf/fclose each time.
void BM_FopenFprintfFclosePerLine(benchmark::State& state)
{
    Device device(false);
    for (auto _ : state) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        char message[1024];
        char fileName[128];
        snprintf(message, sizeof(message), kMessageFormat, "<I>", "CheckApp", 409, kMessageText);
        snprintf(fileName, sizeof(fileName), "%s%s\\hailwatch-%04d%02d%02d%02d.log",
                 "\\ResidentFlash", "\\Log", now.wYear, now.wMonth, now.wDay, now.wHour);
        FILE* file = fopen(fileName, "ab");
        if (file != nullptr) {
            fprintf(file, "%02d:%02d [K] %s", now.wMinute, now.wSecond, message);
            fclose(file);
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// The library's way to the same bytes: the line through its pattern, the
// message through its own formatter, the file kept open and written through
// the C library's stream buffer.
void BM_SpdlogBasicFileSink(benchmark::State& state)
{
    Device device(false);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char fileName[128];
    snprintf(fileName, sizeof(fileName), "\\ResidentFlash\\Log\\hailwatch-%04d%02d%02d%02d.log",
             now.wYear, now.wMonth, now.wDay, now.wHour);
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_st>(host::NativePath(fileName));
    spdlog::logger logger("bench", sink);
    logger.set_formatter(std::make_unique<spdlog::pattern_formatter>(
        "%M:%S [K] %v", spdlog::pattern_time_type::local, "\r\n"));
    for (auto _ : state)
        logger.info("{} {}[{}] {}", "<I>", "CheckApp", 409, kMessageText);
    logger.flush();
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_WriteLogBuffered);
BENCHMARK(BM_SpdlogBasicFileSink);
BENCHMARK(BM_WriteLogRealTime);
BENCHMARK(BM_FopenFprintfFclosePerLine);

} // namespace

BENCHMARK_MAIN();
