// The change journal of the host device: every change the file calls make is
// noted right before it is made, with what stood at its path, so that a tool
// can put the device back to any earlier point (and explore what a power cut
// there would leave) without copying trees.
//
// A file that a change deletes or replaces is moved into the stash folder,
// which costs nothing whatever its size; a file a stream rewrites in place is
// copied there; a stream that appends keeps only the old length. Undoing
// runs newest first, so a folder is empty again by the time its making is
// undone.
#include <stdio.h>

#include <string>
#include <vector>

#include "platform/host/backend_internal.h"
#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"

using host::PathState;
using host::native::FileInfo;

namespace {

const DWORD kExtendedBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
const unsigned long long kFnvOffset = 14695981039346656037ULL;
const unsigned long long kFnvPrime = 1099511628211ULL;

// How a change is taken back.
enum Undo {
    kCannot,             // noted only: the journal keeps no stash
    kRemoveNew,          // nothing stood there: remove what does now
    kRestoreStash,       // the old file waits in the stash
    kRestoreAttributes,  // only the attributes changed
    kRemakeFolder,       // a folder was removed
    kCutBack             // a stream appended to the file
};

struct Kept {
    host::JournalEntry entry;
    std::string nativePath;
    std::string stash;
    Undo undo;
};

struct Journal {
    bool kept = false;
    std::string stashFolder;
    unsigned long long stashed = 0;
    std::vector<Kept> changes;
};

Journal& TheJournal() {
    static Journal journal;
    return journal;
}

unsigned long long HashBytes(const std::string& nativePath) {
    unsigned error = 0;
    host::native::FileAccess reading = {false, false, false};
    host::native::OpenFile* file = host::native::OpenFileAt(nativePath, reading, &error);
    unsigned long long hash = kFnvOffset;
    if (file == NULL) return hash;
    unsigned char block[65536];
    size_t got;
    bool failed = false;
    while ((got = host::native::ReadFrom(file, block, sizeof block, &failed)) > 0) {
        for (size_t i = 0; i < got; ++i) hash = (hash ^ block[i]) * kFnvPrime;
    }
    host::native::CloseFile(file);
    return hash;
}

} // namespace

namespace host {
namespace detail {

PathState StateAt(const std::string& nativePath, bool hashBytes) {
    PathState state;
    FileInfo info;
    if (host::native::Stat(nativePath, &info) != ERROR_SUCCESS) return state;
    state.exists = true;
    state.folder = info.folder;
    state.attributes = host::detail::AttributesOf(nativePath, info);
    if (!info.folder) {
        state.size = info.size;
        state.hash = hashBytes ? HashBytes(nativePath) : 0;
    }
    return state;
}

} // namespace detail
} // namespace host

namespace {

using host::detail::StateAt;

std::string DevicePathOf(const std::string& nativePath) {
    const std::string& root = host::DeviceRoot();
    std::string device = nativePath.compare(0, root.size(), root) == 0 ? nativePath.substr(root.size()) : nativePath;
    for (size_t i = 0; i < device.size(); ++i) {
        if (device[i] == '/') device[i] = '\\';
    }
    return device.empty() ? std::string("\\") : device;
}

std::string NextStash() {
    Journal& journal = TheJournal();
    char name[32];
    snprintf(name, sizeof name, "/%llu", ++journal.stashed);
    return journal.stashFolder + name;
}

void Note(const std::string& nativePath, const PathState& before, const char* operation, Undo undo,
          const std::string& stash = std::string()) {
    Kept kept;
    kept.entry.devicePath = DevicePathOf(nativePath);
    kept.entry.before = before;
    kept.entry.operation = operation;
    kept.nativePath = nativePath;
    kept.stash = stash;
    kept.undo = undo;
    TheJournal().changes.push_back(kept);
}

bool IsReadOnly(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_READONLY) != 0; }

// A journal kept without a stash folder only notes what changed.
bool Stashes() { return TheJournal().kept && !TheJournal().stashFolder.empty(); }

void StoreBits(const std::string& nativePath, DWORD attributes) {
    host::native::StoreAttributes(nativePath, IsReadOnly(attributes), attributes & kExtendedBits);
}

// A read-only file is made writable first: Windows would not delete it.
void RemoveWhatStands(const std::string& nativePath) {
    FileInfo info;
    if (host::native::Stat(nativePath, &info) != ERROR_SUCCESS) return;
    if (info.folder) {
        host::native::RemoveFolder(nativePath);
        return;
    }
    if (info.readOnly) host::native::StoreAttributes(nativePath, false, 0);
    host::native::RemoveFile(nativePath);
}

void TakeBack(const Kept& kept) {
    const PathState& before = kept.entry.before;
    switch (kept.undo) {
    case kCannot: break;
    case kRemoveNew: RemoveWhatStands(kept.nativePath); break;
    case kRestoreStash:
        RemoveWhatStands(kept.nativePath);
        host::native::Rename(kept.stash, kept.nativePath);
        break;
    case kRestoreAttributes: StoreBits(kept.nativePath, before.attributes); break;
    case kRemakeFolder:
        host::native::MakeFolder(kept.nativePath);
        StoreBits(kept.nativePath, before.attributes);
        break;
    case kCutBack: host::native::Truncate(kept.nativePath, before.size); break;
    }
}

// A copy that keeps the attributes, for a file a stream rewrites in place.
bool CopyToStash(const std::string& nativePath, const PathState& before, std::string* stash) {
    FileInfo info;
    *stash = NextStash();
    if (host::native::Stat(nativePath, &info) != ERROR_SUCCESS ||
        host::native::CopyData(nativePath, info, *stash) != ERROR_SUCCESS) {
        return false;
    }
    StoreBits(*stash, before.attributes);
    return true;
}

} // namespace

