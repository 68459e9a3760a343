#include "testdata/screendescwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/screendesc.h"

#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

namespace {

// With no "PK.ini" and no "RarUderad.ini", the screen description is "ScreenDescGerCE.dat"
// beside the executable; that path is kept for the whole test program.
class ScreenDescTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetExecutablePath(u"\\Program Files\\Nav\\Navigator.exe");
        ASSERT_TRUE(m_root.WriteFile(u"\\Program Files\\Nav\\ScreenDescGerCE.dat",
                                     std::string_view("[Page]\n"
                                                      "Size=240,320\n"
                                                      "Rect=10, 20,230,300\n"
                                                      "Short=5,6\n"
                                                      "Item16=1,2,3,4,16\n"
                                                      "Item3=1,2,3,4,3\n"
                                                      "Item128=1,2,3,4,128\n"
                                                      "ItemHigh=1,2,3,4,272\n"
                                                      "ItemFour=1,2,3,4\n"
                                                      "Empty=\n"
                                                      "Bitmap=page.bmp\n"
                                                      "Htp=page.htc\n")));
        ASSERT_EQ(AppPaths::GetScreenDescFilePath(), u"\\Program Files\\Nav\\ScreenDescGerCE.dat");
    }
    void TearDown() override { platform::SetExecutablePath(u""); }

    testdata::TempDeviceRoot m_root;
};

TEST_F(ScreenDescTest, RectAndFlagMapsSingleBitsToKinds) {
    const struct {
        const char16_t* key;
        ScreenDescRect rect;
        INT kind;
    } cases[] = {
        {u"Item16", {1, 2, 3, 4}, 5},   {u"Item3", {1, 2, 3, 4}, 0},
        {u"Item128", {1, 2, 3, 4}, 8},  {u"ItemHigh", {1, 2, 3, 4}, 5},
        {u"ItemFour", {1, 2, 3, 4}, 0}, {u"Empty", {0, 0, 0, 0}, 9},
        {u"Missing", {0, 0, 0, 0}, 9},  {u"Short", {5, 6, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key, c.key + std::char_traits<char16_t>::length(c.key)));
        const ScreenDescItem item = ScreenDesc::GetRectAndFlag(u"Page", c.key);
        EXPECT_EQ(item.rect.left, c.rect.left);
        EXPECT_EQ(item.rect.top, c.rect.top);
        EXPECT_EQ(item.rect.right, c.rect.right);
        EXPECT_EQ(item.rect.bottom, c.rect.bottom);
        EXPECT_EQ(item.kind, c.kind);
    }
}

TEST_F(ScreenDescTest, SizesRectsAndNamesWithTheirDefaults) {
    const ScreenDescSize size = ScreenDesc::GetSize(u"Page", u"Size");
    EXPECT_EQ(size.width, 240);
    EXPECT_EQ(size.height, 320);
    const ScreenDescSize missing = ScreenDesc::GetSize(u"Page", u"Missing");
    EXPECT_EQ(missing.width, 0);
    EXPECT_EQ(missing.height, 0);

    const ScreenDescRect rect = ScreenDesc::GetRect(u"Page", u"Rect");
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 230);
    EXPECT_EQ(rect.bottom, 300);
    const ScreenDescRect fromItem = ScreenDesc::GetRect(u"Page", u"Item16");
    EXPECT_EQ(fromItem.bottom, 4) << "a fifth value does not disturb the fourth";

    EXPECT_EQ(ScreenDesc::GetBitmapName(u"Page"), u"page.bmp");
    EXPECT_EQ(ScreenDesc::GetBitmapName(u"Other"), u"");
    EXPECT_EQ(ScreenDesc::GetHelpFile(u"Page"), u"page.htc");
    EXPECT_EQ(ScreenDesc::GetHelpFile(u"Other"), u"ZU_Deridivira.htc");
}

TEST_F(ScreenDescTest, WrittenDescriptionsReadBackWithTheirFaults) {
    // The same file path: the writer's text replaces the fixture's.
    ASSERT_TRUE(m_root.WriteFile(u"\\Program Files\\Nav\\ScreenDescGerCE.dat",
                                 testdata::ScreenDescWriter()
                                     .Sectionless(u"Size", u"1,2")
                                     .Section(u"Dialog")
                                     .Size(200, 100)
                                     .Item(u"OK", 10, 60, 90, 90, 2)
                                     .Rect(u"Msg", 5, 5, 195, 55)
                                     .Bitmap(u"dialog.bmp")
                                     .Help(u"dialog.htc")
                                     .Section(u"Faults")
                                     .Empty(u"Empty")
                                     .NonNumeric(u"Odd", 1, 2, 3, 4)
                                     .Entry(u"Free", u"7,8")
                                     .Build()));
    const struct {
        const char16_t* section;
        const char16_t* key;
        ScreenDescRect rect;
        INT kind;
    } cases[] = {
        {u"Dialog", u"OK", {10, 60, 90, 90}, 2}, {u"Dialog", u"Msg", {5, 5, 195, 55}, 0},
        {u"Faults", u"Empty", {0, 0, 0, 0}, 9},  {u"Faults", u"Odd", {1, 0, 3, 4}, 0},
        {u"Faults", u"Free", {7, 8, 0, 0}, 0},   {u"Faults", u"Size", {0, 0, 0, 0}, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key, c.key + std::char_traits<char16_t>::length(c.key)));
        const ScreenDescItem item = ScreenDesc::GetRectAndFlag(c.section, c.key);
        EXPECT_EQ(item.rect.left, c.rect.left);
        EXPECT_EQ(item.rect.top, c.rect.top);
        EXPECT_EQ(item.rect.right, c.rect.right);
        EXPECT_EQ(item.rect.bottom, c.rect.bottom);
        EXPECT_EQ(item.kind, c.kind);
    }
    const ScreenDescSize size = ScreenDesc::GetSize(u"Dialog", u"Size");
    EXPECT_EQ(size.width, 200);
    EXPECT_EQ(size.height, 100);
    const ScreenDescSize none = ScreenDesc::GetSize(u"Faults", u"Size");
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(ScreenDesc::GetBitmapName(u"Dialog"), u"dialog.bmp");
    EXPECT_EQ(ScreenDesc::GetHelpFile(u"Dialog"), u"dialog.htc");
}

} // namespace
