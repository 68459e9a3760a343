// One table's bytes (arbitrary, or the slot's sample table patched) opened from memory as the
// TMC table of the slot the first byte chooses, beside the sample's others, then the questions
// that read that table asked: of the event list and sign names the event questions; of a
// location table every location's type and texts, and of the chain and cookie tables its walks
// too. Texts must stay inside their columns and walks must end. Each slot has a database of its
// own holding the sample's other tables, attached once; an input only replaces its slot's table.

#include "testdata/fuzzinput.h"
#include "traffic/fuzz/tmcmemorydatabase.h"
#include "utilities/usefulcode/memoryarena.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace {

constexpr DWORD kCacheKb = 64;

void AskLocation(TmcDatabase& database, std::uint32_t code, bool walks) {
    const TmcLocationPtr location = database.FindLocation(code);
    if (!location) {
        return;
    }
    std::uint8_t byte = 0;
    (void)location->GetTypeClass(byte);
    (void)location->GetAttribute5(byte);
    (void)location->GetAttribute6(byte);
    std::size_t total = location->GetRoadNumber().size() + location->GetRoadName().size() +
                        location->GetFirstName().size() + location->GetSecondName().size() +
                        location->GetAreaName().size();
    if (total > 4 * 64 + 8) {
        __builtin_trap(); // a text read past its column
    }
    (void)location->GetLineCode();
    if (!walks) {
        return;
    }
    for (const bool direction : {true, false}) {
        std::vector<std::uint32_t> codes;
        (void)location->GetChain(direction, 31, codes);
        if (codes.size() > 32) {
            __builtin_trap();
        }
        std::vector<std::uint32_t> ids;
        (void)location->GetElementIds(direction, 31, ids, false, false);
        (void)location->GetElementIds(direction, 0, ids, true, true);
    }
}

void AskEvents(TmcDatabase& database) {
    for (const std::uint16_t code : {101, 401, 2047, 999}) {
        if (const TmcEventPtr event = database.FindEvent(code)) {
            if (event->GetText().size() > 128 || event->GetSignName().size() > 64) {
                __builtin_trap();
            }
            (void)event->GetDurationType();
            (void)event->IsCancellation();
            (void)event->GetAttribute136();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    // Per slot: the cache (a table's header may raise its capacity, set back for each input)
    // and the database over it.
    static const std::array<std::pair<BlockCachePtr, TmcDatabasePtr>, kTmcTableCount> databases =
        [] {
            std::array<std::pair<BlockCachePtr, TmcDatabasePtr>, kTmcTableCount> made;
            for (auto& [cache, database] : made) {
                cache = BlockCache::Create(kCacheKb);
                database = CreateTmcDatabase(cache);
                if (database) {
                    AttachMemoryTables(*database, nullptr, {});
                }
            }
            return made;
        }();
    if (size < 2 || !isReserved) {
        return 0;
    }
    const int slot = data[0] % kTmcTableCount;
    const auto which = static_cast<TmcTableSlot>(slot);
    const auto& [cache, database] = databases[slot];
    if (!cache || !database) {
        return 0;
    }
    cache->SetCapacityKB(kCacheKb);
    AttachMemoryTable(*database, which,
                      testdata::FileFromFuzzInput(SampleTmcTable(which), data + 1, size - 1));
    if (which == TmcTableSlot::Events || which == TmcTableSlot::SignNames) {
        AskEvents(*database);
        return 0;
    }
    const bool walks = which == TmcTableSlot::Chain || which == TmcTableSlot::Cookie;
    for (const std::uint32_t location : {100, 101, 102, 103, 104, 105, 106, 200, 300}) {
        AskLocation(*database, MakeTmcLocationCode(1, 1, location), walks);
    }
    return 0;
}
