#pragma once
// The address result interfaces that the address datasets and the map set's address index share:
// named streets (IGeoMolecule), cursors over cities, postal codes, types and streets, and their
// results. Results are counted objects made on each GetCurrent call; a cursor or result belongs
// to one thread at a time.

#include "six/refcntptr.h"
#include "tablefiles/housenumber.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// The query settings of the searches: a level (type code) range, a set of type codes and three
// flag bytes. The engine copies them into every search query; the address datasets keep their
// own and read only the two levels.
struct LevelInfo {
    std::int32_t fromLevel = -1; // -1: no range
    std::int32_t toLevel = -1;
    std::set<std::uint16_t> typeCodes; // not empty: exactly these codes
    std::uint8_t isSecondList = 1;     // take the hits of the second match predicate too
    std::uint8_t hasDistance = 0;      // 1: ranked searches order point hits by distance
    std::uint8_t thirdFlag = 1;

    friend bool operator==(const LevelInfo&, const LevelInfo&) = default;
};
using QueryDefaults = LevelInfo;

// A point on one map element; elementId 0xFFFFFFFF with (0, 0) means none.
struct ElementPosition {
    std::uint32_t elementId = 0xFFFFFFFF;
    GeoPoint point{};

    friend bool operator==(const ElementPosition&, const ElementPosition&) = default;
};

// A named street, place or point object over all the map elements that carry its name.
class IGeoMolecule {
public:
    virtual ~IGeoMolecule() = default;
    virtual std::uint32_t GetId() = 0;
    virtual std::u16string GetName() = 0;
    virtual std::u16string GetSecondName() = 0;
    // The name variant; -1 when the molecule has none.
    virtual std::int32_t GetVariantCode() = 0;
    virtual std::u16string GetPostalCode() = 0;
    virtual std::u16string GetTypeName() = 0;
    virtual std::int32_t GetType() = 0;
    // -1 when unknown.
    virtual std::int32_t GetAreaId() = 0;
    // The area id at an area level; -1 for a level it does not know.
    virtual std::int32_t WalkAreaHierarchy(std::int32_t level) = 0;
    virtual std::vector<std::uint32_t> GetElementIds() = 0;
    // Ids of the molecules that cross this one.
    virtual std::vector<std::uint32_t> GetCrossStreets() = 0;
    virtual bool HasHouseNumbers() = 0;
    virtual bool HasHouseNumber(const HouseNumber& number) = 0;
    virtual ElementPosition GetHouseNumberPosition(const HouseNumber& number) = 0;
    virtual ElementPosition GetCrossingWith(std::uint32_t otherId) = 0;
};
using GeoMoleculePtr = six::RefCntPtr<IGeoMolecule>;

// A city (or another addressable place) found by name.
class IAddressResult {
public:
    virtual ~IAddressResult() = default;
    virtual std::u16string GetName() = 0;
    virtual std::u16string GetSecondName() = 0;
    virtual std::uint16_t GetValue() = 0;
    virtual std::uint32_t GetId() = 0;
    // -1 when the place has no area of its own.
    virtual std::int32_t GetAreaId() = 0;
    virtual std::u16string GetPostalCode() = 0;
    // 0xFFFFFFFF when there is none.
    virtual std::uint32_t GetElementId() = 0;
    virtual GeoRect GetRect() = 0;
    virtual bool HasArea() = 0;
};
using AddressResultPtr = six::RefCntPtr<IAddressResult>;

class IPostalCode {
public:
    virtual ~IPostalCode() = default;
    virtual std::u16string GetText() = 0;
    virtual GeoRect GetRect() = 0;
};
using PostalCodePtr = six::RefCntPtr<IPostalCode>;

class ICountry {
public:
    virtual ~ICountry() = default;
    virtual std::u16string GetName() = 0;
    virtual std::u16string GetNativeName() = 0;
    virtual std::uint16_t GetLanguage() = 0;
    virtual std::uint16_t GetNumber() = 0;
    virtual GeoRect GetRect() = 0;
};
using CountryPtr = six::RefCntPtr<ICountry>;

// Cursors stand on their first match when made (or are invalid when there is none); Next moves
// on and tells whether the cursor is still valid.
class IAddressCursor {
public:
    virtual ~IAddressCursor() = default;
    virtual bool Next() = 0;
    // Null when the cursor is invalid or the result cannot be made.
    virtual AddressResultPtr GetCurrent() = 0;
    virtual bool IsValid() = 0;
};
using AddressCursorPtr = six::RefCntPtr<IAddressCursor>;

class IPostalCodeCursor {
public:
    virtual ~IPostalCodeCursor() = default;
    virtual bool Next() = 0;
    virtual PostalCodePtr GetCurrent() = 0;
    virtual bool IsValid() = 0;
};
using PostalCodeCursorPtr = six::RefCntPtr<IPostalCodeCursor>;

class ITypeCursor {
public:
    virtual ~ITypeCursor() = default;
    virtual bool Next() = 0;
    // The current type id; -1 when the cursor is invalid.
    virtual std::int32_t GetCurrent() = 0;
    virtual bool IsValid() = 0;
};
using TypeCursorPtr = six::RefCntPtr<ITypeCursor>;

class IGeoMoleculeCursor {
public:
    virtual ~IGeoMoleculeCursor() = default;
    virtual bool Next() = 0;
    virtual GeoMoleculePtr GetCurrent() = 0;
    virtual bool IsValid() = 0;
};
using GeoMoleculeCursorPtr = six::RefCntPtr<IGeoMoleculeCursor>;
