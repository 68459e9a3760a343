#include "advisor/encodeproperties.h"
#include "testdata/advisorwriter.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

namespace {

using testdata::ConfigTextFault;
using testdata::ConfigTextWriter;

TEST(EncodeProperties, ReadsNameEqualsCodeLines) {
    const ConfigTextWriter lines = ConfigTextWriter()
                                       .Line("Left=12")
                                       .Line("Left = 12")
                                       .Line("x=abc")
                                       .Line("#Hidden=5")
                                       .Line("Comment=1 # here")
                                       .Line("NoEquals")
                                       .Blank()
                                       .Line("Neg=-7x")
                                       .Line("Left=99")
                                       .Line("Stra\xDF"
                                             "e=3");
    const std::map<std::u16string, std::int32_t> plain = {
        {u"Left", 12}, {u"Left ", 12}, {u"x", 0}, {u"Neg", -7}, {u"Stra\u00DFe", 3}};
    const struct {
        ConfigTextFault fault;
        std::map<std::u16string, std::int32_t> codes;
    } cases[] = {
        {ConfigTextFault::None, plain},
        {ConfigTextFault::LfOnlyLines, plain},
        {ConfigTextFault::NoFinalLineEnd, plain},
        // After a UTF-8 byte-order mark, the 1252 byte DF is no valid UTF-8.
        {ConfigTextFault::Utf8ByteOrderMark,
         {{u"Left", 12}, {u"Left ", 12}, {u"x", 0}, {u"Neg", -7}, {u"Stra\uFFFDe", 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.WriteFile(u"\\ConfigFiles\\encode.properties", lines.Build(c.fault)));
        EncodeProperties properties;
        EXPECT_TRUE(properties.Load(u"\\\\ConfigFiles\\encode.properties"));
        EXPECT_TRUE(properties.IsLoaded());
        EXPECT_EQ(properties.GetCodes(), c.codes);
    }
}

TEST(EncodeProperties, LoadsOnceAndFailsWithoutTheFile) {
    testdata::TempDeviceRoot root;
    EncodeProperties properties;
    EXPECT_FALSE(properties.Load(u"\\ConfigFiles\\encode.properties"));
    EXPECT_FALSE(properties.IsLoaded());
    ASSERT_TRUE(root.WriteFile(u"\\ConfigFiles\\encode.properties", "A=1\r\n"));
    EXPECT_TRUE(properties.Load(u"\\ConfigFiles\\encode.properties"));
    ASSERT_TRUE(root.WriteFile(u"\\ConfigFiles\\encode.properties", "B=2\r\n"));
    EXPECT_TRUE(properties.Load(u"\\ConfigFiles\\missing.properties"));
    EXPECT_EQ(properties.GetCodes(), (std::map<std::u16string, std::int32_t>{{u"A", 1}}));
    // A line longer than 511 characters is read in pieces.
    EncodeProperties longLines;
    ASSERT_TRUE(root.WriteFile(u"\\long.properties", std::string(511, 'a') + "B=4\r\n"));
    EXPECT_TRUE(longLines.Load(u"\\long.properties"));
    EXPECT_EQ(longLines.GetCodes(), (std::map<std::u16string, std::int32_t>{{u"B", 4}}));
}

} // namespace
