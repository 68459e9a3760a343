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

// Rows "key;value"; "\xA7" is "§" in the files' code page.
inline std::vector<std::string> Phrases() {
    return {"Turn.A1;[In] {in <distance1>} [Turn]",
            "Turn.A2a;Bitte [In] {in <distance2>} [Turn]<DI>",
            "Turn.A2b;[Then] [Turn]",
            "Turn.A3;[Now] [Turn]",
            "Turn.Static;[Turn] <RN>",
            "Exit.A2b;[TakeExit] #<exit_number>#",
            "Cut.A1;[Cut]\xA7 [Rest]",
            "Far.A2b;[Far] {in 450}",
            "CutNext.A2b;[Never]\xA7",
            "Arrive.A1;[In] {in <distance1>} [Arrive]",
            "Arrive.A3;[Arrive]",
            "DestinationAdvice;@ [DestinationAhead]",
            "AppendingDestinationAdvice; [AndThenDestination]",
            "ShortCA; [ThenImmediately] ",
            "NormalCA; [Then] ",
            "DI_stay; [Stay]",
            "DI_onto; [Onto] #<RN>#",
            "FollowKilometres;[FollowKm]",
            "FollowMiles;[FollowMiles]",
            "SOA.IdleTime.TypeAB.NoChangeOfRN.A1;[StayOnRoute] {in <distance_of_next_action>}",
            "SOA.IdleTime.NoRN.A1;<follow_distance>",
            "RequestFollow;[FollowRoad] <follow_distance>",
            "RequestDistance;[FollowRoad] {in <distance_of_next_action>}",
            "PriorityLeft;[BendsLeft]",
            "200m;[Metres200]",
            "300m;[Metres300]",
            "800m;[Metres800]",
            "160m;",
            "300yd;[Yards300]",
            "x;[x]",
            "xx;[x0][x]"};
}

// Announcement points of T_Street, Destination and HighwayCrossings1 at 800, 300 and 100 m;
// "Equal" has its second point at its last.
inline std::vector<std::string> Distances() {
    std::vector<std::string> rows = {"SOD.Equal.Bc.d1;800", "SOD.Equal.Bc.d2;100",
                                     "SOD.Equal.Bc.d3;100", "B2B.ShortDBA;150",
                                     "B2B.NormalDBA;400",   "B2S.ShortDBA;"};
    for (const char* module : {"T_Street", "Destination", "HighwayCrossings1"}) {
        for (const char* limit : {".d1;800", ".d2;300", ".d3;100"}) {
            rows.push_back(std::string("SOD.") + module + ".Bc" + limit);
        }
    }
    return rows;
}

inline std::string Build(const std::vector<std::string>& rows) {
    testdata::ConfigTextWriter writer;
    for (const std::string& row : rows) {
        writer.Line(row);
    }
    return writer.Build();
}

// The tables, with the driver's request table when withRequestTable is set.
inline AdvisorTablesPtr LoadTables(bool withRequestTable = true) {
    testdata::TempDeviceRoot root;
    testdata::ConfigTextWriter tables;
    tables.Module("driverRequest", {"StreetType", "RN_Changes", "IsDistanceMoreThanRange"})
        .Value({"B", "Yes", "Yes"}, "RequestDistance")
        .Value({"B", "No", "Yes"}, "RequestFollow")
        .Value({"B", "Yes", "No"}, "RequestFollow")
        .Value({"B", "No", "No"}, "NoAdvice");
    const std::string general = Build({"IdleTimeA;10000", "IdleTimeB;5000", "IdleTimeS;"});
    AdvisorConfiguration configuration;
    DecisionTableStore store;
    if (!root.WriteFile(u"\\ConfigFiles\\SOA.csv", Build(Phrases())) ||
        !root.WriteFile(u"\\ConfigFiles\\SOD.csv", Build(Distances())) ||
        !root.WriteFile(u"\\ConfigFiles\\General.properties", general) ||
        !root.WriteFile(u"\\ConfigFiles\\DecisionTables.csv", tables.Build()) ||
        !configuration.LoadGeneralProperties(u"\\") ||
        !configuration.LoadDestinationPhrases(u"\\", 0) ||
        (withRequestTable && !configuration.LoadDecisionTables(u"\\", store))) {
        return nullptr;
    }
    configuration.LoadPhraseTables(u"\\", 0);
    return SnapshotAdvisorTables(configuration);
}

} // namespace phrasefixture
