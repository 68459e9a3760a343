#pragma once
// A list drawn in the skin's colours with a finger-sized scroll bar (window class
// "CUSTOMLISTBOX"). It answers the list-box messages the pages send (LB_*), notifies its
// parent with LBN_SELCHANGE and LBN_DBLCLK, and, as the drop-down list of a CustomComboBox,
// hands selections and closing to its combo box. User-interface thread only.

#include "ui/customcontrol.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class CustomComboBox;
class TransparentBitmap;

// Style bit: texts that do not fit show their end, right-aligned.
constexpr DWORD kListShowTextTail = 0x2;

class CustomListBox : public CustomControl {
public:
    static constexpr UINT_PTR kRepeatTimer = 1;
    static constexpr UINT kRepeatDelayMs = 150;

    // Pressed parts of the scroll bar.
    enum Part {
        kNoPart = -1,
        kUpButton = 0,
        kDownButton = 1,
        kTrackBelow = 2,
        kTrackAbove = 3,
        kThumb = 4
    };
    // Colour slots.
    enum Colour { kBackground = 0, kScrollBar, kLines, kThumbColour, kText, kHotText, kColours };

    CustomListBox(HWND parent, UINT id, COLORREF background, DWORD style,
                  const std::vector<std::u16string>& items = {});
    ~CustomListBox() override;

    void SetItemHeight(int height);
    [[nodiscard]] int GetItemHeight() const { return itemHeight_; }
    // Makes the rows as high as the lines of the item with the most lines take in the list's
    // font, then lays the scroll bar out and redraws for the new height; an empty list keeps
    // its height.
    void FitItemHeightToLines();
    [[nodiscard]] int GetCount() const { return static_cast<int>(items_.size()); }
    // Empty when index is outside the list.
    [[nodiscard]] std::u16string GetText(int index) const;
    [[nodiscard]] int GetCurSel() const { return selected_; }
    // Sets the selected and the hot index.
    void SetCurSel(int index);
    // Stores u and lays the scroll bar out again for the present client size.
    void SetScrollUnit(int unit);
    void SetOwner(CustomComboBox* owner) { owner_ = owner; }
    void SetMinThumb(int length) { minThumb_ = length; }
    // Icon numbers, one per row from the first (language-library bitmaps drawn transparent at
    // the row's left); rows beyond them have none.
    void SetIcons(std::vector<int> icons);

    [[nodiscard]] int GetHotIndex() const { return hot_; }
    void SetHotIndex(int index) { hot_ = index; }
    [[nodiscard]] int GetFirstVisible() const { return first_; }
    // First visible index within 0..count - visible rows; false when index is outside the list.
    bool SetFirstVisible(int index);
    [[nodiscard]] int GetVisibleRows() const;
    [[nodiscard]] int GetScrollUnit() const { return unit_; }
    [[nodiscard]] const RECT& GetUpRect() const { return up_; }
    [[nodiscard]] const RECT& GetDownRect() const { return down_; }
    [[nodiscard]] const RECT& GetTrackRect() const { return track_; }
    // As last drawn.
    [[nodiscard]] const RECT& GetThumbRect() const { return thumb_; }
    [[nodiscard]] COLORREF GetColour(Colour slot) const { return colours_[slot]; }
    [[nodiscard]] bool IsDropDown() const { return owner_ != nullptr; }
    // The font the rows are drawn in (the list's copy of the last WM_SETFONT's); null before.
    [[nodiscard]] HFONT GetFont() const { return font_; }

    // Draws the whole list off-screen and copies it into the window.
    void Redraw();
    // Draws the list into dc (client coordinates, size width x height).
    void DrawInto(HDC dc, int width, int height);

    bool ScrollUp(int count);
    bool ScrollDown(int count);

private:
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFont(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnButtonUp(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnMouseMove(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDoubleClick(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    // WM_SETREDRAW: with wParam 0 the list is not drawn until a WM_SETREDRAW with wParam 1,
    // which invalidates it, so that the next paint draws it (a page filling many rows draws
    // them once).
    void OnSetRedraw(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnListMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    void Layout(int width, int height);
    void ScrollIntoView(int index);
    [[nodiscard]] bool HasScrollBar(int height) const;
    [[nodiscard]] int LastFirst() const; // count - visible rows
    void NotifyParent(WORD code);
    // A drop-down list that shows its last row selects the last item through its combo box.
    bool SelectLastWhenAtEnd();
    void RedrawAll();
    void DrawScrollBar(HDC dc, const RECT& client);
    void DrawRows(HDC dc, const RECT& client);
    [[nodiscard]] const TransparentBitmap* IconOf(int row);
    int AddString(const std::u16string& text);
    void ReleaseOffscreen();

    DWORD style_;
    CustomComboBox* owner_ = nullptr;
    int itemHeight_ = 12;
    bool isRedrawOff_ = false;
    int part_ = kNoPart;
    int hot_ = -1;
    COLORREF colours_[kColours];
    int unit_ = 0;
    int first_ = 0;
    int selected_ = -1;
    RECT up_{};
    RECT down_{};
    RECT track_{};
    RECT thumb_{};
    int thumbLowestBottom_ = 0;
    int step_ = 1;
    std::vector<std::u16string> items_;
    POINT dragPoint_{-1, -1};
    double pixelsPerItem_ = 0.0;
    HFONT font_{};
    int minThumb_ = 5;
    int maxLines_ = 1;
    UINT id_;
    std::vector<int> icons_;
    std::map<int, std::unique_ptr<TransparentBitmap>> iconBitmaps_;
    // The off-screen picture of the last drawing.
    HDC offscreenDc_{};
    HBITMAP offscreenBitmap_{};
    HGDIOBJ offscreenOld_{};
    SIZE offscreenSize_{};
};
