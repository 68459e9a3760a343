#include "routing/routetree.h"

#include "routing/linkcosts.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/debug.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <span>

namespace {

constexpr double kEncodingUnitsPerDegree = 93206.75555555556; // 2^25 / 360
constexpr std::uint32_t kMagnitudeMask = 0x7FFFFFFu;          // 27 bits

// Truncated to a signed 32-bit number; out-of-range values saturate and NaN gives 0.
std::int64_t EncodingUnits(float degrees) {
    const double units = static_cast<double>(degrees) * kEncodingUnitsPerDegree;
    if (!(units == units)) {
        return 0;
    }
    constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int64_t>(std::clamp(units, kLowest, kHighest));
}

double ManhattanDistance(const GeoPoint& q, const GeoPoint& p) {
    return std::abs(static_cast<double>(q.x) - static_cast<double>(p.x)) +
           std::abs(static_cast<double>(q.y) - static_cast<double>(p.y));
}

// At least 1: the first segment's end when point 0 is nearest.
std::size_t NearestPolylineIndex(const GeoPoint& p, const std::vector<GeoPoint>& polyline) {
    // The squared distances are floats; comparing them as doubles gives the same answer.
    return std::max<std::size_t>(1, NearestSegmentIndex(p, std::span(polyline)));
}

} // namespace

RouteElement::RouteElement(std::int32_t linkValue, std::uint32_t level,
                           std::vector<GeoPoint> polyline)
    : m_polyline(std::move(polyline)) {
    SetLinkValue(linkValue);
    SetLevel(level);
}

std::int32_t RouteElement::GetLinkValue() const {
    const auto magnitude = static_cast<std::int32_t>(m_word >> 5);
    return (m_word & 8u) != 0 ? -magnitude : magnitude;
}

void RouteElement::SetLinkValue(std::int32_t value) {
    const std::uint32_t kept = m_word & 0x17u;
    // The magnitude as unsigned arithmetic: |INT32_MIN| has no signed form.
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    m_word = kept | ((magnitude & kMagnitudeMask) << 5) | (value < 0 ? 8u : 0u);
}

bool RouteElement::IsSuccessorMarked(std::uint32_t slot) const {
    const std::uint32_t i = slot % 256u;
    return i < kMarkableSlots && ((m_marks >> i) & 1u) != 0;
}

float RouteElement::GetFirstExtra() const {
    return RouteTreeElement::kNoExtra;
}

float RouteElement::GetSecondExtra() const {
    return RouteTreeElement::kNoExtra;
}

bool RouteElement::MarkSuccessor(std::uint32_t slot) {
    if (slot >= kMarkableSlots) {
        OutputDebugStringW(u"RouteElement: successor slot beyond the 16 marks left unmarked");
        return false;
    }
    m_marks = static_cast<std::uint16_t>(m_marks | (1u << slot));
    return true;
}

bool RouteElementLess::operator()(const RouteElement* a, const RouteElement* b) const {
    const auto va = static_cast<std::uint32_t>(a->GetLinkValue());
    const auto vb = static_cast<std::uint32_t>(b->GetLinkValue());
    if (va != vb) {
        return va < vb;
    }
    const std::vector<GeoPoint>& pa = a->GetPolyline();
    const std::vector<GeoPoint>& pb = b->GetPolyline();
    if (pa.empty() || pb.empty()) {
        return pa.empty() && !pb.empty();
    }
    if (pa.back().x != pb.back().x) {
        return pa.back().x < pb.back().x;
    }
    return pa.back().y < pb.back().y;
}

void RouteTree::Extend(const GeoPoint& point) {
    m_minimum = {std::min(m_minimum.x, point.x), std::min(m_minimum.y, point.y)};
    m_maximum = {std::max(m_maximum.x, point.x), std::max(m_maximum.y, point.y)};
}

void RouteTree::MakeRoot(const std::vector<RouteRecord>& records, std::size_t first, float time,
                         float length) {
    const RouteRecord& record = records[first];
    const GeoPoint position{record.x, record.y};
    m_counter = 0;
    m_lastAppended = 0;
    m_root = std::make_unique<RouteTreeElement>(0, 0, std::vector<GeoPoint>{position});
    m_root->SetExtras(time, length);
    m_root->SetNumber(++m_counter);
    m_root->SetTime(static_cast<std::uint32_t>(record.time));
    m_numbered[m_root->GetNumber()] = m_root.get();
    m_recordCountPlus2 = static_cast<std::uint32_t>(records.size() + 2);
    m_minimum = position;
    m_maximum = position;
    m_encodedSize = kEmptyEncodedSize;
    AppendEncodedSize(m_root.get());
    m_level0Count = 1;
}

