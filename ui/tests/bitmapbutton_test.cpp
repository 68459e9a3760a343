#include "testdata/bitmapwriter.h"
#include "ui/bitmapbutton.h"
#include "ui/textface.h"

#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace {

constexpr UINT kBitmapId = 2000;
constexpr UINT kAlternativeId = 2010;
constexpr UINT kKeyedId = 2020;
constexpr std::uint32_t kNormal = 0xFF0000; // 0x00RRGGBB in the files
constexpr std::uint32_t kPressed = 0x00FF00;
constexpr std::uint32_t kDisabled = 0x0000FF;
constexpr std::uint32_t kAlternative = 0x808000;

COLORREF AsColorRef(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::vector<std::uint8_t> Solid(std::uint32_t rgb) {
    testdata::BitmapSpec spec;
    spec.width = 2;
    spec.height = 2;
    spec.pixels.assign(4, rgb);
    return testdata::WriteBitmapFile(spec);
}

// A 240 x 320 page with the language library's button bitmaps, and buttons on it.
class ButtonPage : public testing::Test {
protected:
    void SetUp() override {
        platform::ResourceBundle bundle;
        bundle.bitmaps[kBitmapId] = Solid(kNormal);
        bundle.bitmaps[kBitmapId + 1] = Solid(kPressed);
        bundle.bitmaps[kBitmapId + 3] = Solid(kDisabled);
        bundle.bitmaps[kAlternativeId] = Solid(kAlternative);
        testdata::BitmapSpec keyed;
        keyed.width = 2;
        keyed.height = 2;
        keyed.pixels = {0xFF00FF, kPressed, kPressed, kPressed}; // magenta top-left: the key
        bundle.bitmaps[kKeyedId] = testdata::WriteBitmapFile(keyed);
        module_ = windowtesting::LoadLanguage(root_, bundle);
        ASSERT_NE(module_, nullptr);
        platform::SetResourceInstance(module_);
        windowtesting::RegisterRecordingClass(u"ButtonTestPage");
        page_ = CreateWindowExW(0, u"ButtonTestPage", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(page_, nullptr);
        windowtesting::ClearLog();
    }
    void TearDown() override {
        buttons_.clear();
        DestroyWindow(page_);
        platform::SetResourceInstance(nullptr);
        FreeLibrary(module_);
        windowtesting::ClearLog();
    }

    // Creates button's window at row (40 pixels high each) with caption.
    HWND Place(std::unique_ptr<BitmapButton> button, int row, UINT id, LPCWSTR caption = u"OK") {
        CreateWindowExW(0, WindowClassRegistry::ClassName(), caption, WS_CHILD | WS_VISIBLE, 20,
                        row * 40, 200, 36, page_, reinterpret_cast<HMENU>(std::uintptr_t{id}),
                        nullptr, &button->GetHandle());
        HWND window = button->GetWindow();
        buttons_.push_back(std::move(button));
        driver_.RunUntilIdle();
        return window;
    }

    std::vector<windowtesting::Logged> Commands() const {
        std::vector<windowtesting::Logged> found;
        std::lock_guard lock(windowtesting::LogMutex());
        for (const auto& entry : windowtesting::Log()) {
            if (entry.window == page_ &&
                (entry.message == WM_COMMAND || entry.message == WM_KEYDOWN))
                found.push_back(entry);
        }
        return found;
    }

    static std::set<COLORREF> Colours(HWND window) {
        HDC dc = GetDC(window);
        std::set<COLORREF> found;
        for (int y = 0; y < 36; ++y) {
            for (int x = 0; x < 200; ++x)
                found.insert(GetPixel(dc, x, y));
        }
        ReleaseDC(window, dc);
        return found;
    }

    // A black page, so that white can only come from a caption.
    void PaintPageBlack() const {
        HDC pageDc = GetDC(page_);
        const RECT all{0, 0, 240, 320};
        FillRect(pageDc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(page_, pageDc);
    }

    static COLORREF CentrePixel(HWND window) {
        HDC dc = GetDC(window);
        const COLORREF colour = GetPixel(dc, 100, 18);
        ReleaseDC(window, dc);
        return colour;
    }

    testdata::TempDeviceRoot root_;
    HMODULE module_{};
    HWND page_{};
    platform::ScreenDriver driver_;
    std::vector<std::unique_ptr<BitmapButton>> buttons_;
};

TEST_F(ButtonPage, ReleasesInsideClickAndToggle) {
    struct Case {
        int kind; // -1: the bitmap constructor
        std::vector<bool> releasesInside;
        std::vector<BYTE> states;
    };
    const Case cases[] = {
        {-1, {true, true}, {0, 0}},          {1, {true}, {0}},
        {2, {true, false, true}, {0, 0, 0}}, {3, {true}, {0}},
        {5, {true, true, false}, {1, 0, 0}}, {7, {true}, {0}},
        {8, {false, true}, {0, 0}},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const UINT id = kBitmapId;
        auto button = c.kind < 0 ? std::make_unique<BitmapButton>(id, false, false, 0)
                                 : std::make_unique<BitmapButton>(id, c.kind);
        BitmapButton* raw = button.get();
        HWND window = Place(std::move(button), row, id);
        POINT inside{100, 18};
        ClientToScreen(window, &inside);
        const POINT outside{inside.x, inside.y + 100};

        for (std::size_t i = 0; i < c.releasesInside.size(); ++i) {
            windowtesting::ClearLog();
            // The press is handled (and the stylus captured) before the release comes.
            platform::InjectStylus(platform::StylusAction::Down, inside);
            driver_.RunUntilIdle();
            const POINT release = c.releasesInside[i] ? inside : outside;
            platform::InjectStylus(platform::StylusAction::Move, release);
            platform::InjectStylus(platform::StylusAction::Up, release);
            driver_.RunUntilIdle();
            const auto commands = Commands();
            ASSERT_EQ(commands.size(), c.releasesInside[i] ? 1u : 0u);
            if (!commands.empty()) {
                EXPECT_EQ(commands[0].message, static_cast<UINT>(WM_COMMAND));
                EXPECT_EQ(commands[0].wParam, id);
                EXPECT_EQ(commands[0].lParam, 0);
            }
            EXPECT_EQ(raw->GetState(), c.states[i]);
        }
        ++row;
    }
}

TEST_F(ButtonPage, FacesFollowPressAndEnable) {
    HWND plain = Place(std::make_unique<BitmapButton>(kBitmapId, false, false, 0), 0, 1);
    HWND alternative =
        Place(std::make_unique<BitmapButton>(kBitmapId, false, false, kAlternativeId), 1, 2);
    struct Case {
        HWND window;
        bool isPressed;
        bool isEnabled;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {plain, false, true, kNormal},       {plain, true, true, kPressed},
        {plain, false, false, kDisabled},    {alternative, false, false, kAlternative},
        {alternative, true, true, kPressed},
    };
    for (const Case& c : cases) {
        EnableWindow(c.window, c.isEnabled ? TRUE : FALSE);
        InvalidateRect(c.window, nullptr, FALSE);
        driver_.RunUntilIdle();
        if (c.isPressed) {
            SendMessageW(c.window, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5));
            driver_.RunUntilIdle();
        }
        EXPECT_EQ(CentrePixel(c.window), AsColorRef(c.expected));
        if (c.isPressed) {
            SendMessageW(c.window, WM_LBUTTONUP, 0, MAKELPARAM(500, 500));
            driver_.RunUntilIdle();
            EXPECT_EQ(CentrePixel(c.window), AsColorRef(kNormal));
        }
        EnableWindow(c.window, TRUE);
    }
}

TEST_F(ButtonPage, OnlyTextFacesShowTheCaption) {
    struct Case {
        const char* name;
        std::unique_ptr<BitmapButton> button;
        std::set<COLORREF> present;
        std::set<COLORREF> absent;
    };
    Case cases[] = {
        {"bitmap faces draw pictures only",
         std::make_unique<BitmapButton>(kBitmapId, false, false, 0),
         {AsColorRef(kNormal)},
         {kSkinText}},
        {"a bitmap under the caption, its key colour left out",
         std::make_unique<BitmapButton>(kKeyedId, 1),
         {AsColorRef(kPressed), kSkinText},
         {RGB(255, 0, 255)}},
        {"a text face", std::make_unique<BitmapButton>(kKeyedId, 2), {kSkinText}, {}},
    };
    PaintPageBlack();
    int row = 0;
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = Place(std::move(c.button), row++, 1, u"WWW");
        const std::set<COLORREF> colours = Colours(window);
        for (COLORREF colour : c.present)
            EXPECT_EQ(colours.count(colour), 1u) << colour;
        for (COLORREF colour : c.absent)
            EXPECT_EQ(colours.count(colour), 0u) << colour;
    }
}

TEST_F(ButtonPage, ResourceIdsKeepTheirLow16Bits) {
    SkinBitmap picture(0x10000 + kBitmapId);
    gditesting::Canvas canvas(4, 4);
    EXPECT_TRUE(picture.Draw(canvas.dc(), RECT{0, 0, 4, 4}, SRCCOPY, false));
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 1), AsColorRef(kNormal));
    EXPECT_EQ(picture.GetSize().cx, 2);
    EXPECT_FALSE(SkinBitmap(kBitmapId + 2).Draw(canvas.dc(), RECT{0, 0, 4, 4}, SRCCOPY, false));
}

