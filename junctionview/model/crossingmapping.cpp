// Orientation of the computed model (the approach up) and its mapping into the device rectangle.
#include "junctionview/model/crossingmodel.h"

#include <algorithm>
#include <cmath>

using junctionview::ClampToInt;
using junctionview::kPi;

namespace {

// A sum or difference of device coordinates, clamped into int32.
std::int32_t Clamped(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

void CrossingModel::OrientModel() {
    if (!junctionview::IsSegmentSet(m_approachSegment)) {
        return; // no model
    }
    const GeoPoint a{m_approachSegment.x1, m_approachSegment.y1};
    const GeoPoint b{m_approachSegment.x2, m_approachSegment.y2};
    const double angle = LineSlopeAngle(a.x, a.y, b.x, b.y, true);
    double theta = 0.0;
    if (b.x == a.x) {
        theta = b.y < a.y ? kPi : 0.0;
    } else if (b.x > a.x) {
        theta = b.y > a.y ? kPi / 2.0 - angle : kPi / 2.0 + std::fabs(angle);
    } else {
        theta = b.y > a.y ? 3.0 * kPi / 2.0 + std::fabs(angle) : kPi - std::fabs(angle) + kPi / 2.0;
    }
    const GeoPoint c = m_junctionCentre;
    const bool corrected = !m_isRoundabout;
    const auto turn = [&](float& x, float& y, bool isCorrected) {
        const GeoPoint p = RotateAboutCentre(x, y, theta, c.x, c.y, isCorrected);
        x = p.x;
        y = p.y;
    };
    for (auto* list : {&m_routeSegments, &m_sideSegments, &m_extraSegments}) {
        for (JunctionSegment& s : *list) {
            turn(s.x1, s.y1, corrected);
            turn(s.x2, s.y2, corrected);
        }
    }
    // Each set point of the exit spoke: the stand-in exit has only its second one.
    if (m_isRoundabout) {
        if (junctionview::IsFirstPointSet(m_exitSpoke)) {
            turn(m_exitSpoke.x1, m_exitSpoke.y1, false);
        }
        if (junctionview::IsSecondPointSet(m_exitSpoke)) {
            turn(m_exitSpoke.x2, m_exitSpoke.y2, false);
        }
    }
    turn(m_approachSegment.x1, m_approachSegment.y1, false);
    turn(m_approachSegment.x2, m_approachSegment.y2, false);
}

void CrossingModel::MapModelToRect(JunctionRect rect) {
    m_screenRouteSegments.clear();
    m_screenSideSegments.clear();
    m_screenExtraSegments.clear();
    float sx = 1.0f;
    float sy = 1.0f;
    std::int64_t l = rect.left;
    std::int64_t t = rect.top;
    std::int64_t r = rect.right;
    std::int64_t b = rect.bottom;
    const std::int64_t cx = (l + r) / 2;
    const std::int64_t cy = (t + b) / 2;
    const float x0 = m_modelExtent[0];
    const float y0 = m_modelExtent[1];
    const float x1 = m_modelExtent[2];
    const float y1 = m_modelExtent[3];
    if (m_isRoundabout) {
        const double w = static_cast<double>(x1) - x0;
        const double h = static_cast<double>(y1) - y0;
        if (w != 0.0 && h != 0.0) {
            if (b - t < r - l) {
                r = l + ClampToInt(w / h * static_cast<double>(b - t));
            } else {
                b = t + ClampToInt(h / w * static_cast<double>(r - l));
            }
        }
        ComputeScaleFactors({Clamped(l), Clamped(t), Clamped(r), Clamped(b)}, x0, y0, x1, y1, sx,
                            sy, false);
    } else {
        GeoPoint p0{x0, y0};
        GeoPoint p1{x1, y1};
        if (m_hasSecondJunction) {
            const double d = m_nextManoeuvreDistance / junctionview::kMetresPerDegree;
            const GeoPoint c = m_junctionCentre;
            p0 = {static_cast<float>(c.x + d * std::cos(kPi)),
                  static_cast<float>(c.y + d * std::sin(3.0 * kPi / 2.0))};
            p1 = {static_cast<float>(c.x + d * std::cos(0.0)),
                  static_cast<float>(c.y + d * std::sin(kPi / 2.0))};
            const double mx = static_cast<double>(r - l) * m_radiusFactor / 2.0;
            const double my = static_cast<double>(b - t) * m_radiusFactor / 2.0;
            const auto ll = ClampToInt(static_cast<double>(l) + mx);
            const auto tt = ClampToInt(static_cast<double>(t) + my);
            const auto rr = ClampToInt(static_cast<double>(r) - mx);
            const auto bb = ClampToInt(static_cast<double>(b) - my);
            l = ll;
            t = tt;
            r = rr;
            b = bb;
        }
        double w = static_cast<double>(p1.x) - p0.x;
        double h = static_cast<double>(p1.y) - p0.y;
        if (w == 0.0) {
            w = 1.0;
        }
        if (h == 0.0) {
            h = 1.0;
        }
        // The model's proportions in a box 100 wide; a very flat model keeps a height of 1.
        const std::int64_t boxW = 100;
        const std::int64_t boxH = std::max<std::int64_t>(1, ClampToInt(h / w * 100.0));
        std::int64_t width = (b - t) * boxW / boxH;
        std::int64_t height = b - t;
        if (width > r - l) {
            width = r - l;
            height = width * boxH / boxW;
        }
        if (width < 1) {
            width = boxW;
        }
        if (height < 1) {
            height = boxH;
        }
        r = l + width;
        b = t + height;
        ComputeScaleFactors({Clamped(l), Clamped(t), Clamped(r), Clamped(b)}, p0.x, p0.y, p1.x,
                            p1.y, sx, sy, true);
    }
    const auto h = static_cast<float>(b - t);
    const auto left = static_cast<float>(l);
    const auto top = static_cast<float>(t);
    const auto mapX = [&](float x) { return (x - x0) * sx + left; };
    const auto mapY = [&](float y) { return (h - (y - y0) * sy) + top; };
    const float jx = mapX(m_junctionCentre.x);
    const float jy = mapY(m_junctionCentre.y);
    const std::int32_t offX = ClampToInt(static_cast<double>(cx) - jx);
    const std::int32_t offY = ClampToInt(static_cast<double>(cy) - jy);
    m_targetRect = {Clamped(l + offX), Clamped(t + offY), Clamped(r + offX), Clamped(b + offY)};
    const auto fx = static_cast<float>(offX);
    const auto fy = static_cast<float>(offY);
    const auto map = [&](float& x, float& y) {
        x = mapX(x) + fx;
        y = mapY(y) + fy;
    };
    for (std::size_t i = 0; i < m_routeSegments.size(); ++i) {
        JunctionSegment s = m_routeSegments[i];
        map(s.x2, s.y2);
        if (i == 0 || m_isRoundabout) {
            map(s.x1, s.y1);
        } else {
            // One unbroken line: each piece starts where the one before ends.
            s.x1 = m_screenRouteSegments.back().x2;
            s.y1 = m_screenRouteSegments.back().y2;
        }
        m_screenRouteSegments.push_back(s);
    }
    for (const auto& [from, into] : {std::pair{&m_sideSegments, &m_screenSideSegments},
                                     std::pair{&m_extraSegments, &m_screenExtraSegments}}) {
        for (JunctionSegment s : *from) {
            map(s.x1, s.y1);
            map(s.x2, s.y2);
            into->push_back(s);
        }
    }
    if (junctionview::IsSegmentSet(m_approachSegment)) {
        map(m_approachSegment.x1, m_approachSegment.y1);
        map(m_approachSegment.x2, m_approachSegment.y2);
    }
    if (m_isRoundabout) {
        if (junctionview::IsFirstPointSet(m_exitSpoke)) {
            m_arrowSegment.x1 = m_exitSpoke.x1;
            m_arrowSegment.y1 = m_exitSpoke.y1;
            map(m_arrowSegment.x1, m_arrowSegment.y1);
        }
        if (junctionview::IsSecondPointSet(m_exitSpoke)) {
            m_arrowSegment.x2 = m_exitSpoke.x2;
            m_arrowSegment.y2 = m_exitSpoke.y2;
            map(m_arrowSegment.x2, m_arrowSegment.y2);
        }
    }
}
