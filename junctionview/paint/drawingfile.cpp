#include "junctionview/paint/drawingfile.h"

#include "platform/files/stdio.h"
#include "platform/kernel/codepage.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace junctionview {

DrawingParser::DrawingParser(Drawing& drawing, std::uint32_t firstId)
    : m_drawing(drawing)
    , m_nextId(firstId) {}

bool DrawingParser::Feed(unsigned char byte) {
    if (m_isTooLong) {
        return false;
    }
    if (byte == ',') {
        EndField();
    } else if (byte == '\n') {
        EndLine();
    } else if (m_fieldLength < kMaxDrawingField) {
        m_field[m_fieldLength++] = static_cast<char>(byte);
    }
    return !m_isTooLong;
}

void DrawingParser::EndField() {
    m_field[m_fieldLength] = '\0';
    if (m_fieldIndex < m_coordinates.size()) {
        // A byte 0 inside the field ends it early, as the C library reads it.
        m_coordinates[m_fieldIndex] = static_cast<float>(std::strtod(m_field.data(), nullptr));
    }
    ++m_fieldIndex;
    m_fieldLength = 0;
}

void DrawingParser::EndLine() {
    if (++m_lines > kMaxDrawingLines) {
        m_isTooLong = true;
        return;
    }
    m_field[m_fieldLength] = '\0';
    const long flag = std::strtol(m_field.data(), nullptr, 10);
    const JunctionSegment segment{m_nextId++, m_coordinates[0], m_coordinates[1], m_coordinates[2],
                                  m_coordinates[3]};
    (flag == 1 ? m_drawing.route : m_drawing.side).push_back(segment);
    m_fieldIndex = 0;
    m_fieldLength = 0;
}

std::u16string DrawingFilePath(const std::u16string& dataFolder, std::int32_t number) {
    const std::string digits = std::to_string(number);
    std::u16string path = dataFolder + u"\\ConfigFiles\\HiWayImages\\Bitmap";
    path.append(digits.begin(), digits.end());
    return path + u".txt";
}

DrawingRead ReadDrawingFile(const std::u16string& path, Drawing& drawing, std::uint32_t firstId,
                            std::uint32_t* nextId) {
    if (path.empty() || path.find(u'\0') != std::u16string::npos) {
        return DrawingRead::Missing;
    }
    const int wideLength = static_cast<int>(path.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, path.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(size, 0)), '\0');
    BOOL isLossy = FALSE;
    if (size <= 0 ||
        WideCharToMultiByte(CP_ACP, 0, path.data(), wideLength, narrow.data(), size, nullptr,
                            &isLossy) != size ||
        isLossy) {
        return DrawingRead::Missing;
    }
    NavFile* file = platform::fopen(narrow.c_str(), "r");
    if (file == nullptr) {
        return DrawingRead::Missing;
    }
    Drawing read;
    DrawingParser parser(read, firstId);
    for (int byte = fgetc(file); byte != EOF; byte = fgetc(file)) {
        if (!parser.Feed(static_cast<unsigned char>(byte))) {
            break;
        }
    }
    (void)fclose(file);
    if (parser.IsTooLong()) {
        return DrawingRead::TooLong;
    }
    drawing.route.insert(drawing.route.end(), read.route.begin(), read.route.end());
    drawing.side.insert(drawing.side.end(), read.side.begin(), read.side.end());
    if (nextId != nullptr) {
        *nextId = parser.NextId();
    }
    return DrawingRead::Read;
}

