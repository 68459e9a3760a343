// Feeds arbitrary bytes to the resource bundle reader and to the source compiler; a bundle that
// reads back must write and read again to the same strings, bitmaps, icons, accelerators and menu
// bars, and a compiled source must write a bundle that reads. The compiler's loader gives a
// bitmap file for names ending in ".bmp".
#include "testdata/resourcebundlewriter.h"

#include "platform/shell/resourcebundle.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto bundle = platform::ReadResourceBundle(bytes)) {
        const auto again = platform::ReadResourceBundle(testdata::WriteResourceBundle(*bundle));
        if (!again || again->strings != bundle->strings || again->bitmaps != bundle->bitmaps ||
            again->icons != bundle->icons || again->accelerators != bundle->accelerators ||
            again->menuBars != bundle->menuBars) {
            std::abort();
        }
    }
    std::string message;
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const platform::BitmapFileLoader load =
        [](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        if (!name.ends_with(".bmp"))
            return std::nullopt;
        std::vector<std::uint8_t> file(54, 0);
        file[0] = 'B';
        file[1] = 'M';
        return file;
    };
    if (const auto compiled = platform::CompileResourceSource(source, &message, load)) {
        if (!platform::ReadResourceBundle(testdata::WriteResourceBundle(*compiled))) {
            std::abort();
        }
    }
    return 0;
}
