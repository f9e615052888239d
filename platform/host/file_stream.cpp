// The streams fopen hands out for device paths: the backend's own, on every
// PC, standing on native.h's open files. They keep what the Windows C
// library does: text mode (a read turns CR LF into LF, a CR before anything
// else staying, and the first 0x1A ends the file; a write turns LF into CR
// LF), a write that reaches the file when the stream is flushed or closed,
// and a file held open (not to be deleted or overwritten) until it is
// closed. Once the power is cut, what a stream still holds never reaches
// its file, and a read gets nothing.
//
// The stdio functions the core calls are redirected here (win32_api.h); a
// stream that is not one of these goes to the C library as it stands.
#include <stdarg.h>
#include <string.h>

#include <map>
#include <set>
#include <string>

#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"

#undef fgets
#undef fread
#undef fwrite
#undef fclose
#undef fflush
#undef ferror
#undef feof
#undef fputs
#undef fprintf
#undef rewind

namespace {

const int kEndOfText = 0x1A;
const int kNoByte = -1;
// Written out once this much is held, as a C library's buffer fills.
const size_t kFlushAt = 64 * 1024;

struct Stream {
    host::native::OpenFile* file;
    std::string path;
    bool text;
    bool writes;
    bool append;
    bool error;
    bool eof;
    std::string pending;   // written, not yet in the file
    char raw[4096];        // read from the file, not handed out yet
    size_t rawNext;
    size_t rawEnd;
    int lookahead;         // text mode: the byte after a CR that was not LF
    bool ended;            // text mode: 0x1A was met
};

std::set<Stream*>& Streams() {
    static std::set<Stream*> streams;
    return streams;
}

std::map<std::string, int>& Held() {
    static std::map<std::string, int> held;
    return held;
}

Stream* Ours(FILE* file) {
    std::set<Stream*>::iterator it = Streams().find(reinterpret_cast<Stream*>(file));
    return it == Streams().end() ? NULL : *it;
}

void ForgetReadAhead(Stream* stream) {
    stream->rawNext = stream->rawEnd = 0;
    stream->lookahead = kNoByte;
    stream->ended = false;
}

// Puts what the stream holds into its file, unless the power has gone.
bool Commit(Stream* stream) {
    if (stream->pending.empty()) return true;
    bool written = host::PowerIsOn() && (!stream->append || host::native::SeekTo(stream->file, 0, true)) &&
                   host::native::WriteTo(stream->file, stream->pending.data(), stream->pending.size());
    stream->pending.clear();
    stream->error = stream->error || !written;
    return written;
}

int NextRawByte(Stream* stream) {
    if (stream->lookahead != kNoByte) {
        int byte = stream->lookahead;
        stream->lookahead = kNoByte;
        return byte;
    }
    if (stream->rawNext == stream->rawEnd) {
        bool failed = false;
        stream->rawNext = 0;
        stream->rawEnd = host::native::ReadFrom(stream->file, stream->raw, sizeof stream->raw, &failed);
        stream->error = stream->error || failed;
        if (stream->rawEnd == 0) {
            stream->eof = true;
            return kNoByte;
        }
    }
    return (unsigned char)stream->raw[stream->rawNext++];
}

int NextByte(Stream* stream) {
    if (stream->ended) return kNoByte;
    int byte = NextRawByte(stream);
    if (!stream->text || byte == kNoByte) return byte;
    if (byte == kEndOfText) {
        stream->ended = true;
        stream->eof = true;
        return kNoByte;
    }
    if (byte == '\r') {
        int next = NextRawByte(stream);
        if (next == '\n') return '\n';
        stream->lookahead = next;
    }
    return byte;
}

// Reading after writing sees what was written.
void StartReading(Stream* stream) {
    if (!stream->pending.empty()) {
        Commit(stream);
        ForgetReadAhead(stream);
    }
}

bool ParseMode(const char* mode, host::native::FileAccess* access, bool* append, bool* text, bool* writes) {
    const char* flagsEnd = strchr(mode, ',');
    const char* binary = strchr(mode, 'b');
    bool plus = false;
    for (const char* p = mode + 1; *p != 0 && *p != ','; ++p) plus = plus || *p == '+';
    *text = binary == NULL || (flagsEnd != NULL && binary > flagsEnd);
    *append = mode[0] == 'a';
    *writes = mode[0] != 'r' || plus;
    access->write = *writes;
    access->create = mode[0] == 'w' || mode[0] == 'a';
    access->truncate = mode[0] == 'w';
    return mode[0] == 'r' || mode[0] == 'w' || mode[0] == 'a';
}

} // namespace

namespace host {
namespace detail {

FILE* OpenStream(const std::string& nativePath, const char* mode, unsigned* error) {
    native::FileAccess access;
    bool append = false, text = false, writes = false;
    if (!ParseMode(mode, &access, &append, &text, &writes)) {
        *error = ERROR_INVALID_PARAMETER;
        return NULL;
    }
    native::OpenFile* file = native::OpenFileAt(nativePath, access, error);
    if (file == NULL) return NULL;
    Stream* stream = new Stream;
    stream->file = file;
    stream->path = nativePath;
    stream->text = text;
    stream->writes = writes;
    stream->append = append;
    stream->error = false;
    stream->eof = false;
    ForgetReadAhead(stream);
    Streams().insert(stream);
    ++Held()[nativePath];
    return reinterpret_cast<FILE*>(stream);
}

bool IsHeld(const std::string& nativePath) { return Held().count(nativePath) != 0; }

} // namespace detail
} // namespace host

