#pragma once
// The spoken advice of the manoeuvre ahead: chooses by distance which announcement of the junction
// is due (first, second, short stretch, last, idle or on the driver's request), fills its phrase
// with distances, names and numbers, and joins the following manoeuvre when it comes soon. All
// words come from the advisor's tables, which the builder holds as an unchangeable snapshot.
// One user at a time; takes no lock.

#include "advisor/advicelist.h"
#include "advisor/advicetext.h"
#include "advisor/advisorconfiguration.h"
#include "advisor/decisiontables.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The advisor configuration's tables, copied once and never changed.
struct AdvisorTables {
    PhraseTable phrases;      // "SOA.csv", "SpokenDistances.csv", "RouteNumbers.csv"
    PhraseTable destinations; // "SOD.csv": announcement distances and connector limits
    PhraseTable general;      // "General.properties"
    PhraseTable generalLines; // each key of "General.properties" with its line as written there
    std::optional<DecisionTableStore> decisionTables;
    // The configuration files (device paths as the folder spells them) that are missing or
    // could not be used whole, so that advice made with these tables is not to be spoken;
    // empty when every file was read whole.
    std::vector<std::u16string> unusableFiles;
};
using AdvisorTablesPtr = std::shared_ptr<const AdvisorTables>;

[[nodiscard]] AdvisorTablesPtr
SnapshotAdvisorTables(const AdvisorConfiguration& configuration,
                      std::vector<std::u16string> unusableFiles = {});

// The advisor's unit block; distances are spoken in miles and yards when word 2 is 1.
using UnitSettings = std::array<std::uint32_t, 3>;

class SpokenAdviceBuilder {
public:
    using Variables = std::map<std::u16string, std::u16string>;

    SpokenAdviceBuilder();

    void SetUnits(const UnitSettings& units) { m_unitSettings = units; }
    // Takes a snapshot of the configuration's tables.
    void SetConfiguration(const AdvisorConfiguration& configuration);
    void SetTables(AdvisorTablesPtr tables);
    // The phrase table the builder reads, for the advices it helps to make.
    [[nodiscard]] PhraseTablePtr GetPhraseTable() const;

    // Record 0 is the manoeuvre ahead (distance in metres), record 1 the one after it. On entry
    // their texts hold advice names; on return record 0's text holds the words due now (maybe
    // none). request is 1 when the driver asked. 0 for an empty list or a junction without
    // announcements (the list then unchanged), else 1.
    std::int32_t BuildAdvice(AdviceList& records, std::int32_t request);
    // Once per builder: every record's text becomes its expanded ".Static" phrase. 0 for an
    // empty list, else 1.
    std::int32_t BuildStaticTexts(AdviceList& records);

    // Names from the variables and then the phrase table, "$n*f$", "{n}", "{in n}" and "(n)".
    // Malformed markup is left as it stands. False when the phrase table has no words, or
    // empty ones, for a distance of "{in n}" (its text, such as "400m", stands in the text then):
    // such a text is never said.
    bool ExpandPhrase(const Variables& variables, std::u16string& text) const;
    // Every "<name>" found in the map by its value, again within inserted values; a bounded
    // number of replacements, after which the rest is left as it stands.
    static void ReplaceNames(const PhraseTable& map, std::u16string& text);
    // The thirteen variables of a record; a name already present keeps its value.
    void FillVariables(Variables& variables, const AdviceRecord& record) const;
    // Joins the next manoeuvre's phrase to text with a connector when the next junction is near
    // enough; true when a connector was found. A "§" in text cuts it there and joins nothing.
    bool AppendNextAction(std::u16string_view roadClass, std::u16string_view key,
                          const AdviceRecord& next, std::u16string_view manoeuvre,
                          std::u16string& text);
    void BuildIdleText(const JunctionDescription& junction, std::u16string& out,
                       bool routeNumberChanges) const;
    // The answer to the driver's request for the junction ahead (adviceName: its advice name);
    // at the manoeuvre, where its distance rounds to nothing, the junction's ".A3" text.
    void BuildRequestText(const JunctionDescription& junction, std::u16string_view adviceName,
                          bool routeNumberChanges, std::int32_t distance);
    // The idle limit of the road class from "IdleTime" + its letter; kept when there is none.
    void ReadIdleLimit(std::u16string_view roadClass);
    // A whole number of the destination phrase table; false (value untouched) when missing or
    // empty.
    [[nodiscard]] bool LookupDistanceLimit(const std::u16string& key, std::int32_t& value) const;

    // Every value the driver's request gives the condition of "driverRequest"; only the empty
    // text for a condition it does not give.
    [[nodiscard]] static std::vector<std::u16string>
    RequestConditionValues(std::u16string_view condition);
    // True when the phrase table words every distance an announcement can speak in the unit
    // given (words of blanks only, or none, are no words): each limit of the destination phrase
    // table's "SOD." manoeuvres (0 for one that is missing, and for a manoeuvre without limits) and
    // each stretch length between a last and a second limit. True when no phrase speaks a distance
    // ("{in ...}").
    [[nodiscard]] static bool WordsEveryDistance(const PhraseTable& phrases,
                                                 const PhraseTable& destinations, bool imperial);

    [[nodiscard]] std::int32_t GetIdleLimit() const { return m_idleLimit; }
    [[nodiscard]] const Variables& GetVariables() const { return m_variables; }

private:
    [[nodiscard]] const PhraseTable& Phrases() const { return m_tables->phrases; }
    [[nodiscard]] std::optional<std::u16string> Phrase(const std::u16string& key) const;
    [[nodiscard]] bool IsMiles() const { return m_unitSettings[2] == 1; }
    // Loads the limits, texts and variables of a new junction ahead; true when the route number
    // changes there.
    bool StartJunction(const AdviceRecord& ahead, const AdviceRecord& next);
    // False when a distance of "{in n}" has no words in the phrase table, or empty ones.
    bool ExpandDistances(std::u16string& text) const;
    // The announcement due at the record's distance, consumed; its words (maybe none) into
    // spoken. True when the next manoeuvre was joined to it.
    bool ChooseAnnouncement(AdviceRecord& ahead, const AdviceRecord& next, std::u16string& spoken);

    AdvisorTablesPtr m_tables;
    std::int32_t m_lastJunctionId = -1;
    std::int32_t m_idleLimit = 10000;
    bool m_staticTextsBuilt = false;
    std::u16string m_textA1;
    std::u16string m_textA2a;
    std::u16string m_textA2b;
    std::u16string m_textA3;
    std::u16string m_idleText;
    std::u16string m_requestText;
    std::int32_t m_limitD1 = 0;
    std::int32_t m_limitD2 = 0;
    std::int32_t m_shortStretch = 0;
    std::int32_t m_limitD3 = 0;
    Variables m_variables;
    UnitSettings m_unitSettings{};
    bool m_nextActionAnnounced = false;
};

// The letter of a road class: "A" when it holds an "A", else "B" when it holds a "B", else "S".
[[nodiscard]] std::u16string RoadClassLetter(std::u16string_view roadClass);
