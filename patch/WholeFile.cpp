#include "patch/WholeFile.h"

#include <stdio.h>

#include "patch/PathText.h"

int WriteFileMakingFolder(const char* path, const char* folder, const BYTE* bytes, size_t length)
{
    FILE* file = fopen(path, "wb");
    if (file == NULL) {
        CWideCopy wide(folder);
        CreateDirectoryW(wide.Units(), NULL);
        file = fopen(path, "wb");
    }
    int written = file != NULL && fwrite(bytes, 1, length, file) == length;
    if (file != NULL && fclose(file) != 0) {
        written = 0;
    }
    return written;
}
