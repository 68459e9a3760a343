// The description texts, country text, affected road elements and route impact of a message.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "traffic/tmcmessage.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <utility>

namespace {

// Blocking event codes as inclusive ranges, ascending.
constexpr std::pair<std::uint16_t, std::uint16_t> kBlocking[] = {
    {16, 16},     {24, 28},     {101, 106},   {129, 129},   {133, 133},   {138, 140},
    {215, 220},   {240, 240},   {250, 255},   {278, 283},   {303, 303},   {313, 313},
    {323, 323},   {348, 348},   {352, 352},   {356, 356},   {360, 360},   {369, 369},
    {379, 379},   {401, 402},   {405, 408},   {410, 415},   {438, 443},   {469, 478},
    {485, 485},   {492, 492},   {495, 495},   {498, 498},   {521, 526},   {546, 546},
    {556, 556},   {566, 566},   {576, 581},   {604, 604},   {614, 614},   {638, 638},
    {643, 643},   {651, 651},   {654, 654},   {710, 715},   {735, 735},   {750, 755},
    {783, 783},   {799, 799},   {812, 812},   {818, 818},   {825, 825},   {925, 926},
    {928, 928},   {938, 938},   {943, 943},   {945, 945},   {947, 947},   {949, 949},
    {956, 957},   {961, 961},   {965, 965},   {969, 969},   {980, 980},   {982, 982},
    {987, 987},   {993, 993},   {995, 995},   {1020, 1020}, {1035, 1036}, {1338, 1338},
    {1485, 1485}, {1517, 1517}, {1527, 1527}, {1531, 1531}, {1541, 1541}, {1545, 1545},
    {1555, 1555}, {1559, 1559}, {1563, 1563}, {1567, 1567}, {1571, 1571}, {1580, 1580},
    {1701, 1701}, {1807, 1807}, {1820, 1820}, {2000, 2000}};

struct CountryRow {
    std::uint8_t countryCode;
    std::uint8_t table; // 0: any
    std::uint16_t engineCountry;
    const char16_t* name;
};

constexpr CountryRow kCountries[] = {
    {1, 0, 17, u"Deutschland"},     {4, 0, 45, u"Schweiz"},      {5, 0, 24, u"Italien"},
    {6, 0, 6, u"Belgien"},          {8, 0, 33, u"Niederlande"},  {9, 0, 12, u"D\u00E4nemark"},
    {10, 0, 4, u"\u00D6sterreich"}, {12, 0, 48, u"England"},     {14, 17, 43, u"Spanien"},
    {14, 33, 44, u"Sweden"},        {15, 32, 16, u"Frankreich"}, {15, 49, 34, u"Norwegen"}};

// Element kinds of the nearby search, [from, to).
constexpr std::uint32_t kNearbyKindFrom = 1030;
constexpr std::uint32_t kNearbyKindTo = 1071;
constexpr std::uint32_t kNearbyAttributeBit = 0x4000000;

// Names of a location the database may not know: missing rows read as empty.
TmcLocation At(const TmcDatabase& database, std::uint32_t code) {
    return TmcLocation(database, code);
}

// A line followed by its line references; ends at a line without one or one seen before.
std::vector<std::uint32_t> LineHierarchy(const TmcDatabase& database, std::uint32_t line) {
    std::vector<std::uint32_t> lines;
    std::set<std::uint32_t> seen;
    while (line != 0 && seen.insert(line).second) {
        lines.push_back(line);
        line = At(database, line).GetLineCode();
    }
    return lines;
}

} // namespace

bool IsBlockingTmcEvent(std::uint16_t code) {
    const auto* range = std::lower_bound(std::begin(kBlocking), std::end(kBlocking), code,
                                         [](const std::pair<std::uint16_t, std::uint16_t>& r,
                                            std::uint16_t c) { return r.second < c; });
    return range != std::end(kBlocking) && range->first <= code;
}

