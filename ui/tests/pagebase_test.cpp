#include "ui/tests/layouttesting.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/process.h"
#include "platform/window/input.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace layouttesting;

struct Command {
    WORD id;
    WORD code;
    LPARAM control;
};

// The test page with the handlers a page of the application adds: WM_KEYDOWN tries the focus
// helper first; WM_COMMAND and the visibility of a floating child during the erase are recorded.
class RecordingPage : public TestPage {
public:
    RecordingPage() {
        MessageMapPtr& map = GetPageHandle().map;
        ConnectMessageHandler(map, WM_KEYDOWN, this, &RecordingPage::OnKey);
        ConnectMessageHandler(map, WM_COMMAND, this, &RecordingPage::OnCommand);
        ConnectMessageHandler(map, WM_ERASEBKGND, this, &RecordingPage::OnErase);
    }
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    std::vector<bool> focusMoves;
    std::vector<Command> commands;
    HWND watched = nullptr;
    std::vector<bool> watchedVisibleInErase;

private:
    void OnKey(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
        focusMoves.push_back(SendFocusMove(GetHwnd(), wParam, lParam));
    }
    void OnCommand(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
        commands.push_back(Command{LOWORD(wParam), HIWORD(wParam), lParam});
    }
    void OnErase(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
        if (watched != nullptr)
            watchedVisibleInErase.push_back(IsWindowVisible(watched) != FALSE);
    }
    OwnerHandlerList m_handlers;
};

class PageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device_.isReady);
        ASSERT_NE(CreatePageWindow(page_, 480, 640), nullptr);
        windows_ = CreateControls(page_);
        SendMessageW(page_.GetHwnd(), WM_SIZE, 0, MAKELPARAM(480, 640));
        InvalidateRect(page_.GetHwnd(), nullptr, TRUE);
        ASSERT_TRUE(driver_.RunUntilIdle());
    }
    HWND Child(UINT id) { return windows_.count(id) != 0 ? windows_[id] : nullptr; }
    RECT Scaled(UINT id) {
        for (const ControlEntry& e : ControlEntries()) {
            if (e.id == id)
                return RECT{e.design.left * 2, e.design.top * 2, e.design.right * 2,
                            e.design.bottom * 2};
        }
        return RECT{};
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    Device device_{480, 640, PageDescription()};
    RecordingPage page_;
    std::map<UINT, HWND> windows_;
};

