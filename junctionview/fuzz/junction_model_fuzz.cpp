// The junction model over a scripted route and map read from the input: the build, orientation,
// mapping and clipping end, and every device coordinate is finite.
#include "junctionview/fuzz/junctionmodelinput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DecodedJunctionInput input = DecodeJunctionModelInput(data, size);
    if (!RunJunctionModel(input)) {
        std::abort();
    }
    return 0;
}
