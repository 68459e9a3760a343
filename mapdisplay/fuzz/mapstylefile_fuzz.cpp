// Fuzzes the style sheet reader from memory: any input loads or is refused without reading past
// the stream; a loaded sheet saves, builds its scale table and becomes a painter style (packed
// bitmaps reach CreateDIBSection) that leaves no GDI object behind. Even mode bytes patch a valid
// version 6 sheet.

#include "mapdisplay/mapstylefile.h"
#include "mapdisplay/painter.h"
#include "testdata/fuzzinput.h"
#include "testdata/memorybytefile.h"
#include "testdata/stylesheetwriter.h"

#include "platform/gdi/gdi.h"

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
        const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
        {
            MapStyle style;
            style.Build(sheet);
        }
        if (platform::CountLiveGdiObjects() != before) {
            __builtin_trap();
        }
    }
    return 0;
}