void ExpectRect(const RECT& actual, const RECT& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

LOGFONTW FontOf(HFONT font) {
    LOGFONTW description{};
    EXPECT_EQ(GetObjectW(font, sizeof description, &description),
              static_cast<int>(sizeof description));
    return description;
}

std::uint32_t ScreenPixel(int x, int y) {
    RECT one{x, y, x + 1, y + 1};
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    EXPECT_TRUE(platform::ReadScreenPixels(&one, &pixels, &width, &height));
    return pixels.empty() ? 0xFFFFFFFFu : pixels[0];
}

TEST_F(PageTest, LaysOutEveryControlPaintsTheBackgroundAndGoesIdle) {
    for (const ControlEntry& e : ControlEntries()) {
        SCOPED_TRACE(e.id);
        HWND child = Child(e.id);
        ASSERT_NE(child, nullptr);
        RECT placed{};
        GetWindowRect(child, &placed);
        ExpectRect(placed, Scaled(e.id));
        ExpectRect(page_.GetChildRect(child), Scaled(e.id));
    }
    ExpectRect(page_.GetAreaRect(PageBase::kTitleAreaKey), RECT{20, 10, 460, 60});
    EXPECT_EQ(page_.GetTitle(), u"Status page");
    EXPECT_EQ(page_.GetHelpPageName(), u"page.htc");
    EXPECT_EQ(page_.GetDesignSize().width, 240);
    const struct {
        HFONT font;
        LONG height;
        BYTE quality;
    } fonts[] = {{page_.GetButtonFont(), -11, 4},
                 {page_.GetControlFont(), -11, 4},
                 {page_.GetTitleFont(), 50, 0}};
    for (const auto& f : fonts) {
        const LOGFONTW read = FontOf(f.font);
        EXPECT_EQ(std::u16string(read.lfFaceName), u"Arial");
        EXPECT_EQ(read.lfHeight, f.height);
        EXPECT_EQ(read.lfWeight, 700);
        EXPECT_EQ(read.lfItalic, 0);
        EXPECT_EQ(read.lfQuality, f.quality);
    }
    // The title's line, descenders included, is as high as its area (10 to 60) at most.
    HDC dc = GetDC(page_.GetHwnd());
    HGDIOBJ old = SelectObject(dc, page_.GetTitleFont());
    TEXTMETRICW metrics{};
    EXPECT_TRUE(GetTextMetricsW(dc, &metrics));
    EXPECT_LE(metrics.tmHeight, 50);
    EXPECT_GE(metrics.tmHeight, 49);
    SelectObject(dc, old);
    ReleaseDC(page_.GetHwnd(), dc);
    // The 4 x 4 picture stretched to 480 x 640: quarters meet exactly at (240, 320).
    const struct {
        int x;
        int y;
        std::uint32_t colour;
    } pixels[] = {{239, 319, 0x204060}, {240, 319, 0x406020}, {239, 320, 0x602040},
                  {250, 370, 0x303030}, {2, 2, 0x204060},     {477, 637, 0x303030}};
    for (const auto& p : pixels) {
        SCOPED_TRACE(p.x * 1000 + p.y);
        EXPECT_EQ(ScreenPixel(p.x, p.y), p.colour);
    }
    page_.watched = Child(kPlainId);
    InvalidateRect(page_.GetHwnd(), nullptr, TRUE);
    EXPECT_TRUE(driver_.RunUntilIdle());
    EXPECT_EQ(page_.watchedVisibleInErase, std::vector<bool>{false});
    EXPECT_TRUE(IsWindowVisible(Child(kPlainId)));
    EXPECT_TRUE(IsWindowVisible(Child(kLabelId)));
    RECT pending{};
    EXPECT_FALSE(GetUpdateRect(page_.GetHwnd(), &pending, FALSE));
}

// The screen after a part of the page is repainted, a text button is disabled or switched on
// shows what a whole repaint shows: the transparent label and caption are drawn once over the
// background, never over their own last picture.
TEST_F(PageTest, PartialRepaintsLeaveWhatAWholeRepaintShows) {
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"the label's upper half repainted",
         [&] {
             const RECT part{0, 430, 480, 460};
             InvalidateRect(page_.GetHwnd(), &part, TRUE);
         }},
        {"the text button disabled", [&] { page_.EnableControl(kTextId, false); }},
        {"the text button switched on", [&] { page_.SetButtonState(kTextId, 1); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        ASSERT_TRUE(driver_.RunUntilIdle());
        const std::optional<RECT> differs = repaintcheck::DifferenceFromWholeRepaint();
        EXPECT_FALSE(differs) << differs.value_or(RECT{}).left << ", "
                              << differs.value_or(RECT{}).top;
    }
}

TEST_F(PageTest, AZeroSizeKeepsTheLayoutAndRemakesTheTitleFont) {
    HFONT buttonFont = page_.GetButtonFont();
    SendMessageW(page_.GetHwnd(), WM_SIZE, 0, MAKELPARAM(0, 640));
    EXPECT_EQ(page_.GetButtonFont(), buttonFont);
    EXPECT_EQ(page_.GetScaleX(), 2.0f);
    ExpectRect(page_.GetChildRect(Child(kEditId)), Scaled(kEditId));
    EXPECT_EQ(FontOf(page_.GetTitleFont()).lfHeight, 50);
}

TEST_F(PageTest, MoveFocusNextStepsToTheNextEnabledEntryAndWraps) {
    page_.FocusList() = {kPlainId, kTextId, kMarkerId, kRadioId};
    const struct {
        UINT from;
        std::vector<UINT> disabled;
        UINT focusId; // 0: unchanged
        bool isRepainted;
    } cases[] = {
        {kPlainId, {}, kTextId, true},
        {kTextId, {kMarkerId}, kRadioId, true},
        {kRadioId, {kPlainId}, kPlainId, true}, // the wrap takes a disabled first entry
        {kMarker7Id, {}, 0, true},              // a child not in the list: only repainted
        {2199, {}, 0, false},                   // no such child: nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        for (UINT id : c.disabled)
            page_.EnableControl(id, false);
        ASSERT_TRUE(driver_.RunUntilIdle());
        page_.SetFocusId(0);
        SetFocus(page_.GetHwnd());
        page_.MoveFocusNext(c.from);
        EXPECT_EQ(page_.GetFocusId(), c.focusId);
        RECT pending{};
        EXPECT_EQ(GetUpdateRect(page_.GetHwnd(), &pending, FALSE) != FALSE, c.isRepainted);
        if (c.focusId != 0) {
            EXPECT_EQ(GetFocus(), Child(c.focusId));
            RECT both{};
            const RECT from = Scaled(c.from);
            const RECT to = Scaled(c.focusId);
            UnionRect(&both, &from, &to);
            ExpectRect(pending, both);
        }
        for (UINT id : c.disabled)
            page_.EnableControl(id, true);
    }
}

TEST_F(PageTest, SendFocusMoveTurnsTabKeysOfChildrenIntoCommand1031) {
    const struct {
        UINT focus;
        UINT modifier; // 0: none
        UINT key;
        bool isMove;
    } cases[] = {
        {kTextId, 0, VK_TAB, true},           // a button forwards Tab
        {kLabelId, VK_CONTROL, VK_TAB, true}, // a skinned control forwards Ctrl+Tab
        {kTextId, 0, VK_RETURN, false},       // not a Tab
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.focus * 1000 + c.key);
        page_.focusMoves.clear();
        page_.commands.clear();
        SetFocus(Child(c.focus));
        if (c.modifier != 0)
            driver_.KeyWith(c.modifier, c.key);
        else
            driver_.Key(c.key);
        ASSERT_FALSE(page_.focusMoves.empty());
        EXPECT_EQ(page_.focusMoves.back(), c.isMove);
        std::vector<Command> moves;
        for (const Command& command : page_.commands) {
            if (command.code == kFocusMoveNotification)
                moves.push_back(command);
        }
        ASSERT_EQ(moves.size(), c.isMove ? 1u : 0u);
        if (c.isMove) {
            EXPECT_EQ(moves[0].id, c.focus);
            EXPECT_EQ(moves[0].control, reinterpret_cast<LPARAM>(Child(c.focus)));
        }
    }
    // The focus outside the page: no move.
    HWND other = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 5, 5, nullptr,
                                 nullptr, nullptr, nullptr);
    SetFocus(other);
    EXPECT_FALSE(SendFocusMove(page_.GetHwnd(), VK_TAB, MAKELPARAM(1, 15)));
    DestroyWindow(other);
}

