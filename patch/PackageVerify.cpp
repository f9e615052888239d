/* The order of the checks: the key, the manifest's signature, the manifest's
 * form, its number, the files and their names, then the list. The only
 * writes (the note of the package begun and its number) follow success.
 * Nothing that a check reads is trusted before the check before it has
 * passed; the manifest is parsed only once it is known to be the signer's,
 * and the list read only once its bytes are known to be. */
#include "patch/PackageVerify.h"

#include <stdio.h>
#include <string.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/AppliedSequence.h"
#include "patch/FileSearch.h"
#include "patch/ListReview.h"
#include "patch/PackageScan.h"
#include "patch/PackageSignature.h"
#include "patch/VerifiedRecord.h"

static const DWORD kMaxKeyBytes = 4096;
static const DWORD kMaxSignatureBytes = 1024;
static const char* const kListName = "patch_list.txt";
/* Beside the key in the flash store, out of the card holder's reach. */
static const char* const kSequencePath = "\\ResidentFlash\\Hailnet\\update.sequence";
/* Where the bulk move puts the top-level files. */
static const char* const kInstallFolder = "\\ResidentFlash\\Hailnet";

/* The flash store's files a signed package's check trusts. */
struct TrustStore {
    const char* key;
    const char* note;
    const char* sequence;
    const char* installFolder;
};

/* A refusal is the number of its message. */
enum Refusal {
    REFUSED_NO_MANIFEST = LOG_REFUSED_NO_MANIFEST,
    REFUSED_BAD_MANIFEST = LOG_REFUSED_BAD_MANIFEST,
    REFUSED_BAD_SIGNATURE = LOG_REFUSED_BAD_SIGNATURE,
    REFUSED_UNLISTED = LOG_REFUSED_UNLISTED,
    REFUSED_MISSING = LOG_REFUSED_MISSING,
    REFUSED_SIZE = LOG_REFUSED_SIZE,
    REFUSED_HASH = LOG_REFUSED_HASH,
    REFUSED_NO_KEY = LOG_REFUSED_NO_KEY,
    REFUSED_UNREADABLE = LOG_REFUSED_UNREADABLE,
    REFUSED_NAME = LOG_REFUSED_NAME,
    REFUSED_FOREIGN_COPY = LOG_REFUSED_FOREIGN_COPY,
    REFUSED_NOT_NEWER = LOG_REFUSED_NOT_NEWER
};

