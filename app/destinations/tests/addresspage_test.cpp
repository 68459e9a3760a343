#include "app/destinations/addresspage.h"
#include "app/tests/pagedevice.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/datafolderwriter.h"
#include "testdata/destinationwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/files/modules.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char16_t kTownSettings[] = u"\\Windows\\Quarn.ini";
constexpr char16_t kTownDatabase[] = u"\\Data\\Town";

// A small town "Karlsruhe" in one area of the country "Deutschland": its streets
// "Kaiserstrasse" (house numbers 1-21 and 2-20) and "Waldstrasse", its own point and a fuel
// station "Tankstelle" beside a third street; a server over it and the list page's device.
class TownListTest : public testing::Test {
protected:
    void SetUp() override {
        testdata::DataFolderDatabase database = testdata::GridTownDatabase(1);
        testdata::WorldMapSetOptions& map = database.mapSet;
        const GeoPoint station = database.world.PointAlong(4, 5, 0.5);
        m_stationPoint = {station.x, station.y + 0.0002f};
        const GeoPoint city = database.world.PointAlong(1, 4, 0.5);
        m_cityPoint = {city.x + 0.0001f, city.y};
        map.points.push_back({DegreesToMapPoint(m_stationPoint), maprecord::kFirstPoiType,
                              std::nullopt, "Tankstelle"});
        map.pointTreeAreas[1] = 0;
        m_kaiserPoint = database.world.PointAlong(0, 1, 0.5);
        m_waldPoint = database.world.PointAlong(3, 4, 0.5);
        testdata::DataFolderWriter writer(u"\\Data");
        writer.AddDatabase(std::move(database))
            .Setting("Properties", "Language", "0")
            .Setting("GPS", "AutoLog", "0");
        ASSERT_TRUE(writer.WriteTo(m_root, kTownSettings).has_value());

        platform::ResourceBundle bundle;
        bundle.strings = {
            {103, u"Recent"}, {320, u"Cancel"},
            {528, u"Delete"}, {1047, u"OK"},
            {1196, u"Point"}, {StoredDestinationList::kUnusableFileMessageId, u"Damaged: %s"}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
        PickedDestination::Instance().Clear();
        platform::ClearRecordedMessageBoxes();
    }
    void TearDown() override {
        m_server.Release();
        m_engine.Release();
        apptesting::RemovePageDevice(m_module);
    }

    [[nodiscard]] std::u16string Record(GeoPoint at, std::u16string place, std::u16string street,
                                        bool userDefined) const {
        return testdata::UddRecordText(
            {at.x, at.y, std::move(place), std::move(street), u"", u"", u"", u"", userDefined});
    }
    void PutRecent(const std::vector<std::u16string>& records) {
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                                     testdata::WriteListSection("Recent", records)));
    }
    std::unique_ptr<AddressPage> OpenPage() {
        auto page = std::make_unique<AddressPage>(m_server, u"Recent", 103, 420, nullptr);
        ShowPageWindow(page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        page->FillList();
        return page;
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    GeoPoint m_kaiserPoint{};
    GeoPoint m_waldPoint{};
    GeoPoint m_stationPoint{};
    GeoPoint m_cityPoint{};
};

TEST_F(TownListTest, ListsAndTakesBackEachKindOfEntry) {
    PutRecent({Record(m_kaiserPoint, u"Karlsruhe", u"Kaiserstrasse 12", false),
               Record(m_waldPoint, u"Karlsruhe", u"Waldstrasse", false),
               Record(m_stationPoint, u"Karlsruhe", u"Tankstelle", true),
               Record(m_waldPoint, u"Karlsruhe", u"", true)});
    auto listed = OpenPage();
    std::vector<std::u16string> shown;
    for (int i = 0; i < listed->GetListBox()->GetCount(); ++i) {
        shown.push_back(listed->GetListBox()->GetText(i));
    }
    EXPECT_EQ(shown, (std::vector<std::u16string>{u"Deutschland\nKarlsruhe\nKaiserstrasse 12",
                                                  u"Deutschland\nKarlsruhe\nWaldstrasse",
                                                  u"Deutschland\nKarlsruhe\nTankstelle\nPoint",
                                                  u"Deutschland\nKarlsruhe\n\nPoint"}));
    EXPECT_EQ(listed->GetLineCount(), 4);
    listed.reset();

    const struct {
        const char* name;
        int index;
        std::u16string street; // empty: none
        std::u16string houseNumber;
        std::optional<std::uint32_t> destinationKind;
        std::u16string nameText;
    } cases[] = {
        {"street and number: one shortening step", 0, u"Kaiserstrasse", u"12", std::nullopt, u""},
        {"street only", 1, u"Waldstrasse", u"", std::nullopt, u""},
        {"named point: element destination", 2, u"", u"", RoutePosition::kPointElement,
         u"Tankstelle"},
        {"nameless point: position destination", 3, u"", u"", RoutePosition::kNearestRoad, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PickedDestination::Instance().Clear();
        auto page = OpenPage();
        SendMessageW(page->GetListBox()->GetWindow(), LB_SETCURSEL, c.index, 0);
        SendMessageW(page->GetHwnd(), WM_COMMAND, AddressPage::kOkId, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(page->GetResultStreet() ? page->GetResultStreet()->GetName() : u"", c.street);
        if (page->GetResultStreet()) {
            // The writer's house numbers: 1-21 and 2-20 on Kaiserstrasse, none on Waldstrasse.
            EXPECT_EQ(page->GetResultStreet()->HasHouseNumber(HouseNumber(12, 0)),
                      c.street == u"Kaiserstrasse");
        }
        EXPECT_EQ(page->GetResultHouseNumber(), c.houseNumber);
        ASSERT_TRUE(page->GetResultCity());
        EXPECT_EQ(page->GetResultCity()->GetName(), u"Karlsruhe");
        ASSERT_TRUE(page->GetResultCountry());
        EXPECT_EQ(page->GetResultCountry()->GetName(), u"Deutschland");
        const PickedDestination& picked = PickedDestination::Instance();
        ASSERT_EQ(static_cast<bool>(page->GetResultDestination()), c.destinationKind.has_value());
        EXPECT_EQ(picked.pending, c.destinationKind ? 1 : 0);
        if (c.destinationKind) {
            EXPECT_EQ(page->GetResultDestination()->GetKind(), *c.destinationKind);
            EXPECT_EQ(picked.nameText, c.nameText);
            EXPECT_EQ(picked.placeName, u"Karlsruhe");
        }
    }
}

// The stored-list page, activated while the TMC message page is shown, activates that page again
// and leaves it in front.
TEST_F(TownListTest, ActivationLeavesTheShownTmcPageInFront) {
    const std::unique_ptr<AddressPage> page = OpenPage();
    for (const bool tmcPageShown : {true, false}) {
        SCOPED_TRACE(tmcPageShown);
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(page->GetHwnd(), tmcPageShown);
        EXPECT_EQ(seen.pageActivations, tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, tmcPageShown);
    }
}

TEST_F(TownListTest, MapSpecificListLiesWithTheSelectedDatabase) {
    EXPECT_EQ(GetMapSpecificListPath(CreateIOnboardServer(nullptr)), u"\\data.ini");
    const std::u16string path = GetMapSpecificListPath(m_server);
    EXPECT_EQ(path, std::u16string(kTownDatabase) + u"\\data.ini");
    const std::vector<std::u16string> three = {
        Record(m_kaiserPoint, u"Karlsruhe", u"Kaiserstrasse 12", false),
        Record(m_waldPoint, u"Karlsruhe", u"Waldstrasse", false),
        Record(m_stationPoint, u"Karlsruhe", u"Tankstelle", true)};
    const struct {
        int index;
        std::vector<std::u16string> left;
        int selected;
    } cases[] = {
        {0, {three[1], three[2]}, 0}, {1, {three[0], three[2]}, 1}, {2, {three[0], three[1]}, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        ASSERT_TRUE(m_root.WriteFile(path, testdata::WriteListSection("MapSpecific", three)));
        AddressPage page(m_server, u"MapSpecific", 525, 420, path.c_str());
        ShowPageWindow(page.GetPageHandle(), true);
        m_driver.RunUntilIdle();
        page.FillList();
        SendMessageW(page.GetListBox()->GetWindow(), LB_SETCURSEL, c.index, 0);
        SendMessageW(page.GetHwnd(), WM_COMMAND, AddressPage::kDeleteId, 0);
        EXPECT_EQ(page.GetListBox()->GetCurSel(), c.selected);
        EXPECT_EQ(m_root.ReadFile(path), testdata::WriteListSection("MapSpecific", c.left));
    }
}

} // namespace
