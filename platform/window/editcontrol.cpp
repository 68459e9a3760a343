// The "Edit" class: a single-line edit field with caret, selection, text limit and change
// notifications to its parent.
#include "platform/kernel/text.h"
#include "platform/window/controls.h"
#include "platform/window/detail/state.h"
#include "platform/window/dialog.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace platform::window_detail;

namespace {

constexpr std::size_t kMaximumLimit = 0x7FFFFFFE;

struct EditState {
    std::size_t anchor = 0; // selection end that stays
    std::size_t caret = 0;  // selection end that moves
    std::size_t limit = kMaximumLimit;
    HFONT font = nullptr;
};

std::shared_ptr<EditState> StateOf(Window& window) {
    if (!window.control)
        window.control = std::make_shared<EditState>();
    return std::static_pointer_cast<EditState>(window.control);
}

void Notify(HWND window, WORD code) {
    SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), code),
                 reinterpret_cast<LPARAM>(window));
}

// Keeps only what the style allows.
std::u16string Filter(DWORD style, std::u16string_view text) {
    std::u16string kept;
    for (char16_t c : text) {
        if (c < 0x20 || ((style & ES_NUMBER) != 0 && (c < u'0' || c > u'9')))
            continue;
        if ((style & ES_UPPERCASE) != 0)
            c = TowUpper(c);
        if ((style & ES_LOWERCASE) != 0)
            c = TowLower(c);
        kept.push_back(c);
    }
    return kept;
}

// Pixel offsets of the caret positions 0..size of text in font; empty when GDI cannot measure.
std::vector<int> CaretOffsets(HFONT font, const std::u16string& text) {
    auto measure = platform::GetDcHooks().textExtents;
    if (measure == nullptr)
        return {};
    std::vector<int> offsets(text.size() + 1, 0);
    if (!text.empty() &&
        !measure(font, text.c_str(), static_cast<int>(text.size()), offsets.data() + 1)) {
        return {};
    }
    return offsets;
}

// Pixels the text may take: the client width less one pixel of margin each side.
int TextRoom(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client.right - client.left - 2;
}

// Replaces the selection by text, cut to the limit and, without ES_AUTOHSCROLL, to what fits
// the client width; sends EN_CHANGE when the text changed and EN_MAXTEXT when something was
// cut.
void ReplaceSelection(HWND window, std::u16string_view text) {
    bool wasCut = false;
    std::u16string inserted;
    std::u16string current;
    std::size_t from = 0;
    std::size_t to = 0;
    DWORD style = 0;
    HFONT font = nullptr;
    {
        WindowLock w(window);
        if (!w)
            return;
        auto state = StateOf(*w);
        inserted = Filter(w->style, text);
        from = std::min(state->anchor, state->caret);
        to = std::max(state->anchor, state->caret);
        const std::size_t kept = w->text.size() - (to - from);
        const std::size_t room = state->limit > kept ? state->limit - kept : 0;
        if (inserted.size() > room) {
            inserted.resize(room);
            wasCut = true;
        }
        style = w->style;
        font = state->font;
        current = w->text;
    }
    if ((style & ES_AUTOHSCROLL) == 0 && !inserted.empty()) {
        const int room = TextRoom(window);
        for (;;) {
            const std::u16string result = current.substr(0, from) + inserted + current.substr(to);
            const std::vector<int> offsets = CaretOffsets(font, result);
            if (offsets.empty() || offsets.back() <= room || inserted.empty())
                break;
            inserted.pop_back();
            wasCut = true;
        }
    }
    const bool hasChanged = to > from || !inserted.empty();
    {
        WindowLock w(window);
        if (!w)
            return;
        auto state = StateOf(*w);
        w->text.replace(from, to - from, inserted);
        state->caret = state->anchor = from + inserted.size();
    }
    if (wasCut)
        Notify(window, EN_MAXTEXT);
    if (hasChanged) {
        InvalidateRect(window, nullptr, TRUE);
        Notify(window, EN_CHANGE);
    }
}

// The caret position nearest to client x, laid out as the field paints its text (one pixel of
// margin, the alignment, scrolled so that the caret shows); -1 when the text cannot be
// measured.
LPARAM CaretPositionAt(HWND window, int x) {
    std::u16string text;
    std::size_t caret = 0;
    DWORD style = 0;
    HFONT font = nullptr;
    {
        WindowLock w(window);
        if (!w)
            return -1;
        auto state = StateOf(*w);
        text = w->text;
        caret = std::min(state->caret, text.size());
        style = w->style;
        font = state->font;
    }
    const std::vector<int> offsets = CaretOffsets(font, text);
    if (offsets.empty())
        return -1;
    const int room = TextRoom(window);
    const int width = room + 2;
    const int total = offsets.back();
    int left = 1;
    if (total < room && (style & 3) == ES_CENTER)
        left = (width - total) / 2;
    else if (total < room && (style & 3) == ES_RIGHT)
        left = width - 1 - total;
    const int caretX = left + offsets[caret];
    if (caretX > room)
        left -= caretX - room;
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        if (std::abs(left + offsets[i] - x) < std::abs(left + offsets[nearest] - x))
            nearest = i;
    }
    return static_cast<LPARAM>(nearest);
}

