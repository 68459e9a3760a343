// Fuzzes the replay-file readers of the receiver stand-in: the first byte chooses the RDS group
// reader (even) or the NMEA cycle reader (odd) for the rest. Every NMEA sentence kept must be
// whole: "$" first, CR LF last, short enough for the library's callers.

#include "platform/receiver/replayfiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void CheckSentence(const std::string& sentence) {
    if (sentence.empty()) {
        return;
    }
    if (sentence.size() > platform::kMaxNmeaSentence || sentence.size() < 4 ||
        sentence.front() != '$' || sentence.compare(sentence.size() - 2, 2, "\r\n") != 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 0) {
        const platform::RdsGroupList list = platform::ParseRdsGroups(text);
        if (list.groups.size() * 11 > text.size() + 1) {
            std::abort(); // each group needs at least 10 digits and a line end
        }
        return 0;
    }
    for (const platform::NmeaCycle& cycle : platform::ParseNmeaCycles(text)) {
        if (cycle.gga.empty() && cycle.vtg.empty() && cycle.rmc.empty()) {
            std::abort();
        }
        CheckSentence(cycle.gga);
        CheckSentence(cycle.vtg);
        CheckSentence(cycle.rmc);
    }
    return 0;
}
