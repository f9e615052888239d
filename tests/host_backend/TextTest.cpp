// Code page 949 where the host backend answers for the device alone; the
// conversions Win32 shares, and wsprintfW, are in the conformance cases.
#include <string>

#include <gtest/gtest.h>

#include "platform/host/host_control.h"

namespace {

const char kHangulUtf8[] = "\xED\x95\x9C\xEA\xB8\x80";  // "한글"
const char kHangul949[] = "\xC7\xD1\xB1\xDB";

class TextTest : public ::testing::Test {
protected:
    void SetUp() override { host::Reset(); }
};

} // namespace

// The backend's own conversions, which the tools use for device paths.
TEST_F(TextTest, HostConversionsFollowTheConversionCalls) {
    EXPECT_EQ(host::Utf8ToCp949(kHangulUtf8), kHangul949);
    EXPECT_EQ(host::Cp949ToUtf8(kHangul949), kHangulUtf8);
    EXPECT_EQ(host::Utf8ToCp949("a\xC3\xA9z"), "a?z");
    EXPECT_EQ(host::Cp949ToUtf8("x\x81"), "x?");
    EXPECT_EQ(host::Narrow(std::wstring(1, (wchar_t)0xD800)), "\xEF\xBF\xBD");
}

// No best fit to a plain letter, which Wine's table gives ("é" as "e").
TEST_F(TextTest, AccentedLettersOutside949BecomeTheDefaultCharacter) {
    char narrow[8];
    BOOL used = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, L"a\x00E9z", -1, narrow, 8, NULL, &used), 4);
    EXPECT_STREQ(narrow, "a?z");
    EXPECT_TRUE(used);
}
