// The map matcher on the converted extract: around seeded points beside its roads the fetched
// graph holds exactly the roads a whole-extent query has in the fetch box, and every street of it
// can be extracted (real streets include rings and lollipops); seeded walks over the roads,
// written as NMEA with noise and outages and parsed, are matched through the front; drives with
// receiver noise along routes between municipalities stay near the car.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "positioning/mapmatcherfront.h"
#include "positioning/sentenceparser.h"
#include "routing/routeservice.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpsfixbatches.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

namespace {

class ExtractMatcher : public ConvertedExtract {
protected:
    static void SetUpTestSuite() { ConvertOnce({{"matcher", osm2nav::ConvertOptions{}}}); }
};

struct Road {
    std::uint32_t id = 0;
    std::vector<GeoPoint> points;
    std::uint32_t direction = 0; // 1 one-way along the points, 3 against them
};

std::vector<Road> AllRoads(RetrievalEngine::IAreaQuery& query, GeoRect extent) {
    extent.Inflate(0.01f, 0.01f);
    std::vector<Road> roads;
    for (auto cursor = query.QueryArea(extent, 1001, 1100); cursor && cursor->IsValid();
         cursor->Next()) {
        Road road{cursor->GetElementId(), std::vector<GeoPoint>(cursor->GetPointCount())};
        for (std::uint32_t i = 0; i < road.points.size(); ++i) {
            cursor->GetPoint(road.points[i], i);
        }
        ElementAttributes attributes;
        cursor->GetAttributes(attributes);
        road.direction = attributes.DirectionCode();
        roads.push_back(std::move(road));
    }
    return roads;
}

TEST_F(ExtractMatcher, GraphsEqualTheFilteredWholeQueryAndEveryStreetExtracts) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\matcher") + osm2nav::kLevelFile));
    const AreaQueryPtr query(engine);
    const std::vector<Road> roads = AllRoads(*engine, engine->GetExtent());
    ASSERT_GT(roads.size(), 1000u);
    std::mt19937 random(36);
    std::size_t extracted = 0;
    for (int round = 0; round < 200; ++round) {
        const Road& near = roads[random() % roads.size()];
        const GeoPoint& base = near.points[random() % near.points.size()];
        MatchRecord record;
        OffsetPositionByMetres(base.x, base.y, static_cast<std::int32_t>(random() % 81) - 40,
                               static_cast<std::int32_t>(random() % 81) - 40, record.raw.x,
                               record.raw.y);
        MapMatcher matcher(query);
        matcher.SetSearchArea(record);
        matcher.FetchCandidates(record);
        const GeoRect box = matcher.FetchBox(record);
        std::set<std::uint32_t> expected;
        for (const Road& road : roads) {
            if (road.points.size() >= 2 &&
                std::any_of(road.points.begin(), road.points.end(),
                            [&](const GeoPoint& p) { return ContainsPoint(box, p); })) {
                expected.insert(road.id);
            }
        }
        const StreetGraph& graph = matcher.Graph();
        ASSERT_EQ(std::set<std::uint32_t>(graph.ElementIds().begin(), graph.ElementIds().end()),
                  expected)
            << round;
        for (const std::uint32_t id : graph.ElementIds()) {
            std::vector<GeoPoint> street;
            if (graph.ExtractStreet(id, kNoElement, street, {})) {
                ++extracted;
                std::vector<GeoPoint> sorted = street;
                std::sort(sorted.begin(), sorted.end(), [](const GeoPoint& a, const GeoPoint& b) {
                    return a.x < b.x || (a.x == b.x && a.y < b.y);
                });
                EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << id;
                EXPECT_LE(street.size(), graph.NodeCount());
            }
        }
    }
    EXPECT_GT(extracted, 1000u);
}

// One piece of a walk: a road driven along (or against) its points.
struct Leg {
    const Road* road = nullptr;
    bool reversed = false;
    [[nodiscard]] const GeoPoint& Start() const {
        return reversed ? road->points.back() : road->points.front();
    }
    [[nodiscard]] const GeoPoint& End() const {
        return reversed ? road->points.front() : road->points.back();
    }
};

