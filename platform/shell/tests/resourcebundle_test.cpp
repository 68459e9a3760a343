#include "testdata/resourcebundlewriter.h"

#include "platform/shell/resourcebundle.h"

#include <gtest/gtest.h>

namespace {

using platform::BundleAccelerator;
using platform::BundleError;
using platform::ResourceBundle;
using testdata::BundleFault;

constexpr BYTE kVirtual = platform::kAcceleratorVirtualKey;
constexpr BYTE kCtrl = platform::kAcceleratorControl;

ResourceBundle Sample() {
    ResourceBundle bundle;
    bundle.strings = {{0, u"zero"},
                      {1, u"Navigator"},
                      {594, u""},
                      {1101, u"Stra\u00DFe \u00E9t\u00E9 \U0001F697"},
                      {65535, u"last"}};
    bundle.bitmaps = {{390, {'B', 'M', 1, 2, 3}}, {941, {'B', 'M'}}};
    bundle.icons = {{1, {'B', 'M', 9}}, {390, {'B', 'M', 4, 5}}};
    bundle.accelerators = {
        {7, {{kVirtual, 0x72, 9}}},
        {225,
         {{kVirtual | kCtrl, 'D', 585},
          {kVirtual | platform::kAcceleratorShift | platform::kAcceleratorAlt, 'D', 420},
          {kVirtual, 0xFE, 0xFFFF}}}};
    bundle.menuBars = {101, 70000};
    return bundle;
}

TEST(ResourceBundleFormat, WrittenBundleReadsBackUnchanged) {
    const ResourceBundle original = Sample();
    BundleError error = BundleError::BadMagic;
    const auto read = platform::ReadResourceBundle(testdata::WriteResourceBundle(original), &error);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(error, BundleError::None);
    EXPECT_EQ(read->strings, original.strings);
    EXPECT_EQ(read->bitmaps, original.bitmaps);
    EXPECT_EQ(read->icons, original.icons);
    EXPECT_EQ(read->accelerators, original.accelerators);
    EXPECT_EQ(read->menuBars, original.menuBars);

    const auto empty = platform::ReadResourceBundle(testdata::WriteResourceBundle({}));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->strings.empty());
    EXPECT_TRUE(empty->accelerators.empty());
    EXPECT_TRUE(empty->menuBars.empty());
}

TEST(ResourceBundleFormat, RefusesEveryBrokenLayoutWithItsReason) {
    const struct {
        BundleFault fault;
        BundleError error;
    } cases[] = {
        {BundleFault::DirectoryPastEnd, BundleError::TooShort},
        {BundleFault::BadMagic, BundleError::BadMagic},
        {BundleFault::FutureVersion, BundleError::BadVersion},
        {BundleFault::WrongFileSize, BundleError::SizeMismatch},
        {BundleFault::SectionPastEnd, BundleError::SectionOutOfRange},
        {BundleFault::TextPastSection, BundleError::EntryOutOfRange},
        {BundleFault::HugeEntryCount, BundleError::EntryOutOfRange},
        {BundleFault::UnorderedIds, BundleError::UnorderedIds},
        {BundleFault::DuplicateSection, BundleError::DuplicateSection},
        {BundleFault::HugeAcceleratorCount, BundleError::EntryOutOfRange},
        {BundleFault::UnorderedAcceleratorTables, BundleError::UnorderedIds},
        {BundleFault::BadAcceleratorFlags, BundleError::BadAccelerator},
        {BundleFault::HugeMenuBarCount, BundleError::EntryOutOfRange},
        {BundleFault::UnorderedMenuBars, BundleError::UnorderedIds},
        {BundleFault::IconPastSection, BundleError::EntryOutOfRange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        BundleError error = BundleError::None;
        const auto bytes = testdata::WriteResourceBundle(Sample(), c.fault);
        EXPECT_FALSE(platform::ReadResourceBundle(bytes, &error).has_value());
        EXPECT_EQ(error, c.error);
        EXPECT_FALSE(platform::BundleErrorText(error).empty());
    }
}

TEST(ResourceBundleFormat, RefusesEveryTruncationOfAValidBundle) {
    const auto bytes = testdata::WriteResourceBundle(Sample());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        BundleError error = BundleError::None;
        EXPECT_FALSE(platform::ReadResourceBundle(
                         std::span<const std::uint8_t>(bytes.data(), length), &error)
                         .has_value());
        EXPECT_NE(error, BundleError::None);
    }
}

