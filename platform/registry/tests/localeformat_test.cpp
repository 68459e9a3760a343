#include "testdata/registrystorewriter.h"
#include "testdata/tempdir.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/registry/localeformat.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using FormatCall = int (*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

TEST(LocaleFormat, UsesTheStoredFormatsOrGermanOnesOnTheInstalledClock) {
    struct Case {
        const char* name;
        const char16_t* storedDate; // null: no value stored
        const char16_t* storedTime;
        const char16_t* date;
        const char16_t* time;
    };
    const Case cases[] = {
        {"German defaults", nullptr, nullptr, u"07.03.2026", u"14:05:09"},
        {"stored formats", u"M/d/yy", u"h:mm tt", u"3/7/26", u"2:05 PM"},
        {"quoted text", u"yyyy'-'MM'-'dd 'd''M'", u"HH'h'mm", u"2026-03-07 d'M", u"14h05"},
        {"empty stored values", u"", u"", u"07.03.2026", u"14:05:09"},
    };
    platform::VirtualClock clock;
    ASSERT_TRUE(clock.SetTime(SYSTEMTIME{2026, 3, 0, 7, 13, 5, 9, 0}));
    clock.SetLocalOffsetMinutes(60);
    const platform::ScopedClock installed(clock);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        testdata::RegistryStoreWriter writer;
        writer.Key(platform::kLocaleFormatKey);
        if (c.storedDate != nullptr) {
            writer.String(u"ShortDate", c.storedDate).String(u"TimeFormat", c.storedTime);
        }
        ASSERT_TRUE(writer.WriteTo(root));
        WCHAR buffer[128];
        const std::u16string date = c.date;
        EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, LOCALE_NOUSEROVERRIDE, nullptr, nullptr,
                                 buffer, 128),
                  static_cast<int>(date.size()) + 1);
        EXPECT_EQ(std::u16string(buffer), date);
        const std::u16string time = c.time;
        EXPECT_EQ(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, LOCALE_NOUSEROVERRIDE, nullptr, nullptr,
                                 buffer, 128),
                  static_cast<int>(time.size()) + 1);
        EXPECT_EQ(std::u16string(buffer), time);
    }
}

TEST(LocaleFormat, ReportsSizesAndRefusesBadCalls) {
    struct Case {
        const char* name;
        FormatCall call;
        LCID locale;
        DWORD flags;
        const char16_t* format;
        SYSTEMTIME value;
        int size;
        int result;
        DWORD error; // 0: success
    };
    const SYSTEMTIME good{2026, 12, 2, 8, 9, 30, 0, 0};
    const Case cases[] = {
        {"size asked", GetDateFormatW, LOCALE_SYSTEM_DEFAULT, 0, u"d.M.yyyy", good, 0, 10, 0},
        {"exact fit", GetDateFormatW, LOCALE_USER_DEFAULT, 0, u"d.M.yyyy", good, 10, 10, 0},
        {"one short", GetDateFormatW, LOCALE_SYSTEM_DEFAULT, 0, u"d.M.yyyy", good, 9, 0,
         ERROR_INSUFFICIENT_BUFFER},
        {"other locale", GetTimeFormatW, 0x407, 0, nullptr, good, 32, 0, ERROR_INVALID_PARAMETER},
        {"no override with own format", GetTimeFormatW, LOCALE_SYSTEM_DEFAULT,
         LOCALE_NOUSEROVERRIDE, u"HH", good, 32, 0, ERROR_INVALID_FLAGS},
        {"unknown flag", GetDateFormatW, LOCALE_SYSTEM_DEFAULT, 4, nullptr, good, 32, 0,
         ERROR_INVALID_FLAGS},
        {"month 13", GetDateFormatW, LOCALE_SYSTEM_DEFAULT, 0, nullptr,
         SYSTEMTIME{2026, 13, 0, 1, 0, 0, 0, 0}, 32, 0, ERROR_INVALID_PARAMETER},
        {"hour 24", GetTimeFormatW, LOCALE_SYSTEM_DEFAULT, 0, nullptr,
         SYSTEMTIME{2026, 1, 0, 1, 24, 0, 0, 0}, 32, 0, ERROR_INVALID_PARAMETER},
        {"midnight in 12 hours", GetTimeFormatW, LOCALE_SYSTEM_DEFAULT, 0, u"hh t",
         SYSTEMTIME{2026, 1, 0, 1, 0, 0, 0, 0}, 32, 5, 0},
    };
    testdata::TempDeviceRoot root;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WCHAR buffer[32] = {};
        SetLastError(0);
        EXPECT_EQ(
            c.call(c.locale, c.flags, &c.value, c.format, c.size == 0 ? nullptr : buffer, c.size),
            c.result);
        EXPECT_EQ(GetLastError(), c.error);
    }
    WCHAR buffer[8];
    ASSERT_EQ(GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &cases[8].value, u"hh t", buffer, 8), 5);
    EXPECT_EQ(std::u16string(buffer), u"12 A");
}

} // namespace
