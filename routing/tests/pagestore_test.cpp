#include "routing/networkdescription.h"
#include "routing/pagecache.h"
#include "routing/pagestore.h"
#include "routing/pagetree.h"
#include "routing/tests/networkfixture.h"

#include "platform/kernel/messagebox.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Pages whose bytes are their page number; the first `failures` reads fail.
class PageFile final : public RawFile {
public:
    PageFile(std::uint32_t pageSize, std::uint32_t size, int failures)
        : m_pageSize(pageSize)
        , m_size(size)
        , m_failures(failures) {}
    void Open(const std::u16string&, RawFileMode) override {}
    LONG Seek(LONG offset, int origin) override {
        m_at = origin == kRawSeekEnd ? static_cast<LONG>(m_size) + offset : offset;
        return m_at;
    }
    bool Read(void* buffer, DWORD count) override {
        ++reads;
        if (m_failures-- > 0 || static_cast<std::uint32_t>(m_at) + count > m_size) {
            return false;
        }
        std::memset(buffer, static_cast<int>(static_cast<std::uint32_t>(m_at) / m_pageSize), count);
        return true;
    }
    bool Write(const void*, DWORD) override { return false; }
    bool IsOpen() const override { return true; }
    LONG Tell() override { return m_at; }
    int Close() override { return 1; }

    std::atomic<int> reads{0};

private:
    std::uint32_t m_pageSize;
    std::uint32_t m_size;
    std::atomic<int> m_failures;
    LONG m_at = 0;
};

