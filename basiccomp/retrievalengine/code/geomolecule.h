#pragma once
// A geo-molecule: one named street, place or point object of the open map set over all the map
// elements that carry its name. It knows one element and the name alternative meant (molecule
// id: element id in bits 0-27, alternative in bits 28-31); names, postal code, type text and the
// element ids are read on first use and kept. It reads the map set through the engine's link
// under the engine lock: once the map set it came from is closed, what it has not read yet
// answers empty. Its caches are filled under a lock of its own, so any thread may use it.

#include "basiccomp/retrievalengine/code/enginelink.h"
#include "tablefiles/addressinterfaces.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

class RetrievalEngineImpl;

inline constexpr std::uint32_t kMoleculeElementMask = 0x0FFFFFFFu;
inline constexpr std::uint16_t kNoVariantCode = 0xFFFF;
// The longest cross-street name kept for ordering.
inline constexpr std::size_t kCrossStreetNameLength = 64;

// The text up to its first '/' (all of it without one; empty when it begins with '/').
std::u16string FirstAlternative(const std::u16string& text);
// Whether `part` begins with `text`, comparing characters after upper-casing; an empty text
// begins every part.
bool StartsWithNoCase(std::u16string_view part, std::u16string_view text);
// Metres from the point to the nearest point of the polyline (its first point when it has one);
// the largest double for an empty polyline.
double DistanceToPolyline(const GeoPoint& point, std::span<const GeoPoint> polyline);

// An entry of the cross-street list while it is built: ordered by name (case-insensitively),
// then by id.
struct CrossStreetEntry {
    std::uint32_t id = 0;
    std::u16string name; // at most kCrossStreetNameLength characters
};
bool CrossStreetNameLess(const CrossStreetEntry& a, const CrossStreetEntry& b);

class GeoMolecule final : public IGeoMolecule {
public:
    // The molecule of `id` (element id and alternative) read with the name variant `code`
    // (kNoVariantCode: a plain read).
    GeoMolecule(std::shared_ptr<EngineLink> link, std::uint32_t generation, std::uint32_t id,
                std::uint16_t code);
    // The molecule of the element's first alternative that begins with `text`; every top bit set
    // and empty names when none does. Call under the engine lock or without it.
    GeoMolecule(std::shared_ptr<EngineLink> link, std::uint32_t generation, std::uint32_t elementId,
                const std::u16string& text, std::uint16_t code);

    std::uint32_t GetId() override { return m_id; }
    std::u16string GetName() override;
    std::u16string GetSecondName() override;
    // -1 for a plain read.
    std::int32_t GetVariantCode() override;
    std::u16string GetPostalCode() override;
    std::u16string GetTypeName() override;
    std::int32_t GetType() override;
    std::int32_t GetAreaId() override;
    std::int32_t WalkAreaHierarchy(std::int32_t level) override;
    std::vector<std::uint32_t> GetElementIds() override;
    // Molecule ids of the differently named streets that share an end point of one of its
    // elements, in name order; empty unless the molecule is a street.
    std::vector<std::uint32_t> GetCrossStreets() override;
    bool HasHouseNumbers() override;
    bool HasHouseNumber(const HouseNumber& number) override;
    // Where the number lies: interpolated along a matching range element, else the middle
    // point of the element nearest the centroid of the elements in the town of the molecule's
    // own element (of all of them where it lies in no town); none (-1) without elements.
    ElementPosition GetHouseNumberPosition(const HouseNumber& number) override;
    // The first end point one of its elements shares with one of the other molecule's.
    ElementPosition GetCrossingWith(std::uint32_t otherId) override;

    // A search cursor's emit: the name it found and the element ids its crawler collects.
    void SetName(const std::u16string& name);
    std::vector<std::uint32_t>& ElementIdsForFill() { return m_elementIds; }

    // The end point two elements share (point `index` of the first, or any end point when
    // index is kAnyEndPoint); (0, 0) when they share none. Call under the engine lock.
    static constexpr std::uint32_t kAnyEndPoint = 0xFFFFFFFFu;
    static GeoPoint FindCommonEndPoint(RetrievalEngineImpl& engine, std::uint32_t first,
                                       std::uint32_t second, std::uint32_t index);

private:
    template <class Result, class Read> Result WithEngine(Result fallback, Read read) {
        return m_link->ReadEngine(m_generation, std::move(fallback), read);
    }
    [[nodiscard]] std::uint32_t ElementId() const { return m_id & kMoleculeElementMask; }
    // The stored name text (alternatives as read) and, for a variant read, the second name.
    bool ReadNameText(RetrievalEngineImpl& engine, std::u16string& text);
    void LoadNamesLocked();
    // The index of the chosen alternative; -1 when none begins with the text.
    std::int32_t SelectAlternative(const std::u16string& text);
    std::vector<std::uint32_t>& ElementIdsLocked();
    std::int32_t GetTypeLocked();
    ElementPosition GetHouseNumberPositionLocked(const HouseNumber& number);

    std::shared_ptr<EngineLink> m_link;
    std::uint32_t m_generation;
    std::uint32_t m_id;
    std::vector<std::uint32_t> m_elementIds;
    std::u16string m_name;
    std::u16string m_secondName;
    std::u16string m_typeName;
    std::array<char16_t, 17> m_postalCode{u'@'}; // '@' first: not read yet
    std::uint16_t m_variantCode;
    std::mutex m_mutex; // the caches above
};
