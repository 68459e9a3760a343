#pragma once
// The advisor configuration shared by every advisor of the process: general settings and
// decision tables loaded once, and phrase tables for the columns an advisor asks for. Tables once
// handed out never change (other columns make new ones), so advisors and advices on any thread
// read them without a lock; loading takes the store's lock.

#include "advisor/spokenadvicebuilder.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AdvisorStore {
public:
    [[nodiscard]] static AdvisorStore& Instance();

    // The tables for these columns, loading the general settings and decision tables from folder
    // on the first call of the process (found or not) and the phrase tables when the columns
    // differ from those last loaded. A negative column loads no phrases. The tables name each
    // file that is missing, could not be used whole or lacks an entry the advisor can ask of it
    // (advice made with them says nothing).
    [[nodiscard]] AdvisorTablesPtr TablesFor(const std::u16string& folder,
                                             std::int32_t phraseColumn,
                                             std::int32_t destinationColumn);

    [[nodiscard]] bool IsLoaded() const;
    [[nodiscard]] std::int32_t LastPhraseColumn() const;
    [[nodiscard]] std::int32_t LastDestinationColumn() const;
    // Back to the state of a new process, for tests; tables handed out stay as they are.
    void Reset();

private:
    AdvisorStore() = default;

    mutable std::mutex m_mutex;
    std::unique_ptr<AdvisorConfiguration> m_configuration;
    DecisionTableStore m_decisionTables;
    bool m_isLoaded = false;
    std::int32_t m_lastPhraseColumn = -1;
    std::int32_t m_lastDestinationColumn = -1;
    AdvisorTablesPtr m_tables;
    std::vector<std::u16string> m_unusableSettings; // of the general settings and decisions
    std::vector<std::u16string> m_unusablePhrases;  // of the phrases of the last columns
};
