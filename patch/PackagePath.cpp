/* Path resolution in 8-bit code page 949 text: a trail byte is never a
 * separator, a dot or a space, so names are split and trimmed byte by byte. */
#include "patch/PackagePath.h"

#include <string.h>

#include "patch/PackageManifest.h"

/* Names a resolved path may hold: a 255-byte path has at most 128. */
static const int kMaxNames = 128;

/* A resolved path: its names, each a span of `text`. */
struct ResolvedPath {
    char text[PATCH_PATH_SIZE];
    size_t length;
    size_t start[kMaxNames];
    int count;
};

static int IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

static int IsDotsAndSpaces(const char* name, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (name[i] != '.' && name[i] != ' ') return 0;
    }
    return 1;
}

/* The last name loses every trailing dot and space, the others a single
 * trailing dot (but ".." stays as it is). */
static size_t TrimmedLength(const char* name, size_t length, int last)
{
    if (last) {
        while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) --length;
    } else if (length >= 2 && name[length - 1] == '.' && name[length - 2] != '.') {
        --length;
    }
    return length;
}

static PathPlace AddName(ResolvedPath* path, const char* name, size_t length, int last)
{
    if (length == 0 || (length == 1 && name[0] == '.')) return PLACE_INSIDE;
    if (length == 2 && name[0] == '.' && name[1] == '.') {
        if (path->count > 0) path->length = path->start[--path->count] - 1;
        return PLACE_INSIDE;
    }
    if (IsDotsAndSpaces(name, length)) return PLACE_UNCLEAR;
    length = TrimmedLength(name, length, last);
    if (path->count == kMaxNames || path->length + 1 + length >= sizeof(path->text)) {
        return PLACE_UNCLEAR;
    }
    path->text[path->length++] = '\\';
    path->start[path->count++] = path->length;
    memcpy(path->text + path->length, name, length);
    path->length += length;
    return PLACE_INSIDE;
}

/* PLACE_INSIDE once resolved; PLACE_OUTSIDE for a network path. */
static PathPlace Resolve(const char* text, ResolvedPath* path)
{
    path->length = 0;
    path->count = 0;
    if (IsSeparator(text[0]) && IsSeparator(text[1])) return PLACE_OUTSIDE;
    const char* name = text;
    for (const char* p = text;; ++p) {
        if (*p != 0 && !IsSeparator(*p)) continue;
        PathPlace place = AddName(path, name, (size_t)(p - name), *p == 0);
        if (place != PLACE_INSIDE) return place;
        if (*p == 0) break;
        name = p + 1;
    }
    path->text[path->length] = 0;
    return PLACE_INSIDE;
}

/* The i-th name of a resolved path, copied out to compare. */
static void NameAt(const ResolvedPath& path, int i, char* out)
{
    size_t end = i + 1 < path.count ? path.start[i + 1] - 1 : path.length;
    memcpy(out, path.text + path.start[i], end - path.start[i]);
    out[end - path.start[i]] = 0;
}

static int StartsWithFolder(const ResolvedPath& path, const ResolvedPath& folder)
{
    char mine[PATCH_PATH_SIZE];
    char theirs[PATCH_PATH_SIZE];
    if (path.count < folder.count) return 0;
    for (int i = 0; i < folder.count; ++i) {
        NameAt(path, i, mine);
        NameAt(folder, i, theirs);
        if (!IsSameManifestPath(mine, theirs)) return 0;
    }
    return 1;
}

PathPlace PlaceInFolder(const char* path, const char* folder, char* relative, size_t size)
{
    ResolvedPath resolved;
    ResolvedPath base;
    memset(relative, 0, size);
    if (strlen(path) >= PATCH_PATH_SIZE || strlen(folder) >= PATCH_PATH_SIZE) return PLACE_UNCLEAR;
    PathPlace place = Resolve(path, &resolved);
    if (place != PLACE_INSIDE) return place;
    if (Resolve(folder, &base) != PLACE_INSIDE) return PLACE_OUTSIDE;
    if (!StartsWithFolder(resolved, base)) return PLACE_OUTSIDE;
    if (resolved.count == base.count) return PLACE_INSIDE;
    const char* below = resolved.text + resolved.start[base.count];
    if (strlen(below) >= size) return PLACE_UNCLEAR;
    strcpy(relative, below);
    return PLACE_INSIDE;
}
