/* The manifest's signature, checked through CryptoAPI with the fleet's
 * public key: RSA, PKCS #1 v1.5, SHA-256, the signature least significant
 * byte first as CryptoAPI writes it. */
#ifndef HAILWATCH_PACKAGESIGNATURE_H
#define HAILWATCH_PACKAGESIGNATURE_H

#include "platform/platform.h"

enum SignatureVerdict {
    SIGNATURE_GOOD,
    SIGNATURE_BAD,     /* the key is usable and the signature is not its own */
    SIGNATURE_NO_KEY   /* no provider, no SHA-256, or a key blob it refuses */
};

/* `key` is a PUBLICKEYBLOB. On anything but SIGNATURE_GOOD, *error holds the
 * last error of the call that failed. */
SignatureVerdict CheckManifestSignature(const BYTE* key, DWORD keyLength, const BYTE* manifest,
                                        DWORD manifestLength, const BYTE* signature,
                                        DWORD signatureLength, DWORD* error);

#endif
