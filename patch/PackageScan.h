/* The package's files held against its manifest. */
#ifndef HAILWATCH_PACKAGESCAN_H
#define HAILWATCH_PACKAGESCAN_H

#include "patch/PackageManifest.h"

/* Bytes of a device path of a package file or its installed copy. */
#define PACKAGE_PATH_SIZE 512

enum PackageFault {
    PACKAGE_MATCHES,
    PACKAGE_UNLISTED,    /* a file the manifest does not list */
    PACKAGE_MISSING,     /* a listed file neither in the package nor installed */
    PACKAGE_SIZE,        /* a listed file of another size */
    PACKAGE_HASH,        /* a listed file of other contents */
    PACKAGE_UNREADABLE   /* a file that could not be read, or a path too long */
};

struct PackageScan {
    const char* packageFolder;
    const char* installFolder;
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

/* A listed file that is gone from the package passes only where an earlier
 * start of this package moved it: at the destination of the list's CP line
 * for it, or for a top-level file in the install folder, with its size and
 * hash. So a package cut short still verifies, and a file taken out of a
 * package before it ran is refused unless the terminal already holds it
 * exactly. The list itself may be gone only once no subfolder file is left
 * (the list ran to its end); a subfolder file may be gone without a trace
 * only when the list is gone too. */
PackageFault CheckMovedFiles(PackageScan* contents);

/* SHA-256 and size of a file; 0 when it cannot be read. */
int HashFile(const char* path, DWORD* size, BYTE hash[SHA256_BYTES]);

#endif
