// The instance channel's requests from arbitrary bytes: refused with a reason or read, and a read
// request writes back to the same bytes; never a crash.
#include "platform/window/instancechannel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    platform::InstanceRequestError error = platform::InstanceRequestError::None;
    const auto request = platform::ParseInstanceRequest(bytes, &error);
    if (request.has_value() != (error == platform::InstanceRequestError::None)) {
        std::abort();
    }
    if (request) {
        const auto written = platform::EncodeInstanceRequest(*request);
        if (written.size() != size || !std::equal(written.begin(), written.end(), data)) {
            std::abort();
        }
    }
    (void)platform::InstanceRequestErrorText(error);
    return 0;
}
