#include "basiccomp/retrievalengine/code/geometryelement.h"

#include "utilities/mapgeometry/elementrecord.h"

using namespace maprecord;

namespace {

int Orientation(const MapPoint& a, const MapPoint& b, const MapPoint& c) {
    const std::int64_t value = std::int64_t{a.x} * (std::int64_t{b.y} - c.y) +
                               std::int64_t{b.x} * (std::int64_t{c.y} - a.y) +
                               std::int64_t{c.x} * (std::int64_t{a.y} - b.y);
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

// The classes below live in pool slots and are never destroyed, so they keep the trivial
// destructor that the pool requires instead of a virtual one.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class RecordGeometry : public GeometryElement {
public:
    explicit RecordGeometry(const std::uint8_t* record)
        : m_record(record) {}
    std::uint32_t GetAttributeWord() const override { return RecordAttributeWord(m_record); }
    std::uint16_t GetTypeCode() const override { return RecordTypeCode(m_record); }
    MapRect GetBounds() const override { return RecordBounds(m_record); }
    const std::uint8_t* GetRecord() const override { return m_record + 16; }

protected:
    const std::uint8_t* m_record;
};

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class PointGeometry final : public RecordGeometry {
public:
    using RecordGeometry::RecordGeometry;
    bool Intersects(const MapRect& rect) const override {
        const MapPoint c = GetBounds().GetCenter();
        return rect.x1 <= c.x && c.x < rect.x2 && rect.y1 <= c.y && c.y < rect.y2;
    }
    std::uint32_t GetPointCount() const override { return 1; }
    bool GetPoint(std::uint32_t index, MapPoint& point) const override {
        if (index != 0) {
            return false;
        }
        point = GetBounds().GetCenter();
        return true;
    }
};

// The diagonal of the bounds that the letter's two low bits select, in its direction.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class SegmentGeometry final : public RecordGeometry {
public:
    using RecordGeometry::RecordGeometry;
    bool Intersects(const MapRect& rect) const override {
        MapPoint a;
        MapPoint b;
        (void)GetPoint(0, a);
        (void)GetPoint(1, b);
        return SegmentMeetsRect(a, b, rect);
    }
    std::uint32_t GetPointCount() const override { return 2; }
    bool GetPoint(std::uint32_t index, MapPoint& point) const override {
        if (index > 1) {
            return false;
        }
        const MapRect r = GetBounds();
        const MapPoint ends[4][2] = {{{r.x1, r.y1}, {r.x2, r.y2}},
                                     {{r.x2, r.y1}, {r.x1, r.y2}},
                                     {{r.x2, r.y2}, {r.x1, r.y1}},
                                     {{r.x1, r.y2}, {r.x2, r.y1}}};
        point = ends[RecordTypeLetter(m_record) & 3][index];
        return true;
    }
};

// Point lists at the data: u16 count, then absolute points (i32 x, y from offset 4) or offsets
// (i16 dx, dy from offset 2) from the bounds' first corner.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
template <bool isOffsetList, bool isPolygon> class PointListGeometry final : public RecordGeometry {
public:
    PointListGeometry(const std::uint8_t* record, const std::uint8_t* data)
        : RecordGeometry(record)
        , m_data(data) {}
    bool Intersects(const MapRect& rect) const override {
        if (isPolygon || !MapRect::Overlaps(GetBounds(), rect)) {
            return false;
        }
        MapPoint previous;
        MapPoint point;
        for (std::uint32_t i = 1; i < GetPointCount(); ++i) {
            (void)GetPoint(i - 1, previous);
            (void)GetPoint(i, point);
            if (SegmentMeetsRect(previous, point, rect)) {
                return true;
            }
        }
        return false;
    }
    std::uint32_t GetPointCount() const override { return ReadU16(m_data); }
    bool GetPoint(std::uint32_t index, MapPoint& point) const override {
        if (index >= GetPointCount()) {
            return false;
        }
        if constexpr (isOffsetList) {
            const std::uint8_t* at = m_data + 2 + std::size_t{4} * index;
            const MapRect r = GetBounds();
            point = {static_cast<std::int32_t>(
                         static_cast<std::uint32_t>(r.x1) +
                         static_cast<std::uint32_t>(static_cast<std::int16_t>(ReadU16(at)))),
                     static_cast<std::int32_t>(
                         static_cast<std::uint32_t>(r.y1) +
                         static_cast<std::uint32_t>(static_cast<std::int16_t>(ReadU16(at + 2))))};
        } else {
            const std::uint8_t* at = m_data + 4 + std::size_t{8} * index;
            point = {ReadI32(at), ReadI32(at + 4)};
        }
        return true;
    }

    // Bytes the point list of `data` takes.
    static std::uint64_t Size(const std::uint8_t* data) {
        const std::uint64_t count = ReadU16(data);
        return isOffsetList ? 2 + 4 * count : 4 + 8 * count;
    }

private:
    const std::uint8_t* m_data;
};

using PolylineGeometry = PointListGeometry<false, false>;
using PolygonGeometry = PointListGeometry<false, true>;
using OffsetPolylineGeometry = PointListGeometry<true, false>;
using OffsetPolygonGeometry = PointListGeometry<true, true>;

template <class Geometry>
GeometryRef MakePointList(const std::uint8_t* record, const std::uint8_t* data,
                          std::uint32_t dataBytes) {
    if (data == nullptr || dataBytes < 2 || Geometry::Size(data) > dataBytes) {
        return GeometryRef();
    }
    return GeometryPool::Make<Geometry>(record, data);
}

} // namespace

bool SegmentsCross(const MapPoint& p0, const MapPoint& p1, const MapPoint& p2, const MapPoint& p3) {
    return Orientation(p0, p1, p2) == -Orientation(p0, p1, p3) &&
           Orientation(p2, p3, p0) == -Orientation(p2, p3, p1);
}

bool SegmentMeetsRect(const MapPoint& a, const MapPoint& b, const MapRect& rect) {
    MapRect box{a.x, a.y, b.x, b.y};
    box.Normalize();
    if (!MapRect::Overlaps(box, rect)) {
        return false;
    }
    const MapPoint lowerLeft{rect.x1, rect.y1};
    const MapPoint lowerRight{rect.x2, rect.y1};
    const MapPoint upperLeft{rect.x1, rect.y2};
    const MapPoint upperRight{rect.x2, rect.y2};
    return SegmentsCross(a, b, lowerRight, lowerLeft) ||  // bottom
           SegmentsCross(a, b, upperRight, lowerRight) || // right
           SegmentsCross(a, b, upperRight, upperLeft) ||  // top
           SegmentsCross(a, b, upperLeft, lowerLeft);     // left
}

GeometryRef CreateGeometryElement(const std::uint8_t* record, const std::uint8_t* data,
                                  std::uint32_t dataBytes) {
    if (record == nullptr) {
        return GeometryRef();
    }
    switch (RecordTypeLetter(record)) {
    case 'l':
    case 'm':
    case 'n':
    case 'o':
        return GeometryPool::Make<SegmentGeometry>(record);
    case 't':
        return GeometryPool::Make<PointGeometry>(record);
    case 'p':
        return MakePointList<PolylineGeometry>(record, data, dataBytes);
    case 'y':
        return MakePointList<PolygonGeometry>(record, data, dataBytes);
    case 'r':
        return MakePointList<OffsetPolylineGeometry>(record, data, dataBytes);
    case 'z':
        return MakePointList<OffsetPolygonGeometry>(record, data, dataBytes);
    default:
        return GeometryRef();
    }
}
