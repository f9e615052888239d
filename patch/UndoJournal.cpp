/* The undo journal of one start: the record held open, and the paths
 * already saved (as hashes of their one spelling), so that the first saved
 * state of each path wins. */
#include "patch/UndoJournal.h"

#include <string.h>
#include <wchar.h>

#include "log/LogCatalogue.h"
#include "log/WriteLog.h"
#include "patch/UndoEntry.h"
#include "patch/UndoRecord.h"
#include "patch/UndoStages.h"

/* Paths are told apart by 8 bytes of the SHA-256 of their normal form. */
static const size_t kKeyBytes = 8;
static const size_t kFormUnits = UNDO_TEXT_UNITS + 2;

/* The supervisor's own files are never the update's to undo, nor its log. */
static const WCHAR* const kOwnFiles[] = {
    L"\\residentflash\\hailnet\\update.resume-a", L"\\residentflash\\hailnet\\update.resume-b",
    L"\\residentflash\\hailnet\\update.undo-a", L"\\residentflash\\hailnet\\update.undo-b",
    L"\\residentflash\\hailnet\\update.verified",
};
static const WCHAR kFlashRoot[] = L"\\residentflash";
static const WCHAR kLogFolder[] = L"\\residentflash\\log";

struct UndoSession {
    UndoRecord record;
    BYTE (*keys)[8];
    DWORD keyCount;
    int refusing;
};

static UndoSession g_session;
static int g_open = 0;

static int HasPrefixFolder(const WCHAR* form, const WCHAR* folder)
{
    size_t length = wcslen(folder);
    return wcsncmp(form, folder, length) == 0 && (form[length] == 0 || form[length] == L'\\');
}

static int IsUpdatePath(const WCHAR* form)
{
    if (!HasPrefixFolder(form, kFlashRoot) || HasPrefixFolder(form, kLogFolder)) {
        return 0;
    }
    for (size_t i = 0; i < sizeof(kOwnFiles) / sizeof(kOwnFiles[0]); ++i) {
        if (wcscmp(form, kOwnFiles[i]) == 0) {
            return 0;
        }
    }
    return 1;
}

static void KeyOf(BYTE kind, const WCHAR* text, BYTE key[8])
{
    CSha256 sha;
    sha.Add(&kind, 1);
    for (const WCHAR* unit = text; *unit != 0; ++unit) {
        BYTE pair[2] = {(BYTE)(*unit & 0xFF), (BYTE)((*unit >> 8) & 0xFF)};
        sha.Add(pair, 2);
    }
    BYTE digest[SHA256_BYTES];
    sha.Finish(digest);
    memcpy(key, digest, kKeyBytes);
}

static int IsKnown(const BYTE key[8])
{
    for (DWORD i = 0; i < g_session.keyCount; ++i) {
        if (memcmp(g_session.keys[i], key, kKeyBytes) == 0) {
            return 1;
        }
    }
    return 0;
}

static void AddKey(const BYTE key[8])
{
    if (g_session.keyCount < UNDO_MAX_ENTRIES) {
        memcpy(g_session.keys[g_session.keyCount++], key, kKeyBytes);
    }
}

/* The key of what an entry covers: a path's normal form, or a title. */
static int KeyOfEntry(const UndoEntry& entry, BYTE key[8])
{
    if (entry.kind == UNDO_KIND_CLOSED) {
        KeyOf('W', entry.text, key);
        return 1;
    }
    WCHAR form[kFormUnits];
    if (!NormalisePath(entry.text, form, kFormUnits)) {
        return 0;
    }
    KeyOf('P', form, key);
    return 1;
}

/* The keys of an earlier start's entries; 0 when the card does not hold
 * the entries the record binds. */
static int LoadKeys(const UndoRecord& record)
{
    BYTE chain[SHA256_BYTES];
    memset(chain, 0, sizeof(chain));
    BYTE bytes[UNDO_ENTRY_BYTES];
    UndoEntry entry;
    for (DWORD index = 1; index <= record.entries; ++index) {
        size_t length = 0;
        BYTE key[8];
        if (!ReadUndoEntryBytes(index, bytes, &length) ||
            !DecodeUndoEntry(bytes, length, index, &entry) || !KeyOfEntry(entry, key)) {
            return 0;
        }
        ChainUndoEntry(chain, bytes, length);
        AddKey(key);
    }
    return memcmp(chain, record.chain, SHA256_BYTES) == 0;
}

