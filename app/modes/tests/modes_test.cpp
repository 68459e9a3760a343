// The modes over a generated town: the route options record, the stored "Recent" and
// "Personal" lists, failed route requests, the pedestrian-zone phrase, the tour leg by leg, the
// page commands and the wait for a GPS fix.
#include "app/destinations/destinationinputpage.h"
#include "app/modes/tests/modetesting.h"
#include "app/pages/cnmappage.h"
#include "app/pages/navshowpage.h"
#include "app/pages/routelist.h"
#include "app/pages/tourlist.h"
#include "app/settings/optionspage.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/mapview.h"
#include "testdata/destinationwriter.h"
#include "ui/progressdlg.h"
#include "ui/tmcmonitor.h"

#include "platform/kernel/codepage.h"
#include "platform/window/shell.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

namespace {

using modetesting::ModeFixture;
using modetesting::ScriptedServer;

class ModesTest : public ModeFixture {
protected:
    void TearDown() override {
        m_tour.reset();
        m_navigation.reset();
        ModeFixture::TearDown();
    }
    NavigationMode& Navigation() {
        if (!m_navigation) {
            m_navigation = std::make_unique<NavigationMode>(Context());
            m_navigation->Activate(-1, 0);
            m_driver.RunUntilIdle();
        }
        return *m_navigation;
    }
    TourMode& Tour() {
        if (!m_tour) {
            m_tour = std::make_unique<TourMode>(Context());
            m_tour->Activate(-1, 0);
            m_driver.RunUntilIdle();
        }
        return *m_tour;
    }
    // The street "Waldstrasse" of "Karlsruhe" as the main page would compose it.
    void ComposeWald(DestinationDescription& description) {
        RetrievalEngine::RetrievalEnginePtr engine = m_server->GetRetrievalEngine();
        AddressCursorPtr cities = engine->FindCities(u"Karlsruhe", 0);
        ASSERT_TRUE(cities && cities->IsValid());
        description.city = cities->GetCurrent();
        description.street =
            FindStreetNearPoint(m_server, m_wald.x, m_wald.y, u"Waldstrasse", u"Karlsruhe");
        ASSERT_TRUE(description.street);
        description.location = nullptr;
        description.houseNumber.clear();
    }
    [[nodiscard]] static bool IsPanelOn() {
        SIPINFO info{};
        info.cbSize = 48;
        SHSipInfo(SPI_GETSIPINFO, 0, &info, 0);
        return (info.fdwFlags & SIPF_ON) != 0;
    }

    std::unique_ptr<NavigationMode> m_navigation;
    std::unique_ptr<TourMode> m_tour;
};

TEST_F(ModesTest, RouteOptionsRecordFieldByField) {
    struct Case {
        const char* name;
        bool quickest, highways, ferries, tolls, dynamic;
        std::optional<const char16_t*> quality; // "Zudav"/"RouteQuality"; none: missing
        std::uint32_t motorway, ferry, toll;
        float custom, mix;
    };
    const Case cases[] = {
        {"as the page starts: all avoided, dynamic", false, false, false, false, true, std::nullopt,
         3, 3, 3, 0.25f, 0.1f},
        {"all allowed, shortest without dynamic", false, true, true, true, false, u"100", 0, 0, 0,
         1.0f, 0.8f},
        {"quickest without dynamic, motorways only", true, true, false, false, false, u"50", 0, 3,
         3, 0.5f, 0.1f},
    };
    NavigationMode& mode = Navigation();
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        (void)IniProfile::WriteString(u"Zudav", u"RouteQuality", c.quality.value_or(u""),
                                      settings.c_str());
        if (!c.quality) {
            ASSERT_TRUE(IniProfile::WriteSection(u"Zudav", {}, settings.c_str()));
        }
        NavOptPage page(c.quickest, c.highways, c.ferries, c.tolls, c.dynamic);
        mode.TakeOptions(page);
        ExternalRouteOptions kept(1, 1);
        for (std::size_t i = 0; i < kept.speed.size(); ++i) {
            kept.speed[i] = static_cast<std::uint16_t>(50 + i);
            kept.preference[i] = 1;
        }
        kept.travelMode = 7;
        ExternalRouteOptions record = kept;
        mode.BuildRouteOptions(record);
        ExternalRouteOptions expected = kept;
        expected.speed[6] = 35;
        expected.speed[7] = 25;
        expected.speed[12] = 30;
        expected.preference[0] = c.motorway;
        expected.preference[8] = c.motorway;
        expected.specialLinkPreference = c.ferry;
        expected.extraLinkPreference = c.toll;
        expected.routeType = 2;
        expected.customFactor = c.custom;
        expected.mixWeight = c.mix;
        EXPECT_EQ(record, expected);
        std::uint32_t word = 0;
        std::memcpy(&word, reinterpret_cast<const unsigned char*>(&record) + 12, sizeof word);
        EXPECT_EQ(word, 0x00190023u);
    }
}

