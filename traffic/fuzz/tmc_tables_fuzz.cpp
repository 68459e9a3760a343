// One table's bytes (arbitrary, or a sample table patched) opened from memory as each of the
// eleven TMC tables beside the sample's others, then every location and event question asked.
// Texts must stay inside their columns and walks must end.

#include "testdata/fuzzinput.h"
#include "traffic/fuzz/tmcmemorydatabase.h"
#include "utilities/usefulcode/memoryarena.h"

#include <cstddef>
#include <cstdint>

namespace {

void AskLocation(TmcDatabase& database, std::uint32_t code) {
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    static const std::map<std::string, std::vector<std::uint8_t>> sample =
        testdata::TmcTablesWriter(testdata::TmcSampleTables()).BuildTables();
    if (size < 2 || !isReserved) {
        return 0;
    }
    const auto base = static_cast<TmcTableSlot>(data[0] % kTmcTableCount);
    const std::u16string baseName = TmcTableName(base);
    const std::vector<std::uint8_t> bytes = testdata::FileFromFuzzInput(
        sample.at(std::string(baseName.begin(), baseName.end())), data + 1, size - 1);
    for (int slot = 0; slot < kTmcTableCount; ++slot) {
        const auto which = static_cast<TmcTableSlot>(slot);
        const TmcDatabasePtr database = CreateTmcDatabase(BlockCache::Create(64));
        if (!database) {
            return 0;
        }
        AttachMemoryTables(*database, &which, bytes);
        for (std::uint32_t location = 100; location <= 106; ++location) {
            AskLocation(*database, MakeTmcLocationCode(1, 1, location));
        }
        AskLocation(*database, MakeTmcLocationCode(1, 1, 200));
        AskLocation(*database, MakeTmcLocationCode(1, 1, 300));
        for (const std::uint16_t code : {101, 401, 2047, 999}) {
            if (const TmcEventPtr event = database->FindEvent(code)) {
                if (event->GetText().size() > 128 || event->GetSignName().size() > 64) {
                    __builtin_trap();
                }
                (void)event->GetDurationType();
                (void)event->IsCancellation();
                (void)event->GetAttribute136();
            }
        }
    }
    return 0;
}
