// The cryptography behind keygen and sign, one implementation per PC:
// key_crypto_openssl.cpp (OpenSSL's libcrypto, Linux) and
// key_crypto_cryptoapi.cpp (the PC's CryptoAPI through the platform layer,
// Windows). Both read and write the same key file text.
#ifndef HAILPATCH_KEY_CRYPTO_H
#define HAILPATCH_KEY_CRYPTO_H

#include <string>

namespace hailpatch {

// A new 2,048-bit RSA key pair: the private key as the text of NAME.key
// (PEM, PKCS #8), the public key as the PUBLICKEYBLOB terminals hold.
bool NewKeyPair(std::string* privateText, std::string* publicBlob, std::string* error);

// The PKCS #1 v1.5 SHA-256 signature of `data` by the private key in
// `privateText`, least significant byte first as CryptoAPI reads it. The
// error says what is wrong with the key, without naming its file.
bool SignWithKey(const std::string& privateText, const std::string& data, std::string* signature,
                 std::string* error);

} // namespace hailpatch

#endif
