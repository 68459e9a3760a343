#include "app/contacts/extcontactdlg.h"
#include "app/destinations/addresspage.h"
#include "app/tests/pagedevice.h"
#include "testdata/gazetteerengine.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "testdata/vcardwriter.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/contacts/vcardreader.h"
#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The mode's side of the page: the commands and refreshes it was asked for.
class RecordingMode final : public ContactPageOwner {
public:
    void OnPageCommand(int command, HWND) override { commands.push_back(command); }
    void RefreshMainPage() override { ++refreshes; }
    std::vector<int> commands;
    int refreshes = 0;
};

constexpr UINT kNavigationTitle = 420;

// Postal areas: 9490 inside Vaduz, 9494 inside the first Schaan, 9497 inside Triesenberg.
const GeoRect kVaduzRect{9.50f, 47.12f, 9.54f, 47.16f};
const GeoRect kVaduzPostal{9.51f, 47.13f, 9.53f, 47.15f};
const GeoRect kSchaanNorthRect{9.49f, 47.16f, 9.53f, 47.19f};
const GeoRect kSchaanPostal{9.50f, 47.17f, 9.52f, 47.18f};
const GeoRect kSchaanSouthRect{9.40f, 47.00f, 9.45f, 47.05f};
const GeoRect kTriesenbergRect{9.54f, 47.10f, 9.58f, 47.13f};
const GeoRect kTriesenbergPostal{9.55f, 47.11f, 9.56f, 47.12f};

// A country's address data: two cities "Schaan" (one containing postal area 9494), "Vaduz",
// "Triesen" and "Triesenberg"; in Vaduz two streets "Landstrasse", "Äulestrasse" and
// "Kirchstrasse" without house numbers; in the first Schaan "Hauptstr." with house numbers.
testdata::GazetteerEngine* MakeGazetteer() {
    auto* engine = new testdata::GazetteerEngine();
    engine->cities = {
        {1, u"Vaduz", u"Vaduz", u"9490", 10, kVaduzRect, true, 100},
        {2, u"Schaan", u"Schaan", u"", 20, kSchaanNorthRect, true, 101},
        {3, u"Schaan", u"Schaan", u"", 30, kSchaanSouthRect, true, 102},
        {4, u"Triesen", u"Triesen", u"9495", 40, {}, true, 100},
        {5, u"Triesenberg", u"Triesenberg", u"", 50, kTriesenbergRect, true, 100},
        {6, u"Oldtown", u"Oldtown", u"1000", 60, {}, false, -1},
    };
    engine->postalCodes = {
        {u"9490", kVaduzPostal}, {u"9494", kSchaanPostal}, {u"9497", kTriesenbergPostal}};
    engine->streets = {
        {10, u"Landstrasse", u"9490", true, 200},       {10, u"Landstrasse", u"9491", true, 201},
        {10, u"\u00C4ulestrasse", u"9490", false, 200}, {10, u"Kirchstrasse", u"9490", false, -1},
        {20, u"Hauptstr.", u"9494", true, -1},
    };
    engine->areaNames = {{100, u"Oberland"},
                         {101, u"Unterland"},
                         {102, u"Elsewhere"},
                         {200, u"Vaduz Nord"},
                         {201, u"Vaduz S\u00FCd"}};
    return engine;
}

class ContactPageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.InstallModule(u"pimstore.dll"));
        platform::ResourceBundle bundle;
        bundle.strings = {{1128, u"Which <@>?"}, {1129, u"Street <@> in <@>?"},
                          {1132, u"Home"},       {1133, u"Work "},
                          {1134, u"* "},         {1135, u"Street: "},
                          {1136, u"City: "},     {1137, u"City not found"},
                          {1177, u"Other"},      {320, u"Cancel"},
                          {1047, u"OK"},         {1110, u"Contacts"}};
        ASSERT_TRUE(
            m_root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)));
        m_module = LoadLibraryW(u"LangEngCE.dll");
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
        ASSERT_TRUE(layout && m_root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout));
        m_engine = six::RefCntPtr<testdata::GazetteerEngine>(MakeGazetteer());
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server);
        PickedDestination::Instance().Clear();
    }
    void TearDown() override {
        ContactSession::ReleaseInstance();
        m_server.Release();
        m_engine.Release();
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }

    // A page over these contacts (vCard 3.0), its list filled.
    std::unique_ptr<ExtContactDlg> OpenPage(const std::vector<testdata::VCardContact>& contacts) {
        ContactSession::ReleaseInstance(); // the next session reads the new file
        EXPECT_TRUE(m_root.WriteFile(platform::kContactsFilePath,
                                     testdata::WriteVCards(contacts, testdata::VCardVersion::V30)));
        auto page = CreateContactPage(m_server, m_mode, m_destination, kNavigationTitle);
        page->FillList();
        return page;
    }

    testdata::TempDeviceRoot m_root;
    HMODULE m_module = nullptr;
    six::RefCntPtr<testdata::GazetteerEngine> m_engine;
    Onboard::OnboardServerPtr m_server;
    RecordingMode m_mode;
    DestinationDescription m_destination;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
};

