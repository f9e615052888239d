/* The progress record of a patch list: two slots in the flash store, each a
 * whole record with its own check, the newer valid one in force, both held
 * open while the list runs. */
#include "patch/ListProgress.h"

#include <stdio.h>
#include <string.h>

#include "patch/PathText.h"

static const char* const kSlotPath[2] = {
    "\\ResidentFlash\\Hailnet\\update.resume-a",
    "\\ResidentFlash\\Hailnet\\update.resume-b",
};
/* The slots' folder, the install folder, made if a terminal lacks it (the
 * bulk move would make it all the same). */
static const char* const kSlotFolder = "\\ResidentFlash\\Hailnet";
/* Where earlier versions kept the slots: beside the package on the card. */
static const char* const kCardSlotSuffix[2] = { ".resume-a", ".resume-b" };
/* "HLRP" in the file's byte order. */
static const DWORD kMagic = 0x50524C48;
static const DWORD kVersion = 1;

/* Word positions of version 1; later versions add words before the check. */
enum RecordWord {
    WORD_MAGIC, WORD_VERSION, WORD_COUNT, WORD_SEQUENCE, WORD_LIST_BYTES,
    WORD_LIST_CRC, WORD_NEXT_LINE, WORD_RETRY_COPIES_BELOW, WORD_VERDICT,
    WORD_RETRY_COUNT, WORD_RETRY_FIRST,
    WORD_CHECK = WORD_RETRY_FIRST + LIST_PROGRESS_RETRY_LINES,
    RECORD_WORDS
};
/* A later version's record may be longer; this much of it is read. */
static const size_t kReadWords = 256;
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

static DWORD GetWord(const unsigned char* bytes, size_t word)
{
    const unsigned char* at = bytes + word * 4;
    return (DWORD)at[0] | ((DWORD)at[1] << 8) | ((DWORD)at[2] << 16) | ((DWORD)at[3] << 24);
}

static void PutWord(unsigned char* bytes, size_t word, DWORD value)
{
    unsigned char* at = bytes + word * 4;
    for (int i = 0; i < 4; ++i) {
        at[i] = (unsigned char)(value >> (8 * i));
    }
}

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

/* Reads one slot; answers 1 when it holds a whole record whose check holds. */
static int ReadSlot(const char* path, unsigned char* bytes, size_t* count)
{
    FILE* slot = fopen(path, "rb");
    if (slot == NULL) {
        return 0;
    }
    *count = fread(bytes, 1, kReadWords * 4, slot);
    fclose(slot);
    if (*count % 4 != 0 || *count < RECORD_WORDS * 4 || GetWord(bytes, WORD_MAGIC) != kMagic ||
        GetWord(bytes, WORD_VERSION) < kVersion || GetWord(bytes, WORD_COUNT) * 4 != *count) {
        return 0;
    }
    size_t checkWord = *count / 4 - 1;
    return (UpdateCrc(0xFFFFFFFFu, bytes, checkWord * 4) ^ 0xFFFFFFFFu) ==
           GetWord(bytes, checkWord);
}

static void TakeRecord(const unsigned char* bytes, ListProgress* progress)
{
    progress->nextLine = GetWord(bytes, WORD_NEXT_LINE);
    progress->retryCopiesBelow = GetWord(bytes, WORD_RETRY_COPIES_BELOW);
    progress->verdict = GetWord(bytes, WORD_VERDICT);
    DWORD count = GetWord(bytes, WORD_RETRY_COUNT);
    progress->retryCount = count < LIST_PROGRESS_RETRY_LINES ? count : LIST_PROGRESS_RETRY_LINES;
    for (DWORD i = 0; i < progress->retryCount; ++i) {
        progress->retry[i] = GetWord(bytes, WORD_RETRY_FIRST + i);
    }
}

static void FormSlotPaths(ListProgress* progress)
{
    for (int slot = 0; slot < 2; ++slot) {
        strcpy(progress->slotPath[slot], kSlotPath[slot]);
    }
}

