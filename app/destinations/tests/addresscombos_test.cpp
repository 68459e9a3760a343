#include "app/destinations/addresscombos.h"
#include "app/tests/pagedevice.h"
#include "testdata/recordingengine.h"
#include "ui/customcombobox.h"
#include "ui/tests/listtesting.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT kComboBoxId = 100;
constexpr UINT kHouseNumberId = 103;
constexpr std::int32_t kCityArea = 40;

std::vector<AddressResultPtr> CitiesNamed(const std::u16string& prefix, int count) {
    std::vector<AddressResultPtr> cities;
    for (int i = 0; i < count; ++i) {
        const std::u16string name = prefix + static_cast<char16_t>(u'a' + i);
        cities.push_back(
            AddressResultPtr(new testdata::ScriptedCity(name, u"", 0xFFFFFFFFu, kCityArea)));
    }
    return cities;
}

// A combo box and a house-number edit on the list test page, over a recording engine.
class AddressComboTest : public listtesting::Page {
protected:
    void SetUp() override {
        listtesting::Page::SetUp();
        m_engine = testdata::MakeRecordingEngine();
        m_server = CreateIOnboardServer(testdata::EngineInterface(m_engine));
        ASSERT_TRUE(m_server);
        m_combo = std::make_unique<CustomComboBox>(page_, kComboBoxId, 0x78571E, 0);
        m_edit = std::make_unique<CustomEdit>(page_, kHouseNumberId, 0xFFFFFF, 0);
        MoveWindow(m_combo->GetWindow(), 10, 10, 150, 20, TRUE);
        m_engine->script.text = u"Bezirk";
        m_engine->script.areaWalk = 7;
    }
    void TearDown() override {
        m_edit.reset();
        m_combo.reset();
        listtesting::Page::TearDown();
    }
    HWND Combo() const { return m_combo->GetWindow(); }
    int CurSel() const { return static_cast<int>(SendMessageW(Combo(), CB_GETCURSEL, 0, 0)); }
    void Type(const std::u16string& text) { SetWindowTextW(Combo(), text.c_str()); }

    testdata::RecordingEnginePtr m_engine;
    Onboard::OnboardServerPtr m_server;
    std::unique_ptr<CustomComboBox> m_combo;
    std::unique_ptr<CustomEdit> m_edit;
};

TEST(AddressProposalTest, ComposesNameQualifierAndAreaAndCutsLongTexts) {
    struct Row {
        std::u16string name, qualifier, area, expected;
    };
    const std::u16string longName(140, u'x');
    const Row rows[] = {
        {u"Karlsruhe", u"", u"Baden", u"Karlsruhe, Baden"},
        {u"Karlsruhe", u"Durlach", u"Baden", u"Karlsruhe (Durlach), Baden"},
        {u"Karlsruhe", u"", u"", u"Karlsruhe"},
        {u"1. Mai", u"", u"Baden", u"1. Mai"},
        {u"2te", u"Ost", u"Baden", u"2te (Ost)"},
        // The engine's second name of a name without a variant is the name itself: not shown.
        {u"Kaiserstrasse", u"Kaiserstrasse", u"Baden", u"Kaiserstrasse, Baden"},
        {u"Kaiserstrasse", u"Kaiserallee", u"", u"Kaiserstrasse (Kaiserallee)"},
        {longName, u"", u"Baden", longName.substr(0, kMaxProposalText)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ComposeProposal(row.name, row.qualifier, row.area), row.expected);
    }
}

TEST_F(AddressComboTest, CitiesArriveEightAtATimeAndTheSelectionStaysVisible) {
    struct Row {
        int found;
        std::size_t firstShown;
        std::size_t afterLast; // after the last proposal is selected
    };
    const Row rows[] = {{20, 8, 16}, {5, 5, 5}, {8, 8, 8}, {0, 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.found);
        auto* cursor = new testdata::ScriptedCityCursor(CitiesNamed(u"Ka", row.found));
        m_engine->script.cities = AddressCursorPtr(cursor);
        CityComboBox cities(Combo(), m_server, nullptr);
        Type(u"Ka");
        cities.Complete();
        EXPECT_EQ(apptesting::ComboBoxTexts(Combo()).size(), row.firstShown);
        EXPECT_LE(cursor->HandedOut(), row.firstShown + 1);
        if (row.firstShown > 0) {
            EXPECT_EQ(apptesting::ComboBoxTexts(Combo()).front(), u"Kaa, Bezirk");
            SendMessageW(Combo(), CB_SETCURSEL, row.firstShown - 1, 0);
            cities.LoadMoreIfLast();
            EXPECT_EQ(CurSel(), static_cast<int>(row.firstShown) - 1);
        }
        EXPECT_EQ(apptesting::ComboBoxTexts(Combo()).size(), row.afterLast);
    }
}

TEST_F(AddressComboTest, LongTypedTextsStartNoSearchAndAreReadUpTo31Characters) {
    struct Row {
        std::u16string typed;
        bool searches;
        std::u16string searched;
    };
    const Row rows[] = {
        {u"K", true, u"K"},
        {std::u16string(15, u'k'), true, std::u16string(15, u'k')},
        {std::u16string(16, u'k'), false, u""},
        {std::u16string(40, u'k'), false, u""},
    };
    for (const Row& row : rows) {
        m_engine->ClearCalls();
        m_engine->script.cities =
            AddressCursorPtr(new testdata::ScriptedCityCursor(CitiesNamed(u"K", 3)));
        SendMessageW(Combo(), CB_RESETCONTENT, 0, 0);
        SendMessageW(Combo(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"kept"));
        CityComboBox cities(Combo(), m_server, nullptr);
        Type(row.typed);
        cities.Complete();
        bool searched = false;
        for (const std::string& call : m_engine->Calls()) {
            searched = searched || call.rfind("FindCities(", 0) == 0;
        }
        EXPECT_EQ(searched, row.searches) << row.typed.size();
        EXPECT_EQ(apptesting::ComboBoxTexts(Combo()).front() == u"kept", !row.searches);
    }
}

