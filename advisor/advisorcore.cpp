#include "advisor/advisorcore.h"

#include "advisor/advisorkeywords.h"
#include "advisor/advisorstore.h"

#include "platform/kernel/text.h"

#include <array>
#include <string>
#include <utility>

namespace K = AdvisorKeywords;

namespace {

constexpr std::int32_t kMinimumAdviceLimit = 2;
constexpr std::uint32_t kNoElement = 0xFFFFFFFF;
constexpr std::int32_t kLeftHandTrafficOffset = 200;
constexpr std::int32_t kFirstRoundaboutCode = 21;
constexpr std::int16_t kMaxRoundaboutExit = 8;

std::int32_t ParseInt(const std::u16string& text) {
    return _wtol(text.c_str());
}

bool Contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

// Qualifiers after "+" in an advice name, in the order they are tried.
constexpr std::array<std::pair<std::u16string_view, std::int32_t>, 11> kQualifierCodes{{
    {K::kHighwayBifurcationLeft, 29},
    {K::kHighwayBifurcationRight, 30},
    {K::kStraightAheadNotRight, 16},
    {K::kLeftNotStraightAhead, 34},
    {K::kRightNotStraightAhead, 35},
    {K::kStraightAheadNotLeft, 17},
    {K::kLeft, 2},
    {K::kRight, 4},
    {K::kSlightLeftNotSlightRight, 8},
    {K::kSlightRightNotSlightLeft, 9},
    {K::kApproachingDestination, 36},
}};

std::int32_t DirectionCode(std::u16string_view direction) {
    if (direction == K::kStraightAhead) {
        return 0;
    }
    if (direction == K::kLeft) {
        return 2;
    }
    if (direction == K::kRight) {
        return 4;
    }
    const bool isRight = Contains(direction, K::kRight);
    const bool isLeft = Contains(direction, K::kLeft);
    if (Contains(direction, K::kHard) && (isRight || isLeft)) {
        return isRight ? 7 : 6;
    }
    if (Contains(direction, K::kSlight) && (isRight || isLeft)) {
        return isRight ? 3 : 1;
    }
    return -1;
}

} // namespace

Advisor::Advisor(RetrievalEngine::RetrievalEnginePtr source, RouteRequestResult route,
                 std::u16string folder, const AdviceSettings& settings)
    : m_source(std::move(source))
    , m_route(std::move(route))
    , m_settings(settings) {
    if (m_route.status != routestatus::kFound) {
        return;
    }
    m_folder = std::move(folder);
    m_tables = AdvisorStore::Instance().TablesFor(m_folder, m_settings.phraseColumn,
                                                  m_settings.destinationPhraseColumn);
    m_rules.LoadSectorSettings(m_tables->general);
    m_rules.SetElementSource(m_source);
    m_rules.AttachRoute(m_route.route, m_route.destination.get());
    m_walk = GetRouteIterator(m_route);
    for (RouteIteratorPtr item = GetRouteIterator(m_route); item && item->IsValid(); item->Next()) {
        m_lengthAhead += item->Current().length;
    }
    m_adviceLimit = ReadAdviceLimit();
    m_phraseBuilder.SetTables(m_tables);
    m_units = {static_cast<std::uint32_t>(m_settings.mode),
               static_cast<std::uint32_t>(m_settings.phraseColumn),
               static_cast<std::uint32_t>(m_settings.destinationPhraseColumn)};
    m_phraseBuilder.SetUnits(m_units);
    AdvicePtr first;
    AnalyseRoute(first);
}

std::int32_t Advisor::ReadAdviceLimit() const {
    if (m_settings.mode == 3 || m_settings.mode == 5) {
        return kMinimumAdviceLimit;
    }
    const auto found = m_tables->general.find(u"Crossings");
    if (found == m_tables->general.end() || found->second.empty()) {
        return kMinimumAdviceLimit;
    }
    return std::max(ParseInt(found->second), kMinimumAdviceLimit);
}

AdvicePtr& Advisor::AnalyseRoute(AdvicePtr& out) {
    out = nullptr;
    if (m_route.status != routestatus::kFound) {
        return out;
    }
    m_module.clear();
    if (m_isFreshStart) {
        m_junctionIndex = 0;
        m_isFreshStart = false;
        m_adviceList.Clear();
        m_decisionQueries.clear();
        m_staticTextRecords = 0;
    }
    WalkStretch();
    if (m_settings.mode == 3) {
        AttachStaticTexts();
    }
    out = MakeAdvice(m_adviceList, m_phraseBuilder.GetPhraseTable());
    return out;
}

