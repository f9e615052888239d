/* The names found so far in one folder of the package, to tell a name that
 * the device takes for one already found (the same letters in another case):
 * on the card both can exist, yet a file call reaches only one of them, so
 * the file checked and the file moved could differ. */
#ifndef HAILWATCH_SIBLINGNAMES_H
#define HAILWATCH_SIBLINGNAMES_H

#include "platform/platform.h"

class CSiblingNames {
public:
    CSiblingNames();
    ~CSiblingNames();
    /* Adds `name` (949, one component); 0 when the device takes it for a
     * name added before, or when the folder holds more names than kept. */
    int Add(const char* name);

private:
    int MakeRoom(size_t length);

    DWORD* m_hashes;
    size_t* m_offsets;
    char* m_text;
    int m_count;
    int m_capacity;
    size_t m_used;
    size_t m_textCapacity;
    CSiblingNames(const CSiblingNames&);
    CSiblingNames& operator=(const CSiblingNames&);
};

#endif
