// The PC underneath the host backend, on Linux.
//
// Attributes: the read-only bit is the owner's missing write permission; the
// hidden, system and archive bits live in the extended attribute
// "user.hailwatch.attrib" (decimal text), so both survive the process that
// set them. The backend may run as root, where permission bits stop nothing,
// so the backend checks every read-only rule itself.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <utility>

#include "platform/host/file_internal.h"
#include "platform/host/native.h"
#include "platform/host/native_files.h"

// The C library's own fopen, not the device-path one the backend header names.
#undef fopen

namespace host {
namespace native {

namespace {

const unsigned kDiskFull = 112;
const unsigned kFilenameTooLong = 206;
const char kAttributeName[] = "user.hailwatch.attrib";
const unsigned kExtendedBits = 0x2 | 0x4 | 0x20;

unsigned ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC: return kDiskFull;
    case ENAMETOOLONG: return kFilenameTooLong;
    case EIO: return ERROR_WRITE_FAULT;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
    }
}

unsigned long long FileTimeOf(const struct timespec& when) {
    return ((unsigned long long)when.tv_sec + 11644473600ULL) * 10000000ULL +
           (unsigned long long)when.tv_nsec / 100;
}

typedef std::pair<dev_t, ino_t> FileIdentity;

bool IdentityOf(const std::string& path, FileIdentity* identity) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    *identity = FileIdentity(st.st_dev, st.st_ino);
    return true;
}

bool WriteExtendedBits(const std::string& path, unsigned bits) {
    bits &= kExtendedBits;
    if (bits == 0) return removexattr(path.c_str(), kAttributeName) == 0 || errno == ENODATA;
    char value[16];
    snprintf(value, sizeof value, "%u", bits);
    return setxattr(path.c_str(), kAttributeName, value, strlen(value), 0) == 0;
}

bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, data, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        length -= (size_t)written;
    }
    return true;
}

bool CopyContents(int from, int to) {
    char block[65536];
    for (;;) {
        ssize_t got = read(from, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(to, block, (size_t)got)) return false;
    }
}

struct timespec TimespecOf(unsigned long long fileTime) {
    unsigned long long since1970 = fileTime - 11644473600ULL * 10000000ULL;
    struct timespec out;
    out.tv_sec = (time_t)(since1970 / 10000000ULL);
    out.tv_nsec = (long)(since1970 % 10000000ULL) * 100;
    return out;
}

} // namespace

// The PC's own files (native_volume.cpp chooses them or a memory device).
namespace pc {

unsigned Stat(const std::string& path, FileInfo* info) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return ErrorFromErrno(errno);
    info->folder = S_ISDIR(st.st_mode);
    info->readOnly = (st.st_mode & S_IWUSR) == 0;
    info->size = info->folder ? 0 : (unsigned long long)st.st_size;
    info->writeTime = FileTimeOf(st.st_mtim);
    info->accessTime = FileTimeOf(st.st_atim);
    return 0;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool SpellingOnDisk(const std::string& folder, const std::string& name, std::string* spelling) {
    if (!Exists(folder + "/" + name)) return false;
    *spelling = name;
    return true;
}

unsigned ExtendedBits(const std::string& path) {
    char value[16];
    ssize_t length = getxattr(path.c_str(), kAttributeName, value, sizeof value - 1);
    if (length <= 0) return 0;
    value[length] = 0;
    return (unsigned)strtoul(value, NULL, 10) & kExtendedBits;
}

// Writes the extended bits, then the permission bits. A user other than
// root may only change extended attributes of a file it can write, so a
// read-only file is made writable for the moment.
unsigned StoreAttributes(const std::string& path, bool readOnly, unsigned extendedBits) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return ErrorFromErrno(errno);
    mode_t current = st.st_mode & 07777;
    mode_t final = readOnly ? (mode_t)(current & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode_t)(current | S_IWUSR);
    if ((current & S_IWUSR) == 0 && chmod(path.c_str(), current | S_IWUSR) != 0) return ErrorFromErrno(errno);
    if (!WriteExtendedBits(path, extendedBits)) {
        int savedErrno = errno;
        chmod(path.c_str(), current);
        return ErrorFromErrno(savedErrno);
    }
    return chmod(path.c_str(), final) == 0 ? 0 : ErrorFromErrno(errno);
}

bool SameFile(const std::string& a, const std::string& b) {
    FileIdentity first, second;
    return IdentityOf(a, &first) && IdentityOf(b, &second) && first == second;
}

unsigned RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0 ? 0 : ErrorFromErrno(errno);
}

unsigned Rename(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : ErrorFromErrno(errno);
}

unsigned Truncate(const std::string& path, unsigned long long size) {
    return truncate(path.c_str(), (off_t)size) == 0 ? 0 : ErrorFromErrno(errno);
}

unsigned MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) return 0;
    return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno);
}

unsigned RemoveFolder(const std::string& path) {
    if (rmdir(path.c_str()) == 0) return 0;
    return errno == EEXIST || errno == ENOTEMPTY ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno);
}

unsigned CopyData(const std::string& source, const FileInfo& sourceInfo, const std::string& destination) {
    int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return ErrorFromErrno(errno);
    int to = open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (to < 0) {
        unsigned error = ErrorFromErrno(errno);
        close(from);
        return error;
    }
    bool copied = CopyContents(from, to);
    unsigned error = copied ? 0 : ErrorFromErrno(errno);
    struct timespec times[2] = {TimespecOf(sourceInfo.accessTime), TimespecOf(sourceInfo.writeTime)};
    if (copied) futimens(to, times);
    if (close(to) != 0 && copied) {
        copied = false;
        error = ErrorFromErrno(errno);
    }
    close(from);
    if (!copied) unlink(destination.c_str());
    return error;
}

