#include "advisor/advisorkeywords.h"
#include "advisor/junctionrules.h"

#include <algorithm>
#include <cmath>

namespace {

namespace K = AdvisorKeywords;
using namespace junctionflags;

constexpr std::u16string_view kTrue = u"True";
constexpr std::u16string_view kFalse = u"False";
constexpr std::uint32_t kConnectorBits = kConnector40 | kConnector80 | kConnector100;

std::u16string_view TrueFalse(bool value) {
    return value ? kTrue : kFalse;
}

bool Has(const RouteItem& item, std::uint32_t bits) {
    return (item.flags & bits) != 0;
}

} // namespace

std::u16string JunctionRules::AnalyseJunction(const RouteItem& item) {
    m_currentItem = item;
    m_accumulatedLength += item.length;
    m_accumulatedTime += item.time;
    m_currentElement = ElementOf(item.linkId);
    if (!m_iterator || !m_iterator->IsValid()) {
        return {};
    }
    if (m_iterator->Current().linkId != item.linkId) {
        (void)PositionAt(m_iterator, item.linkId);
        if (!m_iterator) {
            return {};
        }
    }
    if (Has(item, kSignpost) && m_isSignpostInfoWanted) {
        FillSignposts(item);
    }
    m_iterator->Next();
    if (m_iterator->IsValid()) {
        m_nextItem = RouteItem::Of(m_iterator->Current());
        m_hasNextItem = true;
        m_otherStreets.clear();
        m_routeNumberText.clear();
        std::vector<NeighbourLink> allowed;
        std::vector<NeighbourLink> forbidden;
        m_iterator->GetJunctionStreets(allowed, forbidden);
        for (const NeighbourLink& link : allowed) {
            m_otherStreets.push_back(RouteItem::Of(link));
        }
        m_secondJunctionList.clear();
        for (const NeighbourLink& link : forbidden) {
            m_secondJunctionList.push_back(RouteItem::Of(link));
        }
    } else {
        m_hasNextItem = false;
    }
    if (ClassifyTurn(m_currentItem, m_nextItem, m_iterator.get(), m_turnAngle, m_turnWord, false) ==
        turnsector::kUnmeasurable) {
        m_module = K::kIgnoreJunction;
        return m_module;
    }
    if (CheckSpecialSituations(item)) {
        std::u16string roadClass;
        if (GetRoadClass(item, roadClass)) {
            m_conditions[kStreetTypeField] = roadClass;
        }
    } else {
        (void)DispatchModules(item);
    }
    return m_module;
}

struct JunctionRules::ConditionRow {
    std::u16string_view module;
    std::u16string_view condition;
    Condition field;
    std::u16string_view values; // separated by blanks; the driving sides come from the settings
};

