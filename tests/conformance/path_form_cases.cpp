// Path forms a patch list can hold beside the plain absolute path: without
// the leading backslash, with a leading pair (a network path), and with
// trailing dots or spaces in a name.
#include <string>

#include "tests/conformance/cases.h"
#include "tests/conformance/work_folder.h"

namespace conformance {
namespace {

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

// Every call the update engine makes, on a network path: none reaches the
// device.
void NetworkPathFails(const std::wstring& unc, const std::wstring& local)
{
    const std::string shown = Printable(unc);
    Poison();
    DWORD a = Attributes(unc);
    ok(a == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_BAD_DEV_TYPE,
       "attributes of %s: got 0x%lx, error %lu", shown.c_str(), U(a), LastError());
    Poison();
    BOOL done = SetFileAttributesW(unc.c_str(), FILE_ATTRIBUTE_READONLY);
    ok(!done && GetLastError() == ERROR_PATH_NOT_FOUND, "set attributes of %s: got %d, error %lu",
       shown.c_str(), done, LastError());
    Poison();
    done = DeleteFileW(unc.c_str());
    ok(!done && GetLastError() == ERROR_PATH_NOT_FOUND, "delete %s: got %d, error %lu",
       shown.c_str(), done, LastError());
    Poison();
    done = CopyFileW(unc.c_str(), WorkPath(L"from-net.txt").c_str(), FALSE);
    ok(!done && GetLastError() == ERROR_PATH_NOT_FOUND, "copy from %s: got %d, error %lu",
       shown.c_str(), done, LastError());
    Poison();
    done = CopyFileW(local.c_str(), unc.c_str(), FALSE);
    ok(!done && GetLastError() == ERROR_PATH_NOT_FOUND, "copy onto %s: got %d, error %lu",
       shown.c_str(), done, LastError());
    Poison();
    done = CreateDirectoryW((unc + L"-dir").c_str(), NULL);
    ok(!done && GetLastError() == ERROR_PATH_NOT_FOUND, "create folder beside %s: got %d, error %lu",
       shown.c_str(), done, LastError());
    WIN32_FIND_DATAW data;
    Poison();
    HANDLE search = FindFirstFileW((unc + L"*").c_str(), &data);
    ok(search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND,
       "search %s*: error %lu", shown.c_str(), LastError());
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    FILE* stream = fopen(ToAnsi(unc).c_str(), "rb");
    ok(stream == NULL, "fopen of %s opened something", shown.c_str());
    if (stream != NULL)
        fclose(stream);
}

} // namespace

void RelativePathCases()
{
    ResetWorkFolder();
    WriteFileText(WorkPath(L"rel.txt"), "rel");
    // Windows CE has no current folder: such a path starts at the root (the
    // Win32 build runs with the root as its current folder).
    DWORD a = Attributes(L"ResidentFlash\\Conformance\\rel.txt");
    ok(a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY),
       "relative path of a file: got 0x%lx", U(a));
    a = Attributes(L"ResidentFlash/Conformance/rel.txt");
    ok(a != INVALID_FILE_ATTRIBUTES, "relative path with slashes: got 0x%lx", U(a));
    Poison();
    BOOL done = CreateDirectoryW(L"ResidentFlash\\Conformance\\made", NULL);
    ok(done && Attributes(WorkPath(L"made")) == FILE_ATTRIBUTE_DIRECTORY,
       "relative folder creation: got %d, error %lu", done, LastError());
    Poison();
    done = CopyFileW(L"ResidentFlash\\Conformance\\rel.txt", L"ResidentFlash\\Conformance\\made\\c.txt",
                     FALSE);
    ok(done && ReadFileText(WorkPath(L"made\\c.txt")) == "rel", "relative copy: got %d, error %lu",
       done, LastError());
    // "." and ".." are resolved by their spelling, and ".." stops at the root.
    a = Attributes(L"..\\ResidentFlash\\Conformance\\rel.txt");
    ok(a != INVALID_FILE_ATTRIBUTES, "relative path from '..': got 0x%lx", U(a));
    a = Attributes(L"\\..\\..\\ResidentFlash\\Conformance\\rel.txt");
    ok(a != INVALID_FILE_ATTRIBUTES, "'..' above the root: got 0x%lx", U(a));
    a = Attributes(L"\\ResidentFlash\\.\\Conformance\\none\\..\\rel.txt");
    ok(a != INVALID_FILE_ATTRIBUTES, "'.' and '..' of a missing folder: got 0x%lx", U(a));
    FILE* stream = fopen("ResidentFlash\\Conformance\\rel.txt", "rb");
    ok(stream != NULL, "fopen of a relative path failed");
    if (stream != NULL)
        fclose(stream);
    Poison();
    done = DeleteFileW(L"ResidentFlash\\Conformance\\made\\c.txt");
    ok(done && Attributes(WorkPath(L"made\\c.txt")) == INVALID_FILE_ATTRIBUTES,
       "relative delete: got %d, error %lu", done, LastError());
}

