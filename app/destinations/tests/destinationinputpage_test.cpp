#include "app/destinations/destinationinputpage.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/datafolderwriter.h"
#include "testdata/destinationwriter.h"
#include "testdata/golden.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char16_t kInputSettings[] = u"\\Windows\\Quarn.ini";
constexpr char16_t kInputDatabase[] = u"\\Data\\Towns";
constexpr std::uint16_t kHomeCountry = 1;
constexpr std::uint16_t kOtherCountry = 2;
constexpr std::int32_t kInputSpacing = 400;
constexpr std::uint16_t kMainRoadType = 1030;
// Sixteen further cities starting with "Ka", all after "Karlsruhe" by name.
constexpr const char* kOtherTowns[] = {"Kasbach",    "Kasel",      "Kassel",     "Kastel",
                                       "Kastorf",    "Katlenburg", "Katzweiler", "Kaub",
                                       "Kaufbeuren", "Kaufungen",  "Kaulille",   "Kaulsdorf",
                                       "Kausen",     "Kayhude",    "Kayna",      "Kazmierz"};

std::u16string WindowText(HWND window) {
    char16_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

// "Karlsruhe" with its streets "Kaiserstrasse" (house numbers 1-21 and 2-20), "Waldstrasse"
// (none) and a hidden type-1010 street, sixteen more towns starting with "Ka" without streets, the
// countries "Welt" (0), "Deutschland" (1) and "Belgien" (2); a server over it and a navigation
// or tour input page over a recording mode.
class DestinationInputTest : public testing::Test {
protected:
    void SetUp() override {
        const MapPoint origin = DegreesToMapPoint(GeoPoint{8.40f, 49.00f});
        testdata::DataFolderDatabase database;
        database.folder = kInputDatabase;
        database.world = testdata::RoadWorld::Grid(3, 2, kInputSpacing, origin);
        testdata::WorldMapSetOptions& map = database.mapSet;
        const GeoPoint low = MapPointToDegrees({origin.x - 100, origin.y - 100});
        const GeoPoint high =
            MapPointToDegrees({origin.x + 2 * kInputSpacing + 100, origin.y + kInputSpacing + 100});
        // Karlsruhe, the city level, inside the region "Baden".
        map.treeAreas = {{"Baden", 1, -1, 0, {low.x, low.y, high.x, high.y}},
                         {"Karlsruhe", 2, 0, 0, {low.x, low.y, high.x, high.y}}};
        for (std::uint32_t link = 0; link < database.world.links.size(); ++link) {
            map.linkTreeAreas[link] = 1;
            map.countries[link] = kHomeCountry;
        }
        const std::pair<std::uint32_t, const char*> streets[] = {
            {0, "Kaiserstrasse"}, {5, "Waldstrasse"}, {6, "Hinterhof"}};
        for (const auto& [link, name] : streets) {
            map.names[link] = name;
            map.attributes[link] = testdata::DefaultLinkAttributes(database.world.links[link]) |
                                   maprecord::kRawSearchable;
        }
        map.typeCodes[6] = static_cast<std::uint16_t>(kHiddenStreetType);
        map.typeCodes[5] = kMainRoadType;
        map.houseNumbers[0] = {1, 21, 2, 20};
        const GeoPoint city = database.world.PointAlong(1, 4, 0.5);
        map.points = {{DegreesToMapPoint(city), maprecord::kCityType, std::nullopt, "Karlsruhe"}};
        map.pointTreeAreas = {{0, 1}};
        map.pointsTakeAreaFromCookie = true;
        map.cities = {{"Karlsruhe", 0, 1, kHomeCountry}};
        for (std::size_t i = 0; i < std::size(kOtherTowns); ++i) {
            // Outside Karlsruhe's area.
            const MapPoint at{origin.x + static_cast<std::int32_t>(i) * 30, origin.y + 5000};
            map.points.push_back({at, maprecord::kCityType, std::nullopt, kOtherTowns[i]});
            map.cities.push_back(
                {kOtherTowns[i], map.points.size() - 1, std::nullopt, kHomeCountry});
        }
        map.countryNames = {
            {0, 0, "Welt"}, {kHomeCountry, 0, "Deutschland"}, {kOtherCountry, 0, "Belgien"}};
        m_kaiserPoint = database.world.PointAlong(0, 1, 0.5);
        m_waldPoint = database.world.PointAlong(3, 4, 0.5);
        testdata::DataFolderWriter writer(u"\\Data");
        writer.AddDatabase(std::move(database))
            .Setting("Properties", "Language", "0")
            .Setting("GPS", "AutoLog", "0");
        ASSERT_TRUE(writer.WriteTo(m_root, kInputSettings).has_value());

        platform::ResourceBundle bundle;
        bundle.strings = {{501, u"Finish"},
                          {586, u"City"},
                          {993, u"All types"},
                          {1196, u"Point"},
                          {1214, u"Country"}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
        PickedDestination::Instance().Clear();
    }
    void TearDown() override {
        m_page.reset();
        m_server.Release();
        m_engine.Release();
        PickedDestination::Instance().Clear();
        apptesting::RemovePageDevice(m_module);
    }

    template <typename Page> void Open() {
        m_page = std::make_unique<Page>(m_server, &m_selection, &m_mode, Page::kPageId);
        ShowPageWindow(m_page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        m_mode.ClearCalls();
    }
    HWND Item(UINT id) const { return m_page->Item(id); }
    void Notify(UINT id, WORD code) {
        SendMessageW(m_page->GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code),
                     reinterpret_cast<LPARAM>(Item(id)));
    }
    void TypeInto(UINT id, const std::u16string& text) {
        SetWindowTextW(Item(id), text.c_str());
        Notify(id, 5);
    }
    void Choose(UINT id, int index) {
        SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        Notify(id, 9);
    }
    bool Enabled(UINT id) const { return m_page->IsControlEnabled(id); }
    std::u16string CityName() const { return m_selection.city ? m_selection.city->GetName() : u""; }
    std::u16string StreetName() const {
        return m_selection.street ? m_selection.street->GetName() : u"";
    }
    // Karlsruhe chosen by typing and closing the box up, then the street at index.
    void ChooseStreet(const std::u16string& name) {
        TypeInto(DestinationInputPage::kCityBoxId, u"Karl");
        Notify(DestinationInputPage::kCityBoxId, 10);
        const std::vector<std::u16string> streets =
            apptesting::ComboBoxTexts(Item(DestinationInputPage::kStreetBoxId));
        const auto found =
            std::find_if(streets.begin(), streets.end(),
                         [&](const std::u16string& s) { return s.rfind(name, 0) == 0; });
        ASSERT_NE(found, streets.end()) << "no street " << std::string(name.begin(), name.end());
        Choose(DestinationInputPage::kStreetBoxId, static_cast<int>(found - streets.begin()));
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    DestinationDescription m_selection;
    RecordingMode m_mode;
    std::unique_ptr<DestinationInputPage> m_page;
    GeoPoint m_kaiserPoint{};
    GeoPoint m_waldPoint{};
};

// The input page, activated while the TMC message page is shown, activates that page again and
// leaves it in front.
TEST_F(DestinationInputTest, ActivationLeavesTheShownTmcPageInFront) {
    Open<NavigMainPage>();
    for (const bool tmcPageShown : {true, false}) {
        SCOPED_TRACE(tmcPageShown);
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(m_page->GetHwnd(), tmcPageShown);
        EXPECT_EQ(seen.pageActivations, tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, tmcPageShown);
    }
}

TEST_F(DestinationInputTest, TypedCitiesAreProposedEightAtATimeAndCloseUpTakesTheFirst) {
    Open<NavigMainPage>();
    HWND cities = Item(DestinationInputPage::kCityBoxId);
    TypeInto(DestinationInputPage::kCityBoxId, u"Ka");
    const std::vector<std::u16string> first = apptesting::ComboBoxTexts(cities);
    ASSERT_EQ(first.size(), 8u);
    EXPECT_EQ(first.front(), u"Karlsruhe");
    SendMessageW(cities, CB_SETCURSEL, 7, 0);
    Notify(DestinationInputPage::kCityBoxId, 1);
    EXPECT_EQ(apptesting::ComboBoxTexts(cities).size(), 16u);
    EXPECT_EQ(SendMessageW(cities, CB_GETCURSEL, 0, 0), 7);

    // Closing the box up without a choice takes the first city and offers its streets, without
    // the hidden one.
    TypeInto(DestinationInputPage::kCityBoxId, u"Kar");
    Notify(DestinationInputPage::kCityBoxId, 10);
    EXPECT_EQ(CityName(), u"Karlsruhe");
    const std::vector<std::u16string> streets =
        apptesting::ComboBoxTexts(Item(DestinationInputPage::kStreetBoxId));
    EXPECT_FALSE(streets.empty());
    EXPECT_EQ(std::count(streets.begin(), streets.end(), u"Hinterhof"), 0);
    EXPECT_TRUE(IsWindowEnabled(Item(DestinationInputPage::kStreetBoxId)));
    EXPECT_TRUE(Enabled(NavigMainPage::kFinishId));
    EXPECT_TRUE(Enabled(DestinationInputPage::kSaveAsId));
}

TEST_F(DestinationInputTest, StreetsWithHouseNumbersTakeANumberAndFinishGoesToTheMode) {
    struct Row {
        std::u16string street;
        bool numbered;
    };
    const Row rows[] = {{u"Kaiserstrasse", true}, {u"Waldstrasse", false}};
    for (const Row& row : rows) {
        Open<NavigMainPage>();
        ChooseStreet(row.street);
        EXPECT_EQ(StreetName(), row.street);
        HWND houseNumber = Item(DestinationInputPage::kHouseNumberId);
        EXPECT_EQ(IsWindowEnabled(houseNumber) != FALSE, row.numbered);
        EXPECT_EQ(GetFocus() == houseNumber, row.numbered);
        if (row.numbered) {
            SetWindowTextW(houseNumber, u"12");
            Notify(DestinationInputPage::kHouseNumberId, 0x300);
            EXPECT_EQ(m_selection.houseNumber, u"12");
        }
        Notify(NavigMainPage::kFinishId, 0);
        EXPECT_EQ(m_mode.Calls(), (std::vector<std::string>{"OnPageCommand(2)"}));
        EXPECT_EQ(m_mode.LastCaller(), m_page->GetHwnd());
        m_mode.ClearCalls();
    }
}

TEST_F(DestinationInputTest, LongHouseNumbersAreCutAt31Characters) {
    Open<NavigMainPage>();
    ChooseStreet(u"Kaiserstrasse");
    const std::u16string typed(40, u'7');
    SetWindowTextW(Item(DestinationInputPage::kHouseNumberId), typed.c_str());
    Notify(DestinationInputPage::kHouseNumberId, 0x300);
    EXPECT_EQ(m_selection.houseNumber, typed.substr(0, 31));
}

TEST_F(DestinationInputTest, SaveAsAddsToPersonalAndShowsTheSavedBox) {
    m_mode.script.hasPersonal = false;
    Open<NavigMainPage>();
    EXPECT_FALSE(Enabled(DestinationInputPage::kPersonalId));
    ChooseStreet(u"Waldstrasse");
    bool sawDialog = false;
    m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
        // The page waits, disabled, for the modal box.
        HWND dialog = FindWindowW(u"Dialog", nullptr);
        const DialogBase* box = dialog != nullptr ? DialogBase::FromWindow(dialog) : nullptr;
        sawDialog = box != nullptr && box->GetSection() == u"DestSavedMsgBox" &&
                    !IsWindowEnabled(m_page->GetHwnd());
        PostMessageW(dialog, WM_COMMAND, 1, 0);
    })});
    Notify(DestinationInputPage::kSaveAsId, 0);
    EXPECT_TRUE(sawDialog);
    // The page, active again, asks for its lists anew.
    ASSERT_FALSE(m_mode.Calls().empty());
    EXPECT_EQ(m_mode.Calls().front(), "AddDestinationToList(Personal, 30)");
    EXPECT_TRUE(Enabled(DestinationInputPage::kPersonalId));
}

