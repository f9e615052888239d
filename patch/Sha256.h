/* SHA-256 of the package's files. CryptoAPI checks the manifest's signature,
 * but hands back no hash value through the calls the terminal may use, so
 * the files are hashed here and compared with the signed manifest. */
#ifndef HAILWATCH_SHA256_H
#define HAILWATCH_SHA256_H

#include <stddef.h>

#include "platform/platform.h"

#define SHA256_BYTES 32

class CSha256 {
public:
    CSha256();
    void Add(const BYTE* data, size_t length);
    /* The digest; the object is spent afterwards. */
    void Finish(BYTE digest[SHA256_BYTES]);

private:
    DWORD m_state[8];
    BYTE m_block[64];
    size_t m_used;
    DWORD m_bitsLow;
    DWORD m_bitsHigh;
    void Compress(const BYTE* block);
};

#endif
