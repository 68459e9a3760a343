#include "advisor/advisorkeywords.h"
#include "advisor/junctionrules.h"
#include "positioning/geodistance.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

namespace K = AdvisorKeywords;

// The map data's angles were tuned with pi taken as 3.142857; keep its rounding.
constexpr double kDegreesToRadians = 0.017460316666666666;
constexpr double kRadiansToDegrees = 57.27272987603318;

constexpr std::u16string_view kSectorKeys[16] = {
    u"minAngleStraightAhead", u"maxAngleStraightAhead", u"minAngleSlightRight",
    u"maxAngleSlightRight",   u"minAngleToTheRight",    u"maxAngleToTheRight",
    u"minAngleHardRight",     u"maxAngleHardRight",     u"minAngleReturn",
    u"maxAngleReturn",        u"minAngleHardLeft",      u"maxAngleHardLeft",
    u"minAngleToTheLeft",     u"maxAngleToTheLeft",     u"minAngleSlightLeft",
    u"maxAngleSlightLeft"};
// Index of each sector's min in the table above.
constexpr std::size_t kStraight = 0;
constexpr std::size_t kSlightRight = 2;
constexpr std::size_t kToTheRight = 4;
constexpr std::size_t kHardRight = 6;
constexpr std::size_t kReturn = 8;
constexpr std::size_t kHardLeft = 10;
constexpr std::size_t kToTheLeft = 12;
constexpr std::size_t kSlightLeft = 14;

struct CountryRow {
    std::int32_t code;
    std::u16string_view name;
};
constexpr CountryRow kCountries[] = {
    {4, u"Austria"},        {6, u"Belgium"},      {12, u"Denmark"},   {15, u"Finland"},
    {16, u"France"},        {20, u"Vatican"},     {23, u"Ireland"},   {24, u"Italy"},
    {26, u"Liechtenstein"}, {28, u"Luxembourg"},  {32, u"Monaco"},    {33, u"Netherlands"},
    {34, u"Norway"},        {36, u"Portugal"},    {39, u"SanMarino"}, {43, u"Spain"},
    {44, u"Sweden"},        {45, u"Switzerland"}, {48, u"England"}};

