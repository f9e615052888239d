// The PC's own file system, on Windows: every attribute bit is the file's
// own, and a file's identity and change time come from its handle.
#include "pc_files.h"

#include <windows.h>

#include <random>
#include <vector>
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

namespace {

// The user this process runs as, from its token; empty when it cannot be told.
std::vector<BYTE> CurrentUser()
{
    HANDLE token = nullptr;
    std::vector<BYTE> user;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return user;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        user.clear();
    }
    CloseHandle(token);
    return user;
}

// A new file's protected access list granting its user alone every right,
// as a private key's 0600 on Linux.
class OwnerOnly {
public:
    bool Make()
    {
        user_ = CurrentUser();
        if (user_.empty()) {
            return false;
        }
        PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        PACL acl = reinterpret_cast<PACL>(acl_.data());
        return InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
               AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
               InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
               SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    SECURITY_ATTRIBUTES* Attributes()
    {
        attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
        return &attributes_;
    }

private:
    std::vector<BYTE> user_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
};

} // namespace

bool WritePrivateFile(const fs::path& path, const std::string& bytes, std::string* error)
{
    OwnerOnly access;
    HANDLE file = access.Make() ? CreateFileW(path.c_str(), GENERIC_WRITE, 0, access.Attributes(), CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)
                                : INVALID_HANDLE_VALUE;
    DWORD written = 0;
    bool good = file != INVALID_HANDLE_VALUE &&
                WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file)) {
        good = false;
    }
    if (!good) {
        *error = path.u8string() + ": cannot be written";
    }
    if (!good && file != INVALID_HANDLE_VALUE) {
        DeleteFileW(path.c_str());   // no half key left behind
    }
    return good;
}

} // namespace hailpatch