std::uint64_t PointKey(const GeoPoint& p) {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::memcpy(&x, &p.x, 4);
    std::memcpy(&y, &p.y, 4);
    return (std::uint64_t{x} << 32) | y;
}

// About `metres` of roads joined end to end, each entered only where its one-way code allows:
// the longest of random walks from random starts (many end early at dead ends).
std::vector<Leg> Walk(const std::vector<Road>& roads, std::mt19937& random, double metres) {
    std::multimap<std::uint64_t, Leg> starts;
    for (const Road& road : roads) {
        if (road.points.size() < 2 || road.points.front() == road.points.back()) {
            continue;
        }
        if (road.direction != 3) {
            starts.insert({PointKey(road.points.front()), Leg{&road, false}});
        }
        if (road.direction != 1) {
            starts.insert({PointKey(road.points.back()), Leg{&road, true}});
        }
    }
    std::vector<Leg> longest;
    double longestLength = 0.0;
    for (int attempt = 0; attempt < 200 && longestLength < metres; ++attempt) {
        std::vector<Leg> legs;
        auto first = starts.begin();
        std::advance(first, static_cast<std::ptrdiff_t>(random() % starts.size()));
        legs.push_back(first->second);
        double length = 0.0;
        while (length < metres) {
            const Leg& last = legs.back();
            for (std::size_t i = 1; i < last.road->points.size(); ++i) {
                length += GeoDistance(last.road->points[i - 1], last.road->points[i]);
            }
            std::vector<Leg> next;
            const auto [from, to] = starts.equal_range(PointKey(last.End()));
            for (auto it = from; it != to; ++it) {
                if (it->second.road != last.road) {
                    next.push_back(it->second);
                }
            }
            if (next.empty()) {
                break;
            }
            legs.push_back(next[random() % next.size()]);
        }
        if (length > longestLength) {
            longestLength = length;
            longest = std::move(legs);
        }
    }
    return longest;
}

