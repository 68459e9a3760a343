#pragma once
// The advisor tables of the phrase builder's tests, written as configuration files with the
// advisor writers and loaded through the advisor configuration. One device root at a time.

#include "advisor/advisorconfiguration.h"
#include "advisor/spokenadvicebuilder.h"
#include "testdata/advisorwriter.h"
#include "testdata/tempdir.h"

#include <string>
#include <vector>

namespace phrasefixture {

using Rows = std::vector<std::vector<std::string>>;

// "§" as the configuration files hold it (code page 1252).
inline const std::string kCut = "\xA7";

inline Rows Phrases() {
    return {
        {"Turn.A1", "[In] {in <distance1>} [Turn]"},
        {"Turn.A2a", "Bitte [In] {in <distance2>} [Turn]<DI>"},
        {"Turn.A2b", "[Then] [Turn]"},
        {"Turn.A3", "[Now] [Turn]"},
        {"Turn.Static", "[Turn] <RN>"},
        {"Exit.A2b", "[TakeExit] #<exit_number>#"},
        {"Cut.A1", "[Cut]" + kCut + " [Rest]"},
        {"Cut.A2b", "[Cut]"},
        {"CutNext.A2b", "[Never]" + kCut},
        {"Arrive.A1", "[In] {in <distance1>} [Arrive]"},
        {"Arrive.A3", "[Arrive]"},
        {"DestinationAdvice", "@ [DestinationAhead]"},
        {"AppendingDestinationAdvice", " [AndThenDestination]"},
        {"ShortCA", " [ThenImmediately] "},
        {"NormalCA", " [Then] "},
        {"DI_stay", " [Stay]"},
        {"DI_onto", " [Onto] #<RN>#"},
        {"FollowKilometres", "[FollowKm]"},
        {"FollowMiles", "[FollowMiles]"},
        {"SOA.IdleTime.TypeAB.NoChangeOfRN.A1", "[StayOnRoute] <follow_distance>"},
        {"SOA.IdleTime.NoRN.A1", "<follow_distance>"},
        {"RequestFollow", "[FollowRoad] <follow_distance>"},
        {"PriorityLeft", "[BendsLeft]"},
        {"200m", "[Metres200]"},
        {"300m", "[Metres300]"},
        {"800m", "[Metres800]"},
        {"300yd", "[Yards300]"},
        {"x", "[x]"},
        {"xx", "[x0][x]"},
    };
}

inline Rows Distances() {
    return {
        {"SOD.T_Street.Bc.d1", "800"},
        {"SOD.T_Street.Bc.d2", "300"},
        {"SOD.T_Street.Bc.d3", "100"},
        {"SOD.Destination.Bc.d1", "800"},
        {"SOD.Destination.Bc.d2", "300"},
        {"SOD.Destination.Bc.d3", "100"},
        {"SOD.HighwayCrossings1.Bc.d1", "800"},
        {"SOD.HighwayCrossings1.Bc.d2", "300"},
        {"SOD.HighwayCrossings1.Bc.d3", "100"},
        {"SOD.Equal.Bc.d1", "800"},
        {"SOD.Equal.Bc.d2", "100"},
        {"SOD.Equal.Bc.d3", "100"},
        {"B2B.ShortDBA", "150"},
        {"B2B.NormalDBA", "400"},
        {"B2S.ShortDBA", ""},
    };
}

inline Rows General() {
    return {{"IdleTimeA", "10000"}, {"IdleTimeB", "5000"}, {"IdleTimeS", ""}};
}

inline std::string Build(const Rows& rows) {
    testdata::ConfigTextWriter writer;
    writer.Comment(" key;value");
    for (const auto& row : rows) {
        writer.Row(row);
    }
    return writer.Build();
}

// The tables of the rows, and the driver's request table when withRequestTable is set.
inline AdvisorTablesPtr LoadTables(const Rows& phrases = Phrases(),
                                   const Rows& distances = Distances(),
                                   bool withRequestTable = true) {
    testdata::TempDeviceRoot root;
    testdata::ConfigTextWriter tables;
    tables.Module("driverRequest", {"StreetType", "RN_Changes", "IsDistanceMoreThanRange"})
        .Value({"B", "Yes", "Yes"}, "RequestFollow")
        .Value({"B", "No", "Yes"}, "RequestFollow")
        .Value({"B", "Yes", "No"}, "RequestFollow")
        .Value({"B", "No", "No"}, "NoAdvice");
    const bool written = root.WriteFile(u"\\ConfigFiles\\SOA.csv", Build(phrases)) &&
                         root.WriteFile(u"\\ConfigFiles\\SOD.csv", Build(distances)) &&
                         root.WriteFile(u"\\ConfigFiles\\General.properties", Build(General())) &&
                         root.WriteFile(u"\\ConfigFiles\\DecisionTables.csv", tables.Build());
    AdvisorConfiguration configuration;
    DecisionTableStore store;
    if (!written || !configuration.LoadGeneralProperties(u"\\") ||
        !configuration.LoadDestinationPhrases(u"\\", 0) ||
        (withRequestTable && !configuration.LoadDecisionTables(u"\\", store))) {
        return nullptr;
    }
    configuration.LoadPhraseTables(u"\\", 0);
    return SnapshotAdvisorTables(configuration);
}

} // namespace phrasefixture
