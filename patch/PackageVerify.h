/* Signed packages, opt-in: a terminal that holds the fleet's public key
 * applies a package only if its manifest is signed by the matching private
 * key, every file of the package matches it under a name the device reads
 * as that file, its list copies from the package only, and it is newer than
 * what the terminal has applied. */
#ifndef HAILWATCH_PACKAGEVERIFY_H
#define HAILWATCH_PACKAGEVERIFY_H

enum PackageTrust {
    TRUST_REFUSED = 0,       /* one "<E>" line said why; nothing was changed */
    TRUST_UNSIGNED,          /* no key: the terminal takes any package, and
                                nothing is read or logged */
    TRUST_SIGNED,            /* verified; the list is still to run or to finish */
    TRUST_SIGNED_LIST_DONE   /* verified, begun at an earlier start whose list
                                ran to its end: only the bulk move is left */
};

/* Checks the package as a terminal holding the key at `keyPath` does, and
 * answers a PackageTrust (nonzero: the package may be applied). Once the
 * package verifies, notes it as begun in `notePath` (VerifiedRecord.h) and
 * its number as the highest in \ResidentFlash\Hailnet\update.sequence
 * (AppliedSequence.h), before anything else changes. A package this
 * terminal began at an earlier start may lack the files the lines already
 * done (by the list's progress record) moved or deleted, and, once its list
 * is done, the list and the top-level files already installed in
 * \ResidentFlash\Hailnet as signed. */
int VerifySignedPackage(const char* packageFolder, const char* keyPath, const char* notePath);

/* The list of a package of TRUST_SIGNED ran to its end: noted before the
 * list is deleted, so a later start knows the list is gone for that reason. */
void NoteSignedListDone(const char* notePath);

/* After the bulk move of a signed package: once no file is left at the
 * package's top level, the package is done and its note goes. */
void EndSignedPackage(const char* packageFolder, const char* notePath);

#endif
