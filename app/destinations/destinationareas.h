#pragma once
// The texts a destination is shown and stored with besides its own names: the names of the areas
// that hold it, read from the engine's area hierarchy as the street proposals read them, and the
// qualifier texts shown in brackets after the place and the street. The street proposals, the
// stored destination lists and the tour's stops all take them from here.

#include "app/modeinterface/destinationtypes.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "tablefiles/addressinterfaces.h"

#include <cstdint>
#include <string>
#include <string_view>

// The two area names of a street (or of the element a destination lies on); empty where the
// engine names none.
struct StreetAreaNames {
    std::u16string outer; // the area at level 2 that holds it
    std::u16string own;   // its own area (level 1), only when that is not the level-2 area
};

[[nodiscard]] StreetAreaNames AreaNamesOfStreet(RetrievalEngine::IRetrievalEngine& engine,
                                                IGeoMolecule& street);
// Nothing for an element the engine cannot fetch.
[[nodiscard]] StreetAreaNames AreaNamesOfElement(RetrievalEngine::IRetrievalEngine& engine,
                                                 std::uint32_t elementId);

// The bracketed text after a name: the engine's second name, unless it is empty or only repeats
// the name (which the engine gives for a name without a variant).
[[nodiscard]] std::u16string QualifierOf(const std::u16string& name,
                                         const std::u16string& secondName);

// The place and street qualifiers of a destination made of a city and a street (either may be
// empty): the city's postal code and the street's qualifier.
void SetQualifiers(DestinationEntry& entry, const AddressResultPtr& city,
                   const GeoMoleculePtr& street);

// The additions a destination is shown and stored with: place = the outer area of the element it
// lies on, street = that element's own area; each left out where it only repeats the text it
// follows (the entry's name, its second text). Nothing without an engine or a location.
struct DestinationAdditions {
    std::u16string place;
    std::u16string street;
};
[[nodiscard]] DestinationAdditions AdditionsOf(RetrievalEngine::IRetrievalEngine* engine,
                                               const DestinationEntry& entry);

// Whether two stored records name one destination: the same position, place, street and marker,
// whatever their additions and qualifiers (records stored before those were filled have none).
[[nodiscard]] bool IsSameDestination(std::u16string_view a, std::u16string_view b);

// The stored record of a destination with a location: its position, its name (place) and second
// text (street) with the house number, the additions and its qualifiers, and the picked flag.
[[nodiscard]] std::u16string DestinationRecord(const DestinationEntry& entry,
                                               const std::u16string& houseNumber,
                                               const DestinationAdditions& additions);
