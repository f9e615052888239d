#include "SupervisorTimeline.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/Messages.h"
#include "app/Shell.h"
#include "app/SupervisorState.h"
#include "log/WriteLog.h"

namespace fs = std::filesystem;

namespace timeline {
namespace {

// The virtual clock's local time at its start tick; every timeline stays
// inside this hour, so the log has one file.
const SYSTEMTIME kStartTime = {2024, 5, 5, 17, 9, 0, 0, 0};
const char kLogFile[] = "\\ResidentFlash\\Log\\hailwatch-2024051709.log";

std::string ImagePath(const std::string& name)
{
    if (name == "Roadlens")
        return "\\SDMMC\\Roadlens\\Roadlens.exe";
    return "\\ResidentFlash\\Hailnet\\" + name + ".exe";
}

void MakeFile(const std::string& devicePath)
{
    fs::path native = host::NativePath(devicePath);
    fs::create_directories(native.parent_path());
    std::ofstream(native, std::ios::binary).put('\0');
}

std::string Hex(const std::vector<unsigned char>& bytes)
{
    std::ostringstream out;
    for (size_t i = 0; i < bytes.size(); ++i)
        out << (i ? " " : "") << std::uppercase << std::hex << (bytes[i] < 16 ? "0" : "") << int(bytes[i]);
    return out.str();
}

std::string Describe(const host::TraceEntry& entry)
{
    std::ostringstream out;
    out << (entry.sent ? "send " : "post ") << host::Narrow(entry.title) << " " << entry.message;
    if (entry.message == WM_COPYDATA)
        out << " tag=" << entry.copyTag << " bytes=" << Hex(entry.copyBytes);
    else
        out << " " << entry.wParam << " " << entry.lParam;
    return out.str();
}

// Log entries compared as the file's bytes, shown decoded when they differ.
std::string Readable(const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& entry : entries)
        text += "  " + (entry.rfind("log ", 0) == 0 ? host::Cp949ToUtf8(entry) : entry) + "\n";
    return text;
}

} // namespace

std::string Started(const std::string& name) { return "start " + ImagePath(name); }

std::string Post(const std::string& title, UINT message, WPARAM wParam)
{
    return "post " + title + " " + std::to_string(message) + " " + std::to_string(wParam) + " 0";
}

std::string Log(const std::string& utf8Text) { return "log " + utf8Text; }

std::string LogAt(DWORD atMs, const std::string& utf8Text)
{
    return "log@" + std::to_string(atMs) + " " + utf8Text;
}

