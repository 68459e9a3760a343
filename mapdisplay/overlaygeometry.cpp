#include "mapdisplay/overlaygeometry.h"

#include "utilities/usefulcode/widetext.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace {

constexpr double kHeadAngle = 0.314159;

struct PointLess {
    bool operator()(const GeoPoint& a, const GeoPoint& b) const {
        return std::tie(a.x, a.y) < std::tie(b.x, b.y);
    }
};

int Truncate(double value) {
    return static_cast<int>(value);
}

POINT Add(POINT a, POINT b) {
    return POINT{a.x + b.x, a.y + b.y};
}

POINT Sub(POINT a, POINT b) {
    return POINT{a.x - b.x, a.y - b.y};
}

POINT Scaled(double length, double angle) {
    return POINT{Truncate(length * std::cos(angle)), Truncate(length * std::sin(angle))};
}

double Distance(POINT a, POINT b) {
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    return std::sqrt(dx * dx + dy * dy);
}

POINT Interpolate(POINT p1, POINT p2, double distance, double reached, double segment) {
    if (segment <= 0.0) {
        return p1;
    }
    const double t = (distance - (reached - segment)) / segment;
    return POINT{p1.x + Truncate((static_cast<double>(p2.x) - p1.x) * t + 0.5),
                 p1.y + Truncate((static_cast<double>(p2.y) - p1.y) * t + 0.5)};
}

} // namespace

std::u16string DisplayName(const std::string& narrow) {
    const std::u16string wide = AnsiToWide(narrow.c_str());
    return TitleCaseCopy(reinterpret_cast<const WCHAR*>(wide.c_str()));
}

int OverlayLineWidth(double scale) {
    if (!(scale > 0.0)) {
        return 20;
    }
    const double rounded = std::round(4.0 / scale) * 10.0;
    return rounded > 20.0 ? static_cast<int>(std::min(rounded, 1000.0)) : 20;
}

std::vector<StretchPiece> BuildPieces(const std::vector<StretchElement>& elements) {
    std::vector<StretchPiece> pieces;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const StretchElement& element = elements[i];
        if (element.points.size() < 2) {
            continue;
        }
        const GeoPoint first = element.points.front();
        const GeoPoint last = element.points.back();
        if (element.direction == 1 || element.direction == 2) {
            pieces.push_back({first, last, i, true});
        }
        if (element.direction == 2 || element.direction == 3) {
            pieces.push_back({last, first, i, false});
        }
    }
    return pieces;
}

std::vector<GeoPoint> ChainPieces(const std::vector<StretchPiece>& pieces,
                                  const std::vector<StretchElement>& elements) {
    std::multimap<GeoPoint, std::size_t, PointLess> byStart;
    std::multimap<GeoPoint, std::size_t, PointLess> byEnd;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        byStart.emplace(pieces[i].start, i);
        byEnd.emplace(pieces[i].end, i);
    }
    if (byStart.empty()) {
        return {};
    }
    // The first piece in start-point order that no piece of another element leads into; in a
    // closed ring of pieces, the first one.
    std::size_t current = byStart.begin()->second;
    for (const auto& [start, index] : byStart) {
        bool isLedInto = false;
        for (auto [it, end] = byEnd.equal_range(start); it != end; ++it) {
            isLedInto = isLedInto || elements[pieces[it->second].element].element !=
                                         elements[pieces[index].element].element;
        }
        if (!isLedInto) {
            current = index;
            break;
        }
    }
    std::vector<GeoPoint> line;
    std::set<std::size_t> used;
    GeoPoint joint;
    while (used.insert(current).second) {
        const StretchPiece& piece = pieces[current];
        const std::vector<GeoPoint>& points = elements[piece.element].points;
        if (piece.isForward) {
            line.insert(line.end(), points.begin(), points.end());
        } else {
            line.insert(line.end(), points.rbegin(), points.rend());
        }
        joint = line.back();
        line.pop_back();
        auto next = byStart.lower_bound(joint);
        if (next != byStart.end() && !(next->first == joint)) {
            next = byStart.end();
        }
        if (next != byStart.end() &&
            elements[pieces[next->second].element].element == elements[piece.element].element) {
            ++next;
            if (next != byStart.end() && !(next->first == joint)) {
                next = byStart.end();
            }
        }
        if (next == byStart.end()) {
            break;
        }
        current = next->second;
    }
    if (!(joint == GeoPoint{})) {
        line.push_back(joint);
    }
    return line;
}