TEST_F(ModesTest, HasRecentLooksAtKeyZeroOnly) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::u16string, std::u16string>> keys;
        bool expected;
    };
    const Case cases[] = {
        {"only key 1", {{u"1", u"x"}}, false},
        {"key 0 empty", {{u"0", u""}, {u"1", u"x"}}, false},
        {"key 0", {{u"0", u"x"}}, true},
    };
    NavigationMode& mode = Navigation();
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(IniProfile::WriteSection(u"Recent", c.keys, settings.c_str()));
        ASSERT_TRUE(IniProfile::WriteSection(u"Personal", c.keys, settings.c_str()));
        EXPECT_EQ(mode.HasRecent(), c.expected);
        EXPECT_EQ(mode.HasPersonal(), c.expected);
    }
}

TEST_F(ModesTest, RecentMovesARepeatToTheFrontAndKeepsTen) {
    NavigationMode& mode = Navigation();
    const auto streets = [] {
        std::vector<std::u16string> result;
        for (const std::u16string& record : List(u"Recent"))
            result.push_back(StreetOf(record));
        return result;
    };
    for (int i = 0; i < 11; ++i) {
        const GeoPoint at{m_kaiser.x + 0.0001f * static_cast<float>(i), m_kaiser.y};
        const std::string name = "S" + std::to_string(i);
        mode.AddToDestinationList(u"Recent", 10,
                                  At(kKaiserLink, at, std::u16string(name.begin(), name.end())));
    }
    EXPECT_EQ(streets(), (std::vector<std::u16string>{u"S10", u"S9", u"S8", u"S7", u"S6", u"S5",
                                                      u"S4", u"S3", u"S2", u"S1"}));
    const GeoPoint five{m_kaiser.x + 0.0005f, m_kaiser.y};
    mode.AddToDestinationList(u"Recent", 10, At(kKaiserLink, five, u"S5"));
    EXPECT_EQ(streets(), (std::vector<std::u16string>{u"S5", u"S10", u"S9", u"S8", u"S7", u"S6",
                                                      u"S4", u"S3", u"S2", u"S1"}));
    // A destination without a location is not stored.
    mode.AddToDestinationList(u"Recent", 10, DestinationEntry{});
    EXPECT_EQ(streets().front(), u"S5");

    // A calculated route goes first; "SaveAs" puts it into "Personal".
    ComposeWald(mode.GetDescription());
    m_scripted->Script({ScriptedServer::kPassThrough});
    ASSERT_TRUE(mode.CalculateRoute(true));
    EXPECT_EQ(streets().size(), 10u);
    EXPECT_EQ(streets().front(), u"Waldstrasse");
    mode.AddDestinationToList(u"Personal", DestinationInputPage::kPersonalListSize);
    ASSERT_EQ(List(u"Personal").size(), 1u);
    EXPECT_EQ(StreetOf(List(u"Personal")[0]), u"Waldstrasse");
    EXPECT_TRUE(mode.HasPersonal());
}

