#include "platform/registry/localeformat.h"

#include "platform/kernel/handles.h"
#include "platform/registry/detail/registrystore.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr char16_t kDefaultDateFormat[] = u"dd.MM.yyyy";
constexpr char16_t kDefaultTimeFormat[] = u"HH:mm:ss";

enum class PictureKind { Date, Time };

void AppendNumber(std::u16string& text, unsigned value, int digits) {
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, "%0*u", digits, value);
    text.append(buffer, buffer + std::max(length, 0));
}

// The letters a picture of the kind formats, with their longest run that has a form of its own.
int LongestRun(PictureKind kind, char16_t letter) {
    if (kind == PictureKind::Date) {
        return letter == u'd' || letter == u'M' ? 2 : letter == u'y' ? 4 : 0;
    }
    return letter == u'h' || letter == u'H' || letter == u'm' || letter == u's' || letter == u't'
               ? 2
               : 0;
}

void AppendPicture(std::u16string& text, const SYSTEMTIME& value, char16_t letter, int run) {
    switch (letter) {
    case u'd':
        AppendNumber(text, value.wDay, run);
        break;
    case u'M':
        AppendNumber(text, value.wMonth, run);
        break;
    case u'y':
        if (run <= 2) {
            AppendNumber(text, value.wYear % 100U, run);
        } else {
            AppendNumber(text, value.wYear, 4);
        }
        break;
    case u'H':
        AppendNumber(text, value.wHour, run);
        break;
    case u'h':
        AppendNumber(text, value.wHour % 12U == 0 ? 12U : value.wHour % 12U, run);
        break;
    case u'm':
        AppendNumber(text, value.wMinute, run);
        break;
    case u's':
        AppendNumber(text, value.wSecond, run);
        break;
    default: // 't'
        text += value.wHour < 12 ? u'A' : u'P';
        if (run > 1) {
            text += u'M';
        }
        break;
    }
}

std::u16string Expand(PictureKind kind, std::u16string_view format, const SYSTEMTIME& value) {
    std::u16string text;
    for (std::size_t i = 0; i < format.size();) {
        const char16_t letter = format[i];
        if (letter == u'\'') {
            // Quoted text up to the next lone quote; '' inside stands for one quote.
            ++i;
            while (i < format.size()) {
                if (format[i] == u'\'') {
                    if (i + 1 < format.size() && format[i + 1] == u'\'') {
                        text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += format[i++];
            }
            continue;
        }
        const int longest = LongestRun(kind, letter);
        if (longest == 0) {
            text += letter;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < format.size() && format[end] == letter) {
            ++end;
        }
        AppendPicture(text, value, letter, std::min(static_cast<int>(end - i), longest));
        i = end;
    }
    return text;
}

bool IsValid(PictureKind kind, const SYSTEMTIME& value) {
    if (kind == PictureKind::Date) {
        return value.wMonth >= 1 && value.wMonth <= 12 && value.wDay >= 1 && value.wDay <= 31;
    }
    return value.wHour < 24 && value.wMinute < 60 && value.wSecond < 60;
}

int Format(PictureKind kind, LCID locale, DWORD flags, const SYSTEMTIME* value, LPCWSTR format,
           LPWSTR buffer, int size) {
    if ((locale != LOCALE_SYSTEM_DEFAULT && locale != LOCALE_USER_DEFAULT) || size < 0 ||
        (size > 0 && buffer == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if ((flags & ~LOCALE_NOUSEROVERRIDE) != 0 ||
        (format != nullptr && (flags & LOCALE_NOUSEROVERRIDE) != 0)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    SYSTEMTIME now{};
    if (value == nullptr) {
        GetLocalTime(&now);
        value = &now;
    }
    if (!IsValid(kind, *value)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string picture;
    if (format != nullptr) {
        picture = format;
    } else {
        const std::optional<std::u16string> stored = platform::detail::QueryStoredText(
            platform::kLocaleFormatKey, kind == PictureKind::Date ? u"ShortDate" : u"TimeFormat");
        picture = stored && !stored->empty()
                      ? *stored
                      : (kind == PictureKind::Date ? kDefaultDateFormat : kDefaultTimeFormat);
    }
    const std::u16string text = Expand(kind, picture, *value);
    const int needed = static_cast<int>(text.size()) + 1;
    if (size == 0) {
        return needed;
    }
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return needed;
}

} // namespace

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR buffer,
                   int size) {
    return Format(PictureKind::Date, locale, flags, date, format, buffer, size);
}

int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer,
                   int size) {
    return Format(PictureKind::Time, locale, flags, time, format, buffer, size);
}