std::span<const JunctionRules::ConditionRow> JunctionRules::ConditionRows() {
    static constexpr std::u16string_view kLeftRight = u"Left Right";
    static constexpr std::u16string_view kTrueFalse = u"True False";
    static constexpr ConditionRow kRows[] = {
        {K::kTStreet, K::kRelativeDirectionOfTS, kFirstDirection, kLeftRight},
        {K::kBifurcation, K::kRelativeDirectionOfTS, kFirstDirection, kLeftRight},
        {K::kBifurcation, K::kForkType, kForkType, u"Simple_Fork Multiple_Fork"},
        {K::kHighwayCrossings1, K::kBifurcation, kHighwayBifurcation, u"Yes No"},
        {K::kHighwayCrossings1, K::kKindOfTS, kKindOfTS, u"Highway ConnectingHighway"},
        {K::kHighwayCrossings1, K::kRelativeDirectionOfTS, kFirstDirection, kLeftRight},
        {K::kHighwayCrossings2, K::kBifurcation, kHighwayBifurcation, u"Yes"},
        {K::kHighwayCrossings2, K::kKindOfTS, kKindOfTS, u"Highway ConnectingHighway"},
        {K::kHighwayCrossings2, K::kGeneralDirectionOfTS, kFirstDirection,
         u"StraightAhead Left Right"},
        {K::kHighwayCrossings2, K::kRelativeDirectionOfTS, kSecondDirection, kLeftRight},
        {K::kLeavingHighway, K::kRelativeDirectionOfTS, kFirstDirection, kLeftRight},
        {K::kLookLikeBifurcation, K::kSIOfTSComparedToOtherStreets, kSpeedIndexComparison,
         u"Higher Lower Equal"},
        {K::kLookLikeBifurcation, K::kTSHasBiggerAngleToSAD, kBiggerAngle, kTrueFalse},
        {K::kLookLikeBifurcation, K::kRelativeDirectionOfTS, kFirstDirection, kLeftRight},
        {K::kRoundabouts, K::kMoreThan4Exits, kMoreThan4Exits, kTrue},
        {K::kRoundabouts, K::kTSIsPartOfRoundaboutCondition, kTSInRoundabout, kTrueFalse},
        {K::kUTurn, K::kTSIsDeadEndStreet, kDeadEnd, kTrueFalse},
        {K::kUTurn, K::kDrivingSideOfRoad, kDrivingSide, u""},
        {K::kDestination, K::kKindOfApproachingDestination, kApproachKind,
         u"IS_Is_Part_Of_DS Other_OS_Part_Of_DS TS_Is_Part_Of_Roundabout Approaching "
         u"Last_Item_Of_Route_Result"},
        {K::kGeometricSetting1, K::kAngleOfTSIsWithinGS1Range, kGS1Result, kTrueFalse},
        {K::kGeometricSetting1, K::kSIOfTSComparedToOtherStreets, kSpeedIndexComparison,
         u"Higher Lower"},
        {K::kGeometricSetting2, K::kAngleOfTSIsWithinGS2Range, kGS2Result, kTrueFalse},
        {K::kGeometricSetting2, K::kSIOfTSComparedToOtherStreets, kSpeedIndexComparison,
         u"Higher Lower"},
        {K::kGeometricSetting3, K::kAbsoluteDirectionOfTSIsStraightAhead, kStraightAheadResult,
         kTrueFalse},
        {K::kPriorityManoeuvre, K::kStreetType, kStreetTypeField, u"A B S"},
        {K::kPriorityManoeuvre, K::kTSIsPriorityStreet, kPriorityStreet, kTrueFalse},
        {K::kPriorityManoeuvre, K::kAbsoluteDirectionOfTSIsStraightAhead, kStraightAheadResult,
         kTrueFalse},
    };
    static_assert(std::size(kRows) == 27);
    return kRows;
}

std::u16string JunctionRules::GetConditionValue(std::u16string_view condition) const {
    for (const ConditionRow& row : ConditionRows()) {
        if (row.module == m_module && row.condition == condition) {
            return m_conditions[row.field];
        }
    }
    return {};
}

std::vector<std::u16string> JunctionRules::DecidedModules() {
    std::vector<std::u16string> modules;
    for (const ConditionRow& row : ConditionRows()) {
        if (std::find(modules.begin(), modules.end(), row.module) == modules.end()) {
            modules.emplace_back(row.module);
        }
    }
    return modules;
}

std::vector<std::u16string> JunctionRules::ConditionValues(std::u16string_view module,
                                                           std::u16string_view condition,
                                                           const Settings& settings) {
    for (const ConditionRow& row : ConditionRows()) {
        if (row.module != module || row.condition != condition) {
            continue;
        }
        if (row.field == kDrivingSide) {
            return DrivingSides(settings);
        }
        std::vector<std::u16string> values;
        for (std::size_t from = 0; from < row.values.size();) {
            const std::size_t end = std::min(row.values.find(u' ', from), row.values.size());
            values.emplace_back(row.values.substr(from, end - from));
            from = end + 1;
        }
        return values;
    }
    return {std::u16string()};
}

void JunctionRules::SetDestination(std::u16string_view kind) {
    m_module = K::kDestination;
    m_conditions[kApproachKind] = kind;
}

void JunctionRules::SetStraightAheadResult() {
    m_module = K::kGeometricSetting3;
    m_conditions[kFirstDirection] = m_turnWord;
    m_conditions[kStraightAheadResult] = TrueFalse(m_turnWord == K::kStraightAhead);
}

