#include "ui/pagebase.h"

#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/process.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <atomic>

namespace {

constexpr int kTitleTextMax = 64;
// "Help cannot be shown: the viewer %s cannot be started. To name another, ..."
constexpr UINT kHelpViewerFailedText = 1406;
constexpr char16_t kHelpViewerImage[] = u"peghelp.exe";

// The help viewer started last, for the whole process.
HANDLE g_helpViewer = nullptr;
HWND g_lastActivePage = nullptr;
// A viewer that could not be started is told once a run.
std::atomic<bool> g_isHelpFailureTold{false};

} // namespace

PageBase::PageBase(const std::u16string& pageName)
    : BitmapWindow(&pageHandle, pageName)
    , m_backgroundBrush(CreateSolidBrush(kBackgroundColour)) {
    MessageMapPtr& map = pageHandle.map;
    ConnectMessageHandler(map, WM_CREATE, this, &PageBase::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &PageBase::OnSizeMessage);
    ConnectMessageHandler(map, WM_PAINT, this, &PageBase::OnPaint);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &PageBase::OnActivate);
    ConnectMessageHandler(map, WM_ERASEBKGND, this, &PageBase::OnEraseBackground);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &PageBase::OnKeyDown);
}

PageBase::~PageBase() {
    if (m_backgroundBrush != nullptr)
        DeleteObject(m_backgroundBrush);
}

void PageBase::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    AddArea(u"Status", kTitleAreaKey);
    std::u16string title(kTitleTextMax + 1, u'\0');
    const int length =
        LoadStringW(platform::ResourceInstance(), GetTitleId(), title.data(), kTitleTextMax + 1);
    title.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    m_title = std::move(title);
}

void PageBase::OnSizeMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    const RECT area = GetAreaRect(kTitleAreaKey);
    // The area's height is the font's cell height (a positive height: ascent and descent), so
    // that the title's descenders stay within the area it is drawn and clipped to; the title
    // labels that take this font are as high as the area.
    m_titleFont.Create(u"Arial", FontHandle::HeightBetween(area.bottom, area.top), true, false,
                       false);
}

void PageBase::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(GetHwnd(), &paint);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, m_titleFont.Get());
    const COLORREF oldColour = SetTextColor(dc, kTitleColour);
    RECT area = GetAreaRect(kTitleAreaKey);
    DrawTextW(dc, m_title.c_str(), -1, &area, DT_SINGLELINE | DT_VCENTER);
    ShowOverlayChildren(true);
    SetTextColor(dc, oldColour);
    SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    EndPaint(GetHwnd(), &paint);
    *result = 0;
    *handled = true;
}

void PageBase::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_ACTIVE || state == WA_CLICKACTIVE)
        ShowTaskBar(GetHwnd(), false);
    else if (state == WA_INACTIVE)
        ShowTaskBar(GetHwnd(), true);
}

void PageBase::OnEraseBackground(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    DrawBackground(reinterpret_cast<HDC>(wParam));
    *result = 1;
    *handled = true;
}

void PageBase::OnKeyDown(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam == VK_F1)
        OpenOnlineHelp();
}

void PageBase::InvalidateControl(HWND parent, UINT id) {
    HWND child = GetDlgItem(parent, static_cast<int>(id));
    if (child == nullptr)
        return;
    RECT rect{};
    GetWindowRect(child, &rect);
    ScreenRectToClient(parent, &rect);
    InvalidateRect(parent, &rect, TRUE);
}

void PageBase::FocusEntry(UINT id) {
    InvalidateControl(GetHwnd(), id);
    HWND child = GetDlgItem(GetHwnd(), static_cast<int>(id));
    if (child != nullptr)
        SetFocus(child);
    m_focusId = id;
}

void PageBase::MoveFocusNext(UINT id) {
    HWND page = GetHwnd();
    if (GetDlgItem(page, static_cast<int>(id)) == nullptr)
        return;
    InvalidateControl(page, id);
    auto position = std::find(m_focusList.begin(), m_focusList.end(), id);
    if (position == m_focusList.end())
        return;
    for (auto next = position + 1; next != m_focusList.end(); ++next) {
        HWND child = GetDlgItem(page, static_cast<int>(*next));
        if (child != nullptr && IsWindowEnabled(child) != FALSE) {
            FocusEntry(*next);
            return;
        }
    }
    // The wrap is a forward step too, to the first entry whether or not it is enabled.
    FocusEntry(m_focusList.front());
}

void CloseOnlineHelp() {
    if (g_helpViewer != nullptr) {
        TerminateProcess(g_helpViewer, 0);
        CloseHandle(g_helpViewer);
        g_helpViewer = nullptr;
    }
}

void OpenOnlineHelp() {
    CloseOnlineHelp();
    const std::u16string path =
        IniProfile::GetString(u"HelpFile", u"Path", AppPaths::GetSettingsFilePath().c_str(), u"");
    const std::u16string parameters = u"file:" + path;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = u"Open";
    info.lpFile = kHelpViewerImage;
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOW;
    if (ShellExecuteExW(&info) != FALSE) {
        g_helpViewer = info.hProcess;
        return;
    }
    if (!g_isHelpFailureTold.exchange(true)) {
        const std::u16string viewer = platform::HostViewerName();
        ShowFileMessage(nullptr, kHelpViewerFailedText, viewer.empty() ? kHelpViewerImage : viewer);
    }
}

bool SendFocusMove(HWND page, WPARAM, LPARAM lParam) {
    if (HIWORD(static_cast<DWORD>(lParam)) != kTabScanCode || page == nullptr)
        return false;
    HWND focus = GetFocus();
    if (focus == nullptr || GetParent(focus) != page)
        return false;
    const int id = GetDlgCtrlID(focus);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, kFocusMoveNotification),
                 reinterpret_cast<LPARAM>(focus));
    return true;
}

HWND GetLastActivePageWindow() {
    return g_lastActivePage;
}

void SetLastActivePageWindow(HWND window) {
    g_lastActivePage = window;
}
