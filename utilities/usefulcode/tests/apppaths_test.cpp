#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/process.h"
#include "platform/shell/resourcebundle.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

namespace {

// The executable lies in "\Program Files\Nav"; the language library, when loaded, in
// "\Program Files\Nav\Lang".
class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetExecutablePath(u"\\Program Files\\Nav\\Navigator.exe");
        platform::SetProgramFolder(u"\\Program Files\\Nav\\Lang");
    }
    void TearDown() override {
        platform::SetResourceInstance(nullptr);
        if (m_library != nullptr) {
            EXPECT_TRUE(FreeLibrary(m_library));
        }
        platform::SetExecutablePath(u"");
        platform::SetProgramFolder(u"\\");
    }

    // Loads an English library with these strings and makes it the resource instance.
    void UseLanguageLibrary(std::map<UINT, std::u16string> strings) {
        platform::ResourceBundle bundle;
        bundle.strings = std::move(strings);
        ASSERT_TRUE(m_root.WriteFile(u"\\Program Files\\Nav\\Lang\\LangEngCE.dll",
                                     testdata::WriteResourceBundle(bundle)));
        m_library = LoadLibraryW(u"LangEngCE.dll");
        ASSERT_NE(m_library, nullptr);
        platform::SetResourceInstance(m_library);
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_library = nullptr;
};

TEST_F(AppPathsTest, MakeFullPathCompletesOnlyBareNames) {
    const struct {
        std::u16string name;
        std::u16string expected;
    } cases[] = {
        {u"RarUderad.ini", u"\\Program Files\\Nav\\RarUderad.ini"},
        {u"maps/europe.lvl", u"maps/europe.lvl"},
        {u"\\Windows\\x.ini", u"\\Windows\\x.ini"},
        {u"", u"\\Program Files\\Nav\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AppPaths::MakeFullPath(c.name), c.expected);
    }
    EXPECT_EQ(AppPaths::GetServerSettingsFilePath(), u"\\Program Files\\Nav\\RarUderad.ini");
    platform::SetExecutablePath(u"/Storage Card/nav.exe");
    EXPECT_EQ(AppPaths::MakeFullPath(u"x.ini"), u"/Storage Card\\x.ini");
}

TEST_F(AppPathsTest, ModuleFolderIsTheLanguageLibrarysFolder) {
    EXPECT_EQ(AppPaths::GetModuleDirectory(), u"\\Program Files\\Nav\\")
        << "the executable while no library is set";
    UseLanguageLibrary({{1, u"Navigator"}});
    const std::u16string folder = AppPaths::GetModuleDirectory();
    EXPECT_TRUE(platform::DeviceNamesEqual(folder.substr(0, folder.size() - 1),
                                           u"\\Program Files\\Nav\\Lang"));
    EXPECT_EQ(folder.back(), u'\\');
    EXPECT_EQ(AppPaths::GetSettingsFilePath(), folder + u"PK.ini");
    EXPECT_EQ(AppPaths::GetRoutePointsFilePath(), folder + u"Routenpunkte.ini");
    EXPECT_EQ(AppPaths::GetLogbookFilePath(), folder + u"Fahrtenbuch.txt");
    EXPECT_EQ(AppPaths::GetConverterPath(), folder + u"R2U.exe");

    ASSERT_TRUE(m_root.WriteFile(u"\\Program Files\\Nav\\Lang\\PK.ini",
                                 std::string_view("[Logbook]\nPath=\\My Documents\\trips.txt\n"
                                                  "[Vaza2Dazav]\nPath=\\Windows\\conv.exe\n")));
    EXPECT_EQ(AppPaths::GetLogbookFilePath(), u"\\My Documents\\trips.txt");
    EXPECT_EQ(AppPaths::GetConverterPath(), u"\\Windows\\conv.exe");
}

TEST_F(AppPathsTest, LanguageNumbersChooseTheirSuffixWithGermanForTheRest) {
    const struct {
        INT language;
        std::u16string suffix;
    } cases[] = {{1, u"Eng"}, {3, u"Fre"}, {4, u"Spa"}, {5, u"Ita"}, {6, u"Dut"},
                 {0, u"Ger"}, {2, u"Ger"}, {7, u"Ger"}, {-1, u"Ger"}};
    for (const auto& c : cases) {
        EXPECT_EQ(AppPaths::LanguageSuffix(c.language), c.suffix) << c.language;
    }
}

TEST_F(AppPathsTest, ScreenDescriptionPathIsWorkedOutOnceFromTheLanguage) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Program Files\\Nav\\RarUderad.ini",
                                 std::string_view("[Properties]\nLanguage=4\n")));
    const std::u16string first = AppPaths::GetScreenDescFilePath();
    EXPECT_EQ(first, u"\\Program Files\\Nav\\ScreenDescSpaCE.dat");
    ASSERT_TRUE(m_root.WriteFile(u"\\Program Files\\Nav\\RarUderad.ini",
                                 std::string_view("[Properties]\nLanguage=1\n")));
    EXPECT_EQ(AppPaths::GetScreenDescFilePath(), first) << "kept for the life of the process";
}

TEST_F(AppPathsTest, GpsLogNameUsesTheUtcTime) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    const SYSTEMTIME utc{2004, 3, 0, 7, 8, 5, 59, 0};
    ASSERT_TRUE(clock.SetTime(utc));
    clock.SetLocalOffsetMinutes(120);
    EXPECT_EQ(AppPaths::MakeGpsLogFileName(), u"/Windows/GPS Log 7-3-2004 8-5.txt");
}

TEST_F(AppPathsTest, AppTitleIsStringOneCutTo64Characters) {
    EXPECT_EQ(LoadAppTitle(), u"") << "no library, no title";
    const std::u16string longTitle(70, u'T');
    UseLanguageLibrary({{1, longTitle}});
    EXPECT_EQ(LoadAppTitle(), longTitle.substr(0, 64));
}

TEST_F(AppPathsTest, HelpFileStartsTheHelpViewer) {
    platform::ClearRecordedProcessLaunches();
    const std::size_t handles = platform::OpenHandleCount();
    OpenHelpFile(u"ZU_Deridivira.htc#map");
    const auto launches = platform::RecordedProcessLaunches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].imageName, u"peghelp.exe");
    EXPECT_EQ(launches[0].commandLine, u"file:ZU_Deridivira.htc#map");
    EXPECT_EQ(platform::OpenHandleCount(), handles) << "the process handles are closed";
    platform::ClearRecordedProcessLaunches();
}

} // namespace
