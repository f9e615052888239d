// hailpatch: applies an update package to a device folder on a PC.
//
//   hailpatch --device DIR [--package PKG] [--list [--pass N]]
//             [--window TITLE]... [--stays TITLE]... [--real-clock]
//
// DIR stands for the terminal: DIR/ResidentFlash is the flash store and
// DIR/SDMMC the SD card. --package first replaces DIR/SDMMC/AirUpdate with a
// copy of PKG. Without --list the start-up update runs as at every start of
// the terminal; with --list only the patch list runs, in the first pass or
// (--pass 1) the second. --window and --stays stand for running programs
// with that window title; the first closes on WM_DESTROY, the second stays.
// The pauses take no real time unless --real-clock is given. The log is
// printed decoded to UTF-8, then the messages posted to programs, the
// programs started and the time the update paused.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "log/WriteLog.h"
#include "patch/PatchList.h"
#include "patch/StartupUpdate.h"
#include "platform/host/host_control.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string device;
    std::string package;
    bool listOnly = false;
    int pass = 0;
    bool realClock = false;
    std::vector<std::string> closing;
    std::vector<std::string> staying;
};

int Usage()
{
    std::cerr << "usage: hailpatch --device DIR [--package PKG] [--list [--pass N]]\n"
                 "                 [--window TITLE]... [--stays TITLE]... [--real-clock]\n";
    return 2;
}

bool ParseOptions(int argc, char** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--device" && hasValue) {
            options->device = argv[++i];
        } else if (arg == "--package" && hasValue) {
            options->package = argv[++i];
        } else if (arg == "--pass" && hasValue) {
            options->pass = std::atoi(argv[++i]);
        } else if (arg == "--window" && hasValue) {
            options->closing.push_back(argv[++i]);
        } else if (arg == "--stays" && hasValue) {
            options->staying.push_back(argv[++i]);
        } else if (arg == "--list") {
            options->listOnly = true;
        } else if (arg == "--real-clock") {
            options->realClock = true;
        } else {
            return false;
        }
    }
    return !options->device.empty();
}

SYSTEMTIME LocalTimeNow()
{
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    SYSTEMTIME t = {};
    t.wYear = static_cast<WORD>(local.tm_year + 1900);
    t.wMonth = static_cast<WORD>(local.tm_mon + 1);
    t.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    t.wDay = static_cast<WORD>(local.tm_mday);
    t.wHour = static_cast<WORD>(local.tm_hour);
    t.wMinute = static_cast<WORD>(local.tm_min);
    t.wSecond = static_cast<WORD>(local.tm_sec);
    return t;
}

void PutPackage(const Options& options)
{
    fs::path update = fs::path(options.device) / "SDMMC" / "AirUpdate";
    fs::remove_all(update);
    fs::create_directories(update);
    fs::copy(options.package, update, fs::copy_options::recursive);
}

void StartPrograms(const std::vector<std::string>& titles, bool ignoreDestroy)
{
    static int index = 0;
    for (const std::string& title : titles) {
        host::ProgramSetup program;
        program.title = host::Widen(title);
        program.ignoreDestroy = ignoreDestroy;
        std::string image = "\\Running\\program" + std::to_string(index++) + ".exe";
        host::RegisterProgram(image, program);
        host::StartProgram(image);
    }
}

// The log reaches us through the debugger echo, one byte per unit.
void PrintLog()
{
    for (const std::wstring& echoed : host::DebugOutput()) {
        std::string bytes;
        for (wchar_t unit : echoed) {
            bytes += static_cast<char>(unit & 0xff);
        }
        std::string line = host::Cp949ToUtf8(bytes);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        std::cout << line << "\n";
    }
}

void PrintTrace(DWORD startTick)
{
    for (const host::TraceEntry& entry : host::Trace()) {
        std::cout << "+" << (entry.tick - startTick) << " ms: message " << entry.message
                  << " posted to [" << host::Narrow(entry.title) << "]\n";
    }
    for (const std::string& image : host::StartedImages()) {
        std::cout << "started " << image << "\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        return Usage();
    }
    if (!options.package.empty()) {
        PutPackage(options);
    }
    host::Reset();
    host::SetDeviceRoot(fs::absolute(options.device).string());
    if (!options.realClock) {
        host::UseVirtualClock(0, LocalTimeNow());
    }
    host::CaptureDebugOutput(true);
    SetLogEcho(1);
    StartPrograms(options.closing, false);
    StartPrograms(options.staying, true);
    host::ClearTrace();
    DWORD startTick = GetTickCount();

    if (options.listOnly) {
        int result = CPatchList::SearchPatchListFiles("\\SDMMC\\AirUpdate", options.pass);
        PrintLog();
        std::cout << "patch list result: " << result << "\n";
    } else {
        RunStartupUpdate();
        PrintLog();
    }
    PrintTrace(startTick);
    std::cout << "paused " << host::SleptMilliseconds() << " ms\n";
    return 0;
}
