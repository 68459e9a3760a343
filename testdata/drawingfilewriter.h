#pragma once
// Writes the junction view's highway drawing files ("Bitmap<n>.txt"): one "x1,y1,x2,y2,flag"
// line per segment, with one knob built in.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

struct DrawingLine {
    float x1 = 0.0f;
    float y1 = 0.0f;
    float x2 = 0.0f;
    float y2 = 0.0f;
    int flag = 1; // 1: the route's path
};

enum class DrawingKnob {
    None,              // LF line ends
    CrLf,              // CR LF line ends
    MissingCoordinate, // the last line has no y2 (four fields)
    EmptyLine,         // an empty line after the last
    LongField,         // the last line's x1 written with 18 characters: leading zeros
    SixthField,        // the last line gets a sixth field ",7"
    NoFinalLineFeed,   // the last line ends without a line feed
    NoRouteSegment,    // every flag written as 2
    ManyLines          // the lines repeated to 5000 lines
};

inline constexpr std::size_t kManyDrawingLines = 5000;

[[nodiscard]] std::string WriteDrawingFile(const std::vector<DrawingLine>& lines,
                                           DrawingKnob knob = DrawingKnob::None);

// The input of the drawing fuzz target: a four-byte header (picture width and height, route
// width, flags: bit 0 a roundabout, bit 1 its arc reversed), the first drawing file, and the
// second one after a byte 0 when there is one.
struct DrawingFuzzHeader {
    std::uint8_t width = 64;
    std::uint8_t height = 48;
    std::uint8_t routeWidth = 6;
    std::uint8_t flags = 0;
};
[[nodiscard]] std::vector<std::uint8_t> WriteDrawingFuzzInput(const DrawingFuzzHeader& header,
                                                              const std::string& first,
                                                              const std::string* second = nullptr);

} // namespace testdata