TEST_F(PageTest, ControlsAreEnabledShownAndSetByIdentifier) {
    page_.EnableControl(kTextId, false);
    page_.EnableControl(2199, false); // no such child: nothing
    const struct {
        UINT id;
        bool isEnabled;
    } enabled[] = {{kTextId, false}, {kMarkerId, true}, {2199, false}};
    for (const auto& c : enabled)
        EXPECT_EQ(page_.IsControlEnabled(c.id), c.isEnabled);

    page_.ShowAllControls(false);
    const struct {
        UINT id;
        bool isVisible;
    } hidden[] = {{kPlainId, false}, {kComboId, false}, {kEditId, false}, {kLabelId, true}};
    for (const auto& c : hidden)
        EXPECT_EQ(IsWindowVisible(Child(c.id)) != FALSE, c.isVisible);
    page_.ShowAllControls(true);
    page_.ShowControl(kRadioId, false);
    EXPECT_FALSE(IsWindowVisible(Child(kRadioId)));
    EXPECT_TRUE(IsWindowVisible(Child(kEditId)));

    page_.SetButtonState(kRadioId, 1);
    EXPECT_EQ(page_.FindControl(kRadioId)->GetState(), 1);
    EXPECT_EQ(page_.FindControl(kTextId)->GetState(), 0);
}

