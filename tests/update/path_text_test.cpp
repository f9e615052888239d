#include <gtest/gtest.h>

#include <string>

#include "patch/PathText.h"
#include "platform/host/host_control.h"

namespace {

TEST(JoinPath, FormsTheJoinOnlyWhenItFits)
{
    char out[16];
    EXPECT_EQ(1, JoinPath(out, sizeof(out), "\\SDMMC", "a.dll"));
    EXPECT_STREQ("\\SDMMC\\a.dll", out);
    // 15 bytes and the terminator fill the buffer exactly.
    EXPECT_EQ(1, JoinPath(out, sizeof(out), "\\123456", "1234567"));
    EXPECT_STREQ("\\123456\\1234567", out);
    EXPECT_EQ(0, JoinPath(out, sizeof(out), "\\123456", "12345678"));
    EXPECT_STREQ("", out);
}

TEST(JoinPath, WideJoinIsBoundedInUnits)
{
    WCHAR out[8];
    EXPECT_EQ(1, JoinWidePath(out, 8, L"\\abc", L"de"));
    EXPECT_EQ(std::wstring(L"\\abc\\de"), out);
    EXPECT_EQ(0, JoinWidePath(out, 8, L"\\abc", L"def"));
    EXPECT_EQ(std::wstring(), out);
}

TEST(IsSamePath, IgnoresAsciiLetterCaseOnly)
{
    EXPECT_EQ(1, IsSamePath(L"\\SDMMC\\AirUpdate\\a.DLL", L"\\sdmmc\\airupdate\\A.dll"));
    EXPECT_EQ(0, IsSamePath(L"\\SDMMC\\a.dll", L"\\SDMMC\\a.dl"));
    EXPECT_EQ(0, IsSamePath(L"\\SDMMC\\a.dl", L"\\SDMMC\\a.dll"));
    // '[' and '{' are 0x20 apart like the letters, but are not letters.
    EXPECT_EQ(0, IsSamePath(L"\\a[", L"\\a{"));
    // Letters outside ASCII are left to the file system.
    EXPECT_EQ(0, IsSamePath(L"\\\u00c9", L"\\\u00e9"));
}

TEST(TextCopies, RoundTripCodePage949)
{
    host::Reset();
    const std::string korean = host::Utf8ToCp949("\\ResidentFlash\\지도.dat");
    CWideCopy wide(korean.c_str());
    EXPECT_EQ(host::Widen("\\ResidentFlash\\지도.dat"), wide.Units());
    CNarrowCopy narrow(wide.Units());
    EXPECT_EQ(korean, narrow.Text());
    CWideCopy empty("");
    EXPECT_EQ(std::wstring(), empty.Units());
}

// A character 949 lacks cannot come back: the path then names no file.
TEST(TextCopies, NarrowCopyReplacesWhat949Lacks)
{
    host::Reset();
    CNarrowCopy narrow(host::Widen("\\a\u2603.txt").c_str());
    std::string text = narrow.Text();
    EXPECT_EQ(std::string::npos, text.find("\u2603"));
    EXPECT_EQ(0u, text.find("\\a"));
    EXPECT_EQ(text.size() - 4, text.find(".txt"));
}

} // namespace
