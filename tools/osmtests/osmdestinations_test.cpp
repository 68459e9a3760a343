// The stored destination lists over the converted extract and the real server: entries of
// "Recent" listed and taken back to their street, station and point, deletions rewriting the
// list, a damaged or read-only list file left alone, and the fuel category finding a station
// in its city.
#include "app/destinations/addresspage.h"
#include "app/destinations/destinationareas.h"
#include "app/destinations/destinationinputpage.h"
#include "app/destinations/locatedaddress.h"
#include "app/destinations/poicategory.h"
#include "app/destinations/uddrecord.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/destinationwriter.h"
#include "tools/osmtests/convertedextract.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/files/modules.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char16_t kDestFolder[] = u"\\dest";
constexpr char16_t kDestCity[] = u"Vaduz";
// The name of the extract's country in every language it has a name in.
constexpr char16_t kDestCountry[] = u"Liechtenstein";
constexpr UINT kRecentTitleId = 103;
constexpr UINT kOwnerPage = 420;

// What the tests start from, found once on the converted extract.
struct DestinationPlaces {
    std::int32_t cityArea = -1;
    std::u16string street;  // a street of the city with house numbers
    GeoPoint streetPoint{}; // on its first element
    std::u16string station; // a named fuel station of the city
    GeoPoint stationPoint{};
    GeoPoint cityPoint{}; // the city's own point
};

class ExtractDestinations : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"dest", options}});
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(engine->Open(std::u16string(kDestFolder) + osm2nav::kLevelFile));
        AddressCursorPtr cities = engine->FindCities(kDestCity, 0);
        ASSERT_TRUE(cities && cities->IsValid());
        AddressResultPtr city = cities->GetCurrent();
        ASSERT_TRUE(city);
        s_places.cityArea = city->GetAreaId();
        std::vector<GeoPoint> points;
        ASSERT_TRUE(engine->GetElementPoints(city->GetElementId(), points) && !points.empty());
        s_places.cityPoint = points[0];
        for (auto streets = engine->FindInArea(static_cast<std::uint32_t>(s_places.cityArea), u"");
             streets && streets->IsValid() && s_places.street.empty(); streets->Next()) {
            GeoMoleculePtr street = streets->GetCurrent();
            if (street && street->HasHouseNumbers() &&
                street->GetName().find(u' ') == std::u16string::npos &&
                engine->GetElementPoints(street->GetElementIds().at(0), points)) {
                s_places.street = street->GetName();
                s_places.streetPoint = points[points.size() / 2];
            }
        }
        ASSERT_FALSE(s_places.street.empty());
        for (auto cursor = engine->QueryArea(city->GetRect(), maprecord::kFirstPoiType,
                                             maprecord::kFirstPoiType + 1);
             cursor && cursor->IsValid() && s_places.station.empty(); cursor->Next()) {
            auto element = engine->GetMappedElement(cursor->GetElementId());
            if (element && element->GetName()[0] != u'\0' &&
                element->GetAreaId() == s_places.cityArea) {
                s_places.station = element->GetName();
                cursor->GetPoint(s_places.stationPoint, 0);
            }
        }
        ASSERT_FALSE(s_places.station.empty()) << "no named fuel station in the city's area";
    }

    // The settings file naming the converted extract and the program's "Language".
    static bool WriteSettings(int language) {
        return s_root->WriteFile(
            u"\\Windows\\Quarn.ini",
            "[Quarn]\r\nDB=\\dest\r\n[Properties]\r\nLanguage=" + std::to_string(language) +
                "\r\nConfigFilesDir=\\dest\\ConfigFiles\r\n[GPS]\r\nAutoLog=0\r\n");
    }

    void SetUp() override {
        ASSERT_TRUE(WriteSettings(0));
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        const auto bundle =
            testdata::ReadHostFile(std::filesystem::path(NAV_POI_CATEGORY_DIR) / "LangEngCE.dll");
        ASSERT_TRUE(bundle && s_root->WriteFile(u"\\Windows\\LangEngCE.dll", *bundle));
        m_module = LoadLibraryW(u"LangEngCE.dll");
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
        ASSERT_TRUE(layout && s_root->WriteFile(AppPaths::GetScreenDescFilePath(), *layout));
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
        PickedDestination::Instance().Clear();
        platform::ClearRecordedMessageBoxes();
    }
    void TearDown() override {
        m_server.Release();
        m_engine.Release();
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }

    static std::u16string StreetRecord() {
        return testdata::UddRecordText({s_places.streetPoint.x, s_places.streetPoint.y, kDestCity,
                                        s_places.street + u" 12", u"", u"", u"", u"", false});
    }
    static std::u16string StationRecord() {
        return testdata::UddRecordText({s_places.stationPoint.x, s_places.stationPoint.y, kDestCity,
                                        s_places.station, u"", u"", u"", u"", true});
    }
    static std::u16string PointRecord() {
        return testdata::UddRecordText({s_places.streetPoint.x, s_places.streetPoint.y, kDestCity,
                                        u"", u"", u"", u"", u"", true});
    }
    static std::u16string PlaceRecord() {
        return testdata::UddRecordText({s_places.cityPoint.x, s_places.cityPoint.y, kDestCity, u"",
                                        u"", u"", u"", u"", false});
    }
    static void PutList(const std::vector<std::u16string>& records,
                        testdata::ListSectionFault fault = testdata::ListSectionFault::None) {
        ASSERT_TRUE(s_root->WriteFile(AppPaths::GetSettingsFilePath(),
                                      testdata::WriteListSection("Recent", records, "", fault)));
    }
    static std::string ListBytes() {
        return s_root->ReadFile(AppPaths::GetSettingsFilePath()).value_or("<none>");
    }

    // A page over "Recent", shown and filled.
    std::unique_ptr<AddressPage> OpenPage(const char16_t* file = nullptr,
                                          const std::u16string& section = u"Recent") {
        auto page =
            std::make_unique<AddressPage>(m_server, section, kRecentTitleId, kOwnerPage, file);
        ShowPageWindow(page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
        page->FillList();
        return page;
    }
    static std::vector<std::u16string> Shown(const AddressPage& page) {
        std::vector<std::u16string> texts;
        for (int i = 0; i < page.GetListBox()->GetCount(); ++i) {
            texts.push_back(page.GetListBox()->GetText(i));
        }
        return texts;
    }
    void Press(AddressPage& page, UINT key) {
        SendMessageW(page.GetHwnd(), WM_KEYDOWN, key, 0);
        m_driver.RunUntilIdle();
    }
    void Command(AddressPage& page, UINT id) {
        SendMessageW(page.GetHwnd(), WM_COMMAND, id, 0);
        m_driver.RunUntilIdle();
    }

    // The input page's box or button with that id tells the page of the change `code`.
    static void Notify(NavigMainPage& page, UINT id, WORD code) {
        SendMessageW(page.GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code),
                     reinterpret_cast<LPARAM>(page.Item(id)));
    }

    static inline DestinationPlaces s_places;
    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
};

