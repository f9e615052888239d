/* Signed packages, opt-in: a terminal that holds the fleet's public key
 * applies a package only if its manifest is signed by the matching private
 * key, every file of the package matches it under a name the device reads
 * as that file, its list copies from the package only, and it is newer than
 * what the terminal has applied. */
#ifndef HAILWATCH_PACKAGEVERIFY_H
#define HAILWATCH_PACKAGEVERIFY_H

/* The files of the built-in flash store that a signed package's check
 * trusts, all out of the card holder's reach. */
struct TrustStore {
    const char* key;            /* the fleet's public key: without it, any package */
    const char* note;           /* the package begun (VerifiedRecord.h) */
    const char* sequence;       /* the highest number begun (AppliedSequence.h) */
    const char* installFolder;  /* where the bulk move puts the top-level files */
};

enum PackageTrust {
    TRUST_REFUSED = 0,       /* one "<E>" line said why; nothing was changed */
    TRUST_UNSIGNED,          /* no key: the terminal takes any package, and
                                nothing is read or logged */
    TRUST_SIGNED,            /* verified; the list is still to run or to finish */
    TRUST_SIGNED_LIST_DONE   /* verified, begun at an earlier start whose list
                                ran to its end: only the bulk move is left */
};

/* Checks the package; once it verifies, notes it as begun (and its number
 * as the highest) before anything else changes. A package this terminal
 * began at an earlier start may lack the files the lines already done (by
 * the list's progress record) moved or deleted, and, once its list is done,
 * the list and the top-level files already installed as signed. */
PackageTrust CheckPackageTrust(const char* packageFolder, const TrustStore& store);

/* The list of a package of TRUST_SIGNED ran to its end: noted before the
 * list is deleted, so a later start knows the list is gone for that reason. */
void NoteSignedListDone(const TrustStore& store);

/* After the bulk move of a signed package: once no file is left at the
 * package's top level, the package is done and its note goes. */
void EndSignedPackage(const char* packageFolder, const TrustStore& store);

/* The check as above with the terminal's own sequence file and install
 * folder; nonzero when the package may be applied. */
int VerifySignedPackage(const char* packageFolder, const char* keyPath, const char* recordPath);

#endif
