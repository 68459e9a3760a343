#include "app/tmc/statustmcinfo.h"

#include "app/tmc/tmclinegroups.h"
#include "ui/customlistbox.h"
#include "ui/gpsstatemonitor.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kItemHeight = 12;
constexpr std::size_t kStatusTextLength = 49;
constexpr WPARAM kActiveFromOtherPage = 0x10001;

} // namespace

StatusTmcInfo::StatusTmcInfo(std::vector<std::u16string> lines, std::u16string title, UINT pageId,
                             const std::u16string& sectionName, Mode mode, std::vector<UINT> icons)
    : PageBase(sectionName)
    , m_pageId(pageId)
    , m_title(std::move(title))
    , m_ownLines(std::move(lines))
    , m_ownIcons(std::move(icons))
    , m_mode(mode) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &StatusTmcInfo::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &StatusTmcInfo::OnSize);
    ConnectMessageHandler(map, WM_COMMAND, this, &StatusTmcInfo::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &StatusTmcInfo::OnKeyDown);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &StatusTmcInfo::OnActivate);
}

StatusTmcInfo::~StatusTmcInfo() {
    HWND window = GetHwnd();
    if (window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        DestroyWindow(window);
    }
    m_listBox.reset();
    if (m_listFont != nullptr)
        DeleteObject(m_listFont);
}

void StatusTmcInfo::CreateDialog() {
    std::u16string title(64, u'\0');
    const int length = LoadStringW(platform::ResourceInstance(), kTmcTitleId, title.data(), 65);
    title.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    TmcMonitor& monitor = TmcMonitor::Instance();
    monitor.SetDialog(std::make_unique<StatusTmcInfo>(
        monitor.GetLines(), std::move(title), kTmcPageId, u"TMCDlg", kTmcMode, monitor.GetIcons()));
}

void StatusTmcInfo::CloseDialog() {
    TmcMonitor::Instance().CloseDialog();
}

void StatusTmcInfo::SetData(const std::vector<std::u16string>& lines,
                            const std::vector<UINT>& icons) {
    m_lines = &lines;
    if (!icons.empty())
        m_icons = &icons;
}

void StatusTmcInfo::SetStatusText(std::u16string_view text) {
    m_statusText.assign(text.substr(0, kStatusTextLength));
    if (m_statusLabel != nullptr && GetHwnd() != nullptr)
        SetWindowTextW(m_statusLabel, m_statusText.c_str());
}

void StatusTmcInfo::Show() {
    ShowPageWindow(GetPageHandle(), true);
}

void StatusTmcInfo::Close() {
    HWND window = GetHwnd();
    if (window == nullptr)
        return;
    SendMessageW(window, WM_COMMAND, kOkId, 1);
    DestroyWindow(window);
}

void StatusTmcInfo::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    HWND window = GetHwnd();
    if (HWND title = CreateLabel(u"Title", kTitleLabelId, 0xFFFFFF, kTransparentBackground))
        SetWindowTextW(title, m_title.c_str());
    m_statusLabel = CreateLabel(u"StatusTmcInfo", kStatusLabelId, 0xFFFFFF, kStatusBackground);
    if (m_statusLabel != nullptr)
        SetWindowTextW(m_statusLabel, m_statusText.c_str());
    m_listBox = std::make_unique<CustomListBox>(window, kListId, kListColour, 0);
    m_listBox->SetItemHeight(kItemHeight);
    AddChild(u"Items", m_listBox->GetWindow());
    CreateControl(u"Cancel", CancelEntryId(), true, false, 0, 0);
    CreateControl(u"OK", kOkId, true, false, 0, 0);
    m_gpsIndicator = CreateGpsIndicator();
    m_tmcIndicator = CreateTmcIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    CreateLogoBox();
    m_focusList = {kListId, kOkId, CancelEntryId()};
    SetFocusId(kListId);
}

void StatusTmcInfo::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0 || !m_listBox)
        return;
    HFONT font = CreateListFont(-12);
    if (font == nullptr)
        return;
    HWND list = m_listBox->GetWindow();
    SetWindowPos(list, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (m_listFont != nullptr)
        DeleteObject(m_listFont);
    m_listFont = font;
}

void StatusTmcInfo::OnCommand(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
    } else if (id == kCancelId) {
        Cancel(lParam != 0);
    } else if (id == kOkId || id == kOtherOkId) {
        Accept(lParam != 0);
    } else if (id == kRefreshId) {
        m_refreshNeeded = true;
        RefreshList();
    }
}

