#pragma once
// The tour list page: the stops of a tour in the tour mode's vector, the page's list and the
// tour point store (section "DestList" of "Routenpunkte.ini") kept in step. Stops are added from
// the destination input, read back from the store (each record matched on the open map set
// again), deleted, moved and cleared; the page hands calculation, input and guidance to its
// mode. User-interface thread only.

#include "app/modeinterface/destinationtypes.h"
#include "app/modeinterface/modecontroller.h"
#include "onboard/onboardserver.h"
#include "ui/pagebase.h"

#include <memory>
#include <string>
#include <vector>

class CustomListBox;

class TourList : public PageBase {
public:
    static constexpr UINT kTitleId = 431;
    static constexpr UINT kTitleLabelId = 471;
    static constexpr UINT kListId = 210;
    static constexpr UINT kCalculateId = 581;
    static constexpr UINT kInputId = 472;
    static constexpr UINT kOtherInputId = 360;
    static constexpr UINT kDeleteId = 528;
    static constexpr UINT kMainMenuId = 561;
    static constexpr UINT kMainMenuIds[] = {561, 553, 470};
    static constexpr UINT kNavStartId = 501;
    static constexpr UINT kDeleteAllId = 1119;
    static constexpr UINT kMoveUpId = 1111;
    static constexpr UINT kMoveDownId = 1113;
    // The question before all stops go, the message naming a record that matches nothing, and
    // the label of a stop made from a point that is no street address.
    static constexpr UINT kDeleteAllQuestionId = 1120;
    static constexpr UINT kUnmatchedMessageId = 1149;
    static constexpr UINT kUserDefinedLabelId = 1196;
    static constexpr COLORREF kListColour = 0x78571E;
    static constexpr char16_t kSection[] = u"DestList";

    // mode and stops are not owned and must outlive the page.
    TourList(Onboard::OnboardServerPtr server, ModeController* mode,
             std::vector<DestinationEntry>* stops);
    ~TourList() override;
    TourList(const TourList&) = delete;
    TourList& operator=(const TourList&) = delete;

    UINT GetTitleId() override { return kTitleId; }

    // Rebuilds the list and the vector from the store; records that match nothing are reported
    // and removed from the store.
    void LoadTourPoints();
    // Adds the selection (or the pending picked destination) as a stop: position -1 appends,
    // another replaces the stop there (a position beyond the list appends). False when the
    // selection gives no stop.
    bool AddTourPoint(const DestinationDescription& selection, int position);

    [[nodiscard]] const CustomListBox* GetListBox() const { return m_listBox.get(); }
    // The store's records as last written or read.
    [[nodiscard]] const std::vector<std::u16string>& GetRecords() const { return m_records; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSize(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    // The stop a stored record stands for; false when it matches nothing. stopLoad is set when
    // the load cannot go on.
    bool MatchRecord(const std::u16string& record, DestinationEntry& stop, std::u16string& text);
    void DeleteSelected();
    void DeleteAll();
    void Move(int step);
    void UpdateButtons();
    void WriteStore();
    void InsertItem(int index, const std::u16string& text);
    void DeleteItem(int index);
    void Select(int index);
    [[nodiscard]] int GetCurSel() const;
    [[nodiscard]] int GetCount() const;

    Onboard::OnboardServerPtr m_server;
    ModeController* m_mode;
    std::vector<DestinationEntry>* m_stops;
    std::vector<std::u16string> m_records;
    std::unique_ptr<CustomListBox> m_listBox;
    HFONT m_listFont = nullptr;
    HWND m_gpsIndicator = nullptr;
    HWND m_tmcIndicator = nullptr;
    int m_shownCount = -1;
};

// Whether the tour point store holds a first stop.
[[nodiscard]] bool HasStoredTourPoints();
