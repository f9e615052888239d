// The whole device tree as a value: read after a start, written back before
// one, compared between starts.
#ifndef HAILWATCH_TESTS_DEVICE_TREE_H
#define HAILWATCH_TESTS_DEVICE_TREE_H

#include <map>
#include <string>

#include "platform/host/win32_api.h"

namespace powercut {

struct Entry {
    bool folder = false;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    std::string content;

    bool operator==(const Entry& other) const
    {
        return folder == other.folder && attributes == other.attributes &&
               content == other.content;
    }
};

// Keyed by device path in UTF-8; a folder's path ends in "\".
using Tree = std::map<std::string, Entry>;

// Adds a file, and the folders above it.
void AddFile(Tree* tree, const std::string& devicePath, const std::string& content,
             DWORD attributes = FILE_ATTRIBUTE_NORMAL);
void AddFolder(Tree* tree, const std::string& devicePath);

// Reads the tree under the host device root.
Tree ReadTree();
// Replaces everything under the host device root with `tree`.
void WriteTree(const Tree& tree);

// One line per path that differs, "path: before -> after".
std::string DescribeChanges(const Tree& before, const Tree& after);
// One text for the whole tree, the same for equal trees.
std::string Serialise(const Tree& tree);

} // namespace powercut

#endif
