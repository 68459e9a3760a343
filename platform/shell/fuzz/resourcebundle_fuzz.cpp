// Feeds arbitrary bytes to the resource bundle reader and to the source compiler; a bundle that
// reads back must write and read again to the same strings.
#include "testdata/resourcebundlewriter.h"

#include "platform/shell/resourcebundle.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto bundle = platform::ReadResourceBundle(bytes)) {
        const auto again = platform::ReadResourceBundle(testdata::WriteResourceBundle(*bundle));
        if (!again || again->strings != bundle->strings) {
            std::abort();
        }
    }
    std::string message;
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    if (const auto compiled = platform::CompileResourceSource(source, &message)) {
        if (!platform::ReadResourceBundle(testdata::WriteResourceBundle(*compiled))) {
            std::abort();
        }
    }
    return 0;
}
