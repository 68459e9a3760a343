// Which announcement of the junction ahead is due, and the idle, request and static texts.

#include "advisor/advisorkeywords.h"
#include "advisor/detail/spokenadvicetext.h"
#include "advisor/spokenadvicebuilder.h"
#include "utilities/usefulcode/distancetext.h"

#include "platform/kernel/text.h"

#include <algorithm>
#include <set>
#include <string>

namespace {

using advisor::detail::AdviceName;
using advisor::detail::Contains;
using advisor::detail::Decimal;
using advisor::detail::IsWorded;

namespace K = AdvisorKeywords;

constexpr std::u16string_view kConnectorCut = u"\u00A7"; // "§": joins no next manoeuvre
constexpr std::u16string_view kDestinationMark = u"@";
constexpr std::u16string_view kDistanceOfNextAction = u"<distance_of_next_action>";
constexpr std::u16string_view kPolitePrefix = u"Bitte";
constexpr std::int32_t kPassedBy = 40;    // metres past a point that drop its announcement
constexpr std::int32_t kIdleMargin = 200; // metres into the stretch before the idle text
constexpr std::int32_t kLimitCode = 37;   // farther than the first announcement
constexpr std::int32_t kArrivalCode = 31; // a destination announcement

bool IsUntold(const AdviceRecord& record) {
    return (record.junction.flags & JunctionDescription::kUntoldFlag) != 0;
}

void CutBefore(std::u16string& text, const std::u16string& part) {
    if (part.empty()) {
        return;
    }
    const std::size_t at = text.find(part);
    if (at != std::u16string::npos) {
        text.erase(at);
    }
}

std::u16string ValueOr(const SpokenAdviceBuilder::Variables& variables, const char16_t* name) {
    const auto found = variables.find(name);
    return found != variables.end() ? found->second : std::u16string();
}

// Percent between two announcement points, truncated into the record's 16 bits. 100 when the
// points coincide or lie the wrong way round: the second one is reached.
std::uint16_t Progress(std::int32_t from, std::int32_t to, std::int32_t distance) {
    if (from <= to) {
        return 100;
    }
    const float percent =
        static_cast<float>(from - distance) / static_cast<float>(from - to) * 100.0f;
    if (!(percent > 0.0f)) {
        return 0;
    }
    return percent >= 65535.0f ? std::uint16_t{65535} : static_cast<std::uint16_t>(percent);
}

// A whole number of the destination phrase table; false (value untouched) when missing or empty.
bool ReadDistanceLimit(const PhraseTable& destinations, const std::u16string& key,
                       std::int32_t& value) {
    const auto found = destinations.find(key);
    if (found == destinations.end() || found->second.empty()) {
        return false;
    }
    value = _wtol(found->second.c_str());
    return true;
}

} // namespace

bool SpokenAdviceBuilder::LookupDistanceLimit(const std::u16string& key,
                                              std::int32_t& value) const {
    return ReadDistanceLimit(m_tables->destinations, key, value);
}

bool SpokenAdviceBuilder::WordsEveryDistance(const PhraseTable& phrases,
                                             const PhraseTable& destinations, bool imperial) {
    const bool speaksDistances = std::any_of(phrases.begin(), phrases.end(), [](const auto& entry) {
        return Contains(entry.second, u"{in");
    });
    if (!speaksDistances) {
        return true;
    }
    // As the announcement reads it: empty words say no distance.
    const auto isWorded = [&](std::int32_t metres) {
        const auto found = phrases.find(FormatRoundedDistance(metres, imperial));
        return found != phrases.end() && IsWorded(found->second);
    };
    // A manoeuvre without limits has them all at 0.
    if (!isWorded(0)) {
        return false;
    }
    constexpr std::u16string_view kPrefix = u"SOD.";
    std::set<std::u16string> junctions; // "SOD.<manoeuvre>.<road class>"
    for (auto entry = destinations.lower_bound(std::u16string(kPrefix));
         entry != destinations.end() && entry->first.starts_with(kPrefix); ++entry) {
        const std::u16string_view key = entry->first;
        if (key.size() > 3 &&
            (key.ends_with(u".d1") || key.ends_with(u".d2") || key.ends_with(u".d3"))) {
            junctions.emplace(key.substr(0, key.size() - 3));
        }
    }
    // Below this the words change every few metres; above it every kilometre or mile at most.
    constexpr std::int32_t kFineRange = 20000;
    constexpr std::int32_t kCoarseStep = 1000;
    for (const std::u16string& junction : junctions) {
        std::int32_t d1 = 0;
        std::int32_t d2 = 0;
        std::int32_t d3 = 0;
        (void)ReadDistanceLimit(destinations, junction + u".d1", d1);
        (void)ReadDistanceLimit(destinations, junction + u".d2", d2);
        (void)ReadDistanceLimit(destinations, junction + u".d3", d3);
        if (!isWorded(d1) || !isWorded(d2) || !isWorded(d3)) {
            return false;
        }
        // A stretch between the last and the second limit is spoken as its own length.
        const std::int64_t last = static_cast<std::int64_t>(d2) - 1;
        for (std::int64_t n = std::max<std::int64_t>(d3, 0) + 1; n <= last;
             n += n < kFineRange ? 1 : kCoarseStep) {
            if (!isWorded(static_cast<std::int32_t>(n))) {
                return false;
            }
        }
        if (last > std::max(d3, 0) && !isWorded(static_cast<std::int32_t>(last))) {
            return false;
        }
    }
    return true;
}