testdata::VCardContact WorkContact(std::string street, std::string postalCode, std::string city) {
    return {"Muster",
            "Max",
            "",
            {{{"work"}, std::move(street), std::move(postalCode), std::move(city), ""}}};
}

// The contact page, activated while the TMC message page is shown, activates that page again and
// leaves it in front.
TEST_F(ContactPageTest, ActivationLeavesTheShownTmcPageInFront) {
    const auto page = OpenPage({WorkContact("Landstrasse 1", "", "Schaan")});
    ShowPageWindow(page->GetPageHandle(), true);
    m_driver.RunUntilIdle();
    for (const bool tmcPageShown : {true, false}) {
        SCOPED_TRACE(tmcPageShown);
        const apptesting::TmcPageSeen seen =
            apptesting::ActivateOverTmcPage(page->GetHwnd(), tmcPageShown);
        EXPECT_EQ(seen.pageActivations, tmcPageShown ? 1 : 0);
        EXPECT_EQ(seen.inFront, tmcPageShown);
    }
}

TEST_F(ContactPageTest, ListsEachAddressWithACityInOrder) {
    const auto page = OpenPage({
        {"Beck",
         "Anna",
         "Amt",
         {{{"postal"}, "Postfach 1", "9490", "Vaduz", ""},
          {{"home"}, "Landstrasse 5", "", "Schaan", ""},
          {{"work"}, "Hauptstr. 12", "9494", " Schaan\t", ""}}},
        {"", "Solo", "", {{{"work"}, "Kirchstrasse", "9490", "Vaduz", ""}}},
        {"Ohne", "Ort", "", {{{"home"}, "Bahnstrasse 7", "9490", "  ", ""}}},
    });
    EXPECT_EQ(page->GetLines(),
              (std::vector<std::u16string>{
                  u"* Beck, Anna\nWork Amt\nStreet: Hauptstr. 12\nCity: 9494 Schaan",
                  u"* Beck, Anna\nHome\nStreet: Landstrasse 5\nCity: Schaan",
                  u"* Beck, Anna\nOther\nStreet: Postfach 1\nCity: 9490 Vaduz",
                  u"* Solo\nWork \nStreet: Kirchstrasse\nCity: 9490 Vaduz",
              }));
    ASSERT_EQ(page->GetEntries().size(), 4u);
    const ContactAddress& first = page->GetEntries()[0];
    EXPECT_EQ(first.city, u"Schaan");
    EXPECT_EQ(first.street, u"Hauptstr.");
    EXPECT_EQ(first.houseNumber, u"12");
    EXPECT_EQ(first.postalCode, u"9494");
    EXPECT_EQ(page->GetCurSel(), 0);
}

// A name held whole in one name part, as phones and address books export a contact without a
// family name (a name typed as one, FN alone, a company card, ORG alone, a given or a family
// name alone), reads whole on its line, with no comma left over, and its first letter jumps to
// it.
TEST_F(ContactPageTest, ListsANameWithoutFamilyNameWholeAndJumpsToItsLetter) {
    ContactSession::ReleaseInstance();
    ASSERT_TRUE(m_root.WriteFile(
        platform::kContactsFilePath,
        testdata::WriteVCards(testdata::NoFamilyNameContacts(), testdata::VCardVersion::V30)));
    auto page = CreateContactPage(m_server, m_mode, m_destination, kNavigationTitle);
    ShowPageWindow(page->GetPageHandle(), true); // the first activation fills the list
    m_driver.RunUntilIdle();
    std::vector<std::u16string> names;
    for (const std::u16string& line : page->GetLines()) {
        names.push_back(line.substr(0, line.find(u'\n')));
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"* Elias Vogt", u"* Elias Vogt",
                                                  u"* Rheintal Treuhand AG", u"* Alpenbau AG",
                                                  u"* Mira", u"* Kaiser"}));
    const struct {
        char key;
        int line;
    } jumps[] = {{'R', 2}, {'E', 0}, {'E', 1}, {'A', 3}, {'M', 4}, {'K', 5}};
    for (const auto& jump : jumps) {
        SCOPED_TRACE(jump.key);
        SendMessageW(page->GetHwnd(), WM_KEYDOWN, static_cast<WPARAM>(jump.key), 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(page->GetCurSel(), jump.line);
    }
    page.reset();
    m_driver.RunUntilIdle();
}

