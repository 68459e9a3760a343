#pragma once
// Trip logbooks ("Fahrtenbuch.txt") as the program writes them: code page 1252, one line per
// entry with its fields separated by tabs, CR LF line ends.

#include <cstddef>
#include <string>
#include <vector>

namespace testdata {

struct LogbookLine {
    std::vector<std::string> fields; // none: the empty line before a trip's column titles
    // This many zero bytes inserted in the middle of the last field, as sectors zeroed by a
    // power loss leave them.
    std::size_t zeroedBytes = 0;
};

[[nodiscard]] std::string WriteLogbook(const std::vector<LogbookLine>& lines);

} // namespace testdata
