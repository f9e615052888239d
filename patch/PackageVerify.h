/* Signed packages, opt-in: a terminal that holds the fleet's public key
 * applies a package only if its manifest is signed by the matching private
 * key and every file of the package matches it. */
#ifndef HAILWATCH_PACKAGEVERIFY_H
#define HAILWATCH_PACKAGEVERIFY_H

/* 1 when the package may be applied: `keyPath` does not exist (the terminal
 * takes unsigned packages, and nothing is read or logged), or the package
 * verifies; then `recordPath` notes the manifest, so that a later start
 * of the same package, half applied, takes the files already moved as
 * moved. 0, with one "<E>" line in the log saying why, when it does not
 * verify; nothing is changed then. */
int VerifySignedPackage(const char* packageFolder, const char* keyPath, const char* recordPath);

#endif
