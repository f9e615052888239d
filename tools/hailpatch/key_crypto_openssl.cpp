#include "key_crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "key_files.h"

namespace hailpatch {

namespace {

const unsigned char kPublicKeyBlob = 0x06;
const unsigned char kBlobVersion = 2;
const unsigned kRsaSign = 0x2400;
const unsigned kRsa1 = 0x31415352;

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;

void PutDword(std::string* out, unsigned value)
{
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// BLOBHEADER, RSAPUBKEY, then the modulus least significant byte first.
bool PublicKeyBlob(EVP_PKEY* key, std::string* blob)
{
    BIGNUM* n = nullptr;
    BIGNUM* e = nullptr;
    bool good = EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n) == 1 &&
                EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &e) == 1;
    if (good) {
        int bytes = kKeyBits / 8;
        std::vector<unsigned char> modulus(bytes);
        good = BN_bn2lebinpad(n, modulus.data(), bytes) == bytes;
        blob->clear();
        blob->push_back(static_cast<char>(kPublicKeyBlob));
        blob->push_back(static_cast<char>(kBlobVersion));
        blob->append(2, '\0');
        PutDword(blob, kRsaSign);
        PutDword(blob, kRsa1);
        PutDword(blob, kKeyBits);
        PutDword(blob, static_cast<unsigned>(BN_get_word(e)));
        blob->append(modulus.begin(), modulus.end());
    }
    BN_free(n);
    BN_free(e);
    return good;
}

// A key file never asks for a pass phrase: keygen writes none.
int NoPassPhrase(char*, int, int, void*) { return -1; }

KeyPtr ReadPrivateKey(const std::string& text, std::string* error)
{
    BioPtr in(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())), BIO_free);
    EVP_PKEY* key = in ? PEM_read_bio_PrivateKey(in.get(), nullptr, NoPassPhrase, nullptr) : nullptr;
    if (key == nullptr) {
        *error = "not a private key made by hailpatch keygen";
    } else if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA || EVP_PKEY_get_bits(key) != kKeyBits) {
        *error = "not a " + std::to_string(kKeyBits) + "-bit RSA key";
        EVP_PKEY_free(key);
        key = nullptr;
    }
    return KeyPtr(key, EVP_PKEY_free);
}

} // namespace

bool NewKeyPair(std::string* privateText, std::string* publicBlob, std::string* error)
{
    KeyPtr key(EVP_RSA_gen(kKeyBits), EVP_PKEY_free);
    BioPtr out(BIO_new(BIO_s_mem()), BIO_free);
    char* text = nullptr;
    long size = 0;
    bool good = key && out && PublicKeyBlob(key.get(), publicBlob) &&
                PEM_write_bio_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1 &&
                (size = BIO_get_mem_data(out.get(), &text)) > 0;
    if (!good) {
        *error = "the key pair could not be made";
        return false;
    }
    privateText->assign(text, static_cast<size_t>(size));
    return true;
}

bool SignWithKey(const std::string& privateText, const std::string& data, std::string* signature,
                 std::string* error)
{
    KeyPtr key = ReadPrivateKey(privateText, error);
    if (!key) return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    EVP_MD_CTX_free);
    EVP_PKEY_CTX* settings = nullptr;
    size_t length = 0;
    bool good = context && EVP_DigestSignInit(context.get(), &settings, EVP_sha256(), nullptr,
                                              key.get()) == 1 &&
                EVP_PKEY_CTX_set_rsa_padding(settings, RSA_PKCS1_PADDING) == 1 &&
                EVP_DigestSign(context.get(), nullptr, &length,
                               reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
    std::vector<unsigned char> bytes(length);
    good = good && EVP_DigestSign(context.get(), bytes.data(), &length,
                                  reinterpret_cast<const unsigned char*>(data.data()),
                                  data.size()) == 1;
    if (!good) {
        *error = "signing failed";
        return false;
    }
    bytes.resize(length);
    std::reverse(bytes.begin(), bytes.end());
    signature->assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace hailpatch