bool ListNames(const std::string& folder, std::vector<std::string>* names) {
    DIR* dir = opendir(folder.c_str());
    if (dir == NULL) return false;
    while (struct dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names->push_back(entry->d_name);
    }
    closedir(dir);
    return true;
}

} // namespace pc

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    if (getcwd(&buffer[0], buffer.size()) != NULL) return &buffer[0];
    return ".";
}

namespace pc {

struct OpenFile {
    int fd;
};

OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error) {
    int flags = (access.write ? O_RDWR : O_RDONLY) | O_CLOEXEC | (access.create ? O_CREAT : 0) |
                (access.truncate ? O_TRUNC : 0);
    int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) {
        *error = ErrorFromErrno(errno);
        return NULL;
    }
    OpenFile* file = new OpenFile;
    file->fd = fd;
    return file;
}

size_t ReadFrom(OpenFile* file, void* data, size_t size, bool* failed) {
    size_t total = 0;
    while (total < size) {
        ssize_t got = read(file->fd, static_cast<char*>(data) + total, size - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) *failed = true;
        if (got <= 0) break;
        total += (size_t)got;
    }
    return total;
}

bool WriteTo(OpenFile* file, const void* data, size_t size) {
    return WriteAll(file->fd, static_cast<const char*>(data), size);
}

bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd) {
    return lseek(file->fd, toEnd ? 0 : (off_t)offset, toEnd ? SEEK_END : SEEK_SET) >= 0;
}

bool CloseFile(OpenFile* file) {
    bool closed = close(file->fd) == 0;
    delete file;
    return closed;
}

} // namespace pc

// ---- clock -------------------------------------------------------------------

unsigned MonotonicMilliseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned)((unsigned long long)now.tv_sec * 1000ULL + (unsigned long long)now.tv_nsec / 1000000ULL);
}

void Wait(unsigned milliseconds) {
    struct timespec left;
    left.tv_sec = milliseconds / 1000;
    left.tv_nsec = (long)(milliseconds % 1000) * 1000000L;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// The calendar of the last second asked for: the log asks for the local time
// on every line, and converting a second to the calendar costs more than
// reading the clock.
void Now(LocalTime* out) {
    static time_t calendarSecond = -1;
    static struct tm calendar;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec != calendarSecond) {
        localtime_r(&now.tv_sec, &calendar);
        calendarSecond = now.tv_sec;
    }
    out->year = calendar.tm_year + 1900;
    out->month = calendar.tm_mon + 1;
    out->dayOfWeek = calendar.tm_wday;
    out->day = calendar.tm_mday;
    out->hour = calendar.tm_hour;
    out->minute = calendar.tm_min;
    out->second = calendar.tm_sec;
    out->milliseconds = (int)(now.tv_nsec / 1000000L);
}

// ---- code page 949, through iconv's "CP949" ----------------------------------

namespace {

// Converts exactly `length` bytes as one character; false if iconv cannot
// (invalid, incomplete or unrepresentable).
bool ConvertOne(void** descriptor, bool* tried, const char* to, const char* from, const char* in,
                size_t length, char* out, size_t outSize, size_t* produced) {
    if (!*tried) {
        iconv_t cd = iconv_open(to, from);
        *descriptor = cd == (iconv_t)-1 ? NULL : (void*)cd;
        *tried = true;
    }
    if (*descriptor == NULL) return false;
    iconv_t cd = (iconv_t)*descriptor;
    iconv(cd, NULL, NULL, NULL, NULL);
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t srcLeft = length;
    size_t dstLeft = outSize;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (r == (size_t)-1 || srcLeft != 0 || r != 0) return false;
    *produced = outSize - dstLeft;
    return true;
}

} // namespace

Cp949Codec::Cp949Codec() : toUnicode_(NULL), fromUnicode_(NULL), triedTo_(false), triedFrom_(false) {}

Cp949Codec::~Cp949Codec() {
    if (toUnicode_ != NULL) iconv_close((iconv_t)toUnicode_);
    if (fromUnicode_ != NULL) iconv_close((iconv_t)fromUnicode_);
}

bool Cp949Codec::Decode(const char pair[2], unsigned* codePoint) {
    unsigned char utf32[8];
    size_t produced = 0;
    if (!ConvertOne(&toUnicode_, &triedTo_, "UTF-32LE", "CP949", pair, 2, (char*)utf32, sizeof utf32,
                    &produced) ||
        produced != 4)
        return false;
    *codePoint = utf32[0] | (utf32[1] << 8) | (utf32[2] << 16) | ((unsigned)utf32[3] << 24);
    return true;
}

bool Cp949Codec::Encode(unsigned codePoint, char bytes[2], size_t* produced) {
    char utf32[4] = {(char)(codePoint & 0xFF), (char)((codePoint >> 8) & 0xFF),
                     (char)((codePoint >> 16) & 0xFF), (char)((codePoint >> 24) & 0xFF)};
    char out[8];
    if (!ConvertOne(&fromUnicode_, &triedFrom_, "CP949", "UTF-32LE", utf32, 4, out, sizeof out, produced) ||
        *produced > 2)
        return false;
    memcpy(bytes, out, *produced);
    return true;
}

} // namespace native
} // namespace host