void JoinDrawing(Drawing& drawing, std::size_t firstRoute, std::size_t firstSide) {
    if (firstRoute == 0 || firstRoute >= drawing.route.size()) {
        return; // a file without a route segment: joined without offset
    }
    const JunctionSegment& a = drawing.route[firstRoute - 1];
    const JunctionSegment& b = drawing.route[firstRoute];
    const auto dx = static_cast<float>(ClampToInt(static_cast<double>(b.x1) - a.x2));
    const auto dy = static_cast<float>(ClampToInt(static_cast<double>(b.y1) - a.y2));
    const auto shift = [&](std::vector<JunctionSegment>& list, std::size_t from) {
        for (std::size_t i = from; i < list.size(); ++i) {
            list[i].x1 -= dx;
            list[i].y1 -= dy;
            list[i].x2 -= dx;
            list[i].y2 -= dy;
        }
    };
    shift(drawing.route, firstRoute);
    shift(drawing.side, firstSide);
}

void NormaliseDrawing(Drawing& drawing) {
    const JunctionSegment* start = !drawing.route.empty()  ? &drawing.route.front()
                                   : !drawing.side.empty() ? &drawing.side.front()
                                                           : nullptr;
    if (start == nullptr) {
        drawing.extent = {};
        return;
    }
    float minX = start->x1;
    float minY = start->y1;
    float maxX = start->x1;
    float maxY = start->y1;
    for (const auto* list : {&drawing.route, &drawing.side}) {
        for (const JunctionSegment& s : *list) {
            minX = std::min({minX, s.x1, s.x2});
            minY = std::min({minY, s.y1, s.y2});
            maxX = std::max({maxX, s.x1, s.x2});
            maxY = std::max({maxY, s.y1, s.y2});
        }
    }
    for (auto* list : {&drawing.route, &drawing.side}) {
        for (JunctionSegment& s : *list) {
            s.x1 -= minX;
            s.y1 -= minY;
            s.x2 -= minX;
            s.y2 -= minY;
        }
    }
    drawing.extent = {0.0f, 0.0f, maxX - minX, maxY - minY};
}

namespace {

std::int32_t ClampToInt64(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

void FitDrawing(std::span<const JunctionSegment> route, std::span<const JunctionSegment> side,
                const std::array<float, 4>& extent, const JunctionRect& rect,
                std::vector<JunctionSegment>& screenRoute,
                std::vector<JunctionSegment>& screenSide) {
    screenRoute.clear();
    screenSide.clear();
    const std::int32_t cx = ClampToInt64((std::int64_t{rect.left} + rect.right) / 2);
    const std::int32_t cy = ClampToInt64((std::int64_t{rect.top} + rect.bottom) / 2);
    const float w = extent[2] == 0.0f ? 1.0f : extent[2];
    const float h = extent[3] == 0.0f ? 1.0f : extent[3];
    const std::int64_t bh = ClampToInt(100.0f * h / w);
    if (bh == 0) {
        return;
    }
    const std::int64_t available = std::int64_t{rect.right} - rect.left;
    std::int64_t height = std::int64_t{rect.bottom} - rect.top;
    std::int64_t width = height * 100 / bh;
    if (width > available) {
        width = available;
        height = width * bh / 100;
    }
    if (width < 1) {
        width = 100;
    }
    if (height < 1) {
        height = bh;
    }
    const JunctionRect fitted{rect.left, rect.top, ClampToInt64(rect.left + width),
                              ClampToInt64(rect.top + height)};
    float sx = 1.0f;
    float sy = 1.0f;
    ComputeScaleFactors(fitted, extent[0], extent[1], extent[2], extent[3], sx, sy, false);
    const auto ox = static_cast<float>(ClampToInt(cx - (extent[2] / 2) * sx));
    const auto oy = static_cast<float>(ClampToInt(cy - (extent[3] / 2) * sy));
    const auto map = [&](std::span<const JunctionSegment> from, std::vector<JunctionSegment>& to) {
        to.reserve(from.size());
        for (const JunctionSegment& s : from) {
            to.push_back(
                {s.streetId, s.x1 * sx + ox, s.y1 * sy + oy, s.x2 * sx + ox, s.y2 * sy + oy});
        }
    };
    map(route, screenRoute);
    map(side, screenSide);
}

} // namespace junctionview
