// The navigation server on a generated data folder: opening its parts, route requests and their
// events, the parts' getters, a server without an engine, and the house-number types it hands on.
#include "advisor/advisorstore.h"
#include "onboard/onboardserverimpl.h"
#include "onboard/tests/serverworld.h"
#include "testdata/tablefilewriter.h"
#include "testdata/tempdir.h"
#include "traffic/tests/decodedmessage.h"
#include "traffic/tmcdecoder.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/kernel/messagebox.h"

#include <filesystem>

namespace {

using namespace servertest;

// The raw message of an ALERT-C closure on the grid's first row (from its first point on).
TmcRawMessage Closure(unsigned event = kClosureEvent) {
    testdata::AlertCMessage m;
    m.event = event;
    m.location = kFirstPointCode % 100000;
    m.extent = 2;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(m.programmeId, 1);
    return DecodeLastTmcMessage(encoder.AddMessage(m).Build());
}

TEST(OnboardServer, OpensNetworkDatasetsEngineAndTmcStoreInTurn) {
    struct Case {
        const char* name;
        bool withNetworkFile, withTmc;
        bool network, datasets, engine, tmc;
    };
    const Case cases[] = {
        {"whole database", true, true, true, true, true, true},
        {"no tmc tables", true, false, true, true, true, false},
        {"no network file", false, true, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerWorld w(4, 3, 2000, c.withNetworkFile, c.withTmc);
        ASSERT_TRUE(w.server);
        const MatchedPosition start = w.Driving(0, 1, 0.2);
        const RouteRequestResult route = w.Request(start, w.Destination(2, 3, 0.8));
        EXPECT_EQ(route.status == routestatus::kFound, c.network) << route.status;
        const six::IntfPtr<IDatasets> datasets = w.server->GetDatasets();
        ASSERT_TRUE(datasets);
        EXPECT_EQ(datasets->IsOpen(), c.datasets);
        EXPECT_EQ(w.engine->IsOpen(), c.engine);
        EXPECT_EQ(w.server->GetRetrievalEngine().Get(),
                  static_cast<RetrievalEngine::IRetrievalEngine*>(w.engine.Get()));
        const six::RefCntPtr<TmcMessageStore> store = w.server->GetTmcMessageStore();
        ASSERT_TRUE(store);
        const TmcRawMessage raw = Closure();
        EXPECT_EQ(store->AddRawMessage(&raw), c.tmc);
        DatabaseListPtr databases;
        w.server->GetDatabases(databases);
        ASSERT_TRUE(databases && databases->size() == 1);
        EXPECT_EQ((*databases)[0]->GetPath(), kDatabase);
        EXPECT_EQ(w.server->GetLanguage(), 0);
        EXPECT_EQ(w.server->Reserved(), 0);
    }
}

TEST(OnboardServer, RouteRequestsFireTheirResults) {
    ServerWorld w;
    ASSERT_TRUE(w.server);
    // Without a route the remaining length is unknown; with one it sums the records ahead.
    EXPECT_EQ(Onboard::OnboardServerImpl::RemainingLength(nullptr), -1);
    const RouteRequestResult first = w.Request(w.Driving(0, 1, 0.2), w.Destination(2, 3, 0.8));
    ASSERT_EQ(first.status, routestatus::kFound);
    std::int32_t sum = 0;
    for (RouteIteratorPtr it = GetRouteIterator(first); it && it->IsValid(); it->Next()) {
        sum += it->Current().length;
    }
    EXPECT_GT(sum, 0);
    EXPECT_EQ(Onboard::OnboardServerImpl::RemainingLength(GetRouteIterator(first)), sum);
    const RouteRequestResult second = w.Request(w.Driving(4, 5, 0.5), w.Destination(10, 11, 0.5));
    EXPECT_EQ(second.status, routestatus::kFound);
    RouteRequestResult between;
    w.server->RequestRouteBetween(between, w.Destination(0, 1, 0.5), w.Destination(1, 2, 0.5));
    std::vector<RouteRequestResult> tour;
    w.server->RequestTour(
        tour, {w.Destination(0, 1, 0.5), w.Destination(1, 2, 0.5), w.Destination(2, 3, 0.5)});
    EXPECT_EQ(tour.size(), 2U);
    RouteRequestResult none;
    w.server->RequestRoute(none, nullptr, {});
    EXPECT_EQ(none.status, routestatus::kNoStart);
    std::vector<std::uint32_t> statuses;
    for (const EventLog::Entry& e : w.log.Entries()) {
        if (e.kind == 'R') {
            statuses.push_back(e.status);
        }
    }
    EXPECT_EQ(statuses, std::vector<std::uint32_t>(5, routestatus::kFound));
}

// A route found with an advisor file cut short is driven with what the advisor could read: the
// user is told once a run, naming the file, however many routes follow; whole files tell nothing.
// A settings file that names no folder for the advisor's files, where "\ConfigFiles" holds none
// of them either (the junction pictures only), is named itself. A country's driving side that is
// no side word is told by its country, its line and the file, not as a file that cannot be used
// (without the language library the words stand one after another).
TEST(OnboardServer, TellsOnceOfEachAdvisorFileThatCannotBeUsedWhole) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        const char* cut; // below "\ConfigFiles", cut to half its size; "": the files removed
        std::vector<std::u16string> texts;
        std::string sides = {}; // in place of England's line in General.properties
    } cases[] = {
        {"whole", nullptr, {}},
        {"phrases cut", "SOA.csv", {u"\\ConfigFiles\\SOA.csv"}},
        {"distances cut", "SpokenDistances.csv", {u"\\ConfigFiles\\SpokenDistances.csv"}},
        {"no files", "", {u"\\Windows\\Quarn.ini (ConfigFilesDir)"}},
        // The world's roads carry no country code: they are Germany's. A side of a country no
        // road of the route belongs to keeps nothing untold, and is not told.
        {"a driving side with a blank after it",
         nullptr,
         {u"Germany \"Germany.Drivingside;Left \" \\ConfigFiles\\General.properties"},
         "England.Drivingside;Left\r\nGermany.Drivingside;Left \r\n"},
        {"a driving side of a country the route does not reach",
         nullptr,
         {},
         "England.Drivingside;Left \r\n"},
        // The line as the file holds it: a stray CR joins the next line to it.
        {"a driving side with a stray CR",
         nullptr,
         {u"Germany \"Germany.Drivingside;Left\\r\\r\\nIreland.Drivingside;Left\" "
          u"\\ConfigFiles\\General.properties"},
         "England.Drivingside;Left\r\nGermany.Drivingside;Left\r\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ServerWorld w;
        ASSERT_TRUE(w.server);
        const fs::path folder = w.root.HostPath() / "ConfigFiles";
        if (c.cut != nullptr && *c.cut != '\0') {
            fs::resize_file(folder / c.cut, fs::file_size(folder / c.cut) / 2);
        } else if (c.cut != nullptr) {
            fs::remove_all(folder);
            fs::create_directories(folder / "HiWayImages");
        }
        if (!c.sides.empty()) {
            std::string general =
                testdata::ReadHostFile(folder / "General.properties").value_or("");
            const std::string line = "England.Drivingside;Left\r\n";
            const std::size_t at = general.find(line);
            ASSERT_NE(at, std::string::npos);
            general.replace(at, line.size(), c.sides);
            ASSERT_TRUE(
                testdata::WriteHostFile(folder / "General.properties",
                                        std::vector<std::uint8_t>(general.begin(), general.end())));
        }
        AdvisorStore::Instance().Reset();
        ForgetFileCheckMessages();
        platform::ClearRecordedMessageBoxes();
        for (int route = 0; route < 2; ++route) {
            EXPECT_EQ(w.Request(w.Driving(0, 1, 0.2), w.Destination(2, 3, 0.8)).status,
                      routestatus::kFound);
        }
        std::vector<std::u16string> texts;
        for (const auto& box : platform::RecordedMessageBoxes()) {
            texts.push_back(box.text);
        }
        EXPECT_EQ(texts, c.texts);
    }
    AdvisorStore::Instance().Reset();
    ForgetFileCheckMessages();
}

TEST(OnboardServer, WithoutAnEngineEverySlotAnswersEmpty) {
    testdata::TempDeviceRoot root;
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    const Onboard::OnboardServerPtr server = CreateIOnboardServer(nullptr);
    ASSERT_TRUE(server);
    EventLog log;
    log.Connect(*server);
    MatchedPosition here{};
    RouteRequestResult result;
    server->RequestRoute(result, &here, {});
    EXPECT_EQ(result.status, routestatus::kNoNetwork);
    server->RequestRouteBetween(result, nullptr, nullptr);
    EXPECT_EQ(result.status, routestatus::kNoNetwork);
    std::vector<RouteRequestResult> tour{RouteRequestResult()};
    server->RequestTour(tour, {});
    EXPECT_TRUE(tour.empty());
    EXPECT_TRUE(log.Entries().empty());
    const std::uint32_t id = 1;
    const std::uint32_t keys[] = {id};
    RoutePositionPtr position;
    EXPECT_FALSE(server->CreateElementDestination(position, &id));
    EXPECT_FALSE(server->CreatePositionDestination(position, &id, nullptr));
    EXPECT_FALSE(server->CreateElementSetDestination(position, nullptr));
    EXPECT_FALSE(server->AddFlaggedElementsMarked(keys, 1));
    EXPECT_FALSE(server->AddFlaggedElements(keys, 1));
    EXPECT_FALSE(server->RemoveFlaggedElements(keys));
    EXPECT_EQ(server->GetRoutingOptions(), nullptr);
    EXPECT_FALSE(server->GetDatasets());
    EXPECT_FALSE(server->GetRetrievalEngine());
    EXPECT_FALSE(server->GetTmcMessageStore());
    AdvicePtr advice;
    EXPECT_FALSE(server->GetAdviceAtPosition(advice));
    GpsReceiverPtr receiver;
    EXPECT_FALSE(server->OpenAlternativeGps(receiver));
    server->CloseAlternativeGps();
    EXPECT_EQ(server->DetectGpsPort(1), 0);
    const std::vector<std::uint32_t>* flagged = server->AvoidRoadAhead(500, true);
    ASSERT_NE(flagged, nullptr);
    EXPECT_TRUE(flagged->empty());
    server->EnableTrafficAvoidance(false);
    server->ClearRoute();
    // The settings file is never looked for: the language stays at its first value.
    EXPECT_EQ(server->GetLanguage(), 2);
    EXPECT_TRUE(log.Entries().empty());
}

TEST(OnboardServer, HouseNumberTypesCopyThroughTheServersHeader) {
    const HouseNumber number(12, 'b');
    HouseNumber assigned;
    assigned = number;
    EXPECT_EQ(assigned.GetNumber(), 12);
    HouseNumberArray array;
    array.Append(number);
    const HouseNumberArray copied(array);
    HouseNumberArray assignedArray;
    assignedArray = copied;
    ASSERT_EQ(assignedArray.GetSize(), 1U);
    EXPECT_EQ(assignedArray[0].GetSuffix(), 'b');
    HouseNumberInfo info;
    info.firstSide = copied;
    const HouseNumberInfo infoCopy(info);
    HouseNumberInfo infoAssigned;
    infoAssigned = infoCopy;
    EXPECT_EQ(infoAssigned.firstSide.GetSize(), 1U);
}

} // namespace