namespace host {

bool operator==(const PathState& a, const PathState& b) {
    return a.exists == b.exists && a.folder == b.folder && a.attributes == b.attributes && a.size == b.size &&
           a.hash == b.hash;
}

void KeepJournal(const std::string& stashFolder) {
    DropJournal();
    Journal& journal = TheJournal();
    journal.kept = true;
    journal.stashFolder = stashFolder;
}

// The stash's files belong to changes no longer kept.
void DropJournal() {
    Journal& journal = TheJournal();
    for (size_t i = 0; i < journal.changes.size(); ++i) {
        if (!journal.changes[i].stash.empty()) RemoveWhatStands(journal.changes[i].stash);
    }
    journal.changes.clear();
    journal.kept = false;
}

bool IsJournalKept() { return TheJournal().kept; }

size_t JournalLength() { return TheJournal().changes.size(); }

const JournalEntry& JournalAt(size_t index) { return TheJournal().changes.at(index).entry; }

void UndoJournal(size_t length) {
    std::vector<Kept>& changes = TheJournal().changes;
    while (changes.size() > length) {
        TakeBack(changes.back());
        changes.pop_back();
    }
}

PathState StateOf(const std::string& devicePathUtf8, bool hashBytes) {
    std::string nativePath;
    std::wstring units = detail::Utf8ToUtf16(devicePathUtf8);
    if (!detail::ResolveDevicePath(units.c_str(), &nativePath)) return PathState();
    return StateAt(nativePath, hashBytes);
}

bool TearFile(const std::string& devicePathUtf8, unsigned long long keep) {
    std::string nativePath;
    std::wstring units = detail::Utf8ToUtf16(devicePathUtf8);
    if (!detail::ResolveDevicePath(units.c_str(), &nativePath)) return false;
    PathState before = StateAt(nativePath);
    if (!before.exists || before.folder || keep > before.size) return false;
    std::string stash;
    if (Stashes()) {
        if (!CopyToStash(nativePath, before, &stash)) return false;
        Note(nativePath, before, "torn", kRestoreStash, stash);
    }
    if (IsReadOnly(before.attributes)) native::StoreAttributes(nativePath, false, before.attributes & kExtendedBits);
    unsigned error = native::Truncate(nativePath, keep);
    if (IsReadOnly(before.attributes)) StoreBits(nativePath, before.attributes);
    return error == ERROR_SUCCESS;
}

namespace detail {

unsigned RemoveFileNoted(const std::string& nativePath) {
    if (!TheJournal().kept) return native::RemoveFile(nativePath);
    PathState before = StateAt(nativePath);
    if (!Stashes()) {
        unsigned error = native::RemoveFile(nativePath);
        if (error == ERROR_SUCCESS) Note(nativePath, before, "DeleteFileW", kCannot);
        return error;
    }
    std::string stash = NextStash();
    unsigned error = native::Rename(nativePath, stash);
    if (error == ERROR_SUCCESS) Note(nativePath, before, "DeleteFileW", kRestoreStash, stash);
    return error;
}

void NoteReplace(const std::string& nativePath, const char* operation) {
    if (!TheJournal().kept) return;
    PathState before = StateAt(nativePath);
    if (!before.exists) {
        Note(nativePath, before, operation, kRemoveNew);
        return;
    }
    if (!Stashes()) {
        Note(nativePath, before, operation, kCannot);
        return;
    }
    std::string stash = NextStash();
    if (native::Rename(nativePath, stash) == ERROR_SUCCESS) {
        Note(nativePath, before, operation, kRestoreStash, stash);
    }
}

void NoteCreate(const std::string& nativePath, const char* operation) {
    if (TheJournal().kept) Note(nativePath, PathState(), operation, kRemoveNew);
}

void NoteFolderRemoval(const std::string& nativePath) {
    if (TheJournal().kept) Note(nativePath, StateAt(nativePath), "RemoveDirectoryW", kRemakeFolder);
}

void NoteAttributes(const std::string& nativePath, DWORD attributes) {
    if (!TheJournal().kept) return;
    PathState before = StateAt(nativePath);
    DWORD after = before.folder ? (attributes & (kExtendedBits | FILE_ATTRIBUTE_READONLY)) | FILE_ATTRIBUTE_DIRECTORY
                                : (attributes & (kExtendedBits | FILE_ATTRIBUTE_READONLY));
    if (!before.folder && after == 0) after = FILE_ATTRIBUTE_NORMAL;
    if (after != before.attributes) Note(nativePath, before, "SetFileAttributesW", kRestoreAttributes);
}

void NoteStream(const std::string& nativePath, const char* mode) {
    bool writes = mode[0] == 'w' || mode[0] == 'a';
    for (const char* p = mode; *p != 0 && *p != ','; ++p) writes = writes || *p == '+';
    if (!TheJournal().kept || !writes) return;
    PathState before = StateAt(nativePath);
    if (!before.exists) {
        Note(nativePath, before, "fopen", kRemoveNew);
    } else if (mode[0] == 'a') {
        Note(nativePath, before, "fopen", kCutBack);
    } else if (!Stashes()) {
        Note(nativePath, before, "fopen", kCannot);
    } else {
        std::string stash;
        if (CopyToStash(nativePath, before, &stash)) Note(nativePath, before, "fopen", kRestoreStash, stash);
    }
}

void ForgetNote() {
    std::vector<Kept>& changes = TheJournal().changes;
    if (!TheJournal().kept || changes.empty()) return;
    if (!changes.back().stash.empty()) RemoveWhatStands(changes.back().stash);
    changes.pop_back();
}

} // namespace detail
} // namespace host
