// Shared by the host backend's file calls (files.cpp, file_search.cpp,
// file_open.cpp, file_stream.cpp, journal.cpp, power.cpp); not for the core,
// not for tests.
#ifndef HAILWATCH_HOST_FILE_INTERNAL_H
#define HAILWATCH_HOST_FILE_INTERNAL_H

#include <stdio.h>
#include <string>

#include "platform/host/native.h"
#include "platform/host/win32_api.h"

namespace host {
namespace detail {

// ---- errors and paths (files.cpp) ------------------------------------------
// Sets the last error and answers FALSE.
BOOL Fail(DWORD error);
// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND.
bool IsMissing(DWORD error);
// ERROR_FILE_NOT_FOUND in an existing folder, else ERROR_PATH_NOT_FOUND.
DWORD MissingError(const std::string& nativePath);
// Maps the device path and applies injected faults, matched against
// `callPath` (the call's first path argument; the device path when NULL) and
// the native path; on failure the last error is set and false returned.
bool PrepareFileCall(const char* operation, LPCWSTR devicePath, std::string* nativePath,
                     LPCWSTR callPath = NULL);
// Stats a path that must exist; sets the last error otherwise.
bool StatExisting(const std::string& nativePath, native::FileInfo* info);
DWORD AttributesOf(const std::string& nativePath, const native::FileInfo& info);

// ---- power (power.cpp) ------------------------------------------------------
// False, with ERROR_NOT_READY set, once the power is cut.
bool HasPower();
void ResetPower();

// ---- the change journal (journal.cpp) ----------------------------------------
// Each runs right before a file call changes `nativePath`, and notes what
// stands there while a journal is kept. RemoveFileNoted and ReplaceNoted
// move the old file into the stash rather than delete it.
unsigned RemoveFileNoted(const std::string& nativePath);
void NoteReplace(const std::string& nativePath, const char* operation);
void NoteCreate(const std::string& nativePath, const char* operation);
void NoteFolderRemoval(const std::string& nativePath);
void NoteAttributes(const std::string& nativePath, DWORD attributes);
void NoteStream(const std::string& nativePath, const char* mode);
// The change just noted was not made after all (the call failed before it
// changed anything): its note goes.
void ForgetNote();

// ---- searches (file_search.cpp) --------------------------------------------
void ResetSearches();

// ---- streams (file_stream.cpp) ---------------------------------------------------
// A stream of the backend's own on a native file, for fopen; `mode` as the
// Windows C library takes it. NULL with *error set on failure.
FILE* OpenStream(const std::string& nativePath, const char* mode, unsigned* error);
// Whether a stream holds the file open: Windows' C library shares an open
// file for reading and writing, never for deletion or for another writer.
bool IsHeld(const std::string& nativePath);

} // namespace detail
} // namespace host

#endif
