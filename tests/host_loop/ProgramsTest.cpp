// Simulated sibling programs: starting them with CreateProcessW, their
// windows, what they do with posted and sent messages, and the trace.
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "LoopFixture.h"

namespace {

const char kCallImage[] = "\\ResidentFlash\\Hailnet\\Hailnet.exe";
const wchar_t kCallImageW[] = L"\\ResidentFlash\\Hailnet\\Hailnet.exe";
const char kNaviImage[] = "\\SDMMC\\Roadlens\\Roadlens.exe";
const wchar_t kNaviImageW[] = L"\\SDMMC\\Roadlens\\Roadlens.exe";

BOOL Start(const wchar_t* image)
{
    return CreateProcessW(image, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, NULL);
}

host::ProgramSetup Program(const wchar_t* title)
{
    host::ProgramSetup setup;
    setup.title = title;
    return setup;
}

class ProgramsTest : public HostLoopTest {
protected:
    void SetUp() override
    {
        HostLoopTest::SetUp();
        char pattern[] = "/tmp/host_loop_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root_ = pattern;
        host::SetDeviceRoot(root_);
        MakeFile(kCallImage);
        MakeFile(kNaviImage);
    }
    void TearDown() override
    {
        HostLoopTest::TearDown();
        std::filesystem::remove_all(root_);
    }
    void MakeFile(const std::string& devicePath)
    {
        std::filesystem::path path(host::NativePath(devicePath));
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "MZ";
    }

    std::string root_;
};

TEST_F(ProgramsTest, CreateProcessStartsAProgramOnlyWhenItsImageExists)
{
    host::RegisterProgram(kCallImage, Program(L"Hailnet"));
    host::RegisterProgram("\\ResidentFlash\\Hailnet\\Hailwire.exe", Program(L"Hailwire"));

    SetLastError(0);
    EXPECT_FALSE(Start(L"\\ResidentFlash\\Hailnet\\Hailwire.exe"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, FindWindowW(NULL, L"Hailwire"));

    PROCESS_INFORMATION info = {};
    EXPECT_TRUE(CreateProcessW(kCallImageW, NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL, &info));
    EXPECT_NE(nullptr, FindWindowW(NULL, L"Hailnet"));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    // An existing image with no program behind it starts, but shows nothing.
    EXPECT_TRUE(Start(kNaviImageW));
    EXPECT_EQ((std::vector<std::string>{kCallImage, kNaviImage}), host::StartedImages());
    EXPECT_EQ(1, host::WindowCount(L"Hailnet"));
}

TEST_F(ProgramsTest, EveryStartIsAnotherInstanceAndEndProgramEndsThemAll)
{
    host::RegisterProgram(kCallImage, Program(L"Hailnet"));
    Start(kCallImageW);
    host::StartProgram("\\RESIDENTFLASH\\HAILNET\\HAILNET.EXE"); // paths ignore case
    EXPECT_EQ(2, host::WindowCount(L"Hailnet"));
    host::EndProgram(kCallImage);
    EXPECT_EQ(0, host::WindowCount(L"Hailnet"));
}

TEST_F(ProgramsTest, DelayedWindowAppearsWhenItsTimeHasCome)
{
    host::ProgramSetup setup = Program(L"Hailnet");
    setup.windowDelayMs = 7000;
    host::RegisterProgram(kCallImage, setup);
    ASSERT_TRUE(Start(kCallImageW));
    EXPECT_EQ(nullptr, FindWindowW(NULL, L"Hailnet"));
    host::Advance(6999);
    EXPECT_EQ(0, host::WindowCount(L"Hailnet"));
    host::Advance(1);
    EXPECT_EQ(1, host::WindowCount(L"Hailnet"));

    // Also while this process sleeps, and within a message loop run.
    Start(kCallImageW);
    Sleep(10000);
    EXPECT_EQ(2, host::WindowCount(L"Hailnet"));
    Start(kCallImageW);
    host::RunMessageLoopUntil(GetTickCount() + 7000);
    EXPECT_EQ(3, host::WindowCount(L"Hailnet"));
}

TEST_F(ProgramsTest, PostedDestroyEndsTheProgramUnlessItIgnoresIt)
{
    host::RegisterProgram(kCallImage, Program(L"Hailnet"));
    host::ProgramSetup stubborn = Program(L"Hailfare");
    stubborn.ignoreDestroy = true;
    host::RegisterProgram("\\ResidentFlash\\Hailnet\\Hailfare.exe", stubborn);
    host::StartProgram(kCallImage);
    host::StartProgram("\\ResidentFlash\\Hailnet\\Hailfare.exe");

    HWND call = FindWindowW(NULL, L"Hailnet");
    EXPECT_TRUE(PostMessageW(call, WM_DESTROY, 0, 0));
    EXPECT_EQ(nullptr, FindWindowW(NULL, L"Hailnet"));
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(call, WM_DESTROY, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());

    HWND meter = FindWindowW(NULL, L"Hailfare");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(PostMessageW(meter, WM_DESTROY, 0, 0));
    EXPECT_EQ(meter, FindWindowW(NULL, L"Hailfare"));
    EXPECT_EQ(4u, host::Trace().size());
}

TEST_F(ProgramsTest, ProgramQuitsOnItsMessageOnly)
{
    host::ProgramSetup navi = Program(L"Roadlens");
    navi.className = L"SDL_ipc";
    navi.quitOnMessage = 1325;
    host::RegisterProgram(kNaviImage, navi);
    Start(kNaviImageW);
    HWND window = FindWindowW(L"sdl_IPC", L"Roadlens");
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(PostMessageW(window, 3042, 1, 0));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(PostMessageW(window, 1325, 501, 0));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ProgramsTest, TraceRecordsEachPostWithTickWindowAndParameters)
{
    host::ProgramSetup navi = Program(L"Roadlens");
    navi.className = L"SDL_ipc";
    host::RegisterProgram(kNaviImage, navi);
    host::RegisterProgram(kCallImage, Program(L"Hailnet"));
    host::StartProgram(kNaviImage);
    host::StartProgram(kCallImage);
    PostMessageW(FindWindowW(NULL, L"Hailnet"), 3042, 1, 0);
    Sleep(250);
    PostMessageW(FindWindowW(NULL, L"Roadlens"), 1325, 501, 7);

    const std::vector<host::TraceEntry>& trace = host::Trace();
    ASSERT_EQ(2u, trace.size());
    EXPECT_EQ(kStart, trace[0].tick);
    EXPECT_EQ(L"Hailnet", trace[0].title);
    EXPECT_EQ(L"HostSimulatedProgram", trace[0].className);
    EXPECT_EQ(3042u, trace[0].message);
    EXPECT_EQ(1u, trace[0].wParam);
    EXPECT_FALSE(trace[0].sent);
    EXPECT_EQ(kStart + 250, trace[1].tick);
    EXPECT_EQ(L"SDL_ipc", trace[1].className);
    EXPECT_EQ(501u, trace[1].wParam);
    EXPECT_EQ(7, trace[1].lParam);
    host::ClearTrace();
    EXPECT_TRUE(host::Trace().empty());
}

TEST_F(ProgramsTest, LateCopyDataAnswerTimesOutAfterExactlyTheTimeout)
{
    host::ProgramSetup slow = Program(L"Hailnet");
    slow.copyDataDelayMs = 6000;
    host::RegisterProgram(kCallImage, slow);
    host::StartProgram(kCallImage);
    const unsigned char text[] = {0x31, 0x35, 0x20, 0xB9, 0xFD, 0x00, 0xEE};
    COPYDATASTRUCT data = {2224, 5, const_cast<unsigned char*>(text)};

    SetLastError(0);
    DWORD_PTR result = 0;
    EXPECT_EQ(0, SendMessageTimeoutW(FindWindowW(NULL, L"Hailnet"), WM_COPYDATA, 0,
                                     reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 5000,
                                     &result));
    EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), GetLastError());
    EXPECT_EQ(kStart + 5000, GetTickCount());
    EXPECT_EQ(0u, host::SleptMilliseconds());

