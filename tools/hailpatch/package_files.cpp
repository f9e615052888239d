#include "package_files.h"

#include <algorithm>
#include <system_error>

#include "native_text.h"
#include "pc_names.h"
#include "patch/PackageScan.h"

namespace hailpatch {

namespace {

const char kListName[] = "patch_list.txt";

std::string WithBackslashes(std::string text)
{
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// The relative name in 949, one component at a time, so a single
// unrepresentable component makes the whole name unrepresentable.
bool RelativeName949(const fs::path& relative, std::string* out)
{
    std::string joined;
    for (const fs::path& part : relative) {
        std::string bytes;
        if (!NameTo949(part, &bytes)) {
            return false;
        }
        joined += (joined.empty() ? "" : "\\") + bytes;
    }
    *out = joined;
    return true;
}

void AddEntry(const fs::path& root, const fs::directory_entry& entry, PackageContents* contents)
{
    std::error_code ec;
    fs::path relative = entry.path().lexically_relative(root);
    std::string name949;
    bool representable = RelativeName949(relative, &name949);
    if (entry.is_directory(ec)) {
        if (representable) {
            contents->folders.push_back(name949);
        }
        // The terminal finds no list there (it cannot open a folder) and
        // carries on without one.
        if (FoldCase(relative.string()) == kListName) {
            contents->listIsFolder = true;
        }
        return;
    }
    PackageFile file;
    file.native = entry.path();
    file.representable = representable;
    file.name949 = representable ? name949 : std::string();
    file.shown = WithBackslashes(DisplayName(relative));
    file.topLevel = !relative.has_parent_path();
    if (file.topLevel && representable && FoldCase(name949) == kListName) {
        contents->list = entry.path();
    }
    contents->files.push_back(file);
}

} // namespace

bool IsSignatureFile(const PackageFile& file)
{
    return file.representable && IsSignatureName(file.name949);
}

bool IsSignatureName(const std::string& name)
{
    std::string path = WithBackslashes(name);
    return IsSameManifestPath(path.c_str(), kManifestPath) ||
           IsSameManifestPath(path.c_str(), kSignaturePath);
}

std::string FoldCase(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

bool ReadPackage(const fs::path& folder, PackageContents* contents, std::string* error)
{
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        *error = DisplayName(folder) + ": no such folder";
        return false;
    }
    if (!fs::is_directory(folder, ec)) {
        *error = DisplayName(folder) + ": not a folder";
        return false;
    }
    fs::recursive_directory_iterator it(folder, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!IsPcName(it->path().filename())) {
            *error = ForeignNameProblem(it->path());
            return false;
        }
        AddEntry(folder, *it, contents);
    }
    if (ec) {
        *error = DisplayName(folder) + ": cannot be read: " + ec.message();
        return false;
    }
    std::sort(contents->files.begin(), contents->files.end(),
              [](const PackageFile& a, const PackageFile& b) { return a.shown < b.shown; });
    std::sort(contents->folders.begin(), contents->folders.end());
    return true;
}

} // namespace hailpatch
