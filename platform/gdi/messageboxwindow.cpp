// The message box window: its layout, painting, buttons and modal loop.
#include "platform/gdi/messageboxwindow.h"

#include "platform/gdi/detail/systemwindow.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/sync.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using namespace platform::gdi_detail;

namespace {

constexpr char16_t kBoxButtonClass[] = u"SystemMessageBoxButton";
constexpr char16_t kBoxTextClass[] = u"SystemMessageBoxText";
constexpr int kBoxTextId = 0xFFFF;
// Posted by EndMessageBoxWindows: ends the box unanswered.
constexpr UINT kEndBoxMessage = WM_USER + 0x4D42;

constexpr COLORREF kBoxErrorRed = RGB(204, 0, 0);
constexpr COLORREF kBoxWarningYellow = RGB(255, 204, 0);
constexpr COLORREF kBoxInfoBlue = RGB(0, 72, 200);

constexpr int kBoxIconSize = 32;
constexpr int kBoxMinWidth = 160;

struct BoxState {
    platform::MessageBoxRecord record;
    std::u16string shownText; // the text with its words longer than a line broken
    int scale = 1;
    HFONT font = nullptr;
    HFONT titleFont = nullptr;
    HFONT iconFont = nullptr;
    RECT title{};
    RECT icon{}; // empty without an icon
    int answer = 0;
    bool isEnded = false;
    int pressed = 0; // the button held down by the stylus
};

std::mutex& OpenBoxesMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<HWND>& OpenBoxes() { // guarded by OpenBoxesMutex
    static std::set<HWND>* boxes = new std::set<HWND>;
    return *boxes;
}

BoxState* BoxStateOf(HWND box) {
    return reinterpret_cast<BoxState*>(GetWindowLongW(box, GWL_USERDATA));
}

void EndBox(HWND box, int answer) {
    BoxState* state = BoxStateOf(box);
    if (state == nullptr || state->isEnded)
        return;
    state->answer = answer;
    state->isEnded = true;
    PostMessageW(box, WM_NULL, 0, 0); // wakes the modal loop
}

// The style's icon: a red disc with a white cross (error), a yellow triangle with "!"
// (warning), a blue disc with "i" (information) or "?" (question).
void DrawBoxIcon(HDC dc, const BoxState& state) {
    const RECT& r = state.icon;
    const int size = r.right - r.left;
    if (size <= 0)
        return;
    const UINT icon = state.record.type & MB_ICONMASK;
    const bool isWarning = icon == MB_ICONWARNING;
    HBRUSH fill = CreateSolidBrush(icon == MB_ICONERROR ? kBoxErrorRed
                                   : isWarning          ? kBoxWarningYellow
                                                        : kBoxInfoBlue);
    HPEN outline = CreatePen(PS_SOLID, 1, isWarning ? kSystemInk : RGB(255, 255, 255));
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, outline);
    if (isWarning) {
        const POINT corners[] = {
            {r.left + size / 2, r.top + 1}, {r.right - 1, r.bottom - 2}, {r.left, r.bottom - 2}};
        Polygon(dc, corners, 3);
    } else {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(outline);
    DeleteObject(fill);
    if (icon == MB_ICONERROR) {
        HPEN cross = CreatePen(PS_SOLID, std::max(2, size / 8), RGB(255, 255, 255));
        oldPen = SelectObject(dc, cross);
        const int near = size * 3 / 10;
        const int far = size - near;
        MoveToEx(dc, r.left + near, r.top + near, nullptr);
        LineTo(dc, r.left + far, r.top + far);
        MoveToEx(dc, r.left + far, r.top + near, nullptr);
        LineTo(dc, r.left + near, r.top + far);
        SelectObject(dc, oldPen);
        DeleteObject(cross);
        return;
    }
    const std::u16string mark = isWarning ? u"!" : icon == MB_ICONQUESTION ? u"?" : u"i";
    HGDIOBJ oldFont = SelectObject(dc, state.iconFont);
    RECT markRect = r;
    if (isWarning)
        markRect.top += size / 5;
    DrawSystemText(dc, mark, markRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                   isWarning ? kSystemInk : RGB(255, 255, 255));
    SelectObject(dc, oldFont);
}

void PaintBox(HWND box) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(box, &paint);
    const BoxState* state = BoxStateOf(box);
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(box, &client);
        FillSolid(dc, client, kSystemInk); // the frame
        const int frame = state->scale;
        RECT inside{client.left + frame, client.top + frame, client.right - frame,
                    client.bottom - frame};
        FillSolid(dc, inside, kSystemBody);
        FillSolid(dc, state->title, kSystemTitleBack);
        HGDIOBJ oldFont = SelectObject(dc, state->titleFont);
        RECT caption = state->title;
        caption.left += 4 * state->scale;
        caption.right -= 4 * state->scale;
        DrawSystemText(dc, state->record.caption, caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE,
                       kSystemTitleText);
        SelectObject(dc, oldFont);
        DrawBoxIcon(dc, *state);
    }
    EndPaint(box, &paint);
}