TEST_F(DestinationInputTest, CountriesStartWithNumberZeroAndANewCountryEmptiesTheSelection) {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    struct Row {
        int stored;
        int selected; // index in the box
        int written;
    };
    // A stale stored country gives way to the first one.
    const Row rows[] = {
        {kOtherCountry, 1, kOtherCountry}, {kHomeCountry, 2, kHomeCountry}, {77, 0, 0}};
    for (const Row& row : rows) {
        ASSERT_NE(
            IniProfile::WriteInt(u"Preferences", u"LastKnownCountry", row.stored, settings.c_str()),
            0);
        Open<NavigMainPage>();
        HWND countries = Item(DestinationInputPage::kCountryBoxId);
        EXPECT_EQ(apptesting::ComboBoxTexts(countries),
                  (std::vector<std::u16string>{u"Welt", u"Belgien", u"Deutschland"}));
        EXPECT_EQ(SendMessageW(countries, CB_GETCURSEL, 0, 0), row.selected) << row.stored;
        EXPECT_EQ(IniProfile::GetInt(u"Preferences", u"LastKnownCountry", settings.c_str(), -1),
                  row.written);
        ASSERT_TRUE(m_selection.country);
        EXPECT_EQ(m_selection.country->GetNumber(), row.written);
    }
    ASSERT_TRUE(m_selection.country);

    ChooseStreet(u"Kaiserstrasse");
    SetWindowTextW(Item(DestinationInputPage::kHouseNumberId), u"12");
    Notify(DestinationInputPage::kHouseNumberId, 0x300);
    Choose(DestinationInputPage::kCountryBoxId, 2);
    EXPECT_EQ(m_selection.country->GetNumber(), kHomeCountry);
    EXPECT_EQ(IniProfile::GetInt(u"Preferences", u"LastKnownCountry", settings.c_str(), -1),
              kHomeCountry);
    EXPECT_FALSE(m_selection.city);
    EXPECT_FALSE(m_selection.street);
    EXPECT_EQ(WindowText(Item(DestinationInputPage::kCityBoxId)), u"");
    EXPECT_EQ(WindowText(Item(DestinationInputPage::kHouseNumberId)), u"");
    EXPECT_TRUE(apptesting::ComboBoxTexts(Item(DestinationInputPage::kStreetBoxId)).empty());
    EXPECT_FALSE(Enabled(NavigMainPage::kFinishId));
}

