// The parts of hailpatch that differ by system or touch the PC's files:
// code page 949 text and the device-folder copies and differences.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>

#include "device_tree.h"
#include "native_text.h"
#include "path_glob.h"
#include "platform/host/host_control.h"

namespace {

using namespace hailpatch;

TEST(CodePage949, FindsTheFirstByteThatIsNoCharacter)
{
    EXPECT_EQ(FindInvalid949("KILL(\xC4\xDD)"), std::string::npos);  // 콜
    EXPECT_EQ(FindInvalid949("ab\xFF"), 2u);
    // A lead byte whose trail byte is missing at the end is no character.
    EXPECT_EQ(FindInvalid949("ab\xC4"), 2u);
    EXPECT_EQ(FindInvalid949(""), std::string::npos);
}

TEST(CodePage949, ShowsTextAsUtf8AndEscapesWhatIsNot949)
{
    EXPECT_EQ(Cp949ToUtf8("\xC4\xDD.exe"), "콜.exe");
    EXPECT_EQ(Cp949ToUtf8("a\xFF" "b\xC4\xDD\xFF"), "a\\xFFb콜\\xFF");
}

TEST(CodePage949, NamesOutside949AreRefused)
{
    std::string bytes;
    ASSERT_TRUE(NameTo949("요금.tbl", &bytes));
    EXPECT_EQ(Cp949ToUtf8(bytes), "요금.tbl");
    EXPECT_FALSE(NameTo949("fare\u0e3f.tbl", &bytes));
    EXPECT_FALSE(Utf8To949("\xC3", &bytes));  // not UTF-8 at all
}

TEST(CodePage949, TheListIsReadAsTextModeReadsIt)
{
    TempFolder folder;
    std::string error;
    ASSERT_TRUE(folder.Make("test", &error)) << error;
    fs::path list = folder.Path() / "patch_list.txt";
    std::ofstream(list, std::ios::binary) << "A(1)\r\nB\rC\r\n\x1a" "D(2)\r\n";
    FILE* file = OpenListAsText(list, &error);
    ASSERT_NE(file, nullptr) << error;
    char text[64] = {};
    size_t read = std::fread(text, 1, sizeof(text) - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(text, read), "A(1)\nB\rC\n");
    EXPECT_EQ(OpenListAsText(folder.Path() / "missing.txt", &error), nullptr);
}

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(DeviceTree, CopyKeepsTheAttributesTheBackendStores)
{
    TempFolder from;
    TempFolder to;
    std::string error;
    ASSERT_TRUE(from.Make("from", &error) && to.Make("to", &error)) << error;
    WriteFile(from.Path() / "Hailnet" / "a.dat", "a");
    host::SetDeviceRoot(from.Path().string());
    const DWORD wanted = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesW(L"\\Hailnet\\a.dat", wanted));
    ASSERT_TRUE(SetFileAttributesW(L"\\Hailnet", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE));

    ASSERT_TRUE(CopyTree(from.Path(), to.Path() / "copy", &error)) << error;
    host::SetDeviceRoot((to.Path() / "copy").string());
    EXPECT_EQ(GetFileAttributesW(L"\\Hailnet\\a.dat"), wanted);
    EXPECT_EQ(GetFileAttributesW(L"\\Hailnet"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE));
}

TEST(DeviceTree, ChangesNameWhatWasAddedRemovedAndChanged)
{
    TempFolder root;
    std::string error;
    ASSERT_TRUE(root.Make("tree", &error)) << error;
    WriteFile(root.Path() / "ResidentFlash" / "Hailnet" / "old.tbl", "12345");
    WriteFile(root.Path() / "ResidentFlash" / "Hailnet" / "same.dll", "s");
    WriteFile(root.Path() / "ResidentFlash" / "Hailnet" / "fare.tbl", "ab");
    Tree before;
    ASSERT_TRUE(SnapshotTree(root.Path(), &before, &error)) << error;
    fs::remove(root.Path() / "ResidentFlash" / "Hailnet" / "old.tbl");
    WriteFile(root.Path() / "ResidentFlash" / "Hailnet" / "fare.tbl", "cd");  // same size
    WriteFile(root.Path() / "ResidentFlash" / "Hailnet" / "Map" / "road.dat", "road");
    Tree after;
    ASSERT_TRUE(SnapshotTree(root.Path(), &after, &error)) << error;

    std::vector<std::string> expected = {
        "added   \\ResidentFlash\\Hailnet\\Map\\",
        "added   \\ResidentFlash\\Hailnet\\Map\\road.dat (4 bytes)",
        "changed \\ResidentFlash\\Hailnet\\fare.tbl (2 -> 2 bytes)",
        "removed \\ResidentFlash\\Hailnet\\old.tbl (5 bytes)",
    };
    EXPECT_EQ(DescribeChanges(before, after), expected);
    EXPECT_TRUE(DescribeChanges(after, after).empty());
}

