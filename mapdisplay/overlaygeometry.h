#pragma once
// The drawing geometry of the traffic and parking overlay, as pure value code (any thread):
// sign and street names title-cased, the pieces of a blocking message's elements chained into
// one stretch, the arrow form, arrow polygons, the walk placing arrows and signs along a
// stretch on screen, and streets clipped to a covered range.

#include "utilities/mapgeometry/mapgeometry.h"

#include "platform/window/windowtypes.h"

#include <cstdint>
#include <string>
#include <vector>

// The narrow text widened with code page 1252 and title-cased: upper case at the start and
// after one of " .-(;,/", lower case elsewhere, and "AS", "AD" or "AK" before a blank in a text
// of at least 4 characters.
[[nodiscard]] std::u16string DisplayName(const std::string& narrow);

// Width in pixels of the overlay's thick lines at a scale in metres per pixel:
// max(round(4 / scale) x 10, 20).
[[nodiscard]] int OverlayLineWidth(double scale);

// One element id of a blocking message: the element's points, its direction code (the top two
// bits of the id, 2 already replaced by the element's own direction code) and the element (the
// id's low 28 bits; a message may name one element once per direction).
struct StretchElement {
    std::vector<GeoPoint> points;
    std::uint32_t direction = 0;
    std::uint32_t element = 0;
};

// A piece runs over one element from its first point to its last (forward) or back.
struct StretchPiece {
    GeoPoint start;
    GeoPoint end;
    std::size_t element = 0;
    bool isForward = true;
};

// The pieces of the elements in their order: one forward for direction 1, forward and backward
// for 2, one backward for 3, none for 0 or for an element of fewer than two points.
[[nodiscard]] std::vector<StretchPiece> BuildPieces(const std::vector<StretchElement>& elements);

// The stretch's polyline: from the first piece (in start-point order) into which no piece of
// another element leads, piece after piece that starts at the previous one's end, until none
// does or a piece comes round a second time. Empty without pieces.
[[nodiscard]] std::vector<GeoPoint> ChainPieces(const std::vector<StretchPiece>& pieces,
                                                const std::vector<StretchElement>& elements);

// True (7-point arrows) for at most one piece, or when more than two pieces have a start point
// of their own; false (10-point arrows) otherwise.
[[nodiscard]] bool IsArrowForm(const std::vector<StretchPiece>& pieces);

// The arrow polygon from `from` to its tip `to`: 7 points in arrow form, else 10.
[[nodiscard]] std::vector<POINT> ArrowPolygon(POINT from, POINT to, bool isArrowForm);

// What the walk along a stretch on screen places: an arrow from `from` to `to`, or the signs at
// `from`.
struct StretchMark {
    bool isArrow = true;
    POINT from{};
    POINT to{};
    friend bool operator==(const StretchMark& a, const StretchMark& b) {
        return a.isArrow == b.isArrow && a.from.x == b.from.x && a.from.y == b.from.y &&
               a.to.x == b.to.x && a.to.y == b.to.y;
    }
};

// From the end of the screen polyline: an arrow over the last 30 pixels, then after gaps of 90
// and 40 pixels the signs and an arrow in turn; one arrow over the whole of a shorter stretch,
// and the signs at its first point when none were placed. Nothing for fewer than two points.
[[nodiscard]] std::vector<StretchMark> PlaceMarks(const std::vector<POINT>& points);

// The part of the screen polyline from startPercent to endPercent of its length, its ends
// interpolated. Empty for a polyline of length 0 or fewer than two points.
[[nodiscard]] std::vector<POINT> ClipToRange(const std::vector<POINT>& points, int startPercent,
                                             int endPercent);