// A whole number as the settings hold it: optional sign and leading digits, the rest ignored.
std::int32_t LeadingInteger(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool isNegative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        isNegative = text[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'), 1LL << 32);
    }
    value = isNegative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// asin and acos of a quotient that rounding may push past 1.
double ClampedUnit(double value) {
    return std::clamp(value, -1.0, 1.0);
}

// Direction of a segment in whole degrees counter-clockwise from east, 1..360, from its sine and
// cosine truncated separately (the two agree within 4 degrees unless the segment points west of
// north or south).
template <class Real> int SegmentDirection(Real dx, Real dy) {
    const Real r = Real(1) / static_cast<Real>(std::sqrt(dx * dx + dy * dy));
    const int s = static_cast<int>(std::asin(ClampedUnit(r * dy)) * kRadiansToDegrees);
    const int c = static_cast<int>(std::acos(ClampedUnit(r * dx)) * kRadiansToDegrees);
    const int a = s < 1 ? s + 360 : s;
    const auto near = [](int difference) {
        return std::abs(difference) < 4 || std::abs(difference) >= 357;
    };
    return near(a - c) || near(a - (360 - c)) ? a : 180 - s;
}

bool SamePoint(const GeoPoint& a, const GeoPoint& b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

namespace junctionflags {

namespace {
bool InLowList(std::uint32_t value, std::uint32_t bit) {
    return value < 16 && (value & bit) != 0;
}
} // namespace

// Kind test 2 holds for values with bit 1 (of the low or the high nibble), kind test 4 for bit 2.
bool KindTest2OnByte(std::uint32_t flags) {
    const std::uint32_t k = (flags >> 12) & 0xFFu;
    return InLowList(k, 2) || (k >= 0x20 && (k & 0x0F) == 0 && (k & 0x20) != 0);
}
bool KindTest4OnByte(std::uint32_t flags) {
    const std::uint32_t k = (flags >> 12) & 0xFFu;
    return InLowList(k, 4) || (k >= 0x40 && (k & 0x0F) == 0 && (k & 0x40) != 0);
}
bool KindTest2OnNibble(std::uint32_t flags) {
    return (((flags >> 20) & 0xFu) & 2u) != 0;
}
bool KindTest4OnNibble(std::uint32_t flags) {
    return (((flags >> 20) & 0xFu) & 4u) != 0;
}

} // namespace junctionflags

RouteItem RouteItem::Of(const RouteRecord& record) {
    return {
        {record.x, record.y}, record.linkId, record.length, record.time, record.elementAttributes};
}

RouteItem RouteItem::Of(const NeighbourLink& link) {
    return {link.position, link.elementId, static_cast<std::int32_t>(link.zero[0]),
            static_cast<std::int32_t>(link.zero[1]), link.classWord};
}

JunctionRules::JunctionRules() = default;

const std::u16string* JunctionRules::FindSetting(const std::u16string& key) const {
    const auto found = m_settings.find(key);
    return found == m_settings.end() ? nullptr : &found->second;
}

std::int32_t JunctionRules::IntegerSetting(std::u16string_view key, std::int32_t fallback) const {
    const std::u16string* value = FindSetting(std::u16string(key));
    return value ? LeadingInteger(*value) : fallback;
}

double JunctionRules::FloatSetting(std::u16string_view key, double fallback) const {
    const std::u16string* value = FindSetting(std::u16string(key));
    if (!value) {
        return fallback;
    }
    std::string narrow;
    for (const char16_t c : *value) {
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return std::strtod(narrow.c_str(), nullptr);
}

void JunctionRules::LoadSectorSettings(const Settings& settings) {
    m_settings = settings;
    for (std::size_t i = 0; i < m_sectors.size(); ++i) {
        m_sectors[i] = static_cast<float>(IntegerSetting(kSectorKeys[i], 0));
    }
    m_gs1Min = static_cast<float>(IntegerSetting(u"minAngleGS1", 0));
    m_gs1Max = static_cast<float>(IntegerSetting(u"maxAngleGS1", 0));
    m_gs2Min = static_cast<float>(IntegerSetting(u"minAngleGS2", 0));
    m_gs2Max = static_cast<float>(IntegerSetting(u"maxAngleGS2", 0));
    m_angleThresholdLength = IntegerSetting(u"ThresholdLenghtForAngleCalculation", 0);
    const std::u16string* signposts = FindSetting(u"SignPostInfo");
    m_isSignpostInfoWanted = signposts && *signposts == u"yes";
    m_rectangles.clear();
    for (int n = 0;; ++n) {
        for (int i = 1; i <= 4; ++i) {
            const std::string key =
                "Rectangle" + std::to_string(n) + ".Coordinates." + std::to_string(i);
            const std::u16string* value = FindSetting(std::u16string(key.begin(), key.end()));
            if (!value) {
                return;
            }
            std::string narrow(value->begin(), value->end());
            m_rectangles.push_back(static_cast<float>(std::strtod(narrow.c_str(), nullptr)));
        }
    }
}

bool JunctionRules::TurnAngle(const GeoPoint& p1, const GeoPoint& p2, const GeoPoint& q1,
                              const GeoPoint& q2, float& angle, std::u16string& side) const {
    const double dy1 = static_cast<double>(p2.y) - p1.y;
    const double dx1 = (static_cast<double>(p2.x) - p1.x) * std::cos(p2.y * kDegreesToRadians);
    const float dy2 = q2.y - q1.y;
    const float dx2 = (q2.x - q1.x) * static_cast<float>(std::cos(q2.y * kDegreesToRadians));
    // A segment without length has no direction (the quotient would be 1/0).
    if ((dx1 == 0.0 && dy1 == 0.0) || (dx2 == 0.0f && dy2 == 0.0f)) {
        return false;
    }
    float result = static_cast<float>(SegmentDirection(dx1, dy1) - SegmentDirection(dx2, dy2));
    if (result > 180.0f) {
        result -= 360.0f;
    } else if (result < -180.0f) {
        result += 360.0f;
    }
    angle = result;
    if (result > 0.0f) {
        side = K::kRight;
    } else if (result < 0.0f) {
        side = K::kLeft;
    }
    return true;
}

bool JunctionRules::InSector(int sector, float angle) const {
    const auto rightHand = [&](std::size_t i) {
        return m_sectors[i] <= angle && angle <= m_sectors[i + 1];
    };
    const auto leftHand = [&](std::size_t i) {
        return m_sectors[i + 1] <= angle && angle <= m_sectors[i];
    };
    switch (sector) {
    case turnsector::kStraightAhead:
        return rightHand(kStraight);
    case turnsector::kSlightRight:
        return rightHand(kSlightRight);
    case turnsector::kRight:
        return rightHand(kToTheRight);
    case turnsector::kHardRight:
        return rightHand(kHardRight);
    case turnsector::kHardLeft:
        return leftHand(kHardLeft);
    case turnsector::kLeft:
        return leftHand(kToTheLeft);
    case turnsector::kSlightLeft:
        return leftHand(kSlightLeft);
    default:
        return (-180.0f <= angle && angle <= m_sectors[kReturn]) ||
               (m_sectors[kReturn + 1] <= angle && angle <= 180.0f);
    }
}

int JunctionRules::ClassifyTurn(const RouteItem& arriving, const RouteItem& leaving,
                                RouteIterator* iterator, float& angle, std::u16string& word,
                                bool leavingFromPassed) {
    if (!iterator || !iterator->IsValid()) {
        return 0;
    }
    if (!m_iterator) {
        return turnsector::kUnmeasurable;
    }
    std::vector<GeoPoint> in;
    std::vector<GeoPoint> out;
    const auto refOf = [](const RouteItem& item) {
        NeighbourLink link;
        link.position = item.point;
        link.elementId = item.linkId;
        return RouteItemRef(link);
    };
    RouteIterator& leavingSource = leavingFromPassed ? *iterator : *m_iterator;
    if (!m_iterator->GetItemPolyline(refOf(arriving), in) ||
        !leavingSource.GetItemPolyline(refOf(leaving), out)) {
        return turnsector::kUnmeasurable;
    }
    // Both sides need a segment with length: one point, or equal end points, cannot be measured.
    if (in.size() < 2 || out.size() < 2 || SamePoint(in[0], in[1])) {
        return turnsector::kUnmeasurable;
    }
    bool arrivesAtEnd = true;
    bool leavesFromStart = true;
    if (!leavingFromPassed) {
        if (SamePoint(in.back(), out.front())) {
        } else if (SamePoint(in.front(), out.back())) {
            arrivesAtEnd = false;
            leavesFromStart = false;
        } else if (SamePoint(in.front(), out.front())) {
            arrivesAtEnd = false;
        } else if (SamePoint(in.back(), out.back())) {
            leavesFromStart = false;
        }
    }
    const std::size_t n = in.size();
    const std::size_t m = out.size();
    const GeoPoint p1 = arrivesAtEnd ? in[n - 2] : in[1];
    const GeoPoint p2 = arrivesAtEnd ? in[n - 1] : in[0];
    const GeoPoint junction = leavesFromStart ? out[0] : out[m - 1];
    const GeoPoint second = leavesFromStart ? out[1] : out[m - 2];
    const GeoPoint q2{p2.x + (second.x - junction.x), p2.y + (second.y - junction.y)};
    float measured = 0.0f;
    std::u16string side;
    if (SamePoint(p1, p2) || SamePoint(junction, second) ||
        !TurnAngle(p1, p2, p2, q2, measured, side)) {
        return turnsector::kUnmeasurable;
    }
    angle = measured;
    bool isOpposite = false;
    if (leavingFromPassed) {
        const int b1 = static_cast<int>(GeoBearing(in[0], in[1]));
        const int b2 = static_cast<int>(GeoBearing(out[0], out[1]));
        const int difference = std::abs(b1 - b2);
        isOpposite = difference >= 160 && difference <= 200;
    }
    return SectorOf(measured, isOpposite, side, word);
}

int JunctionRules::SectorOf(float angle, bool isOpposite, const std::u16string& side,
                            std::u16string& word) const {
    constexpr int kOrder[] = {turnsector::kStraightAhead, turnsector::kSlightRight,
                              turnsector::kRight,         turnsector::kHardRight,
                              turnsector::kHardLeft,      turnsector::kLeft,
                              turnsector::kSlightLeft,    turnsector::kReturn};
    for (const int sector : kOrder) {
        if (!InSector(sector, angle)) {
            continue;
        }
        switch (sector) {
        case turnsector::kStraightAhead:
            word = K::kStraightAhead;
            return sector;
        case turnsector::kSlightRight:
        case turnsector::kSlightLeft:
            word = std::u16string(K::kSlight) + side;
            return sector;
        case turnsector::kHardRight:
        case turnsector::kHardLeft:
            if (isOpposite) {
                word = K::kUTurn;
                return turnsector::kReturn;
            }
            word = std::u16string(K::kHard) + side;
            return sector;
        case turnsector::kReturn:
            word = K::kUTurn;
            return sector;
        default:
            word = side;
            return sector;
        }
    }
    return turnsector::kUnmeasurable;
}

bool JunctionRules::IsWithinGS1Range() const {
    return m_hasNextItem && m_gs1Min < m_turnAngle && m_turnAngle < m_gs1Max;
}

bool JunctionRules::IsWithinGS2Range() const {
    return m_hasNextItem && m_gs2Min < m_turnAngle && m_turnAngle < m_gs2Max;
}

bool JunctionRules::IsTStreet(const RouteItem& current) {
    const std::int32_t h = IntegerSetting(u"T-Street_Angle", 30) / 2;
    if (!m_hasNextItem || m_otherStreets.size() != 1) {
        return false;
    }
    const float right0 = static_cast<float>(90 - h);
    const float right1 = static_cast<float>(90 + h);
    const float left0 = static_cast<float>(-90 - h);
    const float left1 = static_cast<float>(h - 90);
    const auto isRight = [&](float a) { return right0 < a && a < right1; };
    const auto isLeft = [&](float a) { return left0 < a && a < left1; };
    const float x = m_turnAngle;
    if (!isRight(x) && !isLeft(x)) {
        return false;
    }
    float y = 0.0f;
    std::u16string word;
    if (ClassifyTurn(current, m_otherStreets.front(), m_iterator.get(), y, word, false) ==
        turnsector::kUnmeasurable) {
        return false;
    }
    return (isRight(x) && isLeft(y)) || (isLeft(x) && isRight(y));
}

std::u16string_view JunctionRules::GetForkType(const RouteItem& item) {
    return (item.flags & 0xFF000u) == 0x20000u ? std::u16string_view(u"Multiple_Fork")
                                               : std::u16string_view(u"Simple_Fork");
}

bool JunctionRules::CanIgnoreJunction() const {
    using namespace junctionflags;
    return (m_nextItem.flags & kLookedPast) != 0 || (m_currentItem.flags & kLookedPast) != 0 ||
           (m_nextItem.flags & kRoundabout) != 0 || m_secondJunctionList.empty() ||
           (-75.0f <= m_turnAngle && m_turnAngle <= 75.0f);
}

std::u16string_view JunctionRules::CountryName(std::int32_t code) {
    for (const CountryRow& row : kCountries) {
        if (row.code == code) {
            return row.name;
        }
    }
    return u"Germany";
}

namespace {

// Calls visit(country, value) for each country's ".Drivingside" setting that is there, in the
// order of the country table, the country of every code outside it last.
template <typename Visit>
void VisitDrivingSideSettings(const JunctionRules::Settings& settings, Visit visit) {
    const auto note = [&](std::u16string_view country) {
        const auto found = settings.find(std::u16string(country) + u".Drivingside");
        if (found != settings.end()) {
            visit(country, found->second);
        }
    };
    for (const CountryRow& row : kCountries) {
        note(row.name);
    }
    note(JunctionRules::CountryName(-1));
}

} // namespace

std::vector<std::u16string> JunctionRules::DrivingSides(const Settings& settings) {
    std::vector<std::u16string> sides{std::u16string(K::kRight)};
    VisitDrivingSideSettings(settings, [&sides](std::u16string_view, const std::u16string& side) {
        if (std::find(sides.begin(), sides.end(), side) == sides.end()) {
            sides.push_back(side);
        }
    });
    return sides;
}

bool JunctionRules::IsDrivingSideWord(std::u16string_view value) {
    return value == K::kLeft || value == K::kRight;
}

std::vector<std::pair<std::u16string, std::u16string>>
JunctionRules::UnusableDrivingSides(const Settings& settings) {
    std::vector<std::pair<std::u16string, std::u16string>> unusable;
    VisitDrivingSideSettings(settings,
                             [&unusable](std::u16string_view country, const std::u16string& side) {
                                 if (!IsDrivingSideWord(side)) {
                                     unusable.emplace_back(country, side);
                                 }
                             });
    return unusable;
}

bool JunctionRules::IsDrivingSideUnusable(const RouteItem& item) const {
    std::u16string country;
    if (!GetCountryName(item, country)) {
        return false;
    }
    const std::u16string* value = FindSetting(country + u".Drivingside");
    return value != nullptr && !IsDrivingSideWord(*value);
}

bool JunctionRules::HoldsAngleSettings(const Settings& settings) {
    const auto isWholeNumber = [&settings](std::u16string_view key) {
        const auto found = settings.find(std::u16string(key));
        if (found == settings.end()) {
            return false;
        }
        const std::u16string_view text = found->second;
        std::size_t i = text.find_first_not_of(u" \t");
        if (i != std::u16string_view::npos && (text[i] == u'-' || text[i] == u'+')) {
            ++i;
        }
        return i < text.size() && text[i] >= u'0' && text[i] <= u'9';
    };
    constexpr std::u16string_view kRangeKeys[] = {u"minAngleGS1", u"maxAngleGS1", u"minAngleGS2",
                                                  u"maxAngleGS2"};
    return std::all_of(std::begin(kSectorKeys), std::end(kSectorKeys), isWholeNumber) &&
           std::all_of(std::begin(kRangeKeys), std::end(kRangeKeys), isWholeNumber);
}

six::IntfPtr<MapElement> JunctionRules::ElementOf(std::uint32_t elementId) const {
    if (!m_source) {
        return {};
    }
    return m_source->GetMappedElement(elementId);
}

bool JunctionRules::GetCountryName(const RouteItem& item, std::u16string& name) const {
    const six::IntfPtr<MapElement> element = ElementOf(item.linkId);
    if (!element) {
        return false;
    }
    name = CountryName(element->GetCountry());
    return true;
}

void JunctionRules::GetDrivingSide(const RouteItem& item, std::u16string& side) const {
    std::u16string country;
    if (!GetCountryName(item, country)) {
        return;
    }
    const std::u16string* value = FindSetting(country + u".Drivingside");
    side = value ? *value : std::u16string(K::kRight);
}

bool JunctionRules::RoadClassMatches(std::u16string_view country, std::u16string_view letter,
                                     const std::vector<std::u16string>& routeNumbers) const {
    const std::u16string* value =
        FindSetting(std::u16string(country) + u".Road" + std::u16string(letter));
    if (!value) {
        return false;
    }
    return std::any_of(routeNumbers.begin(), routeNumbers.end(), [&](const std::u16string& n) {
        return n.find(*value) != std::u16string::npos;
    });
}

bool JunctionRules::GetRoadClass(const RouteItem& item, std::u16string& roadClass) const {
    const six::IntfPtr<MapElement> element = ElementOf(item.linkId);
    if (element && element->GetTypeCode() == maprecord::kMotorwayType) {
        roadClass = u"A";
        return true;
    }
    std::u16string country;
    if (!GetCountryName(item, country)) {
        return false;
    }
    std::vector<std::u16string> names;
    std::vector<std::u16string> numbers;
    (void)element->GetPrimaryNames(names);
    (void)element->GetAlternativeNames(numbers);
    if (RoadClassMatches(country, u"A", numbers)) {
        roadClass = u"A";
    } else if (RoadClassMatches(country, u"B", numbers)) {
        roadClass = u"B";
    } else {
        roadClass = u"S";
    }
    if (names.empty() || names.front().empty()) {
        roadClass = u"S";
    }
    return true;
}
