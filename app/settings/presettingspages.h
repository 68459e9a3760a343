#pragma once
// Five of the six presettings pages: NavigPage, MapPage, GpsConf, LogPage and FormatPage. Each
// shows its values as state buttons beside text buttons; a click on either chooses, Up and Down
// swap between the two text buttons of a group, a forwarded Tab (notification 1031) moves group
// by group and on to OK. The values reach the record only through the sheet's OK.
// User-interface thread only.

#include "app/settings/settingspage.h"

#include <cstdint>
#include <vector>

// A yes/no choice shown by two state buttons (on, off) beside two text buttons (on, off).
struct SettingsChoice {
    UINT stateOn;
    UINT stateOff;
    UINT textOn;
    UINT textOff;
    const char16_t* stateOnName;
    const char16_t* stateOffName;
    const char16_t* textOnName;
    const char16_t* textOffName;
};

// A page of yes/no groups in focus order (NavigPage, FormatPage): a click chooses and focuses
// the group's chosen text button, 1031 moves to the next group's chosen text button and from
// the last to OK, Up and Down choose the partner text button.
class ChoiceGroupsPage : public SettingsPage {
public:
    struct Label {
        const char16_t* name;
        UINT id;
    };

    ChoiceGroupsPage(SettingsSheet* sheet, const std::u16string& section,
                     std::vector<SettingsChoice> groups, std::vector<Label> labels,
                     std::vector<bool> values);
    // Destroys the page window while the page's own handlers are still valid.
    ~ChoiceGroupsPage() override;
    // The handlers this class registers (its base keeps its own).
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_pageHandlers; }
    void SetInitialFocus() override;
    [[nodiscard]] bool GetValue(std::size_t group) const { return m_values.at(group); }

protected:
    // The group that SetInitialFocus gives the focus for the combo (100); -1 for none.
    int m_comboGroup = 0;

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void SetButtonStates();
    [[nodiscard]] int GroupOf(UINT id) const;
    [[nodiscard]] UINT ChosenText(std::size_t group) const;

    OwnerHandlerList m_pageHandlers;
    std::vector<SettingsChoice> m_groups;
    std::vector<Label> m_labels;
    std::vector<bool> m_values;
};

// Section "NavigPage": arrow mode, north up, points of interest, street names.
class NavigPage : public ChoiceGroupsPage {
public:
    NavigPage(SettingsSheet* sheet, bool arrow, bool north, bool poi, bool streets);
    [[nodiscard]] bool GetArrow() const { return GetValue(0); }
    [[nodiscard]] bool GetNorth() const { return GetValue(1); }
    [[nodiscard]] bool GetPoi() const { return GetValue(2); }
    [[nodiscard]] bool GetStreets() const { return GetValue(3); }
};

// Section "FormatPage": kilometres (else miles), 12-hour clock (else 24-hour).
class FormatPage : public ChoiceGroupsPage {
public:
    FormatPage(SettingsSheet* sheet, bool kilometres, bool twelveHours);
    [[nodiscard]] bool GetKilometres() const { return GetValue(0); }
    [[nodiscard]] bool GetTwelveHours() const { return GetValue(1); }
};

// Section "MapPage": points of interest in the map modes; the show-last-map value is kept and
// handed back unchanged.
class MapPage : public SettingsPage {
public:
    MapPage(SettingsSheet* sheet, std::uint8_t showLastMap, bool poi);
    // Destroys the page window while the page's own handlers are still valid.
    ~MapPage() override;
    // The handlers this class registers (its base keeps its own).
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_pageHandlers; }
    void SetInitialFocus() override;
    [[nodiscard]] bool GetPoi() const { return m_poi; }
    [[nodiscard]] std::uint8_t GetShowLastMap() const { return m_showLastMap; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void SetButtonStates();

    OwnerHandlerList m_pageHandlers;
    std::uint8_t m_showLastMap;
    bool m_poi;
};

// Section "LogPage": log navigation trips, log moving-map trips (toggles).
class LogPage : public SettingsPage {
public:
    LogPage(SettingsSheet* sheet, bool navigation, bool movingMap);
    // Destroys the page window while the page's own handlers are still valid.
    ~LogPage() override;
    // The handlers this class registers (its base keeps its own).
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_pageHandlers; }
    void SetInitialFocus() override;
    [[nodiscard]] bool GetNavigation() const { return m_navigation; }
    [[nodiscard]] bool GetMovingMap() const { return m_movingMap; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void SetButtonStates();

    OwnerHandlerList m_pageHandlers;
    bool m_navigation;
    bool m_movingMap;
};

// Section "GpsConf": the receiver's COM port from a list of port numbers and the TMC receiver.
class GpsConf : public SettingsPage {
public:
    static constexpr UINT kPortsId = 101;
    static constexpr UINT kTmcStateId = 1191;
    static constexpr UINT kTmcTextId = 1190;

    GpsConf(SettingsSheet* sheet, std::int32_t port, bool tmcReceiver, std::vector<int> ports);
    // Destroys the page window while the page's own handlers are still valid.
    ~GpsConf() override;
    // The handlers this class registers (its base keeps its own).
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_pageHandlers; }
    void SetInitialFocus() override;
    [[nodiscard]] std::int32_t GetPort() const { return m_port; }
    [[nodiscard]] bool GetTmcReceiver() const { return m_tmcReceiver; }
    // The port combo's own window (its edit field has the same id); null before creation.
    [[nodiscard]] HWND GetPortsCombo() const { return m_portsCombo; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    // The last entry whose port is the current port; 0 when none is.
    [[nodiscard]] int EntryOfPort() const;

    OwnerHandlerList m_pageHandlers;
    std::int32_t m_port;
    bool m_tmcReceiver;
    std::vector<int> m_ports;
    HWND m_portsCombo = nullptr;
};
