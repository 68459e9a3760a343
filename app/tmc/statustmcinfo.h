#pragma once
// The full-screen list page of text lines with optional icons, a title, a status line, two
// buttons and the GPS and TMC indicators. Mode 1 is the TMC message dialog: made once, its
// lines grouped by road, hidden on accept in favour of the page deactivated last. Mode 2 is the
// list dialog: its caller runs it until its window receives WM_CLOSE and then reads the chosen
// line. User-interface thread only.

#include "ui/pagebase.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/windowhandle.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CustomListBox;

class StatusTmcInfo : public PageBase, public TmcMessageDialog {
public:
    enum Mode { kTmcMode = 1, kListMode = 2 };
    static constexpr UINT kListId = 210;
    static constexpr UINT kOkId = 1047;
    static constexpr UINT kOtherOkId = 360;
    static constexpr UINT kRefreshId = 1187; // the "Cancel" entry in mode 1
    static constexpr UINT kCancelId = 1130;  // the "Cancel" entry in mode 2
    static constexpr UINT kTitleLabelId = 1128;
    static constexpr UINT kStatusLabelId = 1186;
    static constexpr UINT kTmcPageId = 1148;
    // The title of the TMC message dialog, a string of the language library.
    static constexpr UINT kTmcTitleId = 1188;
    static constexpr COLORREF kListColour = 0x78571E;
    static constexpr COLORREF kStatusBackground = 0x947331;

    // icons: one per line; empty shows the lines unsorted and without icons.
    StatusTmcInfo(std::vector<std::u16string> lines, std::u16string title, UINT pageId,
                  const std::u16string& sectionName, Mode mode, std::vector<UINT> icons);
    ~StatusTmcInfo() override;

    // Makes the TMC message dialog (mode 1, section "TMCDlg", page 1148, the title string) for
    // the monitor, with the lines and icons listed so far; its window is made on first showing.
    // CloseDialog ends it.
    static void CreateDialog();
    static void CloseDialog();

    [[nodiscard]] HWND GetHwnd() const override { return PageBase::GetHwnd(); }
    [[nodiscard]] UINT GetTitleId() override { return m_pageId; }

    // TmcMessageDialog. Lines and icons are kept by reference; the list is rebuilt at the next
    // refresh.
    void SetData(const std::vector<std::u16string>& lines, const std::vector<UINT>& icons) override;
    // At most 49 characters, shown at once when the status field exists.
    void SetStatusText(std::u16string_view text) override;
    // Shows the window, creating it (full size, sized at once) when there is none.
    void Show() override;
    // Accepts with force and destroys the window.
    void Close() override;

    // Rebuilds the list when a refresh is due, then selects its first line.
    void RefreshList();
    // The chosen line after the run, -1 when cancelled.
    [[nodiscard]] int GetSelection() const { return m_selection; }
    [[nodiscard]] Mode GetMode() const { return m_mode; }
    [[nodiscard]] CustomListBox* GetListBox() const { return m_listBox.get(); }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    void Accept(bool isForced);
    void Cancel(bool isForced);
    void CloseRun(bool isForced);
    void JumpToLetter(char16_t letter);
    void MoveSelection(int step);
    [[nodiscard]] UINT CancelEntryId() const { return m_mode == kTmcMode ? kRefreshId : kCancelId; }
    [[nodiscard]] int GetCurSel() const;
    void SetCurSel(int index);

    OwnerHandlerList m_handlers;
    std::unique_ptr<CustomListBox> m_listBox;
    HWND m_statusLabel = nullptr;
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
    UINT m_pageId;
    std::u16string m_title;
    std::vector<std::u16string> m_ownLines; // the lines given to the constructor
    const std::vector<std::u16string>* m_lines = &m_ownLines;
    std::vector<UINT> m_ownIcons; // the icons given to the constructor
    const std::vector<UINT>* m_icons = &m_ownIcons;
    int m_selection = -1;
    Mode m_mode;
    HFONT m_listFont = nullptr;
    std::u16string m_statusText;
    bool m_refreshNeeded = true;
};
