// What the hailpatch engine needs of the PC's own file system beyond
// std::filesystem: a file's change stamps, the attribute bits the host
// backend keeps, and a fresh temporary folder. pc_files_posix.cpp serves
// Linux, pc_files_win32.cpp a Windows PC.
#ifndef HAILPATCH_PC_FILES_H
#define HAILPATCH_PC_FILES_H

#include <cstdint>
#include <filesystem>
#include <string>

namespace hailpatch {

namespace fs = std::filesystem;

// Enough to tell that a line changed a file, even to the same size and time.
struct PcStamp {
    bool folder = false;
    std::uintmax_t size = 0;
    std::int64_t modified = 0;
    std::int64_t statusChanged = 0;
    std::uint64_t identity = 0;
    bool operator==(const PcStamp& other) const
    {
        return folder == other.folder && size == other.size && modified == other.modified &&
               statusChanged == other.statusChanged && identity == other.identity;
    }
};

bool ReadStamp(const fs::path& path, PcStamp* stamp);
// The read-only, hidden, system and archive bits of `from`, given to `to`.
void CopyAttributeBits(const fs::path& from, const fs::path& to);
// A new, empty folder under the PC's temporary folder, named after `tag`;
// with `inMemory` bytes to hold, in a memory file system where the PC has
// one with room for them (a model terminal's files are written and undone
// thousands of times).
bool MakeTemporaryFolder(const std::string& tag, fs::path* folder, std::uintmax_t inMemory = 0);
// Writes a new file that its owner alone may read and write (a private key);
// never over an existing file. False, with one line in `error`, otherwise.
bool WritePrivateFile(const fs::path& path, const std::string& bytes, std::string* error);

} // namespace hailpatch

#endif
