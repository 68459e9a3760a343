#include "advisor/advisorstore.h"

#include "advisor/advisorkeywords.h"
#include "advisor/junctionrules.h"

#include <algorithm>
#include <utility>

namespace {

// True when every advice a decision table can give (its name before any "+") has wording in the
// phrase table: a key of its own name, or of its name and a stage after ".".
bool EveryAdviceHasWording(const DecisionTableStore& decisions,
                           const AdvisorConfiguration::Table& phrases) {
    for (const DecisionModule& module : decisions.GetModules()) {
        for (const std::u16string& result : module.results) {
            const std::u16string advice = result.substr(0, result.find(u'+'));
            if (advice.empty() || advice == AdvisorKeywords::kNoAdvice) {
                continue;
            }
            const auto found = phrases.lower_bound(advice);
            const bool isWorded =
                found != phrases.end() && found->first.compare(0, advice.size(), advice) == 0 &&
                (found->first.size() == advice.size() || found->first[advice.size()] == u'.');
            if (!isWorded) {
                return false;
            }
        }
    }
    return true;
}

// True when the decision tables answer every question the advisor can put to them: for each
// module the junction analysis names and for the driver's request, a row with a result for every
// combination of the values its conditions can take. A question that carries a country's driving
// side that is no side word ("Left " or "left", say) is left out: the advisor asks it nothing
// that needs the side there, and the general settings' line is named on its own.
bool AnswersEveryQuestion(const DecisionTableStore& decisions,
                          const AdvisorConfiguration::Table& general) {
    std::vector<std::u16string> modules = JunctionRules::DecidedModules();
    modules.emplace_back(AdvisorKeywords::kDriverRequest);
    const std::u16string sideCondition(AdvisorKeywords::kDrivingSideOfRoad);
    for (const std::u16string& name : modules) {
        const DecisionModule* module = decisions.FindModule(name);
        if (module == nullptr) {
            return false;
        }
        // Each condition once, with the values it can take.
        std::vector<std::pair<std::u16string, std::vector<std::u16string>>> conditions;
        for (const std::u16string& condition : module->conditions) {
            if (std::any_of(conditions.begin(), conditions.end(),
                            [&condition](const auto& known) { return known.first == condition; })) {
                continue;
            }
            std::vector<std::u16string> values =
                name == AdvisorKeywords::kDriverRequest
                    ? SpokenAdviceBuilder::RequestConditionValues(condition)
                    : JunctionRules::ConditionValues(name, condition, general);
            if (condition == sideCondition) {
                std::erase_if(values, [](const std::u16string& side) {
                    return !JunctionRules::IsDrivingSideWord(side);
                });
            }
            conditions.emplace_back(condition, std::move(values));
        }
        std::vector<std::size_t> at(conditions.size(), 0);
        DecisionQuery query;
        query.module = name;
        for (;;) {
            for (std::size_t i = 0; i < conditions.size(); ++i) {
                query.values[conditions[i].first] = conditions[i].second[at[i]];
            }
            if (decisions.Evaluate(query).empty()) {
                return false;
            }
            std::size_t i = 0;
            while (i < at.size() && ++at[i] == conditions[i].second.size()) {
                at[i] = 0;
                ++i;
            }
            if (i == at.size()) {
                break;
            }
        }
    }
    return true;
}

// Appends file unless it is empty or already there.
void AppendUnusableFile(std::vector<std::u16string>& files, const std::u16string& file) {
    if (!file.empty() && std::find(files.begin(), files.end(), file) == files.end()) {
        files.push_back(file);
    }
}

} // namespace

AdvisorStore& AdvisorStore::Instance() {
    static AdvisorStore store;
    return store;
}

AdvisorTablesPtr AdvisorStore::TablesFor(const std::u16string& folder, std::int32_t phraseColumn,
                                         std::int32_t destinationColumn) {
    const std::lock_guard lock(m_mutex);
    if (!m_configuration) {
        m_configuration = std::make_unique<AdvisorConfiguration>();
    }
    // Each file that could not be used whole, once, in the order the files are read; a file
    // read whole is named when it lacks an entry the advisor can ask of it.
    const auto note = [this, &folder](std::vector<std::u16string>& into, const char16_t* name,
                                      bool holdsEveryEntry) {
        const std::u16string unusable = m_configuration->GetUnusableFile(name);
        AppendUnusableFile(into, !unusable.empty() || holdsEveryEntry
                                     ? unusable
                                     : AdvisorConfiguration::SpelledConfigFilePath(folder, name));
    };
    bool isChanged = false;
    if (!m_isLoaded) {
        (void)m_configuration->LoadGeneralProperties(folder);
        (void)m_configuration->LoadDecisionTables(folder, m_decisionTables);
        const AdvisorConfiguration::Table& general = m_configuration->GetGeneralSettings();
        note(m_unusableSettings, u"General.properties", JunctionRules::HoldsAngleSettings(general));
        note(m_unusableSettings, u"DecisionTables.csv",
             AnswersEveryQuestion(m_decisionTables, general));
        m_isLoaded = true;
        isChanged = true;
    }
    if (phraseColumn != m_lastPhraseColumn || destinationColumn != m_lastDestinationColumn) {
        m_unusablePhrases.clear();
        if (phraseColumn >= 0) {
            m_configuration->LoadPhraseTables(folder, static_cast<unsigned>(phraseColumn));
        }
        if (destinationColumn >= 0) {
            (void)m_configuration->LoadDestinationPhrases(folder,
                                                          static_cast<unsigned>(destinationColumn));
        }
        if (phraseColumn >= 0) {
            // Phrases that word no advice of the decision tables cannot speak it either: the
            // advice's own file is named; a distance without words, the distances' file.
            const AdvisorConfiguration::Table& phrases = m_configuration->GetPhraseTable();
            note(m_unusablePhrases, u"SOA.csv", EveryAdviceHasWording(m_decisionTables, phrases));
            note(m_unusablePhrases, u"SpokenDistances.csv",
                 SpokenAdviceBuilder::WordsEveryDistance(
                     phrases, m_configuration->GetDestinationPhrases(), destinationColumn == 1));
            note(m_unusablePhrases, u"RouteNumbers.csv", true);
        }
        if (destinationColumn >= 0) {
            note(m_unusablePhrases, u"SOD.csv", true);
        }
        m_lastPhraseColumn = phraseColumn;
        m_lastDestinationColumn = destinationColumn;
        isChanged = true;
    }
    if (isChanged || !m_tables) {
        std::vector<std::u16string> unusable = m_unusableSettings;
        for (const std::u16string& file : m_unusablePhrases) {
            AppendUnusableFile(unusable, file);
        }
        m_tables = SnapshotAdvisorTables(*m_configuration, std::move(unusable));
    }
    return m_tables;
}

bool AdvisorStore::IsLoaded() const {
    const std::lock_guard lock(m_mutex);
    return m_isLoaded;
}

std::int32_t AdvisorStore::LastPhraseColumn() const {
    const std::lock_guard lock(m_mutex);
    return m_lastPhraseColumn;
}

std::int32_t AdvisorStore::LastDestinationColumn() const {
    const std::lock_guard lock(m_mutex);
    return m_lastDestinationColumn;
}

void AdvisorStore::Reset() {
    const std::lock_guard lock(m_mutex);
    m_configuration.reset();
    m_decisionTables = DecisionTableStore();
    m_isLoaded = false;
    m_lastPhraseColumn = -1;
    m_lastDestinationColumn = -1;
    m_tables.reset();
    m_unusableSettings.clear();
    m_unusablePhrases.clear();
}