TEST_F(ModesTest, StoredDestinationsCarryTheAreasThatHoldThemAndTheirQualifiers) {
    struct Case {
        const char* name;
        std::function<void(NavigationMode&)> store; // puts one destination into "Personal"
        std::u16string placeLine;
        std::u16string streetLine;
    };
    const auto entry = [this](std::uint32_t link, GeoPoint at, std::u16string place,
                              std::u16string street, std::u16string qualifier) {
        DestinationEntry made = At(link, at, std::move(street));
        made.name = std::move(place);
        made.placeQualifier = std::move(qualifier);
        return made;
    };
    const auto add = [](DestinationEntry made) {
        return [made](NavigationMode& mode) {
            mode.AddToDestinationList(u"Personal", DestinationInputPage::kPersonalListSize, made);
        };
    };
    const Case cases[] = {
        // The composed street: its district follows it; the town repeats the place and the
        // street's second name its name, so neither is shown.
        {"composed street",
         [this](NavigationMode& mode) {
             ComposeWald(mode.GetDescription());
             mode.AddDestinationToList(u"Personal", DestinationInputPage::kPersonalListSize);
         },
         u"Karlsruhe", u"Waldstrasse, Suedstadt"},
        {"place in the town", add(entry(kKaiserLink, m_kaiser, u"Durlach", u"Kaiserstrasse", u"")),
         u"Durlach, Karlsruhe", u"Kaiserstrasse"},
        {"district for itself with a postal code",
         add(entry(kWaldLink, m_wald, u"Suedstadt", u"Suedstadt", u"76137")),
         u"Suedstadt (76137), Karlsruhe", u"Suedstadt"},
    };
    NavigationMode& mode = Navigation();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.store(mode);
        const std::vector<std::u16string> stored = List(u"Personal");
        ASSERT_FALSE(stored.empty());
        float x = 0, y = 0;
        std::u16string placeLine, streetLine, place, street, extra, number;
        std::uint8_t userDefined = 0;
        (void)UddRecord::Parse(stored.front(), x, y, placeLine, streetLine, place, street, extra,
                               number, userDefined);
        EXPECT_EQ(placeLine, c.placeLine);
        EXPECT_EQ(streetLine, c.streetLine);
    }
    // The same destinations stored earlier without area names: storing one again replaces its
    // old record instead of adding a second.
    std::vector<std::u16string> old;
    for (const std::u16string& record : List(u"Personal")) {
        float x = 0, y = 0;
        std::u16string placeLine, streetLine, place, street, extra, number;
        std::uint8_t userDefined = 0;
        (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra, number,
                               userDefined);
        old.push_back(UddRecord::Build(x, y, place.c_str(), street.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr, userDefined != 0));
    }
    ASSERT_EQ(old.size(), std::size(cases));
    std::vector<std::pair<std::u16string, std::u16string>> keys;
    for (std::size_t i = 0; i < old.size(); ++i)
        keys.emplace_back(std::u16string(1, static_cast<char16_t>(u'0' + i)), old[i]);
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    ASSERT_TRUE(IniProfile::WriteSection(u"Personal", keys, settings.c_str()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.store(mode);
        EXPECT_EQ(List(u"Personal").size(), old.size());
    }
}

// A settings file ending in zeros (a power loss), or one without write permission (which binds
// every user), keeps its lists: a destination stored into "Recent" or "Personal" is refused, and
// the refusal is reported (once) to the handler of its cause for the user to hear.
TEST_F(ModesTest, ASettingsFileThatCannotTakeAListKeepsItsListsAndIsReported) {
    NavigationMode& mode = Navigation();
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    const std::filesystem::path host = m_root.HostPathOf(settings);
    for (const bool isDamaged : {true, false}) {
        SCOPED_TRACE(isDamaged ? "damaged" : "read-only");
        const std::string kept = testdata::WriteListSection(
            "Recent", {u"2|9.52|47.14|Vaduz|Kirchstrasse|    |"}, "[Personal]\r\n",
            isDamaged ? testdata::ListSectionFault::ZeroedTail : testdata::ListSectionFault::None);
        std::error_code error; // the file is missing at first
        std::filesystem::permissions(host, std::filesystem::perms::owner_all, error);
        ASSERT_TRUE(m_root.WriteFile(settings, kept));
        if (!isDamaged) {
            std::filesystem::permissions(host, std::filesystem::perms::owner_read);
        }
        std::vector<std::u16string> damaged;
        std::vector<std::u16string> unsaved;
        IniProfile::SetDamagedFileHandler(
            [&damaged](const std::u16string& path) { damaged.push_back(path); });
        IniProfile::SetUnsavedFileHandler(
            [&unsaved](const std::u16string& path) { unsaved.push_back(path); });
        for (const char16_t* section : {u"Recent", u"Personal", u"Recent"}) {
            SCOPED_TRACE(platform::WideToAnsi(section));
            mode.AddToDestinationList(section, 10, At(kKaiserLink, m_kaiser, u"Kaiserstrasse"));
            EXPECT_EQ(isDamaged ? damaged : unsaved, std::vector<std::u16string>{settings});
            EXPECT_TRUE((isDamaged ? unsaved : damaged).empty());
            EXPECT_EQ(m_root.ReadFile(settings).value_or(""), kept);
        }
        IniProfile::SetDamagedFileHandler({});
        IniProfile::SetUnsavedFileHandler({});
    }
    std::filesystem::permissions(host, std::filesystem::perms::owner_all);
}

