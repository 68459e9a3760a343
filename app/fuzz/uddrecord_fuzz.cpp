// Feeds arbitrary UTF-16LE texts, from memory, to the destination record's parser and to the
// trailing-number split, then builds a record of the parsed fields and parses it again: the
// rebuilt record stays within its limit and gives back its texts.
#include "app/destinations/uddrecord.h"
#include "testdata/fuzzinput.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::u16string& text : testdata::ReadFuzzTexts(data, size)) {
        float x = 0;
        float y = 0;
        std::u16string placeLine, streetLine, place, street, extra, number;
        std::uint8_t userDefined = 0;
        (void)UddRecord::Parse(text, x, y, placeLine, streetLine, place, street, extra, number,
                               userDefined);
        std::u16string name = text;
        const std::u16string split = SplitTrailingNumber(name);
        if (!split.empty() && name.size() + split.size() >= text.size())
            __builtin_trap();
        const std::u16string record =
            UddRecord::Build(x, y, place.c_str(), street.c_str(), nullptr, extra.c_str(), nullptr,
                             nullptr, nullptr, userDefined != 0);
        if (record.empty() || record.size() > UddRecord::kMaxLength)
            __builtin_trap();
        std::uint8_t again = 0;
        (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra, number,
                               again);
        if (again != userDefined)
            __builtin_trap();
    }
    return 0;
}
