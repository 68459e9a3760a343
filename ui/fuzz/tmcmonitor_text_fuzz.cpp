// Feeds arbitrary UTF-16LE texts, from memory, to the TMC line formatting: the first text is a
// location, the second an event (texts end at 0 units). Each is formatted alone, the two as a
// message line, and the line is trimmed from every position.
#include "testdata/fuzzinput.h"
#include "ui/tmcmonitor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::u16string> texts = testdata::ReadFuzzTexts(data, size);
    TmcListEntry entry;
    entry.location = texts[0];
    if (texts.size() > 1)
        entry.event = texts[1];
    for (std::u16string text : texts) {
        TmcMonitor::FormatMessageText(text);
    }
    const std::u16string line = TmcMonitor::MakeLineText(entry);
    for (std::size_t position = 0; position <= line.size() && position < 64; ++position) {
        std::u16string trimmed = line;
        TmcMonitor::TrimAfterBreak(trimmed, position);
    }
    return 0;
}
