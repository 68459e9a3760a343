#include "app/destinations/addresspage.h"
#include "app/destinations/storeddestinationlist.h"
#include "app/destinations/uddrecord.h"
#include "app/pages/tests/listrows.h"
#include "app/pages/tourlist.h"
#include "app/tests/pagedevice.h"
#include "app/tests/recordingmode.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/datafolderwriter.h"
#include "testdata/destinationwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/modules.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resourcebundle.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr char16_t kTourSettings[] = u"\\Windows\\Quarn.ini";
// The link of "Waldstrasse" in the grid town, from node 3 to 4.
constexpr std::uint32_t kTourWaldLink = 5;

// The town "Karlsruhe": "Kaiserstrasse" (numbers 1-21, 2-20), "Waldstrasse", "Am Bahnhof" with
// the fuel station "Tankstelle" beside it; a server over it, the tour page's device and a page
// over a recording mode.
class TourListTest : public testing::Test {
protected:
    void SetUp() override {
        testdata::DataFolderDatabase database = testdata::GridTownDatabase(1);
        testdata::WorldMapSetOptions& map = database.mapSet;
        map.countries[kTourWaldLink] = 2;
        const GeoPoint station = database.world.PointAlong(4, 5, 0.5);
        m_station = {station.x, station.y + 0.0002f};
        map.points.push_back(
            {DegreesToMapPoint(m_station), maprecord::kFirstPoiType, std::nullopt, "Tankstelle"});
        map.pointTreeAreas[1] = 0;
        map.countryNames.push_back({2, 0, "Oesterreich"});
        // The town lies in the region "Baden".
        map.treeAreas.at(0).parent = 1;
        map.treeAreas.push_back({"Baden", 2, -1, 0, map.treeAreas.at(0).rect});
        m_kaiser = database.world.PointAlong(0, 1, 0.5);
        m_wald = database.world.PointAlong(3, 4, 0.5);
        testdata::DataFolderWriter writer(u"\\Data");
        writer.AddDatabase(std::move(database))
            .Setting("Properties", "Language", "0")
            .Setting("GPS", "AutoLog", "0");
        ASSERT_TRUE(writer.WriteTo(m_root, kTourSettings).has_value());
        platform::ResourceBundle bundle;
        bundle.strings = {{431, u"Tour"},
                          {471, u"Stops"},
                          {472, u"Input"},
                          {501, u"Start"},
                          {528, u"Delete"},
                          {538, u"Yes"},
                          {539, u"No"},
                          {561, u"Menu"},
                          {581, u"Calculate"},
                          {1111, u"Up"},
                          {1113, u"Down"},
                          {1119, u"Delete all"},
                          {1120, u"Delete all?"},
                          {1047, u"OK"},
                          {1149, u"Not found: <@>"},
                          {1196, u"Point"},
                          {StoredDestinationList::kUnusableFileMessageId, u"Damaged: %s"}};
        m_module = apptesting::InstallPageDevice(m_root, bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(256));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
        PickedDestination::Instance().Clear();
        m_page = std::make_unique<TourList>(m_server, &m_mode, &m_stops);
        ShowPageWindow(m_page->GetPageHandle(), true);
        m_driver.RunUntilIdle();
    }
    void TearDown() override {
        m_page.reset();
        PickedDestination::Instance().Clear();
        m_server.Release();
        m_engine.Release();
        apptesting::RemovePageDevice(m_module);
    }

