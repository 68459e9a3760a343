// The GPS demo drive on the extract converted with three levels: a route from Vaduz to Schaan
// written by the demo writer lies on the route's polylines and, replayed through the GPS manager,
// is matched to the route's streets in route order.
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "testdata/testfiles.h"
#include "tools/gpsdemosteps.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

class ExtractGpsDemo : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions three;
        three.levels = 3;
        ConvertOnce({{"gpsdemo", three}});
    }
};

// The middle of the first segment of the municipality's first street of a drivable type.
std::optional<GeoPoint> StreetIn(RetrievalEngineImpl& engine, const std::u16string& city) {
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

// Metres from p to the segment a-b, on a plane through p.
double DistanceToSegment(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b) {
    const double scale = std::cos(p.y * std::numbers::pi / 180.0);
    const double ax = (a.x - p.x) * scale;
    const double ay = a.y - p.y;
    const double bx = (b.x - p.x) * scale;
    const double by = b.y - p.y;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length = dx * dx + dy * dy;
    const double t = length > 0.0 ? std::clamp(-(ax * dx + ay * dy) / length, 0.0, 1.0) : 0.0;
    return std::hypot(ax + t * dx, ay + t * dy) * extractplaces::kMetresPerDegree;
}

TEST_F(ExtractGpsDemo, DrivesFromVaduzToSchaanOnTheRouteMatchedInOrder) {
    ASSERT_TRUE(s_root->WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
    std::optional<GeoPoint> from;
    std::optional<GeoPoint> to;
    {
        const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(engine->Open(std::u16string(u"\\gpsdemo") + osm2nav::kLevelFile));
        from = StreetIn(*engine, u"Vaduz");
        to = StreetIn(*engine, u"Schaan");
        ASSERT_TRUE(from && to);
    }
    gpsdemo::Options options;
    options.mapSet = std::u16string(u"\\gpsdemo") + osm2nav::kLevelFile;
    options.network = std::u16string(u"\\gpsdemo") + osm2nav::kNetworkFile;
    options.programFolder = u"\\Nav";
    options.from = *from;
    options.to = *to;
    options.out = "\\gpsdemo\\GPSDemoFile.txt";
    std::string error;
    const gpsdemo::Outcome outcome = gpsdemo::Run(options, error);
    ASSERT_EQ(error, "");
    ASSERT_GE(outcome.linesWritten, 100u);
    ASSERT_EQ(outcome.fixes.size(), outcome.linesWritten);

    std::vector<std::vector<GeoPoint>> lines;
    for (RouteIteratorPtr it = GetRouteIterator(outcome.route); it && it->IsValid(); it->Next()) {
        lines.push_back(it->Current().polyline);
    }
    std::size_t far = 0;
    for (const GpsFix& fix : outcome.fixes) {
        const GeoPoint at{fix.longitude, fix.latitude};
        double nearest = 1e9;
        for (const auto& line : lines) {
            for (std::size_t i = 1; i < line.size(); ++i) {
                nearest = std::min(nearest, DistanceToSegment(at, line[i - 1], line[i]));
            }
        }
        far += nearest > 1.0 ? 1 : 0;
    }
    EXPECT_EQ(far, 0u) << "fixes more than 1 m from the route";
    // The matcher may hold a street it left for a few fixes (a hairpin on the way does this).
    EXPECT_GE(outcome.onRouteInOrder * 10, outcome.positions.size() * 9)
        << outcome.onRouteInOrder << " of " << outcome.positions.size();
}

} // namespace
