// The tour list's store and the route list's demonstration drive over the converted extract,
// with the real navigation server on the map display facade. The store's records are matched
// on the map again (streets shortened word by word, then the city; points of interest by name;
// other points by their position), an unmatched record is dropped and a gap ends the list. The
// route list writes a leg of the route service as the demo file, replays it through the
// server's replay device on the virtual clock and starts guidance once the replay gives a fix.
#include "app/destinations/storeddestinationlist.h"
#include "app/destinations/uddrecord.h"
#include "app/pages/routelist.h"
#include "app/pages/tourlist.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapenginefacade.h"
#include "onboard/onboardserver.h"
#include "onboard/tests/serverworld.h"
#include "positioning/matchedposition.h"
#include "testdata/destinationwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/testfiles.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "ui/customlistbox.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/modules.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr char16_t kTourFolder[] = u"\\tour";
constexpr char16_t kTourCity[] = u"Vaduz";
constexpr char16_t kTourStreet[] = u"\u00c4ulestrasse";

// Where the records of the store lie, found once on the converted extract.
struct TourPlaces {
    GeoPoint streetPoint{}; // on the street kTourStreet of the city
    GeoPoint cityPoint{};   // the city's own point
    std::u16string poi;     // a named point of interest of the city
    GeoPoint poiPoint{};
};

// The facade with every question handed on, but for the map element of one id, which cannot be
// fetched; the street names the city search was asked for are kept in order.
class ScriptedTourEngine final : public RetrievalEngine::IRetrievalEngine,
                                 public RetrievalEngine::IAreaQuery {
public:
    explicit ScriptedTourEngine(six::RefCntPtr<MapEngineFacade> facade)
        : m_facade(std::move(facade)) {}

    void FailElement(std::uint32_t id) { m_failed = id; }
    std::vector<std::u16string> TakeStreetSearches() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_searches, {});
    }

    bool IsCookie2CountryOpen() override { return m_facade->IsCookie2CountryOpen(); }
    bool IsOpen() override { return m_facade->IsOpen(); }
    GeoMoleculePtr CreateGeoMolecule(std::uint32_t id, std::uint16_t code) override {
        return m_facade->CreateGeoMolecule(id, code);
    }
    GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                           std::uint16_t code) override {
        return m_facade->CreateMappedGeoMolecule(id, name, code);
    }
    QueryDefaults GetQueryDefaults() override { return m_facade->GetQueryDefaults(); }
    QueryDefaults* GetQueryDefaultsRef() override { return m_facade->GetQueryDefaultsRef(); }
    GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                   float distance, const std::u16string& name) override {
        return m_facade->FindAlong(geometry, distance, name);
    }
    GeoMoleculeCursorPtr FindInPostalCode(const std::u16string& postalCode, std::uint32_t value,
                                          const std::u16string& name) override {
        return m_facade->FindInPostalCode(postalCode, value, name);
    }
    GeoMoleculeCursorPtr FindInArea(std::uint32_t areaId, const std::u16string& name) override {
        {
            std::lock_guard lock(m_mutex);
            m_searches.push_back(name);
        }
        return m_facade->FindInArea(areaId, name);
    }
    GeoMoleculeCursorPtr FindAround(const GeoPoint& position, float radius,
                                    const std::u16string& name) override {
        return m_facade->FindAround(position, radius, name);
    }
    GeoMoleculeCursorPtr FindInRect(const GeoRect& rect, const std::u16string& name) override {
        return m_facade->FindInRect(rect, name);
    }
    std::u16string LookupArea(std::uint32_t areaId) override {
        return m_facade->LookupArea(areaId);
    }
    std::u16string GetETypeName(std::uint16_t typeId) override {
        return m_facade->GetETypeName(typeId);
    }
    std::vector<CountryPtr> GetCountries(std::uint16_t language) override {
        return m_facade->GetCountries(language);
    }
    AddressCursorPtr FindCities(const std::u16string& name, std::uint16_t country) override {
        return m_facade->FindCities(name, country);
    }
    PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                        std::uint16_t value) override {
        return m_facade->FindPostalCodes(postalCode, value);
    }
    TypeCursorPtr GetETypeCursor() override { return m_facade->GetETypeCursor(); }
    CountryPtr GetCountry(std::uint16_t number, std::uint16_t language) override {
        return m_facade->GetCountry(number, language);
    }
    AddressResultPtr GetAddressOfElement(std::uint32_t elementId, std::uint16_t value) override {
        return m_facade->GetAddressOfElement(elementId, value);
    }
    std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) override {
        return m_facade->WalkAreaHierarchy(areaId, value);
    }
    bool HasAddressIndex() override { return m_facade->HasAddressIndex(); }
    bool HasNameFile() override { return m_facade->HasNameFile(); }
    bool IsHouseNumbersOpen() override { return m_facade->IsHouseNumbersOpen(); }
    bool Open(const std::u16string& path) override { return m_facade->Open(path); }
    bool IsMapSetOpen() override { return m_facade->IsMapSetOpen(); }
    void Close() override { m_facade->Close(); }
    GeoRect GetExtent() override { return m_facade->GetExtent(); }
    six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) override {
        return id == m_failed.load() ? six::IntfPtr<MapElement>() : m_facade->GetMappedElement(id);
    }
    BlockCachePtr GetBlockCache() override { return m_facade->GetBlockCache(); }
    ElementCursorPtr QueryArea(const GeoRect& rect, std::uint32_t from, std::uint32_t to) override {
        return m_facade->QueryArea(rect, from, to);
    }
    RetrievalEngineEvents& GetEngineEvents() override { return m_facade->GetEngineEvents(); }

