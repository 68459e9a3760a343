#include "testdata/tempdir.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class FileCheckMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ClearRecordedMessageBoxes();
        ForgetFileCheckMessages();
    }
    void TearDown() override { ForgetFileCheckMessages(); }
};

std::vector<std::u16string> FileCheckTexts() {
    std::vector<std::u16string> texts;
    for (const auto& box : platform::RecordedMessageBoxes()) {
        texts.push_back(box.text);
    }
    return texts;
}

TEST_F(FileCheckMessageTest, SizesAboveTwoGibibytesAreShownWhole) {
    const struct {
        std::uint64_t size;
        const char16_t* text;
    } cases[] = {
        {0, u"Error code 1006 File name: \\a.dat, file size: 0 bytes"},
        {3000000000u, u"Error code 1006 File name: \\a.dat, file size: 3000000000 bytes"},
        {0x123456789ull, u"Error code 1006 File name: \\a.dat, file size: 4886718345 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        SetUp();
        EXPECT_TRUE(ShowFileCheckMessage(u"\\a.dat", ERROR_FILE_INVALID, c.size));
        EXPECT_EQ(FileCheckTexts(), std::vector<std::u16string>{c.text});
    }
}

// A name too long for the box keeps its start and its end around "...", and the size part stays.
TEST_F(FileCheckMessageTest, ALongNameIsShortenedInItsMiddle) {
    const std::u16string name = u"\\Maps\\" + std::u16string(600, u'x') + u"\\Map.rid";
    EXPECT_TRUE(ShowFileCheckMessage(name, ERROR_FILE_INVALID, 3000000000u));
    const std::vector<std::u16string> texts = FileCheckTexts();
    ASSERT_EQ(texts.size(), 1u);
    const std::u16string& text = texts[0];
    EXPECT_EQ(text.size(), 511u);
    EXPECT_EQ(text.rfind(u"Error code 1006 File name: \\Maps\\xxx", 0), 0u);
    EXPECT_NE(text.find(u"xxx...xxx"), std::u16string::npos);
    const std::u16string end = u"xxx\\Map.rid, file size: 3000000000 bytes";
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

// Characters outside the BMP on either side of the cut stay whole: the kept parts end and start
// between characters, wherever a surrogate pair falls around the middle of the name.
TEST_F(FileCheckMessageTest, ALongNameIsShortenedBetweenCharacters) {
    const std::u16string pair = u"\U0001F697"; // two code units
    for (std::size_t shift = 0; shift < 4; ++shift) {
        SCOPED_TRACE(shift);
        SetUp();
        std::u16string name = u"\\" + std::u16string(shift, u'a');
        while (name.size() < 600) {
            name += pair;
        }
        EXPECT_TRUE(ShowFileCheckMessage(name, ERROR_FILE_INVALID, 1));
        const std::vector<std::u16string> texts = FileCheckTexts();
        ASSERT_EQ(texts.size(), 1u);
        const std::u16string& text = texts[0];
        EXPECT_LE(text.size(), 511u);
        const std::size_t elided = text.find(u"...");
        ASSERT_NE(elided, std::u16string::npos);
        for (std::size_t at = 0; at < text.size(); ++at) {
            const char16_t unit = text[at];
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                ASSERT_LT(at + 1, text.size());
                EXPECT_TRUE(text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) << at;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                EXPECT_TRUE(at > 0 && text[at - 1] >= 0xD800 && text[at - 1] <= 0xDBFF) << at;
            }
        }
    }
}

// The size of a damaged file is taken from its folder in full: a sparse file beyond 4 GiB shows
// its whole size, not what is left of it in 32 bits.
TEST_F(FileCheckMessageTest, ADamagedFileShowsItsSizeBeyondFourGibibytes) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\maps\\Map.dat", ""));
    const std::uintmax_t size = (std::uintmax_t{1} << 32) + 4097;
    std::error_code error;
    std::filesystem::resize_file(root.HostPathOf(u"\\maps\\Map.dat"), size, error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(ShowDamagedFileMessage(u"\\maps\\Map.dat"));
    EXPECT_EQ(FileCheckTexts(), std::vector<std::u16string>{u"Error code 1006 File name: "
                                                            u"\\maps\\Map.dat, file size: "
                                                            u"4294971393 bytes"});
}

// However a file's folders are spelled, it is named once, normalised.
TEST_F(FileCheckMessageTest, EachFileIsNamedOnceWhateverItsSpelling) {
    const std::u16string spellings[] = {u"\\Data\\maps\\Map.rid", u"\\Data\\.\\maps\\Map.rid",
                                        u"\\Data\\\\maps\\Map.rid", u"/data/maps/../maps/MAP.RID",
                                        u"\\Data/maps//./Map.rid"};
    int shown = 0;
    for (const std::u16string& spelling : spellings) {
        shown += ShowFileCheckMessage(spelling, ERROR_FILE_INVALID, 10) ? 1 : 0;
    }
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(FileCheckTexts(),
              std::vector<std::u16string>{u"Error code 1006 File name: \\Data\\maps\\Map.rid, file "
                                          u"size: 10 bytes"});
    EXPECT_TRUE(ShowFileCheckMessage(u"\\Data\\maps\\Map2.rid", ERROR_FILE_INVALID, 10));
}

} // namespace
