/* The progress record of a patch list: two slots in the flash store, each a
 * whole record with its own check, the newer valid one in force, both held
 * open while the list runs. */
#include "patch/ListProgress.h"

#include <stdio.h>
#include <string.h>

#include "patch/PathText.h"
#include "patch/RecordSlots.h"

/* Where earlier versions kept the slots: beside the package on the card. */
static const char* const kCardSlotSuffix[2] = { ".resume-a", ".resume-b" };

/* Word positions of version 1; later versions add words before the check. */
enum RecordWord {
    WORD_LIST_BYTES = RECORD_WORD_FIRST_FIELD,
    WORD_LIST_CRC, WORD_NEXT_LINE, WORD_RETRY_COPIES_BELOW, WORD_VERDICT,
    WORD_RETRY_COUNT, WORD_RETRY_FIRST,
    WORD_CHECK = WORD_RETRY_FIRST + LIST_PROGRESS_RETRY_LINES,
    RECORD_WORDS
};
static const size_t kListChunk = 512;

/* CRC-32 (IEEE), four bytes at a step through tables of remainders made on
 * first use (table[k][n]: byte n followed by k zero bytes): a list is
 * measured at every start. */
static DWORD UpdateCrc(DWORD crc, const unsigned char* bytes, size_t count)
{
    static DWORD table[4][256];
    static int made = 0;
    if (!made) {
        for (DWORD n = 0; n < 256; ++n) {
            DWORD value = n;
            for (int bit = 0; bit < 8; ++bit) {
                value = (value >> 1) ^ ((value & 1) != 0 ? 0xEDB88320u : 0u);
            }
            table[0][n] = value;
        }
        for (DWORD n = 0; n < 256; ++n) {
            for (int k = 1; k < 4; ++k) {
                table[k][n] = (table[k - 1][n] >> 8) ^ table[0][table[k - 1][n] & 0xFF];
            }
        }
        made = 1;
    }
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        crc ^= (DWORD)bytes[i] | ((DWORD)bytes[i + 1] << 8) | ((DWORD)bytes[i + 2] << 16) |
               ((DWORD)bytes[i + 3] << 24);
        crc = table[3][crc & 0xFF] ^ table[2][(crc >> 8) & 0xFF] ^ table[1][(crc >> 16) & 0xFF] ^
              table[0][crc >> 24];
    }
    for (; i < count; ++i) {
        crc = (crc >> 8) ^ table[0][(crc ^ bytes[i]) & 0xFF];
    }
    return crc;
}

/* A record's check: the CRC-32 of its words before the check word. */
static DWORD CrcOfWords(const BYTE* bytes, size_t words)
{
    return UpdateCrc(0xFFFFFFFFu, bytes, words * 4) ^ 0xFFFFFFFFu;
}

/* "HLRP" in the file's byte order. */
static const RecordSlotForm kForm = {
    { "\\ResidentFlash\\Hailnet\\update.resume-a", "\\ResidentFlash\\Hailnet\\update.resume-b" },
    0x50524C48, 1, RECORD_WORDS, CrcOfWords
};

int MeasurePatchList(const char* listPath, DWORD* bytes, DWORD* crc)
{
    FILE* list = fopen(listPath, "rb");
    if (list == NULL) {
        return 0;
    }
    unsigned char chunk[kListChunk];
    DWORD running = 0xFFFFFFFFu;
    DWORD total = 0;
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), list)) > 0) {
        running = UpdateCrc(running, chunk, got);
        total += (DWORD)got;
    }
    fclose(list);
    *bytes = total;
    *crc = running ^ 0xFFFFFFFFu;
    return 1;
}

static void TakeRecord(const BYTE* bytes, ListProgress* progress)
{
    progress->nextLine = GetRecordWord(bytes, WORD_NEXT_LINE);
    progress->retryCopiesBelow = GetRecordWord(bytes, WORD_RETRY_COPIES_BELOW);
    progress->verdict = GetRecordWord(bytes, WORD_VERDICT);
    DWORD count = GetRecordWord(bytes, WORD_RETRY_COUNT);
    progress->retryCount = count < LIST_PROGRESS_RETRY_LINES ? count : LIST_PROGRESS_RETRY_LINES;
    for (DWORD i = 0; i < progress->retryCount; ++i) {
        progress->retry[i] = GetRecordWord(bytes, WORD_RETRY_FIRST + i);
    }
}

static void StartEmpty(ListProgress* progress)
{
    memset(progress, 0, sizeof(*progress));
    progress->nextLine = 1;
    progress->newestSlot = -1;
}

int LoadListProgress(const char* listPath, ListProgress* progress)
{
    DWORD listBytes = 0;
    DWORD listCrc = 0;
    if (!MeasurePatchList(listPath, &listBytes, &listCrc)) {
        StartEmpty(progress);
        return -1;
    }
    return LoadMeasuredListProgress(listBytes, listCrc, progress);
}

int LoadMeasuredListProgress(DWORD listBytes, DWORD listCrc, ListProgress* progress)
{
    StartEmpty(progress);
    progress->listBytes = listBytes;
    progress->listCrc = listCrc;
    progress->writable = 1;
    BYTE bytes[RECORD_SLOT_MAX_WORDS * 4];
    progress->newestSlot = ReadRecordInForce(&kForm, bytes, &progress->sequence);
    if (progress->newestSlot < 0 || GetRecordWord(bytes, WORD_LIST_BYTES) != listBytes ||
        GetRecordWord(bytes, WORD_LIST_CRC) != listCrc) {
        return 0;
    }
    TakeRecord(bytes, progress);
    return 1;
}