// In simple mode, the matcher's default, which the system keeps.
TEST_F(ExtractMatcher, MatchesSeededNoisyWalksOfParsedSentences) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\matcher") + osm2nav::kLevelFile));
    const std::vector<Road> roads = AllRoads(*engine, engine->GetExtent());
    IniProfile::PreloadText(
        u"\\osm\\deziv.ini",
        "[NMEA]\n"
        "Input1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n"
        "Input2=GPVTG,course,,,,,,speed\n");
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    // Noise of 10 m, white (drift 0) or drifting with a correlation time in seconds.
    const struct {
        double drift, leastOnElement, mostFar;
    } models[] = {{0.0, 0.85, 0.3}, {60.0, 0.85, 0.01}};
    for (const auto& model : models) {
        SCOPED_TRACE(testing::Message() << "drift " << model.drift);
        std::mt19937 random(22);
        std::size_t counted = 0;
        std::size_t onElement = 0;
        std::size_t against = 0;
        std::size_t far = 0;
        std::size_t checkedDistances = 0;
        for (int walk = 0; walk < 8; ++walk) {
            const std::vector<Leg> legs = Walk(roads, random, 5000.0);

            testdata::DriveGenerator generator;
            for (const Leg& leg : legs) {
                std::vector<testdata::DrivePoint> points;
                for (const GeoPoint& p : leg.road->points) {
                    points.push_back({p.y, p.x});
                }
                if (leg.reversed) {
                    std::reverse(points.begin(), points.end());
                }
                generator.AddPiece(static_cast<int>(leg.road->id), points);
            }
            testdata::DriveSettings settings;
            settings.speedProfile = {{0.0, 40.0}, {60.0, 60.0}, {200.0, 35.0}};
            settings.noiseMetres = 10.0;
            settings.noiseCorrelationSeconds = model.drift;
            settings.seed = static_cast<std::uint32_t>(walk + 1);
            settings.outages = {{80, 4}, {220, 20}};
            const std::vector<testdata::DriveSample> samples = generator.Generate(settings);
            const std::string nmea = testdata::DriveGenerator::ToNmea(samples);

            const MapMatcherFrontPtr front = CreateMapMatcherFront(AreaQueryPtr(engine));
            ASSERT_TRUE(front);
            SentenceParser parser;
            parser.Load(u"\\osm\\deziv.ini", u"NMEA");
            std::vector<MatchedPosition> positions;
            for (std::size_t at = 0; at < nmea.size(); at += 32) {
                parser.Feed(nmea.data() + at, std::min<std::size_t>(32, nmea.size() - at));
                if (parser.IsCycleComplete()) {
                    clock.Advance(1000);
                    GpsFix fix;
                    parser.FillFix(fix);
                    parser.ResetCycle();
                    front->Update({fix});
                    front->Lock();
                    positions.push_back(*front->GetResult());
                    front->Unlock();
                }
            }
            ASSERT_EQ(positions.size(), samples.size());
            // Piece by piece: where each leg ends, to count a crossing's other element.
            std::size_t leg = 0;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                while (leg + 1 < legs.size() &&
                       static_cast<int>(legs[leg].road->id) != samples[i].elementId) {
                    ++leg;
                }
                const MatchedPosition& p = positions[i];
                const GeoPoint truth{static_cast<float>(samples[i].truePosition.longitude),
                                     static_cast<float>(samples[i].truePosition.latitude)};
                if (p.street != -1) {
                    const auto road = std::find_if(roads.begin(), roads.end(), [&](const Road& r) {
                        return static_cast<std::int32_t>(r.id) == p.street;
                    });
                    ASSERT_NE(road, roads.end());
                    const auto start =
                        std::find(road->points.begin(), road->points.end(), p.segmentStart);
                    const auto end =
                        std::find(road->points.begin(), road->points.end(), p.segmentEnd);
                    if (start != road->points.end() && end != road->points.end() &&
                        ((road->direction == 1 && end < start) ||
                         (road->direction == 3 && end > start))) {
                        ++against;
                    }
                    if (samples[i].hasFix) {
                        ++checkedDistances;
                        far += GeoDistance(p.matched, truth) > 40.0 ? 1 : 0;
                    }
                }
                if (i < 2 || !samples[i].hasFix) {
                    continue;
                }
                ++counted;
                bool driven = p.street == samples[i].elementId;
                for (const std::size_t other : {leg - 1, leg + 1}) {
                    if (other < legs.size()) {
                        const GeoPoint& joint = other < leg ? legs[leg].Start() : legs[leg].End();
                        driven =
                            driven || (GeoDistance(joint, truth) <= 20.0 &&
                                       p.street == static_cast<std::int32_t>(legs[other].road->id));
                    }
                }
                onElement += driven ? 1 : 0;
            }
        }
        std::printf("extract walks: %zu of %zu fixes on the driven element, %zu against one-way, "
                    "%zu of %zu matched positions beyond 40 m (drift %g s)\n",
                    onElement, counted, against, far, checkedDistances, model.drift);
        EXPECT_GE(static_cast<double>(onElement),
                  model.leastOnElement * static_cast<double>(counted));
        EXPECT_EQ(against, 0u);
        // With white noise of 10 m most fixes imply a speed 20 km/h off the reported one, and such
        // a fix holds the previous position, but only while it lies at most 40 m from the fix:
        // farther, the fix is matched afresh. About one in fifty of the matched positions lie
        // beyond 40 m; with 3 m of noise under one in a hundred.
        // Drifting noise keeps the implied speeds sound; what remains beyond 40 m are fixes that
        // the drift carries 15 to 25 m off the road, nearer to a neighbouring street, which the
        // matcher then takes: a steady offset costs the shape comparison nothing.
        EXPECT_LE(static_cast<double>(far), model.mostFar * static_cast<double>(checkedDistances));
    }
}

// The middle of the first segment of the municipality's first street between secondary and
// residential.
std::optional<GeoPoint> RouteEndIn(RetrievalEngineImpl& engine, const std::u16string& city) {
    GeoPoint middle{};
    const auto found =
        extractplaces::FirstStreetElement(engine, city, [&](std::uint32_t id, std::int32_t) {
            const MapElementPtr element = engine.GetElement(id);
            std::vector<GeoPoint> line;
            if (!element || !element->GetPoints(line) || line.size() < 2 ||
                element->GetTypeCode() < maprecord::kSecondaryType ||
                element->GetTypeCode() > maprecord::kResidentialType) {
                return false;
            }
            middle = {(line[0].x + line[1].x) / 2.0f, (line[0].y + line[1].y) / 2.0f};
            return true;
        });
    return found ? std::optional<GeoPoint>(middle) : std::nullopt;
}

