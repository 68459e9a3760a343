// The message box window: its layout, painting, buttons and modal loop.
#include "platform/gdi/messageboxwindow.h"

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

namespace {

constexpr char16_t kBoxButtonClass[] = u"SystemMessageBoxButton";
constexpr char16_t kBoxTextClass[] = u"SystemMessageBoxText";
constexpr int kBoxTextId = 0xFFFF;
// Posted by EndMessageBoxWindows: ends the box unanswered.
constexpr UINT kEndBoxMessage = WM_USER + 0x4D42;

constexpr COLORREF kBoxTitleBack = RGB(0, 0, 128);
constexpr COLORREF kBoxTitleText = RGB(255, 255, 255);
constexpr COLORREF kBoxBody = RGB(255, 255, 255);
constexpr COLORREF kBoxInk = RGB(0, 0, 0);
constexpr COLORREF kBoxButtonFace = RGB(212, 208, 200);
constexpr COLORREF kBoxButtonShadow = RGB(128, 128, 128);
constexpr COLORREF kBoxErrorRed = RGB(204, 0, 0);
constexpr COLORREF kBoxWarningYellow = RGB(255, 204, 0);
constexpr COLORREF kBoxInfoBlue = RGB(0, 72, 200);

// Sizes in pixels of a 240-pixel-wide screen; a wider screen scales them.
constexpr int kBoxMargin = 8;
constexpr int kBoxIconSize = 32;
constexpr int kBoxFontHeight = 13;
constexpr int kBoxMinButtonWidth = 56;
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

HFONT MakeBoxFont(int height, bool isBold) {
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = isBold ? FW_BOLD : FW_NORMAL;
    const std::u16string face = u"Tahoma";
    std::copy(face.begin(), face.end(), font.lfFaceName);
    return CreateFontIndirectW(&font);
}

void FillBoxRect(HDC dc, const RECT& rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void DrawBoxText(HDC dc, const std::u16string& text, RECT rect, UINT format, COLORREF colour) {
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_NOPREFIX);
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
    HPEN outline = CreatePen(PS_SOLID, 1, isWarning ? kBoxInk : RGB(255, 255, 255));
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
    DrawBoxText(dc, mark, markRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                isWarning ? kBoxInk : RGB(255, 255, 255));
    SelectObject(dc, oldFont);
}

void PaintBox(HWND box) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(box, &paint);
    const BoxState* state = BoxStateOf(box);
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(box, &client);
        FillBoxRect(dc, client, kBoxInk); // the frame
        const int frame = state->scale;
        RECT inside{client.left + frame, client.top + frame, client.right - frame,
                    client.bottom - frame};
        FillBoxRect(dc, inside, kBoxBody);
        FillBoxRect(dc, state->title, kBoxTitleBack);
        HGDIOBJ oldFont = SelectObject(dc, state->titleFont);
        RECT caption = state->title;
        caption.left += 4 * state->scale;
        caption.right -= 4 * state->scale;
        DrawBoxText(dc, state->record.caption, caption, DT_LEFT | DT_VCENTER | DT_SINGLELINE,
                    kBoxTitleText);
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
        const bool isPressed = state->pressed == id;
        const bool isDefault = platform::MessageBoxDefaultButton(state->record.type) == id;
        // A black frame, twice as thick around the default button, over the face.
        FillBoxRect(dc, client, kBoxInk);
        const int frame = state->scale * (isDefault ? 2 : 1);
        RECT face{client.left + frame, client.top + frame, client.right - frame,
                  client.bottom - frame};
        FillBoxRect(dc, face, isPressed ? kBoxButtonShadow : kBoxButtonFace);
        HGDIOBJ oldFont = SelectObject(dc, state->font);
        DrawBoxText(dc, platform::WindowTextOf(button), face,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                    isPressed ? RGB(255, 255, 255) : kBoxInk);
        SelectObject(dc, oldFont);
    }
    EndPaint(button, &paint);
}

