#pragma once
// A data folder with one generated grid database (network, datasets, map set, TMC tables along
// its first row) and the advisor's configuration, a server over an unopened engine on the
// virtual clock, and a recorder of the server's events with the ticks they came at.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "onboard/onboardserver.h"
#include "positioning/nmeademowriter.h"
#include "testdata/alertcencoder.h"
#include "testdata/datafolderwriter.h"
#include "testdata/matchedpositionbuilder.h"
#include "testdata/tempdir.h"
#include "traffic/tmcdatabase.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace servertest {

inline constexpr MapPoint kOrigin{1'260'000, 5'300'000};
inline constexpr char16_t kSettings[] = u"\\Windows\\Quarn.ini";
inline constexpr char16_t kDatabase[] = u"\\Data\\Grid";
inline constexpr char16_t kSecondDatabase[] = u"\\Data\\Copy";
// Country 1, table 1; the line along the grid's first row and its points.
inline constexpr std::uint32_t kLineCode = MakeTmcLocationCode(1, 1, 700);
inline constexpr std::uint32_t kFirstPointCode = MakeTmcLocationCode(1, 1, 701);
inline constexpr unsigned kClosureEvent = 401;

// What the server fired, with the virtual ticks.
class EventLog {
public:
    struct Entry {
        char kind; // 'R' route, 'P' position, 'A' advice, 'T' traffic
        DWORD tick;
        std::uint32_t status = 0; // of a route
        std::int32_t street = -1; // of a position
    };
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void Connect(Onboard::IOnboardServer& server) {
        server.RouteEvent.Connect(this, &EventLog::OnRoute);
        server.PositionEvent.Connect(this, &EventLog::OnPosition);
        server.AdviceEvent.Connect(this, &EventLog::OnAdvice);
        server.TrafficEvent.Connect(this, &EventLog::OnTraffic);
    }
    void OnRoute(const RouteRequestResult* result) {
        Add({'R', GetTickCount(), result->status});
        std::lock_guard lock(m_mutex);
        m_lastRoute = *result;
    }
    void OnPosition(const MatchedPosition* position) {
        Add({'P', GetTickCount(), 0, position->street});
    }
    void OnAdvice(AdvicePtr advice) { Add({'A', GetTickCount(), advice && advice->IsValid()}); }
    void OnTraffic() { Add({'T', GetTickCount()}); }

    [[nodiscard]] std::vector<Entry> Entries() {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    [[nodiscard]] std::size_t Count(char kind) {
        std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(std::count_if(
            m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.kind == kind; }));
    }
    // Positions matched to a street.
    [[nodiscard]] std::size_t CountMatched() {
        std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(
            std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& e) {
                return e.kind == 'P' && e.street != MatchedPosition::kNoStreet;
            }));
    }
    [[nodiscard]] RouteRequestResult LastRoute() {
        std::lock_guard lock(m_mutex);
        return m_lastRoute;
    }
    // Waits (host time) until the kind was fired count times.
    bool WaitFor(char kind, std::size_t count,
                 std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] {
            return static_cast<std::size_t>(
                       std::count_if(m_entries.begin(), m_entries.end(),
                                     [&](const Entry& e) { return e.kind == kind; })) >= count;
        });
    }

private:
    void Add(Entry entry) {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(entry);
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Entry> m_entries;
    RouteRequestResult m_lastRoute;
    // Last, so that the connections end before the members the handlers write go.
    OwnerHandlerList m_handlers;
};

// The grid database and a server over it.
class ServerWorld {
public:
    // columns x rows nodes `spacing` map units apart.
    ServerWorld(std::uint32_t columns = 4, std::uint32_t rows = 3, std::int32_t spacing = 2000,
                bool withNetworkFile = true, bool withTmc = true, bool withSecond = false) {
        testdata::DataFolderDatabase database;
        database.folder = kDatabase;
        database.world = testdata::RoadWorld::Grid(columns, rows, spacing, kOrigin);
        database.withoutNetworkFile = !withNetworkFile;
        if (withTmc) {
            const std::uint32_t lastNode = columns - 1;
            database.tmc = [lastNode](const testdata::RoadWorld& world) {
                testdata::TmcTablesModel model = testdata::TmcSampleTables();
                std::vector<testdata::TmcRoadElement> elements;
                std::vector<std::size_t> crossings;
                for (std::uint32_t node = 0; node < lastNode; ++node) {
                    const GeoPoint a = MapPointToDegrees(world.nodes[node]);
                    const GeoPoint b = MapPointToDegrees(world.nodes[node + 1]);
                    elements.push_back({world.ElementBetween(node, node + 1), a.x, a.y, b.x, b.y});
                    if (node + 1 < lastNode) {
                        crossings.push_back(node);
                    }
                }
                (void)testdata::TmcLineAlongRoad(model, elements, crossings, kLineCode,
                                                 kFirstPointCode, "Hauptstrasse", "1");
                return model;
            };
        }
        testdata::DataFolderWriter writer(u"\\Data");
        if (withSecond) {
            testdata::DataFolderDatabase second;
            second.folder = kSecondDatabase;
            second.world = database.world;
            second.tmc = database.tmc;
            writer.AddDatabase(std::move(second));
        }
        writer.AddDatabase(std::move(database))
            .Setting("Properties", "Language", "0")
            .Setting("GPS", "AutoLog", "0");
        Open(writer);
    }
    ~ServerWorld() {
        server.Release();
        platform::SetExecutablePath(u"");
    }

