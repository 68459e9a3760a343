// The facade over level files of writer-made map sets and style sheets in a temporary device root.

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/levelfilewriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/stylesheetwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr MapPoint kOrigin{4000000, 3000000};

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(LevelLines, ReadUpToTheEndOfTheList) {
    struct Case {
        std::string text;
        std::optional<std::size_t> count;
        std::string lastAlternate;
        int lastScale;
    };
    const std::string longName(300, 'a');
    const std::vector<Case> cases = {
        {"A.rid day.mpl 20 night.mpl\nB.rid day.mpl 100000 night.mpl\n", 2, "night.mpl", 100000},
        {"A.rid day.mpl 20\r\n", 1, "day.mpl", 20},
        {"\nA.rid day.mpl 20 n\n", 0, "", 0},
        {"A.rid day.mpl 20 n\r\nB.rid x 3 y\n", 2, "y", 3},
        {"A.rid day.mpl 20 n\nEurope.iso x 1\nB.rid x 3 y\n", 1, "n", 20},
        {"A.rid day.mpl 20 n\n\nB.rid x 3 y\n", 1, "n", 20},
        {"A.rid day.mpl 20 n\n\rB.rid x 3 y\n", 1, "n", 20},
        {"A.rid day.mpl -7", 1, "day.mpl", -7},
        {"A.rid day.mpl 99999999999 n", 1, "n", 2147483647},
        {"", 0, "", 0},
        {"A.rid day.mpl\n", std::nullopt, "", 0},
        {"A.rid day.mpl x n\n", std::nullopt, "", 0},
        {longName + " day.mpl 20 n\n", std::nullopt, "", 0}, // the rest scans as a line
    };
    for (const Case& c : cases) {
        const auto bytes = Bytes(c.text);
        const auto lines = ParseLevelLines(bytes);
        ASSERT_EQ(lines.has_value(), c.count.has_value()) << c.text;
        if (!lines)
            continue;
        ASSERT_EQ(lines->size(), *c.count) << c.text;
        if (lines->empty())
            continue;
        EXPECT_EQ(lines->back().scale, c.lastScale) << c.text;
        EXPECT_EQ(lines->back().alternateStyle,
                  std::u16string(c.lastAlternate.begin(), c.lastAlternate.end()))
            << c.text;
    }
}

struct EventCounter {
    OwnerHandlerList handlers;
    int opened = 0;
    int closed = 0;
    void OnOpened() { ++opened; }
    void OnClosed() { ++closed; }
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
};

testdata::ElementDescription Line(int x, std::uint16_t code, std::uint8_t layer,
                                  std::uint32_t attributes = 0) {
    testdata::ElementDescription element;
    element.typeLetter = 'l';
    element.bounds = {kOrigin.x + x, kOrigin.y, kOrigin.x + x + 100, kOrigin.y + 100};
    element.typeCode = code;
    element.subtype = layer;
    element.attributes = attributes;
    return element;
}

class Facade : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.MakeFolder(u"\\maps"));
        ASSERT_TRUE(
            m_root.WriteFile(u"\\maps\\day.mpl", testdata::DefaultStyleSheet(false).Write()));
        ASSERT_TRUE(
            m_root.WriteFile(u"\\maps\\night.mpl", testdata::DefaultStyleSheet(true).Write()));
        m_facade->Opened().Connect(&m_events, &EventCounter::OnOpened);
        m_facade->Closed().Connect(&m_events, &EventCounter::OnClosed);
    }
    void WriteMapSet(const char* name, const std::vector<testdata::ElementDescription>& elements,
                     std::uint32_t mapKind, std::vector<std::uint32_t>* ids = nullptr) {
        testdata::MapSetWriter writer;
        for (const auto& element : elements)
            ASSERT_TRUE(writer.Add(element));
        testdata::RidHeaderFields header;
        header.mapKind = mapKind;
        writer.SetHeader(header);
        const std::string base = std::string("\\maps\\") + name;
        ASSERT_TRUE(writer.WriteTo(m_root.HostPathOf(std::u16string(base.begin(), base.end()))));
        writer.Build();
        if (ids != nullptr)
            *ids = writer.GetElementIds();
    }
    void WriteLevels(const char16_t* path, const std::string& text) {
        ASSERT_TRUE(m_root.WriteFile(path, text));
    }

    testdata::TempDeviceRoot m_root;
    six::RefCntPtr<MapEngineFacade> m_facade = MapEngineFacade::Create(256);
    EventCounter m_events;
};

