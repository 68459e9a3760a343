#include "app/settings/presettingspages.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr COLORREF kLabelColour = 0xFFFFFF;
constexpr WPARAM kPortsDropSize = 5;
// "COM %d" is kept to this many characters.
constexpr std::size_t kPortEntryLength = 10;
constexpr WORD kComboReselect = 6;

bool IsUpOrDown(WPARAM key) {
    return key == VK_UP || key == VK_DOWN;
}

struct CommandParts {
    UINT id;
    UINT code;
};

CommandParts SplitCommand(WPARAM wParam) {
    const auto value = static_cast<DWORD>(wParam);
    return CommandParts{LOWORD(value), HIWORD(value)};
}

} // namespace

// ---- ChoiceGroupsPage ----

ChoiceGroupsPage::ChoiceGroupsPage(SettingsSheet* sheet, const std::u16string& section,
                                   std::vector<SettingsChoice> groups, std::vector<Label> labels,
                                   std::vector<bool> values)
    : SettingsPage(sheet, section)
    , m_groups(std::move(groups))
    , m_labels(std::move(labels))
    , m_values(std::move(values)) {
    m_values.resize(m_groups.size(), false);
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &ChoiceGroupsPage::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &ChoiceGroupsPage::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &ChoiceGroupsPage::OnKeyDown);
}

ChoiceGroupsPage::~ChoiceGroupsPage() {
    DestroyPageWindow();
}

void ChoiceGroupsPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    for (const SettingsChoice& group : m_groups) {
        CreateControl(group.stateOnName, group.stateOn, true, true, 0, 0);
        CreateControl(group.stateOffName, group.stateOff, true, true, 0, 0);
        CreateControl(group.textOnName, group.textOn, true, false, 0, 0);
        CreateControl(group.textOffName, group.textOff, true, false, 0, 0);
    }
    for (const Label& label : m_labels) {
        CreateLabel(label.name, label.id, kLabelColour, kTransparentBackground);
    }
    SetButtonStates();
}

void ChoiceGroupsPage::SetButtonStates() {
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        SetButtonState(m_groups[i].stateOn, m_values[i] ? 1 : 0);
        SetButtonState(m_groups[i].stateOff, m_values[i] ? 0 : 1);
    }
}

int ChoiceGroupsPage::GroupOf(UINT id) const {
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        const SettingsChoice& g = m_groups[i];
        if (id == g.stateOn || id == g.stateOff || id == g.textOn || id == g.textOff) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

UINT ChoiceGroupsPage::ChosenText(std::size_t group) const {
    return m_values[group] ? m_groups[group].textOn : m_groups[group].textOff;
}

void ChoiceGroupsPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const CommandParts command = SplitCommand(wParam);
    if (HandleCommonCommand(command.id, command.code)) {
        return;
    }
    const int group = GroupOf(command.id);
    if (group < 0) {
        return;
    }
    const auto index = static_cast<std::size_t>(group);
    if (command.code == kFocusMoveNotification) {
        if (index + 1 < m_groups.size()) {
            FocusControl(ChosenText(index + 1));
        } else {
            FocusOk();
        }
        return;
    }
    const SettingsChoice& g = m_groups[index];
    m_values[index] = command.id == g.stateOn || command.id == g.textOn;
    FocusControl(ChosenText(index));
    SetButtonStates();
}

void ChoiceGroupsPage::SetInitialFocus() {
    const UINT focused = GetFocusId();
    int group = focused == kComboId ? m_comboGroup : -1;
    for (std::size_t i = 0; group < 0 && i < m_groups.size(); ++i) {
        if (focused == m_groups[i].textOn || focused == m_groups[i].textOff) {
            group = static_cast<int>(i);
        }
    }
    if (group >= 0) {
        FocusControl(ChosenText(static_cast<std::size_t>(group)));
    }
}

void ChoiceGroupsPage::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam) || !IsUpOrDown(wParam)) {
        return;
    }
    const UINT focused = GetFocusId();
    for (const SettingsChoice& g : m_groups) {
        if (focused == g.textOn || focused == g.textOff) {
            const UINT partner = focused == g.textOn ? g.textOff : g.textOn;
            SetFocusId(partner);
            SendClick(partner);
            return;
        }
    }
}

NavigPage::NavigPage(SettingsSheet* sheet, bool arrow, bool north, bool poi, bool streets)
    : ChoiceGroupsPage(
          sheet, u"NavigPage",
          {{1053, 1055, 547, 548, u"YesArrow", u"NoArrow", u"StaticYesArrow", u"StaticNoArrow"},
           {1045, 1047, 549, 550, u"YesNorth", u"NoNorth", u"StaticYesNorth", u"StaticNoNorth"},
           {1049, 1051, 545, 546, u"YesPoi", u"NoPoi", u"StaticYesPoi", u"StaticNoPoi"},
           {1106, 1108, 1103, 1104, u"YesStreetInMap", u"NoStreetInMap", u"StaticYesStreetInMap",
            u"StaticNoStreetInMap"}},
          {{u"ShowStreetNames", 1105}, {u"ShowMap", 1026}, {u"ShowNorth", 1025}, {u"Points", 590}},
          {arrow, north, poi, streets}) {}

