// Fuzzes the INI-style reader and the receiver scenario read from it: any input must parse
// without reading past it, and an accepted scenario must keep its values within their limits.

#include "platform/receiver/inireader.h"
#include "platform/receiver/scenario.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::IniDocument document = platform::ParseIni(text);
    for (const platform::IniSection& section : document.sections) {
        for (const platform::IniKey& key : section.keys) {
            if (key.name.empty() || key.name.size() > size || key.value.size() > size) {
                std::abort();
            }
        }
    }
    std::string problem;
    const std::optional<platform::ReceiverScenario> scenario =
        platform::ParseReceiverScenario(text, &problem);
    if (!scenario) {
        if (problem.empty()) {
            std::abort(); // a refusal always names its reason
        }
        return 0;
    }
    if (scenario->cyclesPerSecond == 0 ||
        scenario->cyclesPerSecond > platform::kMaxCyclesPerSecond || scenario->searchStepMs == 0) {
        std::abort();
    }
    DWORD previous = 0;
    for (const platform::ReceiverStation& station : scenario->stations) {
        if (station.frequency <= previous || station.frequency > platform::kBandTop ||
            station.groupsPerSecond == 0 ||
            station.alternativeFrequencies.size() > platform::kMaxScenarioFrequencies) {
            std::abort();
        }
        previous = station.frequency;
    }
    return 0;
}
