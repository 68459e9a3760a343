#include "app/settings/settingspage.h"

#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/tmcmonitor.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

namespace {

int g_pageIndex = 0;

// Entries are read into 63 characters: a blank and at most 62 of the string.
constexpr int kEntryLength = 62;

} // namespace

int GetPresettingsPageIndex() {
    return g_pageIndex;
}

void SetPresettingsPageIndex(int index) {
    g_pageIndex = index;
}

SettingsPage::SettingsPage(SettingsSheet* sheet, const std::u16string& section)
    : PageBase(section)
    , m_sheet(sheet) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &SettingsPage::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &SettingsPage::OnSize);
    ConnectMessageHandler(map, WM_SHOWWINDOW, this, &SettingsPage::OnShowWindow);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &SettingsPage::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &SettingsPage::OnActivate);
    SetFocusId(kComboId);
}

SettingsPage::~SettingsPage() {
    DestroyPageWindow();
}

void SettingsPage::DestroyPageWindow() {
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
}

void SettingsPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_combo = CreateControl(u"Combo", kComboId, true, false, 0, 0);
    if (m_combo != nullptr) {
        SendMessageW(m_combo, kSetDroppedSize, kComboDropSize, 0);
        for (const UINT id : kEntryIds) {
            const std::u16string entry = u" " + LoadDialogString(id, kEntryLength);
            SendMessageW(m_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
        SelectPageIndex();
    }
    m_tmcIndicator = CreateTmcIndicator();
    m_gpsIndicator = CreateGpsIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    CreateLogoBox();
    CreateControl(u"Ok", kOkId, true, false, 0, 0);
    CreateControl(u"Cancel", kCancelId, true, false, 0, 0);
}

void SettingsPage::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    // The layout itself rescales through the window base; the combo takes the page font.
    if (lParam != 0 && m_combo != nullptr) {
        SendMessageW(m_combo, WM_SETFONT, reinterpret_cast<WPARAM>(GetControlFont()), FALSE);
    }
}

void SettingsPage::SelectPageIndex() {
    if (m_combo != nullptr) {
        SendMessageW(m_combo, CB_SETCURSEL, static_cast<WPARAM>(GetPresettingsPageIndex()), 0);
    }
}

void SettingsPage::RestoreFocus(bool includeButtons) {
    const UINT focused = GetFocusId();
    if (focused == kComboId || (includeButtons && (focused == kCancelId || focused == kOkId))) {
        if (HWND control = GetDlgItem(GetHwnd(), static_cast<int>(focused))) {
            SetFocus(control);
        }
        return;
    }
    SetInitialFocus();
}

void SettingsPage::OnShowWindow(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    SelectPageIndex();
    if (wParam != 0) {
        RestoreFocus(false);
    }
}

void SettingsPage::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    SelectPageIndex();
    RestoreFocus(true);
}

void SettingsPage::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
    } else if (state == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        *handled = monitor.BringVisibleDialogToFront();
    }
}

void SettingsPage::FocusControl(UINT id) {
    InvalidateControl(GetHwnd(), id);
    if (HWND control = GetDlgItem(GetHwnd(), static_cast<int>(id))) {
        SetFocus(control);
    }
    SetFocusId(id);
}

void SettingsPage::SendClick(UINT id) {
    HWND control = GetDlgItem(GetHwnd(), static_cast<int>(id));
    SendMessageW(GetHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(control));
}

bool SettingsPage::HandleCommonCommand(UINT id, UINT code) {
    if (id == kComboId) {
        if (code == CBN_SELCHANGE || code == CBN_SELENDOK) {
            const auto selected = static_cast<int>(SendMessageW(m_combo, CB_GETCURSEL, 0, 0));
            SetPresettingsPageIndex(selected);
            if (m_sheet != nullptr) {
                m_sheet->ShowPage(selected);
            }
        } else if (code == 6) {
            SelectPageIndex();
        } else if (code == kFocusMoveNotification) {
            SetInitialFocus();
        }
        return true;
    }
    if (id == kCancelId || id == kOkId) {
        if (code == kFocusMoveNotification) {
            FocusControl(id == kCancelId ? kComboId : kCancelId);
            return true;
        }
        if (m_sheet != nullptr) {
            m_sheet->Close(id == kOkId);
        }
        SetPresettingsPageIndex(0);
        return true;
    }
    return false;
}
