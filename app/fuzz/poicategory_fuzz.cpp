// Feeds arbitrary bytes, from memory, to the category file reader as an enciphered file, and the
// same bytes enciphered, so that the parser sees them as plain text: every category keeps a
// terminated text of at most 63 characters and bounds from -1.
#include "app/destinations/poicategory.h"
#include "testdata/destinationwriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void CheckCategories(std::span<const std::uint8_t> bytes) {
    for (const PoiCategory& category : ReadPoiCategories(bytes)) {
        if (std::char_traits<char16_t>::length(category.text) >= PoiCategory::kTextSize ||
            category.lowerType < -1 || category.upperType < -1)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckCategories(std::span(data, size));
    const std::string enciphered = testdata::EncipherPoiCategories(
        std::string_view(reinterpret_cast<const char*>(data), size));
    CheckCategories(
        std::span(reinterpret_cast<const std::uint8_t*>(enciphered.data()), enciphered.size()));
    return 0;
}
