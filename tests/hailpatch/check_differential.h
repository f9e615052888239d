// check against try: a package generated from a small vocabulary is checked,
// and the same package is run by the try engine on a fresh stock terminal;
// check's line-by-line changes must add up to what try observed, and its
// verdict must be 2 exactly when try's own observation shows a package that
// destroys, loses, never finishes or blocks too long.
#ifndef HAILPATCH_CHECK_DIFFERENTIAL_H
#define HAILPATCH_CHECK_DIFFERENTIAL_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace hailpatch_test {

// Builds a package from `size` bytes (any bytes make some package) under a
// temporary folder, checks it, tries it; empty when they agree, else what
// differs together with the package's list.
std::string CheckAgreesWithTry(const std::uint8_t* data, std::size_t size);

} // namespace hailpatch_test

#endif