TEST(ResourceBundleFormat, RefusesAcceleratorsTheWindowSystemCannotMatch) {
    const struct {
        BYTE flags;
        WORD key;
        BundleError error;
    } cases[] = {
        {kVirtual | kCtrl, 'A', BundleError::None},
        {kCtrl, 'A', BundleError::BadAccelerator},           // not a virtual key
        {kVirtual | 0x02, 'A', BundleError::BadAccelerator}, // unknown flag
        {kVirtual | 0x80, 'A', BundleError::BadAccelerator},
        {kVirtual, 0, BundleError::BadAccelerator},
        {kVirtual, 0xFF, BundleError::BadAccelerator},
        {kVirtual, 0x100, BundleError::BadAccelerator},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.flags) << " " << c.key);
        ResourceBundle bundle;
        bundle.accelerators[225] = {{c.flags, c.key, 1}};
        BundleError error = BundleError::BadMagic;
        (void)platform::ReadResourceBundle(testdata::WriteResourceBundle(bundle), &error);
        EXPECT_EQ(error, c.error);
    }
}

TEST(ResourceSource, CompilesStringsWithCommentsEscapesAndLineEnds) {
    const std::string source = "\xEF\xBB\xBF; a comment\r\n"
                               "# another comment\n"
                               "\n"
                               "[strings]\r\n"
                               "1\tNavigator\r\n"
                               "2    Blanks after the id\n"
                               "3\tTab\\there, line\\nbreak, backslash \\\\\n"
                               "4\t\xC3\x9C"
                               "berholverbot\n"
                               "5\t  leading blanks are separators\n"
                               "6\n"
                               "[accelerators]\n"
                               "225\t585\tCtrl+D\n"
                               "225  420  Shift+Alt+Ctrl+N\r\n"
                               "225\t1102\tF12\n"
                               "7\t65535\t9\n"
                               "[menus]\n"
                               "101\n"
                               "[strings]\n"
                               "7\tsections may come back";
    std::string message;
    const auto bundle = platform::CompileResourceSource(source, &message);
    ASSERT_TRUE(bundle.has_value()) << message;
    const std::map<UINT, std::u16string> expected = {{1, u"Navigator"},
                                                     {2, u"Blanks after the id"},
                                                     {3, u"Tab\there, line\nbreak, backslash \\"},
                                                     {4, u"\u00DCberholverbot"},
                                                     {5, u"leading blanks are separators"},
                                                     {6, u""},
                                                     {7, u"sections may come back"}};
    EXPECT_EQ(bundle->strings, expected);
    const std::map<UINT, std::vector<BundleAccelerator>> accelerators = {
        {7, {{kVirtual, '9', 65535}}},
        {225,
         {{kVirtual | kCtrl, 'D', 585},
          {kVirtual | kCtrl | platform::kAcceleratorShift | platform::kAcceleratorAlt, 'N', 420},
          {kVirtual, 0x7B, 1102}}}};
    EXPECT_EQ(bundle->accelerators, accelerators);
    EXPECT_EQ(bundle->menuBars, std::set<UINT>{101});
}

