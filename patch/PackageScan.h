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
    PACKAGE_UNREADABLE   /* a file that could not be read, or a path too long */
};

struct PackageScan {
    const char* packageFolder;
    const ManifestEntry* entries;
    int count;
    int* present;                     /* per entry: found in the package */
    char faultPath[PACKAGE_PATH_SIZE]; /* the file a fault names */
};

/* The manifest's own two files, relative to the package. */
extern const char* const kManifestPath;
extern const char* const kSignaturePath;

/* Every file in the package, at any depth, must be listed with its size and
 * hash; marks each entry found. */
PackageFault CheckPackageFiles(PackageScan* contents);

/* Every listed file must be in the package, unless `resumed`: the terminal
 * verified this very manifest at an earlier start and began to apply it, so
 * what is gone was moved by that start. */
PackageFault CheckAbsentFiles(PackageScan* contents, int resumed);

/* SHA-256 and size of a file; 0 when it cannot be read. */
int HashFile(const char* path, DWORD* size, BYTE hash[SHA256_BYTES]);

#endif
