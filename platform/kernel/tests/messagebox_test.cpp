#include "platform/kernel/debug.h"
#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

namespace {

class MessageBox : public ::testing::Test {
protected:
    void SetUp() override { platform::ClearRecordedMessageBoxes(); }
    void TearDown() override {
        platform::SetMessageBoxSink(nullptr);
        platform::ClearRecordedMessageBoxes();
    }
};

TEST_F(MessageBox, RecordsTextCaptionFlagsAndOwner) {
    HWND owner = reinterpret_cast<HWND>(std::uintptr_t{0x40});
    EXPECT_EQ(MessageBoxW(owner, u"Not enough memory", u"Navigation", MB_OK | MB_ICONHAND), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, 0x40010), IDOK);
    const auto records = platform::RecordedMessageBoxes();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, u"Not enough memory");
    EXPECT_EQ(records[0].caption, u"Navigation");
    EXPECT_EQ(records[0].type, MB_OK | MB_ICONHAND);
    EXPECT_EQ(records[0].owner, owner);
    EXPECT_EQ(records[1].text, u"");
    EXPECT_EQ(records[1].caption, u"Error");
    EXPECT_EQ(records[1].type, MB_TOPMOST | MB_ICONHAND);
    platform::ClearRecordedMessageBoxes();
    EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
}

TEST_F(MessageBox, AnswersFromTheScriptThenByButtons) {
    platform::PushMessageBoxAnswer(IDNO);
    platform::PushMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, u"Continue?", u"Q", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, u"Go on?", u"Q", MB_OKCANCEL), IDCANCEL);
    const struct {
        UINT type;
        int answer;
    } defaults[] = {{MB_OK, IDOK},
                    {MB_OKCANCEL, IDOK},
                    {MB_YESNO, IDYES},
                    {MB_YESNOCANCEL | MB_ICONEXCLAMATION, IDYES},
                    {MB_ICONINFORMATION, IDOK},
                    {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                    {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
                    {MB_RETRYCANCEL, IDRETRY}};
    for (const auto& d : defaults) {
        SCOPED_TRACE(d.type);
        EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", d.type), d.answer);
    }
    EXPECT_EQ(platform::RecordedMessageBoxes().size(), 10u);
}

// The sink shows the boxes that no queued answer takes; every box is recorded with its answer,
// also one answered while another thread's box waits in the sink.
TEST_F(MessageBox, ASinkShowsTheBoxesAndEveryAnswerIsRecorded) {
    std::vector<std::u16string> seen;
    platform::SetMessageBoxSink([&seen](const platform::MessageBoxRecord& record) {
        seen.push_back(record.caption + u":" + record.text);
        EXPECT_EQ(record.answer, 0);
        // Another box meanwhile, as from another thread, is recorded beside this one.
        if (record.text == u"outer") {
            EXPECT_EQ(MessageBoxW(nullptr, u"inner", u"c", MB_OKCANCEL), IDCANCEL);
        }
        return record.text == u"inner" ? IDCANCEL : IDNO;
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"outer", u"caption", MB_YESNO), IDNO);
    platform::PushMessageBoxAnswer(IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"scripted", u"caption", MB_YESNO), IDYES);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"caption:outer", u"c:inner"}));
    platform::SetMessageBoxSink(nullptr);
    EXPECT_EQ(MessageBoxW(nullptr, u"text", u"caption", MB_YESNO), IDYES);
    std::vector<std::pair<std::u16string, int>> answers;
    for (const platform::MessageBoxRecord& record : platform::RecordedMessageBoxes())
        answers.emplace_back(record.text, record.answer);
    EXPECT_EQ(answers,
              (std::vector<std::pair<std::u16string, int>>{
                  {u"outer", IDNO}, {u"inner", IDCANCEL}, {u"scripted", IDYES}, {u"text", IDYES}}));
}

TEST(DebugOutput, CapturesNestAndIgnoreNull) {
    platform::DebugOutputCapture outer;
    OutputDebugStringW(u"Create Adv returns null\n");
    {
        platform::DebugOutputCapture inner;
        OutputDebugStringW(u"NO_MEMORY_IN_CACHE");
        OutputDebugStringW(nullptr);
        ASSERT_EQ(inner.Texts().size(), 1u);
        EXPECT_EQ(inner.Texts()[0], u"NO_MEMORY_IN_CACHE");
    }
    OutputDebugStringW(u"after");
    const auto texts = outer.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], u"Create Adv returns null\n");
    EXPECT_EQ(texts[1], u"after");
    EXPECT_TRUE(outer.Contains(u"Adv returns"));
    EXPECT_FALSE(outer.Contains(u"NO_MEMORY"));
    outer.Clear();
    EXPECT_TRUE(outer.Texts().empty());
}

} // namespace
