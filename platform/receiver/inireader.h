#pragma once
// A small reader of INI-style text for the platform's own stand-ins (the settings store of the
// program lies above the platform). Parses from memory; safe from any thread (a parsed
// document is a plain value).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct IniKey {
    std::string name;
    std::string value;
};

struct IniSection {
    std::string name;
    std::vector<IniKey> keys; // in file order
};

// Lines end with LF or CR LF. "[name]" starts a section, "key=value" adds a key to the current
// one, lines starting with ';' or '#' and blank lines are skipped. Names and values are trimmed
// of blanks and tabs. Keys before the first section and lines of no known form are counted in
// refusedLines and dropped. Bytes are kept as they are (the caller chooses the code page).
struct IniDocument {
    std::vector<IniSection> sections; // in file order
    std::size_t refusedLines = 0;

    // The first section of that name (letter case ignored), or null.
    [[nodiscard]] const IniSection* FindSection(std::string_view name) const;
    // The value of the first key of that name in that section (letter case ignored).
    [[nodiscard]] std::optional<std::string> Find(std::string_view section,
                                                  std::string_view key) const;
};

[[nodiscard]] IniDocument ParseIni(std::string_view text);

// The value of the first key of that name in the section (letter case ignored), or nullopt.
[[nodiscard]] std::optional<std::string> FindIniValue(const IniSection& section,
                                                      std::string_view key);

// ASCII letters compared without case (other bytes exactly).
[[nodiscard]] bool IniNamesEqual(std::string_view a, std::string_view b);

} // namespace platform
