#include "app/pages/distancefield.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DistanceFieldText, RemainingTimeInHoursAndMinutes) {
    struct Row {
        std::int32_t seconds;
        const char16_t* text;
    };
    const Row rows[] = {{0, u"0:00"},    {59, u"0:00"},     {3599, u"0:59"}, {3600, u"1:00"},
                        {5460, u"1:31"}, {36000, u"10:00"}, {-20, u"0:00"}};
    for (const Row& row : rows) {
        EXPECT_EQ(FormatRemainingTime(row.seconds), row.text) << row.seconds;
    }
}

TEST(DistanceFieldText, ClockTimeOnTheTwelveAndTwentyFourHourClock) {
    struct Row {
        int hour;
        int minute;
        bool twelveHour;
        const char16_t* text;
    };
    const Row rows[] = {{12, 30, true, u"12:30 pm"}, {0, 5, true, u"12:05 am"},
                        {13, 5, true, u"1:05 pm"},   {11, 59, true, u"11:59 am"},
                        {23, 0, true, u"11:00 pm"},  {0, 5, false, u"0:05"},
                        {13, 5, false, u"13:05"}};
    for (const Row& row : rows) {
        EXPECT_EQ(FormatClockTime(row.hour, row.minute, row.twelveHour), row.text)
            << row.hour << ":" << row.minute << " " << row.twelveHour;
    }
}

// A device with the three labels and a settings file, on a clock at 2000-01-01 11:50 local.
class DistanceFieldTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        platform::ResourceBundle bundle;
        bundle.strings = {{554, u"Distance"}, {555, u"Arrival"}, {557, u"Time"}};
        ASSERT_TRUE(
            m_root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)));
        m_module = LoadLibraryW(u"LangEngCE.dll");
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        SYSTEMTIME start{2000, 1, 0, 1, 11, 50, 0, 0};
        ASSERT_TRUE(m_clock.SetTime(start));
    }
    void TearDown() override {
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }
    void WriteMode(const char* value) {
        ASSERT_TRUE(
            m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                             std::string("[Preferences]\r\nDistToDestMode=") + value + "\r\n"));
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
};

TEST_F(DistanceFieldTest, ValuesOfTheThreeModes) {
    struct Row {
        std::int32_t metres;
        std::int32_t seconds;
        bool kilometres;
        bool twelveHour;
        const char16_t* distance;
        const char16_t* time;
        const char16_t* arrival;
    };
    const Row rows[] = {
        {2000, 2400, true, true, u"2.0km", u"0:40", u"12:30 pm"},
        {2000, 4500, true, true, u"2.0km", u"1:15", u"1:05 pm"},
        {2000, 44700, true, true, u"2.0km", u"12:25", u"12:15 am"},
        {2000, 4500, true, false, u"2.0km", u"1:15", u"13:05"},
    };
    for (const Row& row : rows) {
        DistanceField field;
        field.SetSave(false);
        field.SetKilometres(row.kilometres);
        field.SetTwelveHour(row.twelveHour);
        (void)field.Update(row.metres, row.seconds);
        EXPECT_EQ(field.GetValue(0), row.distance) << row.seconds;
        EXPECT_EQ(field.GetValue(1), row.time) << row.seconds;
        EXPECT_EQ(field.GetValue(2), row.arrival) << row.seconds;
    }
}

TEST_F(DistanceFieldTest, ModeIsReadAdvancedAndWrittenBack) {
    struct Row {
        const char* stored;
        int mode;
        const char16_t* label;
        const char* written; // after one tap
    };
    const Row rows[] = {{"0", 0, u"Distance", "1"},
                        {"1", 1, u"Time", "2"},
                        {"2", 2, u"Arrival", "0"},
                        {"7", 0, u"Distance", "1"},
                        {"-1", 0, u"Distance", "1"}};
    for (const Row& row : rows) {
        WriteMode(row.stored);
        {
            DistanceField field;
            ASSERT_EQ(field.GetMode(), row.mode) << row.stored;
            EXPECT_EQ(field.GetLabel(field.GetMode()), row.label);
            for (int tap = 0; tap < DistanceField::kModeCount; ++tap) {
                field.Advance();
            }
            EXPECT_EQ(field.GetMode(), row.mode) << "three taps come back";
            field.Advance();
        }
        const auto stored = m_root.ReadFile(AppPaths::GetSettingsFilePath());
        ASSERT_TRUE(stored);
        EXPECT_NE(stored->find(std::string("DistToDestMode=") + row.written), std::string::npos)
            << *stored;
    }
}

TEST_F(DistanceFieldTest, RefreshKeepsTheShownValueWhenTheNewOneIsEmpty) {
    WriteMode("1");
    HWND label = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND value = CreateWindowExW(0, u"Static", u"old", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    ASSERT_NE(value, nullptr);
    auto text = [](HWND window) {
        char16_t buffer[64] = {};
        GetWindowTextW(window, buffer, 64);
        return std::u16string(buffer);
    };
    DistanceField field;
    field.SetSave(false);
    field.Refresh(label, value);
    EXPECT_EQ(text(label), u"Time");
    EXPECT_EQ(text(value), u"old");
    EXPECT_TRUE(field.Update(500, 600));
    EXPECT_FALSE(field.Update(500, 600)) << "nothing changed";
    field.Refresh(label, value);
    EXPECT_EQ(text(value), u"0:10");
    DestroyWindow(label);
    DestroyWindow(value);
}

} // namespace
