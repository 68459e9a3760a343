#include "advisor/advisorstore.h"

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
    bool isChanged = false;
    if (!m_isLoaded) {
        (void)m_configuration->LoadGeneralProperties(folder);
        (void)m_configuration->LoadDecisionTables(folder, m_decisionTables);
        m_isLoaded = true;
        isChanged = true;
    }
    if (phraseColumn != m_lastPhraseColumn || destinationColumn != m_lastDestinationColumn) {
        if (phraseColumn >= 0) {
            m_configuration->LoadPhraseTables(folder, static_cast<unsigned>(phraseColumn));
        }
        if (destinationColumn >= 0) {
            (void)m_configuration->LoadDestinationPhrases(folder,
                                                          static_cast<unsigned>(destinationColumn));
        }
        m_lastPhraseColumn = phraseColumn;
        m_lastDestinationColumn = destinationColumn;
        isChanged = true;
    }
    if (isChanged || !m_tables) {
        m_tables = SnapshotAdvisorTables(*m_configuration);
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
}
