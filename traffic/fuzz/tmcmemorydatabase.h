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

// Attaches every sample table (and `bytes` in `replaced`, when one is given) to the database.
inline void AttachMemoryTables(TmcDatabase& database, const TmcTableSlot* replaced,
                               const std::vector<std::uint8_t>& bytes) {
    static const std::map<std::string, std::vector<std::uint8_t>> tables =
        testdata::TmcTablesWriter(testdata::TmcSampleTables()).BuildTables();
    for (int slot = 0; slot < kTmcTableCount; ++slot) {
        const auto which = static_cast<TmcTableSlot>(slot);
        const std::u16string name = TmcTableName(which);
        std::vector<std::uint8_t> file = replaced != nullptr && *replaced == which
                                             ? bytes
                                             : tables.at(std::string(name.begin(), name.end()));
        CachedFilePtr cached = testdata::MakeMemoryBlockFile(std::move(file), 1);
        if (!cached) {
            continue;
        }
        testdata::BytesFile header(
            static_cast<const testdata::MemoryBlockFile&>(*cached).GetBytes());
        (void)AttachTmcTable(database.GetTables(), which, header, std::move(cached));
    }
}
