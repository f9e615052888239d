// Signed packages on the PC: the manifest of every file with its size and
// SHA-256 (hashed by the terminal's own code), its signature, and the
// terminal's own check of both.
#ifndef HAILPATCH_PACKAGE_SIGNING_H
#define HAILPATCH_PACKAGE_SIGNING_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "package_files.h"

namespace hailpatch {

namespace fs = std::filesystem;

// The manifest's two files, relative to the package, with '/' separators.
extern const char kManifestFile[];
extern const char kSignatureFile[];

// The sequence number a manifest carries: one more than `after`, or, with
// none given, the seconds since 1970-01-01 00:00 UTC (so a package signed
// later is newer). False when no number above `after` fits in 32 bits.
bool ChooseSequence(const std::optional<unsigned long long>& after, unsigned long* sequence,
                    std::string* error);

// Writes PKG/Signature/manifest.txt, carrying `sequence`, and manifest.sig
// signed with the private key in `keyFile`; false with one line in `error`
// for a package a keyed terminal would refuse (a name it cannot take as it
// stands or takes for another, a CP line copying from outside the package)
// or could not resume after a cut, an unreadable file or key. The key itself
// goes nowhere.
bool SignPackage(const fs::path& package, const fs::path& keyFile, unsigned long sequence,
                 std::string* error);

} // namespace hailpatch

#endif
