#include "advisor/advicetext.h"

namespace {

constexpr std::u16string_view kLastMark = u" geschlossen";

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Replaces every open...close segment from the left; the search goes on after each expansion.
void ExpandSegments(std::u16string& text, char16_t open, char16_t close, char16_t mode,
                    const PhraseTable& table) {
    std::size_t from = 0;
    while (true) {
        const std::size_t first = text.find(open, from);
        if (first == std::u16string::npos) {
            return;
        }
        const std::size_t second = text.find(close, first + 1);
        if (second == std::u16string::npos) {
            return; // unmatched: left as it stands
        }
        const bool isLast = second + 1 == text.size();
        const std::u16string expansion = ExpandNumberSegment(
            std::u16string_view(text).substr(first + 1, second - first - 1), mode, table, isLast);
        text.replace(first, second - first + 1, expansion);
        from = first + expansion.size();
    }
}

} // namespace

std::u16string AdviceDisplayText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (std::u16string_view(u"[]$#()").find(c) == std::u16string_view::npos) {
            out += c;
        }
    }
    return out;
}

std::u16string AdviceSpokenText(std::u16string_view text, const PhraseTable& table) {
    const std::size_t begin = text.find_first_not_of(u' ');
    if (begin == std::u16string_view::npos) {
        return {};
    }
    std::u16string out(text.substr(begin, text.find_last_not_of(u' ') - begin + 1));
    ExpandSegments(out, u'#', u'#', u'x', table);
    ExpandSegments(out, u'(', u')', u'z', table);
    return out;
}

std::u16string ExpandNumberSegment(std::u16string_view segment, char16_t mode,
                                   const PhraseTable& table, bool isLast) {
    std::size_t numberStart = 0;
    while (numberStart < segment.size() && !IsDigit(segment[numberStart])) {
        ++numberStart;
    }
    std::u16string pattern;
    std::u16string digits;
    std::u16string rest;
    for (const char16_t c : segment.substr(numberStart)) {
        if (c == u' ') {
            continue;
        }
        if (c == u'0') {
            pattern += u'0';
        } else if (IsDigit(c)) {
            pattern += mode;
            digits += c;
        } else {
            rest += c;
        }
    }
    const auto entry = table.find(pattern);
    std::u16string filled = entry != table.end() ? entry->second : pattern;
    std::size_t nextDigit = 0;
    for (char16_t& c : filled) {
        if (c != u'[' && c != u']' && c != u'0' && c != u' ' && nextDigit < digits.size()) {
            c = digits[nextDigit++];
        }
    }
    std::u16string expansion;
    for (const char16_t c : segment.substr(0, numberStart)) {
        if (IsLetter(c)) {
            expansion += u'[';
            expansion += c;
            expansion += u']';
        }
    }
    expansion += filled;
    if (rest.empty()) {
        if (isLast && !expansion.empty()) {
            expansion.insert(expansion.size() - 1, kLastMark);
        }
    } else {
        expansion += u'[';
        expansion += rest;
        if (isLast) {
            expansion += kLastMark;
        }
        expansion += u']';
    }
    return expansion;
}
