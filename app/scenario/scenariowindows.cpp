#include "app/scenario/scenariowindows.h"

#include "ui/dialogbase.h"
#include "ui/textface.h"
#include "ui/windowbase.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/openfilewindow.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/text.h"
#include "platform/kernel/codepage.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace {

POINT CentreOf(const RECT& rect) {
    return POINT{rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

// The shown child window with the id inside the top-level window; null when there is none.
HWND FindControl(HWND topLevel, UINT id) {
    for (HWND window : platform::ShownWindows()) {
        if (window != topLevel && TopLevelOf(window) == topLevel &&
            GetDlgCtrlID(window) == static_cast<int>(id))
            return window;
    }
    return nullptr;
}

bool IsPickList(HWND window) {
    return HasClass(window, kPickListClass);
}

// A list whose entries it draws itself and gives as a list box does: the program's lists (a pick
// list's open list among them) and the open-file dialog's.
bool IsList(HWND window) {
    return HasClass(window, kListClass) || HasClass(window, platform::kOpenFileListClass);
}

// The active window's shown pick list with the id; null, with the reason, when there is none.
HWND FindPickList(UINT id, std::string& problem) {
    HWND active = ActiveWindow();
    if (active == nullptr) {
        problem = "no window is active";
        return nullptr;
    }
    for (HWND window : platform::ShownWindows()) {
        if (window != active && TopLevelOf(window) == active &&
            GetDlgCtrlID(window) == static_cast<int>(id) && IsPickList(window))
            return window;
    }
    problem = "the active window (" + platform::Utf16ToUtf8(SectionOf(active)) +
              ") shows no pick list " + std::to_string(id);
    return nullptr;
}

// The screen's colour before a whole repaint: neither the skins nor the map's style sheets use it.
constexpr COLORREF kUnpaintedColour = RGB(0xF3, 0x0D, 0xE5);
// The colour the skin's bitmaps key out (their top-left pixel's): transparent where they are
// drawn, never shown.
constexpr COLORREF kSkinKeyColour = RGB(255, 0, 255);

// The colour as ReadScreenPixels gives it (0x00RRGGBB).
std::uint32_t ScreenPixelOf(COLORREF colour) {
    return (std::uint32_t{GetRValue(colour)} << 16) | (std::uint32_t{GetGValue(colour)} << 8) |
           GetBValue(colour);
}

bool FillScreen(COLORREF colour, int width, int height) {
    HDC screen = GetDC(nullptr);
    if (screen == nullptr)
        return false;
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT all{0, 0, width, height};
    const bool isFilled = brush != nullptr && FillRect(screen, &all, brush) != 0;
    if (brush != nullptr)
        DeleteObject(brush);
    ReleaseDC(nullptr, screen);
    return isFilled;
}

// Where the picture (width pixels a row) holds the colour, grouped as FirstDifference groups
// the pixels that differ: from the first row holding it down through the rows that follow and
// hold it, across their columns that do. Nothing when no pixel holds it.
std::optional<RECT> FirstPixelsOf(const std::vector<std::uint32_t>& pixels, int width,
                                  std::uint32_t colour) {
    if (width <= 0)
        return std::nullopt;
    std::optional<RECT> found;
    const auto rows = static_cast<LONG>(pixels.size() / static_cast<std::size_t>(width));
    for (LONG y = 0; y < rows; ++y) {
        const auto row = pixels.begin() + static_cast<std::ptrdiff_t>(y) * width;
        const auto first = std::find(row, row + width, colour);
        if (first == row + width) {
            if (found)
                break;
            continue;
        }
        const auto left = static_cast<LONG>(first - row);
        LONG right = width;
        while (row[right - 1] != colour)
            --right;
        if (!found)
            found = RECT{left, y, right, y + 1};
        found->left = std::min(found->left, left);
        found->right = std::max(found->right, right);
        found->bottom = y + 1;
    }
    return found;
}

std::string RectText(const RECT& rect) {
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ") - (" +
           std::to_string(rect.right) + ", " + std::to_string(rect.bottom) + ")";
}

std::u16string_view TrimBlanks(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);
    return text;
}

// The contrast a text needs with the colour under it to be read (WCAG 2).
constexpr double kReadableContrast = 3.0;

// Pairs of a text colour and the colour under it that the program's design fixes below that
// contrast: kept as they are, named by what they are.
struct FixedColourPair {
    const char* what;
    COLORREF text;
    COLORREF background;
};
constexpr FixedColourPair kFixedColourPairs[] = {
    {"the road-number shields in white on green", RGB(255, 255, 255), RGB(0, 255, 0)},
    {"the road-number shields in yellow on green", RGB(255, 200, 0), RGB(0, 255, 0)},
};

// The relative luminance of an sRGB colour, 0 for black to 1 for white.
double RelativeLuminance(COLORREF colour) {
    const auto linear = [](BYTE value) {
        const double v = value / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(colour)) + 0.7152 * linear(GetGValue(colour)) +
           0.0722 * linear(GetBValue(colour));
}

double ContrastRatio(COLORREF a, COLORREF b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::string RgbText(COLORREF colour) {
    return "RGB(" + std::to_string(GetRValue(colour)) + ", " + std::to_string(GetGValue(colour)) +
           ", " + std::to_string(GetBValue(colour)) + ")";
}

// A disabled button's caption, greyed: in the greyed colours, inside a shown disabled window.
bool IsGreyedCaption(const platform::DrawnText& text) {
    if (text.colour != kSkinDisabledText && text.colour != kSkinDisabledMarker)
        return false;
    for (HWND window : platform::ShownWindows()) {
        RECT rect{};
        if (IsWindowEnabled(window) == FALSE && GetWindowRect(window, &rect) != FALSE &&
            text.box.left >= rect.left && text.box.top >= rect.top &&
            text.box.right <= rect.right && text.box.bottom <= rect.bottom)
            return true;
    }
    return false;
}

bool IsFixedPair(const platform::DrawnText& text) {
    return std::any_of(std::begin(kFixedColourPairs), std::end(kFixedColourPairs),
                       [&](const FixedColourPair& pair) {
                           return pair.text == text.colour && pair.background == text.background;
                       });
}

// The first text the screen shows that cannot be read on the colour under it; empty when each
// can.
std::string FindUnreadableText(const std::vector<platform::DrawnText>& texts) {
    for (const platform::DrawnText& text : texts) {
        const double ratio = ContrastRatio(text.colour, text.background);
        if (ratio >= kReadableContrast || IsGreyedCaption(text) || IsFixedPair(text))
            continue;
        // Rounded to two decimals, but never up to the contrast wanted.
        char shown[16];
        (void)std::snprintf(shown, sizeof shown, "%.2f",
                            std::min(std::round(ratio * 100) / 100, kReadableContrast - 0.01));
        return "the text \"" + platform::Utf16ToUtf8(text.text) + "\" in " + RgbText(text.colour) +
               " on " + RgbText(text.background) + " cannot be read: contrast " + shown +
               ":1, want 3:1";
    }
    return {};
}

} // namespace

HWND TopLevelOf(HWND window) {
    // GetParent of a top-level window is its owner.
    while (window != nullptr && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0)
        window = GetParent(window);
    return window;
}

std::u16string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    text.resize(
        static_cast<std::size_t>(std::max(0, GetWindowTextW(window, text.data(), length + 1))));
    return text;
}

