#include "utilities/mapgeometry/geometrypool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor): pool objects are never destroyed
class TaggedGeometry final : public GeometryElement {
public:
    explicit TaggedGeometry(int tag)
        : m_tag(tag) {}
    std::uint32_t GetAttributeWord() const override { return 0; }
    std::uint16_t GetTypeCode() const override { return 0; }
    MapRect GetBounds() const override { return {}; }
    const std::uint8_t* GetRecord() const override { return nullptr; }
    bool Intersects(const MapRect&) const override { return false; }
    std::uint32_t GetPointCount() const override { return 1; }
    bool GetPoint(std::uint32_t index, MapPoint& point) const override {
        if (index != 0) {
            return false;
        }
        point = {m_tag, m_tag};
        return true;
    }

private:
    int m_tag;
};

int TagOf(const GeometryRef& ref) {
    MapPoint point;
    return ref && ref->GetPoint(0, point) ? point.x : -1;
}

TEST(GeometryPool, HoldsAHundredLiveElementsAndReusesFreedSlotsRoundRobin) {
    ASSERT_EQ(GeometryPool::GetLiveCount(), 0u);
    std::vector<GeometryRef> live;
    for (int i = 0; i < 100; ++i) {
        live.push_back(GeometryPool::Make<TaggedGeometry>(i));
        ASSERT_TRUE(live.back());
    }
    EXPECT_FALSE(GeometryPool::Make<TaggedGeometry>(100)); // the 101st
    EXPECT_EQ(GeometryPool::GetLiveCount(), 100u);

    // A copy keeps the slot; the slot frees only with the last reference.
    GeometryRef copy = live[40];
    live[40].Release();
    EXPECT_FALSE(GeometryPool::Make<TaggedGeometry>(101));
    const GeometryElement* slot40 = copy.Get();
    GeometryRef same = copy;
    copy = same; // assigning the same element changes nothing
    same.Release();
    copy.Release();
    const GeometryElement* slot70 = live[70].Get();
    live[70].Release();
    // Round-robin from the slot after the one taken last: slot 40 first, then slot 70.
    GeometryRef first = GeometryPool::Make<TaggedGeometry>(200);
    GeometryRef second = GeometryPool::Make<TaggedGeometry>(201);
    EXPECT_EQ(first.Get(), slot40);
    EXPECT_EQ(second.Get(), slot70);
    EXPECT_EQ(TagOf(first), 200);
    EXPECT_EQ(TagOf(second), 201);
    EXPECT_FALSE(GeometryPool::Make<TaggedGeometry>(202));

    live.clear();
    first.Release();
    second.Release();
    EXPECT_EQ(GeometryPool::GetLiveCount(), 0u);
}

TEST(GeometryPool, ThreadsNeverShareASlot) {
    std::atomic<bool> didShare{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::vector<std::pair<GeometryRef, int>> held;
            for (int i = 0; i < 3000; ++i) {
                const int tag = t * 100000 + i;
                GeometryRef ref = GeometryPool::Make<TaggedGeometry>(tag);
                if (ref) { // the pool may be full for a moment
                    held.emplace_back(ref, tag);
                }
                if (held.size() > 10) {
                    held.erase(held.begin());
                }
                for (const auto& [element, elementTag] : held) {
                    if (TagOf(element) != elementTag) {
                        didShare = true;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_FALSE(didShare.load());
    EXPECT_EQ(GeometryPool::GetLiveCount(), 0u);
}

} // namespace
