#pragma once
// Folding of search texts and names for the city and street searches: upper-case base letters,
// one space for each run of separators, and the German spellings AE, OE, UE and SS taken as the
// umlauts and sharp s. Narrow text is code page 1252; wide text is folded by its low 8 bits.
// Pure functions over constant tables; safe from any thread, also during static initialisation.

#include <array>
#include <cstdint>
#include <string>

using SearchFoldTableType = std::array<std::uint32_t, 256>;

// Fills the 256 entries: letters to their upper-case base letter, separators and marks to a
// space (32), digits and control characters to themselves. Every entry is below 128.
constexpr void BuildSearchFoldTable(SearchFoldTableType& table) {
    for (std::uint32_t i = 0; i < 256; ++i) {
        table[i] = i;
    }
    const auto setRange = [&table](std::uint32_t first, std::uint32_t last, std::uint32_t to) {
        for (std::uint32_t i = first; i <= last; ++i) {
            table[i] = to;
        }
    };
    setRange(32, 47, 32);
    setRange(58, 64, 32);
    setRange(91, 96, 32);
    setRange(123, 127, 32);
    for (std::uint32_t i = 97; i <= 122; ++i) {
        table[i] = table[i - 32];
    }
    setRange(128, 191, 32);
    // The Latin-1 letters, capital (192-222) and small (224-254) alike.
    for (std::uint32_t offset : {0u, 32u}) {
        setRange(192 + offset, 198 + offset, table['A']);
        table[199 + offset] = table['C'];
        setRange(200 + offset, 203 + offset, table['E']);
        setRange(204 + offset, 207 + offset, table['I']);
        table[208 + offset] = 32;
        table[209 + offset] = table['N'];
        setRange(210 + offset, 214 + offset, table['O']);
        table[215 + offset] = 32;
        table[216 + offset] = table['O'];
        setRange(217 + offset, 220 + offset, table['U']);
        table[221 + offset] = table['Y'];
        table[222 + offset] = 32;
    }
    table[223] = table['S'];
    table[255] = table['Y'];
}

// The fold table of narrow search texts, built at compile time so that it is ready before any
// static initialiser may use it.
inline constexpr SearchFoldTableType SearchFoldTable = [] {
    SearchFoldTableType table{};
    BuildSearchFoldTable(table);
    return table;
}();

// The same values as SearchFoldTable, as constant bytes; the names of the map are folded with it.
extern const std::array<std::uint8_t, 256> NameFoldBytes;

// The folded character at position (a zero-terminated narrow text; the terminator folds to 0).
// A run of separators gives one space and leaves position on the run's last character; the pairs
// AE, OE, UE, SS (after folding) give their first letter and leave position on the second.
char FoldSearchChar(const char*& position);

// The folded form of a zero-terminated narrow text; a text that folds to a single space gives "".
// A null text gives "".
std::string FoldSearchText(const char* text);

// The fold of a wide character's low 8 bits.
char FoldNameChar(char16_t character);

// Whether the character at position, with the one before it, ends AE, OE, UE or SS (after
// folding). position must have a character before it.
bool IsDigraphTail(const char16_t* position);

// Whether pattern is the beginning of name, both zero-terminated wide texts, comparing folded
// characters and letting either side leave out the E of AE, OE, UE or the second S of SS. An
// empty pattern matches every name.
bool MatchNamePrefix(const char16_t* name, const char16_t* pattern);
