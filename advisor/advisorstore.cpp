#include "advisor/advisorstore.h"

#include "advisor/advisorkeywords.h"

#include <algorithm>
#include <initializer_list>

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
    // Each file that could not be used whole, once, in the order the files are read.
    const auto collect = [this](std::vector<std::u16string>& into,
                                std::initializer_list<const char16_t*> names) {
        for (const char16_t* name : names) {
            AppendUnusableFile(into, m_configuration->GetUnusableFile(name));
        }
    };
    bool isChanged = false;
    if (!m_isLoaded) {
        (void)m_configuration->LoadGeneralProperties(folder);
        (void)m_configuration->LoadDecisionTables(folder, m_decisionTables);
        collect(m_unusableSettings, {u"General.properties", u"DecisionTables.csv"});
        m_isLoaded = true;
        isChanged = true;
    }
    if (phraseColumn != m_lastPhraseColumn || destinationColumn != m_lastDestinationColumn) {
        m_unusablePhrases.clear();
        if (phraseColumn >= 0) {
            m_configuration->LoadPhraseTables(folder, static_cast<unsigned>(phraseColumn));
            collect(m_unusablePhrases, {u"SOA.csv", u"SpokenDistances.csv", u"RouteNumbers.csv"});
            // Phrases read whole that word no advice of the decision tables cannot speak it
            // either: the advice's own file is named.
            if (m_configuration->GetUnusableFile(u"SOA.csv").empty() &&
                !EveryAdviceHasWording(m_decisionTables, m_configuration->GetPhraseTable())) {
                m_unusablePhrases.push_back(
                    AdvisorConfiguration::SpelledConfigFilePath(folder, u"SOA.csv"));
            }
        }
        if (destinationColumn >= 0) {
            (void)m_configuration->LoadDestinationPhrases(folder,
                                                          static_cast<unsigned>(destinationColumn));
            collect(m_unusablePhrases, {u"SOD.csv"});
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