TEST_F(DestinationInputTest, CurrentPositionFollowsTheFixClassOnTheTourPage) {
    struct Row {
        int fixClass;
        bool enabled;
    };
    const Row rows[] = {{0, false}, {1, false}, {2, true}, {1, false}};
    Open<TourMainPage>();
    // Connected as the modes connect it, to the GPS state monitor's event.
    EventSource<const int*>& event = GpsStateMonitor::Instance().GetEvent();
    event.Connect(m_page.get(), &DestinationInputPage::OnFixClass);
    for (const Row& row : rows) {
        event.Emit(&row.fixClass);
        EXPECT_EQ(Enabled(TourMainPage::kCurrentPosId), row.enabled) << row.fixClass;
    }
    event.Disconnect(m_page.get());
}

TEST_F(DestinationInputTest, FinishFollowsTheSelectionWhateverTheFixClassOnTheNavigationPage) {
    struct Row {
        bool withCity;
        int fixClass;
        bool finish;
    };
    const Row rows[] = {{false, 2, false}, {false, 0, false}, {true, 2, true}, {true, 1, true}};
    for (const Row& row : rows) {
        m_selection = DestinationDescription{};
        Open<NavigMainPage>();
        if (row.withCity) {
            TypeInto(DestinationInputPage::kCityBoxId, u"Karl");
            Notify(DestinationInputPage::kCityBoxId, 10);
        }
        m_page->OnFixClass(&row.fixClass);
        EXPECT_EQ(Enabled(NavigMainPage::kFinishId), row.finish) << row.fixClass;
    }
}

