#pragma once
// The point-of-interest categories of the destination input's "Type" box: a display text and
// the inclusive range of element type codes searched, read from the enciphered category file of
// the language beside the executable. Pure functions apart from LoadPoiCategories, which reads
// the file and the language library; any thread.

#include "tablefiles/addressinterfaces.h"

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct PoiCategory {
    static constexpr std::size_t kTextSize = 64; // characters with the terminator

    char16_t text[kTextSize] = {};
    std::int32_t lowerType = -1; // lowest type code searched; -1: no bound
    std::int32_t upperType = -1; // highest type code searched (inclusive); -1: no bound
};

// The string of the language library shown when no category file can be read.
inline constexpr UINT kAllTypesStringId = 993;
// The key the category files are enciphered with (Blowfish, block by block).
inline constexpr std::string_view kPoiCategoryKey = "73920514";

// "PoiEng.bin" (1), "PoiFre.bin" (3), "PoiSpa.bin" (4), "PoiIta.bin" (5), "PoiDut.bin" (6),
// "PoiGer.bin" for every other language index.
[[nodiscard]] std::u16string_view PoiCategoryFileName(std::int32_t languageIndex);

// Splits "text|lower|upper" at "|" (empty pieces skipped); the bounds are read as leading
// decimal numbers, so a trailing "#" is ignored. False when a piece is missing or a bound is
// below -1.
[[nodiscard]] bool ParsePoiCategory(std::u16string_view record, std::u16string& text,
                                    std::int32_t& lower, std::int32_t& upper);

// The record with the text of string stringId of the language library (cut to 63 characters).
void MakePoiCategoryFromString(PoiCategory& category, UINT stringId, std::int32_t lower,
                               std::int32_t upper);

// An 8-bit text of the system code page as wide text; null gives an empty text.
[[nodiscard]] std::u16string NarrowToWide(const char* text);

// The categories of an enciphered category file's bytes: deciphered block by block (a last
// partial block would decipher into garbage and is left out), records "text|lower|upper" separated
// by "#", texts cut to 63 characters, sorted by text without letter case from the third record on.
// The data ends at its end, at an empty record or at a zero byte; records that do not parse are
// skipped.
[[nodiscard]] std::vector<PoiCategory> ReadPoiCategories(std::span<const std::uint8_t> bytes);

// Makes the search settings keep to the category's types: its bounds are inclusive, the
// engine's type filter excludes its upper bound, so the upper bound is written plus one. A
// category without bounds searches every type.
void ApplyPoiCategory(QueryDefaults& defaults, const PoiCategory& category);

// Fills categories (cleared first) from the category file of the language beside the
// executable; when it is missing or yields nothing, one category of string kAllTypesStringId
// with no type bounds.
void LoadPoiCategories(std::vector<PoiCategory>& categories, std::int32_t languageIndex);
