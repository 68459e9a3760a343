// Simulated drives between municipalities of the converted extract, advised all the way: advice
// at every position, each advice junction's last announcement once, roundabout exits with their
// codes, the arrival at the end, and a voice sample for every phrase key spoken.
#include "advisor/advisor.h"
#include "advisor/advisorcore.h"
#include "advisor/junctionrules.h"
#include "advisor/voiceoutput.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/simulateddrive.h"
#include "tools/osmtests/convertedextract.h"
#include "tools/osmtests/extractplaces.h"

#include "platform/sfs/sfsformat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

class ExtractDrive : public ConvertedExtract {
protected:
    // With the build's demo advisor data and german voices.
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"drive", options}});
    }

    void SetUp() override {
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        ASSERT_TRUE(m_engine->Open(std::u16string(u"\\drive") + osm2nav::kLevelFile));
        m_service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_service &&
                    m_service->OpenNetwork(std::u16string(u"\\drive") + osm2nav::kNetworkFile));
    }
    void TearDown() override { m_engine->Close(); }

    RoutePositionPtr PositionIn(const std::u16string& name) {
        const auto id = extractplaces::FirstTownRoad(*m_engine, name);
        return id ? m_service->CreateElementPosition(&*id) : nullptr;
    }

    // The sample names of the voice archive the conversion wrote.
    static std::set<std::u16string> VoiceSamples() {
        std::set<std::u16string> names;
        const auto bytes = s_root->ReadFile(u"\\drive\\sound\\german_waves.sfs");
        std::vector<platform::SfsMember> members;
        if (bytes &&
            platform::ParseSfsArchive(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()),
                members) == platform::SfsFormatError::None) {
            for (const auto& member : members) {
                names.insert(member.name);
            }
        }
        return names;
    }

    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    RouteServicePtr m_service;
};

struct GeoKey {
    float x;
    float y;
    bool operator<(const GeoKey& other) const {
        return x < other.x || (x == other.x && y < other.y);
    }
};

TEST_F(ExtractDrive, AdvisesAllTheWayAndSaysEveryLastAnnouncementOnce) {
    const std::pair<std::u16string, std::u16string> trips[] = {
        {u"Ruggell", u"Balzers"}, {u"Balzers", u"Ruggell"}, {u"Vaduz", u"Triesenberg"},
        {u"Schaan", u"Planken"},  {u"Eschen", u"Mauren"},   {u"Gamprin", u"Schellenberg"},
        {u"Triesen", u"Vaduz"},   {u"Mauren", u"Balzers"}};
    const std::set<std::u16string> samples = VoiceSamples();
    ASSERT_FALSE(samples.empty());
    std::size_t passages = 0;
    for (const auto& [from, to] : trips) {
        SCOPED_TRACE(std::string(from.begin(), from.end()) + " to " +
                     std::string(to.begin(), to.end()));
        const RoutePositionPtr start = PositionIn(from);
        const RoutePositionPtr destination = PositionIn(to);
        ASSERT_TRUE(start && destination);
        const RouteRequestResult route = m_service->RequestRoute(start, destination, nullptr);
        ASSERT_EQ(route.status, routestatus::kFound);
        AdvisorPtr advisor;
        CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(m_engine), route,
                            u"\\drive\\ConfigFiles", {});
        ASSERT_TRUE(advisor);

        std::map<GeoKey, int> lastAnnouncements;               // per advice junction
        std::map<std::uint32_t, std::set<std::int32_t>> kinds; // per junction element
        std::int32_t lastKind = 0;
        testdata::SimulatedDrive drive(route.route, 10.0);
        testdata::DrivePosition at;
        while (drive.Next(at)) {
            AdvicePtr advice;
            ASSERT_TRUE(advisor->CreateAdvice(advice, at.position, at.route, 0) &&
                        advice->IsValid())
                << at.metresDriven << " m";
            const AdviceValuePtr value = advice->Current();
            ASSERT_TRUE(value);
            const GeoPoint junction = value->GetPosition();
            int& said = lastAnnouncements[{junction.x, junction.y}];
            std::u16string spoken = value->GetSpeechText();
            // Spoken up to the arrival mark "@", as the navigation map page says it.
            spoken.erase(std::min(spoken.find(u'@'), spoken.size()));
            if (!spoken.empty() && value->GetApproachPercent() == 100) {
                ++said;
            }
            // The next action's wording follows a connector, so it must not bring its own.
            const auto isConnector = [](const std::u16string& key) {
                return key == u"Then.wav" || key == u"ThenImmediately.wav";
            };
            bool afterConnector = false;
            for (const std::u16string& key : SplitPhraseKeys(spoken)) {
                EXPECT_EQ(samples.count(key), 1u) << std::string(key.begin(), key.end());
                EXPECT_FALSE(afterConnector && isConnector(key))
                    << std::string(spoken.begin(), spoken.end());
                afterConnector = isConnector(key);
            }
            if (const RouteIteratorPtr item = value->GetRouteIterator(); item && item->IsValid()) {
                kinds[item->Current().linkId].insert(value->GetKind());
            }
            lastKind = value->GetKind();
        }
        EXPECT_EQ(lastKind, 31);
        for (const auto& [key, said] : lastAnnouncements) {
            EXPECT_EQ(said, 1) << key.x << " " << key.y;
        }
        // Every ring left on the way: its last item is an advice junction with an exit code.
        std::vector<RouteRecord> records;
        for (RouteIteratorPtr it = GetRouteIterator(route); it && it->IsValid(); it->Next()) {
            records.push_back(it->Current());
        }
        for (std::size_t i = 0; i + 1 < records.size(); ++i) {
            if ((records[i].elementAttributes & junctionflags::kRoundabout) == 0 ||
                (records[i + 1].elementAttributes & junctionflags::kRoundabout) != 0) {
                continue;
            }
            ++passages;
            const auto& seen = kinds[records[i].linkId];
            EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                                    [](std::int32_t kind) { return kind >= 21 && kind <= 28; }))
                << "ring left at " << records[i].linkId;
        }
    }
    EXPECT_GT(passages, 0u);
}

