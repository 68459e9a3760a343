#include "tools/osm/osmhousenumbers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <set>
#include <utility>

namespace osm2nav {
namespace {

// A plane in metres around the street: map units are equal angles, so x shrinks with the
// cosine of the latitude.
struct Plane {
    double xScale = kMetresPerMapUnit;

    explicit Plane(const MapPoint& near) {
        const double latitude = near.y * kDegreesPerMapUnit * 3.14159265358979 / 180.0;
        xScale = kMetresPerMapUnit * std::cos(latitude);
    }
    [[nodiscard]] double X(const MapPoint& p) const { return p.x * xScale; }
    [[nodiscard]] double Y(const MapPoint& p) const { return p.y * kMetresPerMapUnit; }
};

// Where a point meets an element: squared distance, segment and share along it.
struct Foot {
    double distance2 = 0;
    std::size_t segment = 0;
    double share = 0;
};

// The foot of p on the line, both given in a plane by project (a point -> {x, y}); a line of
// one point has that point as its foot.
template <typename Point, typename Project>
Foot FootOnLine(const std::vector<Point>& line, const Point& p, Project project) {
    Foot best{INFINITY, 0, 0};
    const auto [px, py] = project(p);
    for (std::size_t i = 0; i + 1 < std::max<std::size_t>(line.size(), 2); ++i) {
        const auto [ax, ay] = project(line[i]);
        const auto [bx, by] = project(line[std::min(i + 1, line.size() - 1)]);
        const double dx = bx - ax;
        const double dy = by - ay;
        const double length2 = dx * dx + dy * dy;
        const double share =
            length2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length2, 0.0, 1.0) : 0.0;
        const double fx = ax + share * dx - px;
        const double fy = ay + share * dy - py;
        if (fx * fx + fy * fy < best.distance2) {
            best = {fx * fx + fy * fy, i, share};
        }
    }
    return best;
}

Foot FootOn(const Plane& plane, const std::vector<MapPoint>& line, const MapPoint& p) {
    return FootOnLine(line, p, [&plane](const MapPoint& q) {
        return std::pair{plane.X(q), plane.Y(q)};
    });
}

// An address placed on an element.
struct Entry {
    const HouseAddress* address;
    std::uint16_t number;
    std::size_t element;
    Foot foot;
};

GeoPoint Along(const GeoPoint& a, const GeoPoint& b, double share) {
    return {static_cast<float>(a.x + (b.x - a.x) * share),
            static_cast<float>(a.y + (b.y - a.y) * share)};
}

GeoPoint Degrees(const MapPoint& p) {
    return MapPointToDegrees(p);
}

} // namespace

double MetresBetween(const MapPoint& a, const MapPoint& b) {
    const Plane plane(a);
    const double dx = plane.X(a) - plane.X(b);
    const double dy = plane.Y(a) - plane.Y(b);
    return std::sqrt(dx * dx + dy * dy);
}

