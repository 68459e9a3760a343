#include "platform/shell/dialogs.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

class OpenFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ClearOpenFileDialogs(); }
    void TearDown() override {
        platform::SetOpenFilePresenter({});
        platform::ClearOpenFileDialogs();
    }

    // The structure as a caller fills it for an "All files" prompt.
    OPENFILENAMEW Prepare(DWORD size = OPENFILENAME_DEVICE_SIZE) {
        OPENFILENAMEW ofn{};
        ofn.lStructSize = size;
        ofn.lpstrFilter = kFilter;
        ofn.lpstrFile = m_file.data();
        ofn.nMaxFile = static_cast<DWORD>(m_file.size());
        return ofn;
    }

    static constexpr WCHAR kFilter[] = u"All files\0*.*\0";
    std::array<WCHAR, 260> m_file{};
};

TEST_F(OpenFileDialogTest, ScriptedChoiceFillsTheStructureAndIsRecorded) {
    platform::PushOpenFileAnswer(u"\\Storage Card\\Maps\\europe.lvl");
    m_file[0] = u'\0';
    OPENFILENAMEW ofn = Prepare();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(ofn.lpstrFile), u"\\Storage Card\\Maps\\europe.lvl");
    EXPECT_EQ(ofn.nFileOffset, 19);
    EXPECT_EQ(ofn.nFileExtension, 26);
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    const auto requests = platform::RecordedOpenFileRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].filter, (std::vector<std::u16string>{u"All files", u"*.*"}));
    EXPECT_EQ(requests[0].flags, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    EXPECT_EQ(requests[0].owner, nullptr);
}

TEST_F(OpenFileDialogTest, NoScriptedAnswerOrAScriptedCancelIsACancel) {
    platform::PushOpenFileAnswer(std::nullopt);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        OPENFILENAMEW ofn = Prepare();
        EXPECT_FALSE(GetOpenFileNameW(&ofn));
        EXPECT_EQ(CommDlgExtendedError(), 0u);
    }
    EXPECT_EQ(platform::RecordedOpenFileRequests().size(), 2u);
}

TEST_F(OpenFileDialogTest, RefusesBadStructuresAndTooSmallBuffers) {
    OPENFILENAMEW wrongSize = Prepare(60);
    EXPECT_FALSE(GetOpenFileNameW(&wrongSize));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_STRUCTSIZE);

    OPENFILENAMEW noBuffer = Prepare(sizeof(OPENFILENAMEW));
    noBuffer.lpstrFile = nullptr;
    EXPECT_FALSE(GetOpenFileNameW(&noBuffer));
    EXPECT_EQ(CommDlgExtendedError(), CDERR_INITIALIZATION);

    platform::PushOpenFileAnswer(u"\\a\\long.name");
    OPENFILENAMEW small = Prepare();
    small.nMaxFile = 8;
    EXPECT_FALSE(GetOpenFileNameW(&small));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
    EXPECT_EQ(m_file[0], 13) << "the first character holds the size needed";
}

// A queued answer answers first, unseen; the presenter gets the dialogs nobody answered ahead.
TEST_F(OpenFileDialogTest, QueuedAnswersComeFirstThenThePresenterSeesTheInitialFile) {
    std::vector<std::u16string> seenInitial;
    platform::SetOpenFilePresenter([&](const platform::OpenFileRequest& request) {
        seenInitial.push_back(request.initialFile);
        return std::optional<std::u16string>(u"\\chosen");
    });
    platform::PushOpenFileAnswer(u"\\ahead.txt");
    const std::u16string initial = u"start.txt";
    std::copy(initial.begin(), initial.end(), m_file.begin());
    m_file[initial.size()] = u'\0';
    OPENFILENAMEW ofn = Prepare();
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(ofn.lpstrFile), u"\\ahead.txt");
    EXPECT_TRUE(seenInitial.empty()) << "an answer given ahead is not presented";
    std::copy(initial.begin(), initial.end(), m_file.begin());
    m_file[initial.size()] = u'\0';
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(seenInitial, std::vector<std::u16string>{u"start.txt"});
    EXPECT_EQ(std::u16string(ofn.lpstrFile), u"\\chosen");
    EXPECT_EQ(ofn.nFileExtension, 7) << "no extension: the offset of the terminator";
    EXPECT_EQ(platform::RecordedOpenFileRequests().size(), 2U);
}

} // namespace
