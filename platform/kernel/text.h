#pragma once
// C-runtime style helpers for UTF-16 text (WCHAR = char16_t) with the device's rules: case
// mapping by code page 1252 / Latin-1 (deterministic, locale-free), numbers in C notation.
// Also brings in the code page conversions and the formatting functions. Safe from any thread.

#include "platform/kernel/codepage.h"
#include "platform/kernel/format.h"
#include "platform/types.h"

#include <cstddef>
#include <string>
#include <string_view>

// ---- Lengths and comparisons (a null string counts as empty) ----

[[nodiscard]] std::size_t WcsLen(const WCHAR* text);
// <0, 0, >0 by UTF-16 code unit values.
[[nodiscard]] int WcsCmp(const WCHAR* a, const WCHAR* b);
[[nodiscard]] int WcsNCmp(const WCHAR* a, const WCHAR* b, std::size_t count);
// Case-insensitive: both sides are folded to lower case and then compared by code unit, so '_'
// sorts before letters ("JOHN_HENRY" < "JOHNSTON"), as on the device.
// NOLINTBEGIN(bugprone-reserved-identifier): the device runtime's own names
[[nodiscard]] int _wcsicmp(const WCHAR* a, const WCHAR* b);
[[nodiscard]] int _wcsnicmp(const WCHAR* a, const WCHAR* b, std::size_t count);
// NOLINTEND(bugprone-reserved-identifier)

// ---- Case mapping ----

// ASCII letters, Latin-1 letters (U+00E0..U+00FE except U+00F7) and the 1252 pairs Š/š, Œ/œ,
// Ž/ž, Ÿ/ÿ. ß and µ have no single upper-case form and stay; everything else is unchanged.
[[nodiscard]] WCHAR TowUpper(WCHAR c);
[[nodiscard]] WCHAR TowLower(WCHAR c);
// In place; return text. Null gives null.
// NOLINTBEGIN(bugprone-reserved-identifier): the device runtime's own names
WCHAR* _wcsupr(WCHAR* text);
WCHAR* _wcslwr(WCHAR* text);
// NOLINTEND(bugprone-reserved-identifier)
// A pointer whose bits above the low 16 are zero carries one character, and the converted
// character comes back the same way; otherwise the zero-terminated string is converted in place
// and the pointer returned.
LPWSTR CharUpperW(LPWSTR textOrChar);
LPWSTR CharLowerW(LPWSTR textOrChar);

namespace platform {
[[nodiscard]] std::u16string ToUpper(std::u16string_view text);
[[nodiscard]] std::u16string ToLower(std::u16string_view text);

// <0, 0, >0 in the order of _wcsicmp (a text before its continuations), without copying either.
[[nodiscard]] int CompareNoCase(std::u16string_view a, std::u16string_view b);

// Orders texts as CompareNoCase does; maps and sets ordered by it are also searched with views.
struct LessNoCase {
    using is_transparent = void;
    [[nodiscard]] bool operator()(std::u16string_view a, std::u16string_view b) const {
        return CompareNoCase(a, b) < 0;
    }
};
} // namespace platform

// ---- Numbers ----

// Leading blanks, an optional sign and decimal digits; 0 when there is no number. Values beyond
// the 32-bit range saturate at MINLONG / MAXLONG.
// NOLINTBEGIN(bugprone-reserved-identifier): the device runtime's own names
[[nodiscard]] LONG _wtol(const WCHAR* text);
[[nodiscard]] int _wtoi(const WCHAR* text);
// NOLINTEND(bugprone-reserved-identifier)
// strtol rules for base 0 (prefix decides) or 2..36; LONG is 32 bits, as on the device.
// Saturates and sets errno to ERANGE on overflow. *end (when end is not null) points past the
// number, or at text when there is none.
[[nodiscard]] LONG WcsToL(const WCHAR* text, WCHAR** end, int base);
[[nodiscard]] ULONG WcsToUL(const WCHAR* text, WCHAR** end, int base);
// Decimal floating point in C notation ('.' always, optional exponent, no hex or inf/nan).
// Returns 0 with *end = text when there is no number, +-HUGE_VAL or 0 with errno ERANGE when out
// of range.
[[nodiscard]] double WcsToD(const WCHAR* text, WCHAR** end);
// Writes value in radix 2..36 (lower-case digits) and a terminating zero; a minus sign only for
// radix 10, other radixes show the 32-bit pattern. The buffer needs 34 characters. Returns
// buffer; an invalid radix gives an empty string.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the device runtime's own name
WCHAR* _itow(int value, WCHAR* buffer, int radix);

// ---- The C-runtime names, for char16_t arguments ----

[[nodiscard]] inline std::size_t wcslen(const WCHAR* text) {
    return WcsLen(text);
}
[[nodiscard]] inline int wcscmp(const WCHAR* a, const WCHAR* b) {
    return WcsCmp(a, b);
}
[[nodiscard]] inline int wcsncmp(const WCHAR* a, const WCHAR* b, std::size_t count) {
    return WcsNCmp(a, b, count);
}
[[nodiscard]] inline WCHAR towupper(WCHAR c) {
    return TowUpper(c);
}
[[nodiscard]] inline WCHAR towlower(WCHAR c) {
    return TowLower(c);
}
[[nodiscard]] inline LONG wcstol(const WCHAR* text, WCHAR** end, int base) {
    return WcsToL(text, end, base);
}
[[nodiscard]] inline ULONG wcstoul(const WCHAR* text, WCHAR** end, int base) {
    return WcsToUL(text, end, base);
}
[[nodiscard]] inline double wcstod(const WCHAR* text, WCHAR** end) {
    return WcsToD(text, end);
}
