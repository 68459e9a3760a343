#pragma once
// What the system's own windows (the message box, the open-file dialog) share: their colours,
// font, fills, texts and push buttons.

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace platform::gdi_detail {

inline constexpr COLORREF kSystemTitleBack = RGB(0, 0, 128);
inline constexpr COLORREF kSystemTitleText = RGB(255, 255, 255);
inline constexpr COLORREF kSystemBody = RGB(255, 255, 255);
inline constexpr COLORREF kSystemInk = RGB(0, 0, 0);
inline constexpr COLORREF kSystemButtonFace = RGB(212, 208, 200);
inline constexpr COLORREF kSystemButtonShadow = RGB(128, 128, 128);
// Sizes in pixels of a 240-pixel-wide screen; a wider screen scales them.
inline constexpr int kSystemMargin = 8;
inline constexpr int kSystemFontHeight = 13;
inline constexpr int kSystemMinButtonWidth = 56;

// How much a system window's sizes grow on this screen (its width over 240), at least 1.
[[nodiscard]] int SystemScale();
[[nodiscard]] HFONT MakeSystemFont(int height, bool isBold);
void FillSolid(HDC dc, const RECT& rect, COLORREF colour);
// The text without prefix characters, in colour over what lies beneath.
void DrawSystemText(HDC dc, const std::u16string& text, RECT rect, UINT format, COLORREF colour);
// A push button in client: a black frame, twice as thick around the default button, over the
// face, grey while pressed, with the label centred.
void DrawSystemButton(HDC dc, const RECT& client, const std::u16string& label, HFONT font,
                      int scale, bool isPressed, bool isDefault);
// The extent of a text in a font: one line, or wrapped into width when width is above 0.
[[nodiscard]] SIZE MeasureSystemText(HFONT font, const std::u16string& text, int width);
// The top-level window that window lies in (itself when it is one).
[[nodiscard]] HWND TopLevelWindowOf(HWND window);
// Where a window of the size goes along one axis: centred over [overFrom, overTo), moved into
// [workFrom, workTo) as far as it fits there.
[[nodiscard]] int PlaceCentred(int size, int overFrom, int overTo, int workFrom, int workTo);
// The screen's work area, or the whole screen when the system gives none.
[[nodiscard]] RECT SystemWorkArea();
// The stylus on a push button: a tap down captures and presses it (pressed = its id), the tap
// up releases it and, over the button, calls clicked. Null for a message that is not the
// stylus's; else the message's result.
[[nodiscard]] std::optional<LRESULT> TrackSystemButton(HWND button, UINT message, LPARAM lParam,
                                                       int& pressed,
                                                       const std::function<void()>& clicked);
// Registers the window classes of a system window once.
void RegisterSystemClasses(std::initializer_list<std::pair<const char16_t*, WNDPROC>> classes);
// Where a system window goes: over the top-level window of the owner asked for, else over the
// active window, else over the work area. Only a window of the calling thread is its owner (and
// disabled while it is up); another thread's is just covered.
struct SystemPlacement {
    HWND owner = nullptr;
    RECT over{};
    RECT work{};
};
[[nodiscard]] SystemPlacement PlaceSystemWindow(HWND askedOwner);
// Shows the made window modally until isEnded: listed in open (guarded by openMutex) while it is
// up, the owner disabled, focus (null: the window) given the focus, and its own loop run, each
// message offered to preview first (true: taken). A WM_QUIT ends it too and is posted again so
// that outer loops end. The screen beneath is put back before the window is destroyed.
void RunSystemModal(HWND window, HWND owner, HWND focus, const bool& isEnded, std::mutex& openMutex,
                    std::set<HWND>& open, const std::function<bool(const MSG&)>& preview);
// Ends every open-file dialog unanswered, as at the end of the program. Any thread.
void EndOpenFileDialogWindows();

} // namespace platform::gdi_detail
