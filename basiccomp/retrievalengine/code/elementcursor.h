#pragma once
// The element cursors of the area query: each reads the elements of one block-tree walk in place
// (record fields and the geometry of the current record), with no element object per step. A
// cursor keeps the blocks of the map set it walks, so it stays readable after Close. One cursor
// belongs to one thread.

#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/ielementcursor.h"

#include <utility>

template <class Walk> class WalkElementCursor : public IElementCursor {
public:
    template <class... Arguments>
    explicit WalkElementCursor(Arguments&&... arguments)
        : m_walk(std::forward<Arguments>(arguments)...) {}

    bool MoveNext() override;
    std::uint32_t GetCurrentId() override { return m_walk.GetElementId(); }
    bool IsValid() override { return m_walk.IsValid(); }
    void Next() override;
    std::uint32_t GetElementId() override { return m_walk.GetElementId(); }
    std::uint8_t GetSubtype() override;
    std::uint32_t GetGeometryClass() override;
    void GetBounds(GeoRect& bounds) override;
    std::uint32_t GetPointCount() override;
    void GetPoint(GeoPoint& point, std::uint32_t index) override;
    std::uint16_t GetTypeCode() override;
    void GetAttributes(ElementAttributes& attributes) override;

private:
    Walk m_walk;
};

// Every element whose bounds meet the rectangle.
class ElementCursor final : public WalkElementCursor<AreaElementIterator> {
public:
    using WalkElementCursor::WalkElementCursor;
};

// Elements whose bounds meet the rectangle and whose type code lies in [from, to).
class LevelElementCursor final : public WalkElementCursor<LevelElementIterator> {
public:
    using WalkElementCursor::WalkElementCursor;
};

extern template class WalkElementCursor<AreaElementIterator>;
extern template class WalkElementCursor<LevelElementIterator>;
