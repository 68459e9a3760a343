// The server configuration on generated folder trees: the databases found depth first, the last
// used one remembered without letter case, switching, the settings file from the data location,
// the registry or the default, and the paths of a database's parts.
#include "onboard/serverconfig.h"
#include "testdata/registrystorewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testdata::RegistryStoreWriter;
using testdata::TempDeviceRoot;

constexpr char16_t kSettings[] = u"\\Windows\\Quarn.ini";

// A data location naming a settings file and a data folder; records the folders it is given.
class FakeLocation final : public DataLocation {
public:
    FakeLocation(std::u16string ini, std::u16string folder)
        : m_ini(std::move(ini))
        , m_folder(std::move(folder)) {}
    bool SelectDataFolder() override { return false; }
    bool SetDataFolder(const std::u16string& folder) override {
        given.push_back(folder);
        m_folder = folder;
        return true;
    }
    std::u16string GetDataFolder() const override { return m_folder; }
    std::u16string GetRoadNetworkFile() const override { return {}; }
    std::u16string GetLevelFile() const override { return {}; }
    std::u16string GetDbFolder() const override { return {}; }
    std::u16string GetTmcFolder() const override { return {}; }
    std::u16string GetIniFile() const override { return m_ini; }
    std::u16string GetSoundsFolder() override { return {}; }
    LPCWSTR GetRootText() const override { return nullptr; }
    bool IsDataFolderValid() const override { return true; }
    std::vector<std::u16string> given;

private:
    std::u16string m_ini;
    std::u16string m_folder;
};

// Counts the configuration's change events.
class ChangeCounter {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnChanged() { ++count; }
    int count = 0;

private:
    OwnerHandlerList m_handlers;
};

// A database folder with its three parts and a network file carrying the extent lines given.
void MakeDatabase(const TempDeviceRoot& root, const std::u16string& folder,
                  const std::string& extentLines) {
    ASSERT_TRUE(root.MakeFolder(folder + u"\\db"));
    ASSERT_TRUE(root.MakeFolder(folder + u"\\maps"));
    ASSERT_TRUE(root.WriteFile(folder + u"\\kwa\\net.rd", "[Map 0]\r\n" + extentLines));
    ASSERT_TRUE(root.WriteFile(folder + u"\\maps\\map.lvl", "x"));
}

void WriteSettings(const TempDeviceRoot& root, const std::u16string& path,
                   const std::string& text) {
    ASSERT_TRUE(root.WriteFile(path, text));
}

std::vector<std::u16string> PathsOf(ServerConfig& config) {
    DatabaseListPtr list;
    config.GetDatabases(list);
    std::vector<std::u16string> paths;
    if (list) {
        for (const DatabaseEntryPtr& entry : *list) {
            paths.push_back(entry->GetPath());
        }
    }
    return paths;
}

TEST(ServerConfig, FindsDatabasesDepthFirstWithTheirExtents) {
    TempDeviceRoot root;
    MakeDatabase(root, u"\\Data\\A", "x1=9.5\r\ny1=47.0F\r\nx2=10.25\r\ny2=oops\r\n");
    MakeDatabase(root, u"\\Data\\A\\Inner", "x1=1\r\n");
    MakeDatabase(root, u"\\Data\\B", "");
    WriteSettings(root, kSettings, "[Quarn]\r\nDB=\\Data\r\n");
    CritSect lock;
    ServerConfig config(nullptr, lock);
    std::u16string path;
    config.GetNetworkFile(path);
    EXPECT_EQ(path, u"\\Data\\A/kwa\\net.rd");
    // Walk order: the folders of a folder before what lies inside them.
    const std::vector<std::u16string> expected = {u"\\Data\\A", u"\\Data\\B", u"\\Data\\A\\Inner"};
    EXPECT_EQ(PathsOf(config), expected);
    DatabaseListPtr list;
    config.GetDatabases(list);
    ASSERT_TRUE(list && list->size() == 3);
    struct Case {
        std::size_t entry;
        std::array<float, 4> extent;
        bool isSelected;
    };
    const Case cases[] = {
        {0, {9.5F, 47.0F, 10.25F, 0.0F}, true},
        {1, {0.0F, 0.0F, 0.0F, 0.0F}, false},
        {2, {1.0F, 0.0F, 0.0F, 0.0F}, false},
    };
    for (const Case& c : cases) {
        const float* extent = (*list)[c.entry]->GetExtent();
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(extent[i], c.extent[static_cast<std::size_t>(i)]) << c.entry << i;
        }
        EXPECT_EQ((*list)[c.entry]->IsSelected(), c.isSelected) << c.entry;
    }
    EXPECT_EQ(IniProfile::GetString(u"Properties", ServerConfig::kLastDatabaseKey, kSettings, u""),
              u"\\Data\\A");
}

