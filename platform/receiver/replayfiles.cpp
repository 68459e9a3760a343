#include "platform/receiver/replayfiles.h"

#include <cstdio>
#include <optional>

namespace platform {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The lines of a text without their LF; the last one also when it has no end.
template <class Visit> void ForEachLine(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        visit(text.substr(start, end - start));
        start = end + 1;
    }
}

std::optional<RdsGroup> ParseGroupLine(std::string_view digits) {
    if (digits.size() != 16 && digits.size() != 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    if (digits.size() == 10) {
        return RdsGroup{0, static_cast<std::uint16_t>(0x8000 | (value >> 32 & 0xFF)),
                        static_cast<std::uint16_t>(value >> 16), static_cast<std::uint16_t>(value)};
    }
    return RdsGroup{static_cast<std::uint16_t>(value >> 48),
                    static_cast<std::uint16_t>(value >> 32),
                    static_cast<std::uint16_t>(value >> 16), static_cast<std::uint16_t>(value)};
}

enum class SentenceKind { Other, Gga, Vtg, Rmc };

SentenceKind KindOf(std::string_view sentence) {
    // "$" + two talker characters + the three-letter type + ',' or '*'
    if (sentence.size() < 7 || (sentence[6] != ',' && sentence[6] != '*')) {
        return SentenceKind::Other;
    }
    const std::string_view type = sentence.substr(3, 3);
    if (type == "GGA") {
        return SentenceKind::Gga;
    }
    if (type == "VTG") {
        return SentenceKind::Vtg;
    }
    return type == "RMC" ? SentenceKind::Rmc : SentenceKind::Other;
}

// The sentence with a checksum and CR LF, or empty when it does not fit.
std::string Completed(std::string_view sentence) {
    std::string out;
    out.reserve(sentence.size() + 5); // room for "*hh" and CR LF: one allocation
    out = sentence;
    if (sentence.find('*') == std::string_view::npos) {
        unsigned checksum = 0;
        for (const char c : sentence.substr(1)) {
            checksum ^= static_cast<unsigned char>(c);
        }
        char digits[4] = {};
        (void)std::snprintf(digits, sizeof digits, "*%02X", checksum);
        out += digits;
    }
    out += "\r\n";
    if (out.size() > kMaxNmeaSentence) {
        return {};
    }
    return out;
}

} // namespace

RdsGroupList ParseRdsGroups(std::string_view text) {
    RdsGroupList list;
    ForEachLine(text, [&list](std::string_view line) {
        const std::string_view digits = Trimmed(line);
        if (digits.empty()) {
            return;
        }
        if (const std::optional<RdsGroup> group = ParseGroupLine(digits)) {
            list.groups.push_back(*group);
        } else {
            ++list.refusedLines;
        }
    });
    return list;
}

std::vector<NmeaCycle> ParseNmeaCycles(std::string_view bytes) {
    std::vector<NmeaCycle> cycles;
    bool isCycleOpen = false; // a cycle holds a sentence and no GGA has ended it
    ForEachLine(bytes, [&](std::string_view line) {
        const std::size_t dollar = line.find('$');
        if (dollar == std::string_view::npos) {
            return;
        }
        const std::string_view sentence = Trimmed(line.substr(dollar));
        const SentenceKind kind = KindOf(sentence);
        if (kind == SentenceKind::Other) {
            return;
        }
        std::string completed = Completed(sentence);
        if (completed.empty()) {
            return;
        }
        if (kind == SentenceKind::Gga && isCycleOpen && !cycles.back().gga.empty()) {
            isCycleOpen = false;
        }
        if (!isCycleOpen) {
            cycles.emplace_back();
            isCycleOpen = true;
        }
        NmeaCycle& cycle = cycles.back();
        (kind == SentenceKind::Gga   ? cycle.gga
         : kind == SentenceKind::Vtg ? cycle.vtg
                                     : cycle.rmc) = std::move(completed);
    });
    return cycles;
}

} // namespace platform