TEST_F(ExtractDestinations, ListsEachEntryWithItsCountryAndLines) {
    const std::u16string country = u"Liechtenstein\n";
    const struct {
        const char* name;
        std::vector<std::u16string> records;
        std::vector<std::u16string> shown;
        int lineCount;
    } cases[] = {
        {"street records: the country above two lines",
         {StreetRecord(), PlaceRecord()},
         {country + u"Vaduz\n" + s_places.street + u" 12", country + u"Vaduz\n"},
         3},
        {"a long entry is cut",
         {testdata::UddRecordText({s_places.streetPoint.x, s_places.streetPoint.y,
                                   std::u16string(200, u'P'), s_places.street, u"", u"", u"", u"",
                                   false})},
         {(country + std::u16string(200, u'P')).substr(0, AddressPage::kMaxEntryText)},
         2},
        {"a user-defined entry: four lines from it on",
         {StreetRecord(), StationRecord()},
         {country + u"Vaduz\n" + s_places.street + u" 12",
          country + u"Vaduz\n" + s_places.station + u"\nPoint of interest"},
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PutList(c.records);
        auto page = OpenPage();
        EXPECT_EQ(Shown(*page), c.shown);
        EXPECT_EQ(page->GetLineCount(), c.lineCount);
        EXPECT_GE(page->GetListBox()->GetItemHeight(), c.lineCount * 12) << "every line shows";
        EXPECT_EQ(page->GetListBox()->GetCurSel(), 0);
        EXPECT_TRUE(page->IsControlEnabled(AddressPage::kDeleteId));
    }
}

TEST_F(ExtractDestinations, DrawsEachEntryLineByLineInItsColours) {
    PutList({StreetRecord(), StationRecord()});
    auto page = OpenPage();
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 240, 80);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const struct {
        const char* name;
        UINT index;
        UINT state;
        COLORREF background;
        int lines;
    } cases[] = {
        {"selected, three lines", 0, ODS_SELECTED, AddressPage::kSelectedColour, 3},
        {"not selected, four lines", 1, 0, PageBase::kBackgroundColour, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RECT all{0, 0, 240, 80};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = AddressPage::kListId;
        item.itemID = c.index;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = c.state;
        item.hwndItem = page->GetListBox()->GetWindow();
        item.hDC = dc;
        item.rcItem = RECT{0, 0, 200, 64};
        EXPECT_EQ(SendMessageW(page->GetHwnd(), WM_DRAWITEM, AddressPage::kListId,
                               reinterpret_cast<LPARAM>(&item)),
                  TRUE);
        EXPECT_EQ(GetPixel(dc, 100, 63), AddressPage::kSeparatorColour) << "the separator";
        EXPECT_EQ(GetPixel(dc, 8, 2), c.background) << "the first line's cell";
        // Lines of 60 / 4 pixels (four lines per entry in this list) from the top inset.
        EXPECT_EQ(GetPixel(dc, 8, 2 + 15 * c.lines - 1), c.background) << "the last line";
        if (c.lines < 4) {
            EXPECT_EQ(GetPixel(dc, 8, 2 + 15 * c.lines), 0x000000u) << "below the last line";
        }
        EXPECT_EQ(GetPixel(dc, 4, 30), 0x000000u) << "left of the text";
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

TEST_F(ExtractDestinations, AnswersTheListsCustomDrawing) {
    PutList({StreetRecord()});
    auto page = OpenPage();
    const struct {
        DWORD stage;
        LRESULT result;
        COLORREF text;
        COLORREF background;
    } cases[] = {
        {CDDS_PREPAINT, CDRF_NOTIFYITEMDRAW, 1, 2},
        {CDDS_ITEMPREPAINT, CDRF_NOTIFYITEMDRAW, 1, 2},
        {CDDS_ITEMPREPAINT | CDDS_SUBITEM, CDRF_DODEFAULT, 0xFFFFFF, PageBase::kBackgroundColour},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stage);
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr = {page->GetListBox()->GetWindow(), AddressPage::kListId, NM_CUSTOMDRAW};
        draw.nmcd.dwDrawStage = c.stage;
        draw.clrText = 1;
        draw.clrTextBk = 2;
        EXPECT_EQ(SendMessageW(page->GetHwnd(), WM_NOTIFY, AddressPage::kListId,
                               reinterpret_cast<LPARAM>(&draw)),
                  c.result);
        EXPECT_EQ(draw.clrText, c.text);
        EXPECT_EQ(draw.clrTextBk, c.background);
    }
}

TEST_F(ExtractDestinations, FindsAStoredStreetNearItsPointOrInItsCity) {
    const GeoPoint near = s_places.streetPoint;
    const GeoPoint far{0.0f, 0.0f};
    const std::u16string lower = [] {
        std::u16string text = s_places.street;
        text[0] = static_cast<char16_t>(text[0] - u'A' + u'a');
        return text;
    }();
    const struct {
        const char* name;
        GeoPoint point;
        std::u16string street;
        std::u16string place;
        bool isFound;
    } cases[] = {
        {"its name near the point", near, s_places.street, u"", true},
        {"letter case counts near the point", near, lower, u"", false},
        {"through the city far from it", far, s_places.street, kDestCity, true},
        {"a city name of another length", far, s_places.street, u"Vadu", false},
        {"no such street", near, u"Nirgendwo", kDestCity, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GeoMoleculePtr street =
            FindStreetNearPoint(m_server, c.point.x, c.point.y, c.street, c.place);
        ASSERT_EQ(static_cast<bool>(street), c.isFound);
        if (c.isFound) {
            EXPECT_EQ(street->GetName(), s_places.street);
            EXPECT_TRUE(StreetLiesInArea(m_server->GetRetrievalEngine(),
                                         static_cast<std::uint32_t>(s_places.cityArea), street));
            EXPECT_FALSE(StreetLiesInArea(m_server->GetRetrievalEngine(), 1, street));
        }
    }
}

TEST_F(ExtractDestinations, TakesEachKindOfEntryBack) {
    const struct {
        const char* name;
        std::u16string record;
        std::u16string street; // empty: none found
        bool hasCity;
        std::uint8_t pending;
        std::u16string nameText;
        std::optional<std::uint32_t> destinationKind;
        std::u16string houseNumber;
    } cases[] = {
        {"street and number: one shortening step", StreetRecord(), s_places.street, true, 0, u"",
         std::nullopt, u"12"},
        // The city's point, which lies in the city's area, is found as the street.
        {"place only: searched as a street", PlaceRecord(), kDestCity, true, 0, u"", std::nullopt,
         u""},
        {"named station: element destination", StationRecord(), u"", true, 1, s_places.station,
         RoutePosition::kPointElement, u""},
        {"nameless point: position destination", PointRecord(), u"", true, 1, u"",
         RoutePosition::kNearestRoad, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PutList({c.record});
        PickedDestination::Instance().Clear();
        auto page = OpenPage();
        Command(*page, AddressPage::kOkId);
        EXPECT_EQ(page->GetResultStreet() ? page->GetResultStreet()->GetName() : u"", c.street);
        ASSERT_EQ(static_cast<bool>(page->GetResultCity()), c.hasCity);
        if (c.hasCity) {
            EXPECT_EQ(page->GetResultCity()->GetName(), kDestCity);
        }
        EXPECT_EQ(page->GetResultHouseNumber(), c.houseNumber);
        const PickedDestination& picked = PickedDestination::Instance();
        EXPECT_EQ(picked.pending, c.pending);
        EXPECT_EQ(picked.nameText, c.nameText);
        EXPECT_EQ(picked.named, c.nameText.empty() ? 0 : 1);
        ASSERT_EQ(static_cast<bool>(page->GetResultDestination()), c.destinationKind.has_value());
        if (c.destinationKind) {
            EXPECT_EQ(page->GetResultDestination()->GetKind(), *c.destinationKind);
            EXPECT_EQ(picked.destination, page->GetResultDestination());
            EXPECT_EQ(picked.placeName, kDestCity);
        }
    }
}

TEST_F(ExtractDestinations, DeletingRewritesTheListAndKeepsASelection) {
    const std::vector<std::u16string> three = {StreetRecord(), PlaceRecord(), StationRecord()};
    const struct {
        int index;
        std::vector<std::u16string> left;
        int selected;
    } cases[] = {
        {0, {three[1], three[2]}, 0},
        {1, {three[0], three[2]}, 1},
        {2, {three[0], three[1]}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        PutList(three);
        auto page = OpenPage();
        SendMessageW(page->GetListBox()->GetWindow(), LB_SETCURSEL, c.index, 0);
        Command(*page, AddressPage::kDeleteId);
        EXPECT_EQ(page->GetListBox()->GetCount(), 2);
        EXPECT_EQ(page->GetListBox()->GetCurSel(), c.selected);
        EXPECT_EQ(ListBytes(), testdata::WriteListSection("Recent", c.left));
    }
}

TEST_F(ExtractDestinations, EmptyListOffersNothing) {
    PutList({});
    auto page = OpenPage();
    EXPECT_EQ(page->GetListBox()->GetCount(), 0);
    EXPECT_FALSE(page->IsControlEnabled(AddressPage::kDeleteId));
    Command(*page, AddressPage::kOkId);
    EXPECT_FALSE(page->GetResultCity());
    EXPECT_FALSE(page->GetResultStreet());
    EXPECT_FALSE(page->GetResultDestination());
}

TEST_F(ExtractDestinations, UpAndDownStayWithinTheList) {
    PutList({StreetRecord(), PlaceRecord(), StationRecord()});
    auto page = OpenPage();
    const struct {
        UINT key;
        int selected;
    } steps[] = {{VK_UP, 0}, {VK_DOWN, 1}, {VK_DOWN, 2}, {VK_DOWN, 2}, {VK_UP, 1}};
    for (const auto& step : steps) {
        Press(*page, step.key);
        EXPECT_EQ(page->GetListBox()->GetCurSel(), step.selected);
    }
}

TEST_F(ExtractDestinations, OpenStoredListCopiesWhatTheTakenEntryResolved) {
    PutList({PlaceRecord(), StreetRecord()});
    DestinationDescription selection;
    m_driver.PlayWhenIdle(
        {platform::ScriptStep::Press(VK_DOWN), platform::ScriptStep::Press(VK_RETURN)});
    // Enter closes without taking.
    EXPECT_FALSE(
        OpenStoredList(selection, m_server, u"Recent", kRecentTitleId, kOwnerPage, nullptr));
    EXPECT_FALSE(selection.city);
    m_driver.PlayWhenIdle({platform::ScriptStep::Press(VK_DOWN), platform::ScriptStep::Run([] {
                               SendMessageW(GetActiveWindow(), WM_COMMAND, AddressPage::kOkId, 0);
                           })});
    ASSERT_TRUE(
        OpenStoredList(selection, m_server, u"Recent", kRecentTitleId, kOwnerPage, nullptr));
    EXPECT_FALSE(m_driver.RanOutOfScript());
    ASSERT_TRUE(selection.city && selection.street);
    EXPECT_EQ(selection.city->GetName(), kDestCity);
    EXPECT_EQ(selection.street->GetName(), s_places.street);
    EXPECT_EQ(selection.houseNumber, u"12");
    EXPECT_FALSE(selection.location);
}

TEST_F(ExtractDestinations, MapSpecificListLiesWithTheSelectedDatabase) {
    EXPECT_EQ(GetMapSpecificListPath(m_server), u"\\dest\\data.ini");
    EXPECT_EQ(GetMapSpecificListPath(CreateIOnboardServer(nullptr)), u"\\data.ini");
    EXPECT_EQ(GetMapSpecificListPath(Onboard::OnboardServerPtr()), u"\\data.ini");

    // On read-only media the entry stays, and the user is told.
    const std::u16string path = GetMapSpecificListPath(m_server);
    const std::string bytes = testdata::WriteListSection("MapSpecific", {StreetRecord()});
    ASSERT_TRUE(s_root->WriteFile(path, bytes));
    std::filesystem::permissions(s_root->HostPathOf(path), std::filesystem::perms::owner_read);
    auto page = OpenPage(path.c_str(), u"MapSpecific");
    ASSERT_EQ(page->GetListBox()->GetCount(), 1);
    Command(*page, AddressPage::kDeleteId);
    EXPECT_EQ(page->GetListBox()->GetCount(), 1);
    const auto boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_NE(boxes[0].text.find(u"\\dest\\data.ini"), std::u16string::npos);
    std::filesystem::permissions(s_root->HostPathOf(path), std::filesystem::perms::owner_all);
    EXPECT_EQ(s_root->ReadFile(path), bytes);
}

TEST_F(ExtractDestinations, DamagedListIsShownEmptyAndNeverWritten) {
    PutList({StreetRecord(), StationRecord()}, testdata::ListSectionFault::ZeroedTail);
    const std::string before = ListBytes();
    {
        auto page = OpenPage();
        EXPECT_EQ(page->GetListBox()->GetCount(), 0);
        EXPECT_FALSE(page->IsControlEnabled(AddressPage::kDeleteId));
        Command(*page, AddressPage::kDeleteId);
        const auto boxes = platform::RecordedMessageBoxes();
        ASSERT_EQ(boxes.size(), 1U) << "told once";
        EXPECT_NE(boxes[0].text.find(AppPaths::GetSettingsFilePath()), std::u16string::npos);
        Press(*page, VK_ESCAPE);
    }
    StoredDestinationList list(u"", u"Recent");
    EXPECT_FALSE(list.Replace({StreetRecord()})) << "adding";
    EXPECT_EQ(ListBytes(), before);
}

TEST_F(ExtractDestinations, RunPageModalHandsOnTheEndOfTheApplication) {
    PutList({StreetRecord()});
    AddressPage page(m_server, u"Recent", kRecentTitleId, kOwnerPage, nullptr);
    m_driver.PlayWhenIdle({platform::ScriptStep::Run([] { PostQuitMessage(3); })});
    EXPECT_FALSE(RunPageModal(page));
    EXPECT_FALSE(IsWindowVisible(page.GetHwnd()));
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3U);
}

TEST_F(ExtractDestinations, FuelCategoryFindsTheStationInItsCity) {
    const auto file =
        testdata::ReadHostFile(std::filesystem::path(NAV_POI_CATEGORY_DIR) / "PoiEng.bin");
    ASSERT_TRUE(file && s_root->WriteFile(u"\\Nav\\PoiEng.bin", *file));
    std::vector<PoiCategory> categories;
    LoadPoiCategories(categories, 1);
    const auto fuel = std::find_if(categories.begin(), categories.end(), [](const PoiCategory& c) {
        return std::u16string_view(c.text) == u"Fuel station";
    });
    ASSERT_NE(fuel, categories.end());
    RetrievalEngine::RetrievalEnginePtr engine = m_server->GetRetrievalEngine();
    ApplyPoiCategory(*engine->GetQueryDefaultsRef(), *fuel);
    std::vector<std::u16string> found;
    for (auto hits = engine->FindInArea(static_cast<std::uint32_t>(s_places.cityArea), u"");
         hits && hits->IsValid(); hits->Next()) {
        found.push_back(hits->GetCurrent()->GetName());
    }
    EXPECT_NE(std::find(found.begin(), found.end(), s_places.station), found.end());
    for (const std::u16string& name : found) {
        EXPECT_NE(name, s_places.street) << "streets are not of the category";
    }
    ApplyPoiCategory(*engine->GetQueryDefaultsRef(), categories[0]);
}

// The destination input page on the converted extract: "Vad" proposes Vaduz, a street of it
// with house numbers takes a number, and "Finish" hands the destination to the mode.
TEST_F(ExtractDestinations, TheInputPageComposesADestinationInVaduz) {
    DestinationDescription selection;
    RecordingMode mode;
    NavigMainPage page(m_server, &selection, &mode, NavigMainPage::kPageId);
    ShowPageWindow(page.GetPageHandle(), true);
    m_driver.RunUntilIdle();
    const auto texts = &apptesting::ComboBoxTexts;
    HWND cities = page.Item(DestinationInputPage::kCityBoxId);
    SetWindowTextW(cities, u"Vad");
    Notify(page, DestinationInputPage::kCityBoxId, 5);
    // The city is proposed with the region above it, its electoral district.
    const std::vector<std::u16string> proposed = texts(cities);
    ASSERT_FALSE(proposed.empty());
    EXPECT_LE(proposed.size(), 8u);
    EXPECT_EQ(proposed.front(), std::u16string(kDestCity) + u", Wahlkreis Oberland");
    Notify(page, DestinationInputPage::kCityBoxId, 10);
    ASSERT_TRUE(selection.city);
    EXPECT_EQ(selection.city->GetName(), kDestCity);

    // The street box lists the city's streets, eight at a time, until the one wanted shows.
    HWND streets = page.Item(DestinationInputPage::kStreetBoxId);
    int index = -1;
    for (int shown = 0; index < 0;) {
        const std::vector<std::u16string> listed = texts(streets);
        for (std::size_t i = static_cast<std::size_t>(shown); i < listed.size(); ++i) {
            const std::u16string& text = listed[i];
            const std::size_t length = s_places.street.size();
            if (text.rfind(s_places.street, 0) == 0 &&
                (text.size() == length || text[length] == u' ' || text[length] == u',')) {
                index = static_cast<int>(i);
            }
        }
        if (index >= 0 || static_cast<int>(listed.size()) == shown || listed.empty()) {
            break;
        }
        shown = static_cast<int>(listed.size());
        SendMessageW(streets, CB_SETCURSEL, static_cast<WPARAM>(shown - 1), 0);
        Notify(page, DestinationInputPage::kStreetBoxId, 1);
    }
    ASSERT_GE(index, 0) << "the street is not proposed";
    // A street is proposed without an area: it lies in no part of the municipality (level 1)
    // other than the municipality itself; its second name, the name itself, is not repeated in
    // brackets.
    const std::vector<std::u16string> listed = texts(streets);
    EXPECT_EQ(listed[static_cast<std::size_t>(index)], s_places.street);
    for (const std::u16string& text : listed) {
        const std::u16string name = text.substr(0, text.find(u','));
        const std::size_t open = name.find(u" (");
        EXPECT_TRUE(open == std::u16string::npos ||
                    name.substr(open + 2, name.size() - open - 3) != name.substr(0, open))
            << std::string(text.begin(), text.end());
    }
    SendMessageW(streets, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Notify(page, DestinationInputPage::kStreetBoxId, 9);
    ASSERT_TRUE(selection.street);
    EXPECT_EQ(selection.street->GetName(), s_places.street);
    HWND houseNumber = page.Item(DestinationInputPage::kHouseNumberId);
    EXPECT_TRUE(IsWindowEnabled(houseNumber));
    SetWindowTextW(houseNumber, u"12");
    Notify(page, DestinationInputPage::kHouseNumberId, 0x300);
    EXPECT_EQ(selection.houseNumber, u"12");
    mode.ClearCalls();
    Notify(page, NavigMainPage::kFinishId, 0);
    EXPECT_EQ(mode.Calls(), (std::vector<std::string>{"OnPageCommand(2)"}));

    // Stored, the destination reads back with the areas that hold it, each left out where it
    // repeats what it follows: the municipality (level 2) is the place, and no part of it (level
    // 1) holds the street.
    DestinationEntry entry;
    (void)entry.houseNumber.Parse(u"12");
    const auto number = static_cast<std::int16_t>(entry.houseNumber.GetNumber());
    LocatedStreet address(selection.street, entry.houseNumber);
    (void)m_server->CreateStreetDestination(entry.location, address, &number);
    ASSERT_TRUE(entry.location);
    entry.name = selection.city->GetName();
    entry.secondText = selection.street->GetName();
    SetQualifiers(entry, selection.city, selection.street);
    const std::u16string record =
        DestinationRecord(entry, u"12", AdditionsOf(m_engine.Get(), entry));
    float x = 0, y = 0;
    std::u16string placeLine, streetLine, place, street, extra, houseNumberText;
    std::uint8_t userDefined = 0;
    (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra,
                           houseNumberText, userDefined);
    EXPECT_EQ(placeLine, kDestCity);
    EXPECT_EQ(streetLine, s_places.street + u" 12");
}

// The input page's country box names the extract's country, its name in the chosen language or
// else the name it has, in every "Language" of the settings: on opening, with the city chosen
// and with a street of it chosen.
TEST_F(ExtractDestinations, TheCountryBoxNamesTheCountryInEveryLanguage) {
    for (int language = 0; language <= 6; ++language) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(WriteSettings(language));
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
        const Onboard::OnboardServerPtr server =
            CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(engine));
        ASSERT_TRUE(server && server->GetLanguage() == language);
        DestinationDescription selection;
        RecordingMode mode;
        NavigMainPage page(server, &selection, &mode, NavigMainPage::kPageId);
        ShowPageWindow(page.GetPageHandle(), true);
        m_driver.RunUntilIdle();
        const auto shownCountry = [&] {
            HWND box = page.Item(DestinationInputPage::kCountryBoxId);
            const auto at = SendMessageW(box, CB_GETCURSEL, 0, 0);
            const std::vector<std::u16string> texts = apptesting::ComboBoxTexts(box);
            return at >= 0 && static_cast<std::size_t>(at) < texts.size()
                       ? texts[static_cast<std::size_t>(at)]
                       : std::u16string(u"<nothing selected>");
        };
        EXPECT_EQ(shownCountry(), kDestCountry);
        SetWindowTextW(page.Item(DestinationInputPage::kCityBoxId), kDestCity);
        Notify(page, DestinationInputPage::kCityBoxId, 5);
        Notify(page, DestinationInputPage::kCityBoxId, 10);
        ASSERT_TRUE(selection.city);
        EXPECT_EQ(shownCountry(), kDestCountry);
        HWND streets = page.Item(DestinationInputPage::kStreetBoxId);
        ASSERT_FALSE(apptesting::ComboBoxTexts(streets).empty());
        SendMessageW(streets, CB_SETCURSEL, 0, 0);
        Notify(page, DestinationInputPage::kStreetBoxId, 9);
        ASSERT_TRUE(selection.street);
        EXPECT_EQ(shownCountry(), kDestCountry);
    }
}

// A destination in a village stored with the street it lies on: the municipality that holds
// the street (level 2) follows the village's name, no part of the municipality the street.
TEST_F(ExtractDestinations, ADestinationInAVillageIsStoredWithItsMunicipality) {
    AddressCursorPtr village = m_engine->FindCities(u"Nendeln", 0);
    ASSERT_TRUE(village && village->IsValid());
    ASSERT_EQ(village->GetCurrent()->GetName(), u"Nendeln");
    AddressCursorPtr town = m_engine->FindCities(u"Eschen", 0);
    ASSERT_TRUE(town && town->IsValid());
    GeoMoleculeCursorPtr streets =
        m_engine->FindInArea(static_cast<std::uint32_t>(town->GetCurrent()->GetAreaId()), u"");
    ASSERT_TRUE(streets && streets->IsValid());
    const GeoMoleculePtr street = streets->GetCurrent();
    DestinationEntry entry;
    LocatedStreet address(street, entry.houseNumber);
    const std::int16_t number = 0;
    (void)m_server->CreateStreetDestination(entry.location, address, &number);
    ASSERT_TRUE(entry.location);
    entry.name = village->GetCurrent()->GetName();
    entry.secondText = street->GetName();
    SetQualifiers(entry, village->GetCurrent(), street);
    const std::u16string record = DestinationRecord(entry, u"", AdditionsOf(m_engine.Get(), entry));
    float x = 0, y = 0;
    std::u16string placeLine, streetLine, place, name, extra, houseNumber;
    std::uint8_t userDefined = 0;
    (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, name, extra, houseNumber,
                           userDefined);
    EXPECT_EQ(placeLine, u"Nendeln, Eschen");
    EXPECT_EQ(streetLine, street->GetName());
}

// A street's name may go on into the next town, and the crawl that collects its elements with
// it: a street chosen in a town without a house number is located on its part in that town, in
// every municipality of the extract (Balzers' Landstrasse in Balzers, not where Triesen's ends).
TEST_F(ExtractDestinations, AStreetWithoutANumberIsLocatedInTheTownItWasChosenIn) {
    const auto townOf = [&](std::uint32_t element) {
        const std::int32_t area = m_engine->GetAreaOfElement(element);
        return area < 0 ? -1 : m_engine->WalkAreaHierarchy(static_cast<std::uint32_t>(area), 2);
    };
    std::size_t streets = 0;
    std::size_t crossing = 0; // streets whose elements lie in more than one town
    for (const char16_t* name :
         {u"Balzers", u"Eschen", u"Gamprin", u"Mauren", u"Planken", u"Ruggell", u"Schaan",
          u"Schellenberg", u"Triesen", u"Triesenberg", u"Vaduz"}) {
        const AddressCursorPtr cities = m_engine->FindCities(name, 0);
        ASSERT_TRUE(cities && cities->IsValid());
        const std::int32_t area = cities->GetCurrent()->GetAreaId();
        const std::int32_t town = m_engine->WalkAreaHierarchy(static_cast<std::uint32_t>(area), 2);
        ASSERT_NE(town, -1);
        for (auto cursor = m_engine->FindInArea(static_cast<std::uint32_t>(area), u"");
             cursor && cursor->IsValid(); cursor->Next()) {
            const GeoMoleculePtr street = cursor->GetCurrent();
            ASSERT_TRUE(street);
            const std::vector<std::uint32_t> ids = street->GetElementIds();
            ++streets;
            crossing += std::any_of(ids.begin(), ids.end(),
                                    [&](std::uint32_t id) { return townOf(id) != town; })
                            ? 1
                            : 0;
            const AddressLocation at = LocatedStreet(street, HouseNumber()).GetLocation();
            const std::int32_t located = townOf(at.elementId);
            EXPECT_EQ(located == -1 ? u""
                                    : m_engine->LookupArea(static_cast<std::uint32_t>(located)),
                      name)
                << testing::PrintToString(street->GetName());
        }
    }
    EXPECT_GT(streets, 500u);
    EXPECT_GT(crossing, 20u);
}

} // namespace
