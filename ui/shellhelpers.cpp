#include "ui/shellhelpers.h"

#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/text.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>
#include <string_view>

bool ShowInputPanel(bool isOn) {
    SIPINFO info{};
    info.cbSize = 48; // the size the shell expects, whatever this build pads the structure to
    if (!SHSipInfo(SPI_GETSIPINFO, 0, &info, 0))
        return false;
    info.fdwFlags = isOn ? (info.fdwFlags | SIPF_ON) : (info.fdwFlags & ~SIPF_ON);
    return SHSipInfo(SPI_SETSIPINFO, 0, &info, 0) != FALSE;
}

bool ShowTaskBar(HWND window, bool show) {
    return SHFullScreen(window, show ? SHFS_SHOWTASKBAR : SHFS_HIDETASKBAR) != FALSE;
}

bool SetSipButtonVisible(HWND window, bool fullScreen) {
    if (window == nullptr)
        return false;
    DWORD request = SHFS_SHOWSIPBUTTON;
    if (fullScreen && IniProfile::GetInt(u"Zudav", u"Simulation",
                                         AppPaths::GetSettingsFilePath().c_str(), 0) == 0) {
        request = SHFS_HIDESIPBUTTON;
    }
    return SHFullScreen(window, request) != FALSE;
}

bool SetTaskBarHidden(HWND window, bool hidden) {
    if (window == nullptr)
        return false;
    return SHFullScreen(window, hidden ? SHFS_HIDETASKBAR : SHFS_SHOWTASKBAR) != FALSE;
}

bool FitWindowToWorkArea(HWND window) {
    if (window == nullptr)
        return false;
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return false;
    return MoveWindow(window, 0, 0, work.right, work.bottom, TRUE) != FALSE;
}

LPCWSTR FitTextTail(HDC dc, HFONT font, LPCWSTR text, int width) {
    if (text == nullptr)
        return text;
    const int length = static_cast<int>(std::u16string_view(text).size());
    HGDIOBJ old = SelectObject(dc, font);
    int fit = 0;
    SIZE size{};
    const BOOL isMeasured = GetTextExtentExPointW(dc, text, length, width, &fit, nullptr, &size);
    if (old != nullptr)
        SelectObject(dc, old);
    if (!isMeasured || fit <= 0 || fit >= length)
        return text;
    return text + (length - fit);
}

void ScreenRectToClient(HWND window, RECT* rect) {
    POINT topLeft{rect->left, rect->top};
    POINT bottomRight{rect->right, rect->bottom};
    ScreenToClient(window, &topLeft);
    ScreenToClient(window, &bottomRight);
    *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

HFONT CreateListFont(LONG height) {
    LOGFONTW description{};
    description.lfHeight = height;
    description.lfWeight = 700;
    description.lfQuality = 4;
    const std::u16string_view face = u"Arial";
    std::copy(face.begin(), face.end(), description.lfFaceName);
    return CreateFontIndirectW(&description);
}

bool ReplaceListFont(HWND list, LONG height, HFONT& kept) {
    HFONT font = CreateListFont(height);
    if (font == nullptr)
        return false;
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetWindowPos(list, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    if (kept != nullptr)
        DeleteObject(kept);
    kept = font;
    return true;
}

ScopedWaitCursor::ScopedWaitCursor()
    : m_previous(SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT)))) {}

ScopedWaitCursor::~ScopedWaitCursor() {
    (void)SetCursor(m_previous);
}
