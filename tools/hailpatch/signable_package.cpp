#include "signable_package.h"

#include <cstdio>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

#include "patch/PackageManifest.h"
#include "patch/PackagePath.h"
#include "patch/PatchLine.h"
#include "tools/common/pc_text.h"

namespace hailpatch {

namespace {

const char kPackageFolder[] = "\\SDMMC\\AirUpdate";
const char kInstallFolder[] = "\\ResidentFlash\\Hailnet";
const char kSignatureFolder[] = "Signature";

// One line of the list that copies: its number, where the source lands in
// the package and the destination folder as the list gives it.
struct Copy {
    int line = 0;
    PathPlace place = PLACE_OUTSIDE;
    std::string source;        // as the terminal forms it, for messages
    std::string relative;      // below the package, when inside
    std::string destination;
};

// Each name as the terminal's file calls take it: 949 that holds it, kept
// as it stands (no trailing dot or space, no character the device refuses,
// no backslash inside a name), and no two names of one folder that the
// device takes for one.
bool CheckNames(const fs::path& package, std::string* error)
{
    std::map<fs::path, std::vector<std::pair<std::string, fs::path>>> byFolder;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(package, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string name;
        const fs::path shown = it->path().lexically_relative(package);
        if (!tools::NameTo949(it->path().filename(), &name)) {
            *error = tools::DisplayName(shown) + ": code page 949 cannot hold its name, so the terminal "
                     "cannot name it as it stands (a keyed terminal refuses the package)";
            return false;
        }
        if (!IsGoodManifestName(name.c_str())) {
            *error = tools::DisplayName(shown) + ": the terminal cannot take this name as it stands (a "
                     "trailing dot or space, a character its file system refuses, or a backslash)";
            return false;
        }
        byFolder[it->path().parent_path()].push_back({name, shown});
    }
    for (const auto& [folder, names] : byFolder) {
        for (size_t i = 0; i < names.size(); ++i) {
            for (size_t j = 0; j < i; ++j) {
                if (IsSameManifestPath(names[i].first.c_str(), names[j].first.c_str())) {
                    *error = tools::DisplayName(names[j].second) + " and " + tools::DisplayName(names[i].second) +
                             ": one name on the terminal, whose names ignore letter case";
                    return false;
                }
            }
        }
    }
    // Signing writes the folder spelled so; another spelling would be a twin of it.
    for (const auto& [name, shown] : byFolder[package]) {
        if (IsSameManifestPath(name.c_str(), kSignatureFolder) && name != kSignatureFolder) {
            *error = tools::DisplayName(shown) + ": the terminal takes it for the Signature folder; "
                     "rename it or name it Signature";
            return false;
        }
    }
    return true;
}

bool ReadCopies(const PackageContents& contents, std::vector<Copy>* copies, std::string* error)
{
    if (contents.list.empty()) return true;
    FILE* list = OpenList(contents.list, error);
    if (list == nullptr) return false;
    char line[PATCH_LINE_SIZE];
    PatchListReader reader = {0, 0, 0};
    PatchLine parsed;
    while (ReadNumberedPatchLine(list, line, &reader)) {
        ClassifyPatchLine(kPackageFolder, line, reader.isTail, 0, &parsed);
        if (parsed.kind != PATCH_LINE_COMMAND || parsed.command != PATCH_COMMAND_CP) continue;
        Copy copy;
        char relative[PATCH_PATH_SIZE];
        copy.line = static_cast<int>(reader.number);
        copy.place = PlaceInFolder(parsed.source, kPackageFolder, relative, sizeof(relative));
        copy.source = parsed.source;
        copy.relative = relative;
        copy.destination = parsed.fields[1];
        copies->push_back(copy);
    }
    std::fclose(list);
    return true;
}

std::string AtLine(const Copy& copy)
{
    return "patch_list.txt line " + std::to_string(copy.line) + ": ";
}

bool IsUnder(const std::string& relative, const char* folder)
{
    std::string first = relative.substr(0, relative.find('\\'));
    return IsSameManifestPath(first.c_str(), folder);
}

bool IsTopLevel(const std::string& relative)
{
    return !relative.empty() && relative.find('\\') == std::string::npos;
}

// A keyed terminal refuses a list that copies from outside the package or
// moves the package's seal, and after a start cut during the bulk move it
// knows a top-level file is gone for good reason only when it lies in the
// install folder as signed.
bool CheckCopy(const Copy& copy, std::string* error)
{
    if (copy.place != PLACE_INSIDE) {
        *error = AtLine(copy) + "copies " + tools::Show949(copy.source) + ", which is not in the "
                 "package (a keyed terminal refuses a list that copies from outside it)";
        return false;
    }
    if (IsUnder(copy.relative, kSignatureFolder)) {
        *error = AtLine(copy) + "moves the package's signature; the manifest and its signature "
                 "stay on the card";
        return false;
    }
    char below[PATCH_PATH_SIZE];
    if (IsTopLevel(copy.relative) &&
        !(PlaceInFolder(copy.destination.c_str(), kInstallFolder, below, sizeof(below)) ==
              PLACE_INSIDE && below[0] == 0)) {
        *error = AtLine(copy) + "moves the top-level file " + tools::Show949(copy.relative) +
                 " elsewhere than " + kInstallFolder + "; a signed package moves such files "
                 "from a subfolder (after a start cut short the terminal finds a top-level "
                 "file gone only where the bulk move puts it)";
        return false;
    }
    return true;
}

// A subfolder file that no CP line moves is never installed (the bulk move
// takes top-level files only): signing it would be signing a mistake.
bool CheckSubfolderFilesMoved(const PackageContents& contents, const std::vector<Copy>& copies,
                              std::string* error)
{
    for (const PackageFile& file : contents.files) {
        if (file.topLevel || IsSignatureFile(file) || !file.representable) continue;
        bool moved = false;
        for (const Copy& copy : copies) {
            moved = moved || IsSameManifestPath(copy.relative.c_str(), file.name949.c_str());
        }
        if (!moved) {
            *error = file.shown + ": in a subfolder that no CP line moves; a signed package holds "
                     "none (it would never be installed)";
            return false;
        }
    }
    return true;
}

} // namespace

bool IsSignable(const fs::path& package, const PackageContents& contents, std::string* error)
{
    std::vector<Copy> copies;
    if (!CheckNames(package, error) || !ReadCopies(contents, &copies, error)) return false;
    for (const Copy& copy : copies) {
        if (!CheckCopy(copy, error)) return false;
    }
    return CheckSubfolderFilesMoved(contents, copies, error);
}

} // namespace hailpatch
