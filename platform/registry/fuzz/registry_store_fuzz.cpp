// Parses arbitrary bytes as a registry store; a store that parses must survive being written
// and parsed again unchanged.

#include "platform/registry/detail/registrystore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto store = platform::detail::ParseRegistryStore(text);
    if (store) {
        const auto again =
            platform::detail::ParseRegistryStore(platform::detail::FormatRegistryStore(*store));
        if (!again || again->keys.size() != store->keys.size()) {
            std::abort();
        }
    }
    return 0;
}