bool HasClass(HWND window, std::u16string_view className) {
    WCHAR name[32] = {};
    return GetClassNameW(window, name, 32) > 0 && std::u16string_view(name) == className;
}

HWND ActiveWindow() {
    HWND active = GetActiveWindow();
    return active != nullptr ? active : GetForegroundWindow();
}

std::u16string SectionOf(HWND window) {
    if (const DialogBase* dialog = DialogBase::FromWindow(window))
        return dialog->GetSection();
    if (const WindowBase* framework = WindowBase::FromWindow(window))
        return framework->GetSectionName();
    return {};
}

std::vector<std::u16string> ShownTexts() {
    std::vector<std::u16string> texts;
    for (HWND window : platform::ShownWindows()) {
        if (std::u16string text = WindowText(window); !text.empty())
            texts.push_back(std::move(text));
        if (IsList(window)) {
            // A list's entries are drawn by the list itself.
            const auto count = static_cast<int>(SendMessageW(window, LB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                const auto length = SendMessageW(window, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
                if (length <= 0)
                    continue;
                std::u16string entry(static_cast<std::size_t>(length) + 1, u'\0');
                (void)SendMessageW(window, LB_GETTEXT, static_cast<WPARAM>(i),
                                   reinterpret_cast<LPARAM>(entry.data()));
                entry.resize(static_cast<std::size_t>(length));
                texts.push_back(std::move(entry));
            }
        }
        if (const DialogBase* dialog = DialogBase::FromWindow(window)) {
            // A dialog's texts are items it draws itself.
            for (const auto& [id, item] : dialog->GetItems()) {
                if (!item.text.empty())
                    texts.push_back(item.text);
            }
        }
    }
    return texts;
}

bool IsTextShown(const std::u16string& text) {
    for (const std::u16string& shown : ShownTexts()) {
        // The whole text, or one of its lines.
        for (std::size_t start = 0; start <= shown.size();) {
            const std::size_t end = std::min(shown.find(u'\n', start), shown.size());
            std::u16string_view line(shown.data() + start, end - start);
            if (!line.empty() && line.back() == u'\r')
                line.remove_suffix(1);
            if (shown == text || line == text)
                return true;
            start = end + 1;
        }
    }
    return false;
}

std::optional<POINT> FindTapPoint(UINT id, std::string& problem) {
    HWND active = ActiveWindow();
    if (active == nullptr) {
        problem = "no window is active";
        return std::nullopt;
    }
    const std::string control = "control " + std::to_string(id);
    if (HWND window = FindControl(active, id)) {
        RECT rect{};
        (void)GetWindowRect(window, &rect);
        const POINT point = CentreOf(rect);
        if (IsWindowEnabled(window) == FALSE)
            problem = control + " is disabled";
        // A label lets the tap through to its parent beneath it.
        else if (HWND hit = WindowFromPoint(point); hit != window && hit != GetParent(window))
            problem = control + " is covered";
        else
            return point;
        return std::nullopt;
    }
    if (const DialogBase* dialog = DialogBase::FromWindow(active)) {
        const DialogItem* item = dialog->FindItem(id);
        if (item != nullptr && item->face != nullptr) {
            POINT point = CentreOf(item->rect);
            (void)ClientToScreen(active, &point);
            return point;
        }
    }
    problem =
        "the active window (" + platform::Utf16ToUtf8(SectionOf(active)) + ") shows no " + control;
    return std::nullopt;
}

std::optional<POINT> FindDropButtonPoint(UINT id, std::string& problem) {
    HWND list = FindPickList(id, problem);
    if (list == nullptr)
        return std::nullopt;
    RECT rect{};
    (void)GetWindowRect(list, &rect);
    // The button is a square as high as the pick list at its right end.
    const int half = (rect.bottom - rect.top) / 2;
    const POINT point{rect.right - half, rect.top + half};
    const std::string control = "pick list " + std::to_string(id);
    if (IsWindowEnabled(list) == FALSE)
        problem = control + " is disabled";
    else if (WindowFromPoint(point) != list)
        problem = control + "'s drop-down button is covered";
    else
        return point;
    return std::nullopt;
}

std::optional<POINT> FindListEntryPoint(UINT id, const std::u16string& entry,
                                        std::string& problem) {
    HWND combo = FindPickList(id, problem);
    if (combo == nullptr)
        return std::nullopt;
    const std::string control = "pick list " + std::to_string(id);
    RECT bounds{};
    (void)GetWindowRect(combo, &bounds);
    // The open list: a shown window of its own with the same id, right below the pick list.
    HWND list = nullptr;
    RECT listRect{};
    for (HWND window : platform::ShownWindows()) {
        RECT rect{};
        if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0 &&
            GetDlgCtrlID(window) == static_cast<int>(id) && GetWindowRect(window, &rect) != FALSE &&
            rect.left == bounds.left && rect.top == bounds.bottom) {
            list = window;
            listRect = rect;
        }
    }
    if (list == nullptr) {
        problem = control + "'s list is not open";
        return std::nullopt;
    }
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    int index = -1;
    for (int i = 0; i < count && index < 0; ++i) {
        const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0)
            continue;
        std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
        (void)SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(length));
        if (TrimBlanks(text) == TrimBlanks(entry))
            index = i;
    }
    if (index < 0) {
        problem = control + " has no entry \"" + platform::Utf16ToUtf8(entry) + "\"";
        return std::nullopt;
    }
    // Each row is as high as the pick list; a list with room for every entry shows them all
    // from the first.
    const int rowHeight = bounds.bottom - bounds.top;
    if (rowHeight <= 0 || count * rowHeight > listRect.bottom - listRect.top) {
        problem = control + "'s list scrolls";
        return std::nullopt;
    }
    return POINT{listRect.left + (listRect.right - listRect.left) / 4,
                 listRect.top + index * rowHeight + rowHeight / 2};
}

