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
    // Both ends of the alphabet fold.
    EXPECT_EQ(1, IsSamePath(L"\\Zip\\A.z", L"\\zip\\a.Z"));
    // '@' and '`' are 0x20 apart just below the letters.
    EXPECT_EQ(0, IsSamePath(L"\\a@", L"\\a`"));
    // '[' and '{' are 0x20 apart like the letters, but are not letters.
    EXPECT_EQ(0, IsSamePath(L"\\a[", L"\\a{"));
    // Letters outside ASCII are left to the file system.
    EXPECT_EQ(0, IsSamePath(L"\\\u00c9", L"\\\u00e9"));
}

// The spellings a patch list can give its destination folder, each naming
// the package's own file.
TEST(IsSamePath, SeesThroughEverySpellingOfOneFile)
{
    const wchar_t* source = L"\\SDMMC\\AirUpdate\\same.dll";
    for (const wchar_t* spelling : {
             L"\\SDMMC\\AirUpdate\\\\same.dll",     // a trailing separator of the folder
             L"\\SDMMC\\.\\AirUpdate\\same.dll",
             L"\\SDMMC\\x\\..\\AirUpdate\\same.dll",
             L"/SDMMC/AirUpdate//same.dll",
             L"\\SDMMC\\\\\\AirUpdate\\same.dll",
             L"SDMMC\\AirUpdate\\same.dll",         // taken from the root
             L"\\..\\SDMMC\\AirUpdate\\same.dll",   // ".." stops at the root
             L"\\SDMMC\\AirUpdate\\same.dll\\",
             L"\\sdmmc\\a\\b\\..\\..\\AIRUPDATE\\.\\same.dll"}) {
        EXPECT_EQ(1, IsSamePath(source, spelling)) << host::Narrow(spelling);
        EXPECT_EQ(1, IsSamePath(spelling, source)) << host::Narrow(spelling);
    }
}

TEST(IsSamePath, KeepsDifferentFilesApart)
{
    const wchar_t* source = L"\\SDMMC\\AirUpdate\\same.dll";
    for (const wchar_t* other : {
             L"\\\\SDMMC\\AirUpdate\\same.dll",     // a network path: server SDMMC
             L"//SDMMC/AirUpdate/same.dll",
             L"\\SDMMC\\AirUpdate\\x\\..",
             L"\\SDMMC\\AirUpdate\\same.dll\\..",
             L"\\SDMMC\\AirUpdate\\same.dll.",      // trailing dots are the file system's matter
             L"\\SDMMC\\AirUpdate\\...\\same.dll",
             L"\\SDMMC\\AirUpdate\\sub\\same.dll",
             L"\\SDMMC\\AirUpdateX\\same.dll",
             L"\\SDMMC\\AirUpdate"}) {
        EXPECT_EQ(0, IsSamePath(source, other)) << host::Narrow(other);
        EXPECT_EQ(0, IsSamePath(other, source)) << host::Narrow(other);
    }
}

std::wstring Normalised(const wchar_t* path)
{
    WCHAR out[64];
    EXPECT_EQ(1, NormalisePath(path, out, 64)) << host::Narrow(path);
    return out;
}

TEST(NormalisePath, FormsOneSpelling)
{
    EXPECT_EQ(L"\\", Normalised(L""));
    EXPECT_EQ(L"\\", Normalised(L"\\"));
    EXPECT_EQ(L"\\", Normalised(L"\\.\\..\\..\\"));
    EXPECT_EQ(L"\\a", Normalised(L"\\A\\b\\.."));
    EXPECT_EQ(L"\\b", Normalised(L"\\a\\..\\b"));
    EXPECT_EQ(L"\\a\\b", Normalised(L"a//b//"));
    // A network path keeps its server and share, whatever ".." says.
    EXPECT_EQ(L"\\\\", Normalised(L"\\\\"));
    EXPECT_EQ(L"\\\\srv\\share", Normalised(L"\\\\SRV\\share\\..\\.."));
    EXPECT_EQ(L"\\\\srv\\share\\b", Normalised(L"\\/srv\\\\share\\a\\..\\b"));
    EXPECT_EQ(L"\\\\srv", Normalised(L"\\\\\\srv"));
}

// The form is bounded by the caller's buffer: a path that does not fit is
// refused whole, never cut, and the length plus two always fits.
TEST(NormalisePath, StaysInsideItsBuffer)
{
    WCHAR out[6];
    for (WCHAR& unit : out) {
        unit = L'#';
    }
    EXPECT_EQ(0, NormalisePath(L"\\abcdef", out, 5));
    EXPECT_EQ(std::wstring(), std::wstring(out));
    EXPECT_EQ(L'#', out[5]);
    EXPECT_EQ(1, NormalisePath(L"abcd", out, 6));
    EXPECT_EQ(std::wstring(L"\\abcd"), std::wstring(out));
    EXPECT_EQ(0, NormalisePath(L"\\a", out, 0));
    EXPECT_EQ(L'\\', out[0]);

    std::wstring longPath;
    for (int i = 0; i < 300; ++i) {
        longPath += L"\\x";
    }
    std::wstring spelled = L"/" + longPath.substr(1) + L"\\.\\";
    EXPECT_EQ(1, IsSamePath(longPath.c_str(), spelled.c_str()));
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