    ASSERT_EQ(1u, host::Trace().size());
    const host::TraceEntry& entry = host::Trace()[0];
    EXPECT_TRUE(entry.sent);
    EXPECT_EQ(WM_COPYDATA + 0u, entry.message);
    EXPECT_EQ(kStart, entry.tick);
    EXPECT_EQ(2224u, entry.copyTag);
    EXPECT_EQ((std::vector<unsigned char>(text, text + 5)), entry.copyBytes);
}

TEST_F(ProgramsTest, CopyDataAnsweredWithinTheTimeoutSucceeds)
{
    host::ProgramSetup prompt = Program(L"Hailnet");
    prompt.copyDataDelayMs = 5000;
    host::RegisterProgram(kCallImage, prompt);
    host::StartProgram(kCallImage);
    char text[] = "15";
    COPYDATASTRUCT data = {2224, 2, text};
    DWORD_PTR result = 0;
    EXPECT_NE(0, SendMessageTimeoutW(FindWindowW(NULL, L"Hailnet"), WM_COPYDATA, 0,
                                     reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 5000,
                                     &result));
    EXPECT_EQ(1u, result);
    EXPECT_EQ(kStart + 5000, GetTickCount());
    SetLastError(0);
    EXPECT_EQ(0, SendMessageTimeoutW(reinterpret_cast<HWND>(0x4), WM_COPYDATA, 0, 0,
                                     SMTO_NORMAL, 5000, &result));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

TEST_F(ProgramsTest, MutexNameHeldAnywhereReportsAlreadyExists)
{
    SetLastError(99);
    HANDLE first = CreateMutexW(NULL, TRUE, L"Hailwatch");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(0u, GetLastError());
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));

    HANDLE second = CreateMutexW(NULL, TRUE, L"Hailwatch");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));

    // Every handle closed: the name is free again.
    HANDLE again = CreateMutexW(NULL, TRUE, L"Hailwatch");
    EXPECT_EQ(0u, GetLastError());
    CloseHandle(again);

    host::HoldMutexElsewhere(L"Hailwatch");
    HANDLE blocked = CreateMutexW(NULL, TRUE, L"Hailwatch");
    EXPECT_NE(nullptr, blocked);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(ReleaseMutex(blocked)); // ownership stays with the other process
}

} // namespace
