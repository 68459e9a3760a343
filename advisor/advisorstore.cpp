#include "advisor/advisorstore.h"

#include "advisor/advisorkeywords.h"

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
    const auto unusable = [&folder](const char16_t* name) {
        return AdvisorConfiguration::ConfigFilePath(folder, name);
    };
    bool isChanged = false;
    if (!m_isLoaded) {
        if (!m_configuration->LoadGeneralProperties(folder) ||
            m_configuration->GetGeneralSettings().empty()) {
            m_unusableSettings = unusable(u"General.properties");
        } else if (!m_configuration->LoadDecisionTables(folder, m_decisionTables) ||
                   m_decisionTables.GetModules().empty()) {
            m_unusableSettings = unusable(u"DecisionTables.csv");
        }
        m_isLoaded = true;
        isChanged = true;
    }
    if (phraseColumn != m_lastPhraseColumn || destinationColumn != m_lastDestinationColumn) {
        m_unusablePhrases.clear();
        if (destinationColumn >= 0 && !m_configuration->LoadDestinationPhrases(
                                          folder, static_cast<unsigned>(destinationColumn))) {
            m_unusablePhrases = unusable(u"SOD.csv");
        }
        if (phraseColumn >= 0) {
            m_configuration->LoadPhraseTables(folder, static_cast<unsigned>(phraseColumn));
            if (!EveryAdviceHasWording(m_decisionTables, m_configuration->GetPhraseTable())) {
                m_unusablePhrases = unusable(u"SOA.csv");
            }
        }
        m_lastPhraseColumn = phraseColumn;
        m_lastDestinationColumn = destinationColumn;
        isChanged = true;
    }
    if (isChanged || !m_tables) {
        m_tables = SnapshotAdvisorTables(
            *m_configuration, m_unusableSettings.empty() ? m_unusablePhrases : m_unusableSettings);
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