TEST_F(Facade, EveryOperationAnswersEmptyWithoutLevels) {
    MapEngineFacade& f = *m_facade;
    EXPECT_FALSE(f.IsCookie2CountryOpen());
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(f.CreateGeoMolecule(5, 0));
    EXPECT_FALSE(f.CreateMappedGeoMolecule(5, u"x", 0));
    EXPECT_NE(f.GetQueryDefaultsRef(), nullptr);
    EXPECT_FALSE(f.FindAlong({{GeoPoint{9.5, 47.1}}}, 10, u""));
    EXPECT_FALSE(f.FindInPostalCode(u"9490", 0, u""));
    EXPECT_FALSE(f.FindInArea(1, u""));
    EXPECT_FALSE(f.FindAround({9.5, 47.1}, 10, u""));
    EXPECT_FALSE(f.FindInRect({9.5, 47.1, 9.6, 47.2}, u""));
    EXPECT_EQ(f.LookupArea(1), u"");
    EXPECT_EQ(f.GetETypeName(1), u"");
    EXPECT_TRUE(f.GetCountries(0).empty());
    EXPECT_FALSE(f.FindCities(u"a", 0));
    EXPECT_FALSE(f.FindPostalCodes(u"9", 0));
    EXPECT_FALSE(f.GetETypeCursor());
    EXPECT_FALSE(f.GetCountry(1, 0));
    EXPECT_FALSE(f.GetAddressOfElement(1, 0));
    EXPECT_EQ(f.WalkAreaHierarchy(1, 0), -1);
    EXPECT_FALSE(f.HasAddressIndex());
    EXPECT_FALSE(f.HasNameFile());
    EXPECT_FALSE(f.IsHouseNumbersOpen());
    EXPECT_FALSE(f.IsMapSetOpen());
    EXPECT_FALSE(f.HasLevels());
    const GeoRect extent = f.GetExtent();
    EXPECT_EQ(extent.minX, 0);
    EXPECT_EQ(extent.maxX, 0);
    EXPECT_FALSE(f.GetMappedElement(1));
    EXPECT_TRUE(f.GetBlockCache());
    EXPECT_FALSE(f.QueryArea({9.5, 47.1, 9.6, 47.2}, 0, 0));
    EXPECT_FALSE(f.FindElementAt({9.5, 47.1, 9.6, 47.2}, 10));
    EXPECT_EQ(f.GetLevelEngine(10), nullptr);
    EXPECT_EQ(f.GetLevelStyleName(10, false), nullptr);
    EXPECT_FALSE(f.SelectLevelStyle(10, true));
    EXPECT_EQ(&f.GetEngineEvents(), static_cast<RetrievalEngineEvents*>(&f));
}

