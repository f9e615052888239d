#include "startup_run.h"

#include <ctime>

#include "app/CheckApp.h"
#include "app/Probation.h"
#include "app/SupervisorState.h"
#include "log/WriteLog.h"
#include "patch/PackageVerify.h"
#include "patch/PatchList.h"
#include "patch/StartupUpdate.h"
#include "device_tree.h"
#include "platform/host/host_control.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

namespace {

const char kUpdateFolder[] = "\\SDMMC\\AirUpdate";
const char* const kWatched[] = {"Hailwire", "Hailfare", "Hailnet", "Hailtrack"};
const DWORD kTickMs = 5000;
// Without a probation, the crash loop is shown for two minutes.
const DWORD kLoopWithoutProbationMs = 120000;

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

// The log reaches the tool through the debugger echo.
void EchoLog()
{
    SetLogEcho(1);
}

void StartPrograms(const std::vector<std::string>& titles, bool ignoreDestroy, int* index)
{
    for (const std::string& title : titles) {
        host::ProgramSetup program;
        program.title = host::Widen(title);
        program.ignoreDestroy = ignoreDestroy;
        std::string image = "\\Running\\program" + std::to_string((*index)++) + ".exe";
        host::RegisterProgram(image, program);
        host::StartProgram(image);
    }
}

void StartSupervisor()
{
    host::ProgramSetup supervisor;
    supervisor.title = L"Hailwatch";
    supervisor.className = L"HAILWATCH";
    host::RegisterProgram("\\Running\\Hailwatch.exe", supervisor);
    host::StartProgram("\\Running\\Hailwatch.exe");
}

bool SupervisorClosed()
{
    for (const host::TraceEntry& entry : host::Trace()) {
        if (entry.message == WM_DESTROY && entry.className == L"HAILWATCH") {
            return true;
        }
    }
    return false;
}

// The echo carries one byte of 949 text per unit.
std::vector<std::string> DecodeLog()
{
    std::vector<std::string> lines;
    for (const std::wstring& echoed : host::DebugOutput()) {
        std::string bytes;
        for (wchar_t unit : echoed) {
            bytes += static_cast<char>(unit & 0xff);
        }
        std::string line = tools::Show949(bytes);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> DescribeMessages(DWORD startTick)
{
    std::vector<std::string> lines;
    for (const host::TraceEntry& entry : host::Trace()) {
        std::string name = entry.message == WM_DESTROY ? "WM_DESTROY" : std::to_string(entry.message);
        lines.push_back("+" + std::to_string(entry.tick - startTick) + " ms " + name +
                        (entry.sent ? " sent to [" : " posted to [") + host::Narrow(entry.title) + "]");
    }
    return lines;
}

} // namespace

StartupOutcome RunStartup(const StartupSetup& setup)
{
    host::Reset();
    host::SetDeviceRoot(setup.root);
    if (!setup.realClock) {
        host::UseVirtualClock(0, LocalTimeNow());
    }
    host::CaptureDebugOutput(true);
    EchoLog();
    int index = 0;
    if (setup.supervisor) {
        StartSupervisor();
    }
    StartPrograms(setup.closing, false, &index);
    StartPrograms(setup.staying, true, &index);
    host::ClearTrace();
    DWORD startTick = GetTickCount();
    unsigned long long sleptBefore = host::SleptMilliseconds();

    StartupOutcome outcome;
    if (setup.listOnly) {
        outcome.listResult = CPatchList::SearchPatchListFiles(kUpdateFolder, setup.pass);
    } else {
        RunStartupUpdate();
    }
    outcome.log = DecodeLog();
    outcome.messages = DescribeMessages(startTick);
    outcome.started = host::StartedImages();
    outcome.blockedMs = host::SleptMilliseconds() - sleptBefore;
    outcome.supervisorClosed = SupervisorClosed();
    return outcome;
}

namespace {

std::string FileBytes(const std::string& file)
{
    std::string bytes;
    return host::ReadWholeFile(file, &bytes) ? bytes : std::string();
}

// The four watched applications as programs; `crashing` ends at start while
// its image holds the bytes it holds now.
void RegisterWatched(const std::string& crashing)
{
    for (const char* title : kWatched) {
        std::string image = std::string("\\ResidentFlash\\Hailnet\\") + title + ".exe";
        host::ProgramSetup program;
        program.title = host::Widen(title);
        if (crashing == title) {
            std::string native = host::NativePath(image);
            std::string bytes = FileBytes(native);
            program.exitsAtStart = [native, bytes] { return FileBytes(native) == bytes; };
        }
        host::RegisterProgram(image, program);
    }
}

} // namespace

CrashOutcome RunCrashLoop(const fs::path& root, const std::string& crashing)
{
    host::Reset();
    host::SetDeviceRoot(NativeFolder(root));
    host::UseVirtualClock(0, LocalTimeNow());
    host::CaptureDebugOutput(true);
    EchoLog();
    RegisterWatched(crashing);
    DWORD startTick = GetTickCount();
    g_supervisor = SupervisorState();
    BeginProbationWatch();
    CrashOutcome outcome;
    outcome.probation = g_supervisor.probation.active != 0;
    DWORD playMs = outcome.probation ? g_supervisor.probation.windowMs - g_supervisor.probation.elapsedMs
                                     : kLoopWithoutProbationMs;
    // As the window procedure's timer does: the watchdog, then its time.
    for (DWORD played = 0; played < playMs + kTickMs; played += kTickMs) {
        host::Advance(kTickMs);
        CheckApp();
        NoteWatchdogTick(kTickMs);
        outcome.watchedMs = played + kTickMs;
        if (outcome.probation && !g_supervisor.probation.active) {
            break;
        }
    }
    outcome.log = DecodeLog();
    outcome.messages = DescribeMessages(startTick);
    outcome.started = host::StartedImages();
    return outcome;
}

bool RunSignatureCheck(const fs::path& root, std::vector<std::string>* log)
{
    host::Reset();
    host::SetDeviceRoot(NativeFolder(root));
    host::CaptureDebugOutput(true);
    EchoLog();
    bool verified = VerifySignedPackage(kUpdateFolder, "\\ResidentFlash\\Hailnet\\update.pub",
                                        "\\ResidentFlash\\Hailnet\\update.verified") != 0;
    *log = DecodeLog();
    return verified;
}

} // namespace hailpatch
