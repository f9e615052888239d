/* The order of the checks: the key, the manifest's signature, the manifest's
 * form, then the files. The only write is the note of a verified manifest
 * (VerifiedRecord.h), made once everything has passed. Nothing that a check reads is trusted before the
 * check before it has passed; the manifest is parsed only once it is known
 * to be the signer's. */
#include "patch/PackageVerify.h"

#include <stdio.h>

#include "log/WriteLog.h"
#include "patch/PackageScan.h"
#include "patch/PackageSignature.h"
#include "patch/VerifiedRecord.h"

static const char* const kFunction = "VerifyPackage";
static const DWORD kMaxKeyBytes = 4096;
static const DWORD kMaxSignatureBytes = 1024;

enum Refusal {
    REFUSED_NO_MANIFEST = 941,
    REFUSED_BAD_MANIFEST = 942,
    REFUSED_BAD_SIGNATURE = 943,
    REFUSED_UNLISTED = 944,
    REFUSED_MISSING = 945,
    REFUSED_SIZE = 946,
    REFUSED_HASH = 947,
    REFUSED_NO_KEY = 948,
    REFUSED_UNREADABLE = 949
};

static void Refuse(Refusal why, const char* path)
{
    const char* format = "";
    switch (why) {
    case REFUSED_NO_MANIFEST: format = "%s %s[%d] %s 서명 목록이 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_BAD_MANIFEST: format = "%s %s[%d] %s 서명 목록의 형식이 잘못되었습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_BAD_SIGNATURE: format = "%s %s[%d] %s 서명이 맞지 않습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_UNLISTED: format = "%s %s[%d] %s 서명 목록에 없는 파일입니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_MISSING: format = "%s %s[%d] %s 서명 목록의 파일이 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_SIZE: format = "%s %s[%d] %s 파일 크기가 서명 목록과 다릅니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_HASH: format = "%s %s[%d] %s 파일 내용이 서명 목록과 다릅니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_NO_KEY: format = "%s %s[%d] %s 공개키로 서명을 확인할 수 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_UNREADABLE: format = "%s %s[%d] %s 파일을 읽을 수 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    }
    WriteLog(format, "<E>", kFunction, (int)why, path);
}

/* A whole file of at most `limit` bytes, held for the life of the object. */
class CFileBytes {
public:
    CFileBytes() : m_data(NULL), m_length(0) {}
    ~CFileBytes() { delete[] m_data; }
    int Read(const char* path, DWORD limit)
    {
        FILE* file = fopen(path, "rb");
        if (file == NULL) return 0;
        m_data = new BYTE[limit + 1];
        m_length = (DWORD)fread(m_data, 1, limit + 1, file);
        /* A read error gives fewer bytes: a signature or a parse that fails. */
        int good = m_length <= limit;
        fclose(file);
        return good;
    }
    const BYTE* Data() const { return m_data; }
    DWORD Length() const { return m_length; }

private:
    BYTE* m_data;
    DWORD m_length;
    CFileBytes(const CFileBytes&);
    CFileBytes& operator=(const CFileBytes&);
};

/* The parsed manifest and the marks of the files found. */
class CManifest {
public:
    CManifest() : m_entries(NULL), m_present(NULL), m_count(0) {}
    ~CManifest()
    {
        delete[] m_entries;
        delete[] m_present;
    }
    int Parse(const CFileBytes& text)
    {
        const char* bytes = (const char*)text.Data();
        int count = 0;
        if (!ParseManifest(bytes, text.Length(), NULL, 0, &count)) return 0;
        m_entries = new ManifestEntry[count > 0 ? count : 1];
        m_present = new int[count > 0 ? count : 1];
        for (int i = 0; i < count; ++i) m_present[i] = 0;
        return ParseManifest(bytes, text.Length(), m_entries, count, &m_count);
    }
    void Describe(PackageScan* contents)
    {
        contents->entries = m_entries;
        contents->count = m_count;
        contents->present = m_present;
    }

private:
    ManifestEntry* m_entries;
    int* m_present;
    int m_count;
    CManifest(const CManifest&);
    CManifest& operator=(const CManifest&);
};

static Refusal RefusalOf(PackageFault fault)
{
    switch (fault) {
    case PACKAGE_UNLISTED: return REFUSED_UNLISTED;
    case PACKAGE_MISSING: return REFUSED_MISSING;
    case PACKAGE_SIZE: return REFUSED_SIZE;
    case PACKAGE_HASH: return REFUSED_HASH;
    default: return REFUSED_UNREADABLE;
    }
}

/* The manifest is the signer's: answers 0 after logging why not. */
static int IsManifestSigned(const char* keyPath, const char* signaturePath,
                            const CFileBytes& manifest)
{
    CFileBytes key;
    CFileBytes signature;
    DWORD error = 0;
    if (!key.Read(keyPath, kMaxKeyBytes)) {
        Refuse(REFUSED_NO_KEY, keyPath);
        return 0;
    }
    if (!signature.Read(signaturePath, kMaxSignatureBytes)) {
        Refuse(REFUSED_BAD_SIGNATURE, signaturePath);
        return 0;
    }
    SignatureVerdict verdict =
        CheckManifestSignature(key.Data(), key.Length(), manifest.Data(), manifest.Length(),
                               signature.Data(), signature.Length(), &error);
    if (verdict == SIGNATURE_NO_KEY) Refuse(REFUSED_NO_KEY, keyPath);
    if (verdict == SIGNATURE_BAD) Refuse(REFUSED_BAD_SIGNATURE, signaturePath);
    return verdict == SIGNATURE_GOOD;
}

static int AreFilesAsSigned(PackageScan* contents, int resumed)
{
    PackageFault fault = CheckPackageFiles(contents);
    if (fault == PACKAGE_MATCHES) fault = CheckAbsentFiles(contents, resumed);
    if (fault == PACKAGE_MATCHES) return 1;
    Refuse(RefusalOf(fault), contents->faultPath);
    return 0;
}

/* The note goes down before the first change; a start that cannot write it
 * still applies the package it verified, and says so, since a cut in this
 * start would then leave the rest refused. */
static void NoteVerified(const char* recordPath, const char* digest, int resumed)
{
    if (resumed || RecordManifest(recordPath, digest)) return;
    WriteLog("%s %s[%d] %s 검증 기록을 쓰지 못했습니다.\r\n", "<I>", kFunction, 950, recordPath);
}

int VerifySignedPackage(const char* packageFolder, const char* keyPath, const char* recordPath)
{
    if (ReadAttributes(keyPath) == INVALID_FILE_ATTRIBUTES) return 1;
    char manifestPath[PACKAGE_PATH_SIZE];
    char signaturePath[PACKAGE_PATH_SIZE];
    if (!JoinPath(manifestPath, sizeof(manifestPath), packageFolder, kManifestPath) ||
        !JoinPath(signaturePath, sizeof(signaturePath), packageFolder, kSignaturePath)) {
        Refuse(REFUSED_NO_MANIFEST, packageFolder);
        return 0;
    }
    CFileBytes manifestText;
    if (!manifestText.Read(manifestPath, MANIFEST_MAX_BYTES)) {
        Refuse(REFUSED_NO_MANIFEST, manifestPath);
        return 0;
    }
    if (!IsManifestSigned(keyPath, signaturePath, manifestText)) return 0;
    CManifest manifest;
    if (!manifest.Parse(manifestText)) {
        Refuse(REFUSED_BAD_MANIFEST, manifestPath);
        return 0;
    }
    char digest[MANIFEST_DIGEST_SIZE];
    DigestManifest(manifestText.Data(), manifestText.Length(), digest);
    int resumed = IsRecordedManifest(recordPath, digest);
    PackageScan contents;
    contents.packageFolder = packageFolder;
    contents.faultPath[0] = 0;
    manifest.Describe(&contents);
    if (!AreFilesAsSigned(&contents, resumed)) return 0;
    NoteVerified(recordPath, digest, resumed);
    return 1;
}
