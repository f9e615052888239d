// CryptoAPI on the host, as much of it as the update's signature check uses:
// a verifying context, an imported PUBLICKEYBLOB, a SHA-256 hash and the
// check of an RSA signature (PKCS #1 v1.5) over it, with OpenSSL's libcrypto.
//
// CryptoAPI keeps numbers least significant byte first: the modulus in the
// blob and the signature both arrive reversed from the order OpenSSL reads,
// so each is turned around here. Handles are pointers to the objects below,
// checked against the set of live ones so that a stale handle fails as on
// Windows instead of being followed.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>
#include <string.h>

#include <set>
#include <vector>

#include "platform/host/win32_api.h"

namespace {

const DWORD kRsa1Magic = 0x31415352; // "RSA1"
const DWORD kRsaBlobHead = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
const unsigned kSha256Bytes = 32;

struct Provider {
    int unused;
};

struct Key {
    EVP_PKEY* rsa;
    DWORD modulusBytes;
};

struct Hash {
    EVP_MD_CTX* context;
    bool finished;
};

std::set<ULONG_PTR>& Live()
{
    static std::set<ULONG_PTR> live;
    return live;
}

template <typename T>
T* Lookup(ULONG_PTR handle)
{
    return Live().count(handle) != 0 ? reinterpret_cast<T*>(handle) : NULL;
}

template <typename T>
ULONG_PTR Register(T* object)
{
    ULONG_PTR handle = reinterpret_cast<ULONG_PTR>(object);
    Live().insert(handle);
    return handle;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

DWORD ReadDword(const BYTE* p)
{
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

// An RSA public key from its modulus (least significant byte first) and
// exponent; NULL if OpenSSL will not take it.
EVP_PKEY* MakeRsaKey(const BYTE* modulus, DWORD bytes, DWORD exponent)
{
    EVP_PKEY* key = NULL;
    BIGNUM* n = BN_lebin2bn(modulus, (int)bytes, NULL);
    BIGNUM* e = BN_new();
    OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
    OSSL_PARAM* params = NULL;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_from_name(NULL, "RSA", NULL);
    if (n != NULL && e != NULL && build != NULL && context != NULL && BN_set_word(e, exponent) &&
        OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_RSA_N, n) &&
        OSSL_PARAM_BLD_push_BN(build, OSSL_PKEY_PARAM_RSA_E, e) &&
        (params = OSSL_PARAM_BLD_to_param(build)) != NULL && EVP_PKEY_fromdata_init(context) == 1) {
        if (EVP_PKEY_fromdata(context, &key, EVP_PKEY_PUBLIC_KEY, params) != 1) {
            key = NULL;
        }
    }
    EVP_PKEY_CTX_free(context);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(build);
    BN_free(e);
    BN_free(n);
    return key;
}

// The blob's own errors, in the order CryptoAPI's RSA providers test them.
DWORD CheckPublicKeyBlob(const BYTE* data, DWORD length)
{
    if (data == NULL || length < kRsaBlobHead) return NTE_BAD_DATA;
    if (data[0] != PUBLICKEYBLOB) return NTE_BAD_TYPE;
    if (data[1] != CUR_BLOB_VERSION) return NTE_BAD_VER;
    ALG_ID algorithm = ReadDword(data + 4);
    if (algorithm != CALG_RSA_SIGN && algorithm != CALG_RSA_KEYX) return NTE_BAD_ALGID;
    if (ReadDword(data + 8) != kRsa1Magic) return NTE_BAD_DATA;
    DWORD bits = ReadDword(data + 12);
    if (bits == 0 || bits % 8 != 0 || length - kRsaBlobHead < bits / 8) return NTE_BAD_DATA;
    return ERROR_SUCCESS;
}

bool CheckRsaSignature(const Key* key, const unsigned char* digest, const BYTE* signature,
                       DWORD length)
{
    std::vector<unsigned char> bigEndian(signature, signature + length);
    for (size_t i = 0, j = bigEndian.size(); i + 1 < j; ++i, --j) {
        unsigned char t = bigEndian[i];
        bigEndian[i] = bigEndian[j - 1];
        bigEndian[j - 1] = t;
    }
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new(key->rsa, NULL);
    bool good = context != NULL && EVP_PKEY_verify_init(context) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(context, RSA_PKCS1_PADDING) == 1 &&
                EVP_PKEY_CTX_set_signature_md(context, EVP_sha256()) == 1 &&
                EVP_PKEY_verify(context, bigEndian.data(), bigEndian.size(), digest,
                                kSha256Bytes) == 1;
    EVP_PKEY_CTX_free(context);
    return good;
}

} // namespace

extern "C" {

BOOL WINAPI CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName,
                                 DWORD providerType, DWORD flags)
{
    (void)providerName;
    if (provider == NULL) return Fail(ERROR_INVALID_PARAMETER);
    if (providerType != PROV_RSA_AES) return Fail(NTE_PROV_TYPE_NOT_DEF);
    // There are no key containers here; only the verifying context exists.
    if (container != NULL || flags != CRYPT_VERIFYCONTEXT) return Fail(NTE_BAD_FLAGS);
    *provider = Register(new Provider());
    return TRUE;
}

BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags)
{
    Provider* object = Lookup<Provider>(provider);
    if (object == NULL) return Fail(NTE_BAD_UID);
    if (flags != 0) return Fail(NTE_BAD_FLAGS);
    Live().erase(provider);
    delete object;
    return TRUE;
}

