// Feeds arbitrary UTF-16LE texts, from memory, to the TMC message list: texts end at 0 units and
// go in pairs of location and event. Each pair becomes a formatted line; the lines and the raw
// texts are put in listing order, which must name every line once.
#include "app/tmc/tmclinegroups.h"
#include "testdata/fuzzinput.h"
#include "ui/tmcmonitor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void CheckOrder(const std::vector<std::u16string>& lines) {
    std::vector<std::size_t> order = OrderTmcLines(lines);
    std::sort(order.begin(), order.end());
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] != i)
            __builtin_trap();
    }
    if (order.size() != lines.size())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::u16string> texts = testdata::ReadFuzzTexts(data, size);
    std::vector<std::u16string> lines;
    for (std::size_t i = 0; i < texts.size(); i += 2) {
        TmcListEntry entry;
        entry.location = texts[i];
        if (i + 1 < texts.size())
            entry.event = texts[i + 1];
        lines.push_back(TmcMonitor::MakeLineText(entry));
        (void)TmcRoadNumber(lines.back());
    }
    CheckOrder(lines);
    CheckOrder(texts);
    return 0;
}
