#pragma once
// The advisor behind the facade: walks its route junction by junction in stretches of "Crossings"
// advice records, keeps the records in route order and turns the two ahead of the vehicle into
// an advice. One caller at a time; no lock of its own.

#include "advisor/advicelist.h"
#include "advisor/advisor.h"
#include "advisor/decisiontables.h"
#include "advisor/junctionrules.h"
#include "advisor/spokenadvicebuilder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class Advisor final : public IAdvisor {
public:
    // Analyses the first stretch of a built route (status 8); any other route leaves the
    // advisor empty.
    Advisor(RetrievalEngine::RetrievalEnginePtr source, RouteRequestResult route,
            std::u16string folder, const AdviceSettings& settings);

    AdvicePtr& CreateAdvice(AdvicePtr& out, const MatchedPosition& position,
                            const RouteIteratorPtr& route, std::int32_t request) override;
    AdvicePtr& AnalyseRoute(AdvicePtr& out) override;
    std::int32_t EncodeNextAdvice(std::uint8_t* buffer, AdvicePtr advice) override;
    void DecodeAdvice(const std::uint8_t* data, std::int32_t length) override;

    [[nodiscard]] const AdviceList& GetAdviceList() const { return m_adviceList; }
    [[nodiscard]] std::int32_t GetAdviceLimit() const { return m_adviceLimit; }
    [[nodiscard]] const std::vector<DecisionQuery>& GetDecisionQueries() const {
        return m_decisionQueries;
    }
    [[nodiscard]] const AdvisorTablesPtr& GetTables() const { return m_tables; }

private:
    void WalkStretch();
    // The static texts of the records appended since the last call (mode 3).
    void AttachStaticTexts();
    // Stores the junction's decision query; false when the module has no conditions.
    bool StoreDecisionQuery();
    void BuildJunctionRecord(std::int32_t index);
    void AddLengthAndDuration();
    // The record's header texts, numbers and iterators from the walk iterator's item.
    void FillRecordHead(AdviceRecord& record);
    [[nodiscard]] std::int32_t ManoeuvreCode(std::u16string& name,
                                             const JunctionDescription& junction,
                                             const RouteItem& item) const;
    [[nodiscard]] std::int32_t ReadAdviceLimit() const;
    // The records ahead of the vehicle; false when the first is not in the list.
    [[nodiscard]] bool FindRecordsAhead(const RouteIterator& route, AdviceRecord& first,
                                        AdviceRecord& second, bool& hasSecond) const;
    void MeasureToJunction(const MatchedPosition& position, RouteIterator& route,
                           AdviceRecord& record) const;
    [[nodiscard]] std::u16string Attribute(std::u16string_view name);

    RetrievalEngine::RetrievalEnginePtr m_source;
    RouteRequestResult m_route;
    std::u16string m_folder;
    JunctionRules m_rules;
    std::u16string m_module;
    AdviceList m_adviceList;
    SpokenAdviceBuilder m_phraseBuilder;
    RouteIteratorPtr m_walk;
    std::int32_t m_pendingDistance = 0;
    std::int32_t m_pendingTime = 0;
    std::int32_t m_walkedTime = 0;
    std::int32_t m_skippedLength = 0;
    std::int64_t m_lengthAhead = 0; // metres of the route from the walk iterator's item on
    std::int32_t m_encodeCounter = 0;
    std::vector<DecisionQuery> m_decisionQueries;
    std::u16string m_roadClass;
    std::map<std::u16string, std::u16string> m_conditionValues;
    bool m_isFreshStart = true;
    std::int32_t m_junctionIndex = 0;
    std::int32_t m_adviceLimit = 0;
    AdviceSettings m_settings;
    AdvisorTablesPtr m_tables;
    UnitSettings m_units{};
    std::size_t m_staticTextRecords = 0; // leading records that hold their static texts
};

// The manoeuvre code of an advice name at a junction: a qualifier after "+" (cut from name)
// first, then the roundabout exit (200 more where traffic keeps to the left, drivingSide "Left"),
// a U-turn, the next direction; -1 for none of them.
[[nodiscard]] std::int32_t ManoeuvreCodeOf(std::u16string& name,
                                           const JunctionDescription& junction,
                                           std::u16string_view drivingSide);

// The facade over an advisor (null: one that could not be made, which then gives null advice and
// 0 bytes); null when memory runs out.
[[nodiscard]] AdvisorPtr MakeAdvisorFacade(AdvisorPtr advisor);