TEST_F(DestinationInputTest, APendingPointShowsItsLabelInTheDisabledStreetBox) {
    Open<NavigMainPage>();
    TypeInto(DestinationInputPage::kCityBoxId, u"Karl");
    Notify(DestinationInputPage::kCityBoxId, 10);
    ASSERT_TRUE(m_selection.city);
    PickedDestination::Instance().pending = 1;
    m_page->ShowSelection();
    HWND streets = Item(DestinationInputPage::kStreetBoxId);
    EXPECT_EQ(WindowText(streets), u"Point");
    EXPECT_FALSE(IsWindowEnabled(streets));
    EXPECT_FALSE(IsWindowEnabled(Item(DestinationInputPage::kHouseNumberId)));
    EXPECT_TRUE(Enabled(NavigMainPage::kFinishId));
}

TEST_F(DestinationInputTest, RecentTakesAnEntryThatTheControlsShow) {
    const std::u16string record = testdata::UddRecordText(
        {m_waldPoint.x, m_waldPoint.y, u"Karlsruhe", u"Waldstrasse", u"", u"", u"", u"", false});
    ASSERT_TRUE(m_root.WriteFile(AppPaths::GetSettingsFilePath(),
                                 testdata::WriteListSection("Recent", {record})));
    m_mode.script.hasRecent = true;
    Open<NavigMainPage>();
    EXPECT_TRUE(Enabled(DestinationInputPage::kRecentId));
    m_driver.PlayWhenIdle({platform::ScriptStep::Run(
        [] { SendMessageW(GetActiveWindow(), WM_COMMAND, AddressPage::kOkId, 0); })});
    Notify(DestinationInputPage::kRecentId, 0);
    EXPECT_FALSE(m_driver.RanOutOfScript());
    EXPECT_EQ(CityName(), u"Karlsruhe");
    EXPECT_EQ(StreetName(), u"Waldstrasse");
    EXPECT_EQ(apptesting::ComboBoxTexts(Item(DestinationInputPage::kCityBoxId)),
              (std::vector<std::u16string>{u"Karlsruhe"}));
    EXPECT_EQ(apptesting::ComboBoxTexts(Item(DestinationInputPage::kStreetBoxId)),
              (std::vector<std::u16string>{u"Waldstrasse"}));
    // A street without house numbers leaves the edit empty and disabled.
    EXPECT_EQ(WindowText(Item(DestinationInputPage::kHouseNumberId)), u"");
    EXPECT_FALSE(IsWindowEnabled(Item(DestinationInputPage::kHouseNumberId)));
    EXPECT_TRUE(Enabled(NavigMainPage::kFinishId));
    EXPECT_TRUE(Enabled(DestinationInputPage::kSaveAsId));
}

