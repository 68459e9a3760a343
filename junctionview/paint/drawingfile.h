#pragma once
// The highway junction drawings: numbered text files of line segments, one "x1,y1,x2,y2,flag"
// per line (flag 1: the route's path, anything else another road), read byte by byte; two of
// them joined end to start, moved to the origin and fitted into a device rectangle. Pure
// functions and a parser object; safe from any thread.

#include "junctionview/model/junctiongeometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace junctionview {

// Characters of a field beyond this many are dropped.
inline constexpr std::size_t kMaxDrawingField = 15;
// A file with more lines than this is refused: drawings are a few dozen lines.
inline constexpr std::size_t kMaxDrawingLines = 4096;

// One drawing or two joined: the route's path and the other roads, street ids running over the
// lines of both files.
struct Drawing {
    std::vector<JunctionSegment> route;
    std::vector<JunctionSegment> side;
    std::array<float, 4> extent{}; // x0, y0, x1, y1
};

// Reads the bytes of one drawing file into a Drawing. Every line feed ends a segment; a
// coordinate missing from a line keeps the value of the line before; a last line without a line
// feed is not read.
class DrawingParser {
public:
    // Segments get the street ids firstId, firstId + 1, ...
    DrawingParser(Drawing& drawing, std::uint32_t firstId);

    // False once the file holds more than kMaxDrawingLines lines (nothing more is read then).
    bool Feed(unsigned char byte);
    [[nodiscard]] bool IsTooLong() const { return m_isTooLong; }
    // The street id the next line would get.
    [[nodiscard]] std::uint32_t NextId() const { return m_nextId; }

private:
    void EndField();
    void EndLine();

    Drawing& m_drawing;
    std::uint32_t m_nextId;
    std::array<float, 4> m_coordinates{};
    std::array<char, kMaxDrawingField + 1> m_field{};
    std::size_t m_fieldLength = 0;
    std::size_t m_fieldIndex = 0;
    std::size_t m_lines = 0;
    bool m_isTooLong = false;
};

enum class DrawingRead {
    Read,
    Missing, // no such file, or its path cannot be held in code page 1252
    TooLong  // more than kMaxDrawingLines lines
};

// dataFolder + "\ConfigFiles\HiWayImages\Bitmap<number>.txt".
[[nodiscard]] std::u16string DrawingFilePath(const std::u16string& dataFolder, std::int32_t number);
// Reads the file (its path converted to code page 1252, opened as a narrow text file) into the
// drawing; *nextId becomes the street id after its last line. Nothing is appended unless Read.
[[nodiscard]] DrawingRead ReadDrawingFile(const std::u16string& path, Drawing& drawing,
                                          std::uint32_t firstId, std::uint32_t* nextId);

// Moves the segments from firstRoute / firstSide on (the second file's) so that its first route
// segment starts where the last route segment before them ends, to within one unit. Without a
// route segment on either side nothing is moved.
void JoinDrawing(Drawing& drawing, std::size_t firstRoute, std::size_t firstSide);
// Moves every segment so that the bounding box starts at (0, 0); extent = {0, 0, width, height}.
void NormaliseDrawing(Drawing& drawing);
// Maps the drawing into rect {left, top, right, bottom}, centred, keeping its proportions:
// screenRoute and screenSide are replaced. Nothing is mapped for a drawing with no height.
void FitDrawing(std::span<const JunctionSegment> route, std::span<const JunctionSegment> side,
                const std::array<float, 4>& extent, const JunctionRect& rect,
                std::vector<JunctionSegment>& screenRoute,
                std::vector<JunctionSegment>& screenSide);

} // namespace junctionview