    [[nodiscard]] static std::u16string Udd(GeoPoint at, std::u16string place,
                                            std::u16string street, bool userDefined) {
        return testdata::UddRecordText(
            {at.x, at.y, std::move(place), std::move(street), u"", u"", u"", u"", userDefined});
    }
    void PutStore(const std::vector<std::u16string>& records) {
        ASSERT_TRUE(m_root.WriteFile(AppPaths::GetRoutePointsFilePath(),
                                     testdata::WriteListSection("DestList", records)));
    }
    // The street field of each stored record, up to the first empty value.
    [[nodiscard]] static std::vector<std::u16string> StoredStreets() {
        std::vector<std::u16string> streets;
        const StoredDestinationList store(AppPaths::GetRoutePointsFilePath(), u"DestList");
        for (const std::u16string& record : store.Records()) {
            float x = 0, y = 0;
            std::u16string placeLine, streetLine, place, street, extra, number;
            std::uint8_t userDefined = 0;
            (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra,
                                   number, userDefined);
            streets.push_back(street);
        }
        return streets;
    }
    [[nodiscard]] std::vector<std::u16string> StopTexts() const {
        std::vector<std::u16string> texts;
        for (const DestinationEntry& stop : m_stops)
            texts.push_back(stop.secondText);
        return texts;
    }
    [[nodiscard]] std::vector<std::u16string> Items() const {
        std::vector<std::u16string> items;
        const CustomListBox* list = m_page->GetListBox();
        for (int i = 0; i < list->GetCount(); ++i)
            items.push_back(list->GetText(i));
        return items;
    }
    [[nodiscard]] int Selected() const { return m_page->GetListBox()->GetCurSel(); }
    void Select(int index) {
        SendMessageW(m_page->GetListBox()->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(index),
                     0);
    }
    void Command(UINT id) {
        SendMessageW(m_page->GetHwnd(), WM_COMMAND, id, 0);
        m_driver.RunUntilIdle();
    }
    [[nodiscard]] bool Enabled(UINT id) const {
        return IsWindowEnabled(GetDlgItem(m_page->GetHwnd(), static_cast<int>(id))) != FALSE;
    }
    // The destination input's selection of "Kaiserstrasse 12" in Karlsruhe, Deutschland; a
    // part the data set does not give stays null.
    [[nodiscard]] DestinationDescription KaiserstrasseTwelve() const {
        const RetrievalEngine::RetrievalEnginePtr engine = m_server->GetRetrievalEngine();
        DestinationDescription street;
        street.country = engine->GetCountry(1, 0);
        if (AddressCursorPtr cities = engine->FindCities(u"Karlsruhe", 0);
            cities && cities->IsValid())
            street.city = cities->GetCurrent();
        street.street =
            FindStreetNearPoint(m_server, m_kaiser.x, m_kaiser.y, u"Kaiserstrasse", u"Karlsruhe");
        street.houseNumber = u"12";
        return street;
    }
    // A point of the town as the pending picked destination named name.
    void Pick(const std::u16string& name, GeoPoint at) {
        PickedDestination& picked = PickedDestination::Instance();
        picked.Clear();
        const std::uint32_t none = 0xFFFFFFFFu;
        (void)m_server->CreatePositionDestination(picked.destination, &none, &at);
        picked.pending = 1;
        picked.named = 1;
        picked.nameText = name;
        picked.placeName = u"Karlsruhe";
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    RecordingMode m_mode;
    std::vector<DestinationEntry> m_stops;
    std::unique_ptr<TourList> m_page;
    GeoPoint m_kaiser{}, m_wald{}, m_station{};
};

TEST_F(TourListTest, LoadMatchesEachRecordAndDropsOnlyTheUnmatched) {
    const GeoPoint nowhere{m_wald.x + 0.5f, m_wald.y + 0.5f};
    const std::u16string kaiser = Udd(m_kaiser, u"Karlsruhe", u"Kaiserstrasse 12", false);
    const std::u16string station = Udd(m_station, u"Karlsruhe", u"Am Bahnhof Nord 5", false);
    const std::u16string city = Udd(nowhere, u"Karlsruhe", u"Marktplatz", false);
    const std::u16string fuel = Udd(m_station, u"Karlsruhe", u"Tankstelle", true);
    const std::u16string point = Udd(m_wald, u"Karlsruhe", u"", true);
    const std::u16string lost = Udd(nowhere, u"Atlantis", u"Nirgendwo", false);
    const struct {
        const char* name;
        std::vector<std::u16string> store;
        std::vector<std::u16string> stops;       // second texts
        std::vector<std::u8string> lastLines;    // of each item
        std::vector<std::u16string> storedAfter; // street fields
        int boxes;
    } cases[] = {
        {"street with its number, shortened once",
         {kaiser},
         {u"Kaiserstrasse"},
         {u8"Kaiserstrasse 12"},
         {u"Kaiserstrasse 12"},
         0},
        {"street shortened word by word",
         {station},
         {u"Am Bahnhof"},
         {u8"Am Bahnhof Nord 5"},
         {u"Am Bahnhof Nord 5"},
         0},
        {"one word, then the city", {city}, {u"Karlsruhe"}, {u8"Marktplatz"}, {u"Marktplatz"}, 0},
        {"named point of interest", {fuel}, {u"Tankstelle"}, {u8"Tankstelle"}, {u"Tankstelle"}, 0},
        {"nameless point", {point}, {u""}, {u8"Point"}, {u""}, 0},
        {"unmatched record removed, the rest loads",
         {kaiser, lost, fuel},
         {u"Kaiserstrasse", u"Tankstelle"},
         {u8"Kaiserstrasse 12", u8"Tankstelle"},
         {u"Kaiserstrasse 12", u"Tankstelle"},
         1},
        {"gap at key 1",
         {kaiser, u"", fuel},
         {u"Kaiserstrasse"},
         {u8"Kaiserstrasse 12"},
         {u"Kaiserstrasse 12"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PutStore(c.store);
        int boxes = 0;
        std::vector<platform::ScriptStep> answers;
        for (int i = 0; i < c.boxes; ++i) {
            answers.push_back(platform::ScriptStep::Run([&boxes] {
                ++boxes;
                SendMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
            }));
        }
        m_driver.PlayWhenIdle(std::move(answers));
        m_page->LoadTourPoints();
        m_driver.RunUntilIdle();
        EXPECT_FALSE(m_driver.RanOutOfScript());
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(StopTexts(), c.stops);
        const std::vector<std::u16string> items = Items();
        ASSERT_EQ(items.size(), c.lastLines.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::u16string last = items[i].substr(items[i].rfind(u'\n') + 1);
            EXPECT_EQ(last, std::u16string(c.lastLines[i].begin(), c.lastLines[i].end()));
        }
        EXPECT_EQ(StoredStreets(), c.storedAfter);
        EXPECT_EQ(Selected(), 0);
        // Keys behind a gap stay as they were.
        if (c.store.size() == 3 && c.store[1].empty()) {
            EXPECT_EQ(IniProfile::GetString(u"DestList", u"2",
                                            AppPaths::GetRoutePointsFilePath().c_str(), u""),
                      fuel);
        }
        EXPECT_EQ(HasStoredTourPoints(), !c.storedAfter.empty());
    }
}

TEST_F(TourListTest, NewStopsShowTheirAreasAsTheStoreGivesThemBack) {
    const DestinationDescription street = KaiserstrasseTwelve();
    ASSERT_TRUE(street.country && street.city && street.street);
    DestinationDescription town = street;
    town.street = nullptr;
    town.houseNumber.clear();
    // The region holds the town; the street's own area, the town, follows the street. The
    // street's second name is its name: no brackets.
    const struct {
        const char* name;
        const DestinationDescription& selection;
        std::u16string item;
    } cases[] = {
        {"street", street, u"Deutschland\nKarlsruhe, Baden\nKaiserstrasse 12, Karlsruhe"},
        {"town", town, u"Deutschland\nKarlsruhe, Baden\nKarlsruhe"},
    };
    PutStore({});
    m_page->LoadTourPoints();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_page->AddTourPoint(c.selection, -1));
        EXPECT_EQ(Items().back(), c.item);
    }
    const std::vector<std::u16string> added = Items();
    m_page->LoadTourPoints();
    m_driver.RunUntilIdle();
    EXPECT_EQ(Items(), added);
}

TEST_F(TourListTest, EachItemLeadsWithTheCountryOfItsStop) {
    const std::u16string kaiser = Udd(m_kaiser, u"Karlsruhe", u"Kaiserstrasse 12", false);
    const std::u16string station = Udd(m_station, u"Karlsruhe", u"Am Bahnhof 5", false);
    const std::u16string wald = Udd(m_wald, u"Karlsruhe", u"", true);
    const struct {
        std::vector<std::u16string> store;
        std::vector<std::u16string> firstLines;
    } cases[] = {
        {{kaiser, wald, station}, {u"Deutschland", u"Oesterreich", u"Deutschland"}},
        {{wald, kaiser, wald}, {u"Oesterreich", u"Deutschland", u"Oesterreich"}},
    };
    for (const auto& c : cases) {
        PutStore(c.store);
        m_page->LoadTourPoints();
        m_driver.RunUntilIdle();
        std::vector<std::u16string> firstLines;
        for (const std::u16string& item : Items())
            firstLines.push_back(item.substr(0, item.find(u'\n')));
        EXPECT_EQ(firstLines, c.firstLines);
    }
}

TEST_F(TourListTest, EditingKeepsListVectorAndStoreInStep) {
    PutStore({});
    m_page->LoadTourPoints();
    const auto add = [this](const char16_t* name, int position) {
        return [this, name, position] {
            Pick(name, m_wald);
            return m_page->AddTourPoint({}, position);
        };
    };
    const auto act = [this](int select, UINT command) {
        return [this, select, command] {
            Select(select);
            Command(command);
            return true;
        };
    };
    const struct {
        const char* name;
        std::function<bool()> step;
        bool result;
        std::vector<std::u16string> stops;
        int selected;
    } steps[] = {
        {"append", add(u"A", -1), true, {u"A"}, 0},
        {"append", add(u"B", -1), true, {u"A", u"B"}, 1},
        {"append", add(u"C", -1), true, {u"A", u"B", u"C"}, 2},
        {"replace with nothing",
         [this] {
             PickedDestination::Instance().pending = 0;
             return m_page->AddTourPoint({}, 1);
         },
         false,
         {u"A", u"B", u"C"},
         2},
        {"replace beyond the list appends", add(u"D", 7), true, {u"A", u"B", u"C", u"D"}, 3},
        {"replace the first", add(u"E", 0), true, {u"E", u"B", u"C", u"D"}, 0},
        {"delete the first", act(0, TourList::kDeleteId), true, {u"B", u"C", u"D"}, 0},
        {"delete the last", act(2, TourList::kDeleteId), true, {u"B", u"C"}, 1},
        {"move up the first", act(0, TourList::kMoveUpId), true, {u"B", u"C"}, 0},
        {"move down the last", act(1, TourList::kMoveDownId), true, {u"B", u"C"}, 1},
        {"move down without selection", act(-1, TourList::kMoveDownId), true, {u"B", u"C"}, -1},
        {"move down the first", act(0, TourList::kMoveDownId), true, {u"C", u"B"}, 1},
        {"move up the last", act(1, TourList::kMoveUpId), true, {u"B", u"C"}, 0},
        {"delete without selection", act(-1, TourList::kDeleteId), true, {u"B", u"C"}, -1},
        {"delete one", act(0, TourList::kDeleteId), true, {u"C"}, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(s.step(), s.result);
        m_driver.RunUntilIdle();
        EXPECT_EQ(StopTexts(), s.stops);
        EXPECT_EQ(StoredStreets(), s.stops);
        EXPECT_EQ(Items().size(), s.stops.size());
        EXPECT_EQ(Selected(), s.selected);
        const std::size_t n = s.stops.size();
        EXPECT_EQ(Enabled(TourList::kCalculateId), n >= 2);
        for (UINT id : {TourList::kDeleteId, TourList::kNavStartId, TourList::kDeleteAllId})
            EXPECT_EQ(Enabled(id), n >= 1) << id;
        EXPECT_TRUE(Enabled(TourList::kMoveUpId));
        EXPECT_TRUE(Enabled(TourList::kMoveDownId));
    }
    // "No" keeps the stops, "Yes" clears list, vector and store.
    for (const UINT answer : {539u, 538u}) {
        m_driver.PlayWhenIdle({platform::ScriptStep::Run(
            [answer] { SendMessageW(GetActiveWindow(), WM_COMMAND, answer, 0); })});
        Command(TourList::kDeleteAllId);
        EXPECT_FALSE(m_driver.RanOutOfScript());
        const std::vector<std::u16string> left =
            answer == 538u ? std::vector<std::u16string>{} : std::vector<std::u16string>{u"C"};
        EXPECT_EQ(StopTexts(), left);
        EXPECT_EQ(StoredStreets(), left);
        EXPECT_EQ(Items().size(), left.size());
    }
    EXPECT_FALSE(HasStoredTourPoints());
    EXPECT_FALSE(Enabled(TourList::kDeleteAllId));
}

TEST_F(TourListTest, CommandsAndKeysGoToTheMode) {
    Pick(u"A", m_wald);
    ASSERT_TRUE(m_page->AddTourPoint({}, -1));
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        std::vector<std::string> calls;
    } cases[] = {
        {"Calculate", WM_COMMAND, TourList::kCalculateId, {"OnPageCommand(2)"}},
        {"Input", WM_COMMAND, TourList::kInputId, {"OnPageCommand(6)"}},
        {"main menu", WM_COMMAND, 553, {"Deactivate(0)"}},
        {"guidance", WM_COMMAND, TourList::kNavStartId, {"SetStopIndex(0)", "OnPageCommand(12)"}},
        {"Esc", WM_KEYDOWN, VK_ESCAPE, {"OnPageCommand(6)"}},
        {"Enter", WM_KEYDOWN, VK_RETURN, {"OnPageCommand(6)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Select(0);
        PickedDestination::Instance().pending = 1;
        m_mode.ClearCalls();
        SendMessageW(m_page->GetHwnd(), c.message, c.wParam, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(m_mode.Calls(), c.calls);
        if (c.message == WM_COMMAND) {
            EXPECT_EQ(PickedDestination::Instance().pending, 0);
        }
    }
}

// The six languages' bundles as the program is installed with them.
TEST_F(TourListTest, RowsHoldTheirLinesAndButtonsTheirCaptionsInEveryLanguage) {
    constexpr int kCaptionIndent = 16;
    const DestinationDescription street = KaiserstrasseTwelve();
    ASSERT_TRUE(street.country && street.city && street.street);
    for (const char* language : {"Ger", "Eng", "Fre", "Spa", "Ita", "Dut"}) {
        SCOPED_TRACE(language);
        m_page.reset();
        apptesting::RemovePageDevice(m_module);
        const auto bytes = testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGES_DIR) /
                                                  (std::string("Lang") + language + "CE.dll"));
        ASSERT_TRUE(bytes);
        const auto bundle = platform::ReadResourceBundle(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
        ASSERT_TRUE(bundle);
        m_module = apptesting::InstallPageDevice(m_root, *bundle, NAV_SCREEN_DESC_FILE);
        ASSERT_NE(m_module, nullptr);
        m_page = std::make_unique<TourList>(m_server, &m_mode, &m_stops);
        ShowPageWindow(m_page->GetPageHandle(), true);
        PutStore({});
        m_page->LoadTourPoints();
        // A picked point (two lines), then two addresses (three lines: country, town, street).
        Pick(u"Tankstelle", m_station);
        ASSERT_TRUE(m_page->AddTourPoint({}, -1));
        ASSERT_TRUE(m_page->AddTourPoint(street, -1));
        ASSERT_TRUE(m_page->AddTourPoint(street, -1));
        m_driver.RunUntilIdle();

        const CustomListBox* list = m_page->GetListBox();
        ASSERT_NE(list->GetFont(), nullptr);
        EXPECT_EQ(list->GetItemHeight(), TallestItemText(*list));
        // Four lines at most: the list still shows two stops whole.
        EXPECT_GE(list->GetVisibleRows(), 2);
        HDC dc = GetDC(m_page->GetHwnd());
        HGDIOBJ old = SelectObject(dc, m_page->GetTitleFont());
        HWND title = GetDlgItem(m_page->GetHwnd(), static_cast<int>(TourList::kTitleLabelId));
        ASSERT_NE(title, nullptr);
        TEXTMETRICW metrics{};
        ASSERT_TRUE(GetTextMetricsW(dc, &metrics));
        RECT label{};
        GetClientRect(title, &label);
        EXPECT_LE(metrics.tmHeight, label.bottom) << "the title's descenders are cut";
        SelectObject(dc, m_page->GetButtonFont());
        for (const UINT id : {TourList::kCalculateId, TourList::kInputId, TourList::kDeleteId,
                              TourList::kMainMenuId, TourList::kNavStartId, TourList::kDeleteAllId,
                              TourList::kMoveUpId, TourList::kMoveDownId}) {
            HWND button = GetDlgItem(m_page->GetHwnd(), static_cast<int>(id));
            ASSERT_NE(button, nullptr) << id;
            std::u16string caption(64, u'\0');
            caption.resize(static_cast<std::size_t>(
                GetWindowTextW(button, caption.data(), static_cast<int>(caption.size()))));
            EXPECT_FALSE(caption.empty()) << id;
            SIZE extent{};
            ASSERT_TRUE(GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()),
                                              &extent));
            RECT face{};
            GetClientRect(button, &face);
            EXPECT_LE(extent.cx, face.right - kCaptionIndent) << platform::Utf16ToUtf8(caption);
        }
        SelectObject(dc, old);
        ReleaseDC(m_page->GetHwnd(), dc);
    }
}

} // namespace
