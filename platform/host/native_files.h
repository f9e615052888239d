// The two homes of a device's files behind native.h's file calls: the PC's
// own file system (native_posix.cpp or native_win32.cpp) and a device held in
// this process's memory (native_memory.cpp), for a model terminal that is
// written and undone thousands of times. native_volume.cpp sends each call
// to the one that holds its path. Plain types only, as native.h.
#ifndef HAILWATCH_HOST_NATIVE_FILES_H
#define HAILWATCH_HOST_NATIVE_FILES_H

#include <string>
#include <vector>

#include "platform/host/native.h"

namespace host {
namespace native {

// Each as its namesake in native.h.
#define HAILWATCH_NATIVE_FILE_CALLS                                                                   \
    unsigned Stat(const std::string& path, FileInfo* info);                                            \
    bool Exists(const std::string& path);                                                              \
    bool SpellingOnDisk(const std::string& folder, const std::string& name, std::string* spelling);    \
    unsigned ExtendedBits(const std::string& path);                                                    \
    unsigned StoreAttributes(const std::string& path, bool readOnly, unsigned extendedBits);           \
    bool SameFile(const std::string& a, const std::string& b);                                         \
    unsigned RemoveFile(const std::string& path);                                                      \
    unsigned Rename(const std::string& from, const std::string& to);                                   \
    unsigned Truncate(const std::string& path, unsigned long long size);                               \
    unsigned MakeFolder(const std::string& path);                                                      \
    unsigned RemoveFolder(const std::string& path);                                                    \
    unsigned CopyData(const std::string& from, const FileInfo& fromInfo, const std::string& to);       \
    bool ListNames(const std::string& folder, std::vector<std::string>* names);

namespace pc {
struct OpenFile;
HAILWATCH_NATIVE_FILE_CALLS
OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error);
size_t ReadFrom(OpenFile* file, void* data, size_t size, bool* failed);
bool WriteTo(OpenFile* file, const void* data, size_t size);
bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd);
bool CloseFile(OpenFile* file);
} // namespace pc

namespace memory {
struct OpenFile;
HAILWATCH_NATIVE_FILE_CALLS
OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error);
size_t ReadFrom(OpenFile* file, void* data, size_t size, bool* failed);
bool WriteTo(OpenFile* file, const void* data, size_t size);
bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd);
bool CloseFile(OpenFile* file);
// Whether a path lies in a memory device; a new, empty one's root; one gone.
bool Holds(const std::string& path);
std::string MakeDevice();
void DropDevice(const std::string& root);
} // namespace memory

#undef HAILWATCH_NATIVE_FILE_CALLS

} // namespace native
} // namespace host

#endif