TEST_F(ModesTest, FailedRequestsTellWhyAndWhere) {
    struct Case {
        std::uint32_t code;
        UINT textId;
        bool startSide;
    };
    const Case cases[] = {{2, 1086, true},   {3, 1086, true},   {5, 543, true},
                          {13, 1090, true},  {14, 1090, false}, {16, 1079, true},
                          {17, 1074, true},  {18, 1074, true},  {19, 1079, false},
                          {20, 1074, false}, {21, 1074, false}, {99, 536, false}};
    NavigationMode& mode = Navigation();
    mode.GetStops() = {At(kWaldLink, m_wald, u"Waldstrasse")};
    mode.GetStops()[0].name = u"Wald";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        m_failures.clear();
        m_scripted->Script({c.code});
        mode.SetStopIndex(0);
        EXPECT_FALSE(mode.CalculateRoute(true));
        ASSERT_EQ(m_failures.size(), 1u);
        EXPECT_EQ(m_failures[0].textId, c.textId);
        // The start side names no point: the current position is shown.
        EXPECT_EQ(m_failures[0].insert, c.startSide ? u"" : u"Wald");
        EXPECT_EQ(mode.IsStartSideFailure(), c.startSide);
        EXPECT_TRUE(List(u"Recent").empty());
    }
}

TEST_F(ModesTest, FailureAnswersShowTheMainPageOrTheDestinationMap) {
    NavigationMode& mode = Navigation();
    mode.GetStops() = {At(kWaldLink, m_wald, u"Waldstrasse")};
    // The place comes from the map: the area the destination lies in.
    mode.GetStops()[0].name = u"Elsewhere";
    // "Back" after a start-side failure: the description made again from the destination.
    m_failureAnswer = ModeControllerBase::kAnswerBack;
    m_scripted->Script({2});
    mode.SetStopIndex(0);
    ShowWindow(mode.GetMainPage()->GetHwnd(), SW_HIDE);
    EXPECT_FALSE(mode.CalculateRoute(false));
    EXPECT_TRUE(mode.IsBackChosen());
    EXPECT_TRUE(Visible(mode.GetMainPage()));
    EXPECT_TRUE(mode.IsMainPageShown());
    // From the options page ("NavStart"): the options page gives way, the input panel is on.
    m_scripted->Script({2});
    ShowPageWindow(mode.GetOptionsPage()->GetPageHandle(), true);
    ShowWindow(mode.GetMainPage()->GetHwnd(), SW_HIDE);
    mode.OnPageCommand(4, mode.GetOptionsPage()->GetHwnd());
    EXPECT_TRUE(Visible(mode.GetMainPage()));
    EXPECT_FALSE(Visible(mode.GetOptionsPage()));
    EXPECT_TRUE(IsPanelOn());
    ASSERT_TRUE(mode.GetDescription().street);
    EXPECT_EQ(mode.GetDescription().street->GetName(), u"Waldstrasse");
    ASSERT_TRUE(mode.GetDescription().city);
    EXPECT_EQ(mode.GetDescription().city->GetName(), u"Karlsruhe");
    // "ShowMap" after a destination-side failure.
    m_failureAnswer = ModeControllerBase::kAnswerShowMap;
    m_scripted->Script({19});
    EXPECT_FALSE(mode.CalculateRoute(false));
    EXPECT_TRUE(Visible(mode.GetDestinationMapPage()));
    EXPECT_FALSE(mode.IsMainPageShown());
    const MapView* view = mode.GetDestinationMapPage()->GetMapView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->IsPickMode());
    EXPECT_NEAR(view->GetFlagPoint().x, m_wald.x, 1e-5);
    EXPECT_NEAR(view->GetFlagPoint().y, m_wald.y, 1e-5);
    ASSERT_TRUE(view->GetShownObject()) << "the destination's element goes to the map view";
    EXPECT_EQ(view->GetShownObject()->GetId(), m_world.links[kWaldLink].elementId);
}

