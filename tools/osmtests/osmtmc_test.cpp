// TMC locations on the converted extract: a line written along the longest chained street of
// Vaduz names exactly the road elements between its points, and the engine's geometry of those
// elements joins end to end. A closure along a road of a route between two villages, in one
// direction or in both, turns the next routes away from it in those directions until it is
// cancelled. Messages on the line are listed in the message dialog's order.
#include "app/tmc/tmclinegroups.h"
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/traffichandler.h"
#include "testdata/alertcencoder.h"
#include "testdata/osmextractwriter.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractchains.h"
#include "tools/osmtests/extractplaces.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessage.h"
#include "traffic/tmcmessagestore.h"
#include "ui/tmcmonitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

class ExtractTmc : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"tmc", osm2nav::ConvertOptions{}}}); }
};

constexpr std::uint32_t Code(std::uint32_t location) {
    return MakeTmcLocationCode(1, 1, location);
}

// The point where consecutive pieces meet.
GeoPoint Joint(const Piece& a, const Piece& b) {
    return Same(a.line.back(), b.line.front()) || Same(a.line.back(), b.line.back())
               ? a.line.back()
               : a.line.front();
}

// Whether a line element other than the chain's own ends or starts at the point.
bool IsCrossing(RetrievalEngineImpl& engine, const GeoPoint& p,
                const std::set<std::uint32_t>& own) {
    GeoRect rect{p.x, p.y, p.x, p.y};
    rect.Inflate(0.0001f, 0.0001f);
    for (ElementCursorPtr cursor = engine.QueryArea(rect, 0, 0); cursor && cursor->IsValid();
         cursor->Next()) {
        const std::uint32_t id = cursor->GetElementId();
        const std::uint32_t count = cursor->GetPointCount();
        if (own.contains(id) || cursor->GetGeometryClass() != 1 || count < 2) {
            continue;
        }
        GeoPoint first, last;
        cursor->GetPoint(first, 0);
        cursor->GetPoint(last, count - 1);
        if (Same(first, p) || Same(last, p)) {
            return true;
        }
    }
    return false;
}

// The street of Vaduz with the longest chain of elements, as a TMC line needs it: the chain in
// the road's order, its elements' ends, the chain indices after which another line element
// meets it, and its name in code page 1252.
struct VaduzStreet {
    std::vector<Piece> chain;
    std::vector<testdata::TmcRoadElement> road;
    std::vector<std::size_t> crossings;
    std::string name;
};

void FindVaduzStreet(RetrievalEngineImpl& engine, VaduzStreet& out) {
    auto city = engine.FindCities(u"Vaduz", 0);
    ASSERT_TRUE(city && city->IsValid());
    const auto area = static_cast<std::uint32_t>(city->GetCurrent()->GetAreaId());
    std::u16string street;
    std::vector<Piece>& chain = out.chain;
    for (auto streets = engine.FindInArea(area, u""); streets && streets->IsValid();
         streets->Next()) {
        std::vector<Piece> pieces;
        for (const std::uint32_t id : streets->GetCurrent()->GetElementIds()) {
            Piece piece{id, {}};
            if (engine.GetElementPoints(id, piece.line) && piece.line.size() >= 2) {
                pieces.push_back(piece);
            }
        }
        std::vector<Piece> longest = LongestChain(pieces);
        if (longest.size() > chain.size()) {
            chain = std::move(longest);
            street = streets->GetCurrent()->GetName();
        }
    }
    ASSERT_GE(chain.size(), 4U);
    std::set<std::uint32_t> own;
    for (const Piece& p : chain) {
        own.insert(p.id);
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const Piece& p = chain[i];
        out.road.push_back(
            {p.id, p.line.front().x, p.line.front().y, p.line.back().x, p.line.back().y});
        if (i + 1 < chain.size() && IsCrossing(engine, Joint(p, chain[i + 1]), own)) {
            out.crossings.push_back(i);
        }
    }
    ASSERT_GE(out.crossings.size(), 1U) << "no crossing on the street";
    // Names in code page 1252: the street's letters are Latin-1.
    for (const char16_t c : street) {
        out.name += static_cast<char>(c < 256 ? c : '?');
    }
}