static void StartAfresh(UndoRecord* record)
{
    record->stage = UNDO_STAGE_UPDATING;
    record->entries = 0;
    memset(record->chain, 0, sizeof(record->chain));
    g_session.keyCount = 0;
}

static void ReportCannotKeep(const char* path)
{
    WriteLog(LOG_HEAD "%s 되돌리기 사본을 남길 수 없습니다. 패키지를 적용하지 않습니다.\r\n", LOG_ERROR,
             LOG_KEEP_UNDO_COPY, LOG_UNDO_COPY_NOT_KEPT, path);
}

/* The record held, the card's folder there; 0 after saying why not. */
static int PrepareJournal(UndoRecord* record, int afresh)
{
    if (!HoldUndoRecord(record) || (afresh && !SaveUndoRecord(record))) {
        ReleaseUndoRecord(record);
        ReportCannotKeep("\\ResidentFlash\\Hailnet\\update.undo-a");
        return 0;
    }
    CWideCopy folder(kUndoCopyFolder);
    CreateDirectoryW(folder.Units(), NULL);
    if (GetFileAttributesW(folder.Units()) == INVALID_FILE_ATTRIBUTES) {
        ReleaseUndoRecord(record);
        ReportCannotKeep(kUndoCopyFolder);
        return 0;
    }
    return 1;
}

int OpenUndoJournal()
{
    UndoRecord* record = &g_session.record;
    LoadUndoRecord(record);
    /* Only a rollback that could not finish stands in the way: a new update
     * over a half-restored terminal could not be undone itself. */
    if (record->stage == UNDO_STAGE_ROLLING_BACK) {
        ReportCannotKeep("\\ResidentFlash\\Hailnet\\update.undo-a");
        return 0;
    }
    if (record->stage == UNDO_STAGE_PROBATION) {
        EndProbationForNewPackage(record);
    }
    g_session.keys = new BYTE[UNDO_MAX_ENTRIES][8];
    g_session.keyCount = 0;
    g_session.refusing = 0;
    int afresh = record->stage != UNDO_STAGE_UPDATING;
    if (!afresh && !LoadKeys(*record)) {
        WriteLog(LOG_HEAD "%s 되돌리기 사본이 기록과 맞지 않아 새로 만듭니다.\r\n", LOG_ERROR,
                 LOG_KEEP_UNDO_COPY, LOG_UNDO_COPY_RENEWED, kUndoCopyFolder);
        ForgetUndoCopy();
        afresh = 1;
    }
    if (afresh) {
        StartAfresh(record);
    }
    if (!PrepareJournal(record, afresh)) {
        delete[] g_session.keys;
        g_session.keys = NULL;
        return 0;
    }
    g_open = 1;
    return 1;
}

void CloseUndoJournal()
{
    if (!g_open) {
        return;
    }
    ReleaseUndoRecord(&g_session.record);
    delete[] g_session.keys;
    g_session.keys = NULL;
    g_open = 0;
}

static WCHAR FoldAscii(WCHAR unit)
{
    return unit >= L'A' && unit <= L'Z' ? (WCHAR)(unit - L'A' + L'a') : unit;
}

/* The file system's own comparison of names: ASCII letters in either case. */
static int IsSameName(const WCHAR* first, const WCHAR* second)
{
    for (; *first != 0 && *second != 0; ++first, ++second) {
        if (FoldAscii(*first) != FoldAscii(*second)) {
            return 0;
        }
    }
    return *first == *second;
}

/* The last name as the device spells it, when it differs from the path's
 * only in letter case: a rollback must bring the old spelling back. */