    [[nodiscard]] const testdata::RoadWorld& World() const { return database_.world; }
    [[nodiscard]] GeoPoint Node(std::uint32_t node) const {
        return MapPointToDegrees(World().nodes[node]);
    }
    [[nodiscard]] MatchedPosition Driving(std::uint32_t from, std::uint32_t to, double t) const {
        const GeoPoint at = World().PointAlong(from, to, t);
        return testdata::MatchedPositionBuilder()
            .Fix(at)
            .OnStreet(World().ElementBetween(from, to), at, Node(from), Node(to))
            .Speed(50)
            .Build();
    }
    [[nodiscard]] RoutePositionPtr Destination(std::uint32_t from, std::uint32_t to, double t) {
        RoutePositionPtr out;
        const std::uint32_t id = World().ElementBetween(from, to);
        const GeoPoint point = World().PointAlong(from, to, t);
        return server->CreatePositionDestination(out, &id, &point);
    }
    RouteRequestResult Request(const MatchedPosition& start, const RoutePositionPtr& destination) {
        RouteRequestResult out;
        Onboard::RouteRequest request;
        request.destination = destination;
        return server->RequestRoute(out, &start, request);
    }
    // Replays the route as a GPS demonstration file through the alternative device, one cycle
    // (3 sentences a second) at a time, until every fix was published or `stop` says so.
    // The alternative device stays open when keepOpen is true.
    std::size_t Drive(const RouteRequestResult& route, const std::function<bool()>& stop = {},
                      bool keepOpen = false) {
        const std::string file = "\\drive" + std::to_string(++drives) + ".txt";
        NmeaDemoWriter demo(file, route);
        EXPECT_EQ(demo.Write(), 0);
        const std::string bytes = root.ReadFile(platform::AnsiToWide(file)).value_or("");
        std::size_t fixes = 0;
        for (std::size_t at = 0; (at = bytes.find("$GPGGA,", at)) != std::string::npos; ++at) {
            ++fixes;
        }
        GpsReceiverPtr receiver;
        server->OpenAlternativeGps(receiver);
        EXPECT_TRUE(receiver);
        if (!receiver) {
            return 0;
        }
        const std::size_t before = log.Count('P');
        receiver->OpenReplayFile(platform::AnsiToWide(file));
        receiver->SetSentenceRate(3.0f);
        for (std::size_t i = 1; i <= fixes; ++i) {
            bool isPublished = false;
            for (int tries = 0; tries < 25 && !isPublished; ++tries) {
                clock.Advance(667);
                isPublished = log.WaitFor('P', before + i, std::chrono::milliseconds(200));
            }
            if (!isPublished || (stop && stop())) {
                break;
            }
        }
        drivePositions = log.Count('P') - before;
        if (!keepOpen) {
            server->CloseAlternativeGps();
        }
        return fixes;
    }

    testdata::TempDeviceRoot root;
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    six::RefCntPtr<RetrievalEngineImpl> engine;
    Onboard::OnboardServerPtr server;
    EventLog log;
    int drives = 0;
    std::size_t drivePositions = 0; // published during the last drive

private:
    // Writes the data folder with the advisor's configuration and the receiver's settings, then
    // starts the server: none when any of them is missing (a test program run outside its build
    // folder finds no advisor data), so that the test stops at its check of the server.
    void Open(testdata::DataFolderWriter& writer) {
        const std::filesystem::path advisorFiles =
            std::filesystem::path(NAV_ADVISOR_DATA_DIR) / "ConfigFiles";
        ASSERT_TRUE(std::filesystem::is_directory(advisorFiles))
            << testdata::CannotOpen(advisorFiles);
        const std::optional<std::string> settings = testdata::ReadHostFile(NAV_DEZIV_INI);
        ASSERT_TRUE(settings) << testdata::CannotOpen(NAV_DEZIV_INI);
        auto written = writer.AdvisorFiles(advisorFiles).WriteTo(root, kSettings);
        ASSERT_TRUE(written.has_value());
        database_ = written->back();
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        ASSERT_TRUE(root.WriteFile(u"\\Nav\\deziv.ini", *settings));
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(512));
        server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(engine));
        if (server) {
            log.Connect(*server);
        }
    }

    testdata::WrittenDatabase database_;
};

} // namespace servertest
