// Folder searches: patterns, errors, and deleting while searching.
#include <set>
#include <string>
#include <vector>

#include "DeviceRootFixture.h"

namespace {

class FindTest : public DeviceRootTest {
protected:
    // Every name the search yields, in order; the search's own error at the
    // end (ERROR_NO_MORE_FILES) or of FindFirstFileW when it fails.
    std::vector<std::string> FindAll(const wchar_t* pattern, DWORD* error) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        PoisonLastError();
        HANDLE search = FindFirstFileW(pattern, &data);
        if (search == INVALID_HANDLE_VALUE) {
            *error = GetLastError();
            return names;
        }
        do {
            names.push_back(host::Narrow(data.cFileName));
        } while (FindNextFileW(search, &data));
        *error = GetLastError();
        EXPECT_TRUE(FindClose(search));
        return names;
    }
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(FindTest, StarDotStarFindsEveryNameButNeverTheDotEntries) {
    MakeFolder("pkg/sub");
    MakeFile("pkg/patch_list.txt", "12345");
    MakeFile("pkg/README");
    MakeFile("pkg/Hailnet.exe");
    DWORD error = 0;
    EXPECT_EQ(FindAll(L"\\pkg\\*.*", &error),
              (Names{"Hailnet.exe", "README", "patch_list.txt", "sub"}));
    EXPECT_EQ(error, (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_EQ(FindAll(L"\\PKG\\*", &error).size(), 4u);
}

TEST_F(FindTest, ExtensionAndFullNamePatternsIgnoreAsciiCase) {
    MakeFolder("pkg");
    for (const char* name : {"a.TXT", "b.txt", "c.txt.bak", "txt", "d.dll"}) MakeFile(std::string("pkg/") + name);
    DWORD error = 0;
    EXPECT_EQ(FindAll(L"\\pkg\\*.txt", &error), (Names{"a.TXT", "b.txt"}));
    EXPECT_EQ(FindAll(L"\\pkg\\D.DLL", &error), (Names{"d.dll"}));
    EXPECT_EQ(FindAll(L"/pkg/?.dll", &error), (Names{"d.dll"}));
}

TEST_F(FindTest, FillsAttributesAndSizes) {
    MakeFolder("pkg/sub");
    MakeFile("pkg/data.bin", std::string(70000, 'z'));
    ASSERT_TRUE(SetFileAttributesW(L"\\pkg\\data.bin", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(L"\\pkg\\sub", FILE_ATTRIBUTE_ARCHIVE));
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"\\pkg\\*.*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(host::Narrow(data.cFileName), "data.bin");
    EXPECT_EQ(data.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(data.nFileSizeLow, 70000u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);
    ASSERT_TRUE(FindNextFileW(search, &data));
    EXPECT_EQ(host::Narrow(data.cFileName), "sub");
    EXPECT_EQ(data.dwFileAttributes, 0x30u);
    EXPECT_TRUE(FindClose(search));
}

TEST_F(FindTest, FailuresTellAMissingFolderFromNoMatch) {
    MakeFolder("empty");
    MakeFile("file");
    struct Case {
        const wchar_t* pattern;
        DWORD error;
    } cases[] = {
        {L"\\none\\*.*", ERROR_PATH_NOT_FOUND},
        {L"\\file\\*.*", ERROR_PATH_NOT_FOUND},
        {L"\\empty\\*.*", ERROR_FILE_NOT_FOUND},
        {L"\\empty\\*.txt", ERROR_FILE_NOT_FOUND},
        {L"relative\\*.*", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        DWORD error = 0;
        EXPECT_TRUE(FindAll(c.pattern, &error).empty()) << host::Narrow(c.pattern);
        EXPECT_EQ(error, c.error) << host::Narrow(c.pattern);
    }
}

TEST_F(FindTest, DeletingFoundFilesWhileSearchingIsSafe) {
    MakeFolder("pkg");
    for (const char* name : {"a", "b", "c", "d"}) MakeFile(std::string("pkg/") + name);
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"\\pkg\\*.*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<std::string> seen{host::Narrow(data.cFileName)};
    // Delete the one just found and the one due next: the latter is skipped.
    EXPECT_TRUE(DeleteFileW(L"\\pkg\\a"));
    EXPECT_TRUE(DeleteFileW(L"\\pkg\\b"));
    MakeFile("pkg/e");  // appears after the search began: not seen
    while (FindNextFileW(search, &data)) {
        seen.push_back(host::Narrow(data.cFileName));
        std::wstring path = L"\\pkg\\" + std::wstring(data.cFileName);
        EXPECT_TRUE(DeleteFileW(path.c_str()));
    }
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    EXPECT_EQ(seen, (Names{"a", "c", "d"}));
}

TEST_F(FindTest, ClosedAndResetSearchesAreInvalidHandles) {
    MakeFolder("pkg");
    MakeFile("pkg/a");
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"\\pkg\\*.*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(FindClose(search));
    PoisonLastError();
    EXPECT_FALSE(FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

    search = FindFirstFileW(L"\\pkg\\*.*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    host::Reset();
    PoisonLastError();
    EXPECT_FALSE(FindClose(search));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}