bool JunctionRules::SetUTurnIfDrivingSideKnown(const RouteItem& item) {
    std::u16string country;
    if (!GetCountryName(item, country)) {
        return false;
    }
    std::u16string side;
    GetDrivingSide(item, side);
    m_conditions[kDrivingSide] = side;
    m_conditions[kDeadEnd] = TrueFalse(m_hasNextItem && m_otherStreets.empty() &&
                                       m_nextItem.linkId == m_currentItem.linkId);
    m_module = K::kUTurn;
    return true;
}

bool JunctionRules::CheckSpecialSituations(const RouteItem& item) {
    if (!m_hasNextItem) {
        SetDestination(m_destinationKind == 2 ? K::kLastItemOfRouteResult : K::kISIsPartOfDS);
        m_endOfRoute = 31;
        return true;
    }
    if (m_nextItem.linkId == item.linkId) {
        return SetUTurnIfDrivingSideKnown(item);
    }
    if (m_destinationKind == 2) {
        if (m_otherStreets.empty() && !Has(m_nextItem, kLookedPast)) {
            if (CanIgnoreJunction()) {
                m_module = K::kIgnoreJunction;
            } else {
                SetStraightAheadResult();
            }
            return true;
        }
        return false;
    }
    return CheckDestinationStreet(item);
}

bool JunctionRules::CheckDestinationStreet(const RouteItem& item) {
    if (IsInDestinationStreet(item)) {
        SetDestination(K::kISIsPartOfDS);
        return true;
    }
    m_isNextInDestinationStreet = IsInDestinationStreet(m_nextItem);
    if (!m_otherStreets.empty()) {
        for (const RouteItem& other : m_otherStreets) {
            if (m_isNextInDestinationStreet && IsInDestinationStreet(other)) {
                SetDestination(K::kOtherOSPartOfDS);
                return true;
            }
        }
        return false;
    }
    if (m_isNextInDestinationStreet) {
        SetDestination(Has(m_nextItem, kRoundabout) ? K::kTSIsPartOfRoundabout : K::kApproaching);
        return true;
    }
    if (Has(m_nextItem, kLookedPast)) {
        return false;
    }
    if (CanIgnoreJunction()) {
        m_module = K::kIgnoreJunction;
    } else {
        SetStraightAheadResult();
    }
    return true;
}

bool JunctionRules::DispatchModules(const RouteItem& item) {
    std::u16string roadClass;
    if (GetRoadClass(item, roadClass)) {
        m_conditions[kStreetTypeField] = roadClass;
    }
    if (EvaluateHighwayModules(item) || EvaluateJunctionModules(item) ||
        EvaluateShapeModules(item)) {
        return true;
    }
    m_module = K::kIgnoreJunction;
    return false;
}

int JunctionRules::SpeedIndex(const RouteItem& item) const {
    const six::IntfPtr<MapElement> element = ElementOf(item.linkId);
    if (!element) {
        return 0;
    }
    const std::uint16_t kind = element->GetTypeCode();
    if (kind < maprecord::kMotorwayType || kind > maprecord::kLivingStreetType || kind % 10 != 0) {
        return 0;
    }
    return 8 - (kind - maprecord::kMotorwayType) / 10;
}

bool JunctionRules::LookPast(const RouteItem& item, std::uint32_t mask, RouteIteratorPtr& walker,
                             RouteItem& after) const {
    if (!PositionAt(walker, item.linkId)) {
        return false;
    }
    while (walker->IsValid() && (walker->Current().elementAttributes & mask) != 0) {
        walker->Next();
    }
    if (!walker->IsValid()) {
        return false;
    }
    after = RouteItem::Of(walker->Current());
    return true;
}

