#pragma once
// The distance bar: a narrow framework child window (section "DistanceBar") showing how much of
// the approach to the next manoeuvre is left as a bar filling from the bottom inside a 16-pixel
// frame pen (8 pixels of it inside the window). Hidden while the value is 0 or less; when the bar
// grows only the strip that changed is invalidated. A tap goes to the owner's OnTap.
// SetFraction may be called from any thread (it takes the bar's lock and only shows, measures
// and invalidates the window); everything else belongs to the window's thread.

#include "junctionview/windows/junctionviewowner.h"
#include "ui/windowbase.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/windowhandle.h"

#include <cstdint>

class IDistanceBar {
public:
    // Creates the window when there is none (visible, WS_CLIPSIBLINGS | WS_BORDER); in every
    // case moves it to rect with repainting.
    virtual void Create(const RECT& rect, HWND parent) = 0;
    // SetWindowPos behind after without moving or sizing; its result.
    virtual BOOL SetInsertAfter(HWND after) = 0;
    [[nodiscard]] virtual HWND GetHwnd() const = 0;
    // value is the part of the approach left, 1.0 a full bar.
    virtual void SetFraction(double value) = 0;
    // Shows or hides the window as the last SetFraction decided (hidden before any).
    virtual void RefreshVisibility() = 0;
    virtual ~IDistanceBar() = default;
};

// Holds the window handle so that it is made before the layout bases and goes after them.
struct DistanceBarWindowHolder {
    WindowHandle barHandle;
};

class DistanceBar final : public IDistanceBar, private DistanceBarWindowHolder, public WindowBase {
public:
    static constexpr COLORREF kDefaultBackColour = 0xB28A12;
    static constexpr COLORREF kDefaultBarColour = 0x00B4FF;
    static constexpr COLORREF kDefaultFrameColour = 0x7B5218;
    // Half the frame pen's width: the frame's part inside the window.
    static constexpr int kMargin = 8;

    // owner may be null; it is not owned.
    explicit DistanceBar(JunctionViewOwner* owner);
    // Takes the lock first, so that a setter running on another thread finishes before the
    // window goes.
    ~DistanceBar() override;

    void Create(const RECT& rect, HWND parent) override;
    BOOL SetInsertAfter(HWND after) override;
    [[nodiscard]] HWND GetHwnd() const override { return barHandle.window; }
    void SetFraction(double value) override;
    void RefreshVisibility() override;

    [[nodiscard]] COLORREF GetBackColour() const { return m_backColour; }
    [[nodiscard]] COLORREF GetBarColour() const { return m_barColour; }
    [[nodiscard]] COLORREF GetFrameColour() const { return m_frameColour; }
    // The top of the bar as SetFraction last worked it out (client coordinates).
    [[nodiscard]] std::int32_t GetBarTop();
    [[nodiscard]] bool IsBarVisible();
    // The bar's lock, held while a SetFraction runs.
    [[nodiscard]] CritSect& GetLock() { return m_lock; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEraseBackground(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnLButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    JunctionViewOwner* m_owner;
    OwnerHandlerList m_handlers;
    CritSect m_lock;
    std::int32_t m_barTop = 0;
    double m_fraction = 0.0;
    bool m_isVisible = false;
    COLORREF m_backColour;
    COLORREF m_barColour;
    COLORREF m_frameColour;
};

// A new distance bar; null when it cannot be allocated.
[[nodiscard]] IDistanceBar* CreateDistanceBar(JunctionViewOwner* owner);