BOOL WINAPI CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD length,
                           HCRYPTKEY unwrapKey, DWORD flags, HCRYPTKEY* key)
{
    if (Lookup<Provider>(provider) == NULL) return Fail(NTE_BAD_UID);
    if (key == NULL || unwrapKey != 0 || flags != 0) return Fail(ERROR_INVALID_PARAMETER);
    DWORD error = CheckPublicKeyBlob(data, length);
    if (error != ERROR_SUCCESS) return Fail(error);
    DWORD modulusBytes = ReadDword(data + 12) / 8;
    EVP_PKEY* rsa = MakeRsaKey(data + kRsaBlobHead, modulusBytes, ReadDword(data + 16));
    if (rsa == NULL) return Fail(NTE_BAD_DATA);
    Key* object = new Key();
    object->rsa = rsa;
    object->modulusBytes = modulusBytes;
    *key = Register(object);
    return TRUE;
}

BOOL WINAPI CryptDestroyKey(HCRYPTKEY key)
{
    Key* object = Lookup<Key>(key);
    if (object == NULL) return Fail(NTE_BAD_KEY);
    Live().erase(key);
    EVP_PKEY_free(object->rsa);
    delete object;
    return TRUE;
}

BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                            HCRYPTHASH* hash)
{
    if (Lookup<Provider>(provider) == NULL) return Fail(NTE_BAD_UID);
    if (hash == NULL || key != 0 || flags != 0) return Fail(ERROR_INVALID_PARAMETER);
    if (algorithm != CALG_SHA_256) return Fail(NTE_BAD_ALGID);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == NULL || EVP_DigestInit_ex(context, EVP_sha256(), NULL) != 1) {
        EVP_MD_CTX_free(context);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    Hash* object = new Hash();
    object->context = context;
    object->finished = false;
    *hash = Register(object);
    return TRUE;
}

BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags)
{
    Hash* object = Lookup<Hash>(hash);
    if (object == NULL) return Fail(NTE_BAD_HASH);
    if (flags != 0 || (data == NULL && length != 0)) return Fail(ERROR_INVALID_PARAMETER);
    // A hash that a signature check has finished takes no more data.
    if (object->finished) return Fail(NTE_BAD_HASH_STATE);
    if (length != 0 && EVP_DigestUpdate(object->context, data, length) != 1) {
        return Fail(NTE_BAD_HASH);
    }
    return TRUE;
}

BOOL WINAPI CryptVerifySignatureW(HCRYPTHASH hash, const BYTE* signature, DWORD length,
                                  HCRYPTKEY publicKey, LPCWSTR description, DWORD flags)
{
    (void)description;
    Hash* object = Lookup<Hash>(hash);
    if (object == NULL) return Fail(NTE_BAD_HASH);
    Key* key = Lookup<Key>(publicKey);
    if (key == NULL) return Fail(NTE_BAD_KEY);
    if (flags != 0 || signature == NULL) return Fail(ERROR_INVALID_PARAMETER);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    bool hashed = copy != NULL && EVP_MD_CTX_copy_ex(copy, object->context) == 1 &&
                  EVP_DigestFinal_ex(copy, digest, &digestLength) == 1;
    EVP_MD_CTX_free(copy);
    if (!hashed) return Fail(NTE_BAD_HASH);
    object->finished = true;
    if (length != key->modulusBytes || !CheckRsaSignature(key, digest, signature, length)) {
        return Fail(NTE_BAD_SIGNATURE);
    }
    return TRUE;
}

BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash)
{
    Hash* object = Lookup<Hash>(hash);
    if (object == NULL) return Fail(NTE_BAD_HASH);
    Live().erase(hash);
    EVP_MD_CTX_free(object->context);
    delete object;
    return TRUE;
}

} // extern "C"
