#pragma once
// What an area query of the engine hands out: a forward-only cursor over the map elements whose
// bounds meet a rectangle, and the unpacked attribute word of an element. A cursor belongs to one
// thread; it keeps the blocks it reads alive, so it stays readable after the map set closes.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "six/refcntptr.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>

// The attribute word of an element as callers read it, unpacked from the record's raw word by
// UnpackElementAttributes (bits in basiccomp/retrievalengine/code/elementcodes.h). Each link nibble
// holds four flags b3 b2 b1 b0.
struct ElementAttributes {
    static constexpr std::uint32_t kDirectionShift = maprecord::kDirectionShift;
    static constexpr std::uint32_t kLinkAShift = maprecord::kLinkAShift;
    static constexpr std::uint32_t kLinkBShift = maprecord::kLinkBShift;
    static constexpr std::uint32_t kLinkCShift = maprecord::kLinkCShift;
    static constexpr std::uint32_t kSignpostBit = maprecord::kSignpost;
    static constexpr std::uint32_t kSignBit = maprecord::kSign;

    std::uint32_t word = 0;

    // 1 one-way along the point order, 2 both ways, 3 one-way against it, 0 not driven.
    [[nodiscard]] std::uint32_t DirectionCode() const { return (word >> kDirectionShift) & 3u; }
    [[nodiscard]] std::uint8_t LinkFlagsA() const { return Nibble(kLinkAShift); }
    [[nodiscard]] std::uint8_t LinkFlagsB() const { return Nibble(kLinkBShift); }
    [[nodiscard]] std::uint8_t LinkFlagsC() const { return Nibble(kLinkCShift); }
    // LinkFlagsA in the low nibble, LinkFlagsB in the high one.
    [[nodiscard]] std::uint8_t LinkFlagsAB() const {
        return static_cast<std::uint8_t>((word >> kLinkAShift) & 0xFFu);
    }
    [[nodiscard]] bool HasSignposts() const { return (word & kSignpostBit) != 0; }
    [[nodiscard]] bool HasSign() const { return (word & kSignBit) != 0; }

    friend bool operator==(const ElementAttributes&, const ElementAttributes&) = default;

private:
    [[nodiscard]] std::uint8_t Nibble(std::uint32_t shift) const {
        return static_cast<std::uint8_t>((word >> shift) & 0xFu);
    }
};

// Stands on its first element when made (or is invalid when there is none). The element reads
// are valid only while IsValid is true; an ended cursor stays ended.
class IElementCursor {
public:
    virtual ~IElementCursor() = default;
    // Next, then IsValid.
    virtual bool MoveNext() = 0;
    // The same as GetElementId.
    virtual std::uint32_t GetCurrentId() = 0;
    virtual bool IsValid() = 0;
    virtual void Next() = 0;
    virtual std::uint32_t GetElementId() = 0;
    virtual std::uint8_t GetSubtype() = 0;
    // 0 point, 1 line, 2 area.
    virtual std::uint32_t GetGeometryClass() = 0;
    // The record's bounds in degrees.
    virtual void GetBounds(GeoRect& bounds) = 0;
    virtual std::uint32_t GetPointCount() = 0;
    // Point `index` in degrees; unchanged at or above the point count.
    virtual void GetPoint(GeoPoint& point, std::uint32_t index) = 0;
    virtual std::uint16_t GetTypeCode() = 0;
    virtual void GetAttributes(ElementAttributes& attributes) = 0;
};
using ElementCursorPtr = six::RefCntPtr<IElementCursor>;
