#pragma once
// The map list dialog: one line pair per database of the navigation server (its folder, then its
// last path component), the current one selected; OK makes the selected database current (the
// server opens it at once), Cancel, Esc and Enter close without a change. Run modally by the
// main menu's "RealDataset" command. User-interface thread only.

#include "app/startup/shellinterfaces.h"
#include "onboard/onboardserver.h"
#include "onboard/serverconfig.h"
#include "ui/pagebase.h"

#include <memory>
#include <string>

class CustomListBox;

class MapListDlg : public PageBase, public ModalPage {
public:
    static constexpr UINT kTitleId = 585;
    static constexpr UINT kListId = 120;
    static constexpr UINT kCancelId = 320;
    static constexpr UINT kOkId = 1047;
    static constexpr UINT kOtherOkId = 360;
    static constexpr COLORREF kListColour = 0x78571E;

    // Takes the server's database list at once; server may be null (an empty list).
    explicit MapListDlg(Onboard::OnboardServerPtr server);
    ~MapListDlg() override;
    MapListDlg(const MapListDlg&) = delete;
    MapListDlg& operator=(const MapListDlg&) = delete;

    UINT GetTitleId() override { return kTitleId; }
    [[nodiscard]] WindowHandle& GetWindowHandle() override { return GetPageHandle(); }
    [[nodiscard]] const CustomListBox* GetListBox() const { return m_listBox.get(); }

    // The folder on the first line, the last path component on the second: the last "\" or "/"
    // becomes a line break; a path without one stays as it is.
    [[nodiscard]] static std::u16string ItemText(const std::u16string& path);

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void FillList();
    void Choose();
    void Close();
    void MoveSelection(int step);
    [[nodiscard]] int GetCurSel() const;

    Onboard::OnboardServerPtr m_server;
    DatabaseListPtr m_databases;
    std::unique_ptr<CustomListBox> m_listBox;
    HFONT m_listFont = nullptr;
    HWND m_gpsIndicator = nullptr;
    HWND m_tmcIndicator = nullptr;
};

// Installs the dialog as the shell's map list factory.
void InstallMapListDlg();