FormatPage::FormatPage(SettingsSheet* sheet, bool kilometres, bool twelveHours)
    : ChoiceGroupsPage(
          sheet, u"FormatPage",
          {{1222, 1224, 1215, 1216, u"Kilometres", u"Miles", u"StaticKilometres", u"StaticMiles"},
           {1226, 1228, 1217, 1218, u"12h", u"24h", u"Static12h", u"Static24h"}},
          {{u"StaticUnitLength", 1220}, {u"StaticTimeFormat", 1221}}, {kilometres, twelveHours}) {}

// ---- MapPage ----

namespace {
constexpr UINT kMapPoiOn = 1058;
constexpr UINT kMapPoiOff = 1061;
constexpr UINT kMapTextOn = 545;
constexpr UINT kMapTextOff = 546;
} // namespace

MapPage::MapPage(SettingsSheet* sheet, std::uint8_t showLastMap, bool poi)
    : SettingsPage(sheet, u"MapPage")
    , m_showLastMap(showLastMap)
    , m_poi(poi) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &MapPage::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &MapPage::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &MapPage::OnKeyDown);
}

MapPage::~MapPage() {
    DestroyPageWindow();
}

void MapPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    CreateControl(u"YesPoi", kMapPoiOn, true, true, 0, 0);
    CreateControl(u"NoPoi", kMapPoiOff, true, true, 0, 0);
    CreateControl(u"statTextYesPoi", kMapTextOn, true, false, 0, 0);
    CreateControl(u"statTextNoPoi", kMapTextOff, true, false, 0, 0);
    CreateLabel(u"Points", 590, kLabelColour, kTransparentBackground);
    SetButtonStates();
}

void MapPage::SetButtonStates() {
    SetButtonState(kMapPoiOn, m_poi ? 1 : 0);
    SetButtonState(kMapPoiOff, m_poi ? 0 : 1);
}

void MapPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const CommandParts command = SplitCommand(wParam);
    if (HandleCommonCommand(command.id, command.code)) {
        return;
    }
    if (command.code == kFocusMoveNotification) {
        FocusOk();
        return;
    }
    UINT chosen = 0;
    if (command.id == kMapPoiOn || command.id == kMapTextOn) {
        m_poi = true;
        chosen = kMapTextOn;
    } else if (command.id == kMapPoiOff || command.id == kMapTextOff) {
        m_poi = false;
        chosen = kMapTextOff;
    } else {
        return;
    }
    // A click moves the focus without recording it.
    InvalidateControl(GetHwnd(), chosen);
    if (HWND control = GetDlgItem(GetHwnd(), static_cast<int>(chosen))) {
        SetFocus(control);
    }
    SetButtonStates();
}

void MapPage::SetInitialFocus() {
    FocusControl(m_poi ? kMapTextOn : kMapTextOff);
}

void MapPage::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam) || !IsUpOrDown(wParam)) {
        return;
    }
    const UINT other = m_poi ? kMapTextOff : kMapTextOn;
    SetFocusId(other);
    SendClick(other);
}

// ---- LogPage ----

namespace {
constexpr UINT kLogNavState = 1177;
constexpr UINT kLogNavText = 1174;
constexpr UINT kLogMapState = 1179;
constexpr UINT kLogMapText = 1175;
} // namespace

LogPage::LogPage(SettingsSheet* sheet, bool navigation, bool movingMap)
    : SettingsPage(sheet, u"LogPage")
    , m_navigation(navigation)
    , m_movingMap(movingMap) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &LogPage::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &LogPage::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &LogPage::OnKeyDown);
}

LogPage::~LogPage() {
    DestroyPageWindow();
}

void LogPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    CreateControl(u"LogNav", kLogNavState, true, true, 0, 0);
    CreateControl(u"UseLogNav", kLogNavText, true, false, 0, 0);
    CreateControl(u"LogMoveMap", kLogMapState, true, true, 0, 0);
    CreateControl(u"UseLogMoveMap", kLogMapText, true, false, 0, 0);
    CreateLabel(u"AutoStartLog", 1173, kLabelColour, kTransparentBackground);
    SetButtonStates();
}

void LogPage::SetButtonStates() {
    SetButtonState(kLogNavState, m_navigation ? 1 : 0);
    SetButtonState(kLogMapState, m_movingMap ? 1 : 0);
}

void LogPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const CommandParts command = SplitCommand(wParam);
    if (HandleCommonCommand(command.id, command.code)) {
        return;
    }
    const bool isNavigation = command.id == kLogNavState || command.id == kLogNavText;
    const bool isMovingMap = command.id == kLogMapState || command.id == kLogMapText;
    if (!isNavigation && !isMovingMap) {
        return;
    }
    if (command.code == kFocusMoveNotification) {
        if (isNavigation) {
            FocusControl(kLogMapText);
        } else {
            FocusOk();
        }
        return;
    }
    if (isNavigation) {
        m_navigation = !m_navigation;
        FocusControl(kLogNavText);
    } else {
        m_movingMap = !m_movingMap;
        FocusControl(kLogMapText);
    }
    SetButtonStates();
}

void LogPage::SetInitialFocus() {
    const UINT focused = GetFocusId();
    FocusControl(focused == kLogMapText || focused == kLogMapState ? kLogMapText : kLogNavText);
}

void LogPage::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    (void)SendFocusMove(GetHwnd(), wParam, lParam);
}

// ---- GpsConf ----

GpsConf::GpsConf(SettingsSheet* sheet, std::int32_t port, bool tmcReceiver, std::vector<int> ports)
    : SettingsPage(sheet, u"GpsConf")
    , m_port(port)
    , m_tmcReceiver(tmcReceiver)
    , m_ports(std::move(ports)) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &GpsConf::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &GpsConf::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &GpsConf::OnKeyDown);
}

int GpsConf::EntryOfPort() const {
    int entry = 0;
    for (std::size_t i = 0; i < m_ports.size(); ++i) {
        if (m_ports[i] == m_port) {
            entry = static_cast<int>(i);
        }
    }
    return entry;
}

GpsConf::~GpsConf() {
    DestroyPageWindow();
}

void GpsConf::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_portsCombo = CreateControl(u"ComboPorts", kPortsId, true, false, 0, 0);
    if (m_portsCombo != nullptr) {
        SendMessageW(m_portsCombo, kSetDroppedSize, kPortsDropSize, 0);
        for (const int port : m_ports) {
            char text[32];
            (void)std::snprintf(text, sizeof text, "COM %d", port);
            std::u16string entry(text, text + std::char_traits<char>::length(text));
            entry.resize(std::min(entry.size(), kPortEntryLength));
            SendMessageW(m_portsCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
        SendMessageW(m_portsCombo, CB_SETCURSEL, static_cast<WPARAM>(EntryOfPort()), 0);
    }
    CreateLabel(u"Choose port", 589, kLabelColour, kTransparentBackground);
    CreateControl(u"TMCReceiver", kTmcStateId, true, true, 0, 0);
    CreateControl(u"statTMCReceiver", kTmcTextId, true, false, 0, 0);
    SetButtonState(kTmcStateId, m_tmcReceiver ? 1 : 0);
}

void GpsConf::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const CommandParts command = SplitCommand(wParam);
    if (HandleCommonCommand(command.id, command.code)) {
        return;
    }
    if (command.id == kPortsId) {
        if (command.code == CBN_SELCHANGE || command.code == CBN_SELENDOK) {
            const auto selected =
                static_cast<long long>(SendMessageW(m_portsCombo, CB_GETCURSEL, 0, 0));
            if (selected >= 0 && static_cast<std::size_t>(selected) < m_ports.size()) {
                m_port = m_ports[static_cast<std::size_t>(selected)];
            }
            SetFocusId(kTmcTextId);
        } else if (command.code == kComboReselect) {
            // By value, as on creation: the list need not start at port 1.
            SendMessageW(m_portsCombo, CB_SETCURSEL, static_cast<WPARAM>(EntryOfPort()), 0);
            SetFocusId(kTmcTextId);
        } else if (command.code == kFocusMoveNotification) {
            if (HWND text = GetDlgItem(GetHwnd(), static_cast<int>(kTmcTextId))) {
                SetFocus(text);
            }
            SetFocusId(kTmcTextId);
        } else if (command.code == CBN_SETFOCUS) {
            SetFocusId(kPortsId);
        }
        return;
    }
    if (command.id != kTmcStateId && command.id != kTmcTextId) {
        return;
    }
    if (command.code == kFocusMoveNotification) {
        FocusOk();
        SetFocusId(kTmcTextId);
        return;
    }
    FocusControl(kTmcTextId);
    m_tmcReceiver = !m_tmcReceiver;
    SetButtonState(kTmcStateId, m_tmcReceiver ? 1 : 0);
}

void GpsConf::SetInitialFocus() {
    if (GetFocusId() == kTmcTextId) {
        if (HWND text = GetDlgItem(GetHwnd(), static_cast<int>(kTmcTextId))) {
            SetFocus(text);
        }
        return;
    }
    if (m_portsCombo != nullptr) {
        SetFocus(m_portsCombo);
    }
    SetFocusId(kPortsId);
}

void GpsConf::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    (void)SendFocusMove(GetHwnd(), wParam, lParam);
}