bool IsArrowForm(const std::vector<StretchPiece>& pieces) {
    if (pieces.size() <= 1) {
        return true;
    }
    std::vector<GeoPoint> starts;
    for (const StretchPiece& piece : pieces) {
        starts.push_back(piece.start);
    }
    std::stable_sort(starts.begin(), starts.end(), PointLess{});
    int count = 0;
    for (std::size_t i = 0; i < starts.size();) {
        if (i + 1 < starts.size() && starts[i + 1] == starts[i]) {
            i += 2;
        } else {
            ++count;
            ++i;
        }
    }
    return count > 2;
}

std::vector<POINT> ArrowPolygon(POINT from, POINT to, bool isArrowForm) {
    const double a =
        std::atan2(static_cast<double>(to.y) - from.y, static_cast<double>(to.x) - from.x);
    const double c = std::cos(a);
    const double s = std::sin(a);
    const POINT h1 = Sub(to, Scaled(28.0, a - kHeadAngle));
    const POINT h2 = Sub(to, Scaled(28.0, a + kHeadAngle));
    const POINT shaft{Truncate(32.0 * c), Truncate(32.0 * s)};
    const POINT normal{Truncate(4.0 * s), Truncate(-4.0 * c)};
    const POINT step{Truncate(8.0 * c), Truncate(8.0 * s)};
    const POINT a1 = Sub(Sub(to, normal), shaft);
    const POINT b1 = Add(a1, step);
    const POINT d1 = Sub(Add(to, normal), shaft);
    const POINT c1 = Add(d1, step);
    std::vector<POINT> polygon{a1, b1, h1, to, h2, c1, d1};
    if (!isArrowForm) {
        const POINT m = Sub(POINT{(b1.x + c1.x) / 2, (b1.y + c1.y) / 2}, shaft);
        polygon.push_back(Add(m, Scaled(28.0, a - kHeadAngle)));
        polygon.push_back(m);
        polygon.push_back(Add(m, Scaled(28.0, a + kHeadAngle)));
    }
    return polygon;
}

std::vector<StretchMark> PlaceMarks(const std::vector<POINT>& points) {
    std::vector<StretchMark> marks;
    const std::size_t n = points.size();
    if (n < 2) {
        return marks;
    }
    POINT anchor = points[n - 1];
    double threshold = 30.0;
    bool isArrowNext = true;
    bool hasSigns = false;
    for (std::size_t i = n - 1; i-- > 0;) {
        if (Distance(anchor, points[i]) < threshold) {
            continue;
        }
        if (threshold < 90.0 && isArrowNext) {
            marks.push_back({true, points[i], anchor});
            isArrowNext = false;
            threshold = 90.0;
        } else if (threshold < 90.0) {
            marks.push_back({false, anchor, anchor});
            hasSigns = true;
            isArrowNext = true;
            threshold = 90.0;
        } else {
            threshold = 40.0;
        }
        anchor = points[i];
    }
    if (threshold == 30.0) {
        marks.push_back({true, points[0], points[n - 1]});
    }
    if (!hasSigns) {
        marks.push_back({false, points[0], points[0]});
    }
    return marks;
}

std::vector<POINT> ClipToRange(const std::vector<POINT>& points, int startPercent, int endPercent) {
    std::vector<POINT> clipped;
    double length = 0.0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        length += Distance(points[i - 1], points[i]);
    }
    if (points.size() < 2 || length <= 0.0) {
        return clipped;
    }
    const double startDistance = startPercent * length * 0.01;
    const double endDistance = endPercent * length * 0.01;
    double reached = 0.0;
    bool isStarted = false;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const double segment = Distance(points[i - 1], points[i]);
        reached += segment;
        if (!isStarted && reached >= startDistance) {
            clipped.push_back(
                Interpolate(points[i - 1], points[i], startDistance, reached, segment));
            isStarted = true;
        }
        if (!isStarted) {
            continue;
        }
        if (reached >= endDistance) {
            clipped.push_back(Interpolate(points[i - 1], points[i], endDistance, reached, segment));
            break;
        }
        clipped.push_back(points[i]);
    }
    return clipped;
}