TEST_F(ExtractDrive, JumpAheadStartsAfreshFromTheWalkAndKeepsTheEncodeCounter) {
    const RouteRequestResult route =
        m_service->RequestRoute(PositionIn(u"Ruggell"), PositionIn(u"Balzers"), nullptr);
    ASSERT_EQ(route.status, routestatus::kFound);
    Advisor advisor(RetrievalEngine::RetrievalEnginePtr(m_engine), route, u"\\drive\\ConfigFiles",
                    {});
    std::uint8_t buffer[kMaxEncodedAdviceBytes];
    std::size_t sent = 0;
    while (advisor.EncodeNextAdvice(buffer, nullptr) > 0) {
        ++sent;
    }
    ASSERT_EQ(sent, advisor.GetAdviceList().Size());
    std::set<std::uint32_t> before;
    for (const AdviceRecord& record : advisor.GetAdviceList().Records()) {
        before.insert(record.elementId);
    }
    // Two thirds of the way, far beyond the stretch analysed at creation.
    testdata::SimulatedDrive drive(route.route, 10.0);
    testdata::DrivePosition at;
    while (drive.Next(at) && at.metresDriven < route.length * 2.0 / 3.0) {
    }
    // Each call walks two stretches on (the walk never skips ahead), so the advice comes after a
    // few calls without one.
    AdvicePtr advice;
    int calls = 1;
    while (!advisor.CreateAdvice(advice, at.position, at.route, 0) && calls < 1000) {
        ++calls;
    }
    ASSERT_TRUE(advice);
    EXPECT_GT(calls, 1);
    // The list was started afresh: nothing from before the jump is left in it, and the advice is
    // for a junction ahead.
    const auto& records = advisor.GetAdviceList().Records();
    for (const AdviceRecord& record : records) {
        EXPECT_EQ(before.count(record.elementId), 0u);
    }
    std::set<std::uint32_t> ahead;
    for (RouteIteratorPtr it = at.route->Clone(); it && it->IsValid(); it->Next()) {
        ahead.insert(it->Current().linkId);
    }
    const RouteIteratorPtr junction = advice->Current()->GetRouteIterator();
    ASSERT_TRUE(junction && junction->IsValid());
    EXPECT_EQ(ahead.count(junction->Current().linkId), 1u);
    // Records below the counter are not sent again.
    const std::int32_t bytes = advisor.EncodeNextAdvice(buffer, nullptr);
    EXPECT_EQ(bytes > 0, records.size() > sent);
}

} // namespace
