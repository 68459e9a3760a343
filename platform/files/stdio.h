#pragma once
// Wide stdio streams of the device file system, with the C runtime's names overloaded on our own
// stream type NavFile (the host's FILE is not involved in a caller's code). Modes: "r", "w", "a"
// with '+' for update and 'b' (binary) or 't' (text, the default). Text mode writes '\n' as
// CR LF and reads CR LF or LF as '\n'; wide text goes through code page 1252 (characters it
// lacks are written as '?'), or through UTF-8 when the file starts with a UTF-8 byte-order mark.
// Binary-mode wide text is UTF-16LE. Streams share files like CreateFileW with FILE_SHARE_READ |
// FILE_SHARE_WRITE. One stream must not be used by two threads at once.

#include "platform/types.h"

#include <cstddef>
#include <cstdio>
#include <cwchar> // before our fclose overload: glibc names fclose in attributes of <wchar.h>

struct NavFile;

// Null with errno (ENOENT, EACCES, EINVAL) and the last error set when the file cannot be opened
// or the mode is not understood.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the device runtime's own name
[[nodiscard]] NavFile* _wfopen(const WCHAR* fileName, const WCHAR* mode);
namespace platform {
// The C runtime's narrow fopen: the name is taken in code page 1252 and opened as _wfopen does.
// Called as platform::fopen, beside the host's own.
[[nodiscard]] NavFile* fopen(const char* fileName, const char* mode);
} // namespace platform
// 0, or EOF when buffered data could not be written; the stream is gone either way.
int fclose(NavFile* stream);

// Items of size bytes; text mode turns CR LF into LF while reading and LF into CR LF while
// writing. A short read sets the end-of-file flag.
[[nodiscard]] std::size_t fread(void* buffer, std::size_t size, std::size_t count, NavFile* stream);
std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, NavFile* stream);

// origin SEEK_SET, SEEK_CUR or SEEK_END; clears the end-of-file flag. 0 on success, else -1.
int fseek(NavFile* stream, long offset, int origin);
// Byte position, or -1.
[[nodiscard]] long ftell(NavFile* stream);
[[nodiscard]] int feof(NavFile* stream);
int fflush(NavFile* stream);
// Keeps fflush(nullptr) (flush every host stream) unambiguous beside the overload above.
inline int fflush(std::nullptr_t) {
    return std::fflush(nullptr);
}

// The next byte as an unsigned char value, or EOF at the end of the file (or on a stream not
// open for reading). Text mode reads CR LF as '\n'; the bytes are not converted.
[[nodiscard]] int fgetc(NavFile* stream);

// Reads at most count - 1 characters, up to and including '\n', and terminates them. Returns
// buffer, or null at the end of the file when nothing was read (or for count <= 0). A character
// outside the basic plane may be split across two calls.
WCHAR* fgetws(WCHAR* buffer, int count, NavFile* stream);
// Writes the zero-terminated text; 0 on success, -1 (WEOF) on failure.
int fputws(const WCHAR* text, NavFile* stream);
