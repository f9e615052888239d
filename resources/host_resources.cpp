// The host build has no resource compiler: the same string table is handed
// to the backend's LoadStringW before any test or tool runs.
#include "platform/host/host_control.h"

namespace {

#define HAILWATCH_WIDE(text) L##text
#define HAILWATCH_STRING(id, text) {id, HAILWATCH_WIDE(text)},
const host::StringResource kStrings[] = {
#include "resources/strings.def"
};
#undef HAILWATCH_STRING

struct StringTableRegistration {
    StringTableRegistration()
    {
        host::RegisterStringTable(kStrings, sizeof(kStrings) / sizeof(kStrings[0]));
    }
};

const StringTableRegistration kRegistration;

} // namespace
