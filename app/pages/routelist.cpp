#include "app/pages/routelist.h"

#include "positioning/gpsreceiver.h"
#include "positioning/nmeademowriter.h"
#include "ui/customlistbox.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/distancetext.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr int kRouteLabelMax = 60;
constexpr float kHoursPerSecond = 0.00027777778f;

std::u16string LoadRouteText(UINT id) {
    return LoadDialogString(id, static_cast<int>(kRouteLabelMax));
}

void ShowRouteMessage(HWND owner, UINT textId) {
    MsgBox message(textId);
    (void)message.DoModal(owner);
}

} // namespace

bool& DemonstrationDriveFlag() {
    static bool flag = false;
    return flag;
}

RouteList::RouteList(Onboard::OnboardServerPtr server, ModeController* mode, UINT titleId)
    : PageBase(u"RouteList")
    , m_server(std::move(server))
    , m_mode(mode)
    , m_titleId(titleId) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &RouteList::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &RouteList::OnSize);
    ConnectMessageHandler(map, WM_COMMAND, this, &RouteList::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &RouteList::OnKeyDown);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &RouteList::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &RouteList::OnActivate);
    ConnectMessageHandler(map, WM_SHOWWINDOW, this, &RouteList::OnShowWindow);
    ConnectMessageHandler(map, WM_TIMER, this, &RouteList::OnTimer);
    ConnectMessageHandler(map, WM_DESTROY, this, &RouteList::OnDestroy);
}

RouteList::~RouteList() {
    if (HWND window = GetHwnd())
        DestroyWindow(window);
    if (m_listFont != nullptr)
        DeleteObject(m_listFont);
    m_listBox.reset();
    m_server.Release();
}

std::u16string RouteList::FormatDuration(std::int32_t seconds) {
    const float hours = static_cast<float>(seconds) * kHoursPerSecond;
    const int whole = static_cast<int>(hours);
    const int minutes = static_cast<int>((hours - static_cast<float>(whole)) * 60.0f);
    char text[32];
    (void)std::snprintf(text, sizeof(text), "%d:%02d", whole, minutes);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

void RouteList::SetLegs(const std::vector<TourEntry>& legs, std::int32_t& totalLength,
                        std::int32_t& totalTime) {
    m_isImperial = IniProfile::GetInt(u"Preferences", u"DistanceUnitKilometres",
                                      AppPaths::GetSettingsFilePath().c_str(), 1) == 0;
    m_legs.clear();
    m_totalLength = 0;
    m_totalTime = 0;
    for (const TourEntry& leg : legs) {
        m_totalLength += leg.result.length;
        m_totalTime += leg.result.travelTime;
        m_legs.push_back(leg);
    }
    m_isStale = true;
    totalLength = m_totalLength;
    totalTime = m_totalTime;
}

void RouteList::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    CreateLabel(u"Title", kTitleLabelId, 0xFFFFFF, kTransparentBackground);
    m_listBox = std::make_unique<CustomListBox>(GetHwnd(), kListId, kListColour, 0);
    AddChild(u"Items", m_listBox->GetWindow());
    const struct {
        const char16_t* name;
        UINT id;
    } buttons[] = {{u"MainMenu", kMainMenuId},
                   {u"Cancel", kCancelId},
                   {u"ShowMap", kShowMapId},
                   {u"StartNavigation", kStartNavigationId},
                   {u"StartSimulation", kStartSimulationId}};
    for (const auto& button : buttons)
        CreateControl(button.name, button.id, true, false, 0, 0);
    m_tmcIndicator = CreateTmcIndicator();
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    m_gpsIndicator = CreateGpsIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    CreateLogoBox();
    m_focusList = {kListId,     kShowMapId,         kCancelId,
                   kMainMenuId, kStartSimulationId, kStartNavigationId};
    SetFocusId(kListId);
}

void RouteList::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0 || !m_listBox)
        return;
    if (HWND title = GetDlgItem(GetHwnd(), static_cast<int>(kTitleLabelId)))
        SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(GetTitleFont()), TRUE);
    (void)ReplaceListFont(m_listBox->GetWindow(), -11, m_listFont);
    m_listBox->FitItemHeightToLines();
}

void RouteList::FillList() {
    if (!m_listBox)
        return;
    HWND list = m_listBox->GetWindow();
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const std::u16string lengthLabel = LoadRouteText(kLengthLabelId);
    const std::u16string timeLabel = LoadRouteText(kTimeLabelId);
    for (const TourEntry& leg : m_legs) {
        const std::u16string text = lengthLabel +
                                    FormatDistanceText(leg.result.length, m_isImperial) + u"\n" +
                                    timeLabel + FormatDuration(leg.result.travelTime) + u"\n" +
                                    leg.startText + u"\n" + leg.destinationText;
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    const std::u16string totals =
        LoadRouteText(kTotalLengthLabelId) + FormatDistanceText(m_totalLength, m_isImperial) +
        u"\n" + LoadRouteText(kTotalTimeLabelId) + FormatDuration(m_totalTime) + u"\n";
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(totals.c_str()));
    // Rows as high as the lines of the item with the most lines.
    m_listBox->FitItemHeightToLines();
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    m_isStale = false;
}

