#include "tests/fuzz/fuzz_device.h"

#include <stdlib.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/host/host_control.h"

namespace fs = std::filesystem;

namespace fuzzdevice {
namespace {

std::vector<std::string>& ScratchFolders()
{
    static std::vector<std::string> folders;
    return folders;
}

void RemoveScratchFolders()
{
    for (const std::string& folder : ScratchFolders()) {
        EmptyFolder(folder);
        std::error_code ignored;
        fs::remove(folder, ignored);
    }
}

// A memory file system takes the thousands of small files and folders a
// run makes and removes many times faster than a disk; the device needs user
// extended attributes there, which newer kernels give it.
bool HoldsAttributes(const std::string& folder)
{
    const std::string probe = folder + "/.probe";
    WriteNativeFile(probe, "");
    bool held = setxattr(probe.c_str(), "user.hailwatch.probe", "1", 1, 0) == 0;
    std::error_code ignored;
    fs::remove(probe, ignored);
    return held;
}

std::string MakeFolderIn(const fs::path& parent, const char* name)
{
    std::string pattern = (parent / name).string() + "-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr)
        return std::string();
    return pattern;
}

} // namespace

std::string MakeScratchFolder(const char* name)
{
    std::string folder = MakeFolderIn("/dev/shm", name);
    if (!folder.empty() && !HoldsAttributes(folder)) {
        fs::remove(folder);
        folder.clear();
    }
    if (folder.empty())
        folder = MakeFolderIn(fs::temp_directory_path(), name);
    if (folder.empty()) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    if (ScratchFolders().empty())
        std::atexit(RemoveScratchFolders);
    ScratchFolders().push_back(folder);
    return folder;
}

void EmptyFolder(const std::string& folder)
{
    std::error_code ignored;
    // A folder without write permission keeps its entries; give it back.
    for (fs::recursive_directory_iterator it(folder, ignored), end; it != end; it.increment(ignored)) {
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored))
        fs::remove_all(entry.path(), ignored);
}

void WriteNativeFile(const std::string& path, const std::string& bytes)
{
    std::error_code ignored;
    fs::create_directories(fs::path(path).parent_path(), ignored);
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadNativeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> EchoedLines()
{
    std::vector<std::string> lines;
    for (const std::wstring& echoed : host::DebugOutput()) {
        // The echo widens each byte on its own; the low 8 bits are the byte.
        std::string bytes;
        for (wchar_t unit : echoed)
            bytes += static_cast<char>(unit & 0xFF);
        lines.push_back(bytes);
    }
    return lines;
}

void Fail(const char* target, const std::string& what, size_t inputSize)
{
    std::fprintf(stderr, "%s: %s (input of %zu bytes)\n", target, what.c_str(), inputSize);
    // abort() skips the handlers of atexit.
    RemoveScratchFolders();
    std::abort();
}

} // namespace fuzzdevice