TEST(ResourceSource, RefusesBadLinesNamingTheLine) {
    const struct {
        const char* source;
        const char* message;
    } cases[] = {
        {"1\tbefore any section\n", "line 1: text before the first section header"},
        {"[strings]\nx\ttext\n", "line 2: expected a string id from 0 to 65535"},
        {"[strings]\n65536\ttext\n", "line 2: expected a string id from 0 to 65535"},
        {"[strings]\n12x\ttext\n", "line 2: expected a tab or blank after the string id"},
        {"[strings]\n1\tone\n1\tagain\n", "line 3: string id 1 is defined twice"},
        {"[strings]\n1\tbad \\q escape\n", "line 2: unknown escape (use \\\\, \\t or \\n)"},
        {"[strings]\n1\ttrailing backslash\\\n", "line 2: unknown escape (use \\\\, \\t or \\n)"},
        {"[strings]\n1\t\xC3(\n", "line 2: the text is not valid UTF-8"},
        {"[strings\n", "line 1: a section header must end with ']'"},
        {"[cursors]\n",
         "line 1: unknown section [cursors] (this version knows [strings], [bitmaps], [icons], "
         "[accelerators] and [menus])"},
        {"[bitmaps]\n5\tlogo.bmp\n", "line 2: bitmaps need a folder to load their files from"},
        {"[icons]\n1\ticon.bmp\n", "line 2: icons need a folder to load their files from"},
        {"[accelerators]\nx\t1\tF1\n", "line 2: expected an accelerator table id from 0 to 65535"},
        {"[accelerators]\n225\n", "line 2: expected a command id from 0 to 65535"},
        {"[accelerators]\n225\t70000\tF1\n", "line 2: expected a command id from 0 to 65535"},
        {"[accelerators]\n225\t1\n",
         "line 2: expected one key such as Ctrl+D or F2 after the command"},
        {"[accelerators]\n225\t1\tCtrl+d\n",
         "line 2: expected one key such as Ctrl+D or F2 after the command"},
        {"[accelerators]\n225\t1\tCtrl+Ctrl+D\n",
         "line 2: expected one key such as Ctrl+D or F2 after the command"},
        {"[accelerators]\n225\t1\tF25\n",
         "line 2: expected one key such as Ctrl+D or F2 after the command"},
        {"[accelerators]\n225\t1\tF01\n",
         "line 2: expected one key such as Ctrl+D or F2 after the command"},
        {"[accelerators]\n225\t1\tF1 F2\n",
         "line 2: expected one key such as Ctrl+D or F2 after the command"},
        {"[accelerators]\n225\t1\tShift+Ctrl+D\n225\t2\tCtrl+Shift+D\n",
         "line 3: the key Ctrl+Shift+D is bound twice in table 225"},
        {"[menus]\n101 button\n",
         "line 2: expected a menu bar id from 0 to 65535 alone on its line"},
        {"[menus]\n65536\n", "line 2: expected a menu bar id from 0 to 65535 alone on its line"},
        {"[menus]\n101\n101\n", "line 3: menu bar 101 is defined twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::string message;
        EXPECT_FALSE(platform::CompileResourceSource(c.source, &message).has_value());
        EXPECT_EQ(message, c.message);
    }
}

// Bitmap and icon lines name files that the loader reads; each must be a bitmap file.
TEST(ResourceSource, CompilesBitmapsAndIconsThroughTheLoader) {
    std::vector<std::uint8_t> logo(54, 0);
    logo[0] = 'B';
    logo[1] = 'M';
    const platform::BitmapFileLoader load =
        [&logo](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        if (name == "logo.bmp")
            return logo;
        if (name == "text.txt")
            return std::vector<std::uint8_t>{'h', 'i'};
        return std::nullopt;
    };
    std::string message;
    const auto bundle = platform::CompileResourceSource(
        "[bitmaps]\n1184\tlogo.bmp\n[strings]\n1\tNavigator\n[icons]\n1 logo.bmp\n", &message,
        load);
    ASSERT_TRUE(bundle.has_value()) << message;
    EXPECT_EQ(bundle->bitmaps.at(1184), logo);
    EXPECT_EQ(bundle->strings.at(1), u"Navigator");
    EXPECT_EQ(bundle->icons, (std::map<UINT, std::vector<std::uint8_t>>{{1, logo}}));
    EXPECT_EQ(bundle->bitmaps.count(1), 0u);
    const struct {
        const char* source;
        const char* message;
    } cases[] = {
        {"[bitmaps]\n1\tmissing.bmp\n", "line 2: cannot read missing.bmp"},
        {"[bitmaps]\n1\ttext.txt\n", "line 2: text.txt is not a bitmap file"},
        {"[bitmaps]\n1\tlogo.bmp\n1 logo.bmp\n", "line 3: bitmap id 1 is defined twice"},
        {"[bitmaps]\n70000\tlogo.bmp\n", "line 2: expected a bitmap id from 0 to 65535"},
        {"[bitmaps]\n7\n", "line 2: expected a tab or blank and a file name after the bitmap id"},
        {"[icons]\n1\ttext.txt\n", "line 2: text.txt is not a bitmap file"},
        {"[icons]\n1\tlogo.bmp\n[bitmaps]\n1\tlogo.bmp\n[icons]\n1 logo.bmp\n",
         "line 6: icon id 1 is defined twice"},
        {"[icons]\n-1\tlogo.bmp\n", "line 2: expected an icon id from 0 to 65535"},
        {"[icons]\n7 \n", "line 2: expected a tab or blank and a file name after the icon id"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_FALSE(platform::CompileResourceSource(c.source, &message, load).has_value());
        EXPECT_EQ(message, c.message);
    }
}

} // namespace