static void StartEmpty(ListProgress* progress)
{
    memset(progress, 0, sizeof(*progress));
    progress->nextLine = 1;
    progress->newestSlot = -1;
    FormSlotPaths(progress);
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
    unsigned char bytes[kReadWords * 4];
    int belongs = 0;
    for (int slot = 0; slot < 2; ++slot) {
        size_t count = 0;
        if (!ReadSlot(progress->slotPath[slot], bytes, &count)) {
            continue;
        }
        DWORD sequence = GetWord(bytes, WORD_SEQUENCE);
        if (progress->newestSlot >= 0 && sequence <= progress->sequence) {
            continue;
        }
        progress->newestSlot = slot;
        progress->sequence = sequence;
        belongs = GetWord(bytes, WORD_LIST_BYTES) == progress->listBytes &&
                  GetWord(bytes, WORD_LIST_CRC) == progress->listCrc;
        if (belongs) {
            TakeRecord(bytes, progress);
        } else {
            progress->nextLine = 1;
            progress->retryCopiesBelow = 0;
            progress->verdict = LIST_VERDICT_NONE;
            progress->retryCount = 0;
        }
    }
    return belongs;
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

static void FormRecord(const ListProgress* progress, DWORD sequence, unsigned char* bytes)
{
    memset(bytes, 0, RECORD_WORDS * 4);
    PutWord(bytes, WORD_MAGIC, kMagic);
    PutWord(bytes, WORD_VERSION, kVersion);
    PutWord(bytes, WORD_COUNT, RECORD_WORDS);
    PutWord(bytes, WORD_SEQUENCE, sequence);
    PutWord(bytes, WORD_LIST_BYTES, progress->listBytes);
    PutWord(bytes, WORD_LIST_CRC, progress->listCrc);
    PutWord(bytes, WORD_NEXT_LINE, progress->nextLine);
    PutWord(bytes, WORD_RETRY_COPIES_BELOW, progress->retryCopiesBelow);
    PutWord(bytes, WORD_VERDICT, progress->verdict);
    PutWord(bytes, WORD_RETRY_COUNT, progress->retryCount);
    for (DWORD i = 0; i < progress->retryCount; ++i) {
        PutWord(bytes, WORD_RETRY_FIRST + i, progress->retry[i]);
    }
    PutWord(bytes, WORD_CHECK, UpdateCrc(0xFFFFFFFFu, bytes, WORD_CHECK * 4) ^ 0xFFFFFFFFu);
}

/* A slot is the record's when it is a file: a missing one is made empty
 * (it holds no valid record), a read-only one made writable, an empty
 * folder removed. Anything else keeps the path from the record. */
static int MakeSlotFile(const char* path)
{
    CWideCopy wide(path);
    DWORD attributes = GetFileAttributesW(wide.Units());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (!RemoveDirectoryW(wide.Units())) {
            return 0;
        }
        attributes = INVALID_FILE_ATTRIBUTES;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        FILE* made = fopen(path, "wb");
        if (made == NULL) {
            CWideCopy folder(kSlotFolder);
            CreateDirectoryW(folder.Units(), NULL);
            made = fopen(path, "wb");
        }
        return made != NULL && fclose(made) == 0;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(wide.Units(), FILE_ATTRIBUTE_NORMAL);
    }
    return 1;
}

int HoldListProgress(ListProgress* progress)
{
    for (int slot = 0; slot < 2; ++slot) {
        progress->held[slot] = NULL;
    }
    for (int slot = 0; slot < 2; ++slot) {
        if (!MakeSlotFile(progress->slotPath[slot])) {
            ReleaseListProgress(progress);
            return 0;
        }
        /* An open file is neither deleted nor overwritten on the terminal:
         * this, not a rule of the interpreter, keeps every line off it. */
        progress->held[slot] = fopen(progress->slotPath[slot], "rb");
        if (progress->held[slot] == NULL) {
            ReleaseListProgress(progress);
            return 0;
        }
    }
    return 1;
}

void ReleaseListProgress(ListProgress* progress)
{
    for (int slot = 0; slot < 2; ++slot) {
        if (progress->held[slot] != NULL) {
            fclose(progress->held[slot]);
            progress->held[slot] = NULL;
        }
    }
}

static int WriteSlot(const char* path, const unsigned char* bytes, size_t count)
{
    FILE* file = fopen(path, "wb");
    int written = file != NULL && fwrite(bytes, 1, count, file) == count;
    if (file != NULL && fclose(file) != 0) {
        written = 0;
    }
    return written;
}

int SaveListProgress(ListProgress* progress)
{
    if (!progress->writable) {
        return 0;
    }
    /* Never the slot in force: a cut now must leave it whole. */
    int slot = progress->newestSlot == 0 ? 1 : 0;
    DWORD sequence = progress->sequence + 1;
    unsigned char bytes[RECORD_WORDS * 4];
    FormRecord(progress, sequence, bytes);
    if (progress->held[slot] != NULL) {
        fclose(progress->held[slot]);
        progress->held[slot] = NULL;
    }
    int written = WriteSlot(progress->slotPath[slot], bytes, sizeof(bytes));
    progress->held[slot] = fopen(progress->slotPath[slot], "rb");
    if (!written || progress->held[slot] == NULL) {
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
        DeleteIfThere(kSlotPath[slot]);
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
