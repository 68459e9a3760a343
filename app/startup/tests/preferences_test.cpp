#include "app/startup/preferences.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/tempdir.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string PreferencesIni(const std::string& keys) {
    return "[Preferences]\r\n" + keys;
}

// Records what ApplyPreferences asks of the main window.
class RecordingPreferencesTarget : public PreferencesTarget {
public:
    void SetPreferredValues(INT comPort, INT volume, bool isTmcReceiverWanted) override {
        calls.push_back("values " + std::to_string(comPort) + " " + std::to_string(volume) + " " +
                        std::to_string(isTmcReceiverWanted ? 1 : 0));
    }
    bool StartReceiverLocked(bool simulation) override {
        calls.push_back(simulation ? "start simulation" : "start");
        return startSucceeds;
    }
    void CloseReceiverObject() override { calls.push_back("close"); }
    bool HasGpsReceiver() const override { return false; }

    bool startSucceeds = true;
    std::vector<std::string> calls;
};

class PreferencesTest : public testing::Test {
protected:
    void TearDown() override {
        platform::OverrideMemoryStatus(std::nullopt);
        TmcMonitor::Instance().SetReceiverState(1);
        TmcMonitor::Instance().SetReceiverFlag(1);
    }
    void WritePk(const std::string& text) {
        ASSERT_TRUE(root_.WriteFile(AppPaths::GetSettingsFilePath(), text));
    }
    static void FreeMemory(DWORD physical, DWORD virtualSpace) {
        MEMORYSTATUS status{};
        status.dwAvailPhys = physical;
        status.dwTotalPhys = physical;
        status.dwAvailVirtual = virtualSpace;
        status.dwTotalVirtual = virtualSpace;
        platform::OverrideMemoryStatus(status);
    }

    testdata::TempDeviceRoot root_;
};