// The utc day of the route drives, 2000-01-01.
constexpr std::uint32_t kRouteDriveDay = 946684800;

// How far the matched positions of noisy drives along routes lie from the car, and how many lie on
// the element it drives (or, within 20 m of a joint, on the element it comes from or goes to).
struct RouteDriveFigures {
    std::size_t fixes = 0;
    std::size_t onElement = 0;
    std::size_t beyond40 = 0;
    std::size_t beyond100 = 0;
    double worstMetres = 0.0;
};

void CountRouteDrive(const std::vector<std::vector<GeoPoint>>& lines,
                     const std::vector<std::uint32_t>& ids,
                     const std::vector<testdata::DriveSample>& samples,
                     const std::vector<MatchedPosition>& positions, RouteDriveFigures& figures) {
    std::size_t piece = 0;
    for (std::size_t i = 2; i < samples.size(); ++i) {
        while (piece + 1 < ids.size() && static_cast<int>(ids[piece]) != samples[i].elementId) {
            ++piece;
        }
        const MatchedPosition& p = positions[i];
        const GeoPoint truth{static_cast<float>(samples[i].truePosition.longitude),
                             static_cast<float>(samples[i].truePosition.latitude)};
        const double metres = GeoDistance(p.matched, truth);
        ++figures.fixes;
        figures.beyond40 += metres > 40.0 ? 1 : 0;
        figures.beyond100 += metres > 100.0 ? 1 : 0;
        figures.worstMetres = std::max(figures.worstMetres, metres);
        bool driven = p.street == samples[i].elementId;
        if (piece > 0 && GeoDistance(lines[piece].front(), truth) <= 20.0) {
            driven = driven || p.street == static_cast<std::int32_t>(ids[piece - 1]);
        }
        if (piece + 1 < ids.size() && GeoDistance(lines[piece].back(), truth) <= 20.0) {
            driven = driven || p.street == static_cast<std::int32_t>(ids[piece + 1]);
        }
        figures.onElement += driven ? 1 : 0;
    }
}