TEST_F(PageTest, ComboBoxAndItsEditFieldAreShownAndEnabledAsOne) {
    HWND page = page_.GetHwnd();
    // The edit field carries the combo box's id and is the later child.
    HWND comboEdit = GetDlgItem(page, static_cast<int>(kComboId));
    ASSERT_NE(comboEdit, nullptr);
    ASSERT_NE(comboEdit, Child(kComboId));
    const UINT ids[] = {kComboId, kEditId, kTextId}; // combo box, plain edit field, button
    auto eachId = [&](auto act) {
        return [&ids, act] {
            for (UINT id : ids)
                act(id);
        };
    };
    const struct {
        const char* name;
        std::function<void()> act;
        bool isShown;
        bool isEnabled;
    } cases[] = {
        {"all hidden", [&] { page_.ShowAllControls(false); }, false, true},
        {"hidden and laid out again",
         [&] {
             page_.ShowAllControls(false);
             SendMessageW(page, WM_SIZE, 0, MAKELPARAM(240, 320));
         },
         false, true},
        {"all shown", [&] { page_.ShowAllControls(true); }, true, true},
        {"each hidden", eachId([&](UINT id) { page_.ShowControl(id, false); }), false, true},
        {"each shown", eachId([&](UINT id) { page_.ShowControl(id, true); }), true, true},
        {"each disabled", eachId([&](UINT id) { page_.EnableControl(id, false); }), true, false},
        {"each enabled", eachId([&](UINT id) { page_.EnableControl(id, true); }), true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Checked before the page paints again: its painting shows the buttons again.
        c.act();
        for (UINT id : ids) {
            SCOPED_TRACE(id);
            EXPECT_EQ(IsWindowVisible(Child(id)) != FALSE, c.isShown);
            EXPECT_EQ(IsWindowEnabled(Child(id)) != FALSE, c.isEnabled);
            EXPECT_EQ(page_.IsControlEnabled(id), c.isEnabled);
        }
        EXPECT_EQ(IsWindowVisible(comboEdit) != FALSE, c.isShown);
        EXPECT_EQ(IsWindowEnabled(comboEdit) != FALSE, c.isEnabled);
        ASSERT_TRUE(driver_.RunUntilIdle());
    }
}

// A viewer that cannot be started is told once, by the name the launch file gives it.
TEST_F(PageTest, F1RunsOneHelpViewerAndActivationSwitchesTheTaskBar) {
    platform::ClearRecordedProcessLaunches();
    platform::ClearRecordedProcessTerminations();
    platform::ClearRecordedMessageBoxes();
    ASSERT_TRUE(device_.root.WriteFile(u"\\Windows\\launch.ini",
                                       std::string("[peghelp.exe]\r\nViewer=no-such-viewer\r\n")));
    const struct {
        DWORD launcherResult;
        std::size_t terminations;
        std::size_t boxes;
    } presses[] = {{ERROR_SUCCESS, 0, 0},
                   {ERROR_SUCCESS, 1, 0},
                   {ERROR_FILE_NOT_FOUND, 2, 1},
                   {ERROR_FILE_NOT_FOUND, 2, 1}};
    for (const auto& p : presses) {
        platform::SetProcessLauncher(
            [&p](const platform::ProcessLaunch&) { return p.launcherResult; });
        SendMessageW(page_.GetHwnd(), WM_KEYDOWN, VK_F1, 0);
        EXPECT_EQ(platform::RecordedProcessTerminations().size(), p.terminations);
        EXPECT_EQ(platform::RecordedMessageBoxes().size(), p.boxes);
    }
    const auto boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(u"no-such-viewer"), std::u16string::npos);
    platform::SetProcessLauncher({});
    const auto launches = platform::RecordedProcessLaunches();
    ASSERT_EQ(launches.size(), 4u);
    for (const auto& launch : launches) {
        EXPECT_EQ(launch.verb, u"Open");
        EXPECT_EQ(launch.imageName, u"peghelp.exe");
        EXPECT_EQ(launch.commandLine, u"file:\\Help\\nav.htm");
        EXPECT_EQ(launch.mask, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI);
    }
    const auto ended = platform::RecordedProcessTerminations();
    EXPECT_EQ(ended[0].processId, launches[0].processId);
    EXPECT_EQ(ended[1].processId, launches[1].processId);

    const struct {
        WORD state;
        bool isTaskBarShown;
    } activations[] = {
        {WA_INACTIVE, true}, {WA_ACTIVE, false}, {WA_INACTIVE, true}, {WA_CLICKACTIVE, false}};
    for (const auto& a : activations) {
        SendMessageW(page_.GetHwnd(), WM_ACTIVATE, MAKEWPARAM(a.state, 0), 0);
        EXPECT_EQ(platform::IsTaskBarShown(), a.isTaskBarShown);
    }
    SetLastActivePageWindow(page_.GetHwnd());
    EXPECT_EQ(GetLastActivePageWindow(), page_.GetHwnd());
    SetLastActivePageWindow(nullptr);
}

// A page of any section of the screen description.
class SectionPage : public PageBase {
public:
    explicit SectionPage(const std::u16string& section)
        : PageBase(section) {}
    UINT GetTitleId() override { return kTitleId; }
};