bool JunctionRules::EvaluateHighwayModules(const RouteItem& item) {
    const auto isHighway = [this](const RouteItem& x) {
        const six::IntfPtr<MapElement> element = ElementOf(x.linkId);
        return element && element->GetTypeCode() == maprecord::kMotorwayType;
    };
    const auto leaving = [this, &item]() {
        m_module = K::kLeavingHighway;
        m_isOnHighway = false;
        m_conditions[kFirstDirection] = RelativeDirectionTo(item, m_otherStreets.front());
        return true;
    };
    RouteIteratorPtr walker;
    RouteItem after;
    if (isHighway(item)) {
        m_isOnHighway = true;
        if (!m_hasNextItem) {
            return false;
        }
        if (isHighway(m_nextItem)) {
            return EvaluateHighwayCrossing(item);
        }
        if (m_otherStreets.empty()) {
            return false;
        }
        for (const RouteItem& other : m_otherStreets) {
            if (other.linkId != m_nextItem.linkId && !isHighway(other) &&
                !Has(other, kConnector100)) {
                return false;
            }
        }
        if (!Has(m_nextItem, kConnector100)) {
            return leaving();
        }
        if (!LookPast(m_nextItem, kConnector100, walker, after)) {
            return false;
        }
        return isHighway(after) ? EvaluateHighwayCrossing(item) : leaving();
    }
    if (!m_hasNextItem || !Has(m_nextItem, kConnector100) ||
        !LookPast(m_nextItem, kConnector100, walker, after)) {
        return false;
    }
    return isHighway(after) && m_isOnHighway && EvaluateHighwayCrossing(item);
}

bool JunctionRules::EvaluateHighwayCrossing(const RouteItem& item) {
    const bool isFork = IsFork(item);
    if (m_otherStreets.empty()) {
        return false;
    }
    std::size_t highways = 0;
    bool everyOtherIsConnection = true;
    for (const RouteItem& other : m_otherStreets) {
        const six::IntfPtr<MapElement> element = ElementOf(other.linkId);
        highways += element && element->GetTypeCode() == maprecord::kMotorwayType ? 1 : 0;
        everyOtherIsConnection = everyOtherIsConnection && Has(other, kConnectorBits);
    }
    if (!Has(m_nextItem, kConnectorBits) && everyOtherIsConnection && highways == 0) {
        m_module = K::kIgnoreJunction;
        return true;
    }
    m_conditions[kKindOfTS] =
        Has(m_nextItem, kConnector100 | kConnector80) ? u"ConnectingHighway" : u"Highway";
    m_conditions[kHighwayBifurcation] = isFork ? u"Yes" : u"No";
    if (Has(item, kConnector100 | kConnector80)) {
        m_conditions[kFirstDirection] = GeneralDirection();
        m_conditions[kSecondDirection] = RelativeDirectionTo(item, m_otherStreets.front());
        m_conditions[kStreetTypeField] = u"A";
        m_conditions[kHighwayBifurcation] = u"Yes";
        m_module = K::kHighwayCrossings2;
        return true;
    }
    m_module = K::kHighwayCrossings1;
    m_conditions[kFirstDirection] = RelativeDirectionTo(item, m_otherStreets.front());
    m_conditions[kKindOfTS] = IsConnector(m_nextItem) ? u"ConnectingHighway" : u"Highway";
    m_routeNumberText = FindJoinedRouteNumber().substr(0, kFieldLength);
    m_conditions[kStreetTypeField] = u"A";
    return true;
}

bool JunctionRules::EvaluateJunctionModules(const RouteItem& item) {
    if (!m_hasNextItem) {
        return false;
    }
    if (Has(item, kRoundabout)) {
        m_conditions[kMoreThan4Exits] = kTrue;
        m_conditions[kTSInRoundabout] = TrueFalse(Has(m_nextItem, kRoundabout));
        m_module = K::kRoundabouts;
        return true;
    }
    if (KindTest2OnNibble(item.flags)) {
        m_conditions[kPriorityStreet] = TrueFalse(KindTest4OnNibble(m_nextItem.flags));
        m_conditions[kFirstDirection] = m_turnWord;
        m_conditions[kStraightAheadResult] = TrueFalse(
            m_turnWord == K::kStraightAhead || m_turnWord.find(K::kSlight) != std::u16string::npos);
        m_module = K::kPriorityManoeuvre;
        return true;
    }
    if (IsFork(item)) {
        m_module = K::kBifurcation;
        m_conditions[kFirstDirection] = RelativeDirectionTo(item, m_otherStreets.front());
        m_conditions[kForkType] = GetForkType(item);
        return true;
    }
    if (Has(item, kLookedPast)) {
        if (CanIgnoreJunction()) {
            m_module = K::kIgnoreJunction;
        } else {
            SetStraightAheadResult();
        }
        return true;
    }
    RouteIteratorPtr walker;
    RouteItem after;
    if (!Has(m_nextItem, kLookedPast) || !LookPast(m_nextItem, kLookedPast, walker, after)) {
        return false;
    }
    float angle = 0.0f;
    std::u16string word;
    if (Has(after, kRoundabout)) {
        word = K::kStraightAhead;
    } else {
        (void)ClassifyTurn(item, after, walker.get(), angle, word, true);
    }
    if (word.find(K::kUTurn) != std::u16string::npos) {
        return SetUTurnIfDrivingSideKnown(item);
    }
    m_conditions[kFirstDirection] = word;
    m_conditions[kStraightAheadResult] = TrueFalse(-36.0f < angle && angle < 36.0f);
    m_module = K::kGeometricSetting3;
    return true;
}