TEST(ServerConfig, LastUsedMatchesWithoutCaseButSelectionIsExact) {
    TempDeviceRoot root;
    MakeDatabase(root, u"\\Data\\A", "");
    MakeDatabase(root, u"\\Data\\B", "");
    WriteSettings(root, kSettings,
                  "[Quarn]\r\nDB=\\Data\r\n[Properties]\r\nLast used database directory="
                  "\\DATA\\b\r\n");
    CritSect lock;
    auto location = six::RefCntPtr<DataLocation>(new FakeLocation(kSettings, u""));
    ServerConfig config(location, lock);
    ChangeCounter counter;
    config.changed.ConnectUnlocked(&counter, &ChangeCounter::OnChanged);
    std::u16string tmc;
    config.GetTmcFolder(tmc);
    EXPECT_EQ(tmc, u"\\Data\\B/tmc");
    struct Case {
        std::u16string folder;
        bool result;
        std::u16string current;
        int changes;
    };
    const Case cases[] = {
        {u"\\Data\\B", false, u"\\Data\\B", 0}, // already current
        {u"\\data\\a", false, u"\\Data\\B", 0}, // other letter case
        {u"\\Data\\C", false, u"\\Data\\B", 0}, // no such database
        {u"\\Data\\A", true, u"\\Data\\A", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(config.SelectDatabase(c.folder), c.result);
        EXPECT_EQ(config.GetDatabaseDir(), c.current);
        EXPECT_EQ(counter.count, c.changes);
    }
    EXPECT_EQ(IniProfile::GetString(u"Properties", ServerConfig::kLastDatabaseKey, kSettings, u""),
              u"\\Data\\A");
    // The data location had no folder: it is not given one.
    EXPECT_TRUE(static_cast<FakeLocation*>(location.Get())->given.empty());
    // An entry selects through the server's lock; once the configuration is gone, nothing.
    DatabaseListPtr list;
    config.GetDatabases(list);
    ASSERT_TRUE(list && list->size() == 2);
    EXPECT_TRUE((*list)[1]->Select());
    EXPECT_TRUE((*list)[1]->IsSelected());
    EXPECT_FALSE((*list)[0]->IsSelected());
    EXPECT_EQ(counter.count, 2);
}

TEST(ServerConfig, EntriesOutlivingTheConfigurationSelectNothing) {
    TempDeviceRoot root;
    MakeDatabase(root, u"\\Data\\A", "");
    MakeDatabase(root, u"\\Data\\B", "");
    WriteSettings(root, kSettings, "[Quarn]\r\nDB=\\Data\r\n");
    CritSect lock;
    DatabaseListPtr list;
    {
        ServerConfig config(nullptr, lock);
        std::u16string path;
        config.GetMapSetFile(path);
        EXPECT_EQ(path, u"\\Data\\A/maps\\map.lvl");
        config.GetDatabases(list);
    }
    ASSERT_TRUE(list && list->size() == 2);
    EXPECT_FALSE((*list)[1]->Select());
    EXPECT_FALSE((*list)[0]->IsSelected());
}

TEST(ServerConfig, DataFolderPathsDropOneTrailingSeparator) {
    TempDeviceRoot root;
    MakeDatabase(root, u"\\Data\\A", "");
    ASSERT_TRUE(root.MakeFolder(u"\\Empty"));
    struct Case {
        std::u16string dataFolder;
        std::u16string db;
        std::u16string tmc;
        std::u16string lastUsed;
        std::size_t databases;
    };
    const Case cases[] = {
        {u"\\Data\\A\\", u"\\Data\\A/db", u"\\Data\\A/tmc", u"\\Data\\A", 1},
        {u"\\Data\\A/", u"\\Data\\A/db", u"\\Data\\A/tmc", u"\\Data\\A", 1},
        {u"\\Empty\\", u"\\Empty/db", u"\\Empty/tmc", u"\\Empty\\", 0},
        {u"\\Empty/", u"\\Empty/db", u"\\Empty/tmc", u"\\Empty/", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.dataFolder.begin(), c.dataFolder.end()));
        WriteSettings(root, kSettings, "[Properties]\r\nLanguageNative=Deutsch\r\n");
        CritSect lock;
        ServerConfig config(six::RefCntPtr<DataLocation>(new FakeLocation(kSettings, c.dataFolder)),
                            lock);
        std::u16string db;
        std::u16string language;
        std::u16string tmc;
        config.GetDatasetFolders(db, language);
        config.GetTmcFolder(tmc);
        EXPECT_EQ(db, c.db);
        EXPECT_EQ(tmc, c.tmc);
        EXPECT_EQ(language, u"Deutsch");
        EXPECT_EQ(PathsOf(config).size(), c.databases);
        EXPECT_EQ(
            IniProfile::GetString(u"Properties", ServerConfig::kLastDatabaseKey, kSettings, u""),
            c.lastUsed);
    }
}

