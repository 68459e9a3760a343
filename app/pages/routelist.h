#pragma once
// The route list page: the calculated legs of a tour, each with its length, driving time and the
// names of its two ends, then the totals. From it the mode shows a leg's map or starts guidance
// from a leg; a demonstration drive writes the leg as an NMEA demo file, replays it through the
// server's replay device and starts guidance once the replay gives a fix. User-interface thread
// only.

#include "app/modeinterface/destinationtypes.h"
#include "app/modeinterface/modecontroller.h"
#include "onboard/onboardserver.h"
#include "ui/pagebase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CustomListBox;

class RouteList : public PageBase {
public:
    static constexpr UINT kTitleLabelId = 1106;
    static constexpr UINT kListId = 200;
    static constexpr UINT kMainMenuId = 561;
    static constexpr UINT kCancelId = 320;
    static constexpr UINT kShowMapId = 1107;
    static constexpr UINT kOtherShowMapId = 360;
    static constexpr UINT kStartNavigationId = 501;
    static constexpr UINT kStartSimulationId = 1096;
    // A leg that cannot be simulated; a demo file that cannot be written or no replay device.
    static constexpr UINT kCannotSimulateId = 1099;
    static constexpr UINT kNoReplayId = 1066;
    static constexpr UINT kLengthLabelId = 1168;
    static constexpr UINT kTimeLabelId = 1169;
    static constexpr UINT kTotalLengthLabelId = 1170;
    static constexpr UINT kTotalTimeLabelId = 1171;
    static constexpr UINT_PTR kReplayTimer = 1;
    static constexpr UINT kReplayTimerMs = 1000;
    static constexpr std::int32_t kMaxSimulatedLength = 100000;
    static constexpr int kDefaultDemonstrationSpeed = 3;
    static constexpr char kDemoFileName[] = "GPSDemoFile.txt";
    static constexpr COLORREF kListColour = 0x78571E;

    // mode is not owned and must outlive the page; titleId is the status line's title.
    RouteList(Onboard::OnboardServerPtr server, ModeController* mode, UINT titleId);
    ~RouteList() override;
    RouteList(const RouteList&) = delete;
    RouteList& operator=(const RouteList&) = delete;

    UINT GetTitleId() override { return m_titleId; }

    // The mode's view of one leg on its map page (-1 or the number of legs: the whole tour).
    void SetLegViewer(std::function<void(int)> showLeg) { m_showLeg = std::move(showLeg); }

    // Takes copies of the legs and returns their total length (metres) and time (seconds); the
    // list is rebuilt on the next activation.
    void SetLegs(const std::vector<TourEntry>& legs, std::int32_t& totalLength,
                 std::int32_t& totalTime);
    void ClearLegs() { m_legs.clear(); }
    [[nodiscard]] const std::vector<TourEntry>& GetLegs() const { return m_legs; }
    [[nodiscard]] const CustomListBox* GetListBox() const { return m_listBox.get(); }
    [[nodiscard]] bool HasStartedGuidance() const { return m_guidanceStarted != 0; }
    void ClearStartedGuidance() { m_guidanceStarted = 0; }

    // "h:mm" of seconds, truncated in single precision.
    [[nodiscard]] static std::u16string FormatDuration(std::int32_t seconds);

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnShowWindow(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDestroy(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    void FillList();
    void ShowMap();
    void StartNavigation();
    void StartDemonstration();
    void StopReplayWait();
    // The selected leg's 1-based number; -1 without one (the totals item included).
    [[nodiscard]] int SelectedLeg() const;
    [[nodiscard]] int GetCurSel() const;

    Onboard::OnboardServerPtr m_server;
    ModeController* m_mode;
    UINT m_titleId;
    std::function<void(int)> m_showLeg;
    std::vector<TourEntry> m_legs;
    std::int32_t m_totalLength = 0;
    std::int32_t m_totalTime = 0;
    bool m_isStale = false;
    bool m_isImperial = false;
    bool m_isWaiting = false;
    int m_demonstrationLeg = 0;
    std::uint8_t m_guidanceStarted = 0;
    std::unique_ptr<CustomListBox> m_listBox;
    HFONT m_listFont = nullptr;
    HWND m_gpsIndicator = nullptr;
    HWND m_tmcIndicator = nullptr;
};

// Set when guidance starts on a demonstration drive (unless "Simulation" is on); guidance ends the
// drive with it.
[[nodiscard]] bool& DemonstrationDriveFlag();
