// golden_device: the device side of a golden case played on real Win32 (the
// start-up cases under Wine, tests/e2e/golden_startup.sh). Run with the device
// root as the current drive, so "\ResidentFlash\..." is a device path.
//
//   golden_device attrib PATH VALUE [PATH VALUE...]
//       SetFileAttributesW(PATH, VALUE): a case's attributes.txt, VALUE in hex
//   golden_device tree
//       the whole device on standard output, as the golden runner's ListTree
//       writes it: one line per entry, sorted by path, "\Folder\ 0xNN" for a
//       folder and "\Folder\file 0xNN content" for a file (content escaped,
//       at most 64 bytes), paths in UTF-8, attributes as Win32 reports them
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tree_line.h"

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return std::string();
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

bool ReadWhole(const std::wstring& path, std::string* bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes->append(buffer, got);
    }
    CloseHandle(file);
    return true;
}

// Every entry below `folder` ("" for the root), depth first.
void List(const std::wstring& folder, std::vector<std::string>* lines)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines->push_back(golden::FolderLine(Utf8(path), found.dwFileAttributes));
            List(path, lines);
        } else {
            std::string bytes;
            if (!ReadWhole(path, &bytes)) {
                bytes = "<unreadable>";
            }
            lines->push_back(golden::FileLine(Utf8(path), found.dwFileAttributes, bytes));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

int Tree()
{
    std::vector<std::string> lines;
    List(L"", &lines);
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    return WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                   written == text.size()
               ? 0
               : 1;
}

int Attributes(int argc, wchar_t** argv)
{
    int failed = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        DWORD value = static_cast<DWORD>(std::wcstoul(argv[i + 1], nullptr, 16));
        if (!SetFileAttributesW(argv[i], value)) {
            std::fprintf(stderr, "cannot set attributes %s on %s (error %lu)\n", Utf8(argv[i + 1]).c_str(),
                         Utf8(argv[i]).c_str(), GetLastError());
            failed = 1;
        }
    }
    return failed;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wstring(argv[1]) == L"tree") {
        return Tree();
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"attrib" && argc % 2 == 0) {
        return Attributes(argc, argv);
    }
    std::fprintf(stderr, "usage: golden_device tree | attrib PATH VALUE [PATH VALUE...]\n");
    return 2;
}