static int FindRetry(const ListProgress* progress, DWORD line)
{
    for (DWORD i = 0; i < progress->retryCount; ++i) {
        if (progress->retry[i] == line) {
            return (int)i;
        }
    }
    return -1;
}

int IsLineSettled(const ListProgress* progress, DWORD line)
{
    return line < progress->nextLine && line >= progress->retryCopiesBelow &&
           FindRetry(progress, line) < 0;
}

int IsLineDue(const ListProgress* progress, DWORD line, int isCopy)
{
    if (line >= progress->nextLine) {
        return 1;
    }
    return isCopy && !IsLineSettled(progress, line);
}

/* A failed copy is named for the next start; with no room left, every
 * copy up to it is retried instead. */
static int NoteFailedCopy(ListProgress* progress, DWORD line)
{
    if (FindRetry(progress, line) >= 0) {
        return 0;
    }
    if (progress->retryCount < LIST_PROGRESS_RETRY_LINES) {
        progress->retry[progress->retryCount++] = line;
        return 1;
    }
    progress->overflowed = 1;
    if (progress->retryCopiesBelow > line) {
        return 0;
    }
    progress->retryCopiesBelow = line + 1;
    return 1;
}

static int ForgetRetry(ListProgress* progress, DWORD line)
{
    int at = FindRetry(progress, line);
    if (at < 0) {
        return 0;
    }
    progress->retry[at] = progress->retry[--progress->retryCount];
    return 1;
}

int NoteLineRun(ListProgress* progress, DWORD line, int isCopy, int succeeded)
{
    int changed = 0;
    if (isCopy) {
        changed = succeeded ? ForgetRetry(progress, line) : NoteFailedCopy(progress, line);
    }
    if (line >= progress->nextLine) {
        progress->nextLine = line + 1;
        changed = 1;
    }
    return changed;
}

int NoteListEnd(ListProgress* progress, DWORD lastLine)
{
    /* Every copy before `retryCopiesBelow` has now been tried again, and
     * each that failed is named: the blanket retry is over, unless a
     * failure found no room this time as well. */
    if (progress->retryCopiesBelow == 0 || progress->overflowed ||
        lastLine + 1 < progress->retryCopiesBelow) {
        return 0;
    }
    progress->retryCopiesBelow = 0;
    return 1;
}

static void FormRecord(const ListProgress* progress, DWORD sequence, BYTE* bytes)
{
    memset(bytes, 0, RECORD_WORDS * 4);
    PutRecordWord(bytes, WORD_LIST_BYTES, progress->listBytes);
    PutRecordWord(bytes, WORD_LIST_CRC, progress->listCrc);
    PutRecordWord(bytes, WORD_NEXT_LINE, progress->nextLine);
    PutRecordWord(bytes, WORD_RETRY_COPIES_BELOW, progress->retryCopiesBelow);
    PutRecordWord(bytes, WORD_VERDICT, progress->verdict);
    PutRecordWord(bytes, WORD_RETRY_COUNT, progress->retryCount);
    for (DWORD i = 0; i < progress->retryCount; ++i) {
        PutRecordWord(bytes, WORD_RETRY_FIRST + i, progress->retry[i]);
    }
    SealRecord(&kForm, sequence, bytes);
}

int HoldListProgress(ListProgress* progress)
{
    return HoldRecordSlots(&kForm, progress->held);
}

void ReleaseListProgress(ListProgress* progress)
{
    ReleaseRecordSlots(progress->held);
}

int SaveListProgress(ListProgress* progress)
{
    if (!progress->writable) {
        return 0;
    }
    /* Never the slot in force: a cut now must leave it whole. */
    int slot = progress->newestSlot == 0 ? 1 : 0;
    DWORD sequence = progress->sequence + 1;
    BYTE bytes[RECORD_WORDS * 4];
    FormRecord(progress, sequence, bytes);
    if (!WriteRecordSlot(&kForm, slot, bytes, progress->held)) {
        progress->writable = 0;
        return 0;
    }
    progress->newestSlot = slot;
    progress->sequence = sequence;
    return 1;
}

static void DeleteIfThere(const char* path)
{
    CWideCopy wide(path);
    if (GetFileAttributesW(wide.Units()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileW(wide.Units());
    }
}

void ForgetListProgress(const char* folder)
{
    for (int slot = 0; slot < 2; ++slot) {
        DeleteIfThere(kForm.paths[slot]);
        char cardSlot[LIST_PROGRESS_PATH_SIZE];
        size_t folderLength = strlen(folder);
        size_t suffixLength = strlen(kCardSlotSuffix[slot]);
        /* Copied by length: the compiler for Windows cannot see the bound a
         * "%s%s" format would need. */
        if (folderLength + suffixLength < sizeof(cardSlot)) {
            memcpy(cardSlot, folder, folderLength);
            memcpy(cardSlot + folderLength, kCardSlotSuffix[slot], suffixLength + 1);
            DeleteIfThere(cardSlot);
        }
    }
}
