#include "problems.h"

#include <iostream>

namespace hailog {

void Problems::Warn(const std::string& what)
{
    ++count_;
    if (!said_.insert(what).second)
        return;
    std::cerr << "hailog: " << what << "\n";
}

} // namespace hailog