TEST_F(ExtractTmc, LineAlongTheMainRoadOfVaduzNamesTheElementsBetweenItsPoints) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\tmc") + osm2nav::kLevelFile));
    const RetrievalEngine::RetrievalEnginePtr shared(engine);
    VaduzStreet vaduz;
    ASSERT_NO_FATAL_FAILURE(FindVaduzStreet(*engine, vaduz));
    const std::vector<Piece>& chain = vaduz.chain;
    const std::vector<std::size_t>& crossings = vaduz.crossings;
    const std::string& name = vaduz.name;
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const testdata::TmcRoadLine line =
        testdata::TmcLineAlongRoad(model, vaduz.road, crossings, Code(600), Code(601), name, "28");
    ASSERT_GE(line.points.size(), 3U);
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(*s_root, u"\\tmc", true));
    const TmcDatabasePtr database = CreateTmcDatabase(engine->GetBlockCache());
    ASSERT_TRUE(database && database->Load(u"\\tmc"));

    // Element ranges between the points, as the chain runs.
    std::vector<std::size_t> starts = {0};
    for (const std::size_t after : crossings) {
        starts.push_back(after + 1);
    }
    starts.push_back(chain.size());
    for (std::size_t k = 0; k + 2 < line.points.size(); ++k) {
        for (const bool direction : {true, false}) {
            SCOPED_TRACE(testing::Message() << "from point " << k << " direction " << direction);
            // Positive: points k, k+1, k+2 from k; negative: the same points from k+2.
            const std::uint32_t from = line.points[direction ? k : k + 2];
            const TmcLocationPtr location = database->FindLocation(from);
            ASSERT_TRUE(location);
            std::vector<std::uint32_t> ids;
            ASSERT_TRUE(location->GetElementIds(direction, 2, ids, false, false));
            std::vector<std::uint32_t> expected;
            for (std::size_t i = starts[k]; i < starts[k + 2]; ++i) {
                expected.push_back(chain[i].id);
            }
            if (!direction) {
                std::reverse(expected.begin(), expected.end());
            }
            std::vector<std::uint32_t> found;
            std::vector<GeoPoint> path;
            for (const std::uint32_t value : ids) {
                found.push_back(value & 0x0FFFFFFF);
                EXPECT_EQ((value >> 28) & 3, direction ? 0U : 1U) << (value & 0x0FFFFFFF);
                const auto element = engine->GetMappedElement(value & 0x0FFFFFFF);
                ASSERT_TRUE(element);
                std::vector<GeoPoint> points;
                ASSERT_TRUE(element->GetPoints(points) && points.size() >= 2);
                // q 1: travelled from its first point, q 3: from its last.
                const std::uint32_t q = value >> 30;
                ASSERT_TRUE(q == 1 || q == 3) << value;
                if (q == 3) {
                    std::reverse(points.begin(), points.end());
                }
                if (!path.empty()) {
                    EXPECT_TRUE(Same(path.back(), points.front()))
                        << (value & 0x0FFFFFFF) << " does not start where the last one ended";
                }
                path.insert(path.end(), points.begin(), points.end());
            }
            EXPECT_EQ(found, expected);
        }
    }

    // A message on the middle points names the road and its points.
    testdata::AlertCMessage m;
    m.event = 101;
    m.location = line.points[1] % 100000;
    m.extent = 1;
    m.isNegativeDirection = true;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(m.programmeId, 1);
    TmcMessage message(DecodeLastTmcMessage(encoder.AddMessage(m).Build()), *database, shared, 0);
    ASSERT_TRUE(message.IsValid());
    message.BuildText();
    // Road number, road name, the line's ends, then the stretch from its far end.
    const std::string point = name + " ";
    EXPECT_EQ(message.GetNarrowText(), "28, " + name + ", " + point + "1<->" + point +
                                           std::to_string(line.points.size()) + ", " + point +
                                           "3<->" + point + "2:  Stau");
}

