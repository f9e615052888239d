/* The splitting of a patch-list line into its bracketed fields. */
#include "patch/PatchLine.h"

#include <string.h>

/* The field being collected; a byte that would not fit marks it too long
 * rather than being cut off, since a cut path names another file. */
struct FieldScratch {
    char bytes[PATCH_FIELD_SIZE];
    int used;
    int tooLong;
};

static void AppendByte(FieldScratch* scratch, char byte)
{
    if (scratch->used < PATCH_FIELD_SIZE - 1) {
        scratch->bytes[scratch->used++] = byte;
    } else {
        scratch->tooLong = 1;
    }
}

static void StartField(FieldScratch* scratch)
{
    scratch->used = 0;
    scratch->tooLong = 0;
}

int CPatchList::ParseFields(char (*fields)[PATCH_FIELD_SIZE], const char* line,
                            int length, int maxFields, char openChar,
                            char closeChar)
{
    int tooLong = 0;
    return SplitPatchFields(fields, line, length, maxFields, openChar, closeChar,
                            &tooLong);
}

int SplitPatchFields(char (*fields)[PATCH_FIELD_SIZE], const char* line, int length,
                     int maxFields, char openChar, char closeChar, int* tooLong)
{
    *tooLong = 0;
    if (fields == NULL || line == NULL || length < 1) {
        return 0;
    }
    FieldScratch scratch;
    StartField(&scratch);
    int depth = 0; /* goes below 0 on a closing bracket without an opening one */
    int count = 0;
    /* Fields past the area's end are ignored, over-long or not. */
    for (int i = 0; i < length && count < maxFields; ++i) {
        char byte = line[i];
        if (byte == openChar) {
            if (++depth > 1) {
                AppendByte(&scratch, byte);
            }
        } else if (byte == closeChar) {
            if (--depth != 0) {
                AppendByte(&scratch, byte);
            } else if (scratch.tooLong) {
                /* The whole line is malformed: take back what was stored. */
                memset(fields, 0, (size_t)count * PATCH_FIELD_SIZE);
                *tooLong = 1;
                return 0;
            } else {
                memcpy(fields[count++], scratch.bytes, (size_t)scratch.used);
                StartField(&scratch);
            }
        } else if (depth != 0) {
            AppendByte(&scratch, byte);
        }
    }
    return count;
}
