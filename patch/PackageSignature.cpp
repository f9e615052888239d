/* CryptoAPI's handles are released on every path, whatever failed. */
#include "patch/PackageSignature.h"

class CCryptSession {
public:
    CCryptSession() : m_provider(0), m_key(0), m_hash(0) {}
    ~CCryptSession()
    {
        if (m_hash != 0) CryptDestroyHash(m_hash);
        if (m_key != 0) CryptDestroyKey(m_key);
        if (m_provider != 0) CryptReleaseContext(m_provider, 0);
    }
    /* The provider, the key and an empty SHA-256 hash. */
    int Open(const BYTE* key, DWORD keyLength)
    {
        return CryptAcquireContext(&m_provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
               CryptImportKey(m_provider, key, keyLength, 0, 0, &m_key) &&
               CryptCreateHash(m_provider, CALG_SHA_256, 0, 0, &m_hash);
    }
    int Verify(const BYTE* data, DWORD length, const BYTE* signature, DWORD signatureLength)
    {
        return CryptHashData(m_hash, data, length, 0) &&
               CryptVerifySignature(m_hash, signature, signatureLength, m_key, NULL, 0);
    }

private:
    HCRYPTPROV m_provider;
    HCRYPTKEY m_key;
    HCRYPTHASH m_hash;
    CCryptSession(const CCryptSession&);
    CCryptSession& operator=(const CCryptSession&);
};

SignatureVerdict CheckManifestSignature(const BYTE* key, DWORD keyLength, const BYTE* manifest,
                                        DWORD manifestLength, const BYTE* signature,
                                        DWORD signatureLength, DWORD* error)
{
    CCryptSession session;
    if (!session.Open(key, keyLength)) {
        *error = GetLastError();
        return SIGNATURE_NO_KEY;
    }
    if (!session.Verify(manifest, manifestLength, signature, signatureLength)) {
        *error = GetLastError();
        return SIGNATURE_BAD;
    }
    *error = 0;
    return SIGNATURE_GOOD;
}
