#pragma once
// Formatted text over UTF-16 with the device C runtime's rules: in a wide format "%s" takes a
// wide string (WCHAR*) and "%S" a narrow one (char*, code page 1252); "%c" a wide character and
// "%C" a narrow one ("%hs", "%ls", "%ws", "%hc", "%lc" say it explicitly). "l" means 32 bits
// ("%ld" takes a LONG), "ll" and "I64" 64 bits, "I" and "z" pointer size, "L" on floating point
// is ignored (double). Floating point rounds exact halves away from zero ("%.1f" of 0.25 is
// "0.3"), exponents have three digits ("1.5e+001"), "%p" prints 16 upper-case hex digits, a null
// string prints "(null)". "%n" and unknown conversions are refused. Safe from any thread.

#include "platform/types.h"

#include <cstdarg>
#include <cstddef>
#include <string>

// Writes at most count characters. Returns the length when it is below count (a terminating
// zero follows), count when it is exactly count (no zero), -1 when the text was cut (no zero)
// or the format is refused.
// NOLINTBEGIN(bugprone-reserved-identifier): the device runtime's own names
int _snwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, ...);
int _vsnwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, va_list args);
// NOLINTEND(bugprone-reserved-identifier)

// C99 order and rules: the text, cut to count - 1 characters, is always terminated (count > 0).
// Returns the length, or -1 when it did not fit or the format is refused.
int swprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, ...);
int vswprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, va_list args);

// Reads fields from text. Conversions: d i u o x X (with h, hh, l, ll, I64), f e g (float*, or
// double* with l), s (WCHAR*), S (char*, code page 1252), c (width characters, no zero added),
// n, %%, "*" to skip a field, widths. A blank in the format matches any run of blanks (none
// too). Returns the number of fields stored, or -1 (EOF) when the text ends before the first
// conversion. "%s" without a width writes the whole word: give a width, or use swscanf_s.
int swscanf(const WCHAR* text, const WCHAR* format, ...);
// As swscanf, but each s, S and c target is followed by its size in characters (unsigned); a
// word that does not fit (with its zero) stores an empty string and ends the scan.
int swscanf_s(const WCHAR* text, const WCHAR* format, ...);

namespace platform {

// The formatted text; empty (and a debug line) when the format is refused.
[[nodiscard]] std::u16string FormatW(const WCHAR* format, ...);
[[nodiscard]] std::u16string FormatWV(const WCHAR* format, va_list args);

} // namespace platform
