#include "app/tmc/tmclinegroups.h"

#include <algorithm>
#include <climits>

namespace {

constexpr char16_t kBreak = u'\n';

// The first character of the second line, 0 when there is none.
char16_t SecondLineStart(const std::u16string& line) {
    const std::size_t found = line.find(kBreak);
    return found == std::u16string::npos || found + 1 >= line.size() ? 0 : line[found + 1];
}

bool IsNumberBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

} // namespace

int TmcRoadNumber(const std::u16string& line) {
    const std::size_t found = line.find(kBreak);
    if (found == std::u16string::npos)
        return 0;
    std::size_t at = found + 2;
    while (at < line.size() && IsNumberBlank(line[at]))
        ++at;
    bool isNegative = false;
    if (at < line.size() && (line[at] == u'-' || line[at] == u'+')) {
        isNegative = line[at] == u'-';
        ++at;
    }
    long long value = 0;
    for (; at < line.size() && line[at] >= u'0' && line[at] <= u'9'; ++at) {
        value = std::min<long long>(value * 10 + (line[at] - u'0'), 1LL + INT_MAX);
    }
    if (isNegative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::vector<std::size_t> OrderTmcLines(const std::vector<std::u16string>& lines) {
    std::vector<std::size_t> groupA;
    std::vector<std::size_t> groupB;
    std::vector<std::size_t> others;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        switch (SecondLineStart(lines[i])) {
        case u'A':
            groupA.push_back(i);
            break;
        case u'B':
            groupB.push_back(i);
            break;
        default:
            others.push_back(i);
            break;
        }
    }
    std::vector<int> roads(lines.size());
    for (std::size_t i : groupA)
        roads[i] = TmcRoadNumber(lines[i]);
    for (std::size_t i : groupB)
        roads[i] = TmcRoadNumber(lines[i]);
    auto byRoad = [&roads](std::size_t left, std::size_t right) {
        return roads[left] < roads[right];
    };
    std::stable_sort(groupA.begin(), groupA.end(), byRoad);
    std::stable_sort(groupB.begin(), groupB.end(), byRoad);
    groupA.insert(groupA.end(), groupB.begin(), groupB.end());
    groupA.insert(groupA.end(), others.begin(), others.end());
    return groupA;
}
