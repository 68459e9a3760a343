#include "ui/customcombobox.h"
#include "ui/tests/layouttesting.h"
#include "ui/windowlayout.h"

#include "platform/gdi/gdi.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace layouttesting;

class BareLayout : public WindowLayout {
public:
    explicit BareLayout(const std::u16string& section)
        : WindowLayout(section) {}
    HWND GetHwnd() const override { return window; }
    HWND window = nullptr;
};

void ExpectLayoutRect(const RECT& actual, const RECT& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

testdata::ScreenDescWriter ScaleDescription() {
    testdata::ScreenDescWriter writer = PageDescription();
    writer.Section(u"Double").Size(240, 320).Rect(u"Box", 10, 20, 30, 40);
    writer.Section(u"Half").Size(2, 2).Rect(u"Box", 3, -3, 1, 0);
    writer.Section(u"Huge").Size(1, 1).Rect(u"Box", 1 << 30, -(1 << 30), 5, 0);
    writer.Section(u"NoSize").Rect(u"Box", 7, 8, 9, 10);
    return writer;
}

TEST(WindowLayoutScaling, ScalesPerAxisRoundingHalfUpAndSaturating) {
    Device device(240, 320, ScaleDescription());
    ASSERT_TRUE(device.isReady);
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const struct {
        const char16_t* section;
        int width;
        int height;
        RECT expected;
        float scaleX;
        float scaleY;
    } cases[] = {
        {u"Double", 480, 640, {20, 40, 60, 80}, 2.0f, 2.0f},
        {u"Double", 240, 320, {10, 20, 30, 40}, 1.0f, 1.0f},
        // 3 x 1.5 = 4.5 rounds up; -3 x 1.5 = -4.5 + 0.5 truncates toward zero to -4.
        {u"Half", 3, 3, {5, -4, 2, 0}, 1.5f, 1.5f},
        {u"Huge", 4, 4, {kMax, kMin, 20, 0}, 4.0f, 4.0f},
        // No "Size": both axes stay unscaled instead of dividing by 0.
        {u"NoSize", 480, 640, {7, 8, 9, 10}, 1.0f, 1.0f},
        // A zero size changes nothing.
        {u"Double", 0, 640, {0, 0, 0, 0}, 1.0f, 1.0f},
        {u"Double", 480, 0, {0, 0, 0, 0}, 1.0f, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width * 10000 + c.height);
        BareLayout layout(c.section);
        layout.AddArea(u"Box", 3);
        layout.OnSize(c.width, c.height);
        EXPECT_EQ(layout.GetScaleX(), c.scaleX);
        EXPECT_EQ(layout.GetScaleY(), c.scaleY);
        ExpectLayoutRect(layout.GetAreaRect(3),
                         c.width == 0 || c.height == 0
                             ? layout.ScaleRect(ScreenDescRect{10, 20, 30, 40})
                             : c.expected);
        EXPECT_EQ(layout.GetButtonFont() != nullptr, c.width != 0 && c.height != 0);
    }
}

TEST(WindowLayoutScaling, UnknownKeysAndWindowsGiveEmptyRectangles) {
    Device device(240, 320, ScaleDescription());
    ASSERT_TRUE(device.isReady);
    BareLayout layout(u"Double");
    layout.AddArea(u"Box", 3);
    layout.AddArea(u"Missing", 4);
    HWND window = CreateWindowExW(0, u"Static", u"", WS_VISIBLE, 0, 0, 5, 5, nullptr, nullptr,
                                  nullptr, nullptr);
    layout.AddChild(u"Box", window);
    ExpectLayoutRect(layout.GetChildRect(window), RECT{}); // not placed before the next size change
    layout.OnSize(480, 640);
    const struct {
        RECT actual;
        RECT expected;
    } cases[] = {
        {layout.GetAreaRect(3), {20, 40, 60, 80}},
        {layout.GetAreaRect(4), {}},
        {layout.GetAreaRect(99), {}},
        {layout.GetChildRect(window), {20, 40, 60, 80}},
        {layout.GetChildRect(nullptr), {}},
        {layout.GetChildRect(layout.window), {}},
    };
    for (const auto& c : cases)
        ExpectLayoutRect(c.actual, c.expected);
    RECT placed{};
    GetWindowRect(window, &placed);
    ExpectLayoutRect(placed, RECT{20, 40, 60, 80});
    EXPECT_EQ(layout.GetHelpPageName(), u"ZU_Deridivira.htc");
    DestroyWindow(window);
}

TEST(WindowLayoutControls, TheFifthFieldChoosesTheKind) {
    Device device(480, 640, PageDescription());
    ASSERT_TRUE(device.isReady);
    TestPage page;
    ASSERT_NE(CreatePageWindow(page, 480, 640), nullptr);
    const std::u16string button = WindowClassRegistry::ClassName();
    const struct {
        const char16_t* name;
        UINT id;
        std::u16string className;
    } cases[] = {
        {u"Plain", kPlainId, button},
        {u"BitmapText", kBitmapTextId, button},
        {u"Text", kTextId, button},
        {u"Marker", kMarkerId, button},
        {u"Combo", kComboId, u"CUSTOMCOMBOBOX"},
        {u"Radio", kRadioId, button},
        {u"Edit", kEditId, u"Edit"},
        {u"Marker7", kMarker7Id, button},
        {u"Right", kRightId, button},
        {u"TwoBits", kTwoBitsId, button},
        {u"HighBit", kHighBitId, button},
        {u"Missing", 2199, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        HWND window = page.CreateControl(c.name, c.id, true, false, 0, 0);
        WCHAR name[64] = {};
        if (window != nullptr)
            GetClassNameW(window, name, 64);
        EXPECT_EQ(std::u16string(name), c.className);
        EXPECT_EQ(page.FindControl(c.id) != nullptr, c.className == button);
        if (c.className == button) {
            WCHAR text[64] = {};
            GetWindowTextW(window, text, 64);
            EXPECT_EQ(std::u16string(text), u"B" + std::u16string(c.name));
            EXPECT_EQ(GetDlgCtrlID(window), static_cast<int>(c.id));
        }
    }
    EXPECT_EQ(page.FindControl(kComboId), nullptr) << "only buttons are found";
}

} // namespace