TEST_F(ModesTest, PedestrianZoneDestinationIsAnnounced) {
    struct Case {
        std::uint32_t link;
        GeoPoint at;
        std::vector<std::u16string> said;
    };
    const Case cases[] = {
        {kBahnhofLink, m_bahnhof, {u"Say([Attention] [DestinationInPedestrianZone])"}},
        {kWaldLink, m_wald, {}},
    };
    NavigationMode& mode = Navigation();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        m_voice->Clear();
        mode.GetStops() = {At(c.link, c.at, u"Ziel")};
        mode.SetStopIndex(0);
        ASSERT_TRUE(mode.CalculateRoute(false));
        EXPECT_EQ(m_voice->Calls(), c.said);
        EXPECT_TRUE(Visible(mode.GetMapPage()));
        // The first route too reaches the map view of a page not shown before.
        EXPECT_TRUE(mode.GetMapPage()->GetMapView()->HasRoute());
    }
}

TEST_F(ModesTest, TourIsCalculatedLegByLegAndAFailedStopIsReplaced) {
    TourMode& mode = Tour();
    mode.GetStops() = {At(kKaiserLink, m_kaiser, u"Kaiserstrasse"),
                       At(kWaldLink, m_wald, u"Waldstrasse"),
                       At(kBahnhofLink, m_bahnhof, u"Am Bahnhof")};
    mode.OnPageCommand(3, nullptr);
    ASSERT_EQ(mode.GetRouteListPage()->GetLegs().size(), 2u);
    EXPECT_EQ(mode.GetRouteListPage()->GetLegs()[1].startText, u"Karlsruhe, Waldstrasse");
    EXPECT_FALSE(mode.GetRouteCalcPage()->GetViewPoints().empty());
    EXPECT_TRUE(Visible(mode.GetRouteCalcPage()));
    // The tour map draws the legs of a page not shown before.
    EXPECT_TRUE(mode.GetRouteCalcPage()->GetMapView()->HasRoute());
    char16_t distance[32] = {};
    GetWindowTextW(GetDlgItem(mode.GetRouteCalcPage()->GetHwnd(), RouteCalcPage::kDistValueId),
                   distance, 32);
    EXPECT_NE(distance[0], u'\0');
    EXPECT_TRUE(m_failures.empty());

    // The second leg fails at its destination: stop 3 (index 2) is the one to replace.
    m_failureAnswer = ModeControllerBase::kAnswerBack;
    m_scripted->Script({ScriptedServer::kPassThrough, 19});
    mode.OnPageCommand(3, nullptr);
    ASSERT_EQ(m_failures.size(), 1u);
    EXPECT_EQ(m_failures[0].insert, u"Karlsruhe");
    EXPECT_EQ(mode.GetFailingIndex(), 3);
    EXPECT_FALSE(mode.IsStartSideFailure());
    EXPECT_TRUE(mode.IsBackChosen());
    ComposeWald(mode.GetDescription());
    mode.OnPageCommand(5, mode.GetMainPage()->GetHwnd());
    ASSERT_EQ(mode.GetStops().size(), 3u);
    EXPECT_EQ(mode.GetStops()[2].secondText, u"Waldstrasse");
    EXPECT_FALSE(mode.IsBackChosen());
    EXPECT_TRUE(Visible(mode.GetTourList()));
    EXPECT_FALSE(Visible(mode.GetMainPage()));

    // Next stop: only while one follows; on the last stop nothing is calculated.
    mode.SetStopIndex(1);
    EXPECT_TRUE(mode.NextStop(true));
    mode.SetStopIndex(2);
    EXPECT_FALSE(mode.NextStop(true));
    const int requests = m_scripted->Requests();
    EXPECT_FALSE(mode.NextStop(false));
    EXPECT_EQ(mode.GetStopIndex(), -1);
    EXPECT_EQ(m_scripted->Requests(), requests);
}