HouseNumberPlacement PlaceHouseNumbers(const std::vector<std::vector<MapPoint>>& elements,
                                       const std::vector<HouseAddress>& addresses) {
    HouseNumberPlacement placement;
    if (elements.empty() || elements.front().empty()) {
        return placement;
    }
    const Plane plane(elements.front().front());
    const auto nearestOf = [&](const MapPoint& point) {
        std::pair<std::size_t, Foot> best{0, Foot{INFINITY, 0, 0}};
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (const Foot foot = FootOn(plane, elements[i], point);
                !elements[i].empty() && foot.distance2 < best.second.distance2) {
                best = {i, foot};
            }
        }
        return best;
    };
    std::set<std::string> seen;
    std::vector<Entry> entries;
    for (const HouseAddress& address : addresses) {
        const auto [nearest, foot] = nearestOf(address.point);
        if (foot.distance2 > kNearestLimitMetres * kNearestLimitMetres) {
            placement.far.push_back(&address);
            continue;
        }
        if (!seen.insert(address.number).second) {
            ++placement.duplicates;
            continue;
        }
        const char* text = address.number.c_str();
        const long value = *text >= '0' && *text <= '9' ? std::strtol(text, nullptr, 10) : 0;
        if (value <= 0 || value > 65534) {
            ++placement.withoutNumber;
            continue;
        }
        entries.push_back({&address, static_cast<std::uint16_t>(value), nearest, foot});
        placement.placed.push_back(&address);
    }
    // The readers take the first element whose range holds a number, so the ranges of one
    // parity must not overlap: a run of numbers (in number order) whose element also holds
    // another run goes to the element of a neighbouring run, the nearer one, until each element
    // holds one run of each parity.
    for (const int parity : {0, 1}) {
        std::vector<Entry*> side;
        for (auto& entry : entries) {
            if (entry.number % 2 == parity) {
                side.push_back(&entry);
            }
        }
        std::stable_sort(side.begin(), side.end(),
                         [](const Entry* a, const Entry* b) { return a->number < b->number; });
        while (true) {
            // Runs as [first, last) over `side`.
            std::vector<std::pair<std::size_t, std::size_t>> runs;
            std::map<std::size_t, std::size_t> runsOf;
            for (std::size_t i = 0; i < side.size(); ++i) {
                if (i == 0 || side[i]->element != side[i - 1]->element) {
                    runs.emplace_back(i, i);
                    ++runsOf[side[i]->element];
                }
                runs.back().second = i + 1;
            }
            std::optional<std::size_t> smallest;
            for (std::size_t r = 0; r < runs.size(); ++r) {
                const auto size = runs[r].second - runs[r].first;
                if (runsOf[side[runs[r].first]->element] > 1 &&
                    (!smallest || size < runs[*smallest].second - runs[*smallest].first)) {
                    smallest = r;
                }
            }
            if (!smallest) {
                break;
            }
            const auto [first, last] = runs[*smallest];
            // The neighbouring runs' elements, the one nearer to the run's houses taken.
            std::vector<std::size_t> candidates;
            if (*smallest > 0) {
                candidates.push_back(side[runs[*smallest - 1].first]->element);
            }
            if (*smallest + 1 < runs.size()) {
                candidates.push_back(side[runs[*smallest + 1].first]->element);
            }
            std::size_t target = candidates.front();
            double best = INFINITY;
            for (const std::size_t candidate : candidates) {
                double sum = 0;
                for (std::size_t i = first; i < last; ++i) {
                    sum += FootOn(plane, elements[candidate], side[i]->address->point).distance2;
                }
                if (sum < best) {
                    best = sum;
                    target = candidate;
                }
            }
            for (std::size_t i = first; i < last; ++i) {
                side[i]->element = target;
                side[i]->foot = FootOn(plane, elements[target], side[i]->address->point);
            }
        }
    }
    // Per element: the numbers of each side, and the median of its houses' feet along it.
    std::map<std::size_t, std::vector<std::pair<double, GeoPoint>>> feet;
    for (const Entry& entry : entries) {
        const auto& line = elements[entry.element];
        const std::size_t next = std::min(entry.foot.segment + 1, line.size() - 1);
        feet[entry.element].emplace_back(
            static_cast<double>(entry.foot.segment) + entry.foot.share,
            Along(Degrees(line[entry.foot.segment]), Degrees(line[next]), entry.foot.share));
        auto& numbers = placement.elements[entry.element];
        (entry.number % 2 == 0 ? numbers.even : numbers.odd).push_back(entry.number);
    }
    for (auto& [index, numbers] : placement.elements) {
        std::sort(numbers.odd.begin(), numbers.odd.end());
        std::sort(numbers.even.begin(), numbers.even.end());
        auto& along = feet[index];
        std::sort(along.begin(), along.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        numbers.at = along[along.size() / 2].second;
    }
    return placement;
}

std::vector<GeoPoint> PointsWithMiddleAt(const std::vector<GeoPoint>& points, const GeoPoint& at) {
    if (points.size() < 2) {
        return {at};
    }
    // The segment that passes nearest to the point, in a plane of equal-length degrees.
    const double xScale = std::cos(at.y * 3.14159265358979 / 180.0);
    const std::size_t segment = FootOnLine(points, at, [xScale](const GeoPoint& q) {
                                    return std::pair{q.x * xScale, static_cast<double>(q.y)};
                                }).segment;
    const std::size_t before = segment + 1;
    const std::size_t after = points.size() - before;
    std::vector<GeoPoint> result(points.begin(), points.begin() + static_cast<long>(before));
    // Points on the line between the segment's start and `at` make up for a short first half.
    const std::size_t fillBefore = before < after ? after - before : 0;
    for (std::size_t k = 1; k <= fillBefore; ++k) {
        result.push_back(Along(points[segment], at, static_cast<double>(k) / (fillBefore + 1)));
    }
    result.push_back(at);
    const std::size_t fillAfter = before > after + 1 ? before - after - 1 : 0;
    for (std::size_t k = 1; k <= fillAfter; ++k) {
        result.push_back(Along(at, points[segment + 1], static_cast<double>(k) / (fillAfter + 1)));
    }
    result.insert(result.end(), points.begin() + static_cast<long>(before), points.end());
    return result;
}

std::string RangeText(const std::vector<std::uint16_t>& numbers) {
    if (numbers.empty()) {
        return {};
    }
    const auto [low, high] = std::minmax_element(numbers.begin(), numbers.end());
    return *low == *high ? std::to_string(*low)
                         : std::to_string(*low) + "-" + std::to_string(*high);
}

} // namespace osm2nav
