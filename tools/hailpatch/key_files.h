// The fleet's key pair on the engineer's PC: NAME.key, the private key (PEM,
// PKCS #8, readable by its owner only), and NAME.pub, the public key as the
// CryptoAPI PUBLICKEYBLOB the terminal imports as it stands.
#ifndef HAILPATCH_KEY_FILES_H
#define HAILPATCH_KEY_FILES_H

#include <filesystem>
#include <string>

namespace hailpatch {

namespace fs = std::filesystem;

// RSA modulus bits of the keys made.
const int kKeyBits = 2048;

// Writes NAME.key and NAME.pub; false with one line in `error` when either
// exists already or cannot be written.
bool GenerateKeyPair(const fs::path& name, std::string* error);

// The PKCS #1 v1.5 SHA-256 signature of `data` by the private key in
// `keyFile`, least significant byte first as CryptoAPI reads it.
bool SignBytes(const fs::path& keyFile, const std::string& data, std::string* signature,
               std::string* error);

} // namespace hailpatch

#endif
