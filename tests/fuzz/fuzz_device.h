// What the fuzz targets share: a scratch folder holding the device root, and
// the log lines the store echoes to the debugger.
#ifndef HAILWATCH_FUZZ_DEVICE_H
#define HAILWATCH_FUZZ_DEVICE_H

#include <string>
#include <vector>

namespace fuzzdevice {

// A new folder under the system's temporary folder, removed at exit.
std::string MakeScratchFolder(const char* name);
// Removes everything inside `folder` (read-only entries included).
void EmptyFolder(const std::string& folder);
// Writes `bytes` to the native file, creating its folders.
void WriteNativeFile(const std::string& path, const std::string& bytes);
// The native file's bytes; "<missing>" if it cannot be read.
std::string ReadNativeFile(const std::string& path);
// The names in a native folder, sorted.
std::vector<std::string> FolderNames(const std::string& folder);

// Each line the log store echoed since the capture began, as the bytes it
// holds.
std::vector<std::string> EchoedLines();

// Reports a broken rule with the input's size and stops the process, so
// libFuzzer keeps the input.
[[noreturn]] void Fail(const char* target, const std::string& what, size_t inputSize);

} // namespace fuzzdevice

#endif
