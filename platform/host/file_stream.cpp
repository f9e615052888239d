// The streams fopen hands out on the host: the C library's own stream on the
// mapped file, seen through a glibc cookie so that closing it is noticed and
// text mode behaves as in the Windows C library.
//
// Text mode: a read turns CR LF into LF (a CR before anything else stays) and
// the first 0x1A byte ends the file, so a patch list reads the same lines as
// on the device; a write turns LF into CR LF. Positions (fseek, ftell) count
// the file's own bytes.
#include <stdio.h>
#include <sys/types.h>

#include "platform/host/file_internal.h"
#include "platform/host/host_control.h"

namespace {

const int kEndOfText = 0x1A;
const int kNoByte = -1;

struct Stream {
    FILE* native; // unbuffered: this wrapper's own buffer sits in front of it
    bool text;
    void (*onClose)(void*);
    void* closeContext;
    // Text-mode reading: bytes read from the file but not handed out yet.
    char raw[4096];
    size_t rawNext;
    size_t rawEnd;
    int lookahead; // the byte after a CR that was not LF, or kNoByte
    bool ended;    // 0x1A was met
};

void ForgetReadAhead(Stream* stream) {
    stream->rawNext = stream->rawEnd = 0;
    stream->lookahead = kNoByte;
    stream->ended = false;
}

// The next byte of the file, or kNoByte at its end or on an error.
int NextRawByte(Stream* stream) {
    if (stream->lookahead != kNoByte) {
        int byte = stream->lookahead;
        stream->lookahead = kNoByte;
        return byte;
    }
    if (stream->rawNext == stream->rawEnd) {
        stream->rawNext = 0;
        stream->rawEnd = fread(stream->raw, 1, sizeof stream->raw, stream->native);
        if (stream->rawEnd == 0) return kNoByte;
    }
    return (unsigned char)stream->raw[stream->rawNext++];
}

ssize_t ReadText(Stream* stream, char* out, size_t size) {
    size_t count = 0;
    while (count < size && !stream->ended) {
        int byte = NextRawByte(stream);
        if (byte == kNoByte) break;
        if (byte == kEndOfText) {
            stream->ended = true;
            break;
        }
        if (byte == '\r') {
            int next = NextRawByte(stream);
            if (next == '\n')
                byte = '\n';
            else
                stream->lookahead = next;
        }
        out[count++] = (char)byte;
    }
    if (count == 0 && ferror(stream->native)) return -1;
    return (ssize_t)count;
}

ssize_t Read(void* cookie, char* out, size_t size) {
    Stream* stream = static_cast<Stream*>(cookie);
    if (stream->text) return ReadText(stream, out, size);
    size_t count = fread(out, 1, size, stream->native);
    if (count == 0 && ferror(stream->native)) return -1;
    return (ssize_t)count;
}

// Answers the bytes of `data` taken, 0 on an error (glibc's rule for cookies).
ssize_t Write(void* cookie, const char* data, size_t size) {
    Stream* stream = static_cast<Stream*>(cookie);
    // What a stream still holds when the power goes never reaches the file.
    if (!host::PowerIsOn()) return 0;
    if (!stream->text) return (ssize_t)fwrite(data, 1, size, stream->native);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n' && fputc('\r', stream->native) == EOF) return 0;
        if (fputc((unsigned char)data[i], stream->native) == EOF) return 0;
    }
    return (ssize_t)size;
}

// Where the reader stands in the file: read-ahead bytes are not read yet.
off64_t LogicalPosition(Stream* stream) {
    off64_t position = ftello(stream->native);
    position -= (off64_t)(stream->rawEnd - stream->rawNext);
    if (stream->lookahead != kNoByte) --position;
    return position;
}

int Seek(void* cookie, off64_t* offset, int whence) {
    Stream* stream = static_cast<Stream*>(cookie);
    off64_t target = *offset;
    if (whence == SEEK_CUR) {
        target += LogicalPosition(stream);
        whence = SEEK_SET;
    }
    if (fseeko(stream->native, target, whence) != 0) return -1;
    ForgetReadAhead(stream);
    *offset = ftello(stream->native);
    return 0;
}

int Close(void* cookie) {
    Stream* stream = static_cast<Stream*>(cookie);
    int result = fclose(stream->native);
    stream->onClose(stream->closeContext);
    delete stream;
    return result == 0 ? 0 : EOF;
}

} // namespace

namespace host {
namespace detail {

FILE* WrapStream(FILE* native, const char* mode, bool text, void (*onClose)(void*),
                 void* closeContext) {
    setvbuf(native, NULL, _IONBF, 0);
    Stream* stream = new Stream;
    stream->native = native;
    stream->text = text;
    stream->onClose = onClose;
    stream->closeContext = closeContext;
    ForgetReadAhead(stream);
    cookie_io_functions_t functions = {Read, Write, Seek, Close};
    FILE* wrapped = fopencookie(stream, mode, functions);
    if (wrapped == NULL) {
        fclose(native);
        delete stream;
    }
    return wrapped;
}

} // namespace detail
} // namespace host