private:
    six::RefCntPtr<MapEngineFacade> m_facade;
    std::atomic<std::uint32_t> m_failed{0xFFFFFFFFu};
    std::mutex m_mutex;
    std::vector<std::u16string> m_searches;
};

class ExtractTourLists : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"tour", options}});
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(engine->Open(std::u16string(kTourFolder) + osm2nav::kLevelFile));
        AddressCursorPtr cities = engine->FindCities(kTourCity, 0);
        ASSERT_TRUE(cities && cities->IsValid());
        AddressResultPtr city = cities->GetCurrent();
        ASSERT_TRUE(city);
        std::vector<GeoPoint> points;
        ASSERT_TRUE(engine->GetElementPoints(city->GetElementId(), points) && !points.empty());
        s_places.cityPoint = points[0];
        GeoMoleculeCursorPtr streets =
            engine->FindInArea(static_cast<std::uint32_t>(city->GetAreaId()), kTourStreet);
        ASSERT_TRUE(streets && streets->IsValid());
        GeoMoleculePtr street = streets->GetCurrent();
        ASSERT_TRUE(street && street->GetName() == kTourStreet);
        ASSERT_TRUE(engine->GetElementPoints(street->GetElementIds().at(0), points) &&
                    points.size() >= 2);
        s_places.streetPoint = extractplaces::BesideMiddle(points[0], points[1], 5.0);
        for (auto cursor = engine->QueryArea(city->GetRect(), maprecord::kFirstPoiType,
                                             maprecord::kPoiTypeEnd);
             cursor && cursor->IsValid() && s_places.poi.empty(); cursor->Next()) {
            auto element = engine->GetMappedElement(cursor->GetElementId());
            if (cursor->GetGeometryClass() == 0 && element && element->GetName()[0] != u'\0' &&
                element->GetAreaId() == city->GetAreaId()) {
                s_places.poi = element->GetName();
                cursor->GetPoint(s_places.poiPoint, 0);
            }
        }
        ASSERT_FALSE(s_places.poi.empty()) << "no named point of interest in the city";
    }

    // Steps the clock until the replay publishes its count-th position. A step taken before
    // the replay thread sleeps is not seen by it, so one step may not be enough.
    bool StepUntilPublished(servertest::EventLog& log, std::size_t count) {
        for (int tries = 0; tries < 25; ++tries) {
            m_driver.StepClock(667);
            const bool isPublished = log.WaitFor('P', count, std::chrono::milliseconds(200));
            m_driver.RunUntilIdle();
            if (isPublished) {
                return true;
            }
        }
        return false;
    }

    void SetUp() override {
        ASSERT_TRUE(s_root->WriteFile(u"\\Windows\\Quarn.ini",
                                      "[Quarn]\r\nDB=\\tour\r\n[Properties]\r\nConfigFilesDir="
                                      "\\tour\\ConfigFiles\r\n[GPS]\r\nAutoLog=0\r\n"));
        ASSERT_TRUE(s_root->WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        platform::ResourceBundle bundle;
        bundle.strings = {{1047, u"OK"},
                          {1066, u"No replay"},
                          {1099, u"Cannot simulate"},
                          {1149, u"Not found: <@>"},
                          {1196, u"Point"},
                          {StoredDestinationList::kUnusableFileMessageId, u"Damaged: %s"}};
        ASSERT_TRUE(
            s_root->WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)));
        m_module = LoadLibraryW(u"LangEngCE.dll");
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        ASSERT_TRUE(s_root->WriteFile(AppPaths::GetScreenDescFilePath(),
                                      testdata::ReadTestFile(NAV_SCREEN_DESC_FILE)));
        ASSERT_TRUE(s_root->WriteFile(AppPaths::GetSettingsFilePath(), "[Preferences]\r\n"));
        m_clock.Advance(5000);
        m_facade = MapEngineFacade::Create(2048);
        ASSERT_TRUE(m_facade);
        m_engine = six::RefCntPtr<ScriptedTourEngine>(new ScriptedTourEngine(m_facade));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_facade->IsOpen());
    }
    void TearDown() override {
        m_server.Release();
        m_engine.Release();
        m_facade.Release();
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }

    // Runs the loop, closing each message box that shows; the boxes' count.
    int RunClosingBoxes(const std::function<void()>& action, int expected) {
        int boxes = 0;
        std::vector<platform::ScriptStep> answers;
        for (int i = 0; i < expected; ++i) {
            answers.push_back(platform::ScriptStep::Run([&boxes] {
                ++boxes;
                SendMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
            }));
        }
        m_driver.PlayWhenIdle(std::move(answers));
        action();
        m_driver.RunUntilIdle();
        EXPECT_FALSE(m_driver.RanOutOfScript());
        return boxes;
    }

    static inline TourPlaces s_places;
    HMODULE m_module = nullptr;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    six::RefCntPtr<MapEngineFacade> m_facade;
    six::RefCntPtr<ScriptedTourEngine> m_engine;
    Onboard::OnboardServerPtr m_server;
    RecordingMode m_mode;
};

