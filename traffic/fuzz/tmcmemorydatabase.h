#pragma once
// A TMC database whose tables are read from memory: the sample tables of the test-data writer,
// one slot optionally replaced by other bytes. For the fuzz targets.

#include "testdata/bytesfile.h"
#include "testdata/memoryblockfile.h"
#include "testdata/tmctableswriter.h"
#include "traffic/detail/tmctables.h"
#include "traffic/tmcdatabase.h"

#include <map>
#include <string>
#include <vector>

// The sample tables by file name, built once.
inline const std::map<std::string, std::vector<std::uint8_t>>& SampleTmcTables() {
    static const std::map<std::string, std::vector<std::uint8_t>> tables =
        testdata::TmcTablesWriter(testdata::TmcSampleTables()).BuildTables();
    return tables;
}

// The sample table of a slot.
inline const std::vector<std::uint8_t>& SampleTmcTable(TmcTableSlot slot) {
    const std::u16string name = TmcTableName(slot);
    return SampleTmcTables().at(std::string(name.begin(), name.end()));
}

// Attaches `bytes` as the table of a slot, in place of the one it held; the slot is left closed
// when they are refused.
inline void AttachMemoryTable(TmcDatabase& database, TmcTableSlot slot,
                              std::vector<std::uint8_t> bytes) {
    CachedFilePtr cached = testdata::MakeMemoryBlockFile(std::move(bytes), 1);
    const std::vector<std::uint8_t> none;
    testdata::BytesFile header(
        cached ? static_cast<const testdata::MemoryBlockFile&>(*cached).GetBytes() : none);
    (void)AttachTmcTable(database.GetTables(), slot, header, std::move(cached));
}

// Attaches every sample table (and `bytes` in `replaced`, when one is given) to the database.
inline void AttachMemoryTables(TmcDatabase& database, const TmcTableSlot* replaced,
                               const std::vector<std::uint8_t>& bytes) {
    for (int slot = 0; slot < kTmcTableCount; ++slot) {
        const auto which = static_cast<TmcTableSlot>(slot);
        AttachMemoryTable(database, which,
                          replaced != nullptr && *replaced == which ? bytes
                                                                    : SampleTmcTable(which));
    }
}
