// Injected failures of the file calls.
#include <string>

#include "DeviceRootFixture.h"

using FaultTest = DeviceRootTest;

namespace {

struct Operation {
    const char* name;
    bool (*call)();  // true if the call succeeded
    const char* leftAlone;  // native name that must be unchanged after a failure
};

const Operation kOperations[] = {
    {"DeleteFileW", [] { return DeleteFileW(L"\\file") != FALSE; }, "file"},
    {"CopyFileW", [] { return CopyFileW(L"\\file", L"\\copy", FALSE) != FALSE; }, "copy"},
    {"CreateDirectoryW", [] { return CreateDirectoryW(L"\\made", NULL) != FALSE; }, "made"},
    {"RemoveDirectoryW", [] { return RemoveDirectoryW(L"\\dir") != FALSE; }, "dir"},
    {"SetFileAttributesW", [] { return SetFileAttributesW(L"\\file", FILE_ATTRIBUTE_READONLY) != FALSE; }, "file"},
    {"FindFirstFileW",
     [] {
         WIN32_FIND_DATAW data;
         HANDLE search = FindFirstFileW(L"\\dir\\*.*", &data);
         if (search == INVALID_HANDLE_VALUE) return false;
         FindClose(search);
         return true;
     },
     "dir"},
    {"fopen",
     [] {
         FILE* file = HostFopen("\\made", "w");
         if (file == nullptr) return false;
         fclose(file);
         return true;
     },
     "made"},
};

} // namespace

TEST_F(FaultTest, EachOperationFailsTheGivenNumberOfTimesWithoutTouchingTheDisk) {
    for (const Operation& op : kOperations) {
        host::Reset();
        for (const char* name : {"made", "copy", "file", "dir"}) std::filesystem::remove_all(Native(name));
        MakeFolder("dir");
        MakeFile("dir/inside");
        MakeFile("file");
        if (std::string(op.name) == "RemoveDirectoryW") std::filesystem::remove(Native("dir/inside"));
        bool existed = NativeExists(op.leftAlone);

        host::FailNext(op.name, 2, ERROR_WRITE_FAULT);
        for (int attempt = 0; attempt < 2; ++attempt) {
            PoisonLastError();
            EXPECT_FALSE(op.call()) << op.name << " attempt " << attempt;
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_WRITE_FAULT) << op.name;
        }
        EXPECT_EQ(NativeExists(op.leftAlone), existed) << op.name;
        EXPECT_EQ(GetFileAttributesW(L"\\file"), (DWORD)FILE_ATTRIBUTE_NORMAL) << op.name;
        EXPECT_TRUE(op.call()) << op.name << " after the injected failures";
    }
}

TEST_F(FaultTest, PathFragmentLimitsTheFaultToMatchingCalls) {
    host::FailNext("CreateDirectoryW", 1, ERROR_ACCESS_DENIED, "\\Update");
    EXPECT_TRUE(CreateDirectoryW(L"\\SDIUpdate", NULL));  // no backslash before "Update"
    PoisonLastError();
    EXPECT_FALSE(CreateDirectoryW(L"\\Update", NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CreateDirectoryW(L"\\Update", NULL));

    // A search matches on its whole pattern, not just the folder.
    MakeFile("Update/a.txt");
    host::FailNext("FindFirstFileW", 1, ERROR_PATH_NOT_FOUND, "*.txt");
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"\\Update\\*.*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(FindFirstFileW(L"\\Update\\*.txt", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST_F(FaultTest, FaultsStayWithTheirOperationAndResetClearsThem) {
    MakeFolder("dir");
    MakeFile("file");
    host::FailNext("DeleteFileW", 1, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(RemoveDirectoryW(L"\\dir"));
    host::Reset();
    EXPECT_TRUE(DeleteFileW(L"\\file"));
}
