// Fuzzes the packed-DIB and bitmap-file readers from memory: any input is refused or gives a
// bitmap whose pixels were read inside the input. Even mode bytes patch a valid 4-bit file.

#include "testdata/bitmapwriter.h"
#include "testdata/fuzzinput.h"

#include "platform/gdi/dib.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base = [] {
        testdata::BitmapSpec spec;
        spec.width = 5;
        spec.height = 3;
        spec.bitCount = 4;
        spec.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
        spec.pixels.assign(15, 2);
        return testdata::WriteBitmapFile(spec);
    }();
    const std::vector<std::uint8_t> file = testdata::FileFromFuzzInput(base, data, size);
    for (HBITMAP bitmap :
         {platform::CreateDibFromFile(file), platform::CreateDibFromPacked(file)}) {
        if (bitmap != nullptr) {
            BITMAP info{};
            (void)GetObjectW(bitmap, sizeof(info), &info);
            DeleteObject(bitmap);
        }
    }
    return 0;
}
