// Files on device paths where the host backend answers for the device alone:
// attributes kept for other programs, removing the root, and fopen's native
// names. The rules Win32 shares are in the conformance cases.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "DeviceRootFixture.h"

using FilesTest = DeviceRootTest;

TEST_F(FilesTest, AttributesSurviveTheProcessThatSetThem) {
    MakeFolder("dir");
    MakeFile("file");
    ASSERT_TRUE(SetFileAttributesW(L"\\dir", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(L"\\file", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool same = GetFileAttributesW(L"\\dir") == 0x31 && GetFileAttributesW(L"\\file") == 0x05;
        _exit(same ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Read-only is the owner's write permission, seen by any program.
    struct stat st;
    ASSERT_EQ(stat(Native("file").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IWUSR, 0u);
    chmod(Native("file").c_str(), 0644);
    EXPECT_EQ(GetFileAttributesW(L"\\file"), (DWORD)FILE_ATTRIBUTE_SYSTEM);
}

// Under Win32 the root is the conformance run's current folder, which
// answers a sharing violation instead.
TEST_F(FilesTest, RemovingTheRootIsRefused) {
    PoisonLastError();
    EXPECT_FALSE(RemoveDirectoryW(L"\\"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_TRUE(std::filesystem::is_directory(root_));
}

TEST_F(FilesTest, FopenWritesCodePage949PathsUnderTheirUtf8Names) {
    MakeFolder("ResidentFlash/Log");
    // "\ResidentFlash\Log\기록.log" in code page 949.
    std::string path = host::Utf8ToCp949("\\ResidentFlash\\Log\\\xEA\xB8\xB0\xEB\xA1\x9D.log");
    FILE* file = HostFopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    fputs("line\r\n", file);
    fclose(file);
    EXPECT_EQ(Contents("ResidentFlash/Log/\xEA\xB8\xB0\xEB\xA1\x9D.log"), "line\r\n");
}
