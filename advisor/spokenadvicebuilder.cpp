#include "advisor/spokenadvicebuilder.h"

#include "advisor/detail/spokenadvicetext.h"
#include "utilities/usefulcode/distancetext.h"

#include "platform/kernel/text.h"

#include <cmath>
#include <limits>
#include <string>

namespace {

using advisor::detail::AdviceName;
using advisor::detail::Contains;
using advisor::detail::Decimal;
using advisor::detail::IsWorded;

// Replacements one ReplaceNames may make at one place and in all: a value that holds its own
// name would otherwise be inserted for ever.
constexpr int kMaxReplacementsAtOnePlace = 16;
constexpr int kMaxReplacements = 256;

// Leading blanks, a sign and decimal digits, saturated to 32 bits; 0 without a number.
std::int32_t ParseInt(std::u16string_view text) {
    const std::u16string terminated(text);
    return _wtol(terminated.c_str());
}

double ParseNumber(std::u16string_view text) {
    const std::u16string terminated(text);
    return wcstod(terminated.c_str(), nullptr);
}

// A float truncated towards zero into 32 bits; out of range saturates, NaN gives 0.
std::int32_t Truncate(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483520.0f) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483648.0f) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

AdvisorTablesPtr SnapshotAdvisorTables(const AdvisorConfiguration& configuration,
                                       std::vector<std::u16string> unusableFiles) {
    auto tables = std::make_shared<AdvisorTables>();
    tables->unusableFiles = std::move(unusableFiles);
    tables->phrases = configuration.GetPhraseTable();
    tables->destinations = configuration.GetDestinationPhrases();
    tables->general = configuration.GetGeneralSettings();
    tables->generalLines = configuration.GetGeneralLines();
    if (const DecisionTableStore* store = configuration.GetDecisionTables()) {
        tables->decisionTables = *store;
    }
    return tables;
}

std::u16string RoadClassLetter(std::u16string_view roadClass) {
    if (Contains(roadClass, u"A")) {
        return u"A";
    }
    return Contains(roadClass, u"B") ? u"B" : u"S";
}

SpokenAdviceBuilder::SpokenAdviceBuilder()
    : m_tables(std::make_shared<AdvisorTables>()) {}

void SpokenAdviceBuilder::SetConfiguration(const AdvisorConfiguration& configuration) {
    SetTables(SnapshotAdvisorTables(configuration));
}

void SpokenAdviceBuilder::SetTables(AdvisorTablesPtr tables) {
    m_tables = tables ? std::move(tables) : std::make_shared<AdvisorTables>();
}

PhraseTablePtr SpokenAdviceBuilder::GetPhraseTable() const {
    return PhraseTablePtr(m_tables, &m_tables->phrases);
}

std::optional<std::u16string> SpokenAdviceBuilder::Phrase(const std::u16string& key) const {
    const auto found = Phrases().find(key);
    return found != Phrases().end() ? std::optional(found->second) : std::nullopt;
}

void SpokenAdviceBuilder::ReplaceNames(const PhraseTable& map, std::u16string& text) {
    std::size_t from = 0;
    std::size_t lastPlace = std::u16string::npos;
    int atThisPlace = 0;
    int total = 0;
    while (true) {
        const std::size_t open = text.find(u'<', from);
        if (open == std::u16string::npos) {
            return;
        }
        const std::size_t close = text.find(u'>', open + 1);
        if (close == std::u16string::npos) {
            return;
        }
        const auto found = map.find(text.substr(open + 1, close - open - 1));
        if (found == map.end()) {
            from = open + 1;
            continue;
        }
        atThisPlace = open == lastPlace ? atThisPlace + 1 : 1;
        lastPlace = open;
        if (atThisPlace > kMaxReplacementsAtOnePlace || ++total > kMaxReplacements) {
            return;
        }
        text.replace(open, close - open + 1, found->second);
        from = open; // the value may hold names itself
    }
}