void Advisor::AttachStaticTexts() {
    // A builder attaches static texts once, and a text already attached is no advice name any
    // more: each stretch's new records go through a builder of their own.
    AdviceList added;
    for (std::size_t i = m_staticTextRecords; i < m_adviceList.Size(); ++i) {
        added.Append(m_adviceList.Records()[i]);
    }
    SpokenAdviceBuilder builder;
    builder.SetTables(m_tables);
    builder.SetUnits(m_units);
    builder.BuildStaticTexts(added);
    for (std::size_t i = 0; i < added.Size(); ++i) {
        m_adviceList.SetRecord(static_cast<std::int32_t>(m_staticTextRecords + i),
                               added.Records()[i]);
    }
    m_staticTextRecords = m_adviceList.Size();
}

void Advisor::WalkStretch() {
    const DecisionTableStore* store =
        m_tables->decisionTables ? &*m_tables->decisionTables : nullptr;
    std::int32_t count = m_adviceList.Size() == 1 ? 1 : 0;
    bool isDone = false;
    while (m_walk && m_walk->IsValid() && !isDone) {
        m_module = m_rules.AnalyseJunction(RouteItem::Of(m_walk->Current()));
        if (!m_module.empty()) {
            const bool hasConditions = StoreDecisionQuery();
            const auto index = static_cast<std::size_t>(m_junctionIndex);
            if (hasConditions && store != nullptr && index < m_decisionQueries.size()) {
                if (store->Evaluate(m_decisionQueries[index]) != K::kNoAdvice) {
                    ++count;
                }
                if (m_module == K::kDestination) {
                    count = m_adviceLimit + 1;
                }
            }
            BuildJunctionRecord(m_junctionIndex);
            if (m_adviceLimit != 0 && count == m_adviceLimit) {
                isDone = true;
            }
        }
        m_lengthAhead -= m_walk->Current().length;
        m_walk->Next();
        ++m_junctionIndex;
        if (m_module == K::kDestination) {
            isDone = true;
        }
    }
}

bool Advisor::StoreDecisionQuery() {
    // Every junction with a module stores a query, one without conditions an empty one, so that
    // the junction index and the queries stay in step.
    m_conditionValues.clear();
    bool hasConditions = false;
    if (m_module != K::kIgnoreJunction && m_tables->decisionTables) {
        for (const std::u16string& name : m_tables->decisionTables->GetConditions(m_module)) {
            m_conditionValues[name] = m_rules.GetConditionValue(name);
            hasConditions = true;
        }
    }
    DecisionQuery query;
    query.module = m_module;
    query.values = m_conditionValues;
    const std::string code = std::to_string(m_rules.GetEndOfRoute());
    query.endOfRouteCode.assign(code.begin(), code.end());
    m_decisionQueries.push_back(std::move(query));
    return hasConditions;
}

std::u16string Advisor::Attribute(std::u16string_view name) {
    return m_rules.GetAdviceAttribute(m_walk.get(), name);
}

void Advisor::AddLengthAndDuration() {
    const std::int32_t length = ParseInt(Attribute(u"Length"));
    const std::int32_t duration = ParseInt(Attribute(u"Duration"));
    m_pendingDistance += length;
    m_pendingTime += duration;
    m_walkedTime += duration;
}