std::string CompareWithWholeRepaint(const std::vector<std::uint32_t>& shown, int width,
                                    std::vector<std::uint32_t>& repainted) {
    // The repaint starts from a screen in a colour no window paints: a pixel that keeps it was
    // painted by none. It is the check's own: the window goes on showing the frame.
    const platform::ScreenHold hold;
    if (width <= 0 || !FillScreen(kUnpaintedColour, width,
                                  static_cast<int>(shown.size() / static_cast<std::size_t>(width))))
        return "cannot fill the screen";
    platform::ForgetScreenTexts();
    if (!platform::RepaintShownWindowsNow())
        return "the screen could not be repainted whole";
    int repaintedWidth = 0;
    int repaintedHeight = 0;
    if (!platform::ReadScreenPixels(nullptr, &repainted, &repaintedWidth, &repaintedHeight))
        return "cannot read the screen";
    if (const std::optional<RECT> unpainted =
            FirstPixelsOf(repainted, repaintedWidth, ScreenPixelOf(kUnpaintedColour)))
        return "painted by no window in " + RectText(*unpainted);
    if (const std::optional<RECT> differs = platform::FirstDifference(shown, repainted, width))
        return "the frame differs from the screen repainted whole in " + RectText(*differs);
    if (const std::optional<RECT> keyed =
            FirstPixelsOf(repainted, repaintedWidth, ScreenPixelOf(kSkinKeyColour)))
        return "the skin's key colour " + RgbText(kSkinKeyColour) + " shows in " + RectText(*keyed);
    // The frame is the repaint: what the repaint drew is what the frame shows.
    return FindUnreadableText(platform::ShownDrawnTexts());
}