static void SpellAsOnDevice(const WCHAR* path, WCHAR* out)
{
    wcsncpy(out, path, UNDO_TEXT_UNITS - 1);
    out[UNDO_TEXT_UNITS - 1] = 0;
    const WCHAR* slash = wcsrchr(out, L'\\');
    WCHAR* name = slash != NULL ? out + (slash - out) + 1 : out;
    if (*name == 0 || wcschr(name, L'*') != NULL || wcschr(name, L'?') != NULL) {
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    FindClose(search);
    if (IsSameName(found.cFileName, name)) {
        wcscpy(name, found.cFileName);
    }
}

static void Refuse(const char* what)
{
    ReportCannotKeep(what);
    g_session.refusing = 1;
}

/* Saves entry N+1 (its bytes first), then moves the record to it: a cut
 * anywhere before the record's write leaves the entry unsaved, to be
 * saved again. A failure is said once, naming the file that could not be
 * written, and refuses every later change. */
static int AppendEntry(UndoEntry* entry, const WCHAR* path)
{
    UndoRecord* record = &g_session.record;
    char failed[UNDO_FILE_PATH_SIZE];
    entry->index = record->entries + 1;
    if (record->entries >= UNDO_MAX_ENTRIES) {
        Refuse(kUndoCopyFolder);
        return 0;
    }
    if (entry->kind == UNDO_KIND_FILE &&
        !SaveUndoBytes(path, entry->index, &entry->size, entry->digest)) {
        FormUndoFilePath(failed, entry->index, ".dat");
        Refuse(failed);
        return 0;
    }
    BYTE bytes[UNDO_ENTRY_BYTES];
    size_t length = EncodeUndoEntry(entry, bytes);
    if (!WriteUndoEntry(bytes, length, entry->index)) {
        FormUndoFilePath(failed, entry->index, ".ent");
        Refuse(failed);
        return 0;
    }
    /* The record in place: it holds the slots' open files. */
    BYTE chainBefore[SHA256_BYTES];
    memcpy(chainBefore, record->chain, sizeof(chainBefore));
    record->entries = entry->index;
    ChainUndoEntry(record->chain, bytes, length);
    if (!SaveUndoRecord(record)) {
        record->entries = entry->index - 1;
        memcpy(record->chain, chainBefore, sizeof(chainBefore));
        Refuse("\\ResidentFlash\\Hailnet\\update.undo-a");
        return 0;
    }
    return 1;
}

static void RefusePath(const WCHAR* path)
{
    CNarrowCopy narrow(path);
    Refuse(narrow.Text());
}

/* Whether the path's state is to be saved now: it is the update's, not
 * saved yet, and the change will really touch it. */
static int NeedsEntry(const WCHAR* form, DWORD attributes, UndoIntent intent)
{
    if (!IsUpdatePath(form)) {
        return 0;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return intent != UNDO_BEFORE_REMOVING;
    }
    return intent != UNDO_BEFORE_MAKING_FOLDER;
}

int KeepUndo(const WCHAR* path, UndoIntent intent)
{
    if (!g_open) {
        return 1;
    }
    if (g_session.refusing) {
        return 0;
    }
    WCHAR form[kFormUnits];
    if (!NormalisePath(path, form, kFormUnits)) {
        RefusePath(path);
        return 0;
    }
    BYTE key[8];
    KeyOf('P', form, key);
    if (!IsUpdatePath(form) || IsKnown(key)) {
        return 1;
    }
    DWORD attributes = GetFileAttributesW(path);
    if (!NeedsEntry(form, attributes, intent)) {
        return 1;
    }
    UndoEntry entry;
    memset(&entry, 0, sizeof(entry));
    entry.kind = attributes == INVALID_FILE_ATTRIBUTES ? UNDO_KIND_ABSENT
                 : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? UNDO_KIND_FOLDER
                                                                : UNDO_KIND_FILE;
    entry.attributes = entry.kind == UNDO_KIND_ABSENT ? 0 : attributes;
    SpellAsOnDevice(path, entry.text);
    if (!AppendEntry(&entry, path)) {
        return 0;
    }
    AddKey(key);
    return 1;
}

int KeepUndoOfClosedWindow(const char* windowTitle)
{
    if (!g_open) {
        return 1;
    }
    if (g_session.refusing) {
        return 0;
    }
    UndoEntry entry;
    memset(&entry, 0, sizeof(entry));
    entry.kind = UNDO_KIND_CLOSED;
    CWideCopy title(windowTitle);
    wcsncpy(entry.text, title.Units(), UNDO_TEXT_UNITS - 1);
    BYTE key[8];
    KeyOf('W', entry.text, key);
    if (entry.text[0] == 0 || IsKnown(key)) {
        return 1;
    }
    if (!AppendEntry(&entry, NULL)) {
        return 0;
    }
    AddKey(key);
    return 1;
}

int IsUndoJournalRefusing()
{
    return g_open && g_session.refusing;
}
