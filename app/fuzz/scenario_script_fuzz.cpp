// The scenario script parser over arbitrary bytes: it never crashes, a parsed script's steps
// keep the parser's ranges, and a refused one names a line that exists.
#include "app/scenario/scenarioscript.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ScenarioScript script;
    ScriptError error;
    if (ParseScenarioScript(text, script, error)) {
        for (const ScenarioStep& step : script.steps) {
            if (step.ms > kMaxScenarioMs || step.line < 1 || DescribeStep(step).empty() ||
                step.x < 0 || step.x > kMaxScenarioCoordinate || step.y < 0 ||
                step.y > kMaxScenarioCoordinate)
                std::abort();
        }
    } else {
        const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        if (error.line < 1 || error.line > lines || error.message.empty() || !script.steps.empty())
            std::abort();
    }
    return 0;
}