// A level file of no bytes and a style sheet that is there but cut short are damaged: each is
// named once in the file-check box; a missing style sheet only fails the load.
TEST_F(Facade, NamesADamagedLevelFileOrStyleSheet) {
    WriteMapSet("a", {Line(0, 1070, 1)}, 2);
    std::vector<std::uint8_t> sheet = testdata::DefaultStyleSheet(false).Write();
    sheet.resize(sheet.size() / 2);
    ASSERT_TRUE(m_root.WriteFile(u"\\maps\\cut.mpl", sheet));
    WriteLevels(u"\\maps\\zero.lvl", "");
    WriteLevels(u"\\maps\\cutstyle.lvl", "a.rid cut.mpl 20\n");
    WriteLevels(u"\\maps\\nostyle.lvl", "a.rid none.mpl 20\n");
    const struct {
        const char16_t* path;
        const char16_t* named; // empty: no box
    } cases[] = {{u"\\maps\\zero.lvl", u"\\maps\\zero.lvl"},
                 {u"\\maps\\cutstyle.lvl", u"\\maps\\cut.mpl"},
                 {u"\\maps\\nostyle.lvl", u""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.path));
        ForgetFileCheckMessages();
        platform::ClearRecordedMessageBoxes();
        EXPECT_FALSE(m_facade->LoadLevelFile(c.path));
        EXPECT_FALSE(m_facade->HasLevels());
        std::vector<std::u16string> texts;
        for (const auto& box : platform::RecordedMessageBoxes()) {
            // The writer's map set has an empty name file, which is named too.
            if (box.text.find(u".nam,") == std::u16string::npos)
                texts.push_back(box.text);
        }
        ASSERT_EQ(texts.size(), *c.named != u'\0' ? 1u : 0u)
            << (texts.empty() ? "" : platform::Utf16ToUtf8(texts.front()));
        if (!texts.empty()) {
            EXPECT_NE(texts[0].find(std::u16string(c.named) + u", file size:"),
                      std::u16string::npos);
        }
    }
    ForgetFileCheckMessages();
    platform::ClearRecordedMessageBoxes();
}

// The level file is loaded once per path; a wrong extension or a missing file clears what was
// loaded; a level file whose first line is empty loads no level.
TEST_F(Facade, LoadsLevelFilesAndRefusesWhatIsNotOne) {
    WriteMapSet("a", {Line(0, 1070, 1)}, 2);
    const std::string good = "a.rid day.mpl 20 night.mpl\n";
    WriteLevels(u"\\maps\\map.lvl", good);
    WriteLevels(u"\\maps\\upper.LVL", good);
    WriteLevels(u"\\maps\\short.lv", good);
    WriteLevels(u"\\maps\\nodot", good);
    WriteLevels(u"\\maps\\empty.lvl", "\na.rid day.mpl 20\n");
    WriteLevels(u"\\maps\\nomap.lvl", "b.rid day.mpl 20\n");
    WriteLevels(u"\\maps\\nostyle.lvl", "a.rid none.mpl 20\n");
    WriteLevels(u"\\maps\\second.lvl", "a.rid day.mpl 20\na.rid none.mpl 50\n");
    struct Case {
        const char16_t* path;
        bool result;
        bool hasLevels;
        int opened;
        int closed;
    };
    const std::vector<Case> cases = {
        {u"\\maps\\map.lvl", true, true, 1, 1},      {u"\\maps\\map.lvl", true, true, 0, 0},
        {u"\\maps\\short.lv", false, false, 0, 1},   {u"\\maps\\upper.LVL", true, true, 1, 1},
        {u"\\maps\\nodot", false, false, 0, 1},      {u"\\maps\\empty.lvl", true, false, 1, 1},
        {u"\\maps\\empty.lvl", true, false, 1, 1},   {u"\\maps\\missing.lvl", false, false, 0, 1},
        {u"\\maps\\nomap.lvl", false, false, 0, 1},  {u"\\maps\\nostyle.lvl", false, false, 0, 1},
        {u"\\maps\\second.lvl", false, false, 0, 1}, {u"\\maps\\map.lvl", true, true, 1, 1},
    };
    for (const Case& c : cases) {
        m_events.opened = 0;
        m_events.closed = 0;
        EXPECT_EQ(m_facade->LoadLevelFile(c.path), c.result);
        EXPECT_EQ(m_facade->HasLevels(), c.hasLevels);
        EXPECT_EQ(m_events.opened, c.opened);
        EXPECT_EQ(m_events.closed, c.closed);
    }
    // Engine questions go to level 0; the style names are joined to the folder, the alternate
    // one standing in for a line that names none.
    EXPECT_TRUE(m_facade->IsOpen());
    EXPECT_TRUE(m_facade->IsMapSetOpen());
    EXPECT_EQ(m_facade->GetLevelStyleName(1, true), std::u16string(u"\\maps\\night.mpl"));
    m_facade->Close();
    EXPECT_FALSE(m_facade->HasLevels());
    EXPECT_TRUE(m_facade->Open(u"\\maps\\upper.LVL"));
    WriteLevels(u"\\maps\\noalt.lvl", "a.rid day.mpl 20\n");
    ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\noalt.lvl"));
    EXPECT_EQ(m_facade->GetLevelStyleName(1, true), std::u16string(u"\\maps\\day.mpl"));
}

