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
                    {MB_ICONINFORMATION, IDOK}};
    for (const auto& d : defaults) {
        SCOPED_TRACE(d.type);
        EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", d.type), d.answer);
    }
    EXPECT_EQ(platform::RecordedMessageBoxes().size(), 7u);
}

TEST_F(MessageBox, AReplacedSinkGetsTheBoxes) {
    std::u16string seen;
    platform::SetMessageBoxSink([&seen](const platform::MessageBoxRecord& record) {
        seen = record.caption + u":" + record.text;
        return IDNO;
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"text", u"caption", MB_YESNO), IDNO);
    EXPECT_EQ(seen, u"caption:text");
    EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
    platform::SetMessageBoxSink(nullptr);
    EXPECT_EQ(MessageBoxW(nullptr, u"text", u"caption", MB_YESNO), IDYES);
    EXPECT_EQ(platform::RecordedMessageBoxes().size(), 1u);
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
