// Our advisor data as the phrase builder and the advices use it: announcement distances for every
// module and road class a record can carry, a phrase for every distance text, and a voice line
// for every key that a spoken text can come to hold.

#include "advisor/advicetext.h"
#include "advisor/advisorkeywords.h"
#include "advisor/spokenadvicebuilder.h"
#include "advisor/voiceoutput.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/distancetext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string Narrow(std::u16string_view text) {
    return {text.begin(), text.end()};
}

std::string ReadSource(const std::string& name) {
    std::ifstream in(std::string(NAV_ADVISOR_DATA_DIR) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The tables of one value column of our data.
AdvisorTablesPtr LoadOurData(unsigned column) {
    testdata::TempDeviceRoot root;
    for (const char* name : {"General.properties", "SOA.csv", "SpokenDistances.csv",
                             "RouteNumbers.csv", "SOD.csv", "DecisionTables.csv"}) {
        if (!root.WriteFile(u"\\ConfigFiles\\" + std::u16string(name, name + std::strlen(name)),
                            ReadSource(std::string("ConfigFiles/") + name))) {
            return nullptr;
        }
    }
    AdvisorConfiguration configuration;
    DecisionTableStore store;
    if (!configuration.LoadGeneralProperties(u"\\") ||
        !configuration.LoadDestinationPhrases(u"\\", column) ||
        !configuration.LoadDecisionTables(u"\\", store)) {
        return nullptr;
    }
    configuration.LoadPhraseTables(u"\\", column);
    return SnapshotAdvisorTables(configuration);
}

// The sample names of the voice script, "<Key>.wav".
std::set<std::u16string> VoicedSamples() {
    std::set<std::u16string> voiced;
    std::istringstream script(ReadSource("voices.csv"));
    for (std::string line; std::getline(script, line);) {
        if (!line.empty() && line[0] != '#' && line != "\r") {
            const std::string key = line.substr(0, line.find(';'));
            voiced.insert(std::u16string(key.begin(), key.end()) + u".wav");
        }
    }
    return voiced;
}

TEST(AdviceData, GivesAnnouncementDistancesForEveryModuleAndRoadClass) {
    namespace K = AdvisorKeywords;
    for (unsigned column : {0u, 1u}) {
        const AdvisorTablesPtr tables = LoadOurData(column);
        ASSERT_TRUE(tables);
        for (std::u16string_view module :
             {K::kTStreet, K::kBifurcation, K::kHighwayCrossings1, K::kHighwayCrossings2,
              K::kLeavingHighway, K::kLookLikeBifurcation, K::kRoundabouts, K::kGeometricSetting1,
              K::kGeometricSetting2, K::kGeometricSetting3, K::kPriorityManoeuvre, K::kDestination,
              K::kUTurn}) {
            for (std::u16string_view roadClass : {u"Ac", u"At", u"Bc", u"Bt", u"Sc", u"St"}) {
                SCOPED_TRACE(Narrow(module) + "." + Narrow(roadClass));
                SpokenAdviceBuilder builder;
                builder.SetTables(tables);
                std::int32_t limits[3] = {-1, -1, -1};
                for (int i = 0; i < 3; ++i) {
                    const std::u16string key = u"SOD." + std::u16string(module) + u"." +
                                               std::u16string(roadClass) + u".d" +
                                               std::u16string(1, static_cast<char16_t>(u'1' + i));
                    EXPECT_TRUE(builder.LookupDistanceLimit(key, limits[i])) << Narrow(key);
                }
                EXPECT_GT(limits[0], limits[1]);
                EXPECT_GT(limits[1], limits[2]);
                EXPECT_GT(limits[2], 0);
            }
        }
    }
}

TEST(AdviceData, HasAVoiceLineForEveryKeyASpokenTextCanHold) {
    const std::set<std::u16string> voiced = VoicedSamples();
    std::set<std::string> missing; // sample names and where they came from
    const auto expectVoiced = [&](const std::u16string& spoken, const std::string& from) {
        for (const std::u16string& sample : SplitPhraseKeys(spoken)) {
            if (voiced.count(sample) == 0) {
                missing.insert(Narrow(sample) + " (" + from + ")");
            }
        }
    };
    for (unsigned column : {0u, 1u}) {
        const AdvisorTablesPtr tables = LoadOurData(column);
        ASSERT_TRUE(tables);
        const PhraseTable& phrases = tables->phrases;
        // Numbers of road and exit numbers and of distances, anywhere in a text and last.
        for (int n = 0; n < 10000; ++n) {
            const std::string digits = std::to_string(n);
            for (const char16_t mode : {u'x', u'z'}) {
                for (const bool isLast : {false, true}) {
                    expectVoiced(ExpandNumberSegment(std::u16string(digits.begin(), digits.end()),
                                                     mode, phrases, isLast),
                                 digits);
                }
            }
        }
        for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
            const std::u16string roadNumber = std::u16string(1, letter) + u" 7";
            expectVoiced(ExpandNumberSegment(roadNumber, u'x', phrases, false), "a letter");
            expectVoiced(ExpandNumberSegment(std::u16string(1, letter), u'x', phrases, true),
                         "a letter last");
        }
        // Every distance text that "{in n}" gives up to 10 km has its phrase.
        for (std::int32_t metres = 0; metres <= 10000; metres += 10) {
            for (const bool imperial : {false, true}) {
                const std::u16string text = FormatRoundedDistance(metres, imperial);
                EXPECT_TRUE(phrases.count(text) != 0) << Narrow(text) << " has no phrase";
            }
        }
        // Every announcement, filled in as the builder fills it, spoken as an advice speaks it
        // (without the arrival mark, which the consumers take out).
        AdviceRecord record;
        record.junction.targetRoadNumber.Set(u"A 7");
        record.junction.currentRoadNumber.Set(u"B 27");
        record.junction.exitNumber = 3;
        record.junction.nextDirection.Set(u"SlightLeft");
        record.junction.stretchLength = 1500;
        SpokenAdviceBuilder builder;
        builder.SetTables(tables);
        builder.SetUnits({0, 0, column});
        for (const auto& [key, text] : phrases) {
            if (key.find_first_not_of(u"xz0") == std::u16string::npos) {
                continue; // number patterns, checked above
            }
            SpokenAdviceBuilder::Variables variables;
            record.SetText(key.substr(0, key.find(u'.')));
            builder.FillVariables(variables, record);
            std::u16string expanded = text;
            builder.ExpandPhrase(variables, expanded);
            std::erase(expanded, u'@');
            expectVoiced(AdviceSpokenText(expanded, phrases), Narrow(key));
        }
    }
    std::string list;
    for (const std::string& name : missing) {
        list += "\n  " + name;
    }
    EXPECT_TRUE(missing.empty()) << "samples without a voice line:" << list;
}

} // namespace