namespace {

TEST(OnboardServer, DataLocationNamesTheSettingsFileAndTheDataFolder) {
    ServerWorld w;
    ASSERT_TRUE(w.server);
    w.server.Release();
    // The first server found its settings file through the registry; that store goes.
    ASSERT_TRUE(std::filesystem::remove(w.root.HostPathOf(u"\\Registry.txt")));
    ASSERT_TRUE(w.root.WriteFile(u"\\Loc.ini", "[DB]\r\nFileName=\\Data\\Grid\r\n[Properties]\r\n"
                                               "Language=3\r\n[GPS]\r\nAutoLog=0\r\n"));
    const six::RefCntPtr<DataLocation> location = CreateDataLocation(u"\\Loc.ini");
    ASSERT_TRUE(location);
    ASSERT_EQ(location->GetDataFolder(), kDatabase);
    const Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(w.engine), location);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->GetLanguage(), 3);
    DatabaseListPtr databases;
    server->GetDatabases(databases);
    ASSERT_TRUE(databases && databases->size() == 1);
    EXPECT_EQ((*databases)[0]->GetPath(), kDatabase);
    EXPECT_TRUE(w.engine->IsOpen());
    // The registry was not asked: no store was written.
    EXPECT_FALSE(w.root.Exists(u"\\Registry.txt"));
}

} // namespace
