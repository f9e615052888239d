// keygen and sign on a Windows PC: the PC's own CryptoAPI, reached through
// the platform layer (host::native::crypto), makes and uses the key; the key
// file is the PEM text OpenSSL reads and writes on Linux.
#include "key_crypto.h"

#include <cstdio>

#include "key_files.h"
#include "platform/host/native.h"
#include "private_key_form.h"

namespace hailpatch {

namespace {

namespace crypto = host::native::crypto;

// CryptoAPI's values (wincrypt.h).
const unsigned kProvRsaAes = 24;
const unsigned kVerifyContext = 0xF0000000u;
const unsigned kSignatureKey = 2;          // AT_SIGNATURE
const unsigned kExportable = 0x00000001u;  // CRYPT_EXPORTABLE
const unsigned kPublicKeyBlob = 0x6;
const unsigned kPrivateKeyBlob = 0x7;
const unsigned kSha256 = 0x0000800cu;
const size_t kPublicBlobBytes = 20 + kKeyBits / 8;
const char kSignPublicHeader[] = "\x06\x02\x00\x00\x00\x24\x00\x00RSA1\x00\x08\x00\x00\x01\x00\x01\x00";

// A context with no key container: keys live only in it, as on the
// terminal, and nothing is kept in the PC's key store.
class Context {
public:
    ~Context()
    {
        if (hash_ != 0) crypto::DestroyHash(hash_);
        if (key_ != 0) crypto::DestroyKey(key_);
        if (provider_ != 0) crypto::ReleaseContext(provider_, 0);
    }
    bool Acquire() { return crypto::AcquireContext(&provider_, nullptr, nullptr, kProvRsaAes, kVerifyContext); }
    bool Generate() { return crypto::GenerateKey(provider_, kSignatureKey, (static_cast<unsigned>(kKeyBits) << 16) | kExportable, &key_); }
    bool Import(const std::string& blob)
    {
        return crypto::ImportKey(provider_, reinterpret_cast<const unsigned char*>(blob.data()),
                                 static_cast<unsigned>(blob.size()), 0, 0, &key_);
    }
    bool Export(unsigned type, std::string* blob) { return crypto::ExportKey(key_, type, blob); }
    bool Sign(const std::string& data, std::string* signature)
    {
        return crypto::CreateHash(provider_, kSha256, 0, 0, &hash_) &&
               crypto::HashData(hash_, reinterpret_cast<const unsigned char*>(data.data()),
                                static_cast<unsigned>(data.size()), 0) &&
               crypto::SignHash(hash_, kSignatureKey, signature);
    }

private:
    size_t provider_ = 0;
    size_t key_ = 0;
    size_t hash_ = 0;
};

std::string Why(const std::string& what)
{
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08X", crypto::LastError());
    return what + " (CryptoAPI error " + code + ")";
}

} // namespace

bool NewKeyPair(std::string* privateText, std::string* publicBlob, std::string* error)
{
    Context context;
    std::string privateBlob;
    if (!context.Acquire() || !context.Generate() || !context.Export(kPrivateKeyBlob, &privateBlob) ||
        !context.Export(kPublicKeyBlob, publicBlob)) {
        *error = Why("the key pair could not be made");
        return false;
    }
    // The terminal's blob as Linux writes it: a signature key, exponent 65537.
    if (publicBlob->size() != kPublicBlobBytes ||
        publicBlob->compare(0, 20, kSignPublicHeader, 20) != 0) {
        *error = "the key pair made is not a 2048-bit RSA signature key with exponent 65537";
        return false;
    }
    return PrivateKeyPem(privateBlob, privateText, error);
}

bool SignWithKey(const std::string& privateText, const std::string& data, std::string* signature,
                 std::string* error)
{
    std::string blob;
    if (!PrivateKeyBlob(privateText, &blob, error)) {
        return false;
    }
    Context context;
    if (!context.Acquire() || !context.Import(blob) || !context.Sign(data, signature)) {
        *error = Why("signing failed");
        return false;
    }
    return true;
}

} // namespace hailpatch
