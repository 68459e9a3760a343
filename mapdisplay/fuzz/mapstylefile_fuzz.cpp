// Fuzzes the style sheet reader from memory: any input loads or is refused without reading past
// the stream; a loaded sheet saves and builds its scale table. Even mode bytes patch a valid
// version 6 sheet.

#include "mapdisplay/mapstylefile.h"
#include "testdata/fuzzinput.h"
#include "testdata/memorybytefile.h"
#include "testdata/stylesheetwriter.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base = testdata::DefaultStyleSheet(false).Write();
    testdata::MemoryByteFile file(testdata::FileFromFuzzInput(base, data, size));
    MapStyleFile sheet;
    if (sheet.Load(file)) {
        testdata::MemoryByteFile out;
        (void)sheet.Save(out, 6);
        std::vector<ScaleRow> table;
        BuildScaleTable(sheet, table);
    }
    return 0;
}
