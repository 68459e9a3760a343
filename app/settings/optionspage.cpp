#include "app/settings/optionspage.h"

#include "app/modeinterface/modecontroller.h"
#include "app/settings/gpssimulationfloatdlg.h"
#include "ui/gpsstatemonitor.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr COLORREF kOptionsLabelColour = 0xFFFFFF;
constexpr WORD kClickNotification = 1;
constexpr int kPageCommandStart = 4;
constexpr int kPageCommandShowTour = 3;
constexpr int kPageCommandBackToStart = 0;
constexpr int kPageCommandBack = 1;
constexpr int kCloseModeApplyPreferences = 1;

constexpr std::array<UINT, 16> kEnabledTogether = {
    OptionsPage::kQuickestStateId, OptionsPage::kQuickestId,     OptionsPage::kShortestStateId,
    OptionsPage::kShortestId,      OptionsPage::kHighwaysId,     OptionsPage::kHighwaysStateId,
    OptionsPage::kFerriesStateId,  OptionsPage::kFerriesId,      OptionsPage::kTollStateId,
    OptionsPage::kTollId,          OptionsPage::kDynamicStateId, OptionsPage::kDynamicId,
    OptionsPage::kNavStartId,      OptionsPage::kShowInMapId,    OptionsPage::kCancelId,
    OptionsPage::kMainMenuId};

// The controls the page gives the focus back to on WM_SETFOCUS.
constexpr std::array<UINT, 10> kRefocusable = {OptionsPage::kCancelId,   OptionsPage::kNavStartId,
                                               OptionsPage::kMainMenuId, OptionsPage::kShowInMapId,
                                               OptionsPage::kHighwaysId, OptionsPage::kFerriesId,
                                               OptionsPage::kTollId,     OptionsPage::kQuickestId,
                                               OptionsPage::kShortestId, OptionsPage::kDynamicId};

// The value dialog run modally over the page: 1 (OK) takes its value.
bool RunValueDialog(HWND page, float& value) {
    GpsSimulationFloatDlg dialog(value);
    if (dialog.DoModal(page) != 1) {
        return false;
    }
    value = dialog.GetValue();
    return true;
}

OptionsPage::ValueDialog& ValueDialogHook() {
    static OptionsPage::ValueDialog dialog = &RunValueDialog;
    return dialog;
}

bool IsHeld(int key) {
    return GetAsyncKeyState(key) < 0;
}

} // namespace

void OptionsPage::SetValueDialog(ValueDialog dialog) {
    ValueDialogHook() = dialog ? std::move(dialog) : ValueDialog(&RunValueDialog);
}

OptionsPage::OptionsPage(const std::u16string& section, bool quickest, bool highways, bool ferries,
                         bool tolls, bool dynamic)
    : PageBase(section)
    , m_quickest(quickest ? 1 : 0)
    , m_highways(highways ? 1 : 0)
    , m_ferries(ferries ? 1 : 0)
    , m_tolls(tolls ? 1 : 0)
    , m_dynamic(dynamic ? 1 : 0) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &OptionsPage::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &OptionsPage::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &OptionsPage::OnKeyDown);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &OptionsPage::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &OptionsPage::OnActivate);
}

OptionsPage::~OptionsPage() {
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
}

void OptionsPage::AddStateButton(LPCWSTR entry, UINT id) {
    // A state button shows its picture only.
    if (HWND button = CreateControl(entry, id, true, false, 0, 0)) {
        SetWindowTextW(button, u"");
    }
}

void OptionsPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    (void)CreateLabel(u"RoutingOptions", kHeadingId, kOptionsLabelColour, kTransparentBackground);
    AddStateButton(u"Quickest", kQuickestStateId);
    CreateControl(u"statTextQuickest", kQuickestId, true, false, 0, 0);
    AddStateButton(u"Shortest", kShortestStateId);
    CreateControl(u"statTextShortest", kShortestId, true, false, 0, 0);
    AddStateButton(u"HighWays", kHighwaysStateId);
    CreateControl(u"UseHighWays", kHighwaysId, true, false, 0, 0);
    AddStateButton(u"Ferries", kFerriesStateId);
    CreateControl(u"UseFerries", kFerriesId, true, false, 0, 0);
    AddStateButton(u"MaudStreets", kTollStateId);
    CreateControl(u"UseMaudStreets", kTollId, true, false, 0, 0);
    AddStateButton(u"DynamicRoute", kDynamicStateId);
    CreateControl(u"statTextDynamicRoute", kDynamicId, true, false, 0, 0);
    (void)CreateLabel(u"OptPossible", kCaptionId, kOptionsLabelColour, kTransparentBackground);
    CreateControl(u"Cancel", kCancelId, true, false, 0, 0);
    CreateControl(u"MainMenu", kMainMenuId, true, false, 0, 0);
    m_tmcIndicator = CreateTmcIndicator();
    m_gpsIndicator = CreateGpsIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    CreateLogoBox();
    CreateProceedButton();
    FillFocusList();
    UpdateButtonStates();
}

