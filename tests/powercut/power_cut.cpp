// The wrapped file calls. Each asks Admit first: while no start is running
// every call goes straight to the backend; during a start each call is
// counted and, once the power is cut, refused with ERROR_NOT_READY.
#include "tests/powercut/power_cut.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host/host_control.h"

#undef fopen

extern "C" {
DWORD __real_GetFileAttributesW(LPCWSTR path);
BOOL __real_SetFileAttributesW(LPCWSTR path, DWORD attributes);
BOOL __real_DeleteFileW(LPCWSTR path);
BOOL __real_CopyFileW(LPCWSTR source, LPCWSTR destination, BOOL failIfExists);
BOOL __real_CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
BOOL __real_RemoveDirectoryW(LPCWSTR path);
HANDLE __real_FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL __real_FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data);
BOOL __real_FindClose(HANDLE search);
FILE* __real_HostFopen(const char* path, const char* mode);
size_t __real_HostFwrite(const void* data, size_t size, size_t count, FILE* stream);
int __real_HostFclose(FILE* stream);
}

namespace powercut {
namespace {

const DWORD kErrorNotReady = 21;

struct CutState {
    bool armed = false;
    long cutAfter = kNoCut;
    Tear tear = Tear::kNone;
    std::vector<FileCall> calls;
};

CutState& State()
{
    static CutState state;
    return state;
}

std::string Utf8(LPCWSTR path)
{
    return path == nullptr ? std::string() : host::Narrow(path);
}

bool PowerIsOff()
{
    const CutState& state = State();
    return state.cutAfter != kNoCut && (long)state.calls.size() >= state.cutAfter;
}

// Answers false when the power is off; otherwise counts the call (while a
// start runs) and lets it through.
bool Admit(const char* operation, const std::string& path,
           const std::string& destination = std::string())
{
    CutState& state = State();
    if (!state.armed) {
        return true;
    }
    if (PowerIsOff()) {
        SetLastError(kErrorNotReady);
        return false;
    }
    FileCall call;
    call.operation = operation;
    call.path = path;
    call.destination = destination;
    state.calls.push_back(call);
    return true;
}

template <typename Result>
Result Record(Result result, bool succeeded)
{
    CutState& state = State();
    if (state.armed && !state.calls.empty()) {
        state.calls.back().succeeded = succeeded;
    }
    return result;
}

bool IsTheCutCall()
{
    const CutState& state = State();
    return state.armed && (long)state.calls.size() == state.cutAfter;
}

// Cuts the finished copy back to what an interrupted one leaves: the
// destination with the source's attributes (as a copy creates it) and only
// part of the bytes.
void TearDestination(LPCWSTR destination, Tear tear)
{
    std::string native = host::NativePath(Utf8(destination));
    struct stat st;
    if (native.empty() || stat(native.c_str(), &st) != 0) {
        return;
    }
    off_t kept = tear == Tear::kHalf ? st.st_size / 2 : 0;
    // A read-only destination is made writable for the moment, for a run
    // that is not root.
    chmod(native.c_str(), (st.st_mode & 07777) | S_IWUSR);
    if (truncate(native.c_str(), kept) != 0) {
        perror("power cut: truncate");
    }
    chmod(native.c_str(), st.st_mode & 07777);
}

} // namespace

void Arm(long cutAfter, Tear tear)
{
    CutState& state = State();
    state.armed = true;
    state.cutAfter = cutAfter;
    state.tear = tear;
    state.calls.clear();
}

// The backend's power comes back with it (a cut close switched it off).
void Disarm()
{
    State().armed = false;
    host::RestorePower();
}

const std::vector<FileCall>& Calls()
{
    return State().calls;
}

const char* TearName(Tear tear)
{
    switch (tear) {
    case Tear::kHalf: return "torn to half";
    case Tear::kEmpty: return "torn to nothing";
    case Tear::kNone: break;
    }
    return "";
}

} // namespace powercut

using powercut::Admit;
using powercut::Record;