std::vector<std::string> AccChangeLog(const char* state, int lParam)
{
    const std::string rule = Log(std::string(64, '#'));
    return {rule, Log(std::string("<I> WM_POWER_MODE_CHANGE ") + state + " 1000 " + std::to_string(lParam)), rule};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void SupervisorTest::SetUp()
{
    host::Reset();
    std::string pattern = (fs::temp_directory_path() / "hailwatch-supervisor-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    host::SetDeviceRoot(root_);
    fs::create_directories(host::NativePath("\\ResidentFlash\\Log"));
    fs::create_directories(host::NativePath("\\SDMMC"));
    // Logging on, in real time: every line is in the file when it is written.
    MakeFile("\\ResidentFlash\\Hailnet\\LogMsg");
    MakeFile("\\ResidentFlash\\Hailnet\\LogMsgRT");
    g_supervisor = SupervisorState();
    SetLogEcho(0);
    UseClock(1000000);
}

void SupervisorTest::TearDown()
{
    host::Reset();
    fs::remove_all(root_);
}

void SupervisorTest::UseClock(DWORD tick)
{
    startTick_ = tick;
    host::UseVirtualClock(tick, kStartTime);
}

void SupervisorTest::Install(const std::string& name, Presence presence, host::ProgramSetup setup)
{
    if (presence == Presence::NotInstalled)
        return;
    MakeFile(ImagePath(name));
    setup.title = host::Widen(name);
    if (name == "Roadlens")
        setup.className = L"SDL_ipc";
    host::RegisterProgram(ImagePath(name), setup);
    installed_.emplace_back(ImagePath(name), setup);
    if (presence == Presence::Running)
        host::StartProgram(ImagePath(name));
}

void SupervisorTest::Start()
{
    ASSERT_TRUE(InitInstance(nullptr, SW_SHOW));
    window_ = FindWindowW(L"HAILWATCH", nullptr);
    ASSERT_NE(window_, nullptr);
    zeroTick_ = GetTickCount();
    logMark_ = LogBytes().size();
    traceMark_ = host::Trace().size();
    startMark_ = host::StartedImages().size();
}

void SupervisorTest::SwitchOffAndOn()
{
    host::Reset();
    host::SetDeviceRoot(root_);
    g_supervisor = SupervisorState();
    SetLogEcho(0);
    UseClock(startTick_);
    for (const auto& [image, setup] : installed_)
        host::RegisterProgram(image, setup);
    timers_.clear();
    Start();
}

std::string SupervisorTest::LogBytes() const
{
    std::ifstream in(host::NativePath(kLogFile), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> SupervisorTest::TakeOutcome(DWORD atMs)
{
    std::vector<std::string> outcome;
    std::vector<std::string> started = host::StartedImages();
    for (; startMark_ < started.size(); ++startMark_)
        outcome.push_back("start " + started[startMark_]);
    const std::vector<host::TraceEntry>& trace = host::Trace();
    for (; traceMark_ < trace.size(); ++traceMark_) {
        std::string entry = Describe(trace[traceMark_]);
        DWORD at = trace[traceMark_].tick - zeroTick_;
        outcome.push_back(at == atMs ? entry : entry + " @" + std::to_string(at));
    }
    std::string log = LogBytes();
    while (logMark_ < log.size()) {
        size_t end = log.find("\r\n", logMark_);
        end = end == std::string::npos ? log.size() : end + 2;
        outcome.push_back("log " + log.substr(logMark_, end - logMark_));
        logMark_ = end;
    }
    return outcome;
}

void SupervisorTest::Apply(const Event& event)
{
    switch (event.kind) {
    case EventKind::Nothing: break;
    case EventKind::AccOff:
        PostMessageW(window_, g_supervisor.powerMessage, POWER_MODE_ACC_CHANGE, POWER_MODE_ACC_OFF);
        break;
    case EventKind::AccOn:
        PostMessageW(window_, g_supervisor.powerMessage, POWER_MODE_ACC_CHANGE, 0);
        break;
    case EventKind::UserCloses: host::EndProgram(ImagePath(event.arg)); break;
    case EventKind::FileAppears: MakeFile(event.arg); break;
    }
}

// The device's loop (GetMessageW, TranslateMessage, DispatchMessageW) up to
// `tick`, noting each timer the window takes on the way.
void SupervisorTest::RunLoopUntil(DWORD tick)
{
    host::SetLoopDeadline(tick);
    MSG message;
    while (static_cast<LONG>(GetTickCount() - tick) <= 0 && GetMessageW(&message, NULL, 0, 0)) {
        if (message.message == WM_TIMER && message.hwnd == window_)
            timers_.push_back({message.wParam, GetTickCount() - zeroTick_});
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void SupervisorTest::RunTimeline(const std::vector<Row>& rows, DWORD endMs)
{
    DWORD elapsedAtStart = zeroTick_ - startTick_;
    auto check = [&](DWORD atMs, const std::vector<std::string>& expected) {
        std::vector<std::string> wanted;
        for (const std::string& entry : expected) {
            if (entry.rfind("log", 0) != 0) {
                wanted.push_back(entry);
                continue;
            }
            size_t space = entry.find(' ');
            DWORD loggedAt = entry[3] == '@' ? std::stoul(entry.substr(4, space - 4)) : atMs;
            DWORD elapsed = elapsedAtStart + loggedAt;
            char stamp[16];
            snprintf(stamp, sizeof(stamp), "%02u:%02u [K] ", elapsed / 60000 % 60, elapsed / 1000 % 60);
            wanted.push_back("log " + host::Utf8ToCp949(stamp + entry.substr(space + 1) + "\r\n"));
        }
        std::vector<std::string> outcome = TakeOutcome(atMs);
        EXPECT_EQ(wanted, outcome) << "at " << atMs << " ms, expected:\n"
                                   << Readable(wanted) << "got:\n" << Readable(outcome);
    };
    DWORD previousAt = 0;
    std::vector<std::string> previousExpected;
    for (const Row& row : rows) {
        ASSERT_GT(row.atMs, previousAt) << "rows must be in time order";
        // Up to just before the row, so what is due at its time is its own.
        RunLoopUntil(zeroTick_ + row.atMs - 1);
        check(previousAt, previousExpected);
        host::Advance(1);
        Apply(row.event);
        previousAt = row.atMs;
        previousExpected = row.expected;
    }
    RunLoopUntil(zeroTick_ + endMs);
    check(previousAt, previousExpected);
}

} // namespace timeline