void OptionsPage::UpdateButtonStates() {
    const bool isDynamic = m_dynamic != 0;
    SetButtonState(kQuickestStateId, m_quickest != 0 && !isDynamic ? 1 : 0);
    SetButtonState(kShortestStateId, m_quickest == 0 && !isDynamic ? 1 : 0);
    SetButtonState(kDynamicStateId, isDynamic ? 1 : 0);
    SetButtonState(kHighwaysStateId, m_highways);
    SetButtonState(kFerriesStateId, m_ferries);
    SetButtonState(kTollStateId, m_tolls);
}

void OptionsPage::EnableAll(bool enable) {
    for (const UINT id : kEnabledTogether) {
        EnableControl(id, enable);
    }
}

void OptionsPage::FocusControl(UINT id) {
    HWND page = GetHwnd();
    InvalidateControl(page, id);
    if (HWND control = GetDlgItem(page, static_cast<int>(id))) {
        SetFocus(control);
    }
    SetFocusId(id);
}

void OptionsPage::FocusChosenRouteKind() {
    FocusControl(m_dynamic != 0 ? kDynamicId : (m_quickest != 0 ? kQuickestId : kShortestId));
}

UINT OptionsPage::FocusedControlId() const {
    HWND focus = GetFocus();
    return focus != nullptr && GetParent(focus) == GetHwnd()
               ? static_cast<UINT>(GetDlgCtrlID(focus))
               : 0;
}

void OptionsPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const bool isFocusMove = HIWORD(static_cast<DWORD>(wParam)) == kFocusMoveNotification;
    switch (id) {
    case kQuickestId:
    case kQuickestStateId:
    case kShortestId:
    case kShortestStateId:
        if (isFocusMove) {
            FocusAfterRouteKinds();
            return;
        }
        {
            const bool quickest = id == kQuickestId || id == kQuickestStateId;
            FocusControl(quickest ? kQuickestId : kShortestId);
            m_quickest = quickest ? 1 : 0;
            m_dynamic = 0;
        }
        UpdateButtonStates();
        return;
    case kDynamicId:
    case kDynamicStateId:
    case kHighwaysId:
    case kHighwaysStateId:
    case kFerriesId:
    case kFerriesStateId:
    case kTollId:
    case kTollStateId:
        if (isFocusMove) {
            MoveFocusNext(id);
            return;
        }
        if (id == kDynamicId || id == kDynamicStateId) {
            FocusControl(kDynamicId);
            m_dynamic = 1;
        } else if (id == kHighwaysId || id == kHighwaysStateId) {
            FocusControl(kHighwaysId);
            m_highways = m_highways != 0 ? 0 : 1;
        } else if (id == kFerriesId || id == kFerriesStateId) {
            FocusControl(kFerriesId);
            m_ferries = m_ferries != 0 ? 0 : 1;
        } else {
            FocusControl(kTollId);
            m_tolls = m_tolls != 0 ? 0 : 1;
        }
        UpdateButtonStates();
        return;
    case kCancelId:
        if (isFocusMove) {
            FocusChosenRouteKind();
        } else {
            Close(false);
        }
        return;
    case kNavStartId:
    case kShowInMapId:
        if (isFocusMove) {
            MoveFocusNext(id);
        } else {
            Close(true);
        }
        return;
    case kMainMenuId:
        if (isFocusMove) {
            MoveFocusNext(id);
        } else {
            CloseMode();
        }
        return;
    default:
        return;
    }
}

