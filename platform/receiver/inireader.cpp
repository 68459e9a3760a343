#include "platform/receiver/inireader.h"

#include <algorithm>

namespace platform {
namespace {

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool IniNamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

IniDocument ParseIni(std::string_view text) {
    IniDocument document;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = Trimmed(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 2) {
                ++document.refusedLines;
                continue;
            }
            document.sections.push_back(
                IniSection{std::string(Trimmed(line.substr(1, line.size() - 2))), {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0 || document.sections.empty()) {
            ++document.refusedLines;
            continue;
        }
        document.sections.back().keys.push_back(
            IniKey{std::string(Trimmed(line.substr(0, equals))),
                   std::string(Trimmed(line.substr(equals + 1)))});
    }
    return document;
}

const IniSection* IniDocument::FindSection(std::string_view name) const {
    for (const IniSection& section : sections) {
        if (IniNamesEqual(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

std::optional<std::string> FindIniValue(const IniSection& section, std::string_view key) {
    for (const IniKey& entry : section.keys) {
        if (IniNamesEqual(entry.name, key)) {
            return entry.value;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const IniSection* found = FindSection(section);
    return found != nullptr ? FindIniValue(*found, key) : std::nullopt;
}

} // namespace platform