TEST(PageTreeParse, ReadsPreOrderNodesAndRefusesBrokenFiles) {
    using Node = PageTree::Node;
    const auto leaf = [](std::uint32_t page) { return page << 1 | 1u; };
    const struct {
        const char* name;
        std::vector<std::uint16_t> values;
        std::optional<std::vector<Node>> nodes;
    } cases[] = {
        {"root with a leaf and an inner node",
         {0xFFFF, 3, 0xFFFF, 5, 6},
         std::vector<Node>{{leaf(3), 1u << 1}, {leaf(5), leaf(6)}}},
        {"values after the tree", {0xFFFF, 1, 2, 9, 9}, std::vector<Node>{{leaf(1), leaf(2)}}},
        {"shorter than 4 bytes", {0xFFFF}, std::nullopt},
        {"first value a page", {4, 0xFFFF, 1, 2}, std::nullopt},
        {"unfinished", {0xFFFF, 0xFFFF, 1, 2}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes;
        for (const std::uint16_t v : c.values) {
            bytes.push_back(static_cast<std::uint8_t>(v));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        const auto tree = PageTree::Parse(bytes);
        ASSERT_EQ(tree.has_value(), c.nodes.has_value());
        if (tree) {
            ASSERT_EQ(tree->GetNodes().size(), c.nodes->size());
            for (std::size_t i = 0; i < c.nodes->size(); ++i) {
                EXPECT_EQ(tree->GetNodes()[i].lower, (*c.nodes)[i].lower);
                EXPECT_EQ(tree->GetNodes()[i].upper, (*c.nodes)[i].upper);
            }
        }
    }
}

TEST(PageCacheRead, RetriesAfterASecondAndGivesUpWithAMessage) {
    const struct {
        int failures;
        std::uint32_t page;
        std::uint32_t fileSize;
        bool isRead;
        std::uint64_t waitedMs;
        int reads;
        std::size_t boxes;
    } cases[] = {
        {0, 1, 256, true, 0, 1, 0},
        {1, 1, 256, true, 1000, 2, 0},
        {2, 1, 256, true, 2000, 3, 0},
        {3, 1, 256, false, 3000, 3, 1}, // the page is not kept: the next get reads again
        {0, 4, 256, false, 0, 0, 0},    // at the end of the file: no read, no growth
        {0, 3, 246, true, 0, 1, 0},     // a last page cut short is read as far as it goes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failures);
        platform::VirtualClock clock;
        clock.SetSleepAdvancesClock(true);
        const platform::ScopedClock installed(clock);
        platform::ClearRecordedMessageBoxes();
        auto file = std::make_unique<PageFile>(64, c.fileSize, c.failures);
        PageFile& raw = *file;
        PageCache cache(64, std::move(file));
        cache.SetPageLimit(2);
        const CachedPagePtr page = cache.GetPage(c.page);
        EXPECT_EQ(page != nullptr, c.isRead);
        EXPECT_EQ(clock.TickMs(), c.waitedMs);
        EXPECT_EQ(raw.reads, c.reads);
        const auto boxes = platform::RecordedMessageBoxes();
        ASSERT_EQ(boxes.size(), c.boxes);
        if (!boxes.empty()) {
            EXPECT_EQ(boxes[0].text, u"ERROR: Reading data failed");
            EXPECT_EQ(boxes[0].caption, u"Routing");
        }
        if (page) {
            EXPECT_EQ(page->size, std::min(64u, c.fileSize - 64 * c.page));
            EXPECT_EQ(page->bytes[page->size - 1], c.page);
        }
        EXPECT_EQ(cache.GetFileSize(), c.fileSize);
        (void)cache.GetPage(c.page);
        EXPECT_EQ(raw.reads, c.reads + (c.isRead || c.page >= 4 ? 0 : 1));
    }
}

TEST(PageCacheLimit, KeepsTheMostRecentPagesAndPinnedPagesIntact) {
    auto file = std::make_unique<PageFile>(16, 16 * 16, 0);
    PageFile& raw = *file;
    PageCache cache(16, std::move(file));
    cache.SetPageLimit(0); // one page is still kept
    const CachedPagePtr held = cache.GetPage(3);
    for (std::uint32_t page = 0; page < 16; ++page) {
        ASSERT_TRUE(cache.GetPage(page));
    }
    EXPECT_EQ(cache.GetHeldPages(), 1u);
    EXPECT_EQ(held->bytes[0], 3); // not reused while held
    cache.SetPageLimit(3);
    for (const std::uint32_t page : {5u, 6u, 7u, 5u, 6u, 7u}) {
        ASSERT_TRUE(cache.GetPage(page));
    }
    EXPECT_EQ(raw.reads, 16 + 1 + 3);
    EXPECT_EQ(cache.GetHeldPages(), 3u);
    cache.SetPageLimit(1);
    EXPECT_EQ(cache.GetHeldPages(), 1u);
}

TEST(PageCacheLimit, CountsHitsAndEvictsTheLeastRecentPage) {
    const struct {
        const char* name;
        std::vector<std::uint32_t> gets; // with a limit of two pages
        int reads;
        std::uint64_t hits;
    } cases[] = {
        {"the most recent page again", {1, 1, 1}, 1, 2},
        {"the most recent page, then a third", {1, 2, 2, 3, 1}, 4, 1},
        {"the older page made recent", {1, 2, 1, 3, 1}, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = std::make_unique<PageFile>(16, 16 * 8, 0);
        PageFile& raw = *file;
        PageCache cache(16, std::move(file));
        cache.SetPageLimit(2);
        for (const std::uint32_t page : c.gets) {
            const CachedPagePtr got = cache.GetPage(page);
            ASSERT_TRUE(got);
            EXPECT_EQ(got->bytes[0], page);
        }
        EXPECT_EQ(raw.reads, c.reads);
        EXPECT_EQ(cache.GetHits(), c.hits);
        EXPECT_EQ(cache.GetMisses(), c.gets.size() - c.hits);
    }
}

TEST(SeparatedPageStoreBudget, SplitsPagesAndPositionsAndKeepsOnePage) {
    const struct {
        std::uint32_t budgetKb;
        bool isSeparated;
        std::uint32_t pageLimit;
        std::uint32_t positionLimit;
    } cases[] = {{300, true, 25, 12}, {300, false, 37, 0}, {4, true, 1, 1}, {0, true, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.budgetKb);
        testdata::RoadNetworkOptions options;
        options.pageSize = 8192;
        options.separated = {c.isSeparated, false, false};
        testdata::RoadNetworkWriter writer(testdata::RoadWorld::Grid(10, 10, 500, {0, 0}), options);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(writer.WriteTo(root, u"\\Net"));
        const auto& layout = writer.GetLayout()[0];
        PageStoreParameters p;
        p.pageFileName = u"\\Net\\Net0.pag";
        p.indexFileName = u"\\Net\\Net0.idx";
        p.pageSize = 8192;
        p.crossingCount = static_cast<std::uint32_t>(layout.nodeOfCrossing.size());
        p.endPage = layout.lastPage;
        p.endOffset = layout.lastOffset;
        p.isSeparated = c.isSeparated;
        SeparatedPageStore store(nullptr);
        ASSERT_TRUE(store.Open(p));
        store.SetCacheBudget(c.budgetKb);
        EXPECT_EQ(store.GetCacheCounts().pageLimit, c.pageLimit);
        EXPECT_EQ(store.GetCacheCounts().positionLimit, c.positionLimit);
        EXPECT_TRUE(store.GetPageTree().has_value());
    }
}

TEST(PositionFile, HoldsWholeEntriesPerPage) {
    const struct {
        std::uint32_t id;
        std::uint32_t crossings;
        std::optional<std::uint64_t> offset;
    } cases[] = {{682, 1000, 8192},
                 {681, 1000, 8172},
                 {999, 1000, 8192 + 317 * 12},
                 {1000, 1000, std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(PositionEntryOffset(c.id, c.crossings, 8192), c.offset);
    }
    PageStoreParameters p;
    p.pageSize = 8192;
    p.crossingCount = 1000;
    p.endPage = 1;
    EXPECT_TRUE(CheckMapFileSizes(p, 16384, 12008));
    EXPECT_FALSE(CheckMapFileSizes(p, 16384, 12007));
    EXPECT_EQ(PositionFileName(u"\\a.b\\Net0.pag"), u"\\a.b\\Net0.sep");
    EXPECT_EQ(PositionFileName(u"\\a.b\\Net0"), u"\\a.b\\Net0.sep");
}

TEST(SeparatedPageStoreThreads, AHeldRecordStaysIntactWhileOthersReadOtherPages) {
    routingtest::SetFreeMemory(2 << 20);
    testdata::RoadNetworkOptions options;
    options.isArchived = true;
    options.separated = {true, false, false};
    const auto net =
        routingtest::WriteAndLoad(testdata::RoadWorld::Grid(100, 100, 500, {0, 0}), options);
    ASSERT_TRUE(net->isLoaded);
    SeparatedPageStore* store = net->network->GetStore(0);
    ASSERT_EQ(store->GetKind(), SeparatedPageStore::Kind::Separated);
    store->SetCacheBudget(0);
    const NetworkCrossingPtr held = net->network->CreateCrossing(net->AddressOfNode(0, 0));
    const std::uint32_t id = held->GetId();
    const GeoPoint position = held->Position();
    std::atomic<bool> isDone{false};
    std::thread reader([&] {
        for (std::uint32_t node = 1; node < 10000; node += 37) {
            const NetworkCrossingPtr other =
                net->network->CreateCrossing(net->AddressOfNode(0, node));
            EXPECT_EQ(other->GetId(), net->Layout(0).crossingOfNode.at(node));
        }
        isDone = true;
    });
    while (!isDone) {
        ASSERT_EQ(held->GetId(), id);
        ASSERT_EQ(held->GetLinkCount(), 2u);
    }
    reader.join();
    EXPECT_EQ(held->Position(), position);
    platform::OverrideMemoryStatus(std::nullopt);
}

} // namespace
