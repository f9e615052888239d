// The PC's own file system, on Windows: every attribute bit is the file's
// own, and a file's identity and change time come from its handle.
#include "pc_files.h"

#include <windows.h>

#include <random>
#include <system_error>

namespace hailpatch {

namespace {

const DWORD kKeptBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_ARCHIVE;

std::int64_t Ticks(const LARGE_INTEGER& time) { return time.QuadPart; }

} // namespace

bool ReadStamp(const fs::path& path, PcStamp* stamp)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    bool ok = GetFileInformationByHandle(file, &info) &&
              GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof(basic));
    CloseHandle(file);
    if (!ok) {
        return false;
    }
    stamp->folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    stamp->size = stamp->folder ? 0 : (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp->modified = Ticks(basic.LastWriteTime);
    stamp->statusChanged = Ticks(basic.ChangeTime);
    stamp->identity = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

void CopyAttributeBits(const fs::path& from, const fs::path& to)
{
    DWORD bits = GetFileAttributesW(from.c_str());
    if (bits != INVALID_FILE_ATTRIBUTES) {
        bits &= kKeptBits;
        SetFileAttributesW(to.c_str(), bits != 0 ? bits : FILE_ATTRIBUTE_NORMAL);
    }
}

bool MakeTemporaryFolder(const std::string& tag, fs::path* folder, std::uintmax_t)
{
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        return false;
    }
    std::random_device seed;
    std::mt19937 random(seed() ^ GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("hailpatch-" + tag + "-" + std::to_string(random() % 1000000000u));
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            *folder = candidate;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

} // namespace hailpatch