LRESULT BoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongW(box, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers it all
    case WM_PAINT:
        PaintBox(box);
        return 0;
    case WM_KEYDOWN:
        if (const BoxState* state = BoxStateOf(box); state != nullptr) {
            if (wParam == VK_RETURN)
                EndBox(box, platform::MessageBoxDefaultButton(state->record.type));
            else if (wParam == VK_ESCAPE && platform::MessageBoxEscapeButton(state->record.type))
                EndBox(box, platform::MessageBoxEscapeButton(state->record.type));
        }
        return 0;
    case WM_CLOSE:
        if (const BoxState* state = BoxStateOf(box);
            state != nullptr && platform::MessageBoxEscapeButton(state->record.type) != 0)
            EndBox(box, platform::MessageBoxEscapeButton(state->record.type));
        return 0;
    case kEndBoxMessage:
        EndBox(box, 0);
        return 0;
    default:
        return DefWindowProcW(box, message, wParam, lParam);
    }
}

void PaintBoxButton(HWND button) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(button, &paint);
    HWND box = GetParent(button);
    const BoxState* state = BoxStateOf(box);
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(button, &client);
        const int id = GetDlgCtrlID(button);
        DrawSystemButton(dc, client, platform::WindowTextOf(button), state->font, state->scale,
                         state->pressed == id,
                         platform::MessageBoxDefaultButton(state->record.type) == id);
    }
    EndPaint(button, &paint);
}

LRESULT BoxButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND box = GetParent(button);
    BoxState* state = BoxStateOf(box);
    if (state != nullptr) {
        if (const std::optional<LRESULT> result =
                TrackSystemButton(button, message, lParam, state->pressed,
                                  [box, button] { EndBox(box, GetDlgCtrlID(button)); }))
            return *result;
    }
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintBoxButton(button);
        return 0;
    case WM_KEYDOWN:
        return SendMessageW(box, message, wParam, lParam);
    default:
        return DefWindowProcW(button, message, wParam, lParam);
    }
}

LRESULT BoxTextProcedure(HWND text, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND)
        return 1;
    if (message != WM_PAINT)
        return DefWindowProcW(text, message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(text, &paint);
    const BoxState* state = BoxStateOf(GetParent(text));
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(text, &client);
        FillSolid(dc, client, kSystemBody);
        HGDIOBJ oldFont = SelectObject(dc, state->font);
        DrawSystemText(dc, state->shownText, client, DT_LEFT | DT_WORDBREAK, kSystemInk);
        SelectObject(dc, oldFont);
    }
    EndPaint(text, &paint);
    return 0;
}

void RegisterBoxClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterSystemClasses({{platform::kMessageBoxClass, &BoxProcedure},
                               {kBoxButtonClass, &BoxButtonProcedure},
                               {kBoxTextClass, &BoxTextProcedure}});
    });
}

// The text with each word wider than width (a path, say) broken into lines that fit, so that
// no part of it is cut off.
std::u16string BreakLongWords(HFONT font, const std::u16string& text, int width) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    std::u16string shown;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(u" \r\n", at), text.size());
        std::u16string_view word(text.data() + at, end - at);
        while (!word.empty()) {
            int fit = 0;
            SIZE size{};
            GetTextExtentExPointW(dc, word.data(), static_cast<int>(word.size()), width, &fit,
                                  nullptr, &size);
            const std::size_t taken = size.cx <= width
                                          ? word.size()
                                          : std::max<std::size_t>(1, static_cast<std::size_t>(fit));
            shown.append(word.substr(0, taken));
            word.remove_prefix(taken);
            if (!word.empty())
                shown += u"\r\n";
        }
        if (end < text.size())
            shown += text[end];
        at = end + 1;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return shown;
}