static void Refuse(Refusal why, const char* path)
{
    const char* format = "";
    switch (why) {
    case REFUSED_NO_MANIFEST: format = LOG_HEAD "%s 서명 목록이 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_BAD_MANIFEST: format = LOG_HEAD "%s 서명 목록의 형식이 잘못되었습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_BAD_SIGNATURE: format = LOG_HEAD "%s 서명이 맞지 않습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_UNLISTED: format = LOG_HEAD "%s 서명 목록에 없는 파일입니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_MISSING: format = LOG_HEAD "%s 서명 목록의 파일이 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_SIZE: format = LOG_HEAD "%s 파일 크기가 서명 목록과 다릅니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_HASH: format = LOG_HEAD "%s 파일 내용이 서명 목록과 다릅니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_NO_KEY: format = LOG_HEAD "%s 공개키로 서명을 확인할 수 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_UNREADABLE: format = LOG_HEAD "%s 파일을 읽을 수 없습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_NAME: format = LOG_HEAD "%s 기기에서 쓸 수 없는 파일 이름입니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_FOREIGN_COPY: format = LOG_HEAD "%s 패키지 밖의 파일을 복사합니다. 패키지를 적용하지 않습니다.\r\n"; break;
    case REFUSED_NOT_NEWER: format = LOG_HEAD "%s 이미 적용한 패키지보다 순번이 높지 않습니다. 패키지를 적용하지 않습니다.\r\n"; break;
    }
    WriteLog(format, LOG_ERROR, LOG_VERIFY_PACKAGE, (int)why, path);
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
    CManifest() : m_entries(NULL), m_present(NULL), m_mayBeAbsent(NULL), m_count(0), m_sequence(0) {}
    ~CManifest()
    {
        delete[] m_entries;
        delete[] m_present;
        delete[] m_mayBeAbsent;
    }
    int Parse(const CFileBytes& text)
    {
        const char* bytes = (const char*)text.Data();
        int count = 0;
        if (!ParseManifest(bytes, text.Length(), NULL, 0, &count, &m_sequence)) return 0;
        m_entries = new ManifestEntry[count > 0 ? count : 1];
        m_present = new int[count > 0 ? count : 1];
        m_mayBeAbsent = new int[count > 0 ? count : 1];
        for (int i = 0; i < count; ++i) m_present[i] = m_mayBeAbsent[i] = 0;
        return ParseManifest(bytes, text.Length(), m_entries, count, &m_count, &m_sequence);
    }
    void Describe(PackageScan* contents)
    {
        contents->entries = m_entries;
        contents->count = m_count;
        contents->present = m_present;
        contents->mayBeAbsent = m_mayBeAbsent;
        contents->bookkeepingFound[0] = contents->bookkeepingFound[1] = 0;
    }
    DWORD Sequence() const { return m_sequence; }

private:
    ManifestEntry* m_entries;
    int* m_present;
    int* m_mayBeAbsent;
    int m_count;
    DWORD m_sequence;
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
    case PACKAGE_NAME: return REFUSED_NAME;
    case PACKAGE_FOREIGN_COPY: return REFUSED_FOREIGN_COPY;
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

/* A package older than the newest one begun is one put back on the card;
 * the one begun itself carries the same number. A number file a cut tore
 * is trusted for the package begun only. */
static int IsNewEnough(const TrustStore& store, DWORD sequence, ManifestNote note,
                       const char* manifestPath)
{
    DWORD applied = 0;
    AppliedSequence held = ReadAppliedSequence(store.sequence, &applied);
    if (held == SEQUENCE_NONE) return 1;
    if (held == SEQUENCE_DAMAGED) {
        if (note != NOTE_NONE) return 1;
        Refuse(REFUSED_NOT_NEWER, store.sequence);
        return 0;
    }
    if (sequence > applied || (sequence == applied && note != NOTE_NONE)) return 1;
    Refuse(REFUSED_NOT_NEWER, manifestPath);
    return 0;
}

/* Once the list is done, the list is gone by design, every file in a
 * subfolder has been dealt with by its line, and a top-level file is gone
 * only if it lies installed as signed. */
static void MarkBulkMoveFiles(PackageScan* contents, const char* installFolder)
{
    for (int i = 0; i < contents->count; ++i) {
        const ManifestEntry& entry = contents->entries[i];
        if (contents->present[i]) continue;
        char installed[PACKAGE_PATH_SIZE];
        int topLevel = strchr(entry.path, '\\') == NULL;
        contents->mayBeAbsent[i] =
            IsSameManifestPath(entry.path, kListName) || !topLevel ||
            (JoinPath(installed, sizeof(installed), installFolder, entry.path) &&
             HasEntryContents(installed, entry));
    }
}

/* The list, when the package holds it: its copies must come from the
 * package, and for a package begun, the lines already done tell which files
 * may be gone. */
static PackageFault ReviewList(PackageScan* contents, ManifestNote note)
{
    int index = FindManifestEntry(contents->entries, contents->count, kListName);
    char listPath[PACKAGE_PATH_SIZE];
    if (index < 0 || !contents->present[index]) return PACKAGE_MATCHES;
    if (!JoinPath(listPath, sizeof(listPath), contents->packageFolder, kListName)) {
        return SetPackageFault(contents, PACKAGE_UNREADABLE, contents->packageFolder);
    }
    ListProgress progress;
    if (note == NOTE_NONE) return ReviewPackageList(contents, listPath, NULL);
    if (note == NOTE_LIST_DONE) {
        MarkEveryLineDone(&progress);
    } else if (LoadListProgress(listPath, &progress) < 0) {
        return SetPackageFault(contents, PACKAGE_UNREADABLE, listPath);
    }
    return ReviewPackageList(contents, listPath, &progress);
}

static int AreFilesAsSigned(PackageScan* contents, ManifestNote note, const TrustStore& store)
{
    PackageFault fault = CheckPackageFiles(contents);
    if (fault == PACKAGE_MATCHES && note == NOTE_LIST_DONE) {
        MarkBulkMoveFiles(contents, store.installFolder);
    }
    if (fault == PACKAGE_MATCHES) fault = ReviewList(contents, note);
    if (fault == PACKAGE_MATCHES) fault = CheckAbsentFiles(contents);
    if (fault == PACKAGE_MATCHES) return 1;
    Refuse(RefusalOf(fault), contents->faultPath);
    return 0;
}

static void ReportUnwritten(const char* path)
{
    WriteLog(LOG_HEAD "%s 검증 기록을 쓰지 못했습니다.\r\n", LOG_INFO, LOG_VERIFY_PACKAGE,
             LOG_VERIFIED_NOTE_FAILED, path);
}

/* The note, then the number, go down before the first change: a cut
 * between them leaves the package begun and its number still to write. A
 * start that cannot write them still applies the package it verified, and
 * says so, since a cut in this start would then leave the rest refused. */
static void NoteBegun(const TrustStore& store, const char* digest, DWORD sequence, ManifestNote note)
{
    DWORD applied = 0;
    if (note == NOTE_NONE && !RecordManifest(store.note, digest)) ReportUnwritten(store.note);
    if (sequence == 0) return;
    if (ReadAppliedSequence(store.sequence, &applied) == SEQUENCE_HELD && applied >= sequence) return;
    if (!RecordAppliedSequence(store.sequence, sequence)) ReportUnwritten(store.sequence);
}

/* The signed manifest, parsed; 0 after logging why not. */
static int ReadSignedManifest(const char* packageFolder, const char* keyPath, char* manifestPath,
                              CFileBytes* manifestText, CManifest* manifest)
{
    char signaturePath[PACKAGE_PATH_SIZE];
    if (!JoinPath(manifestPath, PACKAGE_PATH_SIZE, packageFolder, kManifestPath) ||
        !JoinPath(signaturePath, sizeof(signaturePath), packageFolder, kSignaturePath)) {
        Refuse(REFUSED_NO_MANIFEST, packageFolder);
        return 0;
    }
    if (!manifestText->Read(manifestPath, MANIFEST_MAX_BYTES)) {
        Refuse(REFUSED_NO_MANIFEST, manifestPath);
        return 0;
    }
    if (!IsManifestSigned(keyPath, signaturePath, *manifestText)) return 0;
    if (!manifest->Parse(*manifestText)) {
        Refuse(REFUSED_BAD_MANIFEST, manifestPath);
        return 0;
    }
    return 1;
}

static PackageTrust CheckPackageTrust(const char* packageFolder, const TrustStore& store)
{
    if (ReadAttributes(store.key) == INVALID_FILE_ATTRIBUTES) return TRUST_UNSIGNED;
    char manifestPath[PACKAGE_PATH_SIZE];
    CFileBytes manifestText;
    CManifest manifest;
    if (!ReadSignedManifest(packageFolder, store.key, manifestPath, &manifestText, &manifest)) {
        return TRUST_REFUSED;
    }
    char digest[MANIFEST_DIGEST_SIZE];
    DigestManifest(manifestText.Data(), manifestText.Length(), digest);
    ManifestNote note = ReadManifestNote(store.note, digest);
    if (!IsNewEnough(store, manifest.Sequence(), note, manifestPath)) return TRUST_REFUSED;
    PackageScan contents;
    contents.packageFolder = packageFolder;
    contents.faultPath[0] = 0;
    manifest.Describe(&contents);
    if (!AreFilesAsSigned(&contents, note, store)) return TRUST_REFUSED;
    NoteBegun(store, digest, manifest.Sequence(), note);
    return note == NOTE_LIST_DONE ? TRUST_SIGNED_LIST_DONE : TRUST_SIGNED;
}

int VerifySignedPackage(const char* packageFolder, const char* keyPath, const char* notePath)
{
    TrustStore store = { keyPath, notePath, kSequencePath, kInstallFolder };
    return CheckPackageTrust(packageFolder, store);
}

void NoteSignedListDone(const char* notePath)
{
    if (!RecordListDone(notePath)) ReportUnwritten(notePath);
}

void EndSignedPackage(const char* packageFolder, const char* notePath)
{
    CWideCopy folder(packageFolder);
    CFileSearch search(folder.Units(), L"*.*");
    if (!search.NextFile()) ForgetManifestNote(notePath);
}