void StatusTmcInfo::OnKeyDown(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam >= 'A' && wParam <= 'Z') {
        JumpToLetter(static_cast<char16_t>(wParam));
        return;
    }
    switch (wParam) {
    case VK_ESCAPE:
        Cancel(false);
        break;
    case VK_RETURN:
        // The first enabled control of cancel, refresh and the two accepts acts.
        for (UINT id : {kCancelId, kRefreshId, kOkId, kOtherOkId}) {
            if (FindControl(id) != nullptr && IsControlEnabled(id)) {
                SendMessageW(GetHwnd(), WM_COMMAND, id, 0);
                break;
            }
        }
        break;
    case VK_TAB:
        MoveFocusNext(GetFocusId());
        break;
    case VK_UP:
        MoveSelection(-1);
        break;
    case VK_DOWN:
        MoveSelection(1);
        break;
    default:
        break;
    }
}

void StatusTmcInfo::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    }
    if (LOWORD(static_cast<DWORD>(wParam)) == WA_INACTIVE)
        SetLastActivePageWindow(GetHwnd());
    if (wParam == WA_ACTIVE || wParam == WA_CLICKACTIVE) {
        m_refreshNeeded = true;
        RefreshList();
    }
    SetFocusId(kListId);
    if (m_mode == kListMode && wParam == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        if (HWND dialog = monitor.GetVisibleDialogWindow()) {
            SendMessageW(dialog, WM_ACTIVATE, kActiveFromOtherPage,
                         reinterpret_cast<LPARAM>(GetActiveWindow()));
            SetForegroundWindow(dialog);
        }
    }
}

void StatusTmcInfo::RefreshList() {
    if (!m_listBox || !m_refreshNeeded)
        return;
    HWND list = m_listBox->GetWindow();
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    if (m_icons->empty()) {
        m_listBox->SetIcons({});
        for (const std::u16string& line : *m_lines)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    } else if (TmcMonitor::Instance().GetMessageCount() != 0) {
        // The icons follow the lines into their listing order.
        const std::vector<std::size_t> order = OrderTmcLines(*m_lines);
        std::vector<int> shownIcons;
        shownIcons.reserve(order.size());
        for (std::size_t index : order)
            shownIcons.push_back(index < m_icons->size() ? static_cast<int>((*m_icons)[index]) : 0);
        m_listBox->SetIcons(std::move(shownIcons));
        for (std::size_t index : order) {
            SendMessageW(list, LB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>((*m_lines)[index].c_str()));
        }
    } else {
        m_listBox->SetIcons({});
    }
    SetCurSel(0);
    m_refreshNeeded = false;
}

void StatusTmcInfo::Accept(bool isForced) {
    m_selection = GetCurSel();
    CloseRun(isForced);
}

void StatusTmcInfo::Cancel(bool isForced) {
    m_selection = -1;
    CloseRun(isForced);
}

void StatusTmcInfo::CloseRun(bool isForced) {
    HWND lastPage = GetLastActivePageWindow();
    if (m_mode == kTmcMode && lastPage != nullptr && !isForced) {
        ShowWindow(GetHwnd(), SW_HIDE);
        SendMessageW(lastPage, WM_ACTIVATE, 0, 0);
    } else {
        PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
    }
}

void StatusTmcInfo::JumpToLetter(char16_t letter) {
    if (!m_listBox)
        return;
    const int count = m_listBox->GetCount();
    const int current = GetCurSel();
    auto beginsWith = [this, letter](int index) {
        const std::u16string text = m_listBox->GetText(index);
        return !text.empty() && text[0] == letter;
    };
    int start = 0;
    if (current >= 0 && current + 1 < count && beginsWith(current) && beginsWith(current + 1))
        start = current + 1;
    for (int index = start; index < count; ++index) {
        if (beginsWith(index)) {
            SetCurSel(index);
            return;
        }
    }
}

void StatusTmcInfo::MoveSelection(int step) {
    if (!m_listBox || m_listBox->GetCount() == 0)
        return;
    const int last = m_listBox->GetCount() - 1;
    SetCurSel(std::clamp(GetCurSel() + step, 0, last));
}

int StatusTmcInfo::GetCurSel() const {
    if (!m_listBox)
        return -1;
    return static_cast<int>(SendMessageW(m_listBox->GetWindow(), LB_GETCURSEL, 0, 0));
}

void StatusTmcInfo::SetCurSel(int index) {
    if (m_listBox)
        SendMessageW(m_listBox->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