TEST_F(AddressComboTest, StreetsSkipType1010AndShowTheirOuterAreaOnlyWhenItDiffers) {
    m_engine->script.address =
        AddressResultPtr(new testdata::ScriptedCity(u"Karlsruhe", u"", 900, kCityArea));
    m_engine->script.streets = GeoMoleculeCursorPtr(new testdata::ScriptedStreetCursor(
        {GeoMoleculePtr(new testdata::ScriptedStreet(u"Alleeweg", 1, {1, 5, 6, 7}, false)),
         GeoMoleculePtr(
             new testdata::ScriptedStreet(u"Bahnweg", kHiddenStreetType, {1, 5, 6, 7}, false)),
         GeoMoleculePtr(new testdata::ScriptedStreet(u"Chaussee", 1, {1, 6, 6, 7}, true)),
         GeoMoleculePtr(new testdata::ScriptedStreet(u"Dorfweg", 1, {1, -1, 6, 7}, true))}));
    AddressResultPtr city(new testdata::ScriptedCity(u"Karlsruhe", u"", 900, kCityArea));
    StreetComboBox streets(Combo(), m_edit->GetWindow(), m_server, &city);
    streets.Category().lowerType = 3000;
    streets.Category().upperType = 3099;
    streets.Reset();
    EXPECT_EQ(apptesting::ComboBoxTexts(Combo()),
              (std::vector<std::u16string>{u"Alleeweg, Bezirk", u"Chaussee", u"Dorfweg"}));
    EXPECT_TRUE(IsWindowEnabled(Combo()));
    EXPECT_FALSE(IsWindowEnabled(m_edit->GetWindow()));
    EXPECT_EQ(m_engine->script.defaults.fromLevel, 3000);
    EXPECT_EQ(m_engine->script.defaults.toLevel, 3100);
    GeoMoleculePtr third;
    ASSERT_TRUE(streets.GetAt(2, third));
    EXPECT_EQ(third->GetName(), u"Dorfweg");

    // An address of the city's element that names no area leaves the city as it was.
    struct AddressRow {
        std::int32_t addressArea;
        std::string searched;
    };
    const AddressRow addressRows[] = {{55, "FindInArea(55, \"\")"}, {-1, "FindInArea(40, \"\")"}};
    for (const AddressRow& row : addressRows) {
        city = AddressResultPtr(new testdata::ScriptedCity(u"Karlsruhe", u"", 900, kCityArea));
        m_engine->script.address =
            AddressResultPtr(new testdata::ScriptedCity(u"Karlsruhe", u"", 900, row.addressArea));
        m_engine->ClearCalls();
        streets.Search(u"");
        const std::vector<std::string> calls = m_engine->Calls();
        EXPECT_NE(std::find(calls.begin(), calls.end(), row.searched), calls.end()) << row.searched;
        EXPECT_EQ(city->GetAreaId(), row.addressArea >= 0 ? row.addressArea : kCityArea);
    }

    // A city without streets of its own leaves the box disabled and searches nothing.
    m_engine->ClearCalls();
    city = AddressResultPtr(new testdata::ScriptedCity(u"Land", u"", kCityArea, kCityArea));
    streets.Reset();
    EXPECT_FALSE(IsWindowEnabled(Combo()));
    EXPECT_TRUE(apptesting::ComboBoxTexts(Combo()).empty());
    EXPECT_TRUE(m_engine->Calls().empty());
}

TEST_F(AddressComboTest, CountriesPutNumberZeroFirstAndReplaceAStaleStoredCountry) {
    struct Row {
        int stored;
        int selected;
        int written;
    };
    m_engine->script.countries = {CountryPtr(new testdata::ScriptedCountry(u"schweiz", 4)),
                                  CountryPtr(new testdata::ScriptedCountry(u"Welt", 0)),
                                  CountryPtr(new testdata::ScriptedCountry(u"Belgien", 2)),
                                  CountryPtr(new testdata::ScriptedCountry(u"Deutschland", 1))};
    const Row rows[] = {{0, 0, 0}, {1, 2, 1}, {4, 3, 4}, {77, 0, 0}};
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        ASSERT_NE(
            IniProfile::WriteInt(u"Preferences", u"LastKnownCountry", row.stored, settings.c_str()),
            0);
        SendMessageW(Combo(), CB_RESETCONTENT, 0, 0);
        CountryComboBox countries(Combo(), m_server);
        countries.Fill();
        countries.AddNames(0);
        EXPECT_EQ(apptesting::ComboBoxTexts(Combo()),
                  (std::vector<std::u16string>{u"Welt", u"Belgien", u"Deutschland", u"schweiz"}));
        CountryPtr chosen;
        ASSERT_TRUE(countries.GetAt(row.selected, chosen));
        EXPECT_EQ(IniProfile::GetInt(u"Preferences", u"LastKnownCountry", settings.c_str(), -5),
                  row.written);
        EXPECT_EQ(chosen->GetNumber(), row.written);
    }
}

} // namespace
