// The bracket rules of a patch-list line, written out again from their
// description rather than from the parser, so the fuzz targets can hold the
// parser to them.
#ifndef HAILWATCH_FUZZ_FIELD_MODEL_H
#define HAILWATCH_FUZZ_FIELD_MODEL_H

#include <cstddef>
#include <string>
#include <vector>

namespace fuzzmodel {

// Bytes a field may hold; one more would not fit its 256-byte slot.
constexpr size_t kLongestField = 255;

// The fields a line yields: the first `maxFields` complete ones, or none at
// all when one of those is longer than kLongestField.
std::vector<std::string> ExpectedFields(const std::string& line, char openChar, char closeChar,
                                        size_t maxFields);

} // namespace fuzzmodel

#endif
