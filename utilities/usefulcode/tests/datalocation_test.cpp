#include "testdata/tempdir.h"
#include "utilities/usefulcode/datalocation.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/shell/dialogs.h"

#include <gtest/gtest.h>

namespace {

constexpr char16_t kSettings[] = u"\\Program Files\\Nav\\RarUderad.ini";

class DataLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ClearOpenFileDialogs();
        for (const char16_t* folder :
             {u"\\data\\kwa", u"\\data\\maps", u"\\data\\db", u"\\data\\tmc", u"\\other\\kwa",
              u"\\other\\maps", u"\\nomaps\\kwa", u"\\nomaps\\db"}) {
            ASSERT_TRUE(m_root.MakeFolder(folder));
        }
        for (const char16_t* file :
             {u"\\data\\kwa\\Europe.rd", u"\\data\\kwa\\west.rd", u"\\data\\maps\\eu.lvl",
              u"\\data\\readme.txt", u"\\sounds\\SENTENCES.SRC"}) {
            ASSERT_TRUE(m_root.WriteFile(file, std::string_view("x")));
        }
        ASSERT_TRUE(m_root.WriteFile(kSettings, std::string_view("")));
    }
    void TearDown() override { platform::ClearOpenFileDialogs(); }

    static std::u16string Setting(const char16_t* section, const char16_t* key) {
        return IniProfile::GetString(section, key, kSettings, u"<none>");
    }

    testdata::TempDeviceRoot m_root;
};

TEST_F(DataLocationTest, SetDataFolderDerivesThePathsAndRemembersTheFolder) {
    auto location = CreateDataLocation(kSettings);
    ASSERT_TRUE(location);
    EXPECT_EQ(location->GetDataFolder(), u"") << "nothing stored yet";
    EXPECT_EQ(location->GetIniFile(), kSettings);
    EXPECT_EQ(location->GetRootText(), nullptr);

    ASSERT_TRUE(location->SetDataFolder(u"\\data/"));
    EXPECT_EQ(location->GetDataFolder(), u"\\data");
    EXPECT_EQ(Setting(u"DB", u"FileName"), u"\\data");
    EXPECT_EQ(location->GetRoadNetworkFile(), u"\\data/kwa\\Europe.rd");
    EXPECT_EQ(location->GetLevelFile(), u"\\data/maps\\eu.lvl");
    EXPECT_EQ(location->GetDbFolder(), u"\\data/db");
    EXPECT_EQ(location->GetTmcFolder(), u"\\data/tmc");
    EXPECT_TRUE(location->IsDataFolderValid());

    // A folder without matching files gives empty file paths; without "/db" it is not valid.
    ASSERT_TRUE(location->SetDataFolder(u"\\other"));
    EXPECT_EQ(location->GetRoadNetworkFile(), u"");
    EXPECT_EQ(location->GetLevelFile(), u"");
    EXPECT_FALSE(location->IsDataFolderValid());

    // A new location starts from the remembered folder.
    auto again = CreateDataLocation(kSettings);
    EXPECT_EQ(again->GetDataFolder(), u"\\other");
}

TEST_F(DataLocationTest, RejectedFolderEmptiesTheDataFolderOnly) {
    auto location = CreateDataLocation(kSettings);
    ASSERT_TRUE(location->SetDataFolder(u"\\data"));
    for (const std::u16string bad : {u"\\nomaps", u"\\missing", u""}) {
        SCOPED_TRACE(std::string(bad.begin(), bad.end()));
        EXPECT_FALSE(location->SetDataFolder(bad));
        EXPECT_EQ(location->GetLevelFile(), u"\\data/maps\\eu.lvl") << "derived paths stay";
        EXPECT_EQ(Setting(u"DB", u"FileName"), u"\\data") << "the setting stays";
        EXPECT_FALSE(location->IsDataFolderValid());
    }
    EXPECT_EQ(location->GetDataFolder(), u"");
}

TEST_F(DataLocationTest, SelectDataFolderTakesAFolderOrAFileInIt) {
    auto location = CreateDataLocation(kSettings);
    const struct {
        std::optional<std::u16string> answer;
        bool isChosen;
        std::u16string folder;
    } cases[] = {
        {std::nullopt, false, u""},
        {u"\\data\\readme.txt", true, u"\\data"},
        {u"\\other", true, u"\\other"},
        {u"\\data\\maps\\eu.lvl", false, u""},
    };
    for (const auto& c : cases) {
        platform::PushOpenFileAnswer(c.answer);
        EXPECT_EQ(location->SelectDataFolder(), c.isChosen);
        EXPECT_EQ(location->GetDataFolder(), c.folder);
    }
    const auto requests = platform::RecordedOpenFileRequests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].filter, (std::vector<std::u16string>{u"All files", u"*.*"}));
    EXPECT_EQ(requests[0].title, u"");
}

TEST_F(DataLocationTest, SoundsFolderIsAskedForOnlyWhileUnknown) {
    auto location = CreateDataLocation(kSettings);
    platform::PushOpenFileAnswer(std::nullopt);
    EXPECT_EQ(location->GetSoundsFolder(), u"") << "cancelled";
    platform::PushOpenFileAnswer(u"\\sounds\\SENTENCES.SRC");
    EXPECT_EQ(location->GetSoundsFolder(), u"\\sounds");
    EXPECT_EQ(Setting(u"Sounds", u"Path"), u"\\sounds");
    EXPECT_EQ(location->GetSoundsFolder(), u"\\sounds");
    EXPECT_EQ(platform::RecordedOpenFileRequests().size(), 2u) << "no third question";

    auto fresh = CreateDataLocation(kSettings);
    EXPECT_EQ(fresh->GetSoundsFolder(), u"\\sounds");
    EXPECT_EQ(platform::RecordedOpenFileRequests().size(), 2u);
}

} // namespace
