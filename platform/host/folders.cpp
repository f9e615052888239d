// Whole folders for tools and tests, through the same native calls as the
// device's file calls, so a PC folder and a memory-held one are one thing to
// them.
#include <map>
#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/host_control.h"
#include "platform/host/native.h"

namespace host {

namespace {

const unsigned kCopiedBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::string Join(const std::string& folder, const std::string& name) { return folder + "/" + name; }

bool CopyEntry(const std::string& from, const std::string& to, std::string* error);

bool CopyContents(const std::string& from, const std::string& to, std::string* error) {
    std::vector<std::string> names;
    if (!native::ListNames(from, &names)) {
        *error = from + ": cannot be read";
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (!CopyEntry(Join(from, names[i]), Join(to, names[i]), error)) return false;
    }
    return true;
}

// The attributes go on last: a read-only folder would refuse its contents.
bool CopyEntry(const std::string& from, const std::string& to, std::string* error) {
    native::FileInfo info;
    unsigned failure = native::Stat(from, &info);
    if (failure == 0 && info.folder) {
        failure = native::Exists(to) ? 0 : native::MakeFolder(to);
        if (failure == 0 && !CopyContents(from, to, error)) return false;
    } else if (failure == 0) {
        failure = native::CopyData(from, info, to);
    }
    if (failure == 0) failure = native::StoreAttributes(to, info.readOnly, native::ExtendedBits(from) & kCopiedBits);
    if (failure != 0) *error = from + ": cannot be copied (error " + std::to_string(failure) + ")";
    return failure == 0;
}

void ListInto(const std::string& folder, const std::string& relative, bool hashBytes,
              std::map<std::string, PathState>* out) {
    std::vector<std::string> names;
    if (!native::ListNames(folder, &names)) return;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string path = relative.empty() ? names[i] : relative + "/" + names[i];
        std::string native = Join(folder, names[i]);
        PathState state = detail::StateAt(native, hashBytes);
        (*out)[path] = state;
        if (state.folder) ListInto(native, path, hashBytes, out);
    }
}

} // namespace

std::string MakeMemoryFolder() { return native::MakeMemoryDevice(); }

void DropMemoryFolder(const std::string& root) { native::DropMemoryDevice(root); }

bool CopyFolder(const std::string& from, const std::string& to, std::string* error) {
    native::FileInfo info;
    if (native::Stat(from, &info) != 0 || !info.folder) {
        *error = from + ": no such folder";
        return false;
    }
    if (!native::Exists(to) && native::MakeFolder(to) != 0) {
        *error = to + ": cannot be made";
        return false;
    }
    return CopyContents(from, to, error);
}

std::vector<FolderEntry> ListFolder(const std::string& folder, bool hashBytes) {
    std::map<std::string, PathState> states;
    ListInto(folder, std::string(), hashBytes, &states);
    std::vector<FolderEntry> entries;
    entries.reserve(states.size());
    for (std::map<std::string, PathState>::const_iterator it = states.begin(); it != states.end(); ++it) {
        FolderEntry entry = {it->first, it->second};
        entries.push_back(entry);
    }
    return entries;
}

bool MakeFolders(const std::string& folder) {
    if (native::Exists(folder)) return true;
    size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
    return native::MakeFolder(folder) == 0;
}

bool RemoveTree(const std::string& path) {
    native::FileInfo info;
    if (native::Stat(path, &info) != 0) return !native::Exists(path);
    native::StoreAttributes(path, false, native::ExtendedBits(path));
    if (!info.folder) return native::RemoveFile(path) == 0;
    std::vector<std::string> names;
    native::ListNames(path, &names);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!RemoveTree(Join(path, names[i]))) return false;
    }
    return native::RemoveFolder(path) == 0;
}

bool ReadWholeFile(const std::string& file, std::string* bytes) {
    unsigned error = 0;
    native::FileAccess reading = {false, false, false};
    native::OpenFile* open = native::OpenFileAt(file, reading, &error);
    if (open == NULL) return false;
    bytes->clear();
    char block[65536];
    size_t got;
    bool failed = false;
    while ((got = native::ReadFrom(open, block, sizeof block, &failed)) > 0) bytes->append(block, got);
    native::CloseFile(open);
    return !failed;
}

bool WriteWholeFile(const std::string& file, const std::string& bytes) {
    unsigned error = 0;
    native::FileAccess writing = {true, true, true};
    native::OpenFile* open = native::OpenFileAt(file, writing, &error);
    if (open == NULL) return false;
    bool written = bytes.empty() || native::WriteTo(open, bytes.data(), bytes.size());
    return native::CloseFile(open) && written;
}

} // namespace host
