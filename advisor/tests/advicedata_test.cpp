// Our advisor data as the phrase builder and the advices use it: announcement points for every
// module and road class a record can carry, a phrase for every distance text, a voice line for
// every key that a spoken text can come to hold, and no connector said twice in a joined advice.

#include "advisor/advicetext.h"
#include "advisor/advisorkeywords.h"
#include "advisor/spokenadvicebuilder.h"
#include "advisor/voiceoutput.h"
#include "testdata/tempdir.h"
#include "testdata/testfiles.h"
#include "utilities/usefulcode/distancetext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace {

std::string NarrowDataText(std::u16string_view text) {
    return {text.begin(), text.end()};
}

std::string ReadSource(const std::string& name) {
    return testdata::ReadTestFile(std::filesystem::path(NAV_ADVISOR_DATA_DIR) / name);
}

// The tables of one value column of our data (phrases: the display language; announcement
// distances: 0 metric, 1 miles).
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
    return configuration.LoadGeneralProperties(u"\\") &&
                   configuration.LoadDestinationPhrases(u"\\", column) &&
                   configuration.LoadDecisionTables(u"\\", store)
               ? SnapshotAdvisorTables(configuration)
               : nullptr;
}

// The words of every key of the voice script ("<Key>.wav") in its six languages.
using VoiceLanguageWords = std::array<std::string, 6>;