// Hands the store's new messages to the TMC monitor, as the main window does.
class TmcListFeed {
public:
    explicit TmcListFeed(TmcMessageStore& store)
        : m_store(store) {
        m_store.Added.Connect(this, &TmcListFeed::OnAdded);
    }
    ~TmcListFeed() {
        m_store.Added.Disconnect(this);
        TmcMonitor& monitor = TmcMonitor::Instance();
        while (!monitor.GetLineIds().empty()) {
            monitor.RemoveEntry(monitor.GetLineIds().front());
        }
    }
    TmcListFeed(const TmcListFeed&) = delete;
    TmcListFeed& operator=(const TmcListFeed&) = delete;

    void OnAdded(TmcMessagePtr message) {
        if (message) {
            TmcMonitor::Instance().AddMessage(*message);
        }
    }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    TmcMessageStore& m_store;
    OwnerHandlerList m_handlers;
};

// Messages on the line along the Vaduz street (numbered "B 28" here), on the sample tables' "A1"
// and on an area, kept by a message store and listed by the TMC monitor, come in the message
// dialog's order: A roads, then B roads, then the rest, each in the order the messages came.
TEST_F(ExtractTmc, MessagesOnTheVaduzLineAreListedRoadFirst) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\tmc") + osm2nav::kLevelFile));
    const RetrievalEngine::RetrievalEnginePtr shared(engine);
    VaduzStreet vaduz;
    ASSERT_NO_FATAL_FAILURE(FindVaduzStreet(*engine, vaduz));
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const testdata::TmcRoadLine line = testdata::TmcLineAlongRoad(
        model, vaduz.road, vaduz.crossings, Code(600), Code(601), vaduz.name, "B 28");
    ASSERT_GE(line.points.size(), 3U);
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(*s_root, u"\\tmclist", true));
    const six::RefCntPtr<TmcMessageStore> store = CreateTmcMessageStore();
    ASSERT_TRUE(store && store->OpenDatabase(u"\\tmclist", shared, 0));
    TmcListFeed feed(*store);

    const struct {
        std::uint32_t location;
        unsigned event;
        bool isNegativeDirection;
        unsigned extent;
    } messages[] = {
        {300, 701, false, 0},                     // the area "Hamburg": the rest
        {line.points[2] % 100000, 101, true, 1},  // the Vaduz street
        {102, 513, false, 1},                     // "A1"
        {line.points[0] % 100000, 115, false, 1}, // the Vaduz street
    };
    for (const auto& m : messages) {
        testdata::AlertCMessage alert;
        alert.event = m.event;
        alert.location = m.location;
        alert.extent = m.extent;
        alert.isNegativeDirection = m.isNegativeDirection;
        testdata::AlertCEncoder encoder;
        encoder.AddTable(alert.programmeId, 1);
        const TmcRawMessage raw = DecodeLastTmcMessage(encoder.AddMessage(alert).Build());
        ASSERT_TRUE(store->AddRawMessage(&raw)) << m.location;
    }
    const std::vector<std::u16string>& lines = TmcMonitor::Instance().GetLines();
    ASSERT_EQ(lines.size(), std::size(messages));
    const std::vector<std::size_t> order = OrderTmcLines(lines);
    ASSERT_EQ(order, (std::vector<std::size_t>{2, 1, 3, 0}));
    // Listed: the road (after the country) on the second line, the event on the last.
    std::u16string street = u"B 28 ";
    for (const char c : vaduz.name) {
        street += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    const struct {
        std::u16string road;
        std::u16string event;
    } listed[] = {{u"A1 ", u"Unfall"},
                  {street, u"Stau"},
                  {street, u"stockender Verkehr"},
                  {u"Hamburg", u"Baustelle"}};
    for (std::size_t k = 0; k < order.size(); ++k) {
        SCOPED_TRACE(k);
        const std::u16string& text = lines[order[k]];
        const std::size_t second = text.find(u'\n') + 1;
        EXPECT_EQ(text.compare(second, listed[k].road.size(), listed[k].road), 0);
        EXPECT_TRUE(text.ends_with(u"\n" + listed[k].event + u"\n"));
    }
}

