#pragma once
// The value types the destination pages and the modes exchange: one destination or tour stop,
// the destination as the destination input page composes it, and one calculated leg of a tour.
// Plain values, copied freely; one thread at a time.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "routing/routeservice.h"
#include "tablefiles/addressinterfaces.h"
#include "tablefiles/housenumber.h"

#include <cstdint>
#include <string>

// One destination or tour stop. A new entry has no location, empty texts and no house number.
struct DestinationEntry {
    RoutePositionPtr location; // position and element of the destination; empty: none yet
    std::u16string name;
    std::u16string secondText;
    HouseNumber houseNumber;        // number 0 or 0xFFFF: none; the suffix is kept beside it
    std::uint8_t isPickedOnMap = 0; // picked on the map; written into the stored record
    std::u16string placeQualifier;  // the city's postal code; empty: none
    std::u16string streetQualifier; // the street's bracketed text; empty: none
};

// The destination as the destination input page composes it. When location is set it is the
// destination and the other fields only describe it.
struct DestinationDescription {
    CountryPtr country;    // the area (country) chosen; may be empty
    AddressResultPtr city; // may be empty
    GeoMoleculePtr street; // may be empty
    std::u16string houseNumber;
    RoutePositionPtr location; // a point destination; may be empty
};

// One calculated leg of a tour: its route and the texts of its two stops ("name, second text").
struct TourEntry {
    RouteRequestResult result;
    std::u16string startText;
    std::u16string destinationText;
};
