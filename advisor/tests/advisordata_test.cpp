// Checks our advisor data in advisor/data: it loads, every module of the vocabulary has its
// decision table, and every phrase key has its words in the voice script.

#include "advisor/advisorconfiguration.h"
#include "advisor/advisorkeywords.h"
#include "advisor/voiceoutput.h"
#include "testdata/tempdir.h"
#include "testdata/testfiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

namespace {

std::string ReadSource(const std::string& name) {
    return testdata::ReadTestFile(std::filesystem::path(NAV_ADVISOR_DATA_DIR) / name);
}

constexpr const char* kConfigFiles[] = {"General.properties", "SOA.csv", "SpokenDistances.csv",
                                        "RouteNumbers.csv",   "SOD.csv", "DecisionTables.csv"};

TEST(AdvisorData, LoadsWithATableForEveryModuleAndAVoiceLineForEveryPhraseKey) {
    testdata::TempDeviceRoot root;
    for (const char* name : kConfigFiles) {
        const std::string bytes = ReadSource(std::string("ConfigFiles/") + name);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_NE(bytes.find("\r\n"), std::string::npos) << name << " must keep CR LF lines";
        ASSERT_TRUE(root.WriteFile(
            u"\\ConfigFiles\\" + std::u16string(name, name + std::strlen(name)), bytes));
    }
    AdvisorConfiguration configuration;
    DecisionTableStore store;
    ASSERT_TRUE(configuration.LoadGeneralProperties(u"\\"));
    ASSERT_TRUE(configuration.LoadDecisionTables(u"\\", store));
    namespace K = AdvisorKeywords;
    for (std::u16string_view module :
         {K::kTStreet, K::kBifurcation, K::kHighwayCrossings1, K::kHighwayCrossings2,
          K::kLeavingHighway, K::kLookLikeBifurcation, K::kRoundabouts, K::kGeometricSetting1,
          K::kGeometricSetting2, K::kGeometricSetting3, K::kDriverRequest, K::kPriorityManoeuvre,
          K::kDestination, K::kIgnoreJunction, K::kUTurn}) {
        SCOPED_TRACE(std::string(module.begin(), module.end()));
        EXPECT_FALSE(store.GetConditions(std::u16string(module)).empty());
    }

    // The voice script: "Key;german;english;french;spanish;italian;dutch" per line.
    std::set<std::u16string> voiced;
    std::istringstream script(ReadSource("voices.csv"));
    for (std::string line; std::getline(script, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        CellSplitter cells(line);
        const std::string key = cells.Next();
        for (int language = 0; language < 6; ++language) {
            EXPECT_FALSE(cells.Next().empty()) << key << " lacks a language";
        }
        voiced.insert(std::u16string(key.begin(), key.end()) + u".wav");
    }
    // Every column of every phrase table.
    for (unsigned column = 0; column < 4; ++column) {
        configuration.LoadPhraseTables(u"\\", column);
        ASSERT_TRUE(configuration.LoadDestinationPhrases(u"\\", column));
        for (const auto* table :
             {&configuration.GetPhraseTable(), &configuration.GetDestinationPhrases()}) {
            for (const auto& [key, text] : *table) {
                if (key.find_first_not_of(u"xz0") == std::u16string::npos) {
                    continue; // number patterns: their keys are filled in with digits
                }
                // The bracketed keys; the markup between them is filled in before speaking.
                for (std::size_t open = text.find(u'['); open != std::u16string::npos;
                     open = text.find(u'[', open + 1)) {
                    const std::size_t close = text.find(u']', open);
                    ASSERT_NE(close, std::u16string::npos);
                    const std::u16string sample =
                        SplitPhraseKeys(text.substr(open, close - open + 1)).at(0);
                    EXPECT_TRUE(voiced.count(sample) != 0)
                        << std::string(sample.begin(), sample.end()) << " has no voice line";
                }
            }
        }
    }
}

} // namespace