std::vector<std::uint32_t> Links(const RouteRequestResult& result) {
    std::vector<std::uint32_t> links;
    for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
        links.push_back(it->Current().linkId);
    }
    return links;
}

bool Drives(const RouteRequestResult& result, std::uint32_t element) {
    const std::vector<std::uint32_t> links = Links(result);
    return std::find(links.begin(), links.end(), element) != links.end();
}

// A closure in one direction turns the route away from its road and leaves the road open the
// other way; a closure in both directions turns routes away in both. A cancellation restores
// the plain routes.
TEST_F(ExtractTmc, ClosuresTurnRoutesAwayInTheirDirectionsUntilCancelled) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\tmc") + osm2nav::kLevelFile));
    const RetrievalEngine::RetrievalEnginePtr shared(engine);
    const RouteServicePtr service = CreateRouteService(shared);
    ASSERT_TRUE(service && service->OpenNetwork(std::u16string(u"\\tmc") + osm2nav::kNetworkFile));
    auto any = [](std::uint32_t, std::int32_t) { return true; };
    const auto from = extractplaces::FirstStreetElement(*engine, u"Schaan", any);
    const auto to = extractplaces::FirstStreetElement(*engine, u"Triesen", any);
    ASSERT_TRUE(from && to);
    const RoutePositionPtr start = service->CreateElementPosition(&*from);
    const RoutePositionPtr destination = service->CreateElementPosition(&*to);
    const RouteRequestResult first = service->RequestRoute(start, destination, nullptr);
    ASSERT_EQ(first.status, routestatus::kFound);

    // A road in the middle of the route whose ends stay connected when it is nearly closed both
    // ways, and which the way back from the road after it to the road before it drives too.
    std::vector<RouteRecord> records;
    for (RouteIteratorPtr it = GetRouteIterator(first); it && it->IsValid(); it->Next()) {
        records.push_back(it->Current());
    }
    ASSERT_GE(records.size(), 5U);
    std::optional<RouteRecord> road;
    RoutePositionPtr after, before;
    std::vector<std::uint32_t> back;
    for (std::size_t i = records.size() / 2; i + 1 < records.size() && !road; ++i) {
        const std::uint32_t id = records[i].linkId;
        after = service->CreateElementPosition(&records[i + 1].linkId);
        before = service->CreateElementPosition(&records[i - 1].linkId);
        back = Links(service->RequestRoute(after, before, nullptr));
        const std::vector<std::uint32_t> key = {id | 0x80000000}; // both ways
        ASSERT_TRUE(service->AddFlaggedElementPercent(key, TrafficHandler::kAvoidanceFlag));
        const RouteRequestResult around = service->RequestRoute(start, destination, nullptr);
        const RouteRequestResult aroundBack = service->RequestRoute(after, before, nullptr);
        (void)service->RemoveFlaggedElement(key);
        if (around.status == routestatus::kFound && !Drives(around, id) &&
            aroundBack.status == routestatus::kFound && !Drives(aroundBack, id) &&
            std::find(back.begin(), back.end(), id) != back.end()) {
            road = records[i];
        }
    }
    ASSERT_TRUE(road) << "no road of the route can be driven around both ways";
    std::vector<GeoPoint> points;
    ASSERT_TRUE(engine->GetElementPoints(road->linkId, points) && points.size() >= 2);
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    // The closure (401) is for both directions; a second one (402) for one direction only, whose
    // keys name the road's elements in that direction alone.
    model.events.push_back({402, "gesperrt", false, 5, 1, 0, {}});
    const testdata::TmcRoadLine line = testdata::TmcLineAlongRoad(
        model,
        {{road->linkId, points.front().x, points.front().y, points.back().x, points.back().y}}, {},
        Code(700), Code(701), "Landstrasse", "28");
    ASSERT_EQ(line.points.size(), 2U);
    ASSERT_TRUE(testdata::TmcTablesWriter(model).WriteFolder(*s_root, u"\\tmcroute", true));

    // A message over the road from one of the line's points.
    auto raw = [&](unsigned event, bool isNegative) {
        testdata::AlertCMessage m;
        m.event = event;
        m.location = line.points[isNegative ? 0 : 1] % 100000;
        m.extent = 1;
        m.isNegativeDirection = isNegative;
        testdata::AlertCEncoder encoder;
        encoder.AddTable(m.programmeId, 1);
        return DecodeLastTmcMessage(encoder.AddMessage(m).Build());
    };
    // The direction whose one-way keys match the route's travel on the road.
    std::optional<bool> direction;
    for (const bool isNegative : {false, true}) {
        const TmcDatabasePtr database = CreateTmcDatabase(engine->GetBlockCache());
        ASSERT_TRUE(database && database->Load(u"\\tmcroute"));
        TmcMessage probe(raw(402, isNegative), *database, shared, 0);
        probe.BuildText();
        for (const std::uint32_t key : probe.GetElementIds()) {
            if (TrafficHandler::MatchesRouteRecord(key, *road)) {
                direction = isNegative;
            }
        }
    }
    ASSERT_TRUE(direction) << "no direction of the line matches the route";

    struct Case {
        const char* name;
        unsigned event;
        bool isBackClosed;
    };
    const Case cases[] = {{"one way", 402, false}, {"both ways", 401, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const six::RefCntPtr<TmcMessageStore> store = CreateTmcMessageStore();
        ASSERT_TRUE(store && store->OpenDatabase(u"\\tmcroute", shared, 0));
        TrafficHandler handler(service, store);
        store->Added.Connect(&handler, &TrafficHandler::OnMessageAdded);
        store->Removed.Connect(&handler, &TrafficHandler::OnMessageRemoved);
        store->Replaced.Connect(&handler, &TrafficHandler::OnMessageReplaced);
        handler.SetRoute(first);

        const TmcRawMessage closure = raw(c.event, *direction);
        ASSERT_TRUE(store->AddRawMessage(&closure));
        EXPECT_EQ(handler.GetMessagesOnRoute().size(), 1U);
        const RouteRequestResult second = service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(second.status, routestatus::kFound);
        EXPECT_FALSE(Drives(second, road->linkId));
        const std::vector<std::uint32_t> backNow =
            Links(service->RequestRoute(after, before, nullptr));
        if (c.isBackClosed) {
            ASSERT_FALSE(backNow.empty());
            EXPECT_EQ(std::find(backNow.begin(), backNow.end(), road->linkId), backNow.end());
        } else {
            EXPECT_EQ(backNow, back);
        }

        const TmcRawMessage cancellation = raw(2047, *direction);
        ASSERT_TRUE(store->AddRawMessage(&cancellation));
        EXPECT_EQ(store->GetCount(), 0U);
        EXPECT_TRUE(handler.GetKnownMessages().empty());
        EXPECT_EQ(Links(service->RequestRoute(start, destination, nullptr)), Links(first));
        EXPECT_EQ(Links(service->RequestRoute(after, before, nullptr)), back);
        store->Added.Disconnect(&handler);
        store->Removed.Disconnect(&handler);
        store->Replaced.Disconnect(&handler);
    }
}

