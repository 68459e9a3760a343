#include "mapdisplay/labeltextindex.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

// Against a plain map of what is listed: after inserts and erases in any order, with hashes
// that share the table's home slots and runs that wrap past its end, and past the first size,
// an id is found under its hash exactly while it is listed, and the count follows.
TEST(LabelTextIndex, FindsExactlyTheListedIdsThroughCollisionsErasesAndGrowth) {
    const struct {
        std::uint64_t homes; // distinct low bits the hashes share
        std::uint32_t ids;   // listed at most at once
        int steps;
    } cases[] = {{3, 60, 4000}, {1, 40, 2000}, {1000000, 240, 4000}, {7, 900, 6000}};
    std::mt19937 random(5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ids);
        std::uniform_int_distribution<std::uint64_t> home(0, c.homes - 1);
        std::uniform_int_distribution<std::uint32_t> pick(0, c.ids - 1);
        // Homes near the table's end (511 and below) make runs wrap to its start.
        const auto hashOf = [&](std::uint64_t h) { return (h << 20) | (511 - h % 512); };
        LabelTextIndex index;
        std::map<std::uint32_t, std::uint64_t> listed;
        for (int step = 0; step < c.steps; ++step) {
            const std::uint32_t id = pick(random);
            const auto at = listed.find(id);
            if (at == listed.end()) {
                const std::uint64_t hash = hashOf(home(random));
                index.Insert(id, hash);
                listed.emplace(id, hash);
            } else {
                index.Erase(id, at->second + (step % 5 == 0 ? 1 : 0)); // a wrong hash: kept
                if (step % 5 != 0) {
                    listed.erase(at);
                }
            }
            ASSERT_EQ(index.Count(), listed.size());
            if (step % 50 != 0) {
                continue;
            }
            for (std::uint32_t probe = 0; probe < c.ids; ++probe) {
                const auto known = listed.find(probe);
                const std::uint64_t hash =
                    known != listed.end() ? known->second : hashOf(home(random));
                std::set<std::uint32_t> asked;
                const bool isFound = index.Any(hash, [&](std::uint32_t id) {
                    asked.insert(id);
                    return id == probe;
                });
                EXPECT_EQ(isFound, known != listed.end()) << probe;
                for (const std::uint32_t id : asked)
                    EXPECT_EQ(listed.at(id), hash) << id;
            }
        }
        index.Clear();
        EXPECT_EQ(index.Count(), 0U);
        for (const auto& [id, hash] : listed)
            EXPECT_FALSE(index.Any(hash, [](std::uint32_t) { return true; })) << id;
    }
}

TEST(LabelTextIndex, HashesTellFontsAndTextsApart) {
    const std::u16string texts[] = {u"", u"Main Street", u"Main Street ", u"main Street"};
    std::set<std::uint64_t> hashes;
    for (const std::u16string& text : texts) {
        for (const std::uint32_t font : {0U, 1U, 3U, 0x10000U})
            hashes.insert(LabelTextIndex::Hash(font, text));
    }
    EXPECT_EQ(hashes.size(), std::size(texts) * 4);
    EXPECT_EQ(LabelTextIndex::Hash(3, u"Main Street"),
              LabelTextIndex::Hash(3, std::u16string(u"Main Street")));
}