extern "C" DWORD __wrap_GetFileAttributesW(LPCWSTR path)
{
    if (!Admit("GetFileAttributesW", powercut::Utf8(path))) {
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = __real_GetFileAttributesW(path);
    return Record(attributes, attributes != INVALID_FILE_ATTRIBUTES);
}

extern "C" BOOL __wrap_SetFileAttributesW(LPCWSTR path, DWORD attributes)
{
    if (!Admit("SetFileAttributesW", powercut::Utf8(path))) {
        return FALSE;
    }
    BOOL done = __real_SetFileAttributesW(path, attributes);
    return Record(done, done != FALSE);
}

extern "C" BOOL __wrap_DeleteFileW(LPCWSTR path)
{
    if (!Admit("DeleteFileW", powercut::Utf8(path))) {
        return FALSE;
    }
    BOOL done = __real_DeleteFileW(path);
    return Record(done, done != FALSE);
}

extern "C" BOOL __wrap_CopyFileW(LPCWSTR source, LPCWSTR destination, BOOL failIfExists)
{
    if (!Admit("CopyFileW", powercut::Utf8(source), powercut::Utf8(destination))) {
        return FALSE;
    }
    BOOL done = __real_CopyFileW(source, destination, failIfExists);
    Record(done, done != FALSE);
    powercut::Tear tear = powercut::State().tear;
    if (done && powercut::IsTheCutCall() && tear != powercut::Tear::kNone) {
        powercut::TearDestination(destination, tear);
        SetLastError(powercut::kErrorNotReady);
        return FALSE;
    }
    return done;
}

extern "C" BOOL __wrap_CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes)
{
    if (!Admit("CreateDirectoryW", powercut::Utf8(path))) {
        return FALSE;
    }
    BOOL done = __real_CreateDirectoryW(path, attributes);
    return Record(done, done != FALSE);
}

extern "C" BOOL __wrap_RemoveDirectoryW(LPCWSTR path)
{
    if (!Admit("RemoveDirectoryW", powercut::Utf8(path))) {
        return FALSE;
    }
    BOOL done = __real_RemoveDirectoryW(path);
    return Record(done, done != FALSE);
}

extern "C" HANDLE __wrap_FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    if (!Admit("FindFirstFileW", powercut::Utf8(pattern))) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE search = __real_FindFirstFileW(pattern, data);
    return Record(search, search != INVALID_HANDLE_VALUE);
}

extern "C" BOOL __wrap_FindNextFileW(HANDLE search, LPWIN32_FIND_DATAW data)
{
    if (!Admit("FindNextFileW", std::string())) {
        return FALSE;
    }
    BOOL found = __real_FindNextFileW(search, data);
    return Record(found, found != FALSE);
}

// A search left open by the cut is freed when the next start resets the
// backend.
extern "C" BOOL __wrap_FindClose(HANDLE search)
{
    if (!Admit("FindClose", std::string())) {
        return FALSE;
    }
    BOOL closed = __real_FindClose(search);
    return Record(closed, closed != FALSE);
}

extern "C" FILE* __wrap_HostFopen(const char* path, const char* mode)
{
    if (!Admit("fopen", path == nullptr ? std::string() : host::Cp949ToUtf8(path))) {
        errno = EIO;
        return nullptr;
    }
    FILE* file = __real_HostFopen(path, mode);
    return Record(file, file != nullptr);
}

// A write reaches the card only when its stream is closed: a cut before the
// close loses what the stream still holds. Torn, half the bytes reach it.
extern "C" size_t __wrap_HostFwrite(const void* data, size_t size, size_t count, FILE* stream)
{
    if (!Admit("fwrite", std::string())) {
        return 0;
    }
    if (powercut::IsTheCutCall() && powercut::State().tear != powercut::Tear::kNone) {
        size_t half = count / 2;
        __real_HostFwrite(data, size, half, stream);
        HostFflush(stream);
        Record(0, false);
        return half;
    }
    size_t written = __real_HostFwrite(data, size, count, stream);
    return Record(written, written == count);
}

// Once the power is off the stream's buffered bytes never reach the card
// (the backend's switch keeps them out); the stream itself is still freed,
// as the next start's process is new.
extern "C" int __wrap_HostFclose(FILE* stream)
{
    if (!Admit("fclose", std::string())) {
        host::CutPower();
        __real_HostFclose(stream);
        return EOF;
    }
    int closed = __real_HostFclose(stream);
    return Record(closed, closed == 0);
}
