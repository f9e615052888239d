#include "tests/fuzz/field_model.h"

namespace fuzzmodel {

// Depth counts opening brackets less closing ones and may go below zero.
// An opening bracket is kept when it leaves the depth above 1; a closing one
// that brings the depth back to exactly 0 ends a field, any other is kept;
// every other byte is kept whenever the depth is not 0. A field still open
// at the end is dropped.
std::vector<std::string> ExpectedFields(const std::string& line, char openChar, char closeChar,
                                        size_t maxFields)
{
    std::vector<std::string> fields;
    std::string scratch;
    long depth = 0;
    for (char byte : line) {
        if (byte == openChar) {
            if (++depth > 1)
                scratch += byte;
        } else if (byte == closeChar) {
            if (--depth == 0) {
                fields.push_back(scratch);
                scratch.clear();
            } else {
                scratch += byte;
            }
        } else if (depth != 0) {
            scratch += byte;
        }
    }
    if (fields.size() > maxFields)
        fields.resize(maxFields);
    for (const std::string& field : fields) {
        if (field.size() > kLongestField)
            return {};
    }
    return fields;
}

} // namespace fuzzmodel
