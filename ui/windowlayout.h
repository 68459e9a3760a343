#pragma once
// The layout of a framework window from its section of the screen description: the design size
// ("Size"), per-axis scale factors from the client size, and the children and areas placed at
// their entries' rectangles. The layout creates the skinned controls an entry names and keeps
// them (buttons, input controls, labels) until it is destroyed. User-interface thread only.

#include "ui/bitmapbutton.h"
#include "ui/customcontrol.h"
#include "utilities/usefulcode/fonthandle.h"
#include "utilities/usefulcode/screendesc.h"

#include <memory>
#include <string>
#include <vector>

// One laid-out child window, or an area (no window, a key other than 0).
struct LayoutEntry {
    HWND window = nullptr;
    int key = 0;
    ScreenDescRect design; // as read from the screen description
    RECT current{};        // the design rectangle at the present scale
};

class WindowLayout {
public:
    // Reads "Size" and "Htp" of the section; scale 1, offsets 0, no entries.
    explicit WindowLayout(const std::u16string& sectionName);
    // Releases the controls made here (their windows go with them) and deletes both fonts.
    virtual ~WindowLayout();
    WindowLayout(const WindowLayout&) = delete;
    WindowLayout& operator=(const WindowLayout&) = delete;

    [[nodiscard]] virtual HWND GetHwnd() const = 0;

    // Rescales for a client of width x height: every entry's current rectangle is recomputed
    // and its window moved there without repainting; the button and control fonts ("Arial",
    // character height 11, bold, antialiased) are re-created and sent to the controls. Nothing
    // happens when width or height is 0. An axis whose design size is 0 keeps scale 1.
    void OnSize(int width, int height);
    // Each coordinate times its axis's scale (a float product), plus 0.5, truncated toward zero,
    // plus the offset; a result beyond the int range saturates.
    [[nodiscard]] RECT ScaleRect(const ScreenDescRect& design) const;

    // Registers window under the entry's rectangle; it is first placed by the next OnSize.
    void AddChild(LPCWSTR entryName, HWND window);
    // Registers a window hidden while the background is painted and shown again after it.
    void AddOverlayChild(LPCWSTR entryName, HWND window);
    // Registers a window-less area under key and places it at once at the present scale.
    void AddArea(LPCWSTR entryName, int key);
    // The current rectangle of the first area with key / the first entry of window; empty when
    // there is none.
    [[nodiscard]] RECT GetAreaRect(int key) const;
    [[nodiscard]] RECT GetChildRect(HWND window) const;

    // Creates the control of the entry's kind (buttons of face kinds 0-3, 5, 7, 8; 4 combo box;
    // 6 edit field) with the string id's text (at most 64 characters) and returns its window;
    // null for a missing entry or when the control cannot be made.
    HWND CreateControl(LPCWSTR entryName, UINT id, bool isVisible, bool isToggle, DWORD extraStyle,
                       UINT alternativeBitmapId);
    // A "Static" label with the string's text (at most 128 characters); background
    // kTransparentBackground leaves the window's background showing.
    HWND CreateLabel(LPCWSTR entryName, UINT stringId, COLORREF textColour, COLORREF background);

    // The logo under "RealLOGO" and the indicators under "RealGPS" (text and child id 1138) and
    // "RealTMC" (1143): hidden at first, floating children, kept with the buttons. Their window,
    // or null when they cannot be made.
    HWND CreateLogoBox();
    HWND CreateGpsIndicator();
    HWND CreateTmcIndicator();

    // The first button with that identifier; null when none.
    [[nodiscard]] std::shared_ptr<BitmapButton> FindControl(UINT id) const;
    // EnableWindow of the child with id, then repaint without erasing; nothing without a child.
    // A combo box's id reaches the combo box, which takes its edit field along (also below).
    void EnableControl(UINT id, bool enable);
    [[nodiscard]] bool IsControlEnabled(UINT id) const;
    void ShowControl(UINT id, bool show);
    // Every button and input control; labels keep their state.
    void ShowAllControls(bool show);
    void SetButtonState(UINT id, BYTE state);
    void ShowOverlayChildren(bool show);
    // Hides the floating children that meet box (client coordinates; null: every one) without
    // repainting what they uncover: for the background painting there, which covers that area
    // itself. (Repainting it would paint the background again, hide the children again, and so
    // on for ever.) The others keep their pixels, which the background does not touch; one
    // reaching out of box has its whole rectangle invalidated, since it shows again whole and
    // would draw its transparent face twice over where the background stayed.
    void HideOverlayChildrenQuietly(const RECT* box);

    [[nodiscard]] float GetScaleX() const { return m_scaleX; }
    [[nodiscard]] float GetScaleY() const { return m_scaleY; }
    [[nodiscard]] const std::u16string& GetSectionName() const { return m_sectionName; }
    [[nodiscard]] ScreenDescSize GetDesignSize() const { return {m_designWidth, m_designHeight}; }
    [[nodiscard]] const std::u16string& GetHelpPageName() const { return m_helpPageName; }
    [[nodiscard]] HFONT GetButtonFont() const { return m_buttonFont.Get(); }
    [[nodiscard]] HFONT GetControlFont() const { return m_controlFont.Get(); }

protected:
    // Creates the window of a button made here as a framework child at the entry, registers it
    // as child and floating child and keeps the button; the button's window or null.
    HWND AdoptButton(LPCWSTR entryName, std::shared_ptr<BitmapButton> button, LPCWSTR text,
                     DWORD style, UINT childId);

private:
    [[nodiscard]] LayoutEntry MakeEntry(LPCWSTR entryName, HWND window, int key) const;
    // The input control made here with id, or else the parent's first child with it; null when
    // there is none.
    [[nodiscard]] HWND FindChild(UINT id) const;

    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    int m_offsetX = 0;
    int m_offsetY = 0;
    std::u16string m_sectionName;
    int m_designWidth = 0;
    int m_designHeight = 0;
    std::vector<LayoutEntry> m_floating;
    std::vector<LayoutEntry> m_entries;
    std::vector<std::shared_ptr<BitmapButton>> m_buttons;
    std::vector<std::shared_ptr<CustomControl>> m_inputControls;
    std::vector<std::shared_ptr<CustomStatic>> m_labels;
    FontHandle m_buttonFont;
    FontHandle m_controlFont;
    std::u16string m_helpPageName;
};
