// The host backend's one way to the PC it runs on: its file system, clock and
// code page 949. native_posix.cpp serves Linux; native_win32.cpp serves a
// Windows PC, where the model terminal of the PC tools runs on the PC's own
// Win32 underneath. A device may also be held in memory (native_memory.cpp);
// native_volume.cpp sends each file call to the home of its path.
//
// Plain types only: native_win32.cpp includes the real <windows.h>, which may
// not meet the backend's own declarations of the same names. Paths are UTF-8
// with '/' between components. Calls that can fail answer a Win32 error code
// (0 for none); a missing file or folder is ERROR_FILE_NOT_FOUND (2) or
// ERROR_PATH_NOT_FOUND (3), and the caller tells which the device reports.
#ifndef HAILWATCH_HOST_NATIVE_H
#define HAILWATCH_HOST_NATIVE_H

#include <stddef.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace host {
namespace native {

// ---- files -------------------------------------------------------------------
struct FileInfo {
    bool folder;
    bool readOnly;
    unsigned long long size;       // 0 for a folder
    unsigned long long writeTime;  // FILETIME ticks: 100 ns since 1601-01-01
    unsigned long long accessTime;
};

unsigned Stat(const std::string& path, FileInfo* info);
bool Exists(const std::string& path);
// The spelling on disk of `name` in `folder` when the PC's file system holds
// that very name: the name itself on Linux, where names keep their case; on
// Windows, which ignores case, the entry the name reaches. False otherwise.
bool SpellingOnDisk(const std::string& folder, const std::string& name, std::string* spelling);
// The hidden, system and archive bits (0x2, 0x4, 0x20) the file carries.
unsigned ExtendedBits(const std::string& path);
// Sets the read-only bit and the extended bits together.
unsigned StoreAttributes(const std::string& path, bool readOnly, unsigned extendedBits);
// Whether both paths reach one file (spelling, links).
bool SameFile(const std::string& a, const std::string& b);

unsigned RemoveFile(const std::string& path);
// Moves a file or folder to another name on the same file system, with its
// bytes, times and attributes; the target must not exist.
unsigned Rename(const std::string& from, const std::string& to);
// Cuts a file to its first `size` bytes.
unsigned Truncate(const std::string& path, unsigned long long size);
unsigned MakeFolder(const std::string& path);
unsigned RemoveFolder(const std::string& path);
// Writes `to` with the bytes and times of `from`; a half-written `to` is
// removed. Attributes are not copied.
unsigned CopyData(const std::string& from, const FileInfo& fromInfo, const std::string& to);
// The names in a folder, "." and ".." left out; false if it cannot be read.
bool ListNames(const std::string& folder, std::vector<std::string>* names);
std::string CurrentFolder();

// A file's bytes, a block at a time, for the backend's own streams
// (file_stream.cpp), which keep the C library's text mode and buffering.
struct OpenFile;
struct FileAccess {
    bool write;      // reading too, always
    bool create;     // made empty if missing
    bool truncate;   // emptied when it exists
};
// NULL with *error set on failure.
OpenFile* OpenFileAt(const std::string& path, const FileAccess& access, unsigned* error);
// Bytes read at the position, fewer only at the end; *failed on an error.
size_t ReadFrom(OpenFile* file, void* data, size_t size, bool* failed);
bool WriteTo(OpenFile* file, const void* data, size_t size);
// To `offset`, or to the end when `toEnd`.
bool SeekTo(OpenFile* file, unsigned long long offset, bool toEnd);
bool CloseFile(OpenFile* file);

// ---- the PC tools' own needs ---------------------------------------------------
// A new, empty folder in the PC's temporary folder, its name beginning with
// `prefix`; empty on failure. Given `inMemory` bytes to hold, it is made in a
// memory file system where the PC has one with room for them.
std::string MakeTemporaryFolder(const std::string& prefix, unsigned long long inMemory);
// Writes a new file that its owner alone may read and write (a private key),
// never over an existing one; a half-written file is removed.
unsigned WritePrivateFile(const std::string& path, const std::string& bytes);
// The program's arguments in UTF-8, in whatever form the PC handed them over.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes the console show the UTF-8 the tools print.
void ShowUtf8OnConsole();

// ---- memory devices -------------------------------------------------------------
// A device held in this process's memory, for a model terminal: its root is a
// name no path of the PC has, and every file call above takes paths under it.
std::string MakeMemoryDevice();
void DropMemoryDevice(const std::string& root);
bool IsMemoryPath(const std::string& path);

// ---- clock -------------------------------------------------------------------
unsigned MonotonicMilliseconds();
void Wait(unsigned milliseconds);
struct LocalTime {
    int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
void Now(LocalTime* out);

// ---- code page 949 -----------------------------------------------------------
// One conversion call's codec, opened at the first character that needs it
// (most text is ASCII).
class Cp949Codec {
public:
    Cp949Codec();
    ~Cp949Codec();
    // A lead and trail byte to a code point; false if the pair has no character.
    bool Decode(const char pair[2], unsigned* codePoint);
    // A code point to one or two bytes, never a look-alike; false if 949 has none.
    bool Encode(unsigned codePoint, char bytes[2], size_t* produced);

private:
    Cp949Codec(const Cp949Codec&);
    Cp949Codec& operator=(const Cp949Codec&);
    void* toUnicode_;
    void* fromUnicode_;
    bool triedTo_;
    bool triedFrom_;
};

// 949 as a reader on the PC shows it (a terminal's log, a month at a time):
// the pairs are looked up in a table the codec above fills once, and the
// user-defined rows 0xC9 and 0xFE, which only Windows' table fills, are no
// character, so that every PC shows the same text (cp949_shown.cpp).
// Whether `lead` and `trail` make one character.
bool IsCp949Pair(unsigned char lead, unsigned char trail);
// Appends `size` bytes of 949 to `utf8` as UTF-8. A byte that starts no
// character shows as \xNN, and so does a control other than the tab and the
// line feed, so that no byte can steer the reader's terminal; answers how
// many bytes started no character. With `utf8` NULL, only counts them.
size_t AppendCp949Shown(const char* bytes, size_t size, std::string* utf8);

#ifdef _WIN32
// ---- CryptoAPI of a Windows PC (crypto_native.cpp passes the calls on) ---------
// Handles are the PC's own; false leaves the reason in LastError().
namespace crypto {
bool AcquireContext(size_t* provider, const wchar_t* container, const wchar_t* providerName, unsigned type,
                    unsigned flags);
bool ReleaseContext(size_t provider, unsigned flags);
bool ImportKey(size_t provider, const unsigned char* data, unsigned length, size_t unwrapKey, unsigned flags,
               size_t* key);
bool DestroyKey(size_t key);
bool CreateHash(size_t provider, unsigned algorithm, size_t key, unsigned flags, size_t* hash);
bool HashData(size_t hash, const unsigned char* data, unsigned length, unsigned flags);
bool VerifySignature(size_t hash, const unsigned char* signature, unsigned length, size_t key,
                     const wchar_t* description, unsigned flags);
bool DestroyHash(size_t hash);
unsigned LastError();
// The private key's side, which the PC tools use (keygen, sign) and the
// terminal never does: a new key pair in the context, a key as a blob of
// `blobType` (PUBLICKEYBLOB, PRIVATEKEYBLOB), and the signature of a hash
// with the context's key of `keySpec` (AT_SIGNATURE), least significant
// byte first.
bool GenerateKey(size_t provider, unsigned algorithm, unsigned flags, size_t* key);
bool ExportKey(size_t key, unsigned blobType, std::string* blob);
bool SignHash(size_t hash, unsigned keySpec, std::string* signature);
} // namespace crypto
#endif

} // namespace native
} // namespace host

#endif