bool JunctionRules::IsFork(const RouteItem& item) {
    if (m_otherStreets.size() >= 2) {
        return false;
    }
    if (KindTest2OnByte(item.flags) && KindTest4OnByte(m_nextItem.flags)) {
        m_conditions[kForkType] = GetForkType(item);
        return true;
    }
    return false;
}

bool JunctionRules::IsConnector(const RouteItem& item) {
    return Has(item, kConnectorBits);
}

bool JunctionRules::EvaluateShapeModules(const RouteItem& item) {
    if (!m_hasNextItem) {
        return false;
    }
    if (m_otherStreets.size() != 1) {
        return EvaluateGeometricSettings(item);
    }
    const RouteItem other = m_otherStreets.front();
    const double from = FloatSetting(u"LookLikeBifurcation_AngleRange_From", -40.0);
    const double to = FloatSetting(u"LookLikeBifurcation_AngleRange_To", 40.0);
    const double inBetween = FloatSetting(u"LookLikeBifurcation_AngleInBetween", 30.0);
    float a = 0.0f;
    std::u16string word;
    (void)ClassifyTurn(m_nextItem, other, m_iterator.get(), a, word, false);
    const double d = 180.0 - std::fabs(a);
    if (d < from || d >= to) {
        if (CompareSpeedIndex(m_nextItem, other) == 0 && IsTStreet(item)) {
            m_conditions[kFirstDirection] = RelativeDirectionTo(item, other);
            m_module = K::kTStreet;
            return true;
        }
        return EvaluateGeometricSettings(item);
    }
    if (std::fabs(d) >= inBetween) {
        return EvaluateGeometricSettings(item);
    }
    const int c = CompareSpeedIndex(m_nextItem, other);
    m_conditions[kFirstDirection] = RelativeDirectionTo(item, other);
    m_conditions[kSpeedIndexComparison] = c == 1 ? u"Higher" : c == 2 ? u"Lower" : u"Equal";
    m_conditions[kBiggerAngle] = TrueFalse(HasBiggerAngleToStraightAhead(item));
    m_module = K::kLookLikeBifurcation;
    return true;
}

bool JunctionRules::EvaluateGeometricSettings(const RouteItem& item) {
    float smallest = 180.0f;
    int equalCount = 0;
    bool isNothingHigher = true;
    int highest = -1;
    float highestAngle = 0.0f;
    for (const RouteItem& other : m_otherStreets) {
        const int c = CompareSpeedIndex(item, other);
        if (c == 2) {
            isNothingHigher = false;
            break;
        }
        equalCount += c == 0 ? 1 : 0;
        float angle = 0.0f;
        std::u16string word;
        (void)ClassifyTurn(item, other, m_iterator.get(), angle, word, false);
        const int index = SpeedIndex(other);
        if (index >= highest) {
            highest = index;
            highestAngle = angle;
        }
        smallest = std::min(smallest, std::fabs(angle));
    }
    const int c = CompareSpeedIndex(item, m_nextItem);
    isNothingHigher = isNothingHigher && c != 2;
    equalCount += c == 0 ? 1 : 0;
    const int nextIndex = SpeedIndex(m_nextItem);
    float mainAngle = highestAngle;
    if (nextIndex >= highest) {
        highest = nextIndex;
        mainAngle = m_turnAngle;
    }
    smallest = std::min(smallest, std::fabs(m_turnAngle));
    if (!isNothingHigher || equalCount != 1) {
        SetStraightAheadResult();
        return true;
    }
    m_conditions[kSpeedIndexComparison] = nextIndex < highest ? u"Lower" : u"Higher";
    if (smallest >= std::fabs(mainAngle)) {
        m_conditions[kGS2Result] = TrueFalse(IsWithinGS2Range());
        m_module = K::kGeometricSetting2;
    } else {
        m_conditions[kGS1Result] = TrueFalse(IsWithinGS1Range());
        m_module = K::kGeometricSetting1;
    }
    return true;
}

