#pragma once
// One element of a map set as the engine hands it out: its record (bounds, attributes, type code,
// subtype), its geometry, its name and postal code (each read on first use and kept), the
// address questions about it, and the link-junction tests against a neighbour. It keeps the
// blocks of its record and geometry, so those stay readable after Close; what it reads through
// the engine answers empty once the map set it came from is closed. One element belongs to one
// thread at a time.

#include "basiccomp/retrievalengine/code/enginelink.h"
#include "basiccomp/retrievalengine/code/ielementcursor.h"
#include "basiccomp/retrievalengine/code/isigninfo.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "tablefiles/housenumber.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MapElement {
public:
    static constexpr std::size_t kPostalCodeLength = 16;

    // Only the engine makes elements.
    MapElement(std::shared_ptr<EngineLink> link, std::uint32_t generation, ElementData data,
               std::uint32_t id);
    virtual ~MapElement();
    MapElement(const MapElement&) = delete;
    MapElement& operator=(const MapElement&) = delete;

    virtual std::uint32_t GetId();
    virtual std::uint8_t GetSubtype();
    // 0 point, 1 line, 2 area.
    virtual std::uint32_t GetGeometryClass();
    // The name without one leading '/'; empty without a name file.
    virtual const char16_t* GetName();
    virtual void GetBounds(GeoRect& bounds);
    virtual std::uint32_t GetPointCount();
    // Point `index` in degrees; unchanged at or above the point count.
    virtual void GetPoint(GeoPoint& point, std::uint32_t index);
    virtual std::uint16_t GetTypeCode();
    // The engine's area walk from the element's area.
    virtual std::int32_t WalkAreas(std::uint32_t value);
    // Up to 16 characters, zero-terminated when shorter; asked of the engine once.
    virtual const char16_t* GetPostalCode();
    virtual bool GetPrimaryNames(std::vector<std::u16string>& names);
    virtual bool GetAlternativeNames(std::vector<std::u16string>& names);
    virtual void GetAttributes(ElementAttributes& attributes);
    // False without the record's signpost flag.
    virtual bool GetSignposts(std::vector<Signpost>& signposts);
    virtual bool GetEntryPoints(std::vector<GeoPoint>& points);
    // Clears the list and appends every point in degrees; true when there are any.
    virtual bool GetPoints(std::vector<GeoPoint>& points);
    // The link-junction tests of the three link nibbles against a neighbour element.
    virtual bool IsLinkJunctionA(const std::uint32_t* neighbourId);
    virtual bool IsLinkJunctionB(const std::uint32_t* neighbourId);
    virtual bool IsLinkJunctionC(const std::uint32_t* neighbourId);
    virtual bool GetHouseNumberInfo(HouseNumberInfo& info);
    // Empty without the record's sign flag.
    virtual void GetSignInfo(SignInfoPtr& info);
    virtual std::int16_t GetCountry();
    // The id of the element's own area (its property 2); -1 for none.
    virtual std::int32_t GetAreaId();

private:
    enum class LinkKind { A, B, C };
    bool IsLinkJunction(LinkKind kind, const std::uint32_t* neighbourId);
    void ReadName();
    [[nodiscard]] const std::uint8_t* Record() const { return m_data.record.GetRecord(); }

    std::shared_ptr<EngineLink> m_link;
    std::uint32_t m_generation;
    ElementData m_data;
    std::uint32_t m_id;
    std::u16string m_name;
    bool m_isNameRead = false;
    std::array<char16_t, kPostalCodeLength + 1> m_postalCode{};
    bool m_isPostalCodeRead = false;
};

// The attribute word of a record's raw attribute word.
ElementAttributes UnpackElementAttributes(std::uint32_t raw);

// Angle conversions with pi as 3.1415925 (float) and 3.14159265359 (double).
float DegreesToRadians(float degrees);
float RadiansToDegrees(float radians);
double RadiansToDegrees(double radians);

// The position moved by whole metres east and north.
void OffsetPositionByMetres(float longitude, float latitude, std::int32_t east, std::int32_t north,
                            float& newLongitude, float& newLatitude);