TEST_F(ButtonPage, KeysReachTheParent) {
    auto owned = std::make_unique<BitmapButton>(kBitmapId, 2);
    BitmapButton* button = owned.get();
    HWND window = Place(std::move(owned), 0, kBitmapId);
    struct Case {
        const char* name;
        UINT modifier; // 0 none
        UINT key;
        std::vector<UINT> messages;
        int stateIndexAfter;
    };
    const Case cases[] = {
        {"Enter sends a click first", 0, VK_RETURN, {WM_COMMAND, WM_KEYDOWN}, 2},
        {"Ctrl+Tab keeps the focus flag", VK_CONTROL, VK_TAB, {WM_KEYDOWN, WM_KEYDOWN}, 2},
        {"Tab clears the focus flag", 0, VK_TAB, {WM_KEYDOWN}, 0},
        {"Enter without the focus flag only forwards", 0, VK_RETURN, {WM_KEYDOWN}, 0},
    };
    SetFocus(window);
    driver_.RunUntilIdle();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        windowtesting::ClearLog();
        if (c.modifier != 0)
            driver_.KeyWith(c.modifier, c.key);
        else
            driver_.Key(c.key);
        std::vector<UINT> numbers;
        for (const auto& entry : Commands())
            numbers.push_back(entry.message);
        EXPECT_EQ(numbers, c.messages);
        const auto commands = Commands();
        if (!commands.empty() && commands[0].message == WM_COMMAND) {
            EXPECT_EQ(commands[0].wParam, MAKEWPARAM(kBitmapId, 1));
            EXPECT_EQ(commands[0].lParam, reinterpret_cast<LPARAM>(window));
        }
        EXPECT_EQ(button->GetStateIndex(), c.stateIndexAfter);
    }
}

