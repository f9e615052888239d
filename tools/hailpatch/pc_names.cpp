#include "pc_names.h"

#include <system_error>

#include "native_text.h"

namespace hailpatch {

std::string ForeignNameProblem(const fs::path& path)
{
    std::string name = path.filename().string();
    if (FindInvalid949(name) != std::string::npos) {
        return DisplayName(path) + ": the name is not UTF-8, nor code page 949 text; rename it in UTF-8";
    }
    return DisplayName(path) + ": the name is code page 949 bytes (" + Cp949ToUtf8(name) + "), not UTF-8, as "
           "a card copied without converting its names gives; copy it again with the names converted to UTF-8 "
           "(convmv -f cp949 -t utf-8 -r --notest FOLDER)";
}

bool CheckPcNames(const fs::path& folder, std::string* error)
{
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!IsPcName(it->path().filename())) {
            *error = ForeignNameProblem(it->path());
            return false;
        }
    }
    return true;
}

} // namespace hailpatch