// Selects from start to end (clamped); -1 as start removes the selection, -1 as end is the end.
void Select(HWND window, LPARAM start, LPARAM end, bool extends) {
    WindowLock w(window);
    if (!w)
        return;
    auto state = StateOf(*w);
    const auto length = static_cast<LPARAM>(w->text.size());
    if (start == -1 && !extends) {
        state->anchor = state->caret;
        return;
    }
    auto clamp = [&](LPARAM value) {
        return static_cast<std::size_t>(value < 0 || value > length ? length : value);
    };
    if (!extends)
        state->anchor = clamp(start);
    state->caret = clamp(end);
}

LRESULT OnKeyDown(HWND window, WPARAM key) {
    std::size_t caret = 0;
    std::size_t length = 0;
    std::size_t anchor = 0;
    {
        WindowLock w(window);
        if (!w)
            return 0;
        auto state = StateOf(*w);
        caret = state->caret;
        anchor = state->anchor;
        length = w->text.size();
    }
    const bool extends = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    switch (key) {
    case VK_LEFT:
        Select(window, 0, caret > 0 ? caret - 1 : 0, extends);
        break;
    case VK_RIGHT:
        Select(window, 0, std::min(caret + 1, length), extends);
        break;
    case VK_HOME:
        Select(window, 0, 0, extends);
        break;
    case VK_END:
        Select(window, 0, static_cast<LPARAM>(length), extends);
        break;
    case VK_DELETE:
        if (anchor == caret && caret < length)
            Select(window, caret, caret + 1, false);
        ReplaceSelection(window, u"");
        break;
    default:
        break;
    }
    if (!extends && (key == VK_LEFT || key == VK_RIGHT || key == VK_HOME || key == VK_END)) {
        Select(window, -1, 0, false);
    }
    return 0;
}

LRESULT OnChar(HWND window, WCHAR character) {
    if (character == VK_BACK) {
        {
            WindowLock w(window);
            if (!w)
                return 0;
            auto state = StateOf(*w);
            if (state->anchor == state->caret && state->caret > 0)
                state->anchor -= 1;
        }
        ReplaceSelection(window, u"");
        return 0;
    }
    if (character >= 0x20)
        ReplaceSelection(window, std::u16string_view(&character, 1));
    return 0; // Tab, Return and Escape are swallowed
}

LRESULT OnSelection(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowLock w(window);
    if (!w)
        return 0;
    auto state = StateOf(*w);
    switch (message) {
    case EM_GETSEL: {
        const auto from = static_cast<DWORD>(std::min(state->anchor, state->caret));
        const auto to = static_cast<DWORD>(std::max(state->anchor, state->caret));
        if (wParam != 0)
            *reinterpret_cast<DWORD*>(wParam) = from;
        if (lParam != 0)
            *reinterpret_cast<DWORD*>(lParam) = to;
        return MAKELPARAM(static_cast<int>(from), static_cast<int>(to));
    }
    case EM_LIMITTEXT:
        state->limit = wParam == 0 ? kMaximumLimit : wParam;
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(state->limit);
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    default:
        return 0;
    }
}

LRESULT EditProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        return OnChar(window, static_cast<WCHAR>(wParam));
    case WM_KEYDOWN:
        OnKeyDown(window, wParam);
        InvalidateRect(window, nullptr, TRUE); // the caret or selection may have moved
        return 0;
    case EM_SETSEL:
        Select(window, static_cast<int>(wParam), static_cast<int>(lParam), false);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case EM_REPLACESEL:
        ReplaceSelection(window, lParam != 0 ? reinterpret_cast<LPCWSTR>(lParam) : u"");
        return 0;
    case EM_GETSEL:
    case EM_LIMITTEXT:
    case EM_GETLIMITTEXT:
    case WM_GETFONT:
        return OnSelection(window, message, wParam, lParam);
    case WM_SETFONT:
        OnSelection(window, message, wParam, lParam);
        if (lParam != 0)
            InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_SETTEXT: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        Select(window, 0, 0, false);
        InvalidateRect(window, nullptr, TRUE);
        Notify(window, EN_CHANGE);
        return result;
    }
    case WM_LBUTTONDOWN: {
        SetFocus(window);
        const LPARAM position = CaretPositionAt(window, GET_X_LPARAM(lParam));
        if (position >= 0)
            Select(window, position, position, false);
        else
            Select(window, -1, -1, false);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    case WM_SETFOCUS:
        InvalidateRect(window, nullptr, TRUE); // the caret shows only with the focus
        Notify(window, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, TRUE);
        Notify(window, EN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_ENABLE:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the background is painted with the parent's brush
    case WM_PAINT:
        return PaintAskingParent(window, WM_CTLCOLOREDIT);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

namespace platform::window_detail {

void RegisterEditClass() {
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EditProcedure;
    windowClass.lpszClassName = u"Edit";
    (void)RegisterClassW(&windowClass);
}

} // namespace platform::window_detail
