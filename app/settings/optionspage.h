#pragma once
// The route options pages: the route kind (quickest, shortest or dynamic) and the motorway,
// ferry and toll-road switches, kept in the page for its mode to read whenever the page reports
// back. NavOptPage proceeds to the route, RouteOptPage to the tour in the map. The choices are
// not stored. User-interface thread only.

#include "ui/pagebase.h"

#include <cstdint>
#include <functional>
#include <string>

class ModeController;

class OptionsPage : public PageBase {
public:
    static constexpr UINT kHeadingId = 1023;
    static constexpr UINT kQuickestStateId = 1058;
    static constexpr UINT kQuickestId = 579;
    static constexpr UINT kShortestStateId = 1061;
    static constexpr UINT kShortestId = 580;
    static constexpr UINT kHighwaysStateId = 1069;
    static constexpr UINT kHighwaysId = 563;
    static constexpr UINT kFerriesStateId = 1082;
    static constexpr UINT kFerriesId = 564;
    static constexpr UINT kTollStateId = 1092;
    static constexpr UINT kTollId = 565;
    static constexpr UINT kDynamicStateId = 1132;
    static constexpr UINT kDynamicId = 1131;
    static constexpr UINT kCaptionId = 1100;
    static constexpr UINT kCancelId = 320;
    static constexpr UINT kMainMenuId = 561;
    static constexpr UINT kNavStartId = 501;
    static constexpr UINT kShowInMapId = 562;
    static constexpr float kNoSimulationValue = -1.0f;

    // section: "NavOptPage" or "RouteOptPage"; the initial choices (the modes pass 0, 0, 0, 0, 1:
    // dynamic route, all three road kinds avoided).
    OptionsPage(const std::u16string& section, bool quickest, bool highways, bool ferries,
                bool tolls, bool dynamic);
    ~OptionsPage() override;

    // Set by the mode right after construction; not owned.
    void SetMode(ModeController* mode) { m_mode = mode; }

    [[nodiscard]] bool IsQuickest() const { return m_quickest != 0; }
    [[nodiscard]] bool AllowsHighways() const { return m_highways != 0; }
    [[nodiscard]] bool AllowsFerries() const { return m_ferries != 0; }
    [[nodiscard]] bool AllowsTolls() const { return m_tolls != 0; }
    [[nodiscard]] bool IsDynamic() const { return m_dynamic != 0; }
    [[nodiscard]] float GetSimulationValue() const { return m_simulationValue; }

    // The value dialog of Ctrl+Shift+R: given the window and the current value, it returns true
    // and the new value in value when the user confirmed it. Null restores the default, which
    // runs GpsSimulationFloatDlg.
    using ValueDialog = std::function<bool(HWND, float& value)>;
    static void SetValueDialog(ValueDialog dialog);

protected:
    // The page's own proceed button.
    virtual void CreateProceedButton() = 0;
    virtual void FillFocusList() = 0;
    virtual void FocusAfterRouteKinds() = 0;
    virtual void Close(bool proceed) = 0;
    virtual void CloseMode() = 0;

    // Repaints the control, gives it the keyboard focus and records it.
    void FocusControl(UINT id);
    void EnableAll(bool enable);
    void UpdateButtonStates();
    [[nodiscard]] ModeController* GetMode() const { return m_mode; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void FocusChosenRouteKind();
    void AddStateButton(LPCWSTR entry, UINT id);
    [[nodiscard]] UINT FocusedControlId() const;

    OwnerHandlerList m_handlers;
    std::uint8_t m_quickest;
    std::uint8_t m_highways;
    std::uint8_t m_ferries;
    std::uint8_t m_tolls;
    std::uint8_t m_dynamic;
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
    float m_simulationValue = kNoSimulationValue;
    ModeController* m_mode = nullptr;
};

// The options page of the navigation mode (and the tour mode's second one): proceeds to the
// route, with the logbook's trip dialog first when "Nav" of "Preferences" is set.
class NavOptPage final : public OptionsPage {
public:
    static constexpr UINT kTitleId = 420;

    NavOptPage(bool quickest, bool highways, bool ferries, bool tolls, bool dynamic);
    [[nodiscard]] UINT GetTitleId() override { return kTitleId; }
    [[nodiscard]] bool LogsThisTrip() const { return m_logThisTrip != 0; }

private:
    void CreateProceedButton() override;
    void FillFocusList() override;
    void FocusAfterRouteKinds() override;
    void Close(bool proceed) override;
    void CloseMode() override;

    std::uint8_t m_logThisTrip = 0;
};

// The options page of the tour mode: proceeds to the tour in the map.
class RouteOptPage final : public OptionsPage {
public:
    static constexpr UINT kTitleId = 560;

    RouteOptPage(bool quickest, bool highways, bool ferries, bool tolls, bool dynamic);
    [[nodiscard]] UINT GetTitleId() override { return kTitleId; }

private:
    void CreateProceedButton() override;
    void FillFocusList() override;
    void FocusAfterRouteKinds() override;
    void Close(bool proceed) override;
    void CloseMode() override;
};
