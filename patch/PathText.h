/* Path text for the update engine: the temporary UTF-16 copies handed to the
 * platform, the 8-bit copies handed back to the single-file operations, and
 * "%s\%s" joins that refuse to overflow their buffers. */
#ifndef HAILWATCH_PATHTEXT_H
#define HAILWATCH_PATHTEXT_H

#include <stddef.h>

#include "platform/platform.h"

/* Bytes of the interpreter's path buffers, terminator included. */
#define PATCH_PATH_SIZE 256
/* UTF-16 units of the folder operations' path buffers, terminator included. */
#define FOLDER_PATH_UNITS 1024

/* A UTF-16 copy of 8-bit ANSI text, held only for the life of the object,
 * so that every path out of an operation frees it. */
class CWideCopy {
public:
    explicit CWideCopy(const char* text);
    ~CWideCopy();
    const WCHAR* Units() const { return m_units; }

private:
    WCHAR* m_units;
    CWideCopy(const CWideCopy&);
    CWideCopy& operator=(const CWideCopy&);
};

/* An 8-bit ANSI copy of UTF-16 text; characters the code page lacks become
 * its default character. */
class CNarrowCopy {
public:
    explicit CNarrowCopy(const WCHAR* units);
    ~CNarrowCopy();
    const char* Text() const { return m_text; }

private:
    char* m_text;
    CNarrowCopy(const CNarrowCopy&);
    CNarrowCopy& operator=(const CNarrowCopy&);
};

/* Clears `out` and forms folder + "\" + name in it; answers 0 (and leaves it
 * empty) when the result would not fit `size` bytes or units. */
int JoinPath(char* out, size_t size, const char* folder, const char* name);
int JoinWidePath(WCHAR* out, size_t units, const WCHAR* folder, const WCHAR* name);

/* GetFileAttributesW of an 8-bit path. */
DWORD ReadAttributes(const char* path);

/* Writes into `out` (`units` units, terminator included) the one spelling
 * of `path` that the file system would resolve to the same file: ASCII
 * letters in lower case, one "\" between components, no "." component, each
 * ".." taking away the component before it (never the root), no separator at
 * the end, and "/" read as "\". A path that starts with two separators is a
 * network path: it keeps "\\" in front, and ".." never climbs above its
 * server and share. A path without a leading separator is taken from the
 * root, as the device resolves it. Answers 0 (and leaves `out` empty) when
 * the result would not fit; wcslen(path) + 2 units always suffice. */
int NormalisePath(const WCHAR* path, WCHAR* out, size_t units);

/* Two spellings of one path name one file: compares the normalised forms, so
 * that a copy never meets its own source. */
int IsSamePath(const WCHAR* first, const WCHAR* second);

#endif