// Contacts the store cannot read whole (a file past its bound, an item it cannot give) are a
// message on the page, not an empty list.
TEST_F(ContactPageTest, ShowsThatTheContactsCannotBeReadInsteadOfAnEmptyList) {
    const struct {
        const char* name;
        std::size_t keptBound;
        int failing;
        std::vector<UINT> messages;
        std::size_t lines;
    } cases[] = {
        {"read whole", platform::kMaxKeptContactBytes, 0, {}, 1},
        {"past the bound", 100, 0, {ExtContactDlg::kContactsUnreadableMessageId}, 0},
        {"an item fails",
         platform::kMaxKeptContactBytes,
         1,
         {ExtContactDlg::kContactsUnreadableMessageId},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ContactSession::ReleaseInstance();
        ASSERT_TRUE(
            m_root.WriteFile(platform::kContactsFilePath,
                             testdata::WriteVCards({WorkContact("Kirchstrasse", "9490", "Vaduz")},
                                                   testdata::VCardVersion::V30)));
        platform::SetContactsKeptBound(c.keptBound);
        platform::FailContactItem(c.failing);
        auto page = CreateContactPage(m_server, m_mode, m_destination, kNavigationTitle);
        std::vector<UINT> messages;
        page->SetMessageShower([&](UINT id) { messages.push_back(id); });
        page->FillList();
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(page->GetLines().size(), c.lines);
        platform::SetContactsKeptBound(platform::kMaxKeptContactBytes);
        platform::FailContactItem(0);
    }
}

// The entries take each line break ("\r\n", a lone "\r" or "\n") of street, postal code and
// city as one blank; the list line keeps the texts as they are, the city trimmed.
TEST(ContactLines, EntriesTakeLineBreaksAsBlanks) {
    struct Case {
        std::u16string street, postalCode, city;
        std::u16string line;
        ContactAddress entry;
    };
    const std::vector<Case> cases = {
        {u"Kirchstrasse 4",
         u"9490",
         u"Vaduz",
         u"> Beck, Anna\nWork Amt\nS Kirchstrasse 4\nC 9490 Vaduz",
         {u"Vaduz", u"Kirchstrasse", u"9490", u"4"}},
        {u"Haupt\r\nstrasse 5",
         u"94\n90",
         u"Va\rduz",
         u"> Beck, Anna\nWork Amt\nS Haupt\r\nstrasse 5\nC 94\n90 Va\rduz",
         {u"Va duz", u"Haupt strasse", u"94 90", u"5"}},
        {u"A\r\r\nB\n\n7",
         u"",
         u" \nSchaan\r\n",
         u"> Beck, Anna\nWork Amt\nS A\r\r\nB\n\n7\nC Schaan",
         {u"Schaan", u"A  B ", u"", u"7"}},
    };
    const ContactLineTexts texts{u"> ", u"S ", u"C ", u"Work ", u"Home", u"Other"};
    for (const Case& c : cases) {
        ContactRecord record;
        record.strings[1] = u"Amt";
        record.strings[9] = u"Anna";
        record.strings[10] = u"Beck";
        record.strings[11] = c.street;
        record.strings[12] = c.postalCode;
        record.strings[13] = c.city;
        std::vector<std::u16string> lines;
        std::vector<ContactAddress> entries;
        BuildContactLines({record}, texts, lines, entries);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(lines, std::vector<std::u16string>{c.line});
        EXPECT_EQ(entries[0].city, c.entry.city);
        EXPECT_EQ(entries[0].street, c.entry.street);
        EXPECT_EQ(entries[0].postalCode, c.entry.postalCode);
        EXPECT_EQ(entries[0].houseNumber, c.entry.houseNumber);
    }
}

TEST(ContactLetterJump, FindsTheFirstLineOfTheLetterOrTheNextOfARun) {
    const std::vector<std::u16string> lines = {u"* Adler", u"* Mayer", u"* Meier", u"* Moser",
                                               u"* Nagel", u"* mini",  u"* Mut",   u"* xaver"};
    const struct {
        const char* name;
        int selected;
        char16_t key;
        int line;
    } cases[] = {
        {"from a line of another letter: the first M", 0, u'M', 1},
        {"on an M followed by an M: the next", 1, u'M', 2},
        {"on the last of a run: back to the first", 3, u'M', 1},
        {"a lone M after a lower-case name: the first M", 6, u'M', 1},
        {"no line of that letter", 2, u'Z', -1},
        {"a name in lower case is not jumped to", 0, u'X', -1},
        {"N", 3, u'N', 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindLetterLine(lines, 2, c.selected, c.key), c.line);
    }
}

TEST_F(ContactPageTest, ChoosesCityAndStreetAskingOnlyWhenSeveralRemain) {
    const AddressResultPtr oldCity = [this] {
        AddressCursorPtr cursor = m_engine->FindCities(u"Oldtown", 0);
        return cursor->GetCurrent();
    }();
    const struct {
        const char* name;
        testdata::VCardContact contact;
        std::vector<int> answers; // the scripted list dialog choices, in order
        std::vector<std::u16string> prompts;
        std::vector<std::vector<std::u16string>> choices;
        std::u16string city; // "Oldtown": the fields stayed as they were
        std::uint32_t cityId;
        std::u16string street; // empty: none
        std::u16string houseNumber;
        std::vector<UINT> messages;
    } cases[] = {
        {"exact city and street",
         WorkContact("\xC3\x84ulestrasse 12", "9490", "Vaduz"),
         {},
         {},
         {},
         u"Vaduz",
         1,
         u"\u00C4ulestrasse",
         u"",
         {}},
        {"twin containing the postal area taken without asking",
         WorkContact("Hauptstr. 12", "9494", "Schaan"),
         {},
         {},
         {},
         u"Schaan",
         2,
         u"Hauptstr.",
         u"12",
         {}},
        {"nine letters found at eight",
         WorkContact("", "", "Triesenbx"),
         {},
         {},
         {},
         u"Triesenberg",
         5,
         u"",
         u"",
         {}},
        {"nine letters with a fitting postal area",
         WorkContact("", "9497", "Triesenbx"),
         {},
         {},
         {},
         u"Triesenberg",
         5,
         u"",
         u"",
         {}},
        {"city chosen from the twins",
         WorkContact("Bahnweg 3", "", "Schaan"),
         {1},
         {u"Which Schaan?"},
         {{u"Schaan (),\nUnterland", u"Schaan (),\nElsewhere"}},
         u"Schaan",
         3,
         u"",
         u"",
         {}},
        {"city choice cancelled",
         WorkContact("Bahnweg 3", "", "Schaan"),
         {-1},
         {u"Which Schaan?"},
         {{u"Schaan (),\nUnterland", u"Schaan (),\nElsewhere"}},
         u"Oldtown",
         6,
         u"",
         u"99",
         {}},
        {"street chosen",
         WorkContact("Landstrasse 5", "", "Vaduz"),
         {1},
         {u"Street Landstrasse 5 in Vaduz?"},
         {{u"Landstrasse (9490),\nVaduz Nord", u"Landstrasse (9491),\nVaduz S\u00FCd"}},
         u"Vaduz",
         1,
         u"Landstrasse",
         u"5",
         {}},
        {"street choice cancelled",
         WorkContact("Landstrasse 5", "", "Vaduz"),
         {-1},
         {u"Street Landstrasse 5 in Vaduz?"},
         {{u"Landstrasse (9490),\nVaduz Nord", u"Landstrasse (9491),\nVaduz S\u00FCd"}},
         u"Oldtown",
         6,
         u"",
         u"99",
         {}},
        {"street with the postal code of the entry",
         WorkContact("Landstrasse 5", "9490", "Vaduz"),
         {},
         {},
         {},
         u"Vaduz",
         1,
         u"Landstrasse",
         u"5",
         {}},
        {"house number dropped on a street without numbers",
         WorkContact("Kirchstrasse 3", "9490", "Vaduz"),
         {},
         {},
         {},
         u"Vaduz",
         1,
         u"Kirchstrasse",
         u"",
         {}},
        {"unknown street: the city alone",
         WorkContact("Nirgendweg 1", "9490", "Vaduz"),
         {},
         {},
         {},
         u"Vaduz",
         1,
         u"",
         u"",
         {}},
        {"no city",
         WorkContact("Weg 1", "", "Atlantis"),
         {},
         {},
         {},
         u"Oldtown",
         6,
         u"",
         u"99",
         {ExtContactDlg::kNoCityMessageId}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_destination = DestinationDescription{};
        m_destination.city = oldCity;
        m_destination.houseNumber = u"99";
        m_mode = RecordingMode{};
        auto page = OpenPage({c.contact});
        std::vector<std::u16string> prompts;
        std::vector<std::vector<std::u16string>> choices;
        std::size_t answered = 0;
        page->SetListChooser([&](const std::vector<std::u16string>& lines,
                                 const std::u16string& prompt, UINT titleId) {
            EXPECT_EQ(titleId, kNavigationTitle);
            prompts.push_back(prompt);
            choices.push_back(lines);
            return answered < c.answers.size() ? c.answers[answered++] : -1;
        });
        std::vector<UINT> messages;
        page->SetMessageShower([&](UINT id) { messages.push_back(id); });
        page->ChooseAddress();
        EXPECT_EQ(prompts, c.prompts);
        EXPECT_EQ(choices, c.choices);
        EXPECT_EQ(messages, c.messages);
        ASSERT_TRUE(m_destination.city);
        EXPECT_EQ(m_destination.city->GetName(), c.city);
        EXPECT_EQ(m_destination.city->GetId(), c.cityId);
        EXPECT_EQ(m_destination.street ? m_destination.street->GetName() : u"", c.street);
        EXPECT_EQ(m_destination.houseNumber, c.houseNumber);
        const bool isCancelled = c.city == u"Oldtown" && c.messages.empty();
        EXPECT_EQ(m_mode.commands, isCancelled ? std::vector<int>{} : std::vector<int>{13});
        EXPECT_EQ(m_mode.refreshes, c.city == u"Oldtown" ? 0 : 1);
    }
    // Every street search ran with the street query settings.
    for (const QueryDefaults& query : m_engine->streetQueries) {
        EXPECT_EQ(query, (QueryDefaults{1001, 1091, {}, 0, 1}));
    }
}

TEST_F(ContactPageTest, TriesShortenedCityNamesFromEightLettersDownToFour) {
    const struct {
        const char* name;
        std::string city;
        std::vector<std::u16string> searches;
    } cases[] = {
        {"found at eight", "Triesenbx", {u"city:Triesenbx", u"city:Triesenb"}},
        {"never found: down to four letters",
         "Xylophone",
         {u"city:Xylophone", u"city:Xylophon", u"city:Xylopho", u"city:Xyloph", u"city:Xylop",
          u"city:Xylo"}},
        {"four letters are not shortened", "Xylo", {u"city:Xylo"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto page = OpenPage({WorkContact("", "", c.city)});
        m_engine->searches.clear();
        page->SetMessageShower([](UINT) {});
        page->ChooseAddress();
        EXPECT_EQ(m_engine->searches, c.searches);
    }
}

TEST_F(ContactPageTest, EnterChoosesOnTheListAndOkAndCancelsOnCancel) {
    const struct {
        const char* name;
        UINT focus;
        bool chooses;
    } cases[] = {
        {"list", ExtContactDlg::kListId, true},
        {"OK", ExtContactDlg::kOkId, true},
        {"Cancel", ExtContactDlg::kCancelId, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_destination = DestinationDescription{};
        m_mode = RecordingMode{};
        ContactSession::ReleaseInstance();
        ASSERT_TRUE(
            m_root.WriteFile(platform::kContactsFilePath,
                             testdata::WriteVCards({WorkContact("Kirchstrasse 3", "9490", "Vaduz"),
                                                    WorkContact("Hauptstr. 12", "9494", "Schaan")},
                                                   testdata::VCardVersion::V40)));
        auto page = CreateContactPage(m_server, m_mode, m_destination, kNavigationTitle);
        ShowPageWindow(page->GetPageHandle(), true); // the first activation fills the list
        m_driver.RunUntilIdle();
        ASSERT_NE(page->GetListBox(), nullptr);
        ASSERT_EQ(page->GetListBox()->GetCount(), 2);
        SendMessageW(page->GetListBox()->GetWindow(), LB_SETCURSEL, 1, 0);
        page->SetFocusId(c.focus);
        SendMessageW(page->GetHwnd(), WM_KEYDOWN, VK_RETURN, 0);
        m_driver.RunUntilIdle();
        EXPECT_EQ(m_mode.commands, std::vector<int>{ExtContactDlg::kMainPageCommand});
        EXPECT_EQ(m_destination.city ? m_destination.city->GetName() : u"",
                  c.chooses ? u"Schaan" : u"");
        EXPECT_EQ(m_destination.houseNumber, c.chooses ? u"12" : u"");
        page.reset();
        m_driver.RunUntilIdle();
    }
}

} // namespace