int JunctionRules::CompareSpeedIndex(const RouteItem& a, const RouteItem& b) const {
    const double tolerance = FloatSetting(u"SpeedIndexTolerance", 0.0);
    const int sa = SpeedIndex(a);
    const int sb = SpeedIndex(b);
    if (std::abs(sa - sb) <= tolerance) {
        return 0;
    }
    return sa > sb ? 1 : 2;
}

std::u16string JunctionRules::RelativeDirectionTo(const RouteItem& item, const RouteItem& other) {
    float y = 0.0f;
    std::u16string word;
    (void)ClassifyTurn(item, other, m_iterator.get(), y, word, false);
    return std::u16string(m_turnAngle < y ? K::kLeft : K::kRight);
}

std::u16string JunctionRules::GeneralDirection() const {
    if (m_turnAngle < -5.0f) {
        return std::u16string(K::kLeft);
    }
    return std::u16string(m_turnAngle > 5.0f ? K::kRight : K::kStraightAhead);
}

bool JunctionRules::HasBiggerAngleToStraightAhead(const RouteItem& item) {
    if (!m_hasNextItem || m_otherStreets.size() != 1) {
        return false;
    }
    float y = 0.0f;
    std::u16string word;
    (void)ClassifyTurn(item, m_otherStreets.front(), m_iterator.get(), y, word, false);
    m_conditions[kFirstDirection] = m_turnAngle > y ? K::kRight : K::kLeft;
    return !(std::fabs(y) > std::fabs(m_turnAngle));
}

bool JunctionRules::IsInDestinationStreet(const RouteItem& item) const {
    if (m_destinationStreetName.empty()) {
        return item.linkId == m_destinationElement;
    }
    return std::find(m_destinationStreetIds.begin(), m_destinationStreetIds.end(), item.linkId) !=
           m_destinationStreetIds.end();
}

std::u16string JunctionRules::FindJoinedRouteNumber() const {
    if (!m_iterator) {
        return {};
    }
    const RouteIteratorPtr walker = m_iterator->Clone();
    if (!walker) {
        return {};
    }
    while (walker->IsValid()) {
        const RouteItem at = RouteItem::Of(walker->Current());
        if (!IsConnector(at) && !Has(at, kLookedPast)) {
            return GetRouteNumber(at);
        }
        walker->Next();
    }
    return {};
}

std::u16string JunctionRules::GetRouteNumber(const RouteItem& item) const {
    const six::IntfPtr<MapElement> element = ElementOf(item.linkId);
    if (!element) {
        return {};
    }
    std::vector<std::u16string> numbers;
    (void)element->GetAlternativeNames(numbers);
    const std::uint16_t kind = element->GetTypeCode();
    std::u16string a = u"A";
    std::u16string b = u"B";
    std::u16string country;
    if (GetCountryName(item, country)) {
        if (const std::u16string* value = FindSetting(country + u".RoadA")) {
            a = *value;
        }
        if (const std::u16string* value = FindSetting(country + u".RoadB")) {
            b = *value;
        }
    }
    const std::u16string* text = nullptr;
    if (kind == maprecord::kMotorwayType) {
        text = &a;
    } else if (kind == maprecord::kTrunkType || kind == maprecord::kPrimaryType) {
        text = &b;
    }
    if (!text || text->empty()) {
        return {};
    }
    for (const std::u16string& number : numbers) {
        if (number.find(*text) != std::u16string::npos) {
            return number;
        }
    }
    return {};
}