TEST_F(DestinationInputTest, ACategoryNarrowsTheStreetsAndAnUnreadableFileLeavesAllTypes) {
    struct Row {
        std::string file;
        std::vector<std::u16string> categories;
        int chosen;
        std::vector<std::u16string> streets; // leading names of the proposals, sorted
    };
    const std::string categories =
        testdata::WritePoiCategoryFile({{"Alles", -1, -1}, {"Hauptstrassen", 1030, 1030}});
    const std::vector<std::u16string> everything{u"Kaiserstrasse", u"Karlsruhe", u"Waldstrasse"};
    const Row rows[] = {
        {categories, {u"Alles", u"Hauptstrassen"}, 1, {u"Waldstrasse"}},
        {categories, {u"Alles", u"Hauptstrassen"}, 0, everything},
        {"", {u"All types"}, 0, everything},
        {"garbage", {u"All types"}, 0, everything},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file.size());
        ASSERT_TRUE(m_root.WriteFile(u"\\Nav\\PoiGer.bin", row.file));
        Open<NavigMainPage>();
        EXPECT_EQ(apptesting::ComboBoxTexts(Item(DestinationInputPage::kCategoryBoxId)),
                  row.categories);
        TypeInto(DestinationInputPage::kCityBoxId, u"Karl");
        Notify(DestinationInputPage::kCityBoxId, 10);
        Choose(DestinationInputPage::kCategoryBoxId, row.chosen);
        std::vector<std::u16string> names;
        for (const std::u16string& text :
             apptesting::ComboBoxTexts(Item(DestinationInputPage::kStreetBoxId))) {
            names.push_back(text.substr(0, text.find(u' ')));
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, row.streets);
        EXPECT_EQ(CityName(), u"Karlsruhe");
    }
}

