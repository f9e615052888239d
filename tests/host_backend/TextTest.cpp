// Code page 949 and UTF-8 conversion, and wsprintfW.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/host/host_control.h"

namespace {

const char kHangulUtf8[] = "\xED\x95\x9C\xEA\xB8\x80";  // "한글"
const char kHangul949[] = "\xC7\xD1\xB1\xDB";

std::wstring Decode(UINT codePage, const std::string& bytes, DWORD flags = 0) {
    wchar_t out[64];
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), (int)bytes.size(), out, 64);
    return std::wstring(out, n > 0 ? n : 0);
}

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { host::Reset(); }
};

} // namespace

TEST_F(TextTest, AnsiCodePageIs949AndLengthMinusOneCountsTheTerminator) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, kHangul949, -1, NULL, 0), 3);
    wchar_t wide[3] = {1, 1, 1};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, kHangul949, -1, wide, 3), 3);
    EXPECT_EQ(std::wstring(wide), host::Widen(kHangulUtf8));
    EXPECT_EQ(GetLastError(), 0xDEADBEEF);

    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, NULL, 0, NULL, NULL), 5);
    char narrow[5];
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, 5, NULL, NULL), 5);
    EXPECT_EQ(std::string(narrow), kHangul949);
    EXPECT_EQ(host::Utf8ToCp949(kHangulUtf8), kHangul949);
    EXPECT_EQ(host::Cp949ToUtf8(kHangul949), kHangulUtf8);
}

TEST_F(TextTest, TooSmallBufferFailsWithoutWritingPastIt) {
    wchar_t wide[4] = {0, 0, L'#', L'#'};
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(wide[2], L'#');
    char narrow[4] = {0, 0, '#', '#'};
    SetLastError(0);
    // A double-byte character does not fit in one byte.
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"a\xAC00", 2, narrow, 2, NULL, NULL), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(narrow[2], '#');
}

TEST_F(TextTest, InvalidArgumentsAreRefused) {
    wchar_t wide[4];
    char narrow[4];
    BOOL used = FALSE;
    for (int r : {MultiByteToWideChar(1234, 0, "a", -1, wide, 4),
                  MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 4),
                  MultiByteToWideChar(CP_ACP, 0, NULL, -1, wide, 4),
                  MultiByteToWideChar(CP_ACP, 0, "a", -1, wide, -1),
                  WideCharToMultiByte(CP_UTF8, 0, L"a", -1, narrow, 4, NULL, &used)}) {
        EXPECT_EQ(r, 0);
    }
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(TextTest, CharactersOutside949BecomeTheDefaultCharacter) {
    char narrow[16];
    BOOL used = FALSE;
    // "é", a CJK ideograph 949 lacks, an emoji (two units) and a lone surrogate.
    const wchar_t text[] = {L'a', 0x00E9, 0x4E02, 0xD83D, 0xDE00, 0xDC00, L'z', 0};
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, 16, NULL, &used), 8);
    EXPECT_STREQ(narrow, "a?????z");
    EXPECT_TRUE(used);
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\x4E02", 1, narrow, 16, "\xA1\xA1", &used), 2);
    EXPECT_EQ(std::string(narrow, 2), "\xA1\xA1");
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, L"ok", -1, narrow, 16, NULL, &used), 3);
    EXPECT_FALSE(used);
    EXPECT_EQ(host::Utf8ToCp949("a\xC3\xA9z"), "a?z");
}

TEST_F(TextTest, Malformed949FollowsTheWindowsTable) {
    EXPECT_EQ(Decode(CP_ACP, "a\x81"), L"a?") << "lead byte at the end";
    EXPECT_EQ(Decode(CP_ACP, std::string("\x81\0b", 3)), std::wstring(L"?\0b", 3)) << "NUL is no trail byte";
    EXPECT_EQ(Decode(CP_ACP, "\x81\x20" "b"), L"?b") << "a pair without a character";
    EXPECT_EQ(Decode(CP_ACP, "\x80\xFF"), L"\x0080\xF8F7");
    EXPECT_EQ(Decode(CP_ACP, "\xC9\xA1\xFE\xFE"), L"\xE000\xE0BB") << "user-defined rows";
    SetLastError(0);
    EXPECT_EQ(Decode(CP_ACP, "a\x81", 0x8), L"");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(host::Cp949ToUtf8("x\x81"), "x?");
}

TEST_F(TextTest, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(Decode(CP_UTF8, "a\xE2\x82\xAC"), L"a\x20AC");
    EXPECT_EQ(Decode(CP_UTF8, "\xC0\x80"), L"\xFFFD\xFFFD") << "overlong lead";
    EXPECT_EQ(Decode(CP_UTF8, "\xE0\x80\x80"), L"\xFFFD\xFFFD");
    EXPECT_EQ(Decode(CP_UTF8, "\xED\xA0\x80"), L"\xFFFD\xFFFD") << "encoded surrogate";
    EXPECT_EQ(Decode(CP_UTF8, "\xE2\x82" "A" "B"), L"\xFFFD" L"AB");
    EXPECT_EQ(Decode(CP_UTF8, "\xE2" "A"), L"\xFFFD") << "cut off: the rest is one replacement";
    EXPECT_EQ(Decode(CP_UTF8, "\xF0\x9F\x98\x80"), L"\xD83D\xDE00");
    SetLastError(0);
    EXPECT_EQ(Decode(CP_UTF8, "\xFF", 0x8), L"");
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(host::Narrow(std::wstring(1, (wchar_t)0xD800)), "\xEF\xBF\xBD");
}

TEST_F(TextTest, WsprintfFormatsAsUser32) {
    wchar_t out[1100];
    int n = wsprintfW(out, L"[%d|%u|%x|%X|%c|%%|%5d|%-5d|%05d|%s|%ls|%hs|%S|%.2s|%#x|%q|%ld]", -5,
                      4000000000u, 255, 255, L'Z', 42, 42, 42, L"wi", L"ls", "hs", "S", L"abc", 255, 7);
    EXPECT_EQ(std::wstring(out), L"[-5|4000000000|ff|FF|Z|%|   42|42   |00042|wi|ls|hs|S|ab|0xff|q|7]");
    EXPECT_EQ(n, (int)wcslen(out));
    wsprintfW(out, L"%s|%hs|%5.3d|%10.2s|abc%", (wchar_t*)NULL, (char*)NULL, 7, L"abcdef");
    EXPECT_EQ(std::wstring(out), L"(null)|(null)|  007|        ab|abc");
    wsprintfW(out, L"%s\\%hs", L"\\SDMMC", kHangul949);
    EXPECT_EQ(std::wstring(out), L"\\SDMMC\\" + host::Widen(kHangulUtf8));
}

TEST_F(TextTest, WsprintfStopsAt1024UnitsWithTheTerminator) {
    std::vector<wchar_t> out(1100, L'#');
    std::wstring longText(2000, L'x');
    int n = wsprintfW(out.data(), L"%s%s", longText.c_str(), L"tail");
    EXPECT_EQ(n, 1023);
    EXPECT_EQ(out[1022], L'x');
    EXPECT_EQ(out[1023], L'\0');
    EXPECT_EQ(out[1024], L'#');
    std::wstring format(3000, L'y');
    EXPECT_EQ(wsprintfW(out.data(), format.c_str()), 1023);
    EXPECT_EQ(out[1024], L'#');
}
