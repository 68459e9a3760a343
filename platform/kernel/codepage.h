#pragma once
// The system code page (Windows-1252, by table, locale-free) and UTF-8, to and from UTF-16.
// Pure functions; safe from any thread.

#include "platform/kernel/handles.h" // GetLastError
#include "platform/types.h"

#include <cstddef>
#include <string>
#include <string_view>

constexpr UINT CP_ACP = 0; // the system code page: 1252
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x1;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// 1252.
[[nodiscard]] UINT GetACP();

// Converts multiByteCount bytes (-1: up to and including the terminating zero) of code page
// CP_ACP, 1252 or CP_UTF8 to UTF-16. Returns the number of characters written, or with
// wideCount 0 the number needed (a terminating zero counts when it was converted). 0 on failure:
// ERROR_INSUFFICIENT_BUFFER when wideCount is too small, ERROR_INVALID_PARAMETER for another code
// page, a null source, a count of 0 or below -1, ERROR_NO_UNICODE_TRANSLATION for malformed UTF-8
// with MB_ERR_INVALID_CHARS (otherwise each malformed sequence becomes U+FFFD). The five bytes
// 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 etc., so every byte
// round-trips.
[[nodiscard]] int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte,
                                      int multiByteCount, LPWSTR wide, int wideCount);

// The reverse, with the same counting rules. A character 1252 cannot hold becomes defaultChar
// (or '?' when null; one per code point, a surrogate pair being one) and sets *usedDefaultChar.
// For CP_UTF8 defaultChar and usedDefaultChar must be null; lone surrogates become U+FFFD.
[[nodiscard]] int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount,
                                      LPSTR multiByte, int multiByteCount, LPCSTR defaultChar,
                                      BOOL* usedDefaultChar);

// C-runtime style conversions through code page 1252. wcstombs writes at most count bytes and
// adds a terminating zero only when there is room; it returns the bytes written without the zero
// (with a null destination: the bytes needed). Unmappable characters become '?', so the result is
// never -1. mbstowcs likewise writes at most count characters and reads no further source bytes
// than it converts. Null sources give 0. (To count with a null destination, pass a typed null.)
std::size_t wcstombs(char* multiByte, const WCHAR* wide, std::size_t count);
std::size_t mbstowcs(WCHAR* wide, const char* multiByte, std::size_t count);

namespace platform {

// One byte of code page 1252 as UTF-16; one UTF-16 unit as 1252, false when 1252 has no byte
// for it.
[[nodiscard]] WCHAR AnsiToWideChar(unsigned char byte);
[[nodiscard]] bool WideCharToAnsi(WCHAR character, unsigned char& byte);

[[nodiscard]] std::u16string AnsiToWide(std::string_view ansi);
[[nodiscard]] std::string WideToAnsi(std::u16string_view wide); // unmappable -> '?'

// UTF-8 for host paths and diagnostics. Malformed input and lone surrogates become U+FFFD.
[[nodiscard]] std::u16string Utf8ToUtf16(std::string_view utf8);
[[nodiscard]] std::string Utf16ToUtf8(std::u16string_view utf16);

} // namespace platform
