// Compiled with -fexec-charset=CP949, as the core is: every literal here
// holds the bytes the terminal writes.
#include "log_contract.h"

namespace hailog::contract {

const std::string_view kResultLabel = LOG_RESULT_LABEL;
const std::string_view kSourceLabel = LOG_SOURCE_LABEL;
const std::string_view kClosedWindowLabel = LOG_CLOSED_WINDOW_LABEL;
const std::string_view kErrorLabel = LOG_ERROR_LABEL;

const std::string_view kStartBanner = LOG_START_BANNER;
const std::string_view kEndBanner = LOG_END_BANNER;
const std::string_view kVersion = LOG_VERSION;
const std::string_view kRollbackBegun = LOG_ROLLBACK_BEGUN_FORMAT;
const std::string_view kRollbackDone = LOG_ROLLBACK_DONE_FORMAT;
const std::string_view kRollbackResumed = LOG_ROLLBACK_RESUMED_FORMAT;

} // namespace hailog::contract
