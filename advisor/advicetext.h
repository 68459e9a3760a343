#pragma once
// The two texts of an advice: the display text (markup removed) and the spoken text, whose
// numbers ("#B3#" road and exit numbers, "(250)" distances) become bracketed phrase keys
// through the phrase table's number patterns. Pure functions; safe from any thread.

#include <map>
#include <memory>
#include <string>
#include <string_view>

// Phrase key -> phrase text, as the advisor configuration reads it.
using PhraseTable = std::map<std::u16string, std::u16string>;
// Advices and the phrase builder keep the tables they read alive and unchanged by holding them
// this way, whatever the configuration loads later.
using PhraseTablePtr = std::shared_ptr<const PhraseTable>;

// Every "[", "]", "$", "#", "(" and ")" removed.
[[nodiscard]] std::u16string AdviceDisplayText(std::u16string_view text);

// Blanks trimmed, then every "#...#" segment expanded in mode 'x' and then every "(...)" segment
// in mode 'z', left to right. A mark without its partner is left as it stands.
[[nodiscard]] std::u16string AdviceSpokenText(std::u16string_view text, const PhraseTable& table);

// One number segment as phrase keys: the letters before its first digit as "[L]" each (other
// characters there dropped), then the template of its digit pattern (mode for 1-9, "0" for 0,
// blanks skipped; the pattern itself when the table lacks it) with each placeholder taking the
// next digit (placeholders beyond the digits stay), then "[rest]" for the other characters after
// the first digit. In the last segment " geschlossen" marks the final key.
[[nodiscard]] std::u16string ExpandNumberSegment(std::u16string_view segment, char16_t mode,
                                                 const PhraseTable& table, bool isLast);
