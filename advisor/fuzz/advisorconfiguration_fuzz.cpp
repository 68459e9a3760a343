// Fuzzes the configuration readers from memory: lines, cells, key/value tables and decision
// tables. Any input must be read to its end without a fault, and every decision row key must
// have one part per condition.

#include "advisor/advisorconfiguration.h"
#include "testdata/memorybytefile.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        testdata::MemoryByteFile file(bytes);
        AdvisorConfiguration::Table table;
        AdvisorConfiguration::LoadKeyValueTable(&file, table, size == 0 ? 0 : data[0] % 4);
    }
    testdata::MemoryByteFile file(bytes);
    DecisionTableStore store;
    AdvisorConfiguration::ParseDecisionTables(&file, store);
    for (const DecisionModule& module : store.GetModules()) {
        if (module.keys.size() != module.results.size()) {
            std::abort();
        }
        for (const std::u16string& key : module.keys) {
            const auto dots = static_cast<std::size_t>(std::count(key.begin(), key.end(), u'.'));
            if (!module.conditions.empty() && dots < module.conditions.size() - 1) {
                std::abort();
            }
        }
        DecisionQuery query;
        query.module = module.name;
        (void)store.Evaluate(query);
    }
    return 0;
}