std::u16string TourRecord(GeoPoint at, std::u16string place, std::u16string street,
                          bool userDefined) {
    return testdata::UddRecordText(
        {at.x, at.y, std::move(place), std::move(street), u"", u"", u"", u"", userDefined});
}

// The street field of each stored record, up to the end of the list.
std::vector<std::u16string> StoredTourStreets() {
    std::vector<std::u16string> streets;
    const StoredDestinationList store(AppPaths::GetRoutePointsFilePath(), TourList::kSection);
    for (const std::u16string& record : store.Records()) {
        float x = 0, y = 0;
        std::u16string placeLine, streetLine, place, street, extra, number;
        std::uint8_t userDefined = 0;
        (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra, number,
                               userDefined);
        streets.push_back(street);
    }
    return streets;
}

TEST_F(ExtractTourLists, StoredStopsAreMatchedOnTheMapAgain) {
    const std::u16string street =
        TourRecord(s_places.streetPoint, kTourCity, std::u16string(kTourStreet) + u" 12", false);
    const std::u16string market =
        TourRecord(s_places.cityPoint, kTourCity, u"Am Alten Markt 5", false);
    const std::u16string oneWord = TourRecord(s_places.cityPoint, kTourCity, u"Nirgendweg", false);
    const std::u16string poi = TourRecord(s_places.poiPoint, kTourCity, s_places.poi, true);
    const std::u16string point = TourRecord(s_places.cityPoint, kTourCity, u"", true);
    const GeoPoint sea{s_places.cityPoint.x + 3.0f, s_places.cityPoint.y + 3.0f};
    const std::u16string lost = TourRecord(sea, u"Atlantis", u"Nirgendwo", false);

    // The element the nameless point's position names cannot be fetched.
    RoutePositionPtr position;
    const std::uint32_t none = 0xFFFFFFFFu;
    (void)m_server->CreatePositionDestination(position, &none, &s_places.cityPoint);
    ASSERT_TRUE(position);
    const std::uint32_t pointElement = position->GetSingleElementId();
    ASSERT_NE(pointElement, none);
    m_engine->FailElement(pointElement);

    std::vector<DestinationEntry> stops;
    TourList page(m_server, &m_mode, &stops);
    ShowPageWindow(page.GetPageHandle(), true);
    m_driver.RunUntilIdle();
    const std::u16string streetName = kTourStreet;
    const std::u16string city = kTourCity;
    const struct {
        const char* name;
        std::vector<std::u16string> store;
        std::vector<std::u16string> searches; // street names asked of the city search
        std::vector<std::u16string> stops;    // second texts
        std::vector<std::u16string> stored;   // street fields afterwards
        int boxes;
    } cases[] = {
        {"street found after one shortening",
         {street},
         {streetName + u" 12"},
         {streetName},
         {streetName + u" 12"},
         0},
        {"street shortened word by word, then the city",
         {market},
         {u"Am Alten Markt 5", u"Am Alten Markt", u"Am Alten", u"Am"},
         {city},
         {u"Am Alten Markt 5"},
         0},
        {"one word tried once, then the city",
         {oneWord},
         {u"Nirgendweg"},
         {city},
         {u"Nirgendweg"},
         0},
        {"named point of interest", {poi}, {}, {s_places.poi}, {s_places.poi}, 0},
        {"nameless point whose element cannot be fetched, the rest loads",
         {point, street},
         {streetName + u" 12"},
         {u"", streetName},
         {u"", streetName + u" 12"},
         0},
        {"unmatched record dropped, the keys shift, the rest loads",
         {lost, street, poi},
         {streetName + u" 12"},
         {streetName, s_places.poi},
         {streetName + u" 12", s_places.poi},
         1},
        {"gap at key 1",
         {street, u"", poi},
         {streetName + u" 12"},
         {streetName},
         {streetName + u" 12"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(s_root->WriteFile(AppPaths::GetRoutePointsFilePath(),
                                      testdata::WriteListSection("DestList", c.store)));
        (void)m_engine->TakeStreetSearches();
        EXPECT_EQ(RunClosingBoxes([&page] { page.LoadTourPoints(); }, c.boxes), c.boxes);
        std::vector<std::u16string> texts;
        for (const DestinationEntry& stop : stops) {
            texts.push_back(stop.secondText);
        }
        EXPECT_EQ(texts, c.stops);
        EXPECT_EQ(page.GetListBox()->GetCount(), static_cast<int>(c.stops.size()));
        EXPECT_EQ(page.GetRecords().size(), c.stops.size());
        const std::vector<std::u16string> stored = StoredTourStreets();
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(m_engine->TakeStreetSearches(), c.searches);
    }
    // The nameless point is a stop at its position, labelled as a point, without the country
    // of its element.
    ASSERT_TRUE(s_root->WriteFile(AppPaths::GetRoutePointsFilePath(),
                                  testdata::WriteListSection("DestList", {point, street, poi})));
    page.LoadTourPoints();
    ASSERT_EQ(page.GetListBox()->GetCount(), 3);
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(page.GetListBox()->GetText(0), city + u"\n\nPoint");
    EXPECT_EQ(page.GetListBox()->GetText(1),
              u"Liechtenstein\n" + city + u"\n" + streetName + u" 12");
    EXPECT_EQ(stops[0].location->GetSingleElementId(), pointElement);
    // Found by its name, the point of interest is not labelled as a bare point.
    EXPECT_FALSE(page.GetListBox()->GetText(2).ends_with(u"\nPoint"));
}

// Hands the server's positions to the process-wide GPS state once let through, on the thread
// that publishes them.
class TourFixRelay {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void LetThrough() { m_isOpen = true; }
    void OnPosition(const MatchedPosition* position) {
        if (m_isOpen.load()) {
            GpsStateMonitor::Instance().OnPosition(*position);
        }
    }

private:
    std::atomic<bool> m_isOpen{false};
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

// A leg of the route service from Schaan to Vaduz: one metre too long, or without a replay
// device, it is refused; at 100000 m it is written, replayed at the default speed, and guidance
// starts from it once the replay gives a usable fix, not before.
TEST_F(ExtractTourLists, DemonstrationDriveStartsGuidanceOnceTheReplayHasAFix) {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    {
        const auto scratch = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(scratch->Open(std::u16string(kTourFolder) + osm2nav::kLevelFile));
        const auto a = extractplaces::FirstTownRoad(*scratch, u"Schaan");
        const auto b = extractplaces::FirstTownRoad(*scratch, kTourCity);
        ASSERT_TRUE(a && b);
        from = *a;
        to = *b;
    }
    RoutePositionPtr start;
    RoutePositionPtr destination;
    (void)m_server->CreateElementDestination(start, &from);
    (void)m_server->CreateElementDestination(destination, &to);
    RouteRequestResult route;
    (void)m_server->RequestRouteBetween(route, start, destination);
    ASSERT_EQ(route.status, routestatus::kFound);
    ASSERT_LT(route.length, RouteList::kMaxSimulatedLength);
    const Onboard::OnboardServerPtr noDevice =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr());
    ASSERT_TRUE(noDevice);

    TourFixRelay relay;
    servertest::EventLog log;
    log.Connect(*m_server);
    m_server->PositionEvent.Connect(&relay, &TourFixRelay::OnPosition);
    MatchedPosition noFix;
    noFix.fix.hdop = -2.0f;
    GpsStateMonitor::Instance().OnPosition(noFix);
    DemonstrationDriveFlag() = false;

    const struct {
        const char* name;
        const Onboard::OnboardServerPtr* server;
        std::int32_t length;
        int message; // 0: the drive starts
    } cases[] = {
        {"one metre too long", &m_server, RouteList::kMaxSimulatedLength + 1, 1099},
        {"no replay device", &noDevice, RouteList::kMaxSimulatedLength, 1066},
        {"longest leg", &m_server, RouteList::kMaxSimulatedLength, 0},
    };
    std::unique_ptr<RouteList> page;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page = std::make_unique<RouteList>(*c.server, &m_mode, 431);
        ShowPageWindow(page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        TourEntry leg;
        leg.result = route;
        leg.result.length = c.length;
        leg.startText = u"Schaan";
        leg.destinationText = kTourCity;
        std::int32_t length = 0;
        std::int32_t time = 0;
        page->SetLegs({leg}, length, time);
        SendMessageW(page->GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
        m_mode.ClearCalls();
        // The message box holds its text as the item of the text's id.
        std::vector<bool> shown;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
            HWND box = FindWindowW(u"Dialog", nullptr);
            const DialogBase* dialog = box != nullptr ? DialogBase::FromWindow(box) : nullptr;
            shown.push_back(dialog != nullptr && dialog->FindItem(c.message) != nullptr);
            SendMessageW(box, WM_COMMAND, IDOK, 0);
        })});
        SendMessageW(page->GetHwnd(), WM_COMMAND, RouteList::kStartSimulationId, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(shown, c.message != 0 ? std::vector<bool>{true} : std::vector<bool>{});
        EXPECT_EQ(page->GetLegs().empty(), c.message == 0);
        if (c.message != 0) {
            EXPECT_TRUE(m_mode.Calls().empty());
        }
    }
    ASSERT_TRUE(s_root->ReadFile(u"\\GPSDemoFile.txt").has_value());
    GpsReceiverPtr receiver;
    m_server->OpenAlternativeGps(receiver);
    ASSERT_TRUE(receiver);
    EXPECT_EQ(receiver->GetSentenceRate(), 3.0f);
    EXPECT_EQ(m_mode.Calls(), std::vector<std::string>{"StartReceiverReconnect(1)"});

    // The replay runs, but the GPS state has not seen its fix yet: the page only waits.
    for (std::size_t i = 1; i <= 5; ++i) {
        ASSERT_TRUE(StepUntilPublished(log, i));
    }
    EXPECT_EQ(GpsStateMonitor::Instance().GetFixClass(), 0);
    EXPECT_EQ(m_mode.Calls().size(), 1u);
    // Its next position reaches the GPS state: guidance starts from the leg within a second.
    relay.LetThrough();
    for (std::size_t i = 6; i <= 10 && m_mode.Calls().size() == 1; ++i) {
        ASSERT_TRUE(StepUntilPublished(log, i));
    }
    EXPECT_EQ(GpsStateMonitor::Instance().GetFixClass(), 2);
    EXPECT_EQ(m_mode.Calls(), (std::vector<std::string>{"StartReceiverReconnect(1)",
                                                        "SetStopIndex(1)", "OnPageCommand(4)"}));
    EXPECT_TRUE(page->HasStartedGuidance());
    EXPECT_TRUE(DemonstrationDriveFlag());

    m_server->PositionEvent.Disconnect(&relay);
    m_server->CloseAlternativeGps();
    page.reset();
    m_driver.RunUntilIdle();
    DemonstrationDriveFlag() = false;
    GpsStateMonitor::Instance().OnPosition(noFix);
}

} // namespace
