#include "key_files.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "native_text.h"

namespace hailpatch {

namespace {

const unsigned char kPublicKeyBlob = 0x06;
const unsigned char kBlobVersion = 2;
const unsigned kRsaSign = 0x2400;
const unsigned kRsa1 = 0x31415352;

using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

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

bool WritePrivateKey(EVP_PKEY* key, const fs::path& path, std::string* error)
{
    // Created for its owner alone, and never over an existing file.
    mode_t before = umask(077);
    FILE* file = std::fopen(path.c_str(), "wx");
    umask(before);
    bool good = file != nullptr &&
                PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (file != nullptr && std::fclose(file) != 0) good = false;
    if (!good) *error = DisplayName(path) + ": cannot be written";
    return good;
}

bool WriteBytes(const fs::path& path, const std::string& bytes, std::string* error)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) *error = DisplayName(path) + ": cannot be written";
    return static_cast<bool>(out);
}

KeyPtr ReadPrivateKey(const fs::path& path, std::string* error)
{
    FILE* file = std::fopen(path.c_str(), "r");
    EVP_PKEY* key = file != nullptr ? PEM_read_PrivateKey(file, nullptr, nullptr, nullptr) : nullptr;
    if (file != nullptr) std::fclose(file);
    if (key == nullptr) {
        *error = DisplayName(path) + ": not a private key made by hailpatch keygen";
    } else if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA || EVP_PKEY_get_bits(key) != kKeyBits) {
        *error = DisplayName(path) + ": not a " + std::to_string(kKeyBits) + "-bit RSA key";
        EVP_PKEY_free(key);
        key = nullptr;
    }
    return KeyPtr(key, EVP_PKEY_free);
}

} // namespace

bool GenerateKeyPair(const fs::path& name, std::string* error)
{
    fs::path privatePath = name;
    fs::path publicPath = name;
    privatePath += ".key";
    publicPath += ".pub";
    std::error_code ec;
    for (const fs::path& path : {privatePath, publicPath}) {
        if (fs::exists(path, ec)) {
            *error = DisplayName(path) + ": exists already (a key is never overwritten)";
            return false;
        }
    }
    KeyPtr key(EVP_RSA_gen(kKeyBits), EVP_PKEY_free);
    std::string blob;
    if (!key || !PublicKeyBlob(key.get(), &blob)) {
        *error = "the key pair could not be made";
        return false;
    }
    return WritePrivateKey(key.get(), privatePath, error) && WriteBytes(publicPath, blob, error);
}

bool SignBytes(const fs::path& keyFile, const std::string& data, std::string* signature,
               std::string* error)
{
    KeyPtr key = ReadPrivateKey(keyFile, error);
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
        *error = DisplayName(keyFile) + ": signing failed";
        return false;
    }
    bytes.resize(length);
    std::reverse(bytes.begin(), bytes.end());
    signature->assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace hailpatch
