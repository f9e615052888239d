// CPatchList::ParseFields on any bytes, held to the bracket rules.
//
// Input: one byte of settings, then the line. The settings' low seven bits
// give the number of slots (1 to 25); the high bit takes the brackets from
// the next two bytes instead of "(" and ")". The line is handed over in a
// buffer of exactly its length and the slots in an area of exactly their
// size, so AddressSanitizer sees any byte read or written past either.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "patch/PatchList.h"
#include "tests/fuzz/field_model.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& line)
{
    std::fprintf(stderr, "ParseFields: %s (line of %zu bytes)\n", what, line.size());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int maxFields = 1 + (data[0] & 0x7F) % PATCH_MAX_FIELDS;
    char openChar = '(';
    char closeChar = ')';
    size_t skip = 1;
    if ((data[0] & 0x80) != 0) {
        if (size < 3)
            return 0;
        openChar = static_cast<char>(data[1]);
        closeChar = static_cast<char>(data[2]);
        skip = 3;
    }
    const std::string line(reinterpret_cast<const char*>(data) + skip, size - skip);

    std::vector<char> exact(line.begin(), line.end());
    char(*fields)[PATCH_FIELD_SIZE] = new char[maxFields][PATCH_FIELD_SIZE];
    std::memset(fields, 0, static_cast<size_t>(maxFields) * PATCH_FIELD_SIZE);
    const int count = CPatchList::ParseFields(fields, exact.empty() ? "" : exact.data(),
                                              static_cast<int>(exact.size()), maxFields, openChar,
                                              closeChar);

    const std::vector<std::string> expected =
        fuzzmodel::ExpectedFields(line, openChar, closeChar, static_cast<size_t>(maxFields));
    if (count != static_cast<int>(expected.size()))
        Fail("wrong number of fields", line);
    // Every slot: the expected field, then zeros to the slot's end.
    for (int i = 0; i < maxFields; ++i) {
        char slot[PATCH_FIELD_SIZE] = {};
        if (i < count)
            std::memcpy(slot, expected[i].data(), expected[i].size());
        if (std::memcmp(slot, fields[i], PATCH_FIELD_SIZE) != 0)
            Fail("a slot differs from the expected field", line);
    }
    delete[] fields;
    return 0;
}
