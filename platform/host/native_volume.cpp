// Each file call of native.h goes to the home of its path: a memory device,
// or the PC's own file system.
#include "platform/host/native.h"
#include "platform/host/native_files.h"

namespace host {
namespace native {

struct OpenFile {
    pc::OpenFile* onPc;
    memory::OpenFile* inMemory;
};

bool IsMemoryPath(const std::string& path) { return memory::Holds(path); }
std::string MakeMemoryDevice() { return memory::MakeDevice(); }
void DropMemoryDevice(const std::string& root) { memory::DropDevice(root); }

unsigned Stat(const std::string& path, FileInfo* info) {
    return memory::Holds(path) ? memory::Stat(path, info) : pc::Stat(path, info);
}

bool Exists(const std::string& path) { return memory::Holds(path) ? memory::Exists(path) : pc::Exists(path); }

bool SpellingOnDisk(const std::string& folder, const std::string& name, std::string* spelling) {
    return memory::Holds(folder) ? memory::SpellingOnDisk(folder, name, spelling)
                                 : pc::SpellingOnDisk(folder, name, spelling);
}

unsigned ExtendedBits(const std::string& path) {
    return memory::Holds(path) ? memory::ExtendedBits(path) : pc::ExtendedBits(path);
}

unsigned StoreAttributes(const std::string& path, bool readOnly, unsigned extendedBits) {
    return memory::Holds(path) ? memory::StoreAttributes(path, readOnly, extendedBits)
                               : pc::StoreAttributes(path, readOnly, extendedBits);
}

bool SameFile(const std::string& a, const std::string& b) {
    if (memory::Holds(a) != memory::Holds(b)) return false;
    return memory::Holds(a) ? memory::SameFile(a, b) : pc::SameFile(a, b);
}

unsigned RemoveFile(const std::string& path) {
    return memory::Holds(path) ? memory::RemoveFile(path) : pc::RemoveFile(path);
}

// Between a memory device and the PC there is no renaming, only copying.
unsigned Rename(const std::string& from, const std::string& to) {
    if (memory::Holds(from) != memory::Holds(to)) return 17;   // ERROR_NOT_SAME_DEVICE
    return memory::Holds(from) ? memory::Rename(from, to) : pc::Rename(from, to);
}

unsigned Truncate(const std::string& path, unsigned long long size) {
    return memory::Holds(path) ? memory::Truncate(path, size) : pc::Truncate(path, size);
}

unsigned MakeFolder(const std::string& path) {
    return memory::Holds(path) ? memory::MakeFolder(path) : pc::MakeFolder(path);
}

unsigned RemoveFolder(const std::string& path) {
    return memory::Holds(path) ? memory::RemoveFolder(path) : pc::RemoveFolder(path);
}

// A copy within one home is that home's own; across the two, the bytes
// are carried a block at a time.
unsigned CopyData(const std::string& from, const FileInfo& fromInfo, const std::string& to) {
    if (memory::Holds(from) == memory::Holds(to)) {
        return memory::Holds(from) ? memory::CopyData(from, fromInfo, to) : pc::CopyData(from, fromInfo, to);
    }
    unsigned error = 0;
    FileAccess reading = {false, false, false};
    FileAccess writing = {true, true, true};
    OpenFile* source = OpenFileAt(from, reading, &error);
    if (source == NULL) return error;
    OpenFile* target = OpenFileAt(to, writing, &error);
    if (target == NULL) {
        CloseFile(source);
        return error;
    }
    char block[65536];
    size_t got;
    bool failed = false, written = true;
    while (written && (got = ReadFrom(source, block, sizeof block, &failed)) > 0) written = WriteTo(target, block, got);
    CloseFile(source);
    bool closed = CloseFile(target);
    if (failed || !written || !closed) {
        RemoveFile(to);
        return 29;   // ERROR_WRITE_FAULT
    }
    return 0;
}

bool ListNames(const std::string& folder, std::vector<std::string>* names) {
    return memory::Holds(folder) ? memory::ListNames(folder, names) : pc::ListNames(folder, names);
}

OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error) {
    OpenFile file = {NULL, NULL};
    if (memory::Holds(path)) {
        file.inMemory = memory::OpenFileAt(path, access, error);
    } else {
        file.onPc = pc::OpenFileAt(path, access, error);
    }
    return file.inMemory == NULL && file.onPc == NULL ? NULL : new OpenFile(file);
}

size_t ReadFrom(OpenFile* file, void* data, size_t size, bool* failed) {
    return file->inMemory != NULL ? memory::ReadFrom(file->inMemory, data, size, failed)
                                  : pc::ReadFrom(file->onPc, data, size, failed);
}

bool WriteTo(OpenFile* file, const void* data, size_t size) {
    return file->inMemory != NULL ? memory::WriteTo(file->inMemory, data, size) : pc::WriteTo(file->onPc, data, size);
}

bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd) {
    return file->inMemory != NULL ? memory::SeekTo(file->inMemory, offset, toEnd)
                                  : pc::SeekTo(file->onPc, offset, toEnd);
}

bool CloseFile(OpenFile* file) {
    bool closed = file->inMemory != NULL ? memory::CloseFile(file->inMemory) : pc::CloseFile(file->onPc);
    delete file;
    return closed;
}

} // namespace native
} // namespace host
