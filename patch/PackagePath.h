/* Where a device path lands, by the device's path rules, relative to the
 * package folder: what a signed package's list reaches must be read with
 * the rules the file calls will apply, not as the list spells it. */
#ifndef HAILWATCH_PACKAGEPATH_H
#define HAILWATCH_PACKAGEPATH_H

#include <stddef.h>

enum PathPlace {
    PLACE_INSIDE,   /* in the folder, or the folder itself */
    PLACE_OUTSIDE,
    PLACE_UNCLEAR   /* a name of dots and spaces only, other than "." and
                       "..": file systems disagree on what it names */
};

/* Resolves `path` and `folder` as the device does ("\" or "/" between
 * names, a leading one optional, "." dropped, ".." taking away the name
 * before it, the last name losing its trailing dots and spaces and the others
 * one trailing dot, ASCII letters in either case) and tells where `path`
 * lands. When inside, `relative` (`size` bytes) gets the path below `folder`
 * with "\" between names, "" for the folder itself; a path that does not
 * fit is unclear. A path starting with two separators is a network path,
 * outside. */
PathPlace PlaceInFolder(const char* path, const char* folder, char* relative, size_t size);

#endif
