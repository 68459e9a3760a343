// Parses arbitrary bytes as the matcher's state file; a state it accepts must carry an index the
// history ring can take and must survive writing and reading back unchanged.
#include "positioning/matcherstate.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto state = ParseMatcherState(std::span(data, size));
    if (!state) {
        return 0;
    }
    if (size != kMatcherStateSize || state->index < -1 || state->index >= kHistorySize) {
        std::abort();
    }
    const auto bytes = SerializeMatcherState(*state);
    const auto again = ParseMatcherState(bytes);
    if (!again || again->index != state->index || again->wrapped != state->wrapped ||
        std::memcmp(&again->record.raw.x, &state->record.raw.x, sizeof(float)) != 0 ||
        std::memcmp(&again->record.raw.y, &state->record.raw.y, sizeof(float)) != 0 ||
        again->record.street != state->record.street ||
        again->record.flags != state->record.flags) {
        std::abort();
    }
    return 0;
}