TEST(PageBackground, LeavesNothingOfWhatTheScreenHeldBeforeThePagePaintedUnderItsButtonsToo) {
    testdata::ScreenDescWriter description = PageDescription();
    // Each page has the text button "Text" at 10, 70, 110, 90, which paints only its caption.
    description.Section(u"BarePage")
        .Size(240, 320)
        .Rect(u"Status", 10, 5, 230, 30)
        .Item(u"Text", 10, 70, 110, 90, 2);
    description.Section(u"LostPicturePage")
        .Size(240, 320)
        .Rect(u"Status", 10, 5, 230, 30)
        .Item(u"Text", 10, 70, 110, 90, 2)
        .Bitmap(u"gone.bmp");
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    platform::ScreenDriver driver{&clock};
    Device device{480, 640, description};
    ASSERT_TRUE(device.isReady);
    const struct {
        const char16_t* section;
        std::uint32_t lowerLeft;
        std::uint32_t lowerRight;
        std::uint32_t upperLeft;
    } pages[] = {
        {u"TestPage", 0x602040, 0x303030, 0x204060},        // the picture's quarters
        {u"BarePage", 0x000000, 0x000000, 0x000000},        // no picture named
        {u"LostPicturePage", 0x000000, 0x000000, 0x000000}, // the named file is not there
    };
    for (const auto& p : pages) {
        SCOPED_TRACE(std::string(p.section, p.section + std::u16string_view(p.section).size()));
        // What another window drew there before.
        HDC screen = GetDC(nullptr);
        const RECT all{0, 0, 480, 640};
        HBRUSH stale = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(screen, &all, stale);
        DeleteObject(stale);
        ReleaseDC(nullptr, screen);
        SectionPage page(p.section);
        // As the application shows its pages: WS_CLIPCHILDREN, so a DC of the page leaves out
        // the children shown when it is made.
        ShowPageWindow(page.GetPageHandle(), true);
        ASSERT_NE(page.GetHwnd(), nullptr);
        ASSERT_NE(page.CreateControl(u"Text", kTextId, true, false, 0, 0), nullptr);
        SendMessageW(page.GetHwnd(), WM_SIZE, 0, MAKELPARAM(480, 640));
        ASSERT_TRUE(driver.RunUntilIdle());
        EXPECT_EQ(ScreenPixel(20, 400), p.lowerLeft);
        EXPECT_EQ(ScreenPixel(470, 630), p.lowerRight);
        // Beside the button's caption, in the upper left quarter.
        EXPECT_EQ(ScreenPixel(200, 170), p.upperLeft);
    }
}

// A box closed over a page shown as the application shows it (WS_CLIPCHILDREN) leaves nothing of
// itself, also where its edges lie within the text button, which paints only its caption: the
// erase DC leaves the button out, but the background is drawn under it within the whole box.
TEST(PageBackground, AClosedBoxLeavesNothingUnderAButtonItsEdgesCross) {
    platform::VirtualClock clock;
    platform::ScopedClock installed{clock};
    platform::ScreenDriver driver{&clock};
    Device device{480, 640, PageDescription()};
    ASSERT_TRUE(device.isReady);
    SectionPage page(u"TestPage");
    ShowPageWindow(page.GetPageHandle(), true);
    ASSERT_NE(page.GetHwnd(), nullptr);
    ASSERT_NE(page.CreateControl(u"Text", kTextId, true, false, 0, 0), nullptr);
    SendMessageW(page.GetHwnd(), WM_SIZE, 0, MAKELPARAM(480, 640));
    ASSERT_TRUE(driver.RunUntilIdle());
    RECT button{};
    GetWindowRect(GetDlgItem(page.GetHwnd(), kTextId), &button);
    const struct {
        const char* name;
        RECT box;
    } cases[] = {
        {"within the button", {button.left, button.top + 4, button.right, button.bottom - 4}},
        {"across its lower edge", {button.left, button.bottom - 6, button.right, 400}},
        {"around it", {0, button.top - 10, 480, button.bottom + 10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND box = repaintcheck::MakeFilledPopup(c.box, WHITE_BRUSH);
        ASSERT_TRUE(driver.RunUntilIdle());
        DestroyWindow(box);
        ASSERT_TRUE(driver.RunUntilIdle());
        const std::optional<RECT> differs = repaintcheck::DifferenceFromWholeRepaint();
        EXPECT_FALSE(differs) << differs.value_or(RECT{}).left << ", "
                              << differs.value_or(RECT{}).top;
    }
}

} // namespace

namespace {

// The page object is found from its window and from no other; once it has gone, from none.
TEST_F(PageTest, FromWindowLeadsFromThePageWindowToItsObjectWhileItLives) {
    HWND window = page_.GetHwnd();
    HWND control = Child(ControlEntries().front().id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(WindowBase::FromWindow(window), &page_);
    EXPECT_EQ(WindowBase::FromWindow(control), nullptr);
    EXPECT_EQ(WindowBase::FromWindow(nullptr), nullptr);
    auto other = std::make_unique<TestPage>();
    ASSERT_NE(CreatePageWindow(*other, 240, 320), nullptr);
    HWND otherWindow = other->GetHwnd();
    EXPECT_EQ(WindowBase::FromWindow(otherWindow), other.get());
    EXPECT_EQ(WindowBase::FromWindow(other->GetHwnd())->GetSectionName(), u"TestPage");
    other.reset();
    EXPECT_EQ(WindowBase::FromWindow(otherWindow), nullptr);
    EXPECT_EQ(WindowBase::FromWindow(window), &page_);
}

} // namespace
