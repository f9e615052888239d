// The folder the file cases work in, and small file helpers built on the
// calls under test plus the C runtime's fopen (which maps device paths the
// same way on both backends).
#ifndef HAILWATCH_CONFORMANCE_WORK_FOLDER_H
#define HAILWATCH_CONFORMANCE_WORK_FOLDER_H

#include <string>

#include "platform/platform.h"

namespace conformance {

extern const wchar_t kWorkFolder[]; // \ResidentFlash\Conformance

// kWorkFolder + "\" + name.
std::wstring WorkPath(const std::wstring& name);
// The device path in the ANSI code page, as the core holds it.
std::string ToAnsi(const std::wstring& path);
// For messages: the path with every unit outside ASCII as '?'.
std::string Printable(const std::wstring& path);

bool WriteFileText(const std::wstring& path, const std::string& text);
// The file's bytes, or "<missing>" if it cannot be opened.
std::string ReadFileText(const std::wstring& path);

// Removes a file or a whole folder, clearing read-only bits on the way.
void RemoveTree(const std::wstring& path);
// An empty work folder (its parent \ResidentFlash is made if missing).
bool ResetWorkFolder();
// The names a "*.*" search of `folder` returns, "." and ".." left out as the
// core leaves them out, sorted, joined with '|'.
std::string ListFolder(const std::wstring& folder);

} // namespace conformance

#endif
