#include "testdata/rdsgroupfilewriter.h"

#include <cctype>
#include <cstdio>

namespace testdata {

RdsGroupFileWriter& RdsGroupFileWriter::Add(Group group) {
    m_groups.push_back(group);
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetLowerCase(bool isLowerCase) {
    m_isLowerCase = isLowerCase;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetShortForm(bool isShortForm) {
    m_isShortForm = isShortForm;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetCrLf(bool isCrLf) {
    m_isCrLf = isCrLf;
    return *this;
}

std::string RdsGroupFileWriter::QueuedLine(Group group) {
    char line[18] = {};
    (void)std::snprintf(line, sizeof line, "%04X%04X%04X%04X\n", group[0], group[1], group[2],
                        group[3]);
    return line;
}

std::string RdsGroupFileWriter::Build(RdsGroupFault fault) const {
    const std::string end = m_isCrLf ? "\r\n" : "\n";
    std::string out;
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        const Group& group = m_groups[i];
        char digits[17] = {};
        if (m_isShortForm) {
            (void)std::snprintf(digits, sizeof digits, "%02X%04X%04X", group[1] & 0xFF, group[2],
                                group[3]);
        } else {
            (void)std::snprintf(digits, sizeof digits, "%04X%04X%04X%04X", group[0], group[1],
                                group[2], group[3]);
        }
        std::string line = digits;
        if (m_isLowerCase) {
            for (char& c : line) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
        }
        if (fault == RdsGroupFault::TornLastLine && i + 1 == m_groups.size()) {
            out += line.substr(0, 7);
            return out;
        }
        out += line + end;
        if (fault == RdsGroupFault::GarbageLine && i == 0) {
            out += "no group here" + end;
        }
    }
    return out;
}

} // namespace testdata