void Advisor::BuildJunctionRecord(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_decisionQueries.size()) {
        return;
    }
    const DecisionQuery& query = m_decisionQueries[static_cast<std::size_t>(index)];
    const RouteItem item = RouteItem::Of(m_walk->Current());
    if (query.module == K::kIgnoreJunction) {
        AddLengthAndDuration();
        m_skippedLength += item.length;
        return;
    }
    const bool isDestination = m_rules.IsNextInDestinationStreet();
    std::u16string name =
        m_tables->decisionTables ? m_tables->decisionTables->Evaluate(query) : std::u16string();
    AddLengthAndDuration();
    // A roundabout's exits and a U-turn are told for the driving side of the country; where the
    // settings give one that is no side word, neither is told there (other countries' are). The
    // junction keeps its advice, so that the stretch before it is told as usual.
    const bool isUntold = (query.module == K::kRoundabouts || query.module == K::kUTurn) &&
                          m_rules.IsDrivingSideUnusable(item);
    const bool isAdvice = !name.empty() && name != K::kNoAdvice;
    if (!isAdvice) {
        m_skippedLength += item.length;
        if (!isDestination) {
            return;
        }
    }
    AdviceRecord record;
    FillRecordHead(record);
    JunctionDescription& junction = record.junction;
    junction.exitNumber = static_cast<std::int16_t>(ParseInt(Attribute(u"exit_number")));
    junction.manoeuvre.Set(query.module);
    m_roadClass = Attribute(K::kStreetType);
    junction.roadClass.Set(m_roadClass.empty() ? u"Ac" : m_roadClass);
    junction.flags = (JunctionRules::IsConnector(item) ? JunctionDescription::kConnectorFlag : 0u) |
                     (isDestination ? JunctionDescription::kDestinationFlag : 0u) |
                     (isUntold ? JunctionDescription::kUntoldFlag : 0u);
    junction.roundaboutDirection.Set(m_rules.GetTurnWord());
    junction.roundaboutText.Set(m_rules.GetRouteNumberText());
    junction.signpostInfo.Set(Attribute(u"SignpostInfo"));
    junction.nextDirection.Set(Attribute(u"NextDirection"));
    junction.targetRoadNumber.Set(m_rules.FindJoinedRouteNumber());
    if (const RouteIteratorPtr previous = m_walk->Clone(); previous && previous->Previous()) {
        junction.currentRoadNumber.Set(m_rules.GetRouteNumber(RouteItem::Of(previous->Current())));
    }
    record.manoeuvreCode = ManoeuvreCode(name, junction, item);
    junction.junctionId = index;
    junction.stretchLength = m_pendingDistance;
    junction.stretchTime = static_cast<std::uint32_t>(m_pendingTime);
    record.text = name;
    m_adviceList.Append(std::move(record));
    m_pendingDistance = 0;
    m_pendingTime = 0;
    if (isAdvice) {
        m_skippedLength = 0;
    }
}

void Advisor::FillRecordHead(AdviceRecord& record) {
    const RouteRecord& current = m_walk->Current();
    record.fromStreet.Set(Attribute(u"FromStreet"));
    record.toStreet.Set(Attribute(u"ToStreet"));
    record.distance = m_pendingDistance;
    record.travelTime = static_cast<float>(m_pendingTime);
    record.remainingDistance = static_cast<std::uint32_t>(m_skippedLength + m_lengthAhead);
    record.remainingTime =
        static_cast<float>(m_route.travelTime) + static_cast<float>(m_pendingTime - m_walkedTime);
    std::u16string text;
    if (m_rules.GetElementPropertyText(text)) {
        record.propertyText.Set(text);
    }
    text.clear();
    if (m_rules.GetPlaceName(text)) {
        record.placeName.Set(text);
    }
    std::vector<GeoPoint> polyline;
    if (m_walk->GetItemPolyline(RouteItemRef(current), polyline) && !polyline.empty()) {
        record.position = polyline.back();
    }
    record.route = m_walk->Clone();
    record.elementId = current.linkId;
    record.nextElementId = kNoElement;
    if (const RouteIteratorPtr next = m_walk->Clone(); next && next->Next()) {
        record.nextElementId = next->Current().linkId;
    }
}

std::int32_t Advisor::ManoeuvreCode(std::u16string& name, const JunctionDescription& junction,
                                    const RouteItem& item) const {
    std::u16string side;
    if (junction.manoeuvre.View() == K::kRoundabouts) {
        m_rules.GetDrivingSide(item, side);
    }
    return ManoeuvreCodeOf(name, junction, side);
}

std::int32_t ManoeuvreCodeOf(std::u16string& name, const JunctionDescription& junction,
                             std::u16string_view drivingSide) {
    if (const std::size_t plus = name.find(u'+'); plus != std::u16string::npos) {
        const std::u16string qualifier = name.substr(plus + 1);
        name.erase(plus);
        for (const auto& [word, code] : kQualifierCodes) {
            if (qualifier == word) {
                return code;
            }
        }
    }
    const std::u16string_view manoeuvre = junction.manoeuvre.View();
    if (manoeuvre == K::kRoundabouts) {
        const std::int32_t offset = drivingSide == K::kLeft ? kLeftHandTrafficOffset : 0;
        if (junction.exitNumber < 1 || junction.exitNumber > kMaxRoundaboutExit) {
            return -1;
        }
        return kFirstRoundaboutCode + junction.exitNumber - 1 + offset;
    }
    if (manoeuvre == K::kUTurn) {
        return 5;
    }
    return DirectionCode(junction.nextDirection.View());
}
