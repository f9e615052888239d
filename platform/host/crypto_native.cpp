// CryptoAPI for the model terminal on a Windows PC: the PC's own, which the
// terminal's calls reach unchanged (native_win32.cpp makes them).
#include "platform/host/native.h"
#include "platform/host/win32_api.h"

namespace {

BOOL InvalidParameter() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL Result(bool ok) {
    if (!ok) SetLastError(host::native::crypto::LastError());
    return ok ? TRUE : FALSE;
}

} // namespace

extern "C" {

BOOL WINAPI CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR providerName,
                                 DWORD providerType, DWORD flags)
{
    if (provider == NULL) return InvalidParameter();
    size_t handle = 0;
    bool ok = host::native::crypto::AcquireContext(&handle, container, providerName, providerType, flags);
    if (ok) *provider = handle;
    return Result(ok);
}

BOOL WINAPI CryptReleaseContext(HCRYPTPROV provider, DWORD flags)
{
    return Result(host::native::crypto::ReleaseContext(provider, flags));
}

BOOL WINAPI CryptImportKey(HCRYPTPROV provider, const BYTE* data, DWORD length, HCRYPTKEY unwrapKey,
                           DWORD flags, HCRYPTKEY* key)
{
    if (key == NULL) return InvalidParameter();
    size_t handle = 0;
    bool ok = host::native::crypto::ImportKey(provider, data, length, unwrapKey, flags, &handle);
    if (ok) *key = handle;
    return Result(ok);
}

BOOL WINAPI CryptDestroyKey(HCRYPTKEY key) { return Result(host::native::crypto::DestroyKey(key)); }

BOOL WINAPI CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                            HCRYPTHASH* hash)
{
    if (hash == NULL) return InvalidParameter();
    size_t handle = 0;
    bool ok = host::native::crypto::CreateHash(provider, algorithm, key, flags, &handle);
    if (ok) *hash = handle;
    return Result(ok);
}

BOOL WINAPI CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags)
{
    return Result(host::native::crypto::HashData(hash, data, length, flags));
}

BOOL WINAPI CryptVerifySignatureW(HCRYPTHASH hash, const BYTE* signature, DWORD length, HCRYPTKEY key,
                                  LPCWSTR description, DWORD flags)
{
    return Result(host::native::crypto::VerifySignature(hash, signature, length, key, description, flags));
}

BOOL WINAPI CryptDestroyHash(HCRYPTHASH hash) { return Result(host::native::crypto::DestroyHash(hash)); }

} // extern "C"
