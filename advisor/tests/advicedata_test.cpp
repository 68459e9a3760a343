// Our advisor data as the phrase builder and the advices use it: announcement points for every
// module and road class a record can carry, a phrase for every distance text, and a voice line
// for every key that a spoken text can come to hold.

#include "advisor/advicetext.h"
#include "advisor/advisorkeywords.h"
#include "advisor/spokenadvicebuilder.h"
#include "advisor/voiceoutput.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/distancetext.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string NarrowDataText(std::u16string_view text) {
    return {text.begin(), text.end()};
}

std::string ReadSource(const std::string& name) {
    std::ifstream in(std::string(NAV_ADVISOR_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The tables of one value column of our data (0 metric and full, 1 miles and brief).
AdvisorTablesPtr OurData(unsigned column) {
    testdata::TempDeviceRoot root;
    for (const std::string name : {"General.properties", "SOA.csv", "SpokenDistances.csv",
                                   "RouteNumbers.csv", "SOD.csv", "DecisionTables.csv"}) {
        if (!root.WriteFile(u"\\ConfigFiles\\" + std::u16string(name.begin(), name.end()),
                            ReadSource("ConfigFiles/" + name))) {
            return nullptr;
        }
    }
    AdvisorConfiguration configuration;
    DecisionTableStore store;
    configuration.LoadPhraseTables(u"\\", column);
    return configuration.LoadDestinationPhrases(u"\\", column) &&
                   configuration.LoadDecisionTables(u"\\", store)
               ? SnapshotAdvisorTables(configuration)
               : nullptr;
}

TEST(AdviceData, GivesAnnouncementPointsForEveryModuleAndRoadClass) {
    namespace K = AdvisorKeywords;
    for (unsigned column : {0u, 1u}) {
        SpokenAdviceBuilder builder;
        builder.SetTables(OurData(column));
        for (std::u16string_view module :
             {K::kTStreet, K::kBifurcation, K::kHighwayCrossings1, K::kHighwayCrossings2,
              K::kLeavingHighway, K::kLookLikeBifurcation, K::kRoundabouts, K::kGeometricSetting1,
              K::kGeometricSetting2, K::kGeometricSetting3, K::kPriorityManoeuvre, K::kDestination,
              K::kUTurn}) {
            for (std::u16string_view roadClass : {u"Ac", u"At", u"Bc", u"Bt", u"Sc", u"St"}) {
                const std::u16string key =
                    u"SOD." + std::u16string(module) + u"." + std::u16string(roadClass) + u".d";
                SCOPED_TRACE(NarrowDataText(key));
                std::int32_t first = -1;
                std::int32_t second = -1;
                std::int32_t last = -1;
                EXPECT_TRUE(builder.LookupDistanceLimit(key + u"1", first) &&
                            builder.LookupDistanceLimit(key + u"2", second) &&
                            builder.LookupDistanceLimit(key + u"3", last));
                EXPECT_TRUE(first > second && second > last && last > 0);
            }
        }
    }
}

TEST(AdviceData, HasAVoiceLineForEveryKeyASpokenTextCanHold) {
    std::set<std::u16string> voiced; // "<Key>.wav" of the voice script
    std::istringstream script(ReadSource("voices.csv"));
    for (std::string line; std::getline(script, line);) {
        const std::size_t end = line.find(';');
        if (end != std::string::npos && line[0] != '#') {
            voiced.insert(std::u16string(line.begin(), line.begin() + end) + u".wav");
        }
    }
    std::set<std::string> missing; // sample names and where they came from
    const auto check = [&](const std::u16string& spoken, const std::string& from) {
        for (const std::u16string& sample : SplitPhraseKeys(spoken)) {
            if (voiced.count(sample) == 0) {
                missing.insert(NarrowDataText(sample) + " (" + from + ")");
            }
        }
    };
    for (unsigned column : {0u, 1u}) {
        const AdvisorTablesPtr tables = OurData(column);
        ASSERT_TRUE(tables);
        const PhraseTable& phrases = tables->phrases;
        // Road, exit and distance numbers, anywhere in a text and last; road letters.
        for (int n = 0; n < 10000; ++n) {
            const std::string digits = std::to_string(n);
            const std::u16string number(digits.begin(), digits.end());
            for (const bool isLast : {false, true}) {
                check(ExpandNumberSegment(number, u'x', phrases, isLast), digits);
                check(ExpandNumberSegment(number, u'z', phrases, isLast), digits);
                check(ExpandNumberSegment(std::u16string(1, u'A' + n % 26), u'x', phrases, isLast),
                      "a letter");
            }
        }
        // Every distance text that "{in n}" gives up to 10 km has its phrase.
        for (std::int32_t metres = 0; metres <= 10000; metres += 10) {
            for (const bool imperial : {false, true}) {
                const std::u16string text = FormatRoundedDistance(metres, imperial);
                EXPECT_TRUE(phrases.count(text) != 0) << NarrowDataText(text) << " has no phrase";
            }
        }
        // Every phrase filled in as the builder fills it, spoken as an advice speaks it
        // (without the arrival mark, which the consumers take out).
        AdviceRecord record;
        record.junction.targetRoadNumber.Set(u"A 7");
        record.junction.exitNumber = 3;
        record.junction.nextDirection.Set(u"SlightLeft");
        SpokenAdviceBuilder builder;
        builder.SetTables(tables);
        builder.SetUnits({0, 0, column});
        for (const auto& [key, text] : phrases) {
            if (key.find_first_not_of(u"xz0") != std::u16string::npos) { // not a number pattern
                SpokenAdviceBuilder::Variables variables;
                builder.FillVariables(variables, record);
                std::u16string expanded = text;
                builder.ExpandPhrase(variables, expanded);
                std::erase(expanded, u'@');
                check(AdviceSpokenText(expanded, phrases), NarrowDataText(key));
            }
        }
    }
    std::string list;
    for (const std::string& name : missing) {
        list += "\n  " + name;
    }
    EXPECT_TRUE(missing.empty()) << "samples without a voice line:" << list;
}

} // namespace