void TmcMessage::BuildText() {
    if (m_isBuilt) {
        return;
    }
    m_isBidirectional = std::none_of(m_events.begin(), m_events.end(), [](const TmcEventPtr& e) {
        return e->GetDirectionality() == 1;
    });
    if (ChangesDirectionality()) {
        m_isBidirectional = !m_isBidirectional;
    }
    m_hasNoLocation = GetLocation() == 65534 || GetLocation() == 65533;
    if (!m_hasNoLocation) {
        if (const TmcLocationPtr location = m_database->FindLocation(GetLocationCode())) {
            (void)location->GetElementIds(GetDirection(), GetExtent(), m_elementIds, false,
                                          m_isBidirectional);
            BuildLocationText(*location);
        }
    }
    BuildCountryText();
    m_narrowText += ": ";
    bool isBlocking = false;
    std::vector<std::string> signNames;
    for (const TmcEventPtr& event : m_events) {
        if (IsBlockingTmcEvent(event->GetCode())) {
            (void)m_routeImpact.SetBlocking();
            isBlocking = true;
        }
        signNames.push_back(event->GetSignName());
        m_narrowText += " " + event->GetText() + ";";
    }
    if (isBlocking) {
        if (const TmcBlockagePtr blockage = m_routeImpact.GetBlockage()) {
            blockage->signNames.insert(signNames.begin(), signNames.end());
        }
    }
    m_narrowText.pop_back();
    m_wideText = platform::AnsiToWide(m_narrowText);
    if (m_updateClasses.contains(7) || m_updateClasses.contains(8)) {
        m_elementIds.clear();
        CollectNearbyElements();
    }
    m_isBuilt = true;
}

void TmcMessage::BuildLocationText(const TmcLocation& location) {
    std::uint8_t typeClass = 0;
    if (!location.GetTypeClass(typeClass)) {
        return;
    }
    switch (typeClass) {
    case 0:
        BuildPointText(location);
        break;
    case 1:
        BuildSegmentText(location);
        break;
    case 2:
        BuildAreaText(location);
        break;
    default:
        break;
    }
}

void TmcMessage::BuildPointText(const TmcLocation& location) {
    std::uint32_t line = location.GetLineCode();
    std::string farName;
    if (GetExtent() > 0) {
        std::vector<std::uint32_t> chain;
        if (!location.GetChain(GetDirection(), GetExtent(), chain)) {
            return;
        }
        const TmcLocation far = At(*m_database, chain.back());
        const std::uint32_t farLine = far.GetLineCode();
        if (line != 0 && farLine != line && farLine != 0) {
            const std::vector<std::uint32_t> own = LineHierarchy(*m_database, line);
            for (const std::uint32_t candidate : LineHierarchy(*m_database, farLine)) {
                if (std::find(own.begin(), own.end(), candidate) != own.end()) {
                    line = candidate;
                    break;
                }
            }
        }
        farName = far.GetFirstName();
    }
    const TmcLocation road = At(*m_database, line);
    std::string first = road.GetFirstName();
    std::string second = road.GetSecondName();
    if (!GetDirection()) {
        std::swap(first, second);
    }
    m_narrowText += road.GetRoadNumber() + ", ";
    if (const std::string roadName = location.GetRoadName(); !roadName.empty()) {
        m_narrowText += roadName + ", ";
    }
    m_narrowText += first + Connector() + second + ", ";
    if (!farName.empty()) {
        m_narrowText += farName + Connector();
    }
    m_narrowText += location.GetFirstName();
}

void TmcMessage::BuildSegmentText(const TmcLocation& location) {
    m_narrowText += location.GetRoadNumber() + ", ";
    if (const std::string roadName = location.GetRoadName(); !roadName.empty()) {
        m_narrowText += roadName + ", ";
    }
    std::string a = location.GetFirstName();
    std::string b;
    if (GetExtent() == 0) {
        b = location.GetSecondName();
    } else {
        std::vector<std::uint32_t> chain;
        if (!location.GetChain(GetDirection(), GetExtent(), chain)) {
            return;
        }
        b = At(*m_database, chain.back()).GetSecondName();
    }
    if (!GetDirection()) {
        std::swap(a, b);
    }
    m_narrowText += a + Connector() + b;
}

void TmcMessage::BuildAreaText(const TmcLocation& location) {
    m_narrowText += location.GetFirstName();
    std::set<std::uint32_t> seen = {location.GetCode()};
    std::uint32_t area = location.GetAreaCode();
    while (area != 0 && seen.insert(area).second) {
        const TmcLocation enclosing = At(*m_database, area);
        const std::uint32_t next = enclosing.GetAreaCode();
        if (next == 0) {
            break; // the outermost area is left out
        }
        m_narrowText += ", " + enclosing.GetFirstName();
        area = next;
    }
}

