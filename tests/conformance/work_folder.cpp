#include "tests/conformance/work_folder.h"

#include <stdio.h>

#include <algorithm>
#include <vector>

namespace conformance {

const wchar_t kWorkFolder[] = L"\\ResidentFlash\\Conformance";

std::wstring WorkPath(const std::wstring& name)
{
    return std::wstring(kWorkFolder) + L"\\" + name;
}

std::string ToAnsi(const std::wstring& path)
{
    char buffer[MAX_PATH * 2];
    int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, buffer, sizeof(buffer), NULL, NULL);
    return n > 0 ? std::string(buffer) : std::string();
}

std::string Printable(const std::wstring& path)
{
    std::string out;
    for (size_t i = 0; i < path.size(); ++i)
        out += (path[i] > 0 && path[i] < 0x7f) ? static_cast<char>(path[i]) : '?';
    return out;
}

bool WriteFileText(const std::wstring& path, const std::string& text)
{
    FILE* file = fopen(ToAnsi(path).c_str(), "wb");
    if (file == NULL)
        return false;
    bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
    return fclose(file) == 0 && written;
}

std::string ReadFileText(const std::wstring& path)
{
    FILE* file = fopen(ToAnsi(path).c_str(), "rb");
    if (file == NULL)
        return "<missing>";
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, n);
    fclose(file);
    return text;
}

namespace {

bool IsDotEntry(const wchar_t* name)
{
    return (name[0] == L'.' && name[1] == L'\0') ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!IsDotEntry(data.cFileName))
            names.push_back(data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

} // namespace

void RemoveTree(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    std::vector<std::wstring> names = FolderEntries(path);
    for (size_t i = 0; i < names.size(); ++i)
        RemoveTree(path + L"\\" + names[i]);
    RemoveDirectoryW(path.c_str());
}

bool ResetWorkFolder()
{
    RemoveTree(kWorkFolder);
    CreateDirectoryW(L"\\ResidentFlash", NULL);
    return CreateDirectoryW(kWorkFolder, NULL) != FALSE;
}

std::string ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names = FolderEntries(folder);
    std::vector<std::string> printable;
    for (size_t i = 0; i < names.size(); ++i)
        printable.push_back(Printable(names[i]));
    std::sort(printable.begin(), printable.end());
    std::string joined;
    for (size_t i = 0; i < printable.size(); ++i)
        joined += (i == 0 ? "" : "|") + printable[i];
    return joined;
}

} // namespace conformance