TEST_F(ModesTest, TourLegsMoveTheBarWhileTheyRunAndCancelEndsTheTourWithItsReport) {
    struct Case {
        const char* name;
        bool cancel;
        std::size_t legs;        // legs the route list holds afterwards
        bool isCalculationShown; // the route calculation page
        int shownWithinFirstLeg; // the bar after the search reported 40 % of the first leg
        // The second stop twice: the leg between them has no length. Guided on from the first
        // of them, the car is where the next is: it is told and the tour goes on to the last.
        bool isSecondStopTwice = false;
    };
    // Two legs share the bar, so 40 % of the first leg is 20 % of the tour; of three, 13 %.
    const Case cases[] = {{"cancelled in the first leg", true, 0, false, 20},
                          {"the whole tour", false, 2, true, 20},
                          {"a street twice", false, 3, true, 13, true}};
    TourMode& mode = Tour();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mode.GetStops() = {At(kKaiserLink, m_kaiser, u"Kaiserstrasse"),
                           At(kWaldLink, m_wald, u"Waldstrasse"),
                           At(kBahnhofLink, m_bahnhof, u"Am Bahnhof")};
        if (c.isSecondStopTwice)
            mode.GetStops().insert(mode.GetStops().begin() + 2, mode.GetStops()[1]);
        m_failures.clear();
        int shownBefore = -1;
        int shownAfter = -1;
        bool isCancelSeen = false;
        m_scripted->DuringNextLeg([&](ProgressObserver* observer) {
            ASSERT_NE(observer, nullptr);
            auto* dialog =
                dynamic_cast<ProgressDlg*>(DialogBase::FromWindow(GetForegroundWindow()));
            ASSERT_NE(dialog, nullptr);
            shownBefore = dialog->GetShownPercent();
            observer->ReportProgress(40);
            shownAfter = dialog->GetShownPercent();
            if (c.cancel) {
                dialog->RequestStop();
                isCancelSeen = observer->IsCancelled();
            }
        });
        // A cancelled search answers status 0.
        m_scripted->Script({c.cancel ? 0u : ScriptedServer::kPassThrough});
        mode.OnPageCommand(3, nullptr);
        EXPECT_EQ(shownBefore, 0);
        EXPECT_EQ(shownAfter, c.shownWithinFirstLeg);
        EXPECT_EQ(isCancelSeen, c.cancel);
        EXPECT_EQ(mode.GetRouteListPage()->GetLegs().size(), c.legs);
        EXPECT_EQ(Visible(mode.GetRouteCalcPage()), c.isCalculationShown);
        EXPECT_EQ(m_failures.size(), c.cancel ? 1U : 0U);
        if (!c.isSecondStopTwice)
            continue;
        ASSERT_EQ(mode.GetRouteListPage()->GetLegs().size(), 3u);
        EXPECT_EQ(mode.GetRouteListPage()->GetLegs()[1].result.length, 0);
        // Arrived at the street's first stop: the car is at the next (the route there has no
        // length); the one after it is planned.
        m_voice->Clear();
        mode.SetStopIndex(1);
        m_scripted->Script({5, ScriptedServer::kPassThrough});
        EXPECT_TRUE(mode.NextStop(false));
        EXPECT_EQ(m_voice->Calls(),
                  (std::vector<std::u16string>{u"Say([StopReached])",
                                               u"Say([Attention] [DestinationInPedestrianZone])"}))
            << "the stop told, then the last one's route planned";
        EXPECT_EQ(mode.GetStopIndex(), 3);
        EXPECT_TRUE(m_failures.empty());
        EXPECT_TRUE(Visible(mode.GetMapPage()));
    }
}