TEST_F(Facade, ChoosesTheFirstLevelWhoseScaleIsNotBelowTheView) {
    WriteMapSet("a", {Line(0, 1070, 1)}, 2);
    WriteMapSet("b", {Line(0, 1070, 1)}, 0);
    WriteMapSet("c", {Line(0, 1010, 1)}, 0);
    WriteLevels(u"\\maps\\map.lvl", "a.rid day.mpl 1000 night.mpl\nb.rid night.mpl 5000\n"
                                    "c.rid day.mpl 20000 none.mpl\n");
    ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\map.lvl"));
    struct Case {
        float scale;
        float levelScale;
        const char16_t* style;
    };
    for (const Case& c :
         {Case{800, 1000, u"\\maps\\day.mpl"}, Case{1000, 1000, u"\\maps\\day.mpl"},
          Case{1000.5F, 5000, u"\\maps\\night.mpl"}, Case{5000, 5000, u"\\maps\\night.mpl"},
          Case{30000, 20000, u"\\maps\\day.mpl"}}) {
        float levelScale = 0;
        EXPECT_NE(m_facade->GetLevelEngine(c.scale, &levelScale), nullptr);
        EXPECT_EQ(levelScale, c.levelScale) << c.scale;
        EXPECT_EQ(std::u16string(m_facade->GetLevelStyleName(c.scale, false)), c.style);
    }
    EXPECT_NE(m_facade->GetLevelEngine(800), m_facade->GetLevelEngine(30000));
    // The alternate sheet of the first level loads; the last level's does not.
    EXPECT_TRUE(m_facade->SelectLevelStyle(800, true));
    EXPECT_FALSE(m_facade->SelectLevelStyle(30000, true));
    EXPECT_TRUE(m_facade->SelectLevelStyle(30000, false));
}

// The element of the highest layer under the rectangle, the later one on a tie; areas never;
// an overview hit is answered with level 0's element named by its link id.
TEST_F(Facade, FindsTheTopElementUnderARectangle) {
    std::vector<std::uint32_t> detailIds;
    testdata::ElementDescription area;
    area.typeLetter = 'y';
    area.typeCode = 2000;
    area.subtype = 9;
    area.points = {{kOrigin.x - 500, kOrigin.y - 500},
                   {kOrigin.x + 500, kOrigin.y - 500},
                   {kOrigin.x + 500, kOrigin.y + 500}};
    WriteMapSet("a",
                {Line(0, 1070, 2), Line(0, 1080, 4), Line(0, 1090, 4), Line(0, 1030, 3), area,
                 Line(5000, 1070, 1)},
                2, &detailIds);
    WriteMapSet("b", {Line(0, 1010, 5, detailIds[5])}, 0);
    WriteLevels(u"\\maps\\map.lvl", "a.rid day.mpl 20\nb.rid day.mpl 1000\n");
    ASSERT_TRUE(m_facade->LoadLevelFile(u"\\maps\\map.lvl"));
    const auto rectAt = [](int x) {
        return MapUnitsToDegrees(
            {kOrigin.x + x + 40, kOrigin.y + 30, kOrigin.x + x + 60, kOrigin.y + 50});
    };
    const auto detail = m_facade->FindElementAt(rectAt(0), 2);
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->GetTypeCode(), 1090);
    EXPECT_EQ(detail->GetId(), detailIds[2]);
    EXPECT_FALSE(m_facade->FindElementAt(rectAt(300), 2)); // only the area lies there
    EXPECT_FALSE(m_facade->FindElementAt(rectAt(20000), 2));
    const auto overview = m_facade->FindElementAt(rectAt(0), 500);
    ASSERT_TRUE(overview);
    EXPECT_EQ(overview->GetId(), detailIds[5]);
    EXPECT_EQ(overview->GetTypeCode(), 1070);
}

} // namespace
