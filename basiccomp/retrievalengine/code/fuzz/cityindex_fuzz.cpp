// Loads the fuzzer's input as both city index files (patches over valid files, or the raw
// bytes), compares their names and runs a few searches over each to their end.
#include "basiccomp/retrievalengine/code/cityindexfile.h"
#include "basiccomp/retrievalengine/code/namesearchcursor.h"
#include "testdata/cityindexwriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/memorybytefile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const testdata::CityIndexWriter& Writer() {
    static const testdata::CityIndexWriter writer = [] {
        testdata::CityIndexWriter w;
        w.Add({"Bad Homburg", 1, false, 10, 49})
            .Add({"Baden", 2, false, std::nullopt, 49})
            .Add({"Heilbad", 3, true, 30, 49})
            .Add({"Wien", 7, false, 70, 43})
            .Add({"Baden bei Wien", 6, true, std::nullopt, 43});
        return w;
    }();
    return writer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> byNameBase = Writer().BuildByName();
    static const std::vector<std::uint8_t> byCountryBase = Writer().BuildByCountry();
    testdata::MemoryByteFile byName(testdata::FileFromFuzzInput(byNameBase, data, size));
    testdata::MemoryByteFile byCountry(testdata::FileFromFuzzInput(byCountryBase, data, size));
    CityIndexFiles files;
    if (!files.Load(byName, byCountry)) {
        return 0;
    }
    (void)files.CheckNames();
    static const char16_t* const kTexts[] = {u"BAD", u"W", u"EN", u"Baden bei Wien"};
    static const std::uint16_t kCountries[] = {0, 43, 49, 7};
    for (const char16_t* text : kTexts) {
        for (std::uint16_t country : kCountries) {
            NameSearchCursor cursor = files.FindCities(text, country);
            while (cursor.HasNext()) {
                cursor.Next();
            }
        }
    }
    return 0;
}
