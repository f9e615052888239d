// The texts of the log's contract (log/LogCatalogue.h) as the terminal
// writes them: in code page 949, since log_contract.cpp alone is compiled
// so. The numbers and the function names are ASCII and are taken from the
// catalogue itself.
#ifndef HAILOG_LOG_CONTRACT_H
#define HAILOG_LOG_CONTRACT_H

#include <string_view>

#include "log/LogCatalogue.h"

namespace hailog::contract {

// Labels of the fields the summary takes out of the update's lines.
extern const std::string_view kResultLabel;
extern const std::string_view kSourceLabel;
extern const std::string_view kClosedWindowLabel;
extern const std::string_view kErrorLabel;

// Whole formats, read through ReadMessage (message_format.h).
extern const std::string_view kStartBanner;
extern const std::string_view kEndBanner;
extern const std::string_view kVersion;
extern const std::string_view kRollbackBegun;
extern const std::string_view kRollbackDone;
extern const std::string_view kRollbackResumed;

} // namespace hailog::contract

#endif
