// Our advisor data carries the junction analysis' keys: the driving side and road-class texts of
// every country the analysis names, and the shape settings at their defaults.
#include "advisor/advisorconfiguration.h"
#include "advisor/junctionrules.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace {

TEST(JunctionData, EveryCountryHasItsRoadClassesAndDrivingSide) {
    const std::filesystem::path source =
        std::filesystem::path(NAV_ADVISOR_DATA_DIR) / "ConfigFiles" / "General.properties";
    const std::optional<std::string> bytes = testdata::ReadHostFile(source);
    ASSERT_TRUE(bytes) << testdata::CannotOpen(source);
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\ConfigFiles\\General.properties", *bytes));
    AdvisorConfiguration configuration;
    ASSERT_TRUE(configuration.LoadGeneralProperties(u"\\"));
    const AdvisorConfiguration::Table& settings = configuration.GetGeneralSettings();
    JunctionRules rules;
    rules.LoadSectorSettings(settings);
    // Every code the country table knows, and 0 for the default country.
    for (const int code :
         {0, 4, 6, 12, 15, 16, 20, 23, 24, 26, 28, 32, 33, 34, 36, 39, 43, 44, 45, 48}) {
        const std::u16string country(JunctionRules::CountryName(code));
        SCOPED_TRACE(std::string(country.begin(), country.end()));
        for (const char16_t* letter : {u"A", u"B"}) {
            const auto value = settings.find(country + u".Road" + letter);
            ASSERT_NE(value, settings.end());
            ASSERT_FALSE(value->second.empty());
            EXPECT_TRUE(rules.RoadClassMatches(country, letter, {value->second + u" 12"}));
        }
        const auto side = settings.find(country + u".Drivingside");
        const bool isLeft = country == u"England" || country == u"Ireland";
        EXPECT_EQ(side != settings.end() ? side->second : u"Right", isLeft ? u"Left" : u"Right");
    }
    const std::pair<const char16_t*, const char16_t*> defaults[] = {
        {u"SpeedIndexTolerance", u"0"},
        {u"LookLikeBifurcation_AngleRange_From", u"-40"},
        {u"LookLikeBifurcation_AngleRange_To", u"40"},
        {u"LookLikeBifurcation_AngleInBetween", u"30"}};
    for (const auto& [key, value] : defaults) {
        const auto found = settings.find(key);
        ASSERT_NE(found, settings.end());
        EXPECT_EQ(found->second, value);
    }
}

} // namespace
