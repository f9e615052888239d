// Devices held in this process's memory: a model terminal that a PC tool
// writes, cuts and puts back thousands of times in one run, at the speed of
// memory on every PC (a Windows PC's file system, and Wine's above all, makes
// each file call cost a great deal more than Linux's).
//
// Every memory device is a folder under one tree, "memory:N", so files move
// between two of them (a change journal's stash) by renaming. The calls keep
// the PC's own meaning, as native_posix.cpp gives it: names are exact, a file
// open when it is removed keeps its bytes for the holder, renaming over a
// file replaces it, a copy keeps its target's attributes and takes the
// source's times. Bytes are shared between copies until one is written.
// Like every table of the backend, the tree is one thread's.
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/native.h"
#include "platform/host/native_files.h"
#include "platform/host/win32_api.h"

namespace host {
namespace native {
namespace memory {

namespace {

const char kPrefix[] = "memory:";
const unsigned kExtendedBits = 0x2 | 0x4 | 0x20;

struct Node;
typedef std::shared_ptr<Node> NodePtr;
// Looked up by a piece of a path, without copying it.
typedef std::map<std::string, NodePtr, std::less<>> Children;

struct Node {
    bool folder = false;
    bool readOnly = false;
    unsigned extendedBits = 0;
    std::shared_ptr<std::string> bytes = std::make_shared<std::string>();
    unsigned long long writeTime = 0;
    unsigned long long accessTime = 0;
    Children children;
};

struct Tree {
    NodePtr top = std::make_shared<Node>();
    unsigned nextDevice = 1;
};

Tree& TheTree() {
    static Tree tree;
    tree.top->folder = true;
    return tree;
}

unsigned long long FileTimeNow() {
    using namespace std::chrono;
    unsigned long long since1970 =
        (unsigned long long)duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() * 10ULL;
    return since1970 + 11644473600ULL * 10000000ULL;
}

// The next component of `path` from `at` on ('/' apart, none empty), with
// `at` moved past it; empty at the path's end.
std::string_view NextComponent(const std::string& path, size_t* at) {
    size_t begin = path.find_first_not_of('/', *at);
    if (begin == std::string::npos) {
        *at = path.size();
        return std::string_view();
    }
    size_t end = path.find('/', begin);
    *at = end == std::string::npos ? path.size() : end;
    return std::string_view(path).substr(begin, *at - begin);
}

// The folder that holds a path's last component, and that component; the
// error a POSIX file system gives when it cannot be reached.
struct Place {
    NodePtr folder;
    std::string name;
    unsigned error = 0;
    NodePtr node() const {
        if (!folder) return NodePtr();
        Children::const_iterator it = folder->children.find(name);
        return it == folder->children.end() ? NodePtr() : it->second;
    }
};

// Walks the path in place: every file call of the device comes through here.
Place Locate(const std::string& path) {
    Place place;
    size_t at = 0;
    std::string_view part = NextComponent(path, &at);
    if (part.empty()) {
        place.error = ERROR_PATH_NOT_FOUND;
        return place;
    }
    NodePtr folder = TheTree().top;
    for (std::string_view next = NextComponent(path, &at); !next.empty(); next = NextComponent(path, &at)) {
        Children::iterator it = folder->children.find(part);
        if (it == folder->children.end()) {
            place.error = ERROR_FILE_NOT_FOUND;
            return place;
        }
        if (!it->second->folder) {
            place.error = ERROR_PATH_NOT_FOUND;
            return place;
        }
        folder = it->second;
        part = next;
    }
    place.folder = folder;
    place.name = std::string(part);
    return place;
}

NodePtr Find(const std::string& path, unsigned* error) {
    Place place = Locate(path);
    NodePtr node = place.node();
    *error = place.error != 0 ? place.error : node ? 0 : ERROR_FILE_NOT_FOUND;
    return node;
}

// A file's bytes of its own, before it is written.
std::string& OwnBytes(Node* node) {
    if (node->bytes.use_count() > 1) node->bytes = std::make_shared<std::string>(*node->bytes);
    return *node->bytes;
}

bool Contains(const NodePtr& folder, const Node* inner) {
    if (folder.get() == inner) return true;
    for (Children::const_iterator it = folder->children.begin();
         it != folder->children.end(); ++it) {
        if (it->second->folder && Contains(it->second, inner)) return true;
    }
    return false;
}

} // namespace

struct OpenFile {
    NodePtr node;
    unsigned long long position;
    bool write;
};

bool Holds(const std::string& path) { return path.compare(0, sizeof kPrefix - 1, kPrefix) == 0; }

std::string MakeDevice() {
    Tree& tree = TheTree();
    std::string root = kPrefix + std::to_string(tree.nextDevice++);
    NodePtr folder = std::make_shared<Node>();
    folder->folder = true;
    folder->writeTime = folder->accessTime = FileTimeNow();
    tree.top->children[root] = folder;
    return root;
}

void DropDevice(const std::string& root) {
    Tree& tree = TheTree();
    tree.top->children.erase(root);
}

unsigned Stat(const std::string& path, FileInfo* info) {
    unsigned error;
    NodePtr node = Find(path, &error);
    if (!node) return error;
    info->folder = node->folder;
    info->readOnly = node->readOnly;
    info->size = node->folder ? 0 : node->bytes->size();
    info->writeTime = node->writeTime;
    info->accessTime = node->accessTime;
    return 0;
}

bool Exists(const std::string& path) {
    unsigned error;
    return Find(path, &error) != NULL;
}

bool SpellingOnDisk(const std::string& folder, const std::string& name, std::string* spelling) {
    if (!Exists(folder + "/" + name)) return false;
    *spelling = name;
    return true;
}

unsigned ExtendedBits(const std::string& path) {
    unsigned error;
    NodePtr node = Find(path, &error);
    return node ? node->extendedBits : 0;
}

unsigned StoreAttributes(const std::string& path, bool readOnly, unsigned extendedBits) {
    unsigned error;
    NodePtr node = Find(path, &error);
    if (!node) return error;
    node->readOnly = readOnly;
    node->extendedBits = extendedBits & kExtendedBits;
    return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    unsigned error;
    NodePtr first = Find(a, &error);
    return first && first == Find(b, &error);
}

unsigned RemoveFile(const std::string& path) {
    Place place = Locate(path);
    NodePtr node = place.node();
    if (!node) return place.error != 0 ? place.error : ERROR_FILE_NOT_FOUND;
    if (node->folder) return ERROR_ACCESS_DENIED;
    place.folder->children.erase(place.name);
    return 0;
}

unsigned Rename(const std::string& from, const std::string& to) {
    Place source = Locate(from);
    NodePtr node = source.node();
    if (!node) return source.error != 0 ? source.error : ERROR_FILE_NOT_FOUND;
    Place target = Locate(to);
    if (!target.folder) return target.error;
    NodePtr there = target.node();
    if (there == node) return 0;
    if (node->folder && Contains(node, target.folder.get())) return ERROR_ACCESS_DENIED;
    if (there && (there->folder != node->folder)) return there->folder ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    if (there && there->folder && !there->children.empty()) return ERROR_DIR_NOT_EMPTY;
    source.folder->children.erase(source.name);
    target.folder->children[target.name] = node;
    return 0;
}

unsigned Truncate(const std::string& path, unsigned long long size) {
    unsigned error;
    NodePtr node = Find(path, &error);
    if (!node) return error;
    if (node->folder) return ERROR_ACCESS_DENIED;
    OwnBytes(node.get()).resize((size_t)size);
    node->writeTime = FileTimeNow();
    return 0;
}

unsigned MakeFolder(const std::string& path) {
    Place place = Locate(path);
    if (!place.folder) return ERROR_PATH_NOT_FOUND;
    if (place.node()) return ERROR_ALREADY_EXISTS;
    NodePtr folder = std::make_shared<Node>();
    folder->folder = true;
    folder->writeTime = folder->accessTime = FileTimeNow();
    place.folder->children[place.name] = folder;
    return 0;
}

unsigned RemoveFolder(const std::string& path) {
    Place place = Locate(path);
    NodePtr node = place.node();
    if (!node) return place.error != 0 ? place.error : ERROR_FILE_NOT_FOUND;
    if (!node->folder) return ERROR_PATH_NOT_FOUND;
    if (!node->children.empty()) return ERROR_DIR_NOT_EMPTY;
    place.folder->children.erase(place.name);
    return 0;
}

unsigned CopyData(const std::string& from, const FileInfo& fromInfo, const std::string& to) {
    unsigned error;
    NodePtr source = Find(from, &error);
    if (!source) return error;
    if (source->folder) return ERROR_ACCESS_DENIED;
    Place target = Locate(to);
    if (!target.folder) return target.error;
    NodePtr node = target.node();
    if (node && node->folder) return ERROR_ACCESS_DENIED;
    if (!node) {
        node = std::make_shared<Node>();
        target.folder->children[target.name] = node;
    }
    node->bytes = source->bytes;
    node->writeTime = fromInfo.writeTime;
    node->accessTime = fromInfo.accessTime;
    return 0;
}

bool ListNames(const std::string& folder, std::vector<std::string>* names) {
    unsigned error;
    NodePtr node = Find(folder, &error);
    if (!node || !node->folder) return false;
    for (Children::const_iterator it = node->children.begin(); it != node->children.end(); ++it)
        names->push_back(it->first);
    return true;
}

OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error) {
    Place place = Locate(path);
    if (!place.folder) {
        *error = place.error;
        return NULL;
    }
    NodePtr node = place.node();
    if (node && node->folder) {
        *error = ERROR_ACCESS_DENIED;
        return NULL;
    }
    if (!node && !access.create) {
        *error = ERROR_FILE_NOT_FOUND;
        return NULL;
    }
    if (!node) {
        node = std::make_shared<Node>();
        node->accessTime = FileTimeNow();
        place.folder->children[place.name] = node;
    }
    if (!node->bytes->empty() && access.truncate) OwnBytes(node.get()).clear();
    if (access.create || access.truncate) node->writeTime = FileTimeNow();
    OpenFile* file = new OpenFile;
    file->node = node;
    file->position = 0;
    file->write = access.write;
    return file;
}

size_t ReadFrom(OpenFile* file, void* data, size_t size, bool*) {
    const std::string& bytes = *file->node->bytes;
    if (file->position >= bytes.size()) return 0;
    size_t got = std::min(size, (size_t)(bytes.size() - file->position));
    bytes.copy(static_cast<char*>(data), got, (size_t)file->position);
    file->position += got;
    return got;
}

bool WriteTo(OpenFile* file, const void* data, size_t size) {
    if (!file->write) return false;
    std::string& bytes = OwnBytes(file->node.get());
    size_t at = (size_t)file->position;
    if (bytes.size() < at + size) bytes.resize(at + size);
    bytes.replace(at, size, static_cast<const char*>(data), size);
    file->position += size;
    file->node->writeTime = FileTimeNow();
    return true;
}

bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd) {
    file->position = toEnd ? file->node->bytes->size() : offset;
    return true;
}

bool CloseFile(OpenFile* file) {
    delete file;
    return true;
}

} // namespace memory
} // namespace native
} // namespace host
