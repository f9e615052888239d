#include "filter.h"

#include <algorithm>

namespace hailog {

bool Filter::Any() const
{
    return !numbers.empty() || !function.empty() || errorsOnly || window.Any();
}

bool Filter::Accepts(const LogLine& line) const
{
    if (!numbers.empty() && std::find(numbers.begin(), numbers.end(), line.number) == numbers.end())
        return false;
    if (!function.empty() && line.function != function && line.ShortFunction() != function)
        return false;
    if (errorsOnly && line.tag != "<E>")
        return false;
    const Seconds first = line.Time();
    return window.Meets(first, line.Parsed() ? first : first + 3599);
}

} // namespace hailog