TEST(ServerConfig, SettingsFileComesFromLocationRegistryOrDefault) {
    const std::string terminated = RegistryStoreWriter()
                                       .Key(ServerConfig::kRegistryKey)
                                       .String(ServerConfig::kRegistryValue, u"\\Cfg\\Set.ini")
                                       .Build();
    struct Case {
        const char* name;
        std::string store; // empty: none
        std::u16string locationIni;
        std::u16string expected;
        std::int32_t language;
    };
    const Case cases[] = {
        {"no store", "", u"", kSettings, 4},
        {"registered", terminated, u"", u"\\Cfg\\Set.ini", 3},
        {"location wins", terminated, u"\\Other.ini", u"\\Other.ini", 1},
        {"not a text",
         RegistryStoreWriter()
             .Key(ServerConfig::kRegistryKey)
             .Dword(ServerConfig::kRegistryValue, 7)
             .Build(),
         u"", kSettings, 4},
        {"no terminator",
         RegistryStoreWriter()
             .Key(ServerConfig::kRegistryKey)
             .String(ServerConfig::kRegistryValue, u"\\Cfg\\Set.ini", false)
             .Build(),
         u"", kSettings, 4},
        {"empty text",
         RegistryStoreWriter()
             .Key(ServerConfig::kRegistryKey)
             .String(ServerConfig::kRegistryValue, u"")
             .Build(),
         u"", kSettings, 4},
        {"cut store", terminated.substr(0, terminated.size() - 3), u"", kSettings, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDeviceRoot root;
        if (!c.store.empty()) {
            ASSERT_TRUE(root.WriteFile(platform::kRegistryStorePath, c.store));
        }
        WriteSettings(root, kSettings, "[Properties]\r\nLanguage=4\r\n");
        WriteSettings(root, u"\\Cfg\\Set.ini", "[Properties]\r\nLanguage=3\r\n");
        WriteSettings(root, u"\\Other.ini", "[Properties]\r\nLanguage=1\r\n");
        CritSect lock;
        six::RefCntPtr<DataLocation> location;
        if (!c.locationIni.empty()) {
            location = six::RefCntPtr<DataLocation>(new FakeLocation(c.locationIni, u""));
        }
        ServerConfig config(location, lock);
        EXPECT_EQ(config.GetLanguage(), c.locationIni.empty() ? 2 : c.language);
        EXPECT_EQ(config.GetSettingsFile(), c.expected);
        EXPECT_EQ(config.GetLanguage(), c.language);
        EXPECT_EQ(config.GetConfigFilesDir(), u"\\");
    }
}

TEST(ServerConfig, MissingRegistryKeyIsCreated) {
    TempDeviceRoot root;
    EXPECT_EQ(ServerConfig::ReadRegisteredSettingsFile(), kSettings);
    const auto store = root.ReadFile(platform::kRegistryStorePath);
    ASSERT_TRUE(store.has_value());
    EXPECT_NE(store->find("[HKEY_LOCAL_MACHINE\\Software\\Apps\\ZavurarodoVoraro]"),
              std::string::npos);
}

TEST(ServerConfig, DataLocationFolderWinsAndFollowsTheSelection) {
    TempDeviceRoot root;
    MakeDatabase(root, u"\\Mine\\A", "");
    MakeDatabase(root, u"\\Mine\\B", "");
    MakeDatabase(root, u"\\Theirs", "");
    WriteSettings(root, u"\\Loc.ini",
                  "[Quarn]\r\nDB=\\Theirs\r\n[Properties]\r\nConfigFilesDir=\\Cf\r\n");
    CritSect lock;
    auto location = six::RefCntPtr<DataLocation>(new FakeLocation(u"\\Loc.ini", u"\\Mine"));
    ServerConfig config(location, lock);
    std::u16string tmc;
    config.GetTmcFolder(tmc); // loads the databases
    EXPECT_EQ(tmc, u"\\Mine\\A/tmc");
    EXPECT_EQ(PathsOf(config), (std::vector<std::u16string>{u"\\Mine\\A", u"\\Mine\\B"}));
    EXPECT_EQ(config.GetConfigFilesDir(), u"\\Cf");
    EXPECT_TRUE(config.SelectDatabase(u"\\Mine\\B"));
    EXPECT_EQ(static_cast<FakeLocation*>(location.Get())->given,
              std::vector<std::u16string>{u"\\Mine\\B"});
}

} // namespace