void SpokenAdviceBuilder::ReadIdleLimit(std::u16string_view roadClass) {
    const auto found = m_tables->general.find(u"IdleTime" + RoadClassLetter(roadClass));
    if (found != m_tables->general.end() && !found->second.empty()) {
        m_idleLimit = _wtol(found->second.c_str());
    }
}

void SpokenAdviceBuilder::BuildIdleText(const JunctionDescription& junction, std::u16string& out,
                                        bool routeNumberChanges) const {
    const char16_t* key = !routeNumberChanges && !junction.targetRoadNumber.IsEmpty()
                              ? u"SOA.IdleTime.TypeAB.NoChangeOfRN.A1"
                              : u"SOA.IdleTime.NoRN.A1";
    out = Phrase(key).value_or(u"");
    if (!ExpandPhrase(m_variables, out)) {
        out.clear();
    }
}

std::vector<std::u16string>
SpokenAdviceBuilder::RequestConditionValues(std::u16string_view condition) {
    if (condition == K::kStreetType) {
        return {u"A", u"B", u"S"};
    }
    if (condition == K::kRNChanges || condition == K::kIsDistanceMoreThanRange) {
        return {u"Yes", u"No"};
    }
    return {std::u16string()};
}

void SpokenAdviceBuilder::BuildRequestText(const JunctionDescription& junction,
                                           std::u16string_view adviceName, bool routeNumberChanges,
                                           std::int32_t distance) {
    if (!m_tables->decisionTables) {
        return;
    }
    DecisionQuery query;
    query.module = K::kDriverRequest;
    query.values[std::u16string(K::kStreetType)] = RoadClassLetter(junction.roadClass.View());
    query.values[std::u16string(K::kRNChanges)] = routeNumberChanges ? u"Yes" : u"No";
    query.values[std::u16string(K::kIsDistanceMoreThanRange)] =
        distance <= m_idleLimit ? u"No" : u"Yes";
    if (const auto phrase = Phrase(m_tables->decisionTables->Evaluate(query))) {
        m_requestText = *phrase;
    }
    if (const auto found = m_variables.find(u"distance_of_next_action");
        found != m_variables.end()) {
        found->second = Decimal(distance);
    }
    const std::u16string nextAction = ValueOr(m_variables, u"Advice2b for next action");
    if (!nextAction.empty() && !Contains(nextAction, kDestinationMark)) {
        // At the manoeuvre its distance has no words left ("in 0 m"): the answer is said as the
        // junction's last announcement says it there ("now ...").
        if (Contains(m_requestText, kDistanceOfNextAction) &&
            FormatRoundedDistance(std::max(distance, 0), IsMiles()) ==
                FormatRoundedDistance(0, IsMiles())) {
            if (auto now = Phrase(std::u16string(adviceName) + u".A3"); now && !now->empty()) {
                if (const std::size_t cut = now->find(kConnectorCut); cut != std::u16string::npos) {
                    now->erase(cut);
                }
                m_requestText = std::move(*now);
            }
        }
        if (!ExpandPhrase(m_variables, m_requestText)) {
            m_requestText.clear();
        }
    } else if (const auto destination = Phrase(u"DestinationAdvice")) {
        m_requestText = *destination;
    }
}

