#pragma once
// Writers of the destination input's data: point-of-interest category files (records
// "text|lower|upper#" in code page 1252, enciphered block by block with Blowfish) with a knob per
// fault a reader must survive, stored destination records, and list sections of settings files
// ("[Recent]", keys "0", "1", ...). Pure functions; any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

struct PoiCategorySource {
    std::string text; // code page 1252
    std::int32_t lower = -1;
    std::int32_t upper = -1;
};

enum class PoiCategoryFault {
    None,
    UnpaddedLength,     // the file ends with the plain text's length, not a whole last block
    EmptyRecord,        // "##" after the second record
    BoundBelowMinusOne, // the first record's lower bound is -2
    SeventyCharacters,  // the first record's text is 70 characters long
    TwoFields,          // the first record lacks its upper bound
};

// The plain text of the records, each followed by "#", as a fault changes it.
[[nodiscard]] std::string PoiCategoryText(const std::vector<PoiCategorySource>& categories,
                                          PoiCategoryFault fault = PoiCategoryFault::None);
// The plain text padded with zeros to whole blocks and enciphered with the category key; with
// PoiCategoryFault::UnpaddedLength cut back to the plain text's length.
[[nodiscard]] std::string EncipherPoiCategories(std::string_view plainText, bool cutToText = false);
[[nodiscard]] std::string WritePoiCategoryFile(const std::vector<PoiCategorySource>& categories,
                                               PoiCategoryFault fault = PoiCategoryFault::None);

// Reads a readable category source: one category a line, "text<TAB>lower<TAB>upper"; blank lines
// and lines starting with ";" are left out. False (with the line number in error) for a line
// that is not of that form.
[[nodiscard]] bool ReadPoiCategorySource(std::string_view source,
                                         std::vector<PoiCategorySource>& categories,
                                         std::string& error);

// A stored destination record (UTF-16): "2|x|y|place|street|" then the four additions (a
// blank for each empty one) and "<UDD>|" for a user-defined point.
struct UddSource {
    float x = 0;
    float y = 0;
    std::u16string place;
    std::u16string street; // with its house number
    std::u16string placeAddition, streetAddition, placeQualifier, streetQualifier;
    bool userDefined = false;
};
[[nodiscard]] std::u16string UddRecordText(const UddSource& source);

enum class ListSectionFault {
    None,
    ZeroedTail, // the file's last 16 bytes are zeros, as after a power loss
    // The file starts with the UTF-8 byte-order mark while its lines stay code page 1252, as
    // when an editor saved the mark into a file the program wrote.
    Utf8MarkOverCodePage,
};

// A settings file (code page 1252, CR LF) holding section with the records under keys "0", "1",
// ...; the other sections' lines come first.
[[nodiscard]] std::string WriteListSection(std::string_view section,
                                           const std::vector<std::u16string>& records,
                                           std::string_view otherLines = {},
                                           ListSectionFault fault = ListSectionFault::None);

} // namespace testdata
