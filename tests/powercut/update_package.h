// The package the power-cut test applies: what a real terminal update looks
// like, with every kind of step the start-up update takes.
#ifndef HAILWATCH_TESTS_UPDATE_PACKAGE_H
#define HAILWATCH_TESTS_UPDATE_PACKAGE_H

#include <map>
#include <string>

#include "tests/powercut/device_tree.h"

namespace powercut {

struct Package {
    // The device before its first start with the package on the SD card.
    Tree device;
    // Where the update puts each file of the package, and where it comes
    // from: until the move is done, the package's copy is the one that counts.
    std::map<std::string, std::string> sourceOf;
};

Package RealisticPackage();
// Replaces a map folder and a folder of read-only sounds the usual way:
// remove it, make it again, copy the new files in.
Package RefillPackage();
// The same refill whose list also empties the card's top level after the
// map's copies (the card holds photos there): a list must never take away
// what keeps it from running a line twice.
Package CardCleaningPackage();
// The refill with one more copy that fails at every start (its destination
// folder is never made): the package is kept, and the folders must keep
// their new files however often the terminal starts.
Package KeptRefillPackage();
// The refill with folders holding files where earlier versions kept the
// list's progress record, beside the package on the card: the record lives
// in the flash store, so they change nothing.
Package RefillWithCardRecordFolders();
// The refill with a folder holding a file at the record's own path in the
// flash store: no record can be kept, so no line ever runs and nothing is
// installed, however the starts are cut.
Package RefillWithRecordPathBlocked();

} // namespace powercut

#endif