// A map converted from an extract whose country relations carry their "ISO3166-1" codes holds
// each country that TMC messages name by an engine country number under that number, so that the
// message dialog names a message's country with the map's name for it. The other countries, one
// without a code among them, take numbers of their own that no message names, and each city the
// number of the country it lies in.
TEST(OsmTmcCountries, MessagesNameTheMapsCountriesByTheirEngineNumbers) {
    // The countries messages name, each called by the fixed name of its messages, and three more.
    const struct {
        const char* code; // none: no tag
        const char* name; // UTF-8
    } countries[] = {{"DE", "Deutschland"},       {"CH", "Schweiz"},
                     {"IT", "Italien"},           {"BE", "Belgien"},
                     {"NL", "Niederlande"},       {"DK", "D\xC3\xA4nemark"},
                     {"AT", "\xC3\x96sterreich"}, {"GB", "England"},
                     {"ES", "Spanien"},           {"SE", "Sweden"},
                     {"FR", "Frankreich"},        {"NO", "Norwegen"},
                     {"LI", "Liechtenstein"},     {"LU", "Luxemburg"},
                     {nullptr, "Niemandsland"}};
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    testdata::OsmExtractWriter extract;
    std::int64_t id = 1;
    for (const auto& country : countries) {
        const double west = 9.0 + 0.1 * static_cast<double>(id);
        testdata::OsmTags tags{{"name", country.name}};
        if (country.code != nullptr) {
            tags.emplace_back("ISO3166-1", country.code);
        }
        extract.AddBoundary(id++, {west, 47.0, west + 0.09, 47.09}, 2, std::move(tags));
    }
    // A road in Germany, a village in its municipality in Austria (the seventh) and a village in
    // Liechtenstein (the 13th).
    extract.AddNode(100, 9.11, 47.05).AddNode(101, 9.12, 47.05);
    extract.AddWay(102, {100, 101}, {{"highway", "residential"}, {"name", "Feld"}});
    extract.AddNode(103, 9.75, 47.05, {{"place", "village"}, {"name", "Feldkirch"}});
    extract.AddBoundary(id, {9.72, 47.02, 9.78, 47.08}, 8, {{"name", "Feldkirch"}});
    extract.AddNode(104, 10.35, 47.05, {{"place", "village"}, {"name", "Vaduz"}});
    ASSERT_EQ(ConvertWritten(extract, root, "countries"), "");
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(64));
    ASSERT_TRUE(engine->Open(u"\\countries" + std::u16string(osm2nav::kLevelFile)));
    std::set<std::uint16_t> named;
    for (std::uint8_t code = 0; code < 16; ++code) {
        for (std::uint8_t table = 0; table < 64; ++table) {
            const TmcCountryName name = TmcCountryNameOf(code, table);
            if (!name.engineCountry) {
                continue;
            }
            named.insert(*name.engineCountry);
            const CountryPtr country = engine->GetCountry(*name.engineCountry, 0);
            ASSERT_TRUE(country) << int{code} << "/" << int{table};
            EXPECT_EQ(country->GetName(), name.fixedName) << int{code} << "/" << int{table};
        }
    }
    EXPECT_EQ(named.size(), 12u);
    // Every country has a number of its own among those the engine lists (0 to 50); those that
    // messages do not name have one that no message names.
    std::map<std::u16string, std::uint16_t> numbers;
    for (const auto& country : engine->GetCountries(0)) {
        numbers[country->GetName()] = country->GetNumber();
    }
    EXPECT_EQ(numbers.size(), std::size(countries));
    for (const std::u16string other : {u"Liechtenstein", u"Luxemburg", u"Niemandsland"}) {
        ASSERT_TRUE(numbers.contains(other));
        EXPECT_NE(numbers[other], 0);
        EXPECT_FALSE(named.contains(numbers[other])) << std::string(other.begin(), other.end());
    }
    // Cities are found in the countries they lie in.
    const auto isFound = [&](const std::u16string& city, std::uint16_t country) {
        const AddressCursorPtr found = engine->FindCities(city, country);
        return found && found->IsValid() && found->GetCurrent()->GetName() == city;
    };
    EXPECT_TRUE(isFound(u"Vaduz", numbers[u"Liechtenstein"]));
    EXPECT_FALSE(isFound(u"Vaduz", numbers[u"\u00D6sterreich"]));
    EXPECT_TRUE(isFound(u"Feldkirch", numbers[u"\u00D6sterreich"]));
    engine->Close();
}

} // namespace