// Makes the box window with its text and buttons, as large as its text wants within the work
// area, centred over the rectangle over where it fits (screen coordinates): a small owner, or
// another box, must not cut the text. Null when it cannot be made.
HWND CreateBox(BoxState& state, HWND owner, const RECT& over, const RECT& work) {
    const int s = state.scale;
    const int margin = kSystemMargin * s;
    const std::vector<int> buttons = platform::MessageBoxButtons(state.record.type);
    const int buttonHeight = MeasureSystemText(state.font, u"Ag", 0).cy + 10 * s;
    int buttonWidth = kSystemMinButtonWidth * s;
    for (const int id : buttons) {
        buttonWidth = std::max<int>(
            buttonWidth,
            MeasureSystemText(state.font, platform::MessageBoxButtonText(id), 0).cx + 16 * s);
    }
    const int buttonsWidth = static_cast<int>(buttons.size()) * (buttonWidth + margin) - margin;
    const SIZE captionSize = MeasureSystemText(state.titleFont, state.record.caption, 0);
    const bool hasIcon = (state.record.type & MB_ICONMASK) != 0 &&
                         (state.record.type & MB_ICONMASK) <= MB_ICONINFORMATION;
    const int iconSpace = hasIcon ? kBoxIconSize * s + margin : 0;
    const SIZE lineSize = MeasureSystemText(state.font, state.record.text, 0);
    // As wide as the text on one line wants, within the work area.
    const int maxWidth =
        std::max<int>(work.right - work.left - 2 * margin, buttonsWidth + 2 * margin);
    const int wanted = std::max({kBoxMinWidth * s, buttonsWidth + 2 * margin,
                                 static_cast<int>(captionSize.cx) + 2 * margin,
                                 iconSpace + static_cast<int>(lineSize.cx) + 2 * margin});
    const int width = std::min(wanted, maxWidth);
    const int textWidth = std::max(1, width - 2 * margin - iconSpace);
    state.shownText = BreakLongWords(state.font, state.record.text, textWidth);
    const int titleHeight = captionSize.cy + 6 * s;
    // A text taller than the work area allows is cut.
    const int fixedHeight = s + titleHeight + 3 * margin + buttonHeight + s;
    const int maxTextHeight = std::max<int>(lineSize.cy, static_cast<int>(work.bottom - work.top) -
                                                             fixedHeight - 2 * margin);
    const int textHeight =
        std::min<int>(MeasureSystemText(state.font, state.shownText, textWidth).cy, maxTextHeight);
    const int bodyHeight = std::max(textHeight, hasIcon ? kBoxIconSize * s : 0);
    const int height = fixedHeight + bodyHeight;
    const int x = PlaceCentred(width, over.left, over.right, work.left, work.right);
    const int y = PlaceCentred(height, over.top, over.bottom, work.top, work.bottom);
    state.title = RECT{s, s, width - s, s + titleHeight};
    const int bodyTop = state.title.bottom + margin;
    state.icon = hasIcon
                     ? RECT{margin, bodyTop, margin + kBoxIconSize * s, bodyTop + kBoxIconSize * s}
                     : RECT{};
    HWND box =
        CreateWindowExW(WS_EX_TOPMOST, platform::kMessageBoxClass, state.record.caption.c_str(),
                        WS_POPUP, x, y, width, height, owner, nullptr, nullptr, &state);
    if (box == nullptr)
        return nullptr;
    const int textTop = bodyTop + (bodyHeight - textHeight) / 2;
    (void)CreateWindowExW(0, kBoxTextClass, state.record.text.c_str(), WS_CHILD | WS_VISIBLE,
                          margin + iconSpace, textTop, textWidth, textHeight, box,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kBoxTextId)), nullptr,
                          nullptr);
    int buttonX = (width - buttonsWidth) / 2;
    const int buttonY = bodyTop + bodyHeight + margin;
    for (const int id : buttons) {
        (void)CreateWindowExW(0, kBoxButtonClass, platform::MessageBoxButtonText(id).c_str(),
                              WS_CHILD | WS_VISIBLE, buttonX, buttonY, buttonWidth, buttonHeight,
                              box, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr,
                              nullptr);
        buttonX += buttonWidth + margin;
    }
    return box;
}

} // namespace

namespace platform {

int ShowMessageBoxWindow(const MessageBoxRecord& box) {
    RegisterBoxClasses();
    BoxState state;
    state.record = box;
    state.scale = SystemScale();
    state.font = MakeSystemFont(kSystemFontHeight * state.scale, false);
    state.titleFont = MakeSystemFont(kSystemFontHeight * state.scale, true);
    state.iconFont = MakeSystemFont(kBoxIconSize * state.scale * 3 / 4, true);
    const SystemPlacement placement = PlaceSystemWindow(box.owner);
    HWND window = CreateBox(state, placement.owner, placement.over, placement.work);
    if (window != nullptr)
        RunSystemModal(window, placement.owner, nullptr, state.isEnded, OpenBoxesMutex(),
                       OpenBoxes(), {});
    const int answer = state.isEnded ? state.answer : 0;
    DeleteObject(state.iconFont);
    DeleteObject(state.titleFont);
    DeleteObject(state.font);
    return answer;
}

void ShowMessageBoxesAsWindows() {
    SetMessageBoxSink(ShowMessageBoxWindow);
}

void EndMessageBoxWindows() {
    {
        std::lock_guard lock(OpenBoxesMutex());
        for (HWND box : OpenBoxes())
            PostMessageW(box, kEndBoxMessage, 0, 0);
    }
    EndOpenFileDialogWindows();
}

bool IsMessageBoxWindow(HWND window) {
    std::lock_guard lock(OpenBoxesMutex());
    return OpenBoxes().contains(window);
}

} // namespace platform
