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

namespace {

// The device rectangle the model is fitted into, and its scale in device units per degree.
struct Fit {
    std::int64_t l;
    std::int64_t t;
    std::int64_t r;
    std::int64_t b;
    float sx = 1.0f;
    float sy = 1.0f;
};

// A roundabout keeps its shape: the longer side of the rectangle is shortened.
void FitRoundabout(Fit& fit, const std::array<float, 4>& extent) {
    const double w = static_cast<double>(extent[2]) - extent[0];
    const double h = static_cast<double>(extent[3]) - extent[1];
    if (w != 0.0 && h != 0.0) {
        if (fit.b - fit.t < fit.r - fit.l) {
            fit.r = fit.l + ClampToInt(w / h * static_cast<double>(fit.b - fit.t));
        } else {
            fit.b = fit.t + ClampToInt(h / w * static_cast<double>(fit.r - fit.l));
        }
    }
    ComputeScaleFactors({Clamped(fit.l), Clamped(fit.t), Clamped(fit.r), Clamped(fit.b)}, extent[0],
                        extent[1], extent[2], extent[3], fit.sx, fit.sy, false);
}

// An ordinary junction in a box of its proportions, latitude-corrected; with a second junction
// it shows that junction's distance around the centre, with margins of radiusFactor / 2.
void FitOrdinary(Fit& fit, const std::array<float, 4>& extent, const GeoPoint& centre,
                 bool hasSecondJunction, std::int32_t distance, double radiusFactor) {
    GeoPoint p0{extent[0], extent[1]};
    GeoPoint p1{extent[2], extent[3]};
    if (hasSecondJunction) {
        const double d = distance / junctionview::kMetresPerDegree;
        p0 = {static_cast<float>(centre.x + d * std::cos(kPi)),
              static_cast<float>(centre.y + d * std::sin(3.0 * kPi / 2.0))};
        p1 = {static_cast<float>(centre.x + d * std::cos(0.0)),
              static_cast<float>(centre.y + d * std::sin(kPi / 2.0))};
        const double mx = static_cast<double>(fit.r - fit.l) * radiusFactor / 2.0;
        const double my = static_cast<double>(fit.b - fit.t) * radiusFactor / 2.0;
        const Fit shrunk{ClampToInt(static_cast<double>(fit.l) + mx),
                         ClampToInt(static_cast<double>(fit.t) + my),
                         ClampToInt(static_cast<double>(fit.r) - mx),
                         ClampToInt(static_cast<double>(fit.b) - my)};
        fit = shrunk;
    }
    double w = static_cast<double>(p1.x) - p0.x;
    double h = static_cast<double>(p1.y) - p0.y;
    w = w == 0.0 ? 1.0 : w;
    h = h == 0.0 ? 1.0 : h;
    // The model's proportions in a box 100 wide; a very flat model keeps a height of 1.
    const std::int64_t boxW = 100;
    const std::int64_t boxH = std::max<std::int64_t>(1, ClampToInt(h / w * 100.0));
    std::int64_t width = (fit.b - fit.t) * boxW / boxH;
    std::int64_t height = fit.b - fit.t;
    if (width > fit.r - fit.l) {
        width = fit.r - fit.l;
        height = width * boxH / boxW;
    }
    fit.r = fit.l + (width < 1 ? boxW : width);
    fit.b = fit.t + (height < 1 ? boxH : height);
    ComputeScaleFactors({Clamped(fit.l), Clamped(fit.t), Clamped(fit.r), Clamped(fit.b)}, p0.x,
                        p0.y, p1.x, p1.y, fit.sx, fit.sy, true);
}

} // namespace

void CrossingModel::MapModelToRect(JunctionRect rect) {
    m_screenRouteSegments.clear();
    m_screenSideSegments.clear();
    m_screenExtraSegments.clear();
    Fit fit{rect.left, rect.top, rect.right, rect.bottom};
    const std::int64_t cx = (fit.l + fit.r) / 2;
    const std::int64_t cy = (fit.t + fit.b) / 2;
    if (m_isRoundabout) {
        FitRoundabout(fit, m_modelExtent);
    } else {
        FitOrdinary(fit, m_modelExtent, m_junctionCentre, m_hasSecondJunction,
                    m_nextManoeuvreDistance, m_radiusFactor);
    }
    const float x0 = m_modelExtent[0];
    const float y0 = m_modelExtent[1];
    const auto h = static_cast<float>(fit.b - fit.t);
    const auto left = static_cast<float>(fit.l);
    const auto top = static_cast<float>(fit.t);
    const auto mapX = [&](float x) { return (x - x0) * fit.sx + left; };
    const auto mapY = [&](float y) { return (h - (y - y0) * fit.sy) + top; };
    // The junction at the centre of the rectangle passed in.
    const std::int32_t offX = ClampToInt(static_cast<double>(cx) - mapX(m_junctionCentre.x));
    const std::int32_t offY = ClampToInt(static_cast<double>(cy) - mapY(m_junctionCentre.y));
    m_targetRect = {Clamped(fit.l + offX), Clamped(fit.t + offY), Clamped(fit.r + offX),
                    Clamped(fit.b + offY)};
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
    if (!m_isRoundabout) {
        return;
    }
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