// In simple mode, the matcher's default. With white noise most fixes imply a speed unlike the
// reported one and the matcher keeps its previous result while it lies at most 40 m from the fix;
// farther, it would fall behind the car, and the fix is matched from fresh hypotheses. At most
// one in twenty positions lies beyond 40 m from the car, none beyond 100 m, at the walks' speeds
// and up to 80 km/h. Drifting noise keeps the implied speeds sound.
TEST_F(ExtractMatcher, StaysNearTheCarOnNoisyDrivesBetweenMunicipalities) {
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(std::u16string(u"\\matcher") + osm2nav::kLevelFile));
    const RouteServicePtr service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
    ASSERT_TRUE(service &&
                service->OpenNetwork(std::u16string(u"\\matcher") + osm2nav::kNetworkFile));
    const std::pair<const char16_t*, const char16_t*> trips[] = {
        {u"Ruggell", u"Balzers"}, {u"Vaduz", u"Triesenberg"},    {u"Schaan", u"Planken"},
        {u"Eschen", u"Mauren"},   {u"Gamprin", u"Schellenberg"}, {u"Planken", u"Triesen"},
        {u"Mauren", u"Balzers"},  {u"Balzers", u"Eschen"},       {u"Triesenberg", u"Mauren"},
        {u"Ruggell", u"Triesen"}};
    struct Route {
        std::vector<std::vector<GeoPoint>> lines; // per record, in driving order
        std::vector<std::uint32_t> ids;
    };
    std::vector<Route> routes;
    for (const auto& [from, to] : trips) {
        const std::u16string fromName = from;
        const std::u16string toName = to;
        SCOPED_TRACE(std::string(fromName.begin(), fromName.end()) + " to " +
                     std::string(toName.begin(), toName.end()));
        const std::optional<GeoPoint> a = RouteEndIn(*engine, fromName);
        const std::optional<GeoPoint> b = RouteEndIn(*engine, toName);
        ASSERT_TRUE(a && b);
        const RouteRequestResult result = service->RequestRoute(
            service->CreatePosition(nullptr, &*a), service->CreatePosition(nullptr, &*b), nullptr);
        ASSERT_EQ(result.status, routestatus::kFound);
        EXPECT_GE(result.length, 2000);
        EXPECT_LE(result.length, 22000);
        Route& route = routes.emplace_back();
        for (RouteIteratorPtr it = GetRouteIterator(result); it && it->IsValid(); it->Next()) {
            if (it->Current().polyline.size() >= 2) {
                route.lines.push_back(it->Current().polyline);
                route.ids.push_back(it->Current().linkId);
            }
        }
        ASSERT_FALSE(route.ids.empty());
    }
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    // (second, km/h): the walks' speeds, and faster ones reaching 80 km/h.
    const std::vector<std::pair<double, double>> walkSpeeds = {
        {0.0, 40.0}, {60.0, 60.0}, {200.0, 35.0}};
    const std::vector<std::pair<double, double>> fastSpeeds = {
        {0.0, 30.0}, {60.0, 60.0}, {240.0, 80.0}, {420.0, 50.0}};
    // Receiver noise of 10 m, white (drift 0) or drifting with a correlation time in seconds.
    const struct {
        const char* speedName;
        const std::vector<std::pair<double, double>>& speeds;
        double drift, mostBeyond40, worstMetres, leastOnElement;
    } models[] = {{"walk", walkSpeeds, 0.0, 0.05, 100.0, 0.85},
                  {"walk", walkSpeeds, 60.0, 0.01, 100.0, 0.90},
                  {"fast", fastSpeeds, 0.0, 0.05, 100.0, 0.85},
                  {"fast", fastSpeeds, 60.0, 0.01, 100.0, 0.90}};
    for (const auto& model : models) {
        SCOPED_TRACE(testing::Message() << model.speedName << " speeds, drift " << model.drift);
        RouteDriveFigures figures;
        for (std::size_t k = 0; k < routes.size(); ++k) {
            testdata::DriveGenerator generator;
            for (std::size_t i = 0; i < routes[k].ids.size(); ++i) {
                std::vector<testdata::DrivePoint> points;
                for (const GeoPoint& p : routes[k].lines[i]) {
                    points.push_back({p.y, p.x});
                }
                generator.AddPiece(static_cast<int>(routes[k].ids[i]), points);
            }
            testdata::DriveSettings settings;
            settings.speedProfile = model.speeds;
            settings.noiseMetres = 10.0;
            settings.noiseCorrelationSeconds = model.drift;
            settings.seed = static_cast<std::uint32_t>(k + 1);
            const std::vector<testdata::DriveSample> samples = generator.Generate(settings);
            const MapMatcherFrontPtr front = CreateMapMatcherFront(AreaQueryPtr(engine));
            ASSERT_TRUE(front);
            std::vector<MatchedPosition> positions;
            for (const std::vector<GpsFix>& batch :
                 testdata::ToGpsFixBatches(samples, kRouteDriveDay)) {
                clock.SetTick(batch.back().tick);
                front->Update(batch);
                front->Lock();
                positions.push_back(*front->GetResult());
                front->Unlock();
            }
            CountRouteDrive(routes[k].lines, routes[k].ids, samples, positions, figures);
        }
        const auto fixes = static_cast<double>(figures.fixes);
        std::printf("route drives (%s speeds, drift %g s): %zu fixes, %.1f %% on the driven "
                    "element, %.1f %% beyond 40 m, %zu beyond 100 m, worst %.0f m\n",
                    model.speedName, model.drift, figures.fixes,
                    100.0 * static_cast<double>(figures.onElement) / fixes,
                    100.0 * static_cast<double>(figures.beyond40) / fixes, figures.beyond100,
                    figures.worstMetres);
        EXPECT_LE(static_cast<double>(figures.beyond40), model.mostBeyond40 * fixes);
        EXPECT_LE(figures.worstMetres, model.worstMetres);
        EXPECT_GE(static_cast<double>(figures.onElement), model.leastOnElement * fixes);
    }
}

} // namespace
