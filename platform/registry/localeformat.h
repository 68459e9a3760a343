#pragma once
// Date and time texts of the system locale. The locale's formats are the device settings
// "ShortDate" and "TimeFormat" of the registry key kLocaleFormatKey (German "dd.MM.yyyy" and
// "HH:mm:ss" when missing); the current date and time come from the installed clock
// (platform/kernel/time.h). Safe from any thread.

#include "platform/kernel/time.h"
#include "platform/types.h"

using LCID = DWORD;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;
constexpr LCID LOCALE_USER_DEFAULT = 0x400;
constexpr DWORD LOCALE_NOUSEROVERRIDE = 0x80000000;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;

namespace platform {
// Below HKEY_LOCAL_MACHINE.
inline constexpr char16_t kLocaleFormatKey[] = u"System\\Locale";
} // namespace platform

// Format pictures: d, dd (day), M, MM (month), y, yy, yyyy (year), h, hh (12-hour), H, HH,
// m, mm, s, ss, t, tt ("A"/"AM" or "P"/"PM"); text in single quotes ('' gives one quote) and any
// other character is copied. A picture letter repeated beyond these counts gives its longest
// numeric form. date or time null: the current local time; format null: the locale's format.
// Returns the characters written including the terminating zero; with size 0 only the size
// needed. 0 with the last error: ERROR_INVALID_PARAMETER for another locale than the system or
// user default, a negative size, a missing buffer or a date or time out of range;
// ERROR_INVALID_FLAGS for flags other than LOCALE_NOUSEROVERRIDE or for LOCALE_NOUSEROVERRIDE
// with an own format; ERROR_INSUFFICIENT_BUFFER when the text does not fit.
[[nodiscard]] int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                                 LPWSTR buffer, int size);
[[nodiscard]] int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format,
                                 LPWSTR buffer, int size);