void NetworkPathCases()
{
    ResetWorkFolder();
    const std::wstring local = WorkPath(L"net.txt");
    WriteFileText(local, "local");
    NetworkPathFails(L"\\\\ResidentFlash\\Conformance\\net.txt", local);
    NetworkPathFails(L"//ResidentFlash/Conformance/net.txt", local);
    Poison();
    DWORD a = Attributes(L"\\\\ResidentFlash");
    ok(a == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_BAD_DEV_TYPE,
       "attributes of \\\\ResidentFlash: got 0x%lx, error %lu", U(a), LastError());
    ok(ReadFileText(local) == "local", "the device's file changed: '%s'", ReadFileText(local).c_str());
    ok(ListFolder(kWorkFolder) == "net.txt", "the work folder holds '%s'",
       ListFolder(kWorkFolder).c_str());
    // Repeated separators further in are one separator.
    a = Attributes(L"\\ResidentFlash\\\\Conformance\\\\\\net.txt");
    ok(a != INVALID_FILE_ATTRIBUTES, "repeated separators inside: got 0x%lx", U(a));
    a = Attributes(L"\\ResidentFlash\\Conformance\\");
    ok(a == FILE_ATTRIBUTE_DIRECTORY, "a folder with a trailing separator: got 0x%lx", U(a));
}

void TrailingDotCases()
{
    ResetWorkFolder();
    const std::wstring file = WorkPath(L"file.txt");
    WriteFileText(file, "file");

    // The last name loses every trailing dot and space.
    const wchar_t* lastNames[] = {L"file.txt.", L"file.txt ", L"file.txt...", L"file.txt . ."};
    for (size_t i = 0; i < sizeof(lastNames) / sizeof(lastNames[0]); ++i) {
        DWORD a = Attributes(WorkPath(lastNames[i]));
        ok(a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY), "'%s': got 0x%lx",
           Printable(lastNames[i]).c_str(), U(a));
    }
    // A name of dots alone is the folder it stands in.
    DWORD a = Attributes(WorkPath(L"..."));
    ok(a == FILE_ATTRIBUTE_DIRECTORY, "'...': got 0x%lx", U(a));
    // A folder name further in loses one trailing dot, no more.
    a = Attributes(L"\\ResidentFlash\\Conformance.\\file.txt");
    ok(a != INVALID_FILE_ATTRIBUTES, "'Conformance.' as a folder: got 0x%lx", U(a));
    Poison();
    a = Attributes(L"\\ResidentFlash\\Conformance..\\file.txt");
    ok(a == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_PATH_NOT_FOUND,
       "'Conformance..' as a folder: got 0x%lx, error %lu", U(a), LastError());
    Poison();
    a = Attributes(L"\\ResidentFlash\\Conformance \\file.txt");
    ok(a == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_PATH_NOT_FOUND,
       "'Conformance ' as a folder: got 0x%lx, error %lu", U(a), LastError());
    Poison();
    a = Attributes(WorkPath(L" file.txt"));
    ok(a == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND,
       "a leading space stays: got 0x%lx, error %lu", U(a), LastError());

    // New files and folders take the trimmed name.
    Poison();
    BOOL done = CopyFileW(file.c_str(), WorkPath(L"copy.txt. ").c_str(), FALSE);
    ok(done, "copy to 'copy.txt. ': got %d, error %lu", done, LastError());
    ok(WriteFileText(WorkPath(L"written.txt."), "w"), "fopen of 'written.txt.' failed");
    Poison();
    done = CreateDirectoryW(WorkPath(L"folder. ").c_str(), NULL);
    ok(done, "folder 'folder. ': got %d, error %lu", done, LastError());
    ok(ListFolder(kWorkFolder) == "copy.txt|file.txt|folder|written.txt",
       "names after trimming: '%s'", ListFolder(kWorkFolder).c_str());
    a = Attributes(WorkPath(L"folder.\\"));
    ok(a == FILE_ATTRIBUTE_DIRECTORY, "'folder.' with a trailing separator: got 0x%lx", U(a));

    // So two spellings name one file.
    Poison();
    done = CopyFileW(file.c_str(), WorkPath(L"file.txt.").c_str(), FALSE);
    ok(!done && GetLastError() == ERROR_SHARING_VIOLATION, "copy onto itself as 'file.txt.': got %d, error %lu",
       done, LastError());
    ok(ReadFileText(file) == "file", "copy onto itself changed it to '%s'", ReadFileText(file).c_str());
    Poison();
    done = DeleteFileW(WorkPath(L"copy.txt ").c_str());
    ok(done && Attributes(WorkPath(L"copy.txt")) == INVALID_FILE_ATTRIBUTES,
       "delete 'copy.txt ': got %d, error %lu", done, LastError());
}

// Names no file can have.
void RefusedNameCases()
{
    ResetWorkFolder();
    WriteFileText(WorkPath(L"file.txt"), "file");
    const wchar_t surrogate[] = {L'a', 0xD800, L'.', L't', L'x', L't', 0};
    struct Refusal {
        std::wstring path;
        DWORD error;
    } refusals[] = {
        {L"", ERROR_PATH_NOT_FOUND},
        {WorkPath(L"file?.txt"), ERROR_INVALID_NAME},
        {WorkPath(L"*.txt"), ERROR_INVALID_NAME},
        {WorkPath(L"fi\x01le.txt"), ERROR_INVALID_NAME},
        {L"\\ResidentFlash\\Con?formance\\file.txt", ERROR_INVALID_NAME},
        // Half a surrogate pair is a name no file has.
        {WorkPath(surrogate), ERROR_FILE_NOT_FOUND},
    };
    for (size_t i = 0; i < sizeof(refusals) / sizeof(refusals[0]); ++i) {
        Poison();
        DWORD a = Attributes(refusals[i].path);
        ok(a == INVALID_FILE_ATTRIBUTES && GetLastError() == refusals[i].error,
           "'%s': got 0x%lx, error %lu, expected %lu", Printable(refusals[i].path).c_str(), U(a),
           LastError(), U(refusals[i].error));
    }
}

} // namespace conformance