LRESULT BoxButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND box = GetParent(button);
    BoxState* state = BoxStateOf(box);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintBoxButton(button);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (state != nullptr) {
            SetCapture(button);
            state->pressed = GetDlgCtrlID(button);
            InvalidateRect(button, nullptr, FALSE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (state != nullptr && state->pressed == GetDlgCtrlID(button)) {
            ReleaseCapture();
            state->pressed = 0;
            InvalidateRect(button, nullptr, FALSE);
            RECT client{};
            GetClientRect(button, &client);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (PtInRect(&client, at))
                EndBox(box, GetDlgCtrlID(button));
        }
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
        FillBoxRect(dc, client, kBoxBody);
        HGDIOBJ oldFont = SelectObject(dc, state->font);
        DrawBoxText(dc, state->shownText, client, DT_LEFT | DT_WORDBREAK, kBoxInk);
        SelectObject(dc, oldFont);
    }
    EndPaint(text, &paint);
    return 0;
}

void RegisterBoxClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const auto& [name, procedure] : {std::pair{platform::kMessageBoxClass, &BoxProcedure},
                                              std::pair{kBoxButtonClass, &BoxButtonProcedure},
                                              std::pair{kBoxTextClass, &BoxTextProcedure}}) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = procedure;
            windowClass.lpszClassName = name;
            (void)RegisterClassW(&windowClass);
        }
    });
}

// The extent of a text in a font: one line, or wrapped into width when width is above 0.
SIZE MeasureBoxText(HFONT font, const std::u16string& text, int width) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rect{0, 0, width > 0 ? width : 0x7FFF, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : 0));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return SIZE{rect.right - rect.left, std::max<LONG>(rect.bottom - rect.top, metrics.tmHeight)};
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

// The screen under a window, kept while it is up and put back before it goes, as the system
// keeps it for its boxes: a window beneath that lets the screen show through (a skinned dialog
// drawn with transparent parts) then shows what it showed before, not the box.
class SavedScreen {
public:
    explicit SavedScreen(const RECT& rect)
        : m_rect(rect) {
        HDC screen = GetDC(nullptr);
        m_dc = CreateCompatibleDC(screen);
        m_bitmap = CreateCompatibleBitmap(screen, Width(), Height());
        if (m_dc != nullptr && m_bitmap != nullptr) {
            m_old = SelectObject(m_dc, m_bitmap);
            m_isSaved = BitBlt(m_dc, 0, 0, Width(), Height(), screen, m_rect.left, m_rect.top,
                               SRCCOPY) != FALSE;
        }
        ReleaseDC(nullptr, screen);
    }
    ~SavedScreen() {
        if (m_old != nullptr)
            SelectObject(m_dc, m_old);
        if (m_bitmap != nullptr)
            DeleteObject(m_bitmap);
        if (m_dc != nullptr)
            DeleteDC(m_dc);
    }
    SavedScreen(const SavedScreen&) = delete;
    SavedScreen& operator=(const SavedScreen&) = delete;

