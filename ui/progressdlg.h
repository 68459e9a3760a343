#pragma once
// The modeless progress dialog of a route calculation: a bar, the route's start and
// destination, and the ProgressSink the calculation reports to. While it lives its owner (the
// window active when it was made) is disabled; destroying it enables and activates the owner
// again. User-interface thread only.

#include "ui/dialogbase.h"

#include <string>

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Dispatches every waiting message of the thread; returns the stop flag and clears it. A
    // WM_QUIT is posted again and ends the pumping.
    virtual bool Pump() = 0;
    // Moves the bar to the percent of the present stage.
    virtual void SetProgress(int percent) = 0;
};

class ProgressDlg : public DialogBase, public ProgressSink {
public:
    static constexpr UINT kBarId = 101;
    static constexpr UINT kRouteFromId = 102;
    static constexpr UINT kRouteToId = 103;
    static constexpr COLORREF kBarColour = 0x9C7129;
    static constexpr COLORREF kRouteBackground = 0x00C0F0;

    // isRoute chooses the description text (531, else 1188).
    explicit ProgressDlg(bool isRoute);
    ~ProgressDlg() override;

    bool Pump() override;
    void SetProgress(int percent) override;
    // Stores both texts and draws them at once.
    void SetRoute(const std::u16string& start, const std::u16string& destination);
    // Stages share the bar; fewer than one counts as one.
    void SetStages(int stages) { stages_ = stages < 1 ? 1 : stages; }
    void RequestStop() { isStopRequested_ = true; }

    [[nodiscard]] HWND GetOwner() const { return owner_; }
    [[nodiscard]] int GetShownPercent() const { return shown_; }
    [[nodiscard]] int GetBasePercent() const { return base_; }

    void DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) override;

private:
    void DrawNow(UINT id);
    void DrawBar(HDC dc, const RECT& rect);
    void PlaceAboveCreation();

    HPEN pen_{};
    HBRUSH brush_{};
    HWND owner_{};
    RECT created_{};
    int shown_ = 0;
    int base_ = 0;
    bool isStopRequested_ = false;
    int stages_ = 1;
    std::u16string start_;
    std::u16string destination_;
};
