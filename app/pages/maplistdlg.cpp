#include "app/pages/maplistdlg.h"

#include "ui/customlistbox.h"
#include "ui/gpsstatemonitor.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <utility>

MapListDlg::MapListDlg(Onboard::OnboardServerPtr server)
    : PageBase(u"MapListDlg")
    , m_server(std::move(server)) {
    if (m_server)
        m_server->GetDatabases(m_databases);
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &MapListDlg::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &MapListDlg::OnSize);
    ConnectMessageHandler(map, WM_COMMAND, this, &MapListDlg::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &MapListDlg::OnKeyDown);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &MapListDlg::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &MapListDlg::OnActivate);
}

MapListDlg::~MapListDlg() {
    if (HWND window = GetHwnd()) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        DestroyWindow(window);
    }
    m_listBox.reset();
    if (m_listFont != nullptr)
        DeleteObject(m_listFont);
    m_databases.Release();
    m_server.Release();
}

std::u16string MapListDlg::ItemText(const std::u16string& path) {
    std::u16string text = path;
    const std::size_t split = text.find_last_of(u"\\/");
    if (split != std::u16string::npos)
        text[split] = u'\n';
    return text;
}

void MapListDlg::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    CreateLabel(u"Title", kTitleId, 0xFFFFFF, kTransparentBackground);
    m_listBox = std::make_unique<CustomListBox>(GetHwnd(), kListId, kListColour, 0);
    AddChild(u"Items", m_listBox->GetWindow());
    CreateControl(u"Cancel", kCancelId, true, false, 0, 0);
    CreateControl(u"OK", kOkId, true, false, 0, 0);
    m_tmcIndicator = CreateTmcIndicator();
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    m_gpsIndicator = CreateGpsIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    CreateLogoBox();
    m_focusList = {kListId, kOkId, kCancelId};
    SetFocusId(kListId);
}

void MapListDlg::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0 || !m_listBox)
        return;
    if (HWND title = GetDlgItem(GetHwnd(), static_cast<int>(kTitleId)))
        SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(GetTitleFont()), TRUE);
    (void)ReplaceListFont(m_listBox->GetWindow(), -12, m_listFont);
    m_listBox->FitItemHeightToLines();
}

void MapListDlg::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
    } else if (id == kOkId || id == kOtherOkId) {
        Choose();
    } else if (id == kCancelId) {
        Close();
    }
}

void MapListDlg::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam))
        return;
    switch (wParam) {
    case VK_ESCAPE:
        Close();
        break;
    case VK_RETURN:
        // Enter closes without a change while OK is enabled.
        if (IsControlEnabled(kOkId))
            Close();
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

void MapListDlg::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    SetFocus(GetHwnd());
}

void MapListDlg::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    if (state != WA_ACTIVE)
        return;
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor& monitor = TmcMonitor::Instance();
    monitor.SetOwnerWindow(m_tmcIndicator);
    *handled = monitor.BringVisibleDialogToFront();
    FillList();
}

void MapListDlg::FillList() {
    if (!m_listBox)
        return;
    HWND list = m_listBox->GetWindow();
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    int active = -1;
    if (m_databases) {
        for (std::size_t index = 0; index < m_databases->size(); ++index) {
            const DatabaseEntryPtr& entry = (*m_databases)[index];
            const std::u16string text = entry ? ItemText(entry->GetPath()) : std::u16string();
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            if (entry && entry->IsSelected())
                active = static_cast<int>(index);
        }
    }
    // Rows as high as the lines of the item with the most lines.
    m_listBox->FitItemHeightToLines();
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(active), 0);
}

void MapListDlg::Choose() {
    const int selected = GetCurSel();
    const int count = m_databases ? static_cast<int>(m_databases->size()) : 0;
    if (selected < 0 || selected >= count) {
        Close();
        return;
    }
    {
        const ScopedWaitCursor wait;
        if (const DatabaseEntryPtr& entry = (*m_databases)[static_cast<std::size_t>(selected)])
            (void)entry->Select();
        Close();
    }
    ShowPageWindow(GetPageHandle(), false);
}

void MapListDlg::Close() {
    PostMessageW(GetHwnd(), WM_CLOSE, 0, 0);
}

void MapListDlg::MoveSelection(int step) {
    if (!m_listBox || m_listBox->GetCount() == 0)
        return;
    const int last = m_listBox->GetCount() - 1;
    SendMessageW(m_listBox->GetWindow(), LB_SETCURSEL,
                 static_cast<WPARAM>(std::clamp(GetCurSel() + step, 0, last)), 0);
}

int MapListDlg::GetCurSel() const {
    if (!m_listBox)
        return -1;
    return static_cast<int>(SendMessageW(m_listBox->GetWindow(), LB_GETCURSEL, 0, 0));
}

void InstallMapListDlg() {
    GetShellFactories().mapList = [](Onboard::OnboardServerPtr server) {
        return std::unique_ptr<ModalPage>(new (std::nothrow) MapListDlg(std::move(server)));
    };
}
