#include "testdata/drawingfilewriter.h"

#include <algorithm>
#include <cstdio>

namespace testdata {

namespace {

std::string FloatText(float value) {
    char text[32];
    (void)std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string Line(const DrawingLine& line, DrawingKnob knob, bool isLast) {
    const bool isChanged = isLast;
    std::string x1 = FloatText(line.x1);
    if (knob == DrawingKnob::LongField && isChanged) {
        x1 = std::string(18 - std::min<std::size_t>(x1.size(), 17), '0') + x1;
    }
    std::string text = x1 + ',' + FloatText(line.y1) + ',' + FloatText(line.x2) + ',';
    if (knob != DrawingKnob::MissingCoordinate || !isChanged) {
        text += FloatText(line.y2) + ',';
    }
    text += std::to_string(knob == DrawingKnob::NoRouteSegment ? 2 : line.flag);
    if (knob == DrawingKnob::SixthField && isChanged) {
        text += ",7";
    }
    if (knob == DrawingKnob::NoFinalLineFeed && isChanged) {
        return text;
    }
    return text + (knob == DrawingKnob::CrLf ? "\r\n" : "\n");
}

} // namespace

std::string WriteDrawingFile(const std::vector<DrawingLine>& lines, DrawingKnob knob) {
    std::string file;
    const std::size_t count =
        knob == DrawingKnob::ManyLines && !lines.empty() ? kManyDrawingLines : lines.size();
    for (std::size_t i = 0; i < count; ++i) {
        file += Line(lines[i % lines.size()], knob, i + 1 == count);
    }
    if (knob == DrawingKnob::EmptyLine) {
        file += '\n';
    }
    return file;
}

std::vector<std::uint8_t> WriteDrawingFuzzInput(const DrawingFuzzHeader& header,
                                                const std::string& first,
                                                const std::string* second) {
    std::vector<std::uint8_t> input{header.width, header.height, header.routeWidth, header.flags};
    input.insert(input.end(), first.begin(), first.end());
    if (second != nullptr) {
        input.push_back(0);
        input.insert(input.end(), second->begin(), second->end());
    }
    return input;
}

} // namespace testdata