bool SpokenAdviceBuilder::AppendNextAction(std::u16string_view roadClass, std::u16string_view key,
                                           const AdviceRecord& next, std::u16string_view manoeuvre,
                                           std::u16string& text) {
    if (const std::size_t cut = text.find(kConnectorCut); cut != std::u16string::npos) {
        text.erase(cut);
        return false;
    }
    const std::u16string nextName = AdviceName(next.text);
    if (nextName.empty() || IsUntold(next)) {
        return false;
    }
    const std::u16string nextClass = RoadClassLetter(next.junction.roadClass.View());
    std::optional<std::u16string> nextText = Phrase(nextName + u".A2b");
    if (!nextText || Contains(*nextText, kConnectorCut)) {
        return false;
    }
    Variables nextVariables;
    FillVariables(nextVariables, next);
    if (!ExpandPhrase(nextVariables, *nextText)) {
        return false; // a distance without words is not said
    }

    const std::u16string limitKey = std::u16string(roadClass) + u"2" + nextClass;
    std::int32_t limit = 0;
    if (!LookupDistanceLimit(limitKey + u".ShortDBA", limit)) {
        return false;
    }
    std::u16string connector;
    if (next.distance <= limit) {
        connector = Phrase(u"ShortCA").value_or(u"");
    } else {
        if (!LookupDistanceLimit(limitKey + u".NormalDBA", limit) || next.distance > limit) {
            return false;
        }
        connector = Phrase(u"NormalCA").value_or(u"");
    }
    if (connector.empty()) {
        return false;
    }
    m_nextActionAnnounced = true;
    if (text.empty()) {
        return true;
    }
    const auto named = [](const Variables& variables, const char16_t* name) {
        std::u16string value = ValueOr(variables, name);
        ReplaceNames(variables, value);
        return value;
    };
    CutBefore(text, named(m_variables, u"DI"));
    CutBefore(text, named(m_variables, u"SI"));
    const std::u16string nextDi = named(nextVariables, u"DI");
    const std::u16string nextSi = named(nextVariables, u"SI");
    CutBefore(*nextText, nextSi);
    CutBefore(*nextText, nextDi);
    if (nextText->empty()) {
        return true;
    }
    if (manoeuvre != K::kHighwayCrossings1) {
        if (key == u"A1" || key == u"A2a" || key == u"A2b") {
            text += connector + *nextText + nextDi;
        }
    } else if (key == u"A3" || key == u"A2a" || key == u"A2b") {
        text += connector + *nextText + nextDi + nextSi;
    }
    return true;
}

bool SpokenAdviceBuilder::StartJunction(const AdviceRecord& ahead, const AdviceRecord& next) {
    const JunctionDescription& junction = ahead.junction;
    m_lastJunctionId = junction.junctionId;
    m_variables.clear();
    m_nextActionAnnounced = false;

    const std::u16string prefix = u"SOD." + std::u16string(junction.manoeuvre.View()) + u"." +
                                  std::u16string(junction.roadClass.View());
    m_limitD1 = m_limitD2 = m_limitD3 = 0;
    (void)LookupDistanceLimit(prefix + u".d1", m_limitD1);
    (void)LookupDistanceLimit(prefix + u".d2", m_limitD2);
    (void)LookupDistanceLimit(prefix + u".d3", m_limitD3);

    const std::u16string name = AdviceName(ahead.text);
    m_textA1 = Phrase(name + u".A1").value_or(u"");
    m_textA2a = Phrase(name + u".A2a").value_or(u"");
    m_textA2b = Phrase(name + u".A2b").value_or(u"");
    m_textA3 = Phrase(name + u".A3").value_or(u"");
    // A junction the decision tables gave no advice name has nothing to say, not even the
    // destination's words.
    if ((junction.flags & JunctionDescription::kDestinationFlag) != 0 &&
        junction.manoeuvre.View() != K::kDestination && !name.empty()) {
        const std::u16string appended =
            Phrase(m_textA2a.empty() ? u"DestinationAdvice" : u"AppendingDestinationAdvice")
                .value_or(u"");
        m_textA2a += appended;
        m_textA2b += appended;
    }
    // Worked out once per junction; later calls for the same junction count it as unchanged.
    const bool routeNumberChanges =
        junction.targetRoadNumber.View() != next.junction.targetRoadNumber.View();
    FillVariables(m_variables, ahead);
    BuildIdleText(junction, m_idleText, routeNumberChanges);
    ReadIdleLimit(junction.roadClass.View());
    return routeNumberChanges;
}

