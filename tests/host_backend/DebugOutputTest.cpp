// OutputDebugStringW: captured for tests, else standard error as UTF-8.
#include <string>

#include <gtest/gtest.h>

#include "platform/host/host_control.h"

namespace {

class DebugOutputTest : public ::testing::Test {
protected:
    void SetUp() override { host::Reset(); }
    void TearDown() override { host::Reset(); }
};

// What the log store hands over: each byte sign-extended into a unit.
std::wstring SignExtended(const std::string& bytes) {
    std::wstring units;
    for (char b : bytes) units += (wchar_t)(signed char)b;
    return units;
}

} // namespace

TEST_F(DebugOutputTest, CaptureKeepsEachCallsExactUnits) {
    host::CaptureDebugOutput(true);
    std::wstring raw = SignExtended("\xB0\xA1 ok\r\n");
    OutputDebugStringW(raw.c_str());
    OutputDebugStringW(L"second");
    ASSERT_EQ(host::DebugOutput().size(), 2u);
    EXPECT_EQ(host::DebugOutput()[0], raw);
    EXPECT_EQ(host::DebugOutput()[1], L"second");
    host::Reset();
    EXPECT_TRUE(host::DebugOutput().empty());
    testing::internal::CaptureStderr();
    OutputDebugStringW(L"after reset");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after reset");
    EXPECT_TRUE(host::DebugOutput().empty());
}

TEST_F(DebugOutputTest, StandardErrorGetsEveryUnitAsUtf8) {
    testing::internal::CaptureStderr();
    std::wstring raw = SignExtended("a\xB0");  // 'a', then unit 0xFFB0
    OutputDebugStringW(raw.c_str());
    const wchar_t odd[] = {0xD800, L'|', 0xD83D, 0xDE00, L'|', 0xDC00, 0};
    OutputDebugStringW(odd);
    OutputDebugStringW(NULL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "a\xEF\xBE\xB0"
              "\xED\xA0\x80|\xF0\x9F\x98\x80|\xED\xB0\x80");
}