void TmcMessage::BuildCountryText() {
    const TmcCountryName name = TmcCountryNameOf(GetCountryCode(), GetTableNumber());
    m_countryText = name.fixedName;
    if (m_engine && name.engineCountry) {
        if (const CountryPtr country =
                m_engine->GetCountry(*name.engineCountry, static_cast<std::uint16_t>(m_language))) {
            m_countryText = country->GetName();
        }
    }
}

TmcCountryName TmcCountryNameOf(std::uint8_t countryCode, std::uint8_t table) {
    if (countryCode == 0 || countryCode == 13) {
        countryCode = 1;
    }
    if (countryCode == 2 || countryCode == 3 || countryCode == 7 || countryCode == 11) {
        return {std::nullopt, u"Europa"};
    }
    const auto* row = std::find_if(std::begin(kCountries), std::end(kCountries),
                                   [&](const CountryRow& candidate) {
                                       return candidate.countryCode == countryCode &&
                                              (candidate.table == 0 || candidate.table == table);
                                   });
    if (row == std::end(kCountries)) {
        return {};
    }
    return {row->engineCountry, row->name};
}

void TmcMessage::CollectNearbyElements() {
    const TmcLocationPtr location = m_database->FindLocation(GetLocationCode());
    if (!location) {
        return;
    }
    std::vector<std::uint32_t> a;
    std::vector<std::uint32_t> b;
    if (m_updateClasses.contains(7)) {
        (void)location->GetElementIds(GetDirection(), 0, a, false, m_isBidirectional);
        (void)location->GetElementIds(GetDirection(), 1, b, false, m_isBidirectional);
        GeoPoint point;
        if (m_engine && FindCommonPoint(a, b, point)) {
            SearchNearby(point);
        }
    }
    if (m_updateClasses.contains(8)) {
        std::vector<std::uint32_t> chain;
        if (!location->GetChain(!GetDirection(), 1, chain)) {
            return;
        }
        a.clear();
        b.clear();
        const TmcLocation far = At(*m_database, chain.back());
        (void)far.GetElementIds(GetDirection(), 1, b, false, m_isBidirectional);
        (void)location->GetElementIds(GetDirection(), 0, a, false, m_isBidirectional);
        std::erase_if(b, [&a](std::uint32_t id) {
            return std::any_of(a.begin(), a.end(), [id](std::uint32_t other) {
                return ((id ^ other) & 0x0FFFFFFFU) == 0;
            });
        });
        GeoPoint point;
        if (m_engine && FindCommonPoint(b, a, point)) {
            SearchNearby(point);
        }
    }
}

bool TmcMessage::FindCommonPoint(const std::vector<std::uint32_t>& a,
                                 const std::vector<std::uint32_t>& b, GeoPoint& point) {
    const auto pointsOf = [this](const std::vector<std::uint32_t>& ids) {
        std::vector<GeoPoint> points;
        for (const std::uint32_t id : ids) {
            const six::IntfPtr<MapElement> element = m_engine->GetMappedElement(id & 0x0FFFFFFFU);
            if (!element) {
                continue;
            }
            for (std::uint32_t i = 0; i < element->GetPointCount(); ++i) {
                GeoPoint p;
                element->GetPoint(p, i);
                points.push_back(p);
            }
        }
        return points;
    };
    const std::vector<GeoPoint> first = pointsOf(a);
    const std::vector<GeoPoint> second = pointsOf(b);
    for (const GeoPoint& p : first) {
        if (std::find(second.begin(), second.end(), p) != second.end()) {
            point = p;
            return true;
        }
    }
    return false;
}

void TmcMessage::SearchNearby(const GeoPoint& point) {
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(m_engine.Get());
    if (query == nullptr) {
        return;
    }
    // Margins in whole steps of 0.0001 degrees up to 0.01, so that rounding adds no step.
    for (int step = 1; step <= 100; ++step) {
        const double margin = 0.0001 * step;
        GeoRect rect(point.x, point.y, point.x, point.y);
        rect.Inflate(static_cast<float>(margin), static_cast<float>(margin));
        bool isFound = false;
        for (ElementCursorPtr cursor = query->QueryArea(rect, kNearbyKindFrom, kNearbyKindTo);
             cursor && cursor->IsValid(); cursor->Next()) {
            ElementAttributes attributes;
            cursor->GetAttributes(attributes);
            if ((attributes.word & kNearbyAttributeBit) != 0) {
                m_elementIds.push_back(cursor->GetElementId() | 0x80000000U);
                isFound = true;
            }
        }
        if (isFound) {
            return;
        }
    }
}