TEST_F(PreferencesTest, LoadsDefaultsForMissingFileKeysAndNonNumericValues) {
    PreferencesRecord expected; // the defaults
    EXPECT_EQ(LoadPreferences(), expected);
    const PreferencesRecord defaults = LoadPreferences();
    const std::vector<int> flags = {defaults.poiInNavigation, defaults.poiInMapModes,
                                    defaults.arrowMode,       defaults.alwaysNorth,
                                    defaults.showLastMap,     defaults.streetDisplay,
                                    defaults.tmcReceiver,     defaults.nav,
                                    defaults.moveMap,         defaults.kilometres,
                                    defaults.twelveHourClock};
    EXPECT_EQ(flags, (std::vector<int>{1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(defaults.comPort, 1);
    EXPECT_EQ(defaults.volume, -1);

    WritePk(PreferencesIni("COMPORT=abc\r\nVolValue=\r\nShowLastMap=x\r\nArrowMode=5\r\n"));
    const PreferencesRecord loaded = LoadPreferences();
    EXPECT_EQ(loaded.comPort, 1);
    EXPECT_EQ(loaded.volume, -1);
    EXPECT_EQ(loaded.showLastMap, 1);
    EXPECT_EQ(loaded.arrowMode, 1);
}

// Each key, set alone away from its default, reaches its own field and no other.
TEST_F(PreferencesTest, EachKeyLoadsIntoItsOwnField) {
    const struct {
        std::string line;
        void (*set)(PreferencesRecord&);
    } cases[] = {
        {"ArrowMode=1", [](PreferencesRecord& r) { r.arrowMode = 1; }},
        {"ShowLastMap=0", [](PreferencesRecord& r) { r.showLastMap = 0; }},
        {"ShowPoiInMapMode=0", [](PreferencesRecord& r) { r.poiInMapModes = 0; }},
        {"ShowPoiInNavigMode=0", [](PreferencesRecord& r) { r.poiInNavigation = 0; }},
        {"AlwaysNorth=1", [](PreferencesRecord& r) { r.alwaysNorth = 1; }},
        {"StreetDisp=1", [](PreferencesRecord& r) { r.streetDisplay = 1; }},
        {"MoveMap=1", [](PreferencesRecord& r) { r.moveMap = 1; }},
        {"Nav=1", [](PreferencesRecord& r) { r.nav = 1; }},
        {"VolValue=40", [](PreferencesRecord& r) { r.volume = 40; }},
        {"TMCReceiver=0", [](PreferencesRecord& r) { r.tmcReceiver = 0; }},
        {"COMPORT=4", [](PreferencesRecord& r) { r.comPort = 4; }},
        {"DistanceUnitKilometres=0", [](PreferencesRecord& r) { r.kilometres = 0; }},
        {"TimeFormat12h=1", [](PreferencesRecord& r) { r.twelveHourClock = 1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        WritePk(PreferencesIni("Other=9\r\n" + c.line + "\r\n[Next]\r\nNav=1\r\n"));
        PreferencesRecord expected;
        c.set(expected);
        EXPECT_EQ(LoadPreferences(), expected);
    }
}

TEST_F(PreferencesTest, SavesThirteenKeysInLoadOrderAndNormalisesFlags) {
    WritePk(PreferencesIni("ArrowMode=5\r\nVolValue=40\r\nCOMPORT=3\r\n"));
    PreferencesRecord record = LoadPreferences();
    record.volumeFlag1 = 1;
    WritePk("[Zudav]\r\n"); // new keys go in the order they are written
    SavePreferences(record);
    const auto text = root_.ReadFile(AppPaths::GetSettingsFilePath());
    ASSERT_TRUE(text.has_value());
    const std::vector<std::string> order = {
        "ArrowMode=1",    "ShowLastMap=1", "ShowPoiInMapMode=1", "ShowPoiInNavigMode=1",
        "AlwaysNorth=0",  "StreetDisp=0",  "MoveMap=0",          "Nav=0",
        "VolValue=40",    "TMCReceiver=1", "COMPORT=3",          "DistanceUnitKilometres=1",
        "TimeFormat12h=0"};
    std::size_t last = 0;
    for (const std::string& line : order) {
        SCOPED_TRACE(line);
        const std::size_t at = text->find(line);
        ASSERT_NE(at, std::string::npos);
        EXPECT_GE(at, last);
        last = at;
    }
    EXPECT_EQ(text->find("Flag"), std::string::npos);
    PreferencesRecord reloaded = LoadPreferences();
    record.volumeFlag1 = 0;
    EXPECT_EQ(reloaded, record);
}

TEST_F(PreferencesTest, BudgetFollowsFreeMemoryShareAndBounds) {
    constexpr DWORD kMb = 1024 * 1024;
    const struct {
        const char* keys;
        DWORD physical;
        DWORD virtualSpace;
        DWORD expectedKb;
    } cases[] = {
        {"", 3 * kMb, 0x7FFE0000, 4096}, // 1536 raised to the minimum
        {"CacheMinSize=20000\r\nCacheMaxSize=16384\r\n", 3 * kMb, 0x7FFE0000, 20000},
        {"CacheMaxPercent=250\r\nCacheMaxSize=100000\r\n", 40 * kMb, 0x7FFE0000, 40960},
        {"CacheMaxPercent=100\r\nCacheMaxSize=100000\r\n", 40 * kMb, 20 * kMb, 20480},
        {"", 0x7FFFFFFF, 0x7FFE0000, 16384}, // 2 GB free: the maximum
        {"CacheMaxPercent=100\r\nCacheMaxSize=4000000\r\n", 0x7FFFFFFF, 0x7FFFFFFF, 2097151},
        {"CacheMaxPercent=x\r\nCacheMinSize=\r\n", 10 * kMb, 0x7FFE0000, 5120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        WritePk(PreferencesIni(c.keys));
        FreeMemory(c.physical, c.virtualSpace);
        EXPECT_EQ(ComputeCacheSizeKB(), c.expectedKb);
    }
}

TEST_F(PreferencesTest, ArenaSizeDoesNotWrap) {
    const struct {
        DWORD budgetKb;
        std::uint32_t bytes;
    } cases[] = {{4096, 4596u * 1024},
                 {16384, 16884u * 1024},
                 {4193803, 4194303u * 1024},
                 {4193804, 0xFFFFFC00u},
                 {0xFFFFFFFFu, 0xFFFFFC00u}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budgetKb);
        EXPECT_EQ(ArenaBytesForBudget(c.budgetKb), c.bytes);
    }
}

TEST_F(PreferencesTest, LanguageIndexGivesDisplayCode) {
    const std::pair<int, int> cases[] = {{1, 1}, {2, 0}, {3, 3}, {4, 2},
                                         {5, 4}, {6, 5}, {0, 0}, {7, 0}};
    for (const auto& [index, code] : cases) {
        SCOPED_TRACE(index);
        EXPECT_EQ(DisplayLanguageCode(index), code);
    }
}

TEST_F(PreferencesTest, FlushEmptiesCacheButKeepsCapacity) {
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4u << 20));
    }
    constexpr DWORD kBlock = 1024;
    ASSERT_TRUE(root_.WriteFile(u"\\Db\\Blocks.bin", std::string(300 * kBlock, 'b')));
    auto facade = MapEngineFacade::Create(8192);
    ASSERT_TRUE(facade);
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
    ASSERT_TRUE(server);
    BlockCachePtr cache = facade->GetBlockCache();
    CachedFilePtr file = cache->GetPlainFile(u"\\Db\\Blocks.bin", FileCreation::OpenExisting,
                                             FileAccess::Read, FileShare::Read, kBlock);
    ASSERT_TRUE(file);
    std::vector<CachedBlockPtr> held;
    for (DWORD index = 0; index < 300; ++index) {
        CachedBlockPtr block = file->GetBlock(index);
        ASSERT_TRUE(block);
        if (index % 100 == 0)
            held.push_back(block);
    }
    const DWORD entry = file->GetEntrySize();
    ASSERT_GE(cache->GetLruList().GetUsedSize(), 300 * entry);

    FlushCache(server);
    EXPECT_EQ(cache->GetLruList().GetCapacity(), 8192u * 1024);
    EXPECT_LE(cache->GetLruList().GetUsedSize(), 64 * 1024 + held.size() * entry);
    held.clear();
    cache->RemoveFile(file);
    server = nullptr;
}

TEST_F(PreferencesTest, ApplyStartsReceiverOrFallsBackToSerialGps) {
    auto facade = MapEngineFacade::Create(1024);
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
    ASSERT_TRUE(server);
    const struct {
        const char* zudav;
        int tmcReceiver;
        bool startSucceeds;
        std::vector<std::string> calls;
        int state;
        int lostFlag;
    } cases[] = {
        {"Simulation=1", 1, false, {"values 4 30 1", "start simulation"}, 2, 0},
        {"Simulation=0", 1, true, {"values 4 30 1", "start"}, 1, 1},
        {"Simulation=0", 1, false, {"values 4 30 1", "start"}, 1, 1},
        {"", 0, true, {"values 4 30 0", "close"}, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zudav) + " " + std::to_string(c.tmcReceiver));
        WritePk(std::string("[Zudav]\r\n") + c.zudav + "\r\n");
        TmcMonitor::Instance().SetReceiverState(3);
        TmcMonitor::Instance().SetReceiverFlag(c.startSucceeds ? 1 : 5);
        if (c.startSucceeds && c.tmcReceiver == 1)
            TmcMonitor::Instance().SetReceiverState(1);
        RecordingPreferencesTarget target;
        target.startSucceeds = c.startSucceeds;
        PreferencesRecord record;
        record.comPort = 4;
        record.volume = 30;
        record.tmcReceiver = static_cast<BYTE>(c.tmcReceiver);
        ApplyPreferences(target, server, record);
        EXPECT_EQ(target.calls, c.calls);
        EXPECT_EQ(TmcMonitor::Instance().GetReceiverState(), c.state);
        EXPECT_EQ(TmcMonitor::Instance().GetReceiverFlag(), c.lostFlag);
    }
    RecordingPreferencesTarget withoutServer;
    ApplyPreferences(withoutServer, nullptr, PreferencesRecord{});
    EXPECT_EQ(withoutServer.calls, (std::vector<std::string>{"values 1 -1 1"}));
}

} // namespace
