// Folder searches where the host backend answers for the device alone: a
// file as the folder, names that go or come while a search runs (Wine hands
// out what it read when the search began), and handles a reset ends. The
// patterns and what a search reports are in the conformance cases.
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

// Wine answers ERROR_INVALID_NAME.
TEST_F(FindTest, AFileAsTheFolderIsAMissingPath) {
    MakeFile("file");
    DWORD error = 0;
    EXPECT_TRUE(FindAll(L"\\file\\*.*", &error).empty());
    EXPECT_EQ(error, (DWORD)ERROR_PATH_NOT_FOUND);
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
