#include "patch/SiblingNames.h"

#include <string.h>

#include "patch/PackageManifest.h"

/* A signed package lists at most this many files; a folder holding more
 * names than that is no package a signer made. */
static const int kMaxNames = MANIFEST_MAX_ENTRIES;
static const size_t kMaxTextBytes = (size_t)kMaxNames * PATCH_PATH_SIZE;
/* Most folders hold a few names: room grows as it is needed. */
static const int kFirstNames = 32;
static const size_t kFirstTextBytes = 1024;

/* A hash that two names the device takes for one share: ASCII letters
 * folded, a 949 lead byte and its trail byte as they stand (FNV-1a). */
static DWORD HashFolded(const char* name)
{
    DWORD hash = 2166136261u;
    for (const unsigned char* p = (const unsigned char*)name; *p != 0; ++p) {
        unsigned char byte = *p;
        if (byte >= 0x81 && byte <= 0xFE && p[1] != 0) {
            hash = (hash ^ byte) * 16777619u;
            byte = *++p;
        } else if (byte >= 'A' && byte <= 'Z') {
            byte = (unsigned char)(byte - 'A' + 'a');
        }
        hash = (hash ^ byte) * 16777619u;
    }
    return hash;
}

CSiblingNames::CSiblingNames()
    : m_hashes(new DWORD[kFirstNames]), m_offsets(new size_t[kFirstNames]),
      m_text(new char[kFirstTextBytes]), m_count(0), m_capacity(kFirstNames), m_used(0),
      m_textCapacity(kFirstTextBytes)
{
}

CSiblingNames::~CSiblingNames()
{
    delete[] m_hashes;
    delete[] m_offsets;
    delete[] m_text;
}

template <typename T>
static void Grow(T** items, size_t used, size_t capacity)
{
    T* larger = new T[capacity];
    memcpy(larger, *items, used * sizeof(T));
    delete[] *items;
    *items = larger;
}

/* Room for one more name of `length` bytes; 0 past the limits. */
int CSiblingNames::MakeRoom(size_t length)
{
    if (m_count == kMaxNames || m_used + length > kMaxTextBytes) return 0;
    if (m_count == m_capacity) {
        m_capacity *= 2;
        Grow(&m_hashes, (size_t)m_count, (size_t)m_capacity);
        Grow(&m_offsets, (size_t)m_count, (size_t)m_capacity);
    }
    while (m_used + length > m_textCapacity) {
        m_textCapacity *= 2;
        Grow(&m_text, m_used, m_textCapacity);
    }
    return 1;
}

int CSiblingNames::Add(const char* name)
{
    size_t length = strlen(name) + 1;
    DWORD hash = HashFolded(name);
    for (int i = 0; i < m_count; ++i) {
        if (m_hashes[i] == hash && IsSameManifestPath(m_text + m_offsets[i], name)) return 0;
    }
    if (!MakeRoom(length)) return 0;
    m_hashes[m_count] = hash;
    m_offsets[m_count++] = m_used;
    memcpy(m_text + m_used, name, length);
    m_used += length;
    return 1;
}