bool SpokenAdviceBuilder::ChooseAnnouncement(AdviceRecord& ahead, const AdviceRecord& next,
                                             std::u16string& spoken) {
    const std::u16string manoeuvre(ahead.junction.manoeuvre.View());
    const std::u16string roadClass = RoadClassLetter(ahead.junction.roadClass.View());
    const std::int32_t d = ahead.distance;
    const std::int32_t stretch = ahead.junction.stretchLength;
    std::u16string* text = nullptr;
    const char16_t* key = nullptr;
    bool isDue = true;    // false: consumed without being said (its point passed long ago)
    bool isWorded = true; // false: a distance in it has no words
    if (d <= m_limitD3) {
        text = &m_textA3;
        key = u"A3";
        isWorded = ExpandPhrase(m_variables, *text);
        ahead.progress = 100;
        if (manoeuvre == K::kDestination) {
            ahead.manoeuvreCode = kArrivalCode;
        }
    } else if (m_shortStretch != 0 && d <= m_shortStretch) {
        text = &m_textA2a;
        key = u"A2b";
        if (const auto found = m_variables.find(u"distance2"); found != m_variables.end()) {
            found->second = Decimal(m_shortStretch);
        }
        isWorded = ExpandPhrase(m_variables, *text);
        if (text->starts_with(kPolitePrefix)) {
            text->erase(0, kPolitePrefix.size());
        }
        ahead.progress = Progress(m_shortStretch, m_limitD3, d);
    } else if (d <= m_limitD2 && m_limitD2 <= stretch) {
        text = &m_textA2a;
        key = u"A2a";
        isWorded = ExpandPhrase(m_variables, *text);
        isDue = d > m_limitD2 - kPassedBy;
        ahead.progress = Progress(m_limitD2, m_limitD3, d);
    } else if (d <= m_limitD1 && m_limitD1 <= stretch) {
        text = &m_textA1;
        key = u"A1";
        isWorded = ExpandPhrase(m_variables, *text);
        isDue = d > m_limitD1 - kPassedBy;
    } else {
        return false;
    }
    const bool joined = AppendNextAction(roadClass, key, next, manoeuvre, *text);
    if (isDue && isWorded) {
        spoken = *text;
    }
    if (key == std::u16string_view(u"A2b") && Contains(spoken, kDestinationMark)) {
        ahead.manoeuvreCode = kArrivalCode;
    }
    text->clear();
    return joined && manoeuvre != K::kUTurn;
}

std::int32_t SpokenAdviceBuilder::BuildAdvice(AdviceList& records, std::int32_t request) {
    AdviceRecord ahead;
    if (!records.GetRecord(0, ahead)) {
        return 0;
    }
    AdviceRecord next;
    (void)records.GetRecord(1, next);
    bool routeNumberChanges = false;
    if (ahead.junction.junctionId != m_lastJunctionId) {
        routeNumberChanges = StartJunction(ahead, next);
    }
    if (m_limitD1 < ahead.distance) {
        ahead.manoeuvreCode = kLimitCode;
    }
    if (m_textA1.empty() && m_textA2a.empty() && m_textA2b.empty() && m_textA3.empty()) {
        return 0;
    }
    const std::int32_t stretch = ahead.junction.stretchLength;
    m_shortStretch = m_limitD3 < stretch && stretch < m_limitD2 ? stretch : 0;
    const std::int32_t d = ahead.distance;

    if (request == 1) {
        BuildRequestText(ahead.junction, AdviceName(ahead.text), routeNumberChanges, d);
        ahead.SetText(IsUntold(ahead) ? std::u16string() : m_requestText);
        records.SetRecord(0, std::move(ahead));
        m_requestText.clear();
        return 1;
    }
    if (m_idleLimit < stretch && !m_idleText.empty() && d <= stretch - kIdleMargin) {
        ahead.SetText(m_idleText);
        m_idleText.clear();
        records.SetRecord(0, std::move(ahead));
        return 1;
    }
    std::u16string spoken;
    if (ChooseAnnouncement(ahead, next, spoken) || m_nextActionAnnounced) {
        ahead.combined = 1;
    }
    if (IsUntold(ahead)) {
        spoken.clear();
        ahead.combined = 0;
    }
    ahead.SetText(spoken);
    records.SetRecord(0, std::move(ahead));
    return 1;
}

std::int32_t SpokenAdviceBuilder::BuildStaticTexts(AdviceList& records) {
    if (records.Size() == 0) {
        return 0;
    }
    if (m_staticTextsBuilt) {
        return 1;
    }
    for (std::int32_t i = 0; static_cast<std::size_t>(i) < records.Size(); ++i) {
        AdviceRecord record;
        (void)records.GetRecord(i, record);
        std::u16string text = IsUntold(record)
                                  ? std::u16string()
                                  : Phrase(AdviceName(record.text) + u".Static").value_or(u"");
        Variables variables;
        FillVariables(variables, record);
        ExpandPhrase(variables, text);
        record.SetText(text);
        records.SetRecord(i, std::move(record));
    }
    m_staticTextsBuilt = true;
    return 1;
}
