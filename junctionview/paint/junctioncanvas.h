#pragma once
// The few primitives a junction picture is drawn with, each with its pen and brush: filled
// polygons, polylines, ellipses, rectangles and bitmap copies at exact integer points. Two
// canvases: GDI into a device context, and a recording one that lists the primitives (for tests
// and for replaying a picture elsewhere). One thread at a time.

#include "platform/gdi/gdi.h"

#include <cstdint>
#include <utility>
#include <vector>

struct JunctionPen {
    int style = PS_SOLID; // PS_SOLID or PS_NULL
    int width = 1;
    COLORREF colour = 0;

    friend bool operator==(const JunctionPen&, const JunctionPen&) = default;
};

class JunctionCanvas {
public:
    virtual ~JunctionCanvas() = default;
    // The pen and the solid brush of the primitives that follow.
    virtual void SetPen(const JunctionPen& pen) = 0;
    virtual void SetBrush(COLORREF colour) = 0;
    virtual void FillPolygon(const POINT* points, int count) = 0;
    virtual void DrawPolyline(const POINT* points, int count) = 0;
    virtual void DrawEllipse(int left, int top, int right, int bottom) = 0;
    virtual void DrawRectangle(int left, int top, int right, int bottom) = 0;
    // The bitmap's width x height pixels copied with their top-left corner at (x, y).
    virtual void CopyBitmap(HBITMAP bitmap, int x, int y, int width, int height) = 0;
};

// Draws into a device context. Pens and brushes are made on first use and kept for the canvas's
// life; the destructor selects the context's own again and deletes every one it made.
class GdiJunctionCanvas final : public JunctionCanvas {
public:
    explicit GdiJunctionCanvas(HDC dc);
    ~GdiJunctionCanvas() override;
    GdiJunctionCanvas(const GdiJunctionCanvas&) = delete;
    GdiJunctionCanvas& operator=(const GdiJunctionCanvas&) = delete;

    void SetPen(const JunctionPen& pen) override;
    void SetBrush(COLORREF colour) override;
    void FillPolygon(const POINT* points, int count) override;
    void DrawPolyline(const POINT* points, int count) override;
    void DrawEllipse(int left, int top, int right, int bottom) override;
    void DrawRectangle(int left, int top, int right, int bottom) override;
    void CopyBitmap(HBITMAP bitmap, int x, int y, int width, int height) override;

private:
    void SelectObjects();

    HDC m_dc;
    JunctionPen m_penWanted;
    COLORREF m_brushWanted = 0;
    std::vector<std::pair<JunctionPen, HPEN>> m_pens;
    std::vector<std::pair<COLORREF, HBRUSH>> m_brushes;
    HPEN m_pen = nullptr; // selected
    HBRUSH m_brush = nullptr;
    HGDIOBJ m_oldPen = nullptr;
    HGDIOBJ m_oldBrush = nullptr;
};

struct JunctionPrimitive {
    enum class Kind { Polygon, Polyline, Ellipse, Rectangle, Bitmap };
    Kind kind = Kind::Polygon;
    // The points; for an ellipse, a rectangle or a bitmap: top-left and bottom-right.
    std::vector<POINT> points;
    JunctionPen pen;
    COLORREF brush = 0; // the brush in force (a polyline and a bitmap use none)

    friend bool operator==(const JunctionPrimitive& a, const JunctionPrimitive& b);
};

// Lists every primitive with the pen and brush in force.
class RecordingJunctionCanvas final : public JunctionCanvas {
public:
    void SetPen(const JunctionPen& pen) override { m_pen = pen; }
    void SetBrush(COLORREF colour) override { m_brush = colour; }
    void FillPolygon(const POINT* points, int count) override;
    void DrawPolyline(const POINT* points, int count) override;
    void DrawEllipse(int left, int top, int right, int bottom) override;
    void DrawRectangle(int left, int top, int right, int bottom) override;
    void CopyBitmap(HBITMAP bitmap, int x, int y, int width, int height) override;

    [[nodiscard]] const std::vector<JunctionPrimitive>& Primitives() const { return m_primitives; }
    void Clear() { m_primitives.clear(); }

private:
    void Add(JunctionPrimitive::Kind kind, const POINT* points, int count);

    JunctionPen m_pen;
    COLORREF m_brush = 0;
    std::vector<JunctionPrimitive> m_primitives;
};