int RouteList::GetCurSel() const {
    return m_listBox ? static_cast<int>(SendMessageW(m_listBox->GetWindow(), LB_GETCURSEL, 0, 0))
                     : -1;
}

int RouteList::SelectedLeg() const {
    const int selected = GetCurSel();
    return selected >= 0 && selected < static_cast<int>(m_legs.size()) ? selected + 1 : -1;
}

void RouteList::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
        return;
    }
    switch (id) {
    case kStartSimulationId:
        StartDemonstration();
        break;
    case kShowMapId:
    case kOtherShowMapId:
        ShowMap();
        break;
    case kMainMenuId:
        if (m_mode != nullptr)
            m_mode->Deactivate(1);
        break;
    case kCancelId:
        if (m_mode != nullptr)
            m_mode->OnPageCommand(2, GetHwnd());
        break;
    case kStartNavigationId:
        StartNavigation();
        break;
    default:
        break;
    }
}

void RouteList::ShowMap() {
    const int selected = GetCurSel();
    if (m_mode != nullptr)
        m_mode->OnPageCommand(10, GetHwnd());
    if (selected != -1 && m_showLeg)
        m_showLeg(selected);
}

void RouteList::StartNavigation() {
    const int leg = SelectedLeg();
    if (leg == -1 || m_mode == nullptr)
        return;
    m_guidanceStarted = 1;
    m_mode->SetStopIndex(leg);
    m_legs.clear();
    m_mode->OnPageCommand(4, GetHwnd());
}

void RouteList::StartDemonstration() {
    const ScopedWaitCursor wait;
    const int leg = SelectedLeg();
    if (leg == -1)
        return;
    const TourEntry& entry = m_legs[static_cast<std::size_t>(leg - 1)];
    if (entry.result.status != routestatus::kFound || entry.result.length > kMaxSimulatedLength) {
        ShowRouteMessage(GetHwnd(), kCannotSimulateId);
        return;
    }
    GpsReceiverPtr device;
    if (m_server)
        (void)m_server->OpenAlternativeGps(device);
    if (!device) {
        ShowRouteMessage(GetHwnd(), kNoReplayId);
        return;
    }
    // A replay still running holds the demo file open for reading only: stop it so the file can
    // be written anew.
    device->UseReceiverLibrary();
    NmeaDemoWriter writer(kDemoFileName, entry.result);
    if (writer.Write() != 0) {
        ShowRouteMessage(GetHwnd(), kNoReplayId);
        return;
    }
    m_legs.clear();
    if (m_mode != nullptr)
        m_mode->StartReceiverReconnect(true);
    const std::u16string file(kDemoFileName, kDemoFileName + sizeof(kDemoFileName) - 1);
    device->OpenReplayFile(file);
    const int speed =
        IniProfile::GetInt(u"Zudav", u"DemonstrationSpeed", AppPaths::GetSettingsFilePath().c_str(),
                           kDefaultDemonstrationSpeed);
    device->SetSentenceRate(static_cast<float>(speed));
    m_demonstrationLeg = leg;
    m_isWaiting = SetTimer(GetHwnd(), kReplayTimer, kReplayTimerMs, nullptr) != 0;
}

void RouteList::StopReplayWait() {
    if (!m_isWaiting)
        return;
    m_isWaiting = false;
    if (HWND window = GetHwnd())
        KillTimer(window, kReplayTimer);
}

void RouteList::OnTimer(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam != kReplayTimer || !m_isWaiting)
        return;
    if (GpsStateMonitor::Instance().GetFixClass() != 2)
        return;
    StopReplayWait();
    if (IniProfile::GetInt(u"Zudav", u"Simulation", AppPaths::GetSettingsFilePath().c_str(), 0) ==
        0)
        DemonstrationDriveFlag() = true;
    m_guidanceStarted = 1;
    if (m_mode != nullptr) {
        m_mode->SetStopIndex(m_demonstrationLeg);
        m_mode->OnPageCommand(4, GetHwnd());
    }
}

void RouteList::OnShowWindow(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    // Leaving the page ends the wait for the replay.
    if (wParam == 0)
        StopReplayWait();
}

void RouteList::OnDestroy(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    StopReplayWait();
}

void RouteList::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam))
        return;
    const int count = m_listBox ? m_listBox->GetCount() : 0;
    switch (wParam) {
    case VK_ESCAPE:
        ShowMap();
        break;
    case VK_RETURN:
        if (IsControlEnabled(kShowMapId))
            ShowMap();
        break;
    case VK_TAB:
        MoveFocusNext(GetFocusId());
        break;
    case VK_UP:
    case VK_DOWN:
        if (count > 0) {
            const int next = std::clamp(GetCurSel() + (wParam == VK_UP ? -1 : 1), 0, count - 1);
            SendMessageW(m_listBox->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(next), 0);
        }
        break;
    default:
        break;
    }
}

void RouteList::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (HWND control = GetDlgItem(GetHwnd(), static_cast<int>(GetFocusId())))
        SetFocus(control);
}

void RouteList::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    if (m_isStale)
        FillList();
    SetFocusId(kListId);
    if (state != WA_ACTIVE)
        return;
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor& monitor = TmcMonitor::Instance();
    monitor.SetOwnerWindow(m_tmcIndicator);
    *handled = monitor.BringVisibleDialogToFront();
}
