#pragma once
// The base of the six presettings pages: the page-selector combo (100) over the process-wide page
// index, OK (542) and Cancel (320), the GPS and TMC indicators and the logo, and the focus ring
// combo -> the page's groups -> OK -> Cancel -> combo. The pages hold their own values; the
// sheet collects them on OK. User-interface thread only.

#include "ui/pagebase.h"

#include <string>

// The presettings sheet as its pages see it.
class SettingsSheet {
public:
    virtual ~SettingsSheet() = default;
    // Refills the record from the pages when apply is true, then reports the closing.
    virtual void Close(bool apply) = 0;
    // 0 to 5 shows that page and hides the others; -1 brings the first visible page to front.
    virtual void ShowPage(int index) = 0;
};

// The page shown and selected in every page's combo: 0 NavigPage, 1 MapPage, 2 GpsConf,
// 3 LogPage, 4 VolCntr, 5 FormatPage.
[[nodiscard]] int GetPresettingsPageIndex();
void SetPresettingsPageIndex(int index);

class SettingsPage : public PageBase {
public:
    static constexpr UINT kComboId = 100;
    static constexpr UINT kOkId = 542;
    static constexpr UINT kCancelId = 320;
    static constexpr UINT kTitleStringId = 551;
    // The combo's entries: navigation, map, GPS, logbook, volume, formats.
    static constexpr UINT kEntryIds[6] = {420, 430, 510, 1176, 1197, 1219};
    static constexpr WPARAM kComboDropSize = 7;
    // The skinned combo keeps this message's value as its drop-down size.
    static constexpr UINT kSetDroppedSize = 0x160;

    // sheet is not owned and may be null; section is the page's screen-description section.
    SettingsPage(SettingsSheet* sheet, const std::u16string& section);
    ~SettingsPage() override;

    UINT GetTitleId() override { return kTitleStringId; }
    // The page's choice of focus when the ring or the showing of the page brings it the focus.
    virtual void SetInitialFocus() = 0;
    // The handlers this class registers (PageBase and each page keep their own).
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    // The page combo's own window (its edit field has the same id); null before creation.
    [[nodiscard]] HWND GetPageCombo() const { return m_combo; }

protected:
    // Repaints the control, gives it the focus and records it as the focused control.
    void FocusControl(UINT id);
    // The end of every page's focus chain.
    void FocusOk() { FocusControl(kOkId); }
    // WM_COMMAND with the control's id and window, as a click on it sends.
    void SendClick(UINT id);
    // The common WM_COMMAND part; true when it handled the command.
    bool HandleCommonCommand(UINT id, UINT code);
    [[nodiscard]] SettingsSheet* GetSheet() const { return m_sheet; }
    // Destroys the page window; each page's destructor calls it first, so that the messages of
    // the destruction reach handlers whose objects still exist.
    void DestroyPageWindow();

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnShowWindow(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void SelectPageIndex();
    // The combo, OK or Cancel when one of them is the recorded control, else SetInitialFocus.
    void RestoreFocus(bool includeButtons);

    OwnerHandlerList m_handlers;
    SettingsSheet* m_sheet;
    HWND m_combo = nullptr;
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
};
