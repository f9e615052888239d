// Attributes, deletion, copying, folders and fopen on device paths.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "DeviceRootFixture.h"

using FilesTest = DeviceRootTest;

TEST_F(FilesTest, PlainFilesFoldersAndMissingPaths) {
    MakeFolder("ResidentFlash");
    MakeFile("ResidentFlash/file");
    EXPECT_EQ(GetFileAttributesW(L"\\ResidentFlash"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(L"\\ResidentFlash\\file"), (DWORD)FILE_ATTRIBUTE_NORMAL);
    PoisonLastError();
    EXPECT_EQ(GetFileAttributesW(L"\\ResidentFlash\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    PoisonLastError();
    EXPECT_EQ(GetFileAttributesW(L"\\Missing\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    PoisonLastError();
    EXPECT_EQ(GetFileAttributesW(L"\\ResidentFlash\\file\\below"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, AttributesAreSetAndReadBackOnFilesAndFolders) {
    MakeFolder("dir");
    MakeFile("file");
    PoisonLastError();
    ASSERT_TRUE(SetFileAttributesW(L"\\file", 0x01 | 0x02 | 0x04 | 0x20));
    EXPECT_EQ(GetLastError(), 0xDEADBEEF) << "success leaves the last error alone";
    EXPECT_EQ(GetFileAttributesW(L"\\file"), 0x27u);
    ASSERT_TRUE(SetFileAttributesW(L"\\file", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(L"\\file"), (DWORD)FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(SetFileAttributesW(L"\\file", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(L"\\file"), (DWORD)FILE_ATTRIBUTE_HIDDEN);

    ASSERT_TRUE(SetFileAttributesW(L"\\dir", FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesW(L"\\dir"), 0x30u);
    ASSERT_TRUE(SetFileAttributesW(L"\\dir", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(L"\\dir"), 0x12u);
    ASSERT_TRUE(SetFileAttributesW(L"\\dir", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(L"\\dir"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(SetFileAttributesW(L"\\file", FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(L"\\file"), (DWORD)FILE_ATTRIBUTE_NORMAL);

    PoisonLastError();
    EXPECT_FALSE(SetFileAttributesW(L"\\none", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

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

TEST_F(FilesTest, DeleteRefusesReadOnlyFilesAndFolders) {
    MakeFolder("dir");
    MakeFile("locked");
    MakeFile("plain");
    ASSERT_TRUE(SetFileAttributesW(L"\\locked", FILE_ATTRIBUTE_READONLY));
    for (const wchar_t* path : {L"\\locked", L"\\dir"}) {
        PoisonLastError();
        EXPECT_FALSE(DeleteFileW(path));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    EXPECT_TRUE(NativeExists("locked"));
    EXPECT_TRUE(NativeExists("dir"));
    PoisonLastError();
    EXPECT_FALSE(DeleteFileW(L"\\none"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(DeleteFileW(L"\\PLAIN"));
    EXPECT_FALSE(NativeExists("plain"));
}

TEST_F(FilesTest, CopyOverwritesAndCarriesAttributes) {
    MakeFile("src", "new contents");
    MakeFile("dst", "old");
    ASSERT_TRUE(CopyFileW(L"\\src", L"\\dst", FALSE));
    EXPECT_EQ(Contents("dst"), "new contents");
    EXPECT_EQ(GetFileAttributesW(L"\\dst"), (DWORD)FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(SetFileAttributesW(L"\\src", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CopyFileW(L"\\src", L"\\copy", FALSE));
    EXPECT_EQ(GetFileAttributesW(L"\\copy"), 0x03u);
    EXPECT_EQ(Contents("copy"), "new contents");
    // Attributes the source lacks do not linger on an overwritten file.
    ASSERT_TRUE(SetFileAttributesW(L"\\src", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(SetFileAttributesW(L"\\dst", FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(CopyFileW(L"\\src", L"\\dst", FALSE));
    EXPECT_EQ(GetFileAttributesW(L"\\dst"), (DWORD)FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesTest, CopyFailures) {
    MakeFile("src", "source");
    MakeFile("dst", "kept");
    MakeFile("locked", "kept");
    MakeFolder("dir");
    ASSERT_TRUE(SetFileAttributesW(L"\\locked", FILE_ATTRIBUTE_READONLY));
    struct Case {
        const wchar_t* source;
        const wchar_t* destination;
        BOOL failIfExists;
        DWORD error;
    } cases[] = {
        {L"\\src", L"\\dst", TRUE, ERROR_FILE_EXISTS},
        {L"\\src", L"\\locked", FALSE, ERROR_ACCESS_DENIED},
        {L"\\src", L"\\dir", FALSE, ERROR_ACCESS_DENIED},
        {L"\\dir", L"\\new", FALSE, ERROR_ACCESS_DENIED},
        {L"\\none", L"\\new", FALSE, ERROR_FILE_NOT_FOUND},
        {L"\\src", L"\\nofolder\\new", FALSE, ERROR_PATH_NOT_FOUND},
        // The same file under another spelling must not be truncated.
        {L"\\src", L"\\SRC", FALSE, 32},
    };
    for (const Case& c : cases) {
        PoisonLastError();
        EXPECT_FALSE(CopyFileW(c.source, c.destination, c.failIfExists)) << host::Narrow(c.destination);
        EXPECT_EQ(GetLastError(), c.error) << host::Narrow(c.destination);
    }
    EXPECT_EQ(Contents("src"), "source");
    EXPECT_EQ(Contents("dst"), "kept");
    EXPECT_EQ(Contents("locked"), "kept");
    EXPECT_FALSE(NativeExists("new"));
}

TEST_F(FilesTest, CreateDirectoryMakesOneLevelOnly) {
    MakeFile("file");
    ASSERT_TRUE(CreateDirectoryW(L"\\a", NULL));
    EXPECT_EQ(GetFileAttributesW(L"\\a"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    for (const wchar_t* path : {L"\\a", L"\\A", L"\\file", L"\\"}) {
        PoisonLastError();
        EXPECT_FALSE(CreateDirectoryW(path, NULL));
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS) << host::Narrow(path);
    }
    PoisonLastError();
    EXPECT_FALSE(CreateDirectoryW(L"\\x\\y", NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(NativeExists("x"));
}

TEST_F(FilesTest, RemoveDirectoryRules) {
    MakeFolder("full/sub");
    MakeFolder("locked");
    MakeFolder("empty");
    MakeFile("file");
    ASSERT_TRUE(SetFileAttributesW(L"\\locked", FILE_ATTRIBUTE_READONLY));
    struct Case {
        const wchar_t* path;
        DWORD error;
    } cases[] = {
        {L"\\full", ERROR_DIR_NOT_EMPTY},
        {L"\\file", ERROR_DIRECTORY},
        {L"\\locked", ERROR_ACCESS_DENIED},
        {L"\\none", ERROR_FILE_NOT_FOUND},
        {L"\\", ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        PoisonLastError();
        EXPECT_FALSE(RemoveDirectoryW(c.path)) << host::Narrow(c.path);
        EXPECT_EQ(GetLastError(), c.error) << host::Narrow(c.path);
    }
    EXPECT_TRUE(NativeExists("full/sub"));
    EXPECT_TRUE(NativeExists("locked"));
    EXPECT_TRUE(RemoveDirectoryW(L"\\EMPTY"));
    EXPECT_FALSE(NativeExists("empty"));
}

TEST_F(FilesTest, FopenMapsCodePage949PathsAndKeepsWindowsRefusals) {
    MakeFolder("ResidentFlash/Log");
    // "\ResidentFlash\Log\기록.log" in code page 949.
    std::string path = host::Utf8ToCp949("\\ResidentFlash\\Log\\\xEA\xB8\xB0\xEB\xA1\x9D.log");
    FILE* file = HostFopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    fputs("line\r\n", file);
    fclose(file);
    EXPECT_EQ(Contents("ResidentFlash/Log/\xEA\xB8\xB0\xEB\xA1\x9D.log"), "line\r\n");

    file = HostFopen("\\residentflash\\log\\missing.txt", "r");
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(HostFopen("\\ResidentFlash\\NoFolder\\x.log", "ab"), nullptr);
    EXPECT_EQ(HostFopen("\\ResidentFlash\\Log", "r"), nullptr) << "a folder is not a file";
    EXPECT_EQ(HostFopen("\\ResidentFlash\\Log\\\x81", "ab"), nullptr) << "unmappable path";

    MakeFile("ResidentFlash/Log/locked", "kept");
    ASSERT_TRUE(SetFileAttributesW(L"\\ResidentFlash\\Log\\locked", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(HostFopen("\\ResidentFlash\\Log\\locked", "ab"), nullptr);
    EXPECT_EQ(HostFopen("\\ResidentFlash\\Log\\locked", "w"), nullptr);
    file = HostFopen("\\ResidentFlash\\Log\\locked", "rt");
    ASSERT_NE(file, nullptr);
    fclose(file);
    EXPECT_EQ(Contents("ResidentFlash/Log/locked"), "kept");
}
