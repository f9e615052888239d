/* The package's files held against its manifest. */
#ifndef HAILWATCH_PACKAGESCAN_H
#define HAILWATCH_PACKAGESCAN_H

#include "patch/PackageManifest.h"

/* Bytes of a device path of a package file or its installed copy. */
#define PACKAGE_PATH_SIZE 512

enum PackageFault {
    PACKAGE_MATCHES,
    PACKAGE_UNLISTED,    /* a file the manifest does not list */
    PACKAGE_MISSING,     /* a listed file gone from a package not yet begun */
    PACKAGE_SIZE,        /* a listed file of another size */
    PACKAGE_HASH,        /* a listed file of other contents */
    PACKAGE_UNREADABLE,  /* a file that could not be read, or a path too long */
    PACKAGE_NAME,        /* a name the device's file calls cannot take as it is
                            (code page 949 cannot hold it, or it would drop a
                            trailing dot or space), or one that names a file
                            another name of the package names too */
    PACKAGE_FOREIGN_COPY /* a CP line of the list copies from outside the package */
};

struct PackageScan {
    const char* packageFolder;
    const ManifestEntry* entries;
    int count;
    int* present;                     /* per entry: found in the package */
    int* mayBeAbsent;                 /* per entry: gone for a reason the terminal knows */
    int bookkeepingFound[2];          /* the manifest and its signature, found */
    char faultPath[PACKAGE_PATH_SIZE]; /* the file a fault names */
};

/* The manifest's own two files, relative to the package. */
extern const char* const kManifestPath;
extern const char* const kSignaturePath;

/* Every file in the package, at any depth, must be listed with its size and
 * hash, under a name the device reads as that entry and no other name of
 * the package does; marks each entry found. */
PackageFault CheckPackageFiles(PackageScan* contents);

/* Every listed file must be in the package, unless marked in `mayBeAbsent`
 * (by what the terminal knows of an earlier start of this very package). */
PackageFault CheckAbsentFiles(PackageScan* contents);

/* Sets the fault's file (cut to fit) and answers the fault. */
PackageFault SetPackageFault(PackageScan* contents, PackageFault fault, const char* path);

/* Whether the file at `path` has the entry's size and SHA-256. */
int HasEntryContents(const char* path, const ManifestEntry& entry);

/* SHA-256 and size of a file; 0 when it cannot be read. */
int HashFile(const char* path, DWORD* size, BYTE hash[SHA256_BYTES]);

#endif
