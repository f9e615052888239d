#include "tests/log/DeviceFixture.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/SupervisorState.h"
#include "log/LogBuffer.h"
#include "log/WriteLog.h"

namespace fs = std::filesystem;

namespace logtest {

const SYSTEMTIME kStartTime = {2024, 3, 2, 5, 13, 59, 58, 0};
const DWORD kStartTick = 500000;
const char kLogThisHour[] = "\\ResidentFlash\\Log\\hailwatch-2024030513.log";
const char kLogNextHour[] = "\\ResidentFlash\\Log\\hailwatch-2024030514.log";

namespace {
const char kLogMarker[] = "\\ResidentFlash\\Hailnet\\LogMsg";
const char kRealTimeMarker[] = "\\ResidentFlash\\Hailnet\\LogMsgRT";
}

void DeviceTest::SetUp()
{
    host::Reset();
    std::string pattern = (fs::temp_directory_path() / "hailwatch-log-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    host::SetDeviceRoot(root_);
    fs::create_directories(host::NativePath("\\ResidentFlash\\Hailnet"));
    fs::create_directories(host::NativePath("\\SDMMC"));
    g_supervisor = SupervisorState();
    SetLogEcho(0);
    EmptyLogStore();
    fs::create_directories(host::NativePath("\\ResidentFlash\\Log"));
    host::UseVirtualClock(kStartTick, kStartTime);
}

void DeviceTest::TearDown()
{
    host::Reset();
    fs::remove_all(root_);
}

// The store outlives a test. Whatever an earlier test left in it is flushed
// while this device has no Log folder, so it is lost, as on the device.
void DeviceTest::EmptyLogStore()
{
    SetLogging(Logging::Buffered);
    CLogBuffer::GetInstance()->FlushNow();
    SetLogging(Logging::Off);
}

void DeviceTest::SetMarkers(Logging mode)
{
    if (mode == Logging::Off)
        RemoveFile(kLogMarker);
    else
        MakeFile(kLogMarker);
    if (mode == Logging::RealTime)
        MakeFile(kRealTimeMarker);
    else
        RemoveFile(kRealTimeMarker);
}

void DeviceTest::SetLogging(Logging mode)
{
    SetMarkers(mode);
    CLogBuffer::GetInstance()->LoadSettings();
}

void DeviceTest::MakeFile(const std::string& devicePath)
{
    fs::path native = host::NativePath(devicePath);
    fs::create_directories(native.parent_path());
    std::ofstream(native, std::ios::binary);
}

void DeviceTest::RemoveFile(const std::string& devicePath)
{
    fs::remove(host::NativePath(devicePath));
}

bool DeviceTest::FileExists(const std::string& devicePath)
{
    return fs::exists(host::NativePath(devicePath));
}

std::string DeviceTest::ReadFile(const std::string& devicePath)
{
    std::ifstream in(host::NativePath(devicePath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Line(const char* minuteSecond, const std::string& utf8Message)
{
    return host::Utf8ToCp949(std::string(minuteSecond) + " [K] " + utf8Message);
}

} // namespace logtest
