#pragma once
// Writes enhanced metafiles of the record subset the skin pictures use, built from GDI-like
// calls, optionally with one fault built in.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testdata {

enum class EmfFault {
    None,
    BadSignature,             // the header's " EMF" signature is changed
    ShorterThan44,            // the file is cut to 40 bytes
    RecordSizeZero,           // a record after the header claims 0 bytes
    RecordSizeNotMultipleOf4, // a record after the header claims 10 bytes
    RecordPastEnd,            // a record after the header claims 64 KB
    NoEndRecord,              // the end-of-file record is left out
    PointCountPastRecord,     // a polyline claims a million points and holds two
    PartCountPastRecord,      // a poly-polyline claims 100000 parts and holds one
    TextPastRecord,           // a text's count and offset reach past its record
    ShortFontRecord,          // a font record of 40 bytes
    ObjectIndexNegative,      // a pen created at index -1
    ObjectIndexHuge,          // a pen created and selected at index 0x7FFFFFF0
    TypeAbove119,             // a record of type 200
    DrawBeforeExtent          // a rectangle comes before any window extent
};

struct EmfPoint {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

// Each call appends one record; Build adds the header in front and the end record behind.
class EmfWriter {
public:
    EmfWriter& SetWindowExtent(int cx, int cy) { return Add(9, {cx, cy}); }
    EmfWriter& SetWindowOrigin(int x, int y) { return Add(10, {x, y}); }
    EmfWriter& SetViewportExtent(int cx, int cy) { return Add(11, {cx, cy}); }
    EmfWriter& SetViewportOrigin(int x, int y) { return Add(12, {x, y}); }
    EmfWriter& SetMapMode(int mode) { return Add(17, {mode}); }
    EmfWriter& SetBkMode(int mode) { return Add(18, {mode}); }
    EmfWriter& SetTextAlign(std::uint32_t align) { return Add(22, {static_cast<int>(align)}); }
    EmfWriter& MoveTo(int x, int y) { return Add(27, {x, y}); }
    EmfWriter& LineTo(int x, int y) { return Add(54, {x, y}); }
    // index with the top bit set names a stock object by its low byte.
    EmfWriter& SelectObject(std::uint32_t index) { return Add(37, {static_cast<int>(index)}); }
    EmfWriter& DeleteObject(int index) { return Add(40, {index}); }
    // colour is a COLORREF (0x00BBGGRR).
    EmfWriter& CreatePen(int index, int style, int width, std::uint32_t colour) {
        return Add(38, {index, style, width, 0, static_cast<int>(colour)});
    }
    EmfWriter& CreateBrush(int index, int style, std::uint32_t colour) {
        return Add(39, {index, style, static_cast<int>(colour), 0});
    }
    EmfWriter& Ellipse(int left, int top, int right, int bottom) {
        return Add(42, {left, top, right, bottom});
    }
    EmfWriter& Rectangle(int left, int top, int right, int bottom) {
        return Add(43, {left, top, right, bottom});
    }
    // A LOGFONTW with the given height, weight, quality and face name.
    EmfWriter& CreateFont(int index, int height, int weight, int quality,
                          const std::u16string& face);
    // Text at the reference point (x, y); bounds and options go to the record as they are.
    EmfWriter& TextOut(int x, int y, const std::u16string& text, std::uint32_t options = 0,
                       int boundsLeft = 0, int boundsTop = 0, int boundsRight = 0,
                       int boundsBottom = 0);
    EmfWriter& Polygon(const std::vector<EmfPoint>& points) { return AddPoints(86, points); }
    EmfWriter& Polyline(const std::vector<EmfPoint>& points) { return AddPoints(87, points); }
    EmfWriter& PolyPolyline(const std::vector<std::vector<EmfPoint>>& parts) {
        return AddParts(90, parts);
    }
    EmfWriter& PolyPolygon(const std::vector<std::vector<EmfPoint>>& parts) {
        return AddParts(91, parts);
    }
    // Any record: type, then the words after the size.
    EmfWriter& Raw(std::uint32_t type, const std::vector<std::uint8_t>& body);

    // Records so far, header and end record not counted.
    [[nodiscard]] std::size_t RecordCount() const { return records_.size(); }
    [[nodiscard]] std::vector<std::uint8_t> Build(EmfFault fault = EmfFault::None) const;

private:
    EmfWriter& Add(std::uint32_t type, std::initializer_list<int> words);
    EmfWriter& AddPoints(std::uint32_t type, const std::vector<EmfPoint>& points);
    EmfWriter& AddParts(std::uint32_t type, const std::vector<std::vector<EmfPoint>>& parts);

    std::vector<std::vector<std::uint8_t>> records_;
};

// A small skin picture on a 100 x 100 window that uses every record type the player knows:
// pen, brushes, font, shapes, lines, polygons and centred text. It deletes its pen and first
// brush and leaves the second brush and the font to the player.
[[nodiscard]] EmfWriter SampleSkinPicture();

} // namespace testdata