TEST_F(DestinationInputTest, CurrentPositionTakesCityStreetAndFirstHouseNumber) {
    auto engine = m_server->GetRetrievalEngine();
    const AddressCursorPtr cities = engine->FindCities(u"Karlsruhe", 0);
    ASSERT_TRUE(cities && cities->IsValid());
    const AddressResultPtr city =
        engine->GetAddressOfElement(cities->GetCurrent()->GetElementId(), 0);
    ASSERT_TRUE(city);
    std::vector<std::uint32_t> ids;
    for (GeoMoleculeCursorPtr streets = engine->FindInArea(city->GetAreaId(), u"");
         streets && streets->IsValid() && ids.empty(); streets->Next()) {
        if (streets->GetCurrent()->GetName() == u"Kaiserstrasse") {
            ids = streets->GetCurrent()->GetElementIds();
        }
    }
    ASSERT_FALSE(ids.empty());
    MatchedPosition position;
    position.street = static_cast<std::int32_t>(ids.front());
    position.matched = m_kaiserPoint;
    m_mode.script.position = &position;
    struct Row {
        bool matched;
        std::u16string city, street, houseNumber;
    };
    const Row rows[] = {{true, u"Karlsruhe", u"Kaiserstrasse", u"1"}, {false, u"", u"", u"99"}};
    for (const Row& row : rows) {
        position.street = row.matched ? static_cast<std::int32_t>(ids.front()) : -1;
        Open<TourMainPage>();
        m_selection.houseNumber = u"99";
        Notify(TourMainPage::kCurrentPosId, 0);
        EXPECT_EQ(CityName(), row.city);
        EXPECT_EQ(StreetName(), row.street);
        EXPECT_EQ(m_selection.houseNumber, row.houseNumber);
        // The city box's close-up that follows keeps the city found.
        Notify(DestinationInputPage::kCityBoxId, 10);
        EXPECT_EQ(CityName(), row.city);
    }
}

