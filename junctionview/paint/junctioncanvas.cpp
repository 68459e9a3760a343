#include "junctionview/paint/junctioncanvas.h"

#include <algorithm>

GdiJunctionCanvas::GdiJunctionCanvas(HDC dc)
    : m_dc(dc) {}

GdiJunctionCanvas::~GdiJunctionCanvas() {
    if (m_oldPen != nullptr) {
        (void)SelectObject(m_dc, m_oldPen);
    }
    if (m_oldBrush != nullptr) {
        (void)SelectObject(m_dc, m_oldBrush);
    }
    for (const auto& [pen, handle] : m_pens) {
        (void)DeleteObject(handle);
    }
    for (const auto& [colour, handle] : m_brushes) {
        (void)DeleteObject(handle);
    }
}

void GdiJunctionCanvas::SetPen(const JunctionPen& pen) {
    m_penWanted = pen;
}

void GdiJunctionCanvas::SetBrush(COLORREF colour) {
    m_brushWanted = colour;
}

void GdiJunctionCanvas::SelectObjects() {
    HPEN pen = nullptr;
    for (const auto& [made, handle] : m_pens) {
        if (made == m_penWanted) {
            pen = handle;
            break;
        }
    }
    if (pen == nullptr) {
        pen = CreatePen(m_penWanted.style, m_penWanted.width, m_penWanted.colour);
        if (pen != nullptr) {
            m_pens.emplace_back(m_penWanted, pen);
        }
    }
    if (pen != nullptr && pen != m_pen) {
        HGDIOBJ old = SelectObject(m_dc, pen);
        if (m_oldPen == nullptr) {
            m_oldPen = old;
        }
        m_pen = pen;
    }
    HBRUSH brush = nullptr;
    for (const auto& [made, handle] : m_brushes) {
        if (made == m_brushWanted) {
            brush = handle;
            break;
        }
    }
    if (brush == nullptr) {
        brush = CreateSolidBrush(m_brushWanted);
        if (brush != nullptr) {
            m_brushes.emplace_back(m_brushWanted, brush);
        }
    }
    if (brush != nullptr && brush != m_brush) {
        HGDIOBJ old = SelectObject(m_dc, brush);
        if (m_oldBrush == nullptr) {
            m_oldBrush = old;
        }
        m_brush = brush;
    }
}

void GdiJunctionCanvas::FillPolygon(const POINT* points, int count) {
    SelectObjects();
    (void)::Polygon(m_dc, points, count);
}

void GdiJunctionCanvas::DrawPolyline(const POINT* points, int count) {
    SelectObjects();
    (void)::Polyline(m_dc, points, count);
}

void GdiJunctionCanvas::DrawEllipse(int left, int top, int right, int bottom) {
    SelectObjects();
    (void)::Ellipse(m_dc, left, top, right, bottom);
}

void GdiJunctionCanvas::DrawRectangle(int left, int top, int right, int bottom) {
    SelectObjects();
    (void)::Rectangle(m_dc, left, top, right, bottom);
}

void GdiJunctionCanvas::CopyBitmap(HBITMAP bitmap, int x, int y, int width, int height) {
    HDC memory = CreateCompatibleDC(m_dc);
    if (memory == nullptr) {
        return;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    (void)BitBlt(m_dc, x, y, width, height, memory, 0, 0, SRCCOPY);
    (void)SelectObject(memory, old);
    (void)DeleteDC(memory);
}

bool operator==(const JunctionPrimitive& a, const JunctionPrimitive& b) {
    return a.kind == b.kind && a.pen == b.pen && a.brush == b.brush &&
           std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(),
                      [](const POINT& p, const POINT& q) { return p.x == q.x && p.y == q.y; });
}

void RecordingJunctionCanvas::Add(JunctionPrimitive::Kind kind, const POINT* points, int count) {
    JunctionPrimitive primitive;
    primitive.kind = kind;
    if (points != nullptr && count > 0) {
        primitive.points.assign(points, points + count);
    }
    primitive.pen = m_pen;
    primitive.brush = m_brush;
    m_primitives.push_back(std::move(primitive));
}

void RecordingJunctionCanvas::FillPolygon(const POINT* points, int count) {
    Add(JunctionPrimitive::Kind::Polygon, points, count);
}

void RecordingJunctionCanvas::DrawPolyline(const POINT* points, int count) {
    Add(JunctionPrimitive::Kind::Polyline, points, count);
}

void RecordingJunctionCanvas::DrawEllipse(int left, int top, int right, int bottom) {
    const POINT corners[2] = {{left, top}, {right, bottom}};
    Add(JunctionPrimitive::Kind::Ellipse, corners, 2);
}

void RecordingJunctionCanvas::DrawRectangle(int left, int top, int right, int bottom) {
    const POINT corners[2] = {{left, top}, {right, bottom}};
    Add(JunctionPrimitive::Kind::Rectangle, corners, 2);
}

void RecordingJunctionCanvas::CopyBitmap(HBITMAP /*bitmap*/, int x, int y, int width, int height) {
    const POINT corners[2] = {{x, y}, {x + width, y + height}};
    Add(JunctionPrimitive::Kind::Bitmap, corners, 2);
}