RouteTreeElement* RouteTree::BuildBranch(RouteElement* start,
                                         const std::vector<RouteRecord>& records, std::size_t first,
                                         std::uint32_t level, const MapDataLinkPtr& mapDataLink,
                                         float time, float length, const RouteOptions& options,
                                         const GeoPoint& destination) {
    const std::lock_guard lock(m_lock);
    if (mapDataLink != m_mapDataLink) {
        m_mapDataLink = mapDataLink;
    }
    if (first >= records.size()) {
        return nullptr;
    }
    if (start == nullptr) {
        if (!m_root) {
            MakeRoot(records, first, time, length);
        }
        start = m_root.get();
    }
    const bool hasMapData = m_mapDataLink && m_mapDataLink->HasMapData();
    RouteElement* previous = start;
    RouteTreeElement* firstNew = nullptr;
    float firstExtra = time;
    float secondExtra = length;
    float lastTime = 0.0f;
    float lastLength = 0.0f;
    for (std::size_t i = first; i < records.size(); ++i) {
        const RouteRecord& record = records[i];
        const bool isLast = i + 1 == records.size();
        std::vector<GeoPoint> polyline;
        if (hasMapData && m_mapDataLink->GetElementPolyline(
                              m_mapDataLink->ElementOfLink(record.linkId), polyline)) {
            if (isLast) {
                OrientPolyline(polyline, {record.x, record.y}, false);
            } else {
                OrientPolyline(polyline, {records[i + 1].x, records[i + 1].y}, true);
            }
            if (i == 0) {
                TrimPolylineStart({record.x, record.y}, polyline);
            }
            if (isLast && level == 0) {
                TrimPolylineEnd(destination, polyline);
            }
        }
        if (first != 0) {
            if (const auto* before = dynamic_cast<const RouteTreeElement*>(previous)) {
                firstExtra = before->FirstExtra() + lastTime;
                secondExtra = before->SecondExtra() + lastLength;
            }
        }
        const float speed = RecordSpeed(options, record.attributes);
        lastTime = speed > 0.0f ? static_cast<float>(record.length) / speed * 0.001f : 0.0f;
        lastLength = static_cast<float>(record.length);

        auto candidate = std::make_unique<RouteTreeElement>(
            static_cast<std::int32_t>(record.linkId), level, std::move(polyline));
        candidate->SetExtras(firstExtra, secondExtra);
        const auto found = m_elements.find(candidate.get());
        if (found != m_elements.end()) {
            // The branch runs into the tree: the slot that holds the element, or a new one.
            const std::vector<RouteElement*>& successors = previous->GetSuccessors();
            std::uint32_t slot = 0;
            while (slot < successors.size() &&
                   (successors[slot] != *found || previous->IsSuccessorMarked(slot))) {
                ++slot;
            }
            if (slot == successors.size()) {
                previous->AppendSuccessor(*found);
            }
            (void)previous->MarkSuccessor(slot);
            return firstNew;
        }
        RouteTreeElement* element = candidate.get();
        if (firstNew == nullptr) {
            firstNew = element;
            element->SetNumber(++m_counter);
            m_level0Count += level == 0 ? 1 : 0;
            m_numbered[element->GetNumber()] = element;
        }
        element->SetDirectionFlag(record.attributes.DirectionCode() != 2);
        element->SetTime(static_cast<std::uint32_t>(record.time));
        m_owned.push_back(std::move(candidate));
        m_elements.insert(element);
        previous->AppendSuccessor(element);
        const std::vector<GeoPoint>& points = element->GetPolyline();
        for (std::size_t p = 1; p < points.size(); ++p) {
            Extend(points[p]);
        }
        previous = element;
    }
    return firstNew;
}

std::uint32_t RouteTree::NumberElement(RouteElement* element) {
    const std::lock_guard lock(m_lock);
    if (element != nullptr) {
        element->SetNumber(++m_counter);
        m_level0Count += element->GetLevel() == 0 ? 1 : 0;
        m_numbered[element->GetNumber()] = element;
    }
    return m_counter;
}