TEST_F(ButtonPage, EnablingRepaintsInTheFaceOfTheNewState) {
    const struct {
        const char* name;
        int kind; // -1: the bitmap constructor
        UINT alternativeId;
        COLORREF enabledColour;
        COLORREF disabledColour;
    } cases[] = {
        {"bitmap id + 3", -1, 0, AsColorRef(kNormal), AsColorRef(kDisabled)},
        {"alternative bitmap", -1, kAlternativeId, AsColorRef(kNormal), AsColorRef(kAlternative)},
        {"caption", 2, 0, kSkinText, kSkinDisabledText},
    };
    PaintPageBlack();
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = Place(
            c.kind < 0 ? std::make_unique<BitmapButton>(kBitmapId, false, false, c.alternativeId)
                       : std::make_unique<BitmapButton>(kBitmapId, c.kind),
            row++, 1, u"WWW");
        const std::set<COLORREF> enabled = Colours(window);
        // Nothing but the enable message tells the button to repaint.
        for (const bool isEnabled : {false, true}) {
            EnableWindow(window, isEnabled ? TRUE : FALSE);
            ASSERT_TRUE(driver_.RunUntilIdle());
            const std::set<COLORREF> colours = Colours(window);
            const COLORREF shown = isEnabled ? c.enabledColour : c.disabledColour;
            const COLORREF hidden = isEnabled ? c.disabledColour : c.enabledColour;
            EXPECT_EQ(colours.count(shown), 1u) << isEnabled;
            EXPECT_EQ(colours.count(hidden), 0u) << isEnabled;
            EXPECT_EQ(colours == enabled, isEnabled);
        }
    }
}

TEST_F(ButtonPage, DisabledButtonSendsNoCommandForInputQueuedBefore) {
    struct Case {
        const char* name;
        bool isEnabled;
        bool isKey; // Enter, or else a tap
        std::vector<WPARAM> commands;
    };
    const Case cases[] = {
        {"enabled, tap", true, false, {kBitmapId}},
        {"enabled, Enter", true, true, {MAKEWPARAM(kBitmapId, 1)}},
        {"disabled, tap", false, false, {}},
        {"disabled, Enter", false, true, {}},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = Place(std::make_unique<BitmapButton>(kBitmapId, 2), row++, kBitmapId);
        POINT inside{100, 18};
        ClientToScreen(window, &inside);
        SetFocus(window);
        ASSERT_TRUE(driver_.RunUntilIdle());
        windowtesting::ClearLog();
        if (c.isKey) {
            platform::InjectKey(VK_RETURN, true);
        } else {
            platform::InjectStylus(platform::StylusAction::Down, inside);
            ASSERT_TRUE(driver_.RunUntilIdle()); // pressed and captured
            platform::InjectStylus(platform::StylusAction::Up, inside);
        }
        if (!c.isEnabled) {
            // The page disables the button before the input is handled, and its focus list
            // may hand the focus back to a disabled entry.
            EnableWindow(window, FALSE);
            SetFocus(window);
        }
        ASSERT_TRUE(driver_.RunUntilIdle());
        if (c.isKey)
            platform::InjectKey(VK_RETURN, false);
        ASSERT_TRUE(driver_.RunUntilIdle());
        std::vector<WPARAM> commands;
        for (const auto& entry : Commands()) {
            if (entry.message == WM_COMMAND)
                commands.push_back(entry.wParam);
        }
        EXPECT_EQ(commands, c.commands);
    }
}

TEST_F(ButtonPage, GetFontAnswersTheFontItDrawsWith) {
    LOGFONTW description{};
    description.lfHeight = -12;
    HFONT small = CreateFontIndirectW(&description);
    description.lfHeight = -20;
    HFONT large = CreateFontIndirectW(&description);
    HWND window = Place(std::make_unique<BitmapButton>(kKeyedId, 2), 0, 1);
    for (HFONT font : {HFONT{}, small, large}) { // first none set
        if (font != nullptr)
            SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        EXPECT_EQ(SendMessageW(window, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
    }
    DeleteObject(small);
    DeleteObject(large);
}

} // namespace