bool SpokenAdviceBuilder::ExpandDistances(std::u16string& text) const {
    bool isWorded = true;
    std::size_t from = 0;
    while (true) {
        const std::size_t open = text.find(u'{', from);
        if (open == std::u16string::npos) {
            break;
        }
        const std::size_t close = text.find(u'}', open + 1);
        if (close == std::u16string::npos) {
            break;
        }
        const std::u16string content = text.substr(open + 1, close - open - 1);
        std::u16string value;
        if (content.starts_with(u"in")) {
            // "in" and one more character, then the number.
            value = FormatRoundedDistance(ParseInt(content.size() > 3 ? content.substr(3) : u""),
                                          IsMiles());
            // Empty words are no words: the text would be said without its distance.
            if (const auto spoken = Phrase(value); spoken && IsWorded(*spoken)) {
                value = *spoken;
            } else {
                isWorded = false;
            }
        } else {
            value = FormatRoundedDistanceNumber(ParseInt(content), IsMiles());
        }
        text.replace(open, close - open + 1, value);
        // Searching on after the inserted text: a phrase that holds braces cannot loop.
        from = open + value.size();
    }
    for (std::size_t open = text.find(u'('); open != std::u16string::npos;
         open = text.find(u'(', open + 1)) {
        const std::size_t close = text.find(u')', open + 1);
        if (close == std::u16string::npos) {
            break;
        }
        const std::u16string number = FormatRoundedDistanceNumber(
            ParseInt(std::u16string_view(text).substr(open + 1, close - open - 1)), IsMiles());
        text.replace(open + 1, close - open - 1, number);
    }
    return isWorded;
}

bool SpokenAdviceBuilder::ExpandPhrase(const Variables& variables, std::u16string& text) const {
    ReplaceNames(variables, text);
    ReplaceNames(Phrases(), text);
    std::size_t from = 0;
    while (true) {
        const std::size_t open = text.find(u'$', from);
        if (open == std::u16string::npos) {
            break;
        }
        const std::size_t close = text.find(u'$', open + 1);
        if (close == std::u16string::npos) {
            break;
        }
        const std::u16string_view content =
            std::u16string_view(text).substr(open + 1, close - open - 1);
        const std::size_t star = content.find(u'*');
        const auto integer = static_cast<float>(ParseInt(content.substr(0, star)));
        const auto factor = static_cast<float>(
            star == std::u16string_view::npos ? 0.0 : ParseNumber(content.substr(star + 1)));
        const std::u16string product = Decimal(Truncate(integer * factor));
        text.replace(open, close - open + 1, product);
        from = open + product.size();
    }
    return ExpandDistances(text);
}

void SpokenAdviceBuilder::FillVariables(Variables& variables, const AdviceRecord& record) const {
    const JunctionDescription& junction = record.junction;
    const std::u16string nextDirection(junction.nextDirection.View());
    const std::u16string roundaboutDirection(junction.roundaboutDirection.View());
    const std::u16string target(junction.targetRoadNumber.View());
    std::u16string di;
    if (!target.empty()) {
        di = Phrase(target == junction.currentRoadNumber.View() ? u"DI_stay" : u"DI_onto")
                 .value_or(u"");
    }
    const std::pair<const char16_t*, std::u16string> values[] = {
        {u"distance1", Decimal(m_limitD1)},
        {u"distance2", Decimal(m_limitD2)},
        {u"distance3", Decimal(m_limitD3)},
        {u"next_direction", Phrase(nextDirection).value_or(nextDirection)},
        {u"RN", target},
        {u"SI", u""},
        {u"exit_number", Decimal(junction.exitNumber)},
        {u"Advice2b for next action", Phrase(AdviceName(record.text) + u".A2b").value_or(u"")},
        {u"DI", di},
        {u"roundabout_direction", Phrase(roundaboutDirection).value_or(roundaboutDirection)},
        {u"distance_of_next_action",
         junction.stretchLength >= 1000 ? Decimal(junction.stretchLength) : u""},
        {u"follow_distance",
         Phrase(IsMiles() ? u"FollowMiles" : u"FollowKilometres").value_or(u"")},
        {u"priority_next_direction", Phrase(u"Priority" + nextDirection).value_or(u"")},
    };
    for (const auto& [name, value] : values) {
        variables.emplace(name, value);
    }
}
