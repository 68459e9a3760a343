#include "testdata/logbookwriter.h"

namespace testdata {

std::string WriteLogbook(const std::vector<LogbookLine>& lines) {
    std::string text;
    for (const LogbookLine& line : lines) {
        std::string joined;
        for (std::size_t i = 0; i < line.fields.size(); ++i)
            joined += (i == 0 ? "" : "\t") + line.fields[i];
        const std::size_t lastSize = line.fields.empty() ? 0 : line.fields.back().size();
        joined.insert(joined.size() - lastSize + lastSize / 2, line.zeroedBytes, '\0');
        text += joined + "\r\n";
    }
    return text;
}

} // namespace testdata