TEST(DeviceTree, SameBytesComparesContentNotSize)
{
    TempFolder root;
    std::string error;
    ASSERT_TRUE(root.Make("bytes", &error)) << error;
    WriteFile(root.Path() / "a", std::string(70000, 'x'));
    WriteFile(root.Path() / "b", std::string(70000, 'x'));
    WriteFile(root.Path() / "c", std::string(69999, 'x') + "y");
    EXPECT_TRUE(SameBytes(root.Path() / "a", root.Path() / "b"));
    EXPECT_FALSE(SameBytes(root.Path() / "a", root.Path() / "c"));
    EXPECT_FALSE(SameBytes(root.Path() / "a", root.Path() / "missing"));
}

// make --exclude's patterns beside a regular expression that says the same
// thing, on patterns and paths drawn from a few letters, stars, question
// marks and separators: `*` and `?` stay within a name, `**` takes whole
// folders, a pattern without '/' names a name at any depth, letter case is
// ignored. The reference puts '/' after each name of the pattern and of the
// path, and `**` is any run of whole names.
std::string ReferenceRegex(const std::string& pattern)
{
    std::vector<std::string> names;
    std::string name;
    for (char c : pattern + "/") {
        if (c != '/') {
            name += c;
        } else if (!name.empty()) {
            names.push_back(name);
            name.clear();
        }
    }
    std::string regex = pattern.find('/') == std::string::npos ? "([^/]+/)*" : "";
    for (const std::string& part : names) {
        if (part == "**" && pattern.find('/') != std::string::npos) {
            regex += "([^/]+/)*";
            continue;
        }
        for (char c : part) {
            regex += c == '*' ? "[^/]*" : c == '?' ? "[^/]" : std::string(1, c);
        }
        regex += "/";
    }
    return regex;
}

TEST(ExcludePatterns, MatchAsARegularExpressionOfTheSameRulesDoes)
{
    const char* const pieces[] = {"a", "B", "b", "/", "*", "?", "**", "/**", "**/"};
    const char* const letters = "aAb/";
    std::mt19937 random(26);
    int matched = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string pattern;
        for (int i = 0, n = 1 + static_cast<int>(random() % 5); i < n; ++i) pattern += pieces[random() % 9];
        std::string path;
        for (int i = 0, n = 1 + static_cast<int>(random() % 7); i < n; ++i) path += letters[random() % 4];
        if (path.front() == '/' || path.back() == '/' || path.find("//") != std::string::npos) continue;
        PathGlob glob;
        std::string error;
        if (!glob.Parse(pattern, &error)) continue;
        std::regex reference(ReferenceRegex(pattern), std::regex::icase);
        bool expected = std::regex_match(path + "/", reference);
        EXPECT_EQ(glob.Matches(path), expected) << "pattern " << pattern << " path " << path;
        matched += expected ? 1 : 0;
    }
    EXPECT_GT(matched, 200);
}

TEST(ExcludePatterns, RefuseWhatNamesNothingOrClimbsOut)
{
    PathGlob glob;
    std::string error;
    EXPECT_FALSE(glob.Parse("", &error));
    EXPECT_FALSE(glob.Parse("//", &error));
    EXPECT_FALSE(glob.Parse("Map/../LogMsg", &error));
    EXPECT_TRUE(glob.Parse("Map\\Cache\\*", &error));
    EXPECT_TRUE(glob.Matches("map/cache/tile.bin"));
    EXPECT_FALSE(glob.Matches("map/cache/sub/tile.bin"));
    ASSERT_TRUE(glob.Parse("?.wav", &error));
    EXPECT_TRUE(glob.Matches("음성/안.wav"));   // ? is one character, not one byte
}

} // namespace
