#include "problems.h"

#include <iostream>

#include "progress.h"

namespace hailog {

void Problems::Warn(const std::string& what)
{
    ++count_;
    if (!said_.insert(what).second)
        return;
    if (hold_) {
        held_.push_back("hailog: " + prefix_ + what);
        return;
    }
    if (progress_)
        progress_->Clear();
    std::cerr << "hailog: " << what << "\n";
}

} // namespace hailog
