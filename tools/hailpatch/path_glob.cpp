#include "path_glob.h"

#include <algorithm>

namespace hailpatch {

namespace {

char Fold(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::vector<std::string> SplitNames(const std::string& path)
{
    std::vector<std::string> names;
    std::string name;
    for (char c : path + "/") {
        if (c != '/') {
            name += c;
        } else if (!name.empty()) {
            names.push_back(name);
            name.clear();
        }
    }
    return names;
}

// Bytes of the UTF-8 character starting at `at` (a stray byte is one).
size_t CharacterLength(const std::string& text, size_t at)
{
    size_t length = 1;
    while (at + length < text.size() && (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

// One name against one pattern name: `*` by backtracking to the last star
// only, so the cost stays the product of the two lengths at worst.
bool NameMatches(const std::string& pattern, const std::string& name)
{
    size_t p = 0;
    size_t n = 0;
    size_t star = std::string::npos;
    size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && Fold(pattern[p]) == Fold(name[n])) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star + 1;
            resume += CharacterLength(name, resume);
            n = resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// Whole paths: reach[i][j] says whether the first i pattern names match the
// first j path names; `**` takes any number of them.
bool NamesMatch(const std::vector<std::string>& pattern, const std::vector<std::string>& path)
{
    std::vector<std::vector<char>> reach(pattern.size() + 1, std::vector<char>(path.size() + 1, 0));
    reach[0][0] = 1;
    for (size_t i = 1; i <= pattern.size(); ++i) {
        bool any = pattern[i - 1] == "**";
        for (size_t j = 0; j <= path.size(); ++j) {
            if (any) {
                reach[i][j] = reach[i - 1][j] || (j > 0 && reach[i][j - 1]);
            } else {
                reach[i][j] = j > 0 && reach[i - 1][j - 1] && NameMatches(pattern[i - 1], path[j - 1]);
            }
        }
    }
    return reach[pattern.size()][path.size()] != 0;
}

} // namespace

bool PathGlob::Parse(const std::string& pattern, std::string* error)
{
    text_ = pattern;
    std::string path = pattern;
    std::replace(path.begin(), path.end(), '\\', '/');
    names_ = SplitNames(path);
    if (names_.empty()) {
        *error = "--exclude '" + pattern + "': names no file";
        return false;
    }
    for (const std::string& name : names_) {
        if (name == "." || name == "..") {
            *error = "--exclude '" + pattern + "': a pattern is a path inside the install folder, without '.' or '..'";
            return false;
        }
    }
    anyDepth_ = path.find('/') == std::string::npos;
    return true;
}

bool PathGlob::Matches(const std::string& path) const
{
    std::vector<std::string> names = SplitNames(path);
    if (anyDepth_) {
        return !names.empty() && NameMatches(names_[0], names.back());
    }
    return NamesMatch(names_, names);
}

} // namespace hailpatch