namespace {

// A stream read once the power is gone gets nothing, as every file call:
// the start that was cut then runs to its end at once.
bool ReadsWithPower(Stream* stream) {
    stream->error = stream->error || !host::detail::HasPower();
    return host::PowerIsOn();
}

// Where `byte` first stands in [from, end), or `end`.
const char* FirstOr(const char* from, const char* end, int byte) {
    const char* found = static_cast<const char*>(memchr(from, byte, (size_t)(end - from)));
    return found != NULL ? found : end;
}

// Hands out, straight from what was read ahead, the bytes up to the first
// one the stream's mode treats apart (a line end, and in text mode a CR or
// 0x1A), at most `room`: a list is read line by line at every start.
size_t TakePlainBytes(Stream* stream, char* out, size_t room) {
    if (stream->lookahead != kNoByte || stream->ended) return 0;
    const char* from = stream->raw + stream->rawNext;
    size_t ready = stream->rawEnd - stream->rawNext;
    const char* end = FirstOr(from, from + (ready < room ? ready : room), '\n');
    if (stream->text) end = FirstOr(from, FirstOr(from, end, '\r'), kEndOfText);
    size_t taken = (size_t)(end - from);
    memcpy(out, from, taken);
    stream->rawNext += taken;
    return taken;
}

} // namespace

extern "C" char* HostFgets(char* out, int size, FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return fgets(out, size, file);
    if (size <= 0) return NULL;
    if (!ReadsWithPower(stream)) return NULL;
    StartReading(stream);
    int count = 0;
    while (count < size - 1) {
        count += (int)TakePlainBytes(stream, out + count, (size_t)(size - 1 - count));
        if (count == size - 1) break;
        int byte = NextByte(stream);
        if (byte == kNoByte) break;
        out[count++] = (char)byte;
        if (byte == '\n') break;
    }
    out[count] = 0;
    return count == 0 ? NULL : out;
}

extern "C" size_t HostFread(void* data, size_t size, size_t count, FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return fread(data, size, count, file);
    if (size == 0 || count == 0) return 0;
    if (!ReadsWithPower(stream)) return 0;
    StartReading(stream);
    size_t wanted = size * count;
    size_t got = 0;
    unsigned char* out = static_cast<unsigned char*>(data);
    // Binary mode hands out what was read as it stands, a block at a time: a
    // list is measured whole at every start.
    while (!stream->text && got < wanted && stream->lookahead == kNoByte) {
        if (stream->rawNext == stream->rawEnd && NextRawByte(stream) != kNoByte) --stream->rawNext;
        size_t ready = stream->rawEnd - stream->rawNext;
        if (ready == 0) break;
        size_t take = ready < wanted - got ? ready : wanted - got;
        memcpy(out + got, stream->raw + stream->rawNext, take);
        stream->rawNext += take;
        got += take;
    }
    while (got < wanted) {
        int byte = NextByte(stream);
        if (byte == kNoByte) break;
        out[got++] = (unsigned char)byte;
    }
    return got / size;
}

extern "C" size_t HostFwrite(const void* data, size_t size, size_t count, FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return fwrite(data, size, count, file);
    if (!stream->writes) {
        stream->error = true;
        return 0;
    }
    const char* bytes = static_cast<const char*>(data);
    for (size_t i = 0; i < size * count; ++i) {
        if (stream->text && bytes[i] == '\n') stream->pending += '\r';
        stream->pending += bytes[i];
    }
    if (stream->pending.size() >= kFlushAt) Commit(stream);
    return count;
}

extern "C" int HostFputs(const char* text, FILE* file) {
    if (Ours(file) == NULL) return fputs(text, file);
    size_t length = strlen(text);
    return HostFwrite(text, 1, length, file) == length ? 1 : EOF;
}

extern "C" int HostFprintf(FILE* file, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (Ours(file) == NULL) {
        int printed = vfprintf(file, format, arguments);
        va_end(arguments);
        return printed;
    }
    va_list again;
    va_copy(again, arguments);
    int length = vsnprintf(NULL, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? (size_t)length + 1 : 1, '\0');
    if (length > 0) vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    if (length <= 0) return length;
    return HostFwrite(text.data(), 1, (size_t)length, file) == (size_t)length ? length : -1;
}

extern "C" int HostFflush(FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return fflush(file);
    return Commit(stream) ? 0 : EOF;
}

extern "C" int HostFerror(FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return ferror(file);
    return stream->error ? 1 : 0;
}

extern "C" int HostFeof(FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return feof(file);
    return stream->eof ? 1 : 0;
}

extern "C" void HostRewind(FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) {
        rewind(file);
        return;
    }
    Commit(stream);
    host::native::SeekTo(stream->file, 0, false);
    ForgetReadAhead(stream);
    stream->error = false;
    stream->eof = false;
}

extern "C" int HostFclose(FILE* file) {
    Stream* stream = Ours(file);
    if (stream == NULL) return fclose(file);
    bool good = Commit(stream) && !stream->error;
    good = host::native::CloseFile(stream->file) && good;
    std::map<std::string, int>::iterator held = Held().find(stream->path);
    if (held != Held().end() && --held->second == 0) Held().erase(held);
    Streams().erase(stream);
    delete stream;
    return good ? 0 : EOF;
}