// The close-up skipped after "CurrentPos" is the one that follows it: when none came (the
// position matched no street, the list was closed), a city typed afterwards, on this input or
// on the next one, is taken at its close-up.
TEST_F(DestinationInputTest, ACityTypedAfterTheCurrentPositionIsTaken) {
    MatchedPosition position;
    position.street = -1;
    m_mode.script.position = &position;
    const struct {
        const char* name;
        bool isNextInput;
    } cases[] = {{"same input", false}, {"next input", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_selection = DestinationDescription{};
        Open<TourMainPage>();
        Notify(TourMainPage::kCurrentPosId, 0);
        EXPECT_EQ(CityName(), u"");
        if (c.isNextInput)
            m_page->ClearSelection();
        TypeInto(DestinationInputPage::kCityBoxId, u"Karl");
        Notify(DestinationInputPage::kCityBoxId, 10);
        EXPECT_EQ(CityName(), u"Karlsruhe");
    }
    m_mode.script.position = nullptr;
}

TEST_F(DestinationInputTest, EnterTakesTheFirstCityOrStreetWhenNoneIsChosen) {
    Open<NavigMainPage>();
    TypeInto(DestinationInputPage::kCityBoxId, u"Kar");
    Notify(DestinationInputPage::kCityBoxId, 3); // the box has the focus
    SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(CityName(), u"Karlsruhe");
    HWND streets = Item(DestinationInputPage::kStreetBoxId);
    ASSERT_GT(SendMessageW(streets, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(streets, CB_GETCURSEL, 0, 0), CB_ERR);
    Notify(DestinationInputPage::kStreetBoxId, 3);
    SendMessageW(m_page->GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(SendMessageW(streets, CB_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(m_selection.street);
    EXPECT_TRUE(Enabled(DestinationInputPage::kSaveAsId));
}

TEST_F(DestinationInputTest, CancelAndOtherCommandsReachTheMode) {
    struct Row {
        bool isTour;
        UINT id;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {false, 470, {"Deactivate(0)"}},    {false, 553, {"Deactivate(0)"}},
        {false, 561, {"Deactivate(0)"}},    {false, 552, {"OnPageCommand(7)"}},
        {false, 581, {"OnPageCommand(2)"}}, {false, 966, {"OnPageCommand(1)"}},
        {false, 968, {"OnPageCommand(0)"}}, {false, 1110, {"OnPageCommand(14)"}},
        {true, 320, {"OnPageCommand(11)"}}, {true, 473, {"OnPageCommand(5)"}},
    };
    for (const Row& row : rows) {
        PickedDestination::Instance().pending = 1;
        if (row.isTour) {
            Open<TourMainPage>();
        } else {
            Open<NavigMainPage>();
        }
        Notify(row.id, 0);
        EXPECT_EQ(m_mode.Calls(), row.calls) << row.id;
        const bool clearsPicked = row.id == 470 || row.id == 553 || row.id == 561 || row.id == 320;
        EXPECT_EQ(PickedDestination::Instance().pending == 0, clearsPicked) << row.id;
    }
}

// Both variants at the demo layout with the English bundle: Karlsruhe, Kaiserstrasse and a
// house number chosen.
TEST_F(DestinationInputTest, GoldenPagesOfBothVariants) {
    const auto english =
        testdata::ReadHostFile(std::filesystem::path(NAV_POI_CATEGORY_DIR) / "LangEngCE.dll");
    ASSERT_TRUE(english && m_root.WriteFile(u"\\Windows\\LangEngCE.dll", *english));
    platform::SetResourceInstance(nullptr);
    (void)FreeLibrary(m_module);
    m_module = LoadLibraryW(u"LangEngCE.dll");
    ASSERT_NE(m_module, nullptr);
    platform::SetResourceInstance(m_module);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    for (const bool isTour : {false, true}) {
        HDC screen = GetDC(nullptr);
        RECT all{0, 0, 240, 320};
        FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(nullptr, screen);
        m_selection = DestinationDescription{};
        if (isTour) {
            Open<TourMainPage>();
        } else {
            Open<NavigMainPage>();
        }
        // The city list closes with its close-up, which takes the first city and drops the
        // streets down; the street list closes after the choice.
        TypeInto(DestinationInputPage::kCityBoxId, u"Karl");
        SendMessageW(Item(DestinationInputPage::kCityBoxId), CB_SHOWDROPDOWN, 0, 0);
        m_driver.RunUntilIdle();
        const std::vector<std::u16string> streets =
            apptesting::ComboBoxTexts(Item(DestinationInputPage::kStreetBoxId));
        const auto kaiser =
            std::find_if(streets.begin(), streets.end(),
                         [](const std::u16string& text) { return text.starts_with(u"Kaiser"); });
        ASSERT_NE(kaiser, streets.end());
        Choose(DestinationInputPage::kStreetBoxId, static_cast<int>(kaiser - streets.begin()));
        SendMessageW(Item(DestinationInputPage::kStreetBoxId), CB_SHOWDROPDOWN, 0, 0);
        m_driver.RunUntilIdle();
        ASSERT_EQ(StreetName(), u"Kaiserstrasse");
        SetWindowTextW(Item(DestinationInputPage::kHouseNumberId), u"12");
        Notify(DestinationInputPage::kHouseNumberId, 0x300);
        // The closed lists leave the page and its controls to be drawn again; transparent
        // buttons draw over what lies beneath them, so the screen is cleared first.
        screen = GetDC(nullptr);
        FillRect(screen, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(nullptr, screen);
        RedrawWindow(m_page->GetHwnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        m_driver.RunUntilIdle();
        EXPECT_TRUE(testdata::WindowMatchesGolden(m_page->GetHwnd(), NAV_APP_DESTINATIONS_DIR,
                                                  isTour ? "tourmainpage" : "navigmainpage"));
        m_page.reset();
        m_driver.RunUntilIdle();
    }
    platform::SetFontFile({});
}

} // namespace