std::map<std::u16string, VoiceLanguageWords> VoiceWordsByKey() {
    std::map<std::u16string, VoiceLanguageWords> words;
    std::istringstream script(ReadSource("voices.csv"));
    for (std::string line; std::getline(script, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> cells;
        for (std::size_t from = 0;;) {
            const std::size_t end = line.find(';', from);
            cells.push_back(line.substr(from, end - from));
            if (end == std::string::npos) {
                break;
            }
            from = end + 1;
        }
        if (cells.size() == 7) {
            words[std::u16string(cells[0].begin(), cells[0].end()) + u".wav"] = {
                cells[1], cells[2], cells[3], cells[4], cells[5], cells[6]};
        }
    }
    return words;
}

// The connector of the joined advices and its equivalents, lower case, in the voice script's
// language order (UTF-8).
const std::array<std::vector<std::string>, 6> kConnectorWordsByLanguage = {{
    {"danach", "dann"},
    {"then"},
    {"ensuite", "puis"},
    {"despu\xC3\xA9s", "luego"},
    {"poi", "dopo"},
    {"daarna"},
}};
constexpr const char* kVoiceLanguages[] = {"german",  "english", "french",
                                           "spanish", "italian", "dutch"};

// How often the words hold a connector of the language, as a word of its own.
int CountConnectorWords(const std::string& words, std::size_t language) {
    int count = 0;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        for (char& c : word) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        for (const std::string& connector : kConnectorWordsByLanguage[language]) {
            count += word == connector ? 1 : 0;
        }
    }
    return count;
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

// The application picks the phrase column by its display language (German 0, English 1,
// Spanish 2, French 3, Italian 4, Dutch 5); every column holds German's wording, whose keys each
// language's voice archive says.
TEST(AdviceData, EveryDisplayLanguageColumnHoldsTheWholeWording) {
    const AdvisorTablesPtr german = OurData(0);
    ASSERT_TRUE(german);
    ASSERT_FALSE(german->phrases.empty());
    for (unsigned column : {1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE("column " + std::to_string(column));
        const AdvisorTablesPtr tables = OurData(column);
        ASSERT_TRUE(tables);
        std::vector<std::string> differing;
        for (const auto& [key, text] : german->phrases) {
            const auto found = tables->phrases.find(key);
            if (found == tables->phrases.end() || found->second != text) {
                differing.push_back(NarrowDataText(key));
            }
        }
        EXPECT_EQ(tables->phrases.size(), german->phrases.size());
        EXPECT_TRUE(differing.empty())
            << differing.size() << " keys differ, first " << differing.front();
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
        // (without the arrival mark, which the consumers take out, and cut at a "\u00A7" as the
        // builder cuts it).
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
                expanded.erase(std::min(expanded.find(u'\u00A7'), expanded.size()));
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

// The first group of words (one or more, case aside) said twice in a row; empty for none.
std::string RepeatedWordGroup(const std::string& spoken) {
    std::vector<std::string> words;
    std::istringstream in(spoken);
    for (std::string word; in >> word;) {
        for (char& c : word) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        words.push_back(word);
    }
    for (std::size_t length = 1; 2 * length <= words.size(); ++length) {
        for (std::size_t at = 0; at + 2 * length <= words.size(); ++at) {
            if (std::equal(words.begin() + at, words.begin() + at + length,
                           words.begin() + at + length)) {
                std::string group;
                for (std::size_t i = at; i < at + length; ++i) {
                    group += (group.empty() ? "" : " ") + words[i];
                }
                return group;
            }
        }
    }
    return {};
}

// The words of a phrase filled in as the builder fills it for the record, in each voice language.
std::vector<std::string> PhraseWords(const SpokenAdviceBuilder& builder, const AdviceRecord& record,
                                     const std::u16string& text, const PhraseTable& phrases,
                                     const std::map<std::u16string, VoiceLanguageWords>& voice) {
    SpokenAdviceBuilder::Variables variables;
    builder.FillVariables(variables, record);
    std::u16string expanded = text;
    builder.ExpandPhrase(variables, expanded);
    std::vector<std::string> spoken(std::size(kVoiceLanguages));
    for (const std::u16string& sample : SplitPhraseKeys(AdviceSpokenText(expanded, phrases))) {
        const auto words = voice.find(sample);
        for (std::size_t language = 0; words != voice.end() && language < spoken.size();
             ++language) {
            spoken[language] += words->second[language] + " ";
        }
    }
    return spoken;
}

// Notes each voice language in which the words of the phrase of `key` repeat a word group.
void NoteRepeatedWords(const std::u16string& key, const std::vector<std::string>& spoken,
                       std::set<std::string>& repeated) {
    for (std::size_t language = 0; language < spoken.size(); ++language) {
        if (const std::string group = RepeatedWordGroup(spoken[language]); !group.empty()) {
            repeated.insert(NarrowDataText(key) + ", " + kVoiceLanguages[language] + ": \"" +
                            group + "\" in \"" + spoken[language] + "\"");
        }
    }
}

// Every phrase of every display language's table, in kilometres and in miles, filled in for a
// junction onto another road and one where the road number stays: no voice language says a word
// group twice in a row.
TEST(AdviceData, SaysNoWordGroupTwiceInARowInAnyPhrase) {
    const std::map<std::u16string, VoiceLanguageWords> voice = VoiceWordsByKey();
    ASSERT_FALSE(voice.empty());
    std::set<std::string> repeated; // "key, language: words"
    // Each display language's column, in kilometres and in miles, onto A 7 from B 1 and from A 7.
    for (unsigned run = 0; run < 6 * 2 * 2; ++run) {
        const AdvisorTablesPtr tables = OurData(run / 4);
        ASSERT_TRUE(tables);
        SpokenAdviceBuilder builder;
        builder.SetTables(tables);
        builder.SetUnits({0, 0, run / 2 % 2});
        AdviceRecord record;
        record.junction.currentRoadNumber.Set(run % 2 == 0 ? u"B 1" : u"A 7");
        record.junction.targetRoadNumber.Set(u"A 7");
        record.junction.exitNumber = 3;
        record.junction.nextDirection.Set(u"SlightLeft");
        for (const auto& [key, text] : tables->phrases) {
            if (key.find_first_not_of(u"xz0") != std::u16string::npos) { // not a number pattern
                NoteRepeatedWords(key, PhraseWords(builder, record, text, tables->phrases, voice),
                                  repeated);
            }
        }
    }
    std::string list;
    for (const std::string& text : repeated) {
        list += "\n  " + text;
    }
    EXPECT_TRUE(repeated.empty()) << repeated.size() << " phrases repeat words:" << list;
}

// The driver's request ('A'): nearer the manoeuvre ahead than the idle limit of its road class
// (General.properties) it is named with the distance to it, whether the road number changes
// there or not; farther away the road is to be followed. A manoeuvre without a ".A2b" phrase
// gives the destination phrase. At the manoeuvre, where the distance rounds to none in metres or
// yards, it is said as the last announcement says it ("now ...").
TEST(AdviceData, AnswersTheDriversRequestWithTheManoeuvreAheadWithinTheIdleLimit) {
    const struct {
        const char* name;
        std::u16string advice;
        std::u16string roadClass;
        std::int32_t distance; // metres to the junction
        bool isMiles;
        std::u16string nextRoad;
        std::u16string said;
    } cases[] = {
        {"street turn", u"TurnRight", u"Sc", 250, false, u"", u"[In] [Metres200] [TurnRight]"},
        {"street, road number changes", u"TurnLeft", u"St", 1999, false, u"B 1",
         u"[In] [Kilometres1] [TurnLeft]"},
        {"street beyond its limit", u"TurnLeft", u"Sc", 2001, false, u"",
         u"[FollowRoad] [ForKilometres]"},
        {"roundabout on a main road", u"Roundabout", u"Bc", 4999, false, u"",
         u"[In] [Kilometres4] [EnterRoundabout] [TakeExit] [2 geschlossen]"},
        {"main road beyond its limit", u"Roundabout", u"Bc", 5001, false, u"",
         u"[FollowRoad] [ForKilometres]"},
        {"motorway exit", u"LeaveMotorway", u"Ac", 9000, false, u"A 13",
         u"[In] [Kilometres9] [LeaveMotorway]"},
        {"motorway beyond its limit", u"KeepRight", u"At", 10001, false, u"",
         u"[FollowRoad] [ForKilometres]"},
        {"destination", u"Destination", u"Sc", 150, false, u"",
         u"[In] [Metres150] [DestinationReached]"},
        {"pedestrian zone destination", u"PedestrianDestination", u"Sc", 150, false, u"",
         u"@ [DestinationAhead]"},
        // At the manoeuvre no distance is left to name: it is said as its last announcement.
        {"at the junction", u"StraightOn", u"Sc", 0, false, u"", u"[Now] [StraightOn]"},
        {"at the turn, metres rounded to none", u"TurnRight", u"Sc", 9, false, u"",
         u"[Now] [TurnRight]"},
        {"at the turn, yards rounded to none", u"TurnRight", u"Sc", 8, true, u"",
         u"[Now] [TurnRight]"},
        {"ten metres before the turn", u"TurnRight", u"Sc", 10, false, u"",
         u"[In] [Metres10] [TurnRight]"},
        {"at the roundabout", u"Roundabout", u"Bc", 0, false, u"",
         u"[Now] [TakeExit] [2 geschlossen]"},
        {"at the destination", u"Destination", u"Sc", 0, false, u"",
         u"[Now] [DestinationReached] @"},
    };
    const AdvisorTablesPtr tables = OurData(0);
    ASSERT_TRUE(tables);
    std::int32_t junctionId = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SpokenAdviceBuilder builder;
        builder.SetTables(tables);
        builder.SetUnits({0, 0, c.isMiles ? 1u : 0u});
        AdviceRecord ahead;
        ahead.distance = c.distance;
        ahead.SetText(c.advice);
        ahead.junction.junctionId = ++junctionId;
        ahead.junction.manoeuvre.Set(u"T_Street");
        ahead.junction.roadClass.Set(c.roadClass);
        ahead.junction.exitNumber = 2;
        AdviceRecord next;
        next.junction.targetRoadNumber.Set(c.nextRoad);
        AdviceList records;
        records.Append(ahead);
        records.Append(next);
        ASSERT_EQ(builder.BuildAdvice(records, 1), 1);
        ASSERT_TRUE(records.GetRecord(0, ahead));
        EXPECT_EQ(NarrowDataText(AdviceSpokenText(ahead.text, tables->phrases)),
                  NarrowDataText(c.said));
    }
}

// One announcement of a junction ahead and the manoeuvre after it, for the phrase builder.
struct JoinCase {
    std::u16string manoeuvre;
    std::u16string name;
    std::uint32_t flags;
    std::int32_t distance; // metres to the junction
    std::int32_t stretch;  // metres from the previous junction
    std::u16string nextName;
    std::int32_t nextDistance;
};

// Every announcement (first, second, short stretch, last) of every advice of the tables, with
// and without the destination flag, of a street junction and a highway crossing, followed by
// every advice that has a ".A2b" phrase at the short and at the normal connector limit.
std::vector<JoinCase> JoinCasesOf(const SpokenAdviceBuilder& builder, const PhraseTable& phrases) {
    std::set<std::u16string> names;
    std::set<std::u16string> nextNames;
    for (const auto& [key, text] : phrases) {
        const std::size_t dot = key.rfind(u'.');
        const std::u16string suffix = dot == std::u16string::npos ? u"" : key.substr(dot);
        if (suffix == u".A1" || suffix == u".A2a" || suffix == u".A2b" || suffix == u".A3") {
            names.insert(key.substr(0, dot));
        }
        if (suffix == u".A2b") {
            nextNames.insert(key.substr(0, dot));
        }
    }
    std::int32_t shortLimit = 0;
    std::int32_t normalLimit = 0;
    if (!builder.LookupDistanceLimit(u"B2B.ShortDBA", shortLimit) ||
        !builder.LookupDistanceLimit(u"B2B.NormalDBA", normalLimit)) {
        return {};
    }
    std::vector<JoinCase> cases;
    for (const std::u16string manoeuvre : {u"T_Street", u"HighwayCrossings1"}) {
        const std::u16string points = u"SOD." + manoeuvre + u".Bc.d";
        std::array<std::int32_t, 3> limit{};
        for (std::size_t i = 0; i < limit.size(); ++i) {
            if (!builder.LookupDistanceLimit(points + char16_t(u'1' + i), limit[i])) {
                return {};
            }
        }
        const std::int32_t shortStretch = (limit[1] + limit[2]) / 2;
        const std::pair<std::int32_t, std::int32_t> approaches[] = {
            {limit[0] - 10, limit[0]},
            {limit[1] - 10, limit[0]},
            {shortStretch - 10, shortStretch},
            {limit[2] - 10, limit[0]}};
        for (const std::u16string& name : names) {
            for (const std::uint32_t flags : {0u, JunctionDescription::kDestinationFlag}) {
                for (const auto& [distance, stretch] : approaches) {
                    for (const std::u16string& nextName : nextNames) {
                        for (const std::int32_t nextDistance : {shortLimit, normalLimit}) {
                            cases.push_back({manoeuvre, name, flags, distance, stretch, nextName,
                                             nextDistance});
                        }
                    }
                }
            }
        }
    }
    return cases;
}

AdviceRecord JoinCaseRecord(std::int32_t id, const std::u16string& manoeuvre,
                            const std::u16string& name, std::int32_t distance) {
    AdviceRecord record;
    record.distance = distance;
    record.SetText(name);
    record.junction.junctionId = id;
    record.junction.manoeuvre.Set(manoeuvre);
    record.junction.roadClass.Set(u"Bc");
    record.junction.exitNumber = 2;
    return record;
}

// The languages (0 to 5) in which the samples say a connector more than once.
std::vector<std::size_t>
LanguagesRepeatingAConnector(const std::vector<std::u16string>& samples,
                             const std::map<std::u16string, VoiceLanguageWords>& voice) {
    std::vector<std::size_t> languages;
    for (std::size_t language = 0; language < kConnectorWordsByLanguage.size(); ++language) {
        int connectors = 0;
        for (const std::u16string& sample : samples) {
            if (const auto found = voice.find(sample); found != voice.end()) {
                connectors += CountConnectorWords(found->second[language], language);
            }
        }
        if (connectors > 1) {
            languages.push_back(language);
        }
    }
    return languages;
}

// Every announcement of every advice, with and without the destination phrase appended, joined
// to every next advice's phrase with either connector: no language says a connector twice.
TEST(AdviceData, SaysNoConnectorTwiceInAJoinedAdvice) {
    const std::map<std::u16string, VoiceLanguageWords> voice = VoiceWordsByKey();
    ASSERT_FALSE(voice.empty());
    std::set<std::string> repeated; // "language: spoken text"
    std::size_t joined = 0;
    std::int32_t junctionId = 0;
    for (unsigned column : {0u, 1u}) {
        const AdvisorTablesPtr tables = OurData(column);
        ASSERT_TRUE(tables);
        SpokenAdviceBuilder builder;
        builder.SetTables(tables);
        builder.SetUnits({0, 0, column});
        const std::vector<JoinCase> cases = JoinCasesOf(builder, tables->phrases);
        ASSERT_FALSE(cases.empty());
        for (const JoinCase& c : cases) {
            AdviceRecord ahead = JoinCaseRecord(++junctionId, c.manoeuvre, c.name, c.distance);
            ahead.junction.stretchLength = c.stretch;
            ahead.junction.flags = c.flags;
            AdviceList records;
            records.Append(ahead);
            records.Append(JoinCaseRecord(-junctionId, u"T_Street", c.nextName, c.nextDistance));
            ASSERT_EQ(builder.BuildAdvice(records, 0), 1);
            ASSERT_TRUE(records.GetRecord(0, ahead));
            joined += ahead.combined;
            std::u16string spoken = ahead.text;
            std::erase(spoken, u'@');
            const std::vector<std::u16string> samples =
                SplitPhraseKeys(AdviceSpokenText(spoken, tables->phrases));
            for (const std::size_t language : LanguagesRepeatingAConnector(samples, voice)) {
                repeated.insert(std::string(kVoiceLanguages[language]) + ": " +
                                NarrowDataText(spoken));
            }
        }
    }
    EXPECT_GT(joined, 0u);
    std::string list;
    for (const std::string& text : repeated) {
        list += "\n  " + text;
    }
    EXPECT_TRUE(repeated.empty()) << repeated.size() << " advices say a connector twice:" << list;
}

} // namespace
