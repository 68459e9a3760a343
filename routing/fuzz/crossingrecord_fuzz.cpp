// Reads arbitrary page bytes as crossing records: every crossing in page order, its position,
// turn table and attribute lists, and its links through plain and restricted cursors in every
// travel mode. Input: page size byte, flags byte, then the pages.
#include "routing/linkcursor.h"
#include "routing/networkcrossing.h"

#include <cstdint>
#include <vector>

namespace {

class MemoryStore final : public SeparatedPageStore {
public:
    MemoryStore(std::vector<std::uint8_t> pages, std::uint32_t pageSize, bool isSeparated)
        : SeparatedPageStore(nullptr)
        , m_pages(std::move(pages)) {
        PageStoreParameters p;
        p.pageSize = pageSize;
        p.isSeparated = isSeparated;
        p.hasAdditionalAttributes = true;
        const std::size_t end = m_pages.size();
        p.endPage = static_cast<std::uint16_t>(end / pageSize);
        p.endOffset = static_cast<std::uint16_t>(end % pageSize);
        p.crossingCount = static_cast<std::uint32_t>(end / 4);
        (void)TakeParameters(p);
    }
    RecordBytes GetRecord(std::uint16_t page, std::uint16_t offset) override {
        return RecordIn(m_pages.data(), m_pages.size(), page, offset);
    }

private:
    std::vector<std::uint8_t> m_pages;
};

class Source final : public PageStoreSource {
public:
    explicit Source(SeparatedPageStore& store)
        : m_store(store) {}
    SeparatedPageStore* GetStore(std::uint16_t level) const override {
        return level == 0 ? &m_store : nullptr;
    }

private:
    SeparatedPageStore& m_store;
};

class History final : public ManoeuvreHistory {
public:
    void Reset() override { m_at = 0; }
    bool HasMore() const override { return m_at < 3; }
    std::uint16_t Current() const override { return static_cast<std::uint16_t>(m_at); }
    void Advance() override { ++m_at; }
    std::vector<PendingPath>& GetPendingPaths() override { return m_paths; }

private:
    std::vector<PendingPath> m_paths;
    std::size_t m_at = 0;
};

void ReadCrossing(const NetworkCrossing& crossing, const PageStoreSource& source) {
    (void)crossing.GetId();
    (void)crossing.Position();
    (void)crossing.GetCrossingValue();
    for (std::uint32_t from = 0; from < 16; from += 5) {
        (void)crossing.IsTurnProhibited(from, 2);
    }
    if (const AttributeAccessorPtr attributes = crossing.GetAttributes()) {
        for (const auto& list :
             {attributes->CreateList1Reader(), attributes->CreateList2Reader()}) {
            for (; list->HasMore(); list->Next()) {
                for (std::uint32_t v = 0; v < 16; ++v) {
                    (void)list->Value(v);
                }
                (void)list->IsExempt(4);
            }
        }
        for (const auto& list :
             {attributes->CreateList3Reader(), attributes->CreateList4Reader()}) {
            for (; list->HasMore(); list->Next()) {
                (void)list->ModeCode();
            }
        }
    }
    (void)source;
    for (const TravelMode mode : {0u, 1u, 2u, 3u, 4u, 9u, 12u}) {
        for (const bool isForward : {true, false}) {
            History history;
            LinkCursor cursor(crossing, isForward, mode % 3, mode, &history);
            for (int step = 0; step < 16 && cursor.IsValid(); ++step, cursor.Next()) {
                (void)cursor.GetTargetId();
                (void)cursor.GetDirectionCode();
                (void)cursor.GetList3Code();
                (void)cursor.GetAttributeWord();
                (void)cursor.GetRoadClass();
                (void)cursor.GetElementId();
            }
        }
        LinkCursor plain(crossing, 0, mode);
        for (int step = 0; step < 16 && plain.IsValid(); ++step, plain.Next()) {
            (void)plain.GetLength();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint32_t pageSize = 12 + 4u * data[0];
    MemoryStore store({data + 2, data + size}, pageSize, (data[1] & 1) != 0);
    const Source source(store);
    NetworkCrossing crossing(source, {0, 0, 0xFFFFFFFF, 0});
    for (int step = 0; step < 32 && crossing.IsValid(); ++step, crossing.Next()) {
        ReadCrossing(crossing, source);
    }
    return 0;
}