void RouteTree::AppendEncodedSize(RouteElement* element) {
    const std::lock_guard lock(m_lock);
    if (element == nullptr) {
        m_encodedSize += 4;
        return;
    }
    const std::size_t steps = EncodePolylineDeltas(element->GetPolyline()).size();
    m_encodedSize += static_cast<std::uint32_t>((steps + 3) * 2);
    m_lastAppended = element->GetNumber();
}

std::uint32_t RouteTree::AppendStageElements(StageElementList& list, std::int32_t limit) {
    const std::lock_guard lock(m_lock);
    std::uint32_t marked = 0;
    while (!list.empty() && static_cast<std::int64_t>(list.front().second) + 2 < limit) {
        RouteElement* element = list.front().first;
        if (element == nullptr) {
            AppendEncodedSize(nullptr);
            list.pop_front();
            continue;
        }
        const std::vector<RouteElement*>& successors = element->GetSuccessors();
        std::uint32_t slot = 0;
        std::uint32_t count = 0;
        while (slot < successors.size() && successors[slot] != nullptr &&
               successors[slot]->GetNumber() != 0) {
            count += element->IsSuccessorMarked(slot) ? 1 : 0;
            ++slot;
        }
        if (slot < successors.size()) {
            break; // a successor not yet numbered: its turn comes later
        }
        marked += count;
        AppendEncodedSize(element);
        list.pop_front();
    }
    return marked;
}

void RouteTree::SetLevel0Count(std::uint32_t count) {
    const std::lock_guard lock(m_lock);
    m_level0Count = count;
}

void OrientPolyline(std::vector<GeoPoint>& polyline, const GeoPoint& p, bool toward) {
    if (polyline.size() < 2) {
        return;
    }
    const bool isFirstNearer =
        ManhattanDistance(polyline.front(), p) < ManhattanDistance(polyline.back(), p);
    if (toward == isFirstNearer) {
        std::reverse(polyline.begin(), polyline.end());
    }
}

void TrimPolylineStart(const GeoPoint& p, std::vector<GeoPoint>& polyline) {
    if (polyline.empty()) {
        return;
    }
    const std::size_t k = NearestPolylineIndex(p, polyline);
    polyline.erase(polyline.begin(), polyline.begin() + static_cast<std::ptrdiff_t>(k - 1));
    polyline.front() = p;
}

void TrimPolylineEnd(const GeoPoint& p, std::vector<GeoPoint>& polyline) {
    if (polyline.empty()) {
        return;
    }
    const std::size_t k = NearestPolylineIndex(p, polyline);
    polyline.resize(k + 1);
    polyline[k] = p;
}

std::vector<std::pair<std::int8_t, std::int8_t>>
EncodePolylineDeltas(const std::vector<GeoPoint>& polyline) {
    std::vector<std::pair<std::int8_t, std::int8_t>> pairs;
    const auto emit = [&](std::int64_t dx, std::int64_t dy) {
        pairs.emplace_back(static_cast<std::int8_t>(dx), static_cast<std::int8_t>(dy));
    };
    for (std::size_t i = 1; i < polyline.size(); ++i) {
        const GeoPoint& a = polyline[i - 1];
        const GeoPoint& b = polyline[i];
        const std::int64_t ax = EncodingUnits(a.x);
        const std::int64_t ay = EncodingUnits(a.y);
        const std::int64_t dx = EncodingUnits(b.x) - ax;
        const std::int64_t dy = EncodingUnits(b.y) - ay;
        if (dx >= -128 && dx <= 127 && dy >= -128 && dy <= 127) {
            emit(dx, dy);
            continue;
        }
        const std::int64_t m = std::max(std::abs(dx), std::abs(dy));
        const std::int64_t steps = m / 126;
        const double step = 126.0 / static_cast<double>(m);
        std::int64_t x = ax;
        std::int64_t y = ay;
        for (std::int64_t j = 1; j <= steps; ++j) {
            const auto share = static_cast<float>(static_cast<double>(j) * step);
            const std::int64_t nx = EncodingUnits(a.x + (b.x - a.x) * share);
            const std::int64_t ny = EncodingUnits(a.y + (b.y - a.y) * share);
            emit(nx - x, ny - y);
            x = nx;
            y = ny;
        }
        emit(ax + dx - x, ay + dy - y);
    }
    return pairs;
}
