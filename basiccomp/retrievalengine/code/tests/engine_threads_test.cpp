#include "basiccomp/retrievalengine/code/mapelement.h"
#include "enginefixture.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

using testdata::MapSetWriter;

// Queries and reads of held elements on three threads while a fourth opens two map sets in turn
// and closes: every read answers from a whole map set or from the blocks an element holds.
TEST(RetrievalEngineThreads, QueriesAndHeldElementsSurviveOpenAndClose) {
    EngineDevice device;
    MapSetWriter writer;
    for (std::int32_t i = 0; i < 400; ++i) {
        testdata::ElementDescription line;
        line.typeLetter = 'p';
        line.points = {{i * 100, 0}, {i * 100 + 50, 70}, {i * 100 + 90, 20}};
        line.typeCode = static_cast<std::uint16_t>(i % 10);
        line.name = "Street " + std::to_string(i);
        ASSERT_TRUE(writer.Add(line));
    }
    testdata::RidHeaderFields header;
    header.mapKind = RidFile::kMapKindWithAddressIndex;
    writer.SetHeader(header);
    ASSERT_TRUE(device.WriteMapSet(writer, u"\\a", "Map", Packing::Loose));
    ASSERT_TRUE(device.WriteMapSet(writer, u"\\b", "Map", Packing::Archived));
    const auto engine = RetrievalEngineImpl::CreateEngine(device.cache);
    ASSERT_TRUE(engine->Open(u"\\a\\Map.rid"));

    std::atomic<bool> isDone{false};
    std::atomic<int> badReads{0};
    std::thread opener([&] {
        for (int i = 0; i < 60; ++i) {
            (void)engine->Open(i % 2 == 0 ? u"\\b\\Map.rid" : u"\\a\\Map.rid");
            if (i % 3 == 0) {
                engine->Close();
            }
        }
        isDone = true;
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&, t] {
            std::vector<six::IntfPtr<MapElement>> held;
            for (std::uint32_t round = 0; !isDone; ++round) {
                const ElementCursorPtr cursor =
                    engine->QueryArea(GeoRect(-1.0f, -1.0f, 1.0f, 1.0f), 2, 5);
                std::size_t count = 0;
                for (; cursor && cursor->IsValid(); cursor->Next()) {
                    count += cursor->GetPointCount() == 3 ? 1 : 0;
                }
                if (cursor && count != 120) {
                    ++badReads;
                }
                const std::size_t index = (round * 7 + t) % 400;
                six::IntfPtr<MapElement> element =
                    engine->GetMappedElement(writer.GetElementIds()[index]);
                if (element.Get() != nullptr) {
                    held.push_back(std::move(element));
                }
                if (held.size() > 20) {
                    held.erase(held.begin());
                }
                for (const six::IntfPtr<MapElement>& element : held) {
                    std::vector<GeoPoint> points;
                    (void)element->GetName();
                    if (!element->GetPoints(points) || points.size() != 3) {
                        ++badReads;
                    }
                }
            }
        });
    }
    opener.join();
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(badReads, 0);
}

} // namespace