void OptionsPage::OnKeyDown(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    HWND page = GetHwnd();
    const UINT focused = FocusedControlId();
    const auto choose = [&](UINT id) {
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, kClickNotification), 0);
        FocusControl(id);
    };
    if (wParam == VK_UP) {
        if (focused == kShortestId) {
            choose(kQuickestId);
        } else if (focused == kQuickestId) {
            choose(kDynamicId);
        }
    } else if (wParam == VK_DOWN) {
        if (focused == kQuickestId) {
            choose(kShortestId);
        } else if (focused == kDynamicId) {
            choose(kQuickestId);
        }
    }
    // A key-down message gives the letter's upper-case code only (0x72 is F3).
    if (IsHeld(VK_CONTROL) && IsHeld(VK_SHIFT) && wParam == 'R') {
        if (const ValueDialog& dialog = ValueDialogHook()) {
            float value = m_simulationValue;
            if (dialog(page, value)) {
                m_simulationValue = value;
            }
        }
    }
}

void OptionsPage::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    EnableAll(true);
    const UINT recorded = GetFocusId();
    if (std::find(kRefocusable.begin(), kRefocusable.end(), recorded) != kRefocusable.end()) {
        FocusControl(recorded);
    } else {
        FocusChosenRouteKind();
    }
}

void OptionsPage::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
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

NavOptPage::NavOptPage(bool quickest, bool highways, bool ferries, bool tolls, bool dynamic)
    : OptionsPage(u"NavOptPage", quickest, highways, ferries, tolls, dynamic) {}

void NavOptPage::CreateProceedButton() {
    CreateControl(u"NavStart", kNavStartId, true, false, 0, 0);
}

void NavOptPage::FillFocusList() {
    m_focusList = {kNavStartId, kMainMenuId, kCancelId,  kQuickestId,
                   kDynamicId,  kHighwaysId, kFerriesId, kTollId};
    FocusControl(kNavStartId);
}

void NavOptPage::FocusAfterRouteKinds() {
    FocusControl(kHighwaysId);
}

void NavOptPage::Close(bool proceed) {
    ModeController* mode = GetMode();
    HWND page = GetHwnd();
    if (!proceed) {
        if (mode != nullptr) {
            mode->Activate();
        }
        ShowWindow(page, SW_HIDE);
        return;
    }
    EnableAll(false);
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    m_logThisTrip = IniProfile::GetInt(u"Preferences", u"Nav", settings.c_str(), 0) != 0 ? 1 : 0;
    if (mode == nullptr) {
        return;
    }
    if (m_logThisTrip != 0) {
        (void)mode->ControlLogbook(page, 0, 1);
    }
    mode->OnPageCommand(kPageCommandStart, page);
}

void NavOptPage::CloseMode() {
    if (ModeController* mode = GetMode()) {
        mode->Deactivate(kCloseModeApplyPreferences);
    }
}

RouteOptPage::RouteOptPage(bool quickest, bool highways, bool ferries, bool tolls, bool dynamic)
    : OptionsPage(u"RouteOptPage", quickest, highways, ferries, tolls, dynamic) {}

void RouteOptPage::CreateProceedButton() {
    CreateControl(u"ShowInMap", kShowInMapId, true, false, 0, 0);
}

void RouteOptPage::FillFocusList() {
    m_focusList = {kShowInMapId, kMainMenuId, kCancelId,  kQuickestId,
                   kDynamicId,   kHighwaysId, kFerriesId, kTollId};
    FocusControl(kShowInMapId);
}

void RouteOptPage::FocusAfterRouteKinds() {
    FocusControl(kHighwaysId);
}

void RouteOptPage::Close(bool proceed) {
    ModeController* mode = GetMode();
    HWND page = GetHwnd();
    if (proceed) {
        EnableAll(false);
        if (mode != nullptr) {
            mode->OnPageCommand(kPageCommandShowTour, page);
        }
    } else if (mode != nullptr) {
        mode->OnPageCommand(mode->IsStartSideFailure() ? kPageCommandBackToStart : kPageCommandBack,
                            page);
    }
    ShowWindow(page, SW_HIDE);
}

void RouteOptPage::CloseMode() {
    if (ModeController* mode = GetMode()) {
        mode->Deactivate(kCloseModeApplyPreferences);
    }
}
