#pragma once
// The three modes of the main menu: navigation to one destination (menu 420), the tour of
// several stops (430; its pages carry 431) and the free moving map (1102), and InstallModes,
// which makes them the main window's mode factories. User-interface thread only.

#include "app/modes/modecontrollerbase.h"

#include <memory>

class MovingMap;
class NavOptPage;
class TourList;

class NavigationMode final : public ModeControllerBase {
public:
    static constexpr UINT kPageId = 420;
    explicit NavigationMode(const ModeContext& context);
    ~NavigationMode() override;
    bool HasSeveralStops() override { return false; }
};

class TourMode final : public ModeControllerBase {
public:
    static constexpr UINT kPageId = 431;
    explicit TourMode(const ModeContext& context);
    ~TourMode() override;

    using ModeControllerBase::Activate;
    void Activate() override;
    void OnPageCommand(int code, HWND callerWindow) override;
    bool HasSeveralStops() override { return m_stops.size() > 1; }
    bool HasStops() override { return !m_stops.empty(); }

    [[nodiscard]] TourList* GetTourList() const { return m_tourList.get(); }
    [[nodiscard]] NavOptPage* GetTourOptionsPage() const { return m_tourOptionsPage.get(); }

private:
    std::unique_ptr<TourList> m_tourList;
    std::unique_ptr<NavOptPage> m_tourOptionsPage;
};

class MovingMapMode final : public ModeControllerBase {
public:
    explicit MovingMapMode(const ModeContext& context);
    ~MovingMapMode() override;

    using ModeControllerBase::Activate;
    void Activate() override;
    void OnPageCommand(int code, HWND callerWindow) override;
    bool HasSeveralStops() override { return false; }

private:
    MovingMap* m_movingMap = nullptr; // the page of the moving-map slot
};

// Makes the three modes the shell's factories (navigationMode, tourMode, movingMapMode).
void InstallModes();
