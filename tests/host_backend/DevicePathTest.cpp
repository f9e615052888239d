// Mapping device paths under the device root. How a path's form (dots,
// spaces, separators, refused names) resolves is in the conformance cases.
#include <cstdlib>
#include <string>

#include "DeviceRootFixture.h"

using DevicePathTest = DeviceRootTest;

TEST_F(DevicePathTest, MapsAbsolutePathsWithEitherSeparatorUnderTheRoot) {
    EXPECT_EQ(host::NativePath("\\ResidentFlash\\Hailnet\\LogMsg"),
              root_ + "/ResidentFlash/Hailnet/LogMsg");
    EXPECT_EQ(host::NativePath("/SDMMC/AirUpdate"), root_ + "/SDMMC/AirUpdate");
    EXPECT_EQ(host::NativePath("\\SDMMC\\\\AirUpdate\\"), root_ + "/SDMMC/AirUpdate");
    EXPECT_EQ(host::NativePath("\\"), root_);
}

// Windows CE has no current folder; a leading pair of separators is a
// network share, never a folder of the device.
TEST_F(DevicePathTest, RelativePathsStartAtTheRootAndNetworkPathsMapNowhere) {
    EXPECT_EQ(host::NativePath("ResidentFlash\\Hailnet"), root_ + "/ResidentFlash/Hailnet");
    EXPECT_EQ(host::NativePath("..\\SDMMC"), root_ + "/SDMMC");
    EXPECT_EQ(host::NativePath("\\\\SDMMC\\AirUpdate"), "");
    EXPECT_EQ(host::NativePath("//SDMMC/AirUpdate"), "");
    EXPECT_EQ(host::NativePath("\\/SDMMC"), "");
}

// Windows CE has no drive letters; Win32 takes them.
TEST_F(DevicePathTest, RejectsDriveLetters) {
    MakeFolder("ResidentFlash");
    PoisonLastError();
    EXPECT_EQ(GetFileAttributesW(L"C:\\ResidentFlash"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_NAME);
    EXPECT_EQ(host::NativePath("C:\\ResidentFlash"), "");
}

TEST_F(DevicePathTest, ExistingComponentsAreFoundIgnoringAsciiCase) {
    MakeFolder("ResidentFlash/Hailnet");
    MakeFile("ResidentFlash/Hailnet/LogMsg");
    EXPECT_EQ(GetFileAttributesW(L"\\residentflash\\HAILNET\\logmsg"), (DWORD)FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(host::NativePath("\\RESIDENTFLASH\\hailnet\\LOGMSG"),
              root_ + "/ResidentFlash/Hailnet/LogMsg");
    // A new last component keeps the caller's spelling, under the existing
    // folders' own spelling.
    ASSERT_TRUE(CreateDirectoryW(L"\\RESIDENTFLASH\\NewFolder", NULL));
    EXPECT_TRUE(NativeExists("ResidentFlash/NewFolder"));
    EXPECT_EQ(host::NativePath("\\residentflash\\missing\\Deeper"),
              root_ + "/ResidentFlash/missing/Deeper");
}

TEST_F(DevicePathTest, ExactSpellingWinsThenTheFirstInByteOrder) {
    MakeFolder("log");
    MakeFolder("Log");
    MakeFolder("LOG");
    EXPECT_EQ(host::NativePath("\\Log"), root_ + "/Log");
    EXPECT_EQ(host::NativePath("\\lOg"), root_ + "/LOG");
}

TEST_F(DevicePathTest, NonAsciiLettersAreComparedExactly) {
    MakeFile("\xC3\x89t\xC3\xA9");  // "Été"
    EXPECT_EQ(GetFileAttributesW(L"\\\x00C9t\x00E9"), (DWORD)FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesW(L"\\\x00E9t\x00E9"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DevicePathTest, EmptyRootSelectsEnvironmentThenCurrentFolder) {
    setenv("HAILWATCH_DEVICE_ROOT", "/somewhere/device/", 1);
    host::SetDeviceRoot("");
    EXPECT_EQ(host::DeviceRoot(), "/somewhere/device");
    unsetenv("HAILWATCH_DEVICE_ROOT");
    host::SetDeviceRoot("");
    EXPECT_EQ(host::DeviceRoot(), std::filesystem::current_path().string());
    host::SetDeviceRoot(root_ + "/");
    EXPECT_EQ(host::DeviceRoot(), root_);
}
