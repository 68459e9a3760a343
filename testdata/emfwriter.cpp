#include "testdata/emfwriter.h"

#include "testdata/detail/fileimage.h"

#include <algorithm>

namespace testdata {
namespace {

// Type and size in front of body, padded to 4 bytes.
std::vector<std::uint8_t> Record(std::uint32_t type, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out;
    detail::AppendU32(out, type);
    detail::AppendU32(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    out.resize((out.size() + 3) / 4 * 4, 0);
    detail::PutU32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> Words(std::initializer_list<int> words) {
    std::vector<std::uint8_t> body;
    for (int word : words)
        detail::AppendU32(body, static_cast<std::uint32_t>(word));
    return body;
}

void PutBounds(std::vector<std::uint8_t>& body, const std::vector<EmfPoint>& points) {
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!points.empty()) {
        left = right = points[0].x;
        top = bottom = points[0].y;
    }
    for (const EmfPoint& p : points) {
        left = std::min<int>(left, p.x);
        right = std::max<int>(right, p.x);
        top = std::min<int>(top, p.y);
        bottom = std::max<int>(bottom, p.y);
    }
    for (int v : {left, top, right, bottom})
        detail::AppendU32(body, static_cast<std::uint32_t>(v));
}

void PutPoints(std::vector<std::uint8_t>& body, const std::vector<EmfPoint>& points) {
    for (const EmfPoint& p : points) {
        detail::AppendU16(body, static_cast<std::uint16_t>(p.x));
        detail::AppendU16(body, static_cast<std::uint16_t>(p.y));
    }
}

// The standard header record: bounds, frame, " EMF", version, file size, record count,
// handle count, no description or palette, device size.
std::vector<std::uint8_t> Header(std::uint32_t fileSize, std::uint32_t records) {
    std::vector<std::uint8_t> body;
    for (int i = 0; i < 8; ++i)
        detail::AppendU32(body, 0);
    detail::AppendU32(body, 0x464D4520);
    detail::AppendU32(body, 0x10000);
    detail::AppendU32(body, fileSize);
    detail::AppendU32(body, records);
    detail::AppendU16(body, 1);
    detail::AppendU16(body, 0);
    detail::AppendU32(body, 0);
    detail::AppendU32(body, 0);
    detail::AppendU32(body, 0);
    for (std::uint32_t v : {240u, 320u, 48u, 64u})
        detail::AppendU32(body, v);
    return Record(1, body);
}

std::vector<std::uint8_t> FaultRecord(EmfFault fault) {
    switch (fault) {
    case EmfFault::RecordSizeZero: {
        std::vector<std::uint8_t> r = Record(43, Words({0, 0, 4, 4}));
        detail::PutU32(r, 4, 0);
        return r;
    }
    case EmfFault::RecordSizeNotMultipleOf4: {
        std::vector<std::uint8_t> r = Record(43, Words({0, 0, 4, 4}));
        detail::PutU32(r, 4, 10);
        return r;
    }
    case EmfFault::RecordPastEnd: {
        std::vector<std::uint8_t> r = Record(43, Words({0, 0, 4, 4}));
        detail::PutU32(r, 4, 0x10000);
        return r;
    }
    case EmfFault::PointCountPastRecord: {
        std::vector<std::uint8_t> r = Record(87, Words({0, 0, 9, 9, 1000000}));
        r.insert(r.end(), {0, 0, 0, 0, 9, 0, 9, 0});
        detail::PutU32(r, 4, static_cast<std::uint32_t>(r.size()));
        return r;
    }
    case EmfFault::PartCountPastRecord: {
        std::vector<std::uint8_t> r = Record(90, Words({0, 0, 9, 9, 100000, 2, 2}));
        r.insert(r.end(), {0, 0, 0, 0, 9, 0, 9, 0});
        detail::PutU32(r, 4, static_cast<std::uint32_t>(r.size()));
        return r;
    }
    case EmfFault::TextPastRecord:
        return Record(84, Words({0, 0, 9, 9, 1, 0, 0, 2, 2, 5000, 0x7FFFFFF0, 0, 0, 0, 0, 0, 0}));
    case EmfFault::ShortFontRecord:
        return Record(82, Words({0, -12, 0, 0, 0, 400, 0, 0}));
    case EmfFault::ObjectIndexNegative:
        return Record(38, Words({-1, 0, 1, 0, 0}));
    case EmfFault::TypeAbove119:
        return Record(200, Words({1, 2, 3}));
    case EmfFault::DrawBeforeExtent:
        return Record(43, Words({2, 2, 8, 8}));
    default:
        return {};
    }
}

} // namespace

EmfWriter& EmfWriter::Add(std::uint32_t type, std::initializer_list<int> words) {
    records_.push_back(Record(type, Words(words)));
    return *this;
}

EmfWriter& EmfWriter::Raw(std::uint32_t type, const std::vector<std::uint8_t>& body) {
    records_.push_back(Record(type, body));
    return *this;
}

EmfWriter& EmfWriter::AddPoints(std::uint32_t type, const std::vector<EmfPoint>& points) {
    std::vector<std::uint8_t> body;
    PutBounds(body, points);
    detail::AppendU32(body, static_cast<std::uint32_t>(points.size()));
    PutPoints(body, points);
    records_.push_back(Record(type, body));
    return *this;
}

EmfWriter& EmfWriter::AddParts(std::uint32_t type,
                               const std::vector<std::vector<EmfPoint>>& parts) {
    std::vector<EmfPoint> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    std::vector<std::uint8_t> body;
    PutBounds(body, all);
    detail::AppendU32(body, static_cast<std::uint32_t>(parts.size()));
    detail::AppendU32(body, static_cast<std::uint32_t>(all.size()));
    for (const auto& part : parts)
        detail::AppendU32(body, static_cast<std::uint32_t>(part.size()));
    PutPoints(body, all);
    records_.push_back(Record(type, body));
    return *this;
}

EmfWriter& EmfWriter::CreateFont(int index, int height, int weight, int quality,
                                 const std::u16string& face) {
    std::vector<std::uint8_t> body = Words({index, height, 0, 0, 0, weight});
    body.insert(body.end(), {0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(quality), 0});
    for (std::size_t i = 0; i < 32; ++i)
        detail::AppendU16(body, i < face.size() && i < 31 ? face[i] : 0);
    records_.push_back(Record(82, body));
    return *this;
}

EmfWriter& EmfWriter::TextOut(int x, int y, const std::u16string& text, std::uint32_t options,
                              int boundsLeft, int boundsTop, int boundsRight, int boundsBottom) {
    constexpr int kTextOffset = 76;
    const int count = static_cast<int>(text.size());
    const int dxOffset = kTextOffset + (count * 2 + 3) / 4 * 4;
    std::vector<std::uint8_t> body =
        Words({boundsLeft, boundsTop, boundsRight, boundsBottom, 1, 0, 0, x, y, count, kTextOffset,
               static_cast<int>(options), 0, 0, 0, 0, dxOffset});
    for (char16_t c : text)
        detail::AppendU16(body, c);
    body.resize(dxOffset - 8, 0);
    for (int i = 0; i < count; ++i)
        detail::AppendU32(body, 8);
    records_.push_back(Record(84, body));
    return *this;
}

std::vector<std::uint8_t> EmfWriter::Build(EmfFault fault) const {
    std::vector<std::vector<std::uint8_t>> records;
    if (fault == EmfFault::ObjectIndexHuge) {
        records.push_back(Record(38, Words({0x7FFFFFF0, 0, 1, 0, 0})));
        records.push_back(Record(37, Words({0x7FFFFFF0})));
    } else if (std::vector<std::uint8_t> bad = FaultRecord(fault); !bad.empty()) {
        records.push_back(std::move(bad));
    }
    records.insert(records.end(), records_.begin(), records_.end());
    if (fault != EmfFault::NoEndRecord)
        records.push_back(Record(14, Words({0, 16, 20})));

    std::uint32_t size = 0;
    for (const auto& r : records)
        size += static_cast<std::uint32_t>(r.size());
    std::vector<std::uint8_t> header = Header(0, static_cast<std::uint32_t>(records.size() + 1));
    size += static_cast<std::uint32_t>(header.size());
    detail::PutU32(header, 48, size);
    std::vector<std::uint8_t> out = header;
    for (const auto& r : records)
        out.insert(out.end(), r.begin(), r.end());
    if (fault == EmfFault::BadSignature)
        out[40] = 'X';
    if (fault == EmfFault::ShorterThan44)
        out.resize(40);
    return out;
}

EmfWriter SampleSkinPicture() {
    EmfWriter w;
    w.SetMapMode(8)
        .SetWindowOrigin(0, 0)
        .SetWindowExtent(100, 100)
        .SetViewportOrigin(0, 0)
        .SetViewportExtent(64, 64)
        .SetBkMode(1)
        .CreatePen(1, 0, 2, 0x000000)
        .CreateBrush(2, 0, 0x0000FF)
        .SelectObject(1)
        .SelectObject(2)
        .Rectangle(5, 5, 95, 95)
        .CreateBrush(3, 0, 0x00FF00)
        .SelectObject(3)
        .Ellipse(20, 20, 80, 80)
        .MoveTo(10, 50)
        .LineTo(50, 10)
        .LineTo(90, 50)
        .Polygon({{30, 60}, {50, 90}, {70, 60}})
        .Polyline({{10, 90}, {90, 90}})
        .PolyPolyline({{{10, 15}, {20, 15}}, {{80, 15}, {90, 15}}})
        .PolyPolygon({{{40, 40}, {45, 40}, {45, 45}}})
        .CreateFont(4, -20, 700, 3, u"Arial")
        .SelectObject(4)
        .SetTextAlign(6)
        .TextOut(50, 50, u"OK")
        .SelectObject(0x80000000u | 7)
        .SelectObject(0x80000000u | 0)
        .SelectObject(0x80000000u | 17)
        .DeleteObject(1)
        .DeleteObject(2);
    return w;
}

} // namespace testdata
