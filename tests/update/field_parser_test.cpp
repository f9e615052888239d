#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "patch/PatchList.h"

namespace {

// The fields ParseFields stores for `line`, with room for `maxFields`.
std::vector<std::string> Split(const std::string& line, int maxFields = PATCH_MAX_FIELDS)
{
    std::vector<char> area(static_cast<size_t>(maxFields + 1) * PATCH_FIELD_SIZE, '\x5a');
    // Only maxFields slots are cleared; the one after them must stay untouched.
    std::memset(area.data(), 0, static_cast<size_t>(maxFields) * PATCH_FIELD_SIZE);
    auto* fields = reinterpret_cast<char(*)[PATCH_FIELD_SIZE]>(area.data());
    int count = CPatchList::ParseFields(fields, line.data(), static_cast<int>(line.size()),
                                        maxFields, '(', ')');
    EXPECT_EQ('\x5a', area[static_cast<size_t>(maxFields) * PATCH_FIELD_SIZE]) << line;
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(fields[i]);
    }
    return out;
}

using Fields = std::vector<std::string>;

TEST(ParseFields, FollowsTheDepthRules)
{
    EXPECT_EQ((Fields{"a", "b"}), Split("CP(a)(b)"));
    EXPECT_EQ((Fields{"a(b)c"}), Split("RUN(a(b)c)"));
    EXPECT_EQ((Fields{")a"}), Split("x)((a)"));
    EXPECT_EQ((Fields{}), Split("x)(a)"));
    EXPECT_EQ((Fields{}), Split("KILL(Hailnet"));
    EXPECT_EQ((Fields{" Hailnet "}), Split("KILL( Hailnet )"));
    EXPECT_EQ((Fields{""}), Split("KILL()"));
    EXPECT_EQ((Fields{"a", ""}), Split("CP(a)()\r\n"));
    // Text outside the brackets is dropped; a field left open is dropped.
    EXPECT_EQ((Fields{"a", "c"}), Split("CP (a) and (c) (open"));
}

TEST(ParseFields, KeepsBytesBelowDepthZero)
{
    // After a stray closing bracket the depth is below 0: ordinary bytes are
    // kept there too, not only above 0, until a closing bracket brings it back.
    EXPECT_EQ((Fields{")abc"}), Split("x)ab((c)"));
    EXPECT_EQ((Fields{")\\ResidentFlash\\x.dat"}), Split("RM)\\ResidentFlash\\((x.dat)"));
}

TEST(ParseFields, ReadsOnlyTheGivenLength)
{
    std::vector<char> area(2 * PATCH_FIELD_SIZE, 0);
    auto* fields = reinterpret_cast<char(*)[PATCH_FIELD_SIZE]>(area.data());
    const char line[] = "RM(abc)(def)";
    // Cut inside the second field: only the first is complete.
    EXPECT_EQ(1, CPatchList::ParseFields(fields, line, 9, 2, '(', ')'));
    EXPECT_STREQ("abc", fields[0]);
    EXPECT_STREQ("", fields[1]);
    EXPECT_EQ(0, CPatchList::ParseFields(fields, line, 0, 2, '(', ')'));
    EXPECT_EQ(0, CPatchList::ParseFields(fields, NULL, 5, 2, '(', ')'));
    EXPECT_EQ(0, CPatchList::ParseFields(NULL, line, 5, 2, '(', ')'));
}

TEST(ParseFields, TakesOtherBrackets)
{
    std::vector<char> area(2 * PATCH_FIELD_SIZE, 0);
    auto* fields = reinterpret_cast<char(*)[PATCH_FIELD_SIZE]>(area.data());
    const char line[] = "x[a(b)][c]";
    EXPECT_EQ(2, CPatchList::ParseFields(fields, line, 10, 2, '[', ']'));
    EXPECT_STREQ("a(b)", fields[0]);
    EXPECT_STREQ("c", fields[1]);
}

// A field is never cut: a cut path would name another file.
TEST(ParseFields, RefusesTheWholeLineForAFieldTooLong)
{
    const std::string fits(PATCH_FIELD_SIZE - 1, 'f');
    const std::string tooLong(PATCH_FIELD_SIZE, 'f');
    EXPECT_EQ((Fields{fits}), Split("RM(" + fits + ")"));
    EXPECT_EQ((Fields{}), Split("RM(" + tooLong + ")"));
    EXPECT_EQ((Fields{}), Split("CP(a)(" + tooLong + ")"));
    // Nested brackets count towards the length.
    EXPECT_EQ((Fields{}), Split("RUN(" + std::string(PATCH_FIELD_SIZE - 2, 'f') + "(x))"));
    // A long field still open at the end is dropped like any open field.
    EXPECT_EQ((Fields{"a"}), Split("CP(a)(" + tooLong));
}

TEST(ParseFields, IgnoresFieldsPastTheArea)
{
    std::string line = "CP";
    Fields expected;
    for (int i = 0; i < 30; ++i) {
        line += "(" + std::to_string(i) + ")";
        if (i < PATCH_MAX_FIELDS) {
            expected.push_back(std::to_string(i));
        }
    }
    // What lies past the 25th field does not matter, too long or not.
    line += "(" + std::string(400, 'x') + ")";
    EXPECT_EQ(expected, Split(line));
    EXPECT_EQ((Fields{"0", "1"}), Split("CP(0)(1)(2)", 2));
}

} // namespace