    void Restore() const {
        if (!m_isSaved)
            return;
        HDC screen = GetDC(nullptr);
        BitBlt(screen, m_rect.left, m_rect.top, Width(), Height(), m_dc, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }

private:
    [[nodiscard]] int Width() const { return m_rect.right - m_rect.left; }
    [[nodiscard]] int Height() const { return m_rect.bottom - m_rect.top; }

    RECT m_rect;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    bool m_isSaved = false;
};

HWND TopLevelWindowOf(HWND window) {
    while (window != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0)
        window = GetParent(window);
    return window;
}

// Where a box of the size goes along one axis: centred over [overFrom, overTo), moved into
// [workFrom, workTo) as far as it fits there.
int PlaceBox(int size, int overFrom, int overTo, int workFrom, int workTo) {
    const int centred = overFrom + (overTo - overFrom - size) / 2;
    return std::max(workFrom, std::min(centred, workTo - size));
}

// Makes the box window with its text and buttons, as large as its text wants within the work
// area, centred over the rectangle over where it fits (screen coordinates): a small owner, or
// another box, must not cut the text. Null when it cannot be made.
HWND CreateBox(BoxState& state, HWND owner, const RECT& over, const RECT& work) {
    const int s = state.scale;
    const int margin = kBoxMargin * s;
    const std::vector<int> buttons = platform::MessageBoxButtons(state.record.type);
    const int buttonHeight = MeasureBoxText(state.font, u"Ag", 0).cy + 10 * s;
    int buttonWidth = kBoxMinButtonWidth * s;
    for (const int id : buttons) {
        buttonWidth = std::max<int>(
            buttonWidth,
            MeasureBoxText(state.font, platform::MessageBoxButtonText(id), 0).cx + 16 * s);
    }
    const int buttonsWidth = static_cast<int>(buttons.size()) * (buttonWidth + margin) - margin;
    const SIZE captionSize = MeasureBoxText(state.titleFont, state.record.caption, 0);
    const bool hasIcon = (state.record.type & MB_ICONMASK) != 0 &&
                         (state.record.type & MB_ICONMASK) <= MB_ICONINFORMATION;
    const int iconSpace = hasIcon ? kBoxIconSize * s + margin : 0;
    const SIZE lineSize = MeasureBoxText(state.font, state.record.text, 0);
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
        std::min<int>(MeasureBoxText(state.font, state.shownText, textWidth).cy, maxTextHeight);
    const int bodyHeight = std::max(textHeight, hasIcon ? kBoxIconSize * s : 0);
    const int height = fixedHeight + bodyHeight;
    const int x = PlaceBox(width, over.left, over.right, work.left, work.right);
    const int y = PlaceBox(height, over.top, over.bottom, work.top, work.bottom);
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
    state.scale = std::max(1, GetSystemMetrics(SM_CXSCREEN) / 240);
    state.font = MakeBoxFont(kBoxFontHeight * state.scale, false);
    state.titleFont = MakeBoxFont(kBoxFontHeight * state.scale, true);
    state.iconFont = MakeBoxFont(kBoxIconSize * state.scale * 3 / 4, true);
    // Over the owner, else over the active window, else over the work area.
    HWND over = TopLevelWindowOf(IsWindow(box.owner) != FALSE ? box.owner : nullptr);
    if (over == nullptr)
        over = GetActiveWindow();
    RECT work{};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) == FALSE || IsRectEmpty(&work) != FALSE)
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT area{};
    if (over == nullptr || GetWindowRect(over, &area) == FALSE || IsRectEmpty(&area) != FALSE)
        area = work;
    // Only a window of this thread is owned and disabled: another thread's is just covered.
    HWND owner = over != nullptr && GetWindowThreadProcessId(over, nullptr) == GetCurrentThreadId()
                     ? over
                     : nullptr;
    HWND window = CreateBox(state, owner, area, work);
    int answer = 0;
    if (window != nullptr) {
        {
            std::lock_guard lock(OpenBoxesMutex());
            OpenBoxes().insert(window);
        }
        RECT rect{};
        GetWindowRect(window, &rect);
        const SavedScreen beneath(rect);
        const bool disablesOwner = owner != nullptr && IsWindowEnabled(owner) != FALSE;
        if (disablesOwner)
            EnableWindow(owner, FALSE);
        ShowWindow(window, SW_SHOW);
        SetActiveWindow(window);
        MSG msg{};
        while (!state.isEnded && IsWindow(window) != FALSE) {
            if (GetMessageW(&msg, nullptr, 0, 0) == FALSE) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        answer = state.isEnded ? state.answer : 0;
        if (disablesOwner && IsWindow(owner) != FALSE)
            EnableWindow(owner, TRUE);
        {
            std::lock_guard lock(OpenBoxesMutex());
            OpenBoxes().erase(window);
        }
        if (IsWindow(window) != FALSE) {
            beneath.Restore(); // the box still covers it: nothing beneath paints meanwhile
            DestroyWindow(window);
        }
    }
    DeleteObject(state.iconFont);
    DeleteObject(state.titleFont);
    DeleteObject(state.font);
    return answer;
}

void ShowMessageBoxesAsWindows() {
    SetMessageBoxSink(ShowMessageBoxWindow);
}

void EndMessageBoxWindows() {
    std::lock_guard lock(OpenBoxesMutex());
    for (HWND box : OpenBoxes())
        PostMessageW(box, kEndBoxMessage, 0, 0);
}

bool IsMessageBoxWindow(HWND window) {
    std::lock_guard lock(OpenBoxesMutex());
    return OpenBoxes().contains(window);
}

} // namespace platform
