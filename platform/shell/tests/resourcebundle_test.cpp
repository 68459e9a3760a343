#include "testdata/resourcebundlewriter.h"

#include "platform/shell/resourcebundle.h"

#include <gtest/gtest.h>

namespace {

using platform::BundleError;
using platform::ResourceBundle;
using testdata::BundleFault;

ResourceBundle Sample() {
    ResourceBundle bundle;
    bundle.strings = {{0, u"zero"},
                      {1, u"Navigator"},
                      {594, u""},
                      {1101, u"Stra\u00DFe \u00E9t\u00E9 \U0001F697"},
                      {65535, u"last"}};
    bundle.bitmaps = {{390, {'B', 'M', 1, 2, 3}}, {941, {'B', 'M'}}};
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

    const auto empty = platform::ReadResourceBundle(testdata::WriteResourceBundle({}));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->strings.empty());
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
                               "6";
    std::string message;
    const auto bundle = platform::CompileResourceSource(source, &message);
    ASSERT_TRUE(bundle.has_value()) << message;
    const std::map<UINT, std::u16string> expected = {{1, u"Navigator"},
                                                     {2, u"Blanks after the id"},
                                                     {3, u"Tab\there, line\nbreak, backslash \\"},
                                                     {4, u"\u00DCberholverbot"},
                                                     {5, u"leading blanks are separators"},
                                                     {6, u""}};
    EXPECT_EQ(bundle->strings, expected);
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
        {"[menus]\n",
         "line 1: unknown section [menus] (this version knows [strings] and [bitmaps])"},
        {"[bitmaps]\n5\tlogo.bmp\n", "line 2: bitmaps need a folder to load their files from"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::string message;
        EXPECT_FALSE(platform::CompileResourceSource(c.source, &message).has_value());
        EXPECT_EQ(message, c.message);
    }
}

// Bitmap lines name files that the loader reads; each must be a bitmap file.
TEST(ResourceSource, CompilesBitmapsThroughTheLoader) {
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
        "[bitmaps]\n1184\tlogo.bmp\n[strings]\n1\tNavigator\n", &message, load);
    ASSERT_TRUE(bundle.has_value()) << message;
    EXPECT_EQ(bundle->bitmaps.at(1184), logo);
    EXPECT_EQ(bundle->strings.at(1), u"Navigator");
    const struct {
        const char* source;
        const char* message;
    } cases[] = {
        {"[bitmaps]\n1\tmissing.bmp\n", "line 2: cannot read missing.bmp"},
        {"[bitmaps]\n1\ttext.txt\n", "line 2: text.txt is not a bitmap file"},
        {"[bitmaps]\n1\tlogo.bmp\n1 logo.bmp\n", "line 3: bitmap id 1 is defined twice"},
        {"[bitmaps]\n70000\tlogo.bmp\n", "line 2: expected a bitmap id from 0 to 65535"},
        {"[bitmaps]\n7\n", "line 2: expected a tab or blank and a file name after the bitmap id"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_FALSE(platform::CompileResourceSource(c.source, &message, load).has_value());
        EXPECT_EQ(message, c.message);
    }
}

} // namespace
