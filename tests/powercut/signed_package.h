// The power-cut package as a terminal holding the fleet's key takes it: a
// manifest of every file of the package and its signature, made with
// hailpatch's key code, and the public key in \ResidentFlash\Hailnet.
#ifndef HAILWATCH_TESTS_SIGNED_PACKAGE_H
#define HAILWATCH_TESTS_SIGNED_PACKAGE_H

#include <string>

#include "tests/powercut/update_package.h"

namespace powercut {

// False, with `error` set, when the key or the signature could not be made.
bool SignForTerminal(Package* package, std::string* error);

} // namespace powercut

#endif