// A route the user cancels in the progress dialog is reported as any failed request is, on the
// single route's path and on a tour's leg alike: the failure dialog with its text, naming the
// destination, and nothing shown or stored.
TEST_F(ModesTest, ACancelledRequestIsReportedOnBothPaths) {
    struct Case {
        const char* name;
        bool isTour;
        int failingIndex; // the stop to replace
    };
    const Case cases[] = {{"single route", false, -1}, {"first leg of a tour", true, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_failures.clear();
        bool isCancelSeen = false;
        // The user stops the search; the cancelled search answers status 0.
        auto cancel = [&isCancelSeen](ProgressObserver* observer) {
            auto* dialog =
                dynamic_cast<ProgressDlg*>(DialogBase::FromWindow(GetForegroundWindow()));
            ASSERT_NE(dialog, nullptr);
            ASSERT_NE(observer, nullptr);
            dialog->RequestStop();
            isCancelSeen = observer->IsCancelled();
        };
        m_scripted->Script({0});
        ModeControllerBase* shown = nullptr;
        if (c.isTour) {
            TourMode& mode = Tour();
            mode.GetStops() = {At(kKaiserLink, m_kaiser, u"Kaiserstrasse"),
                               At(kWaldLink, m_wald, u"Waldstrasse"),
                               At(kBahnhofLink, m_bahnhof, u"Am Bahnhof")};
            mode.GetStops()[1].name = u"Wald";
            m_scripted->DuringNextLeg(cancel);
            mode.OnPageCommand(3, nullptr);
            EXPECT_TRUE(mode.GetRouteListPage()->GetLegs().empty());
            EXPECT_FALSE(Visible(mode.GetRouteCalcPage()));
            shown = &mode;
        } else {
            NavigationMode& mode = Navigation();
            mode.GetStops() = {At(kWaldLink, m_wald, u"Waldstrasse")};
            mode.GetStops()[0].name = u"Wald";
            mode.SetStopIndex(0);
            m_scripted->DuringNextRequest(
                [&cancel](const Onboard::RouteRequest& request) { cancel(request.observer); });
            EXPECT_FALSE(mode.CalculateRoute(true));
            EXPECT_FALSE(Visible(mode.GetMapPage()));
            shown = &mode;
        }
        EXPECT_TRUE(isCancelSeen);
        ASSERT_EQ(m_failures.size(), 1U);
        EXPECT_EQ(m_failures[0].textId, 536U);
        EXPECT_EQ(m_failures[0].insert, u"Wald");
        EXPECT_FALSE(shown->IsStartSideFailure());
        EXPECT_EQ(shown->GetFailingIndex(), c.failingIndex);
        EXPECT_TRUE(List(u"Recent").empty());
    }
}

// A TMC message dialog that is only a visible window.
TEST_F(ModesTest, PageCommandsShowTheirPage) {
    enum Page {
        None,
        Main,
        Options,
        Map,
        DestMap,
        Contacts,
        RouteList_,
        RouteCalc,
        TourList_,
        TourOptions
    };
    struct Case {
        const char* name;
        bool tour;
        int code;
        Page caller;
        Page shown;
        bool callerHidden;
    };
    const Case cases[] = {
        {"-1 brings the visible page to the front", false, -1, None, Options, false},
        {"0 from the options page", false, 0, Options, Main, true},
        {"1 from the main page keeps it", false, 1, Main, Main, false},
        {"13 from the main page keeps it", false, 13, Main, Main, false},
        {"0 from the main page keeps it", false, 0, Main, Main, false},
        {"2 shows the options", false, 2, Main, Options, true},
        {"4 routes to the destination", false, 4, Options, Map, true},
        {"7 centres the destination map", false, 7, Main, DestMap, true},
        {"14 shows the contacts", false, 14, Main, Contacts, true},
        {"tour 9 shows the route list", true, 9, RouteCalc, RouteList_, true},
        {"tour 10 shows the route calculation", true, 10, RouteList_, RouteCalc, true},
        {"tour 3 calculates the tour", true, 3, Options, RouteCalc, true},
        {"tour 5 takes the stop", true, 5, Main, TourList_, true},
        {"tour 6 shows the input", true, 6, TourList_, Main, true},
        {"tour 11 back to the list", true, 11, Main, TourList_, true},
        {"tour 12 the tour's options", true, 12, TourList_, TourOptions, true},
        {"tour 0 shows the list", true, 0, Main, TourList_, true},
        {"tour 0 from the destination map goes to the main page", true, 0, DestMap, Main, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_tour.reset();
        m_navigation.reset();
        ModeControllerBase* mode = nullptr;
        TourMode* tour = nullptr;
        if (c.tour) {
            tour = &Tour();
            tour->GetStops() = {At(kKaiserLink, m_kaiser, u"Kaiserstrasse"),
                                At(kWaldLink, m_wald, u"Waldstrasse")};
            mode = tour;
        } else {
            mode = &Navigation();
            mode->GetStops() = {At(kWaldLink, m_wald, u"Waldstrasse")};
            mode->SetStopIndex(0);
        }
        ComposeWald(mode->GetDescription());
        const auto page = [&](Page p) -> PageBase* {
            switch (p) {
            case Main:
                return mode->GetMainPage();
            case Options:
                return mode->GetOptionsPage();
            case Map:
                return mode->GetMapPage();
            case DestMap:
                return mode->GetDestinationMapPage();
            case Contacts:
                return mode->GetContactsPage();
            case RouteList_:
                return mode->GetRouteListPage();
            case RouteCalc:
                return mode->GetRouteCalcPage();
            case TourList_:
                return tour->GetTourList();
            case TourOptions:
                return tour->GetTourOptionsPage();
            case None:
                return nullptr;
            }
            return nullptr;
        };
        // Without a caller (the main window) the page to bring back is the one on screen.
        PageBase* caller = page(c.caller);
        PageBase* before = caller != nullptr ? caller : page(c.shown);
        ShowPageWindow(before->GetPageHandle(), true);
        if (before != mode->GetMainPage())
            ShowWindow(mode->GetMainPage()->GetHwnd(), SW_HIDE);
        m_driver.RunUntilIdle();
        mode->OnPageCommand(c.code, caller != nullptr ? caller->GetHwnd() : nullptr);
        m_driver.RunUntilIdle();
        EXPECT_TRUE(Visible(page(c.shown)));
        if (caller != nullptr) {
            EXPECT_EQ(!Visible(caller), c.callerHidden);
        }
        // A command that leaves the page switches the input panel off.
        if (c.callerHidden || caller == nullptr) {
            EXPECT_FALSE(IsPanelOn());
        }
    }
}

TEST_F(ModesTest, BringingBackChangesNothingWhileTheTmcDialogShows) {
    NavigationMode& mode = Navigation();
    ShowPageWindow(mode.GetOptionsPage()->GetPageHandle(), true);
    ShowWindow(mode.GetMainPage()->GetHwnd(), SW_HIDE);
    TmcMonitor::Instance().SetDialog(std::make_unique<apptesting::ShownTmcDialog>());
    ASSERT_NE(TmcMonitor::Instance().GetVisibleDialogWindow(), nullptr);
    mode.OnPageCommand(-1, mode.GetOptionsPage()->GetHwnd());
    EXPECT_TRUE(Visible(mode.GetOptionsPage()));
    EXPECT_FALSE(Visible(mode.GetMainPage()));
    TmcMonitor::Instance().CloseDialog();
}

TEST_F(ModesTest, GpsWaitEndsWithAFixOrCancel) {
    struct Case {
        const char* name;
        bool fix; // a usable fix arrives; otherwise the user cancels
        int requests;
    };
    const Case cases[] = {{"a fix closes the dialog and the route follows", true, 1},
                          {"cancel requests nothing", false, 0}};
    NavigationMode& mode = Navigation();
    mode.GetStops() = {At(kWaldLink, m_wald, u"Waldstrasse")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetFix(1);
        ASSERT_FALSE(mode.HasGpsFix());
        ShowWindow(mode.GetMapPage()->GetPageHandle().window, SW_HIDE);
        mode.SetStopIndex(0);
        const int before = m_scripted->Requests();
        HWND seen = nullptr;
        m_driver.PlayWhenIdle({platform::ScriptStep::Run([&] {
            seen = mode.GetGpsWaitWindow();
            if (c.fix)
                SetFix(2);
            else
                PostMessageW(seen, WM_COMMAND, 2, 0);
        })});
        mode.OnPageCommand(4, mode.GetMainPage()->GetHwnd());
        EXPECT_NE(seen, nullptr);
        EXPECT_EQ(mode.GetGpsWaitWindow(), nullptr);
        EXPECT_EQ(m_scripted->Requests() - before, c.requests);
        EXPECT_EQ(Visible(mode.GetMapPage()), c.fix);
    }
    SetFix(2);
}

TEST_F(ModesTest, LogbookAndReconnectGoToTheMainWindow) {
    NavigationMode& mode = Navigation();
    m_application.calls.clear();
    EXPECT_EQ(mode.ControlLogbook(m_main.window, 1, 0), 1);
    mode.StartReceiverReconnect(false);
    mode.Deactivate(1);
    EXPECT_TRUE(mode.IsDeactivated());
    EXPECT_EQ(m_application.calls,
              (std::vector<std::string>{"RunLogbookDialog(1,0)", "ControlReconnectThread(0)",
                                        "NotifyModeClosed(1)"}));
}

} // namespace
