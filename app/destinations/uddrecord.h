#pragma once
// The user destination record: the one line of text every stored destination is kept as
// ("2|x|y|place|street|place addition|street addition|place qualifier|street qualifier|" and
// "<UDD>|" for a point that is no street address), its builder and parser, and the lookup that
// turns a stored street back into a street of the open map set. Build, Parse and
// SplitTrailingNumber are pure functions (any thread); the lookups call the engine.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "onboard/onboardserver.h"

#include <cstdint>
#include <string>
#include <string_view>

class UddRecord {
public:
    // A record never grows beyond this many characters.
    static constexpr std::size_t kMaxLength = 511;
    // The marker of a user-defined destination (field 9).
    static constexpr std::u16string_view kUserDefinedMarker = u"<UDD>";

    // The record of a destination; x and y in degrees, each text may be null. The street field
    // is the street and, when both are given and the number is not empty, a blank and the
    // house number. An absent or empty addition or qualifier is written as one blank. A "|"
    // inside a text is written as "/"; when the record would exceed kMaxLength characters, the
    // longest texts are cut until it fits (the record is never empty).
    [[nodiscard]] static std::u16string Build(float x, float y, const char16_t* place,
                                              const char16_t* street, const char16_t* houseNumber,
                                              const char16_t* placeAddition,
                                              const char16_t* streetAddition,
                                              const char16_t* placeQualifier,
                                              const char16_t* streetQualifier, bool userDefined);

    // Reads any text: fields the record lacks come out empty, nothing beyond the text is read.
    // placeLine: the place without its trailing number word, then " (place qualifier)" and
    // ", place addition" where present; streetLine: the street, then " (street qualifier)" and
    // ", street addition"; houseNumber: the trailing number word of the street. userDefined is
    // set to 1 when field 9 is the marker and left as it was otherwise. Always true.
    static bool Parse(std::u16string_view record, float& x, float& y, std::u16string& placeLine,
                      std::u16string& streetLine, std::u16string& place, std::u16string& street,
                      std::u16string& extraText, std::u16string& houseNumber,
                      std::uint8_t& userDefined);
};

// Splits the last word off name when it starts with a digit and is not the name's only word:
// returns that word (with any blanks after it) and cuts name before the blank in front of it.
// Otherwise returns an empty text and leaves name as it was ("Kaiserstrasse 12a" gives "12a",
// "12 Rue X" gives nothing).
[[nodiscard]] std::u16string SplitTrailingNumber(std::u16string& name);

// The street of the open map set named exactly street (letter case counts) whose element lies
// within 0.0005 degrees of (x, y), or else the first street of that name inside a city named
// place (same length, as the city search matches it). Empty when there is none or the server
// has no engine. Sets the engine's query filter to all element types for the city search.
[[nodiscard]] GeoMoleculePtr FindStreetNearPoint(const Onboard::OnboardServerPtr& server, float x,
                                                 float y, const std::u16string& street,
                                                 const std::u16string& place);

// Whether one of the street's elements has areaId as its area of level 1, 2 or 0.
[[nodiscard]] bool StreetLiesInArea(const RetrievalEngine::RetrievalEnginePtr& engine,
                                    std::uint32_t areaId, const GeoMoleculePtr& street);
