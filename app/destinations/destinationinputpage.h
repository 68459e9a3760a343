#pragma once
// The destination input page, first page of the navigation mode (NavigMainPage) and of the tour
// mode (TourMainPage): country, city, category, street and house number chosen in combo boxes
// that complete typed text against the map set, or taken from a stored list, a device contact
// or (tour) the current position. The selection lives in the mode's DestinationDescription,
// which the page writes; the target buttons hand it to the mode. User-interface thread only;
// the fix-class handler as well (positions reach the GPS state monitor on that thread).

#include "app/destinations/addresscombos.h"
#include "app/modeinterface/destinationtypes.h"
#include "onboard/onboardserver.h"
#include "ui/pagebase.h"

#include <memory>
#include <string>

class ModeController;

class DestinationInputPage : public PageBase {
public:
    static constexpr UINT kCityBoxId = 100;
    static constexpr UINT kStreetBoxId = 101;
    static constexpr UINT kNoControlFocusId = 102;
    static constexpr UINT kHouseNumberId = 103;
    static constexpr UINT kCategoryBoxId = 104;
    static constexpr UINT kCountryBoxId = 105;
    static constexpr UINT kCountryLabelId = 1214;
    static constexpr UINT kCityLabelId = 586;
    static constexpr UINT kCategoryLabelId = 587;
    static constexpr UINT kStreetLabelId = 588;
    static constexpr UINT kHouseNumberLabelId = 592;
    static constexpr UINT kTargetLabelId = 593;
    static constexpr UINT kRecentId = 503;
    static constexpr UINT kPersonalId = 522;
    static constexpr UINT kMapSpecificId = 526;
    static constexpr UINT kSaveAsId = 582;
    static constexpr UINT kContactId = 1110;
    static constexpr UINT kCurrentPosId = 1109;
    static constexpr UINT kFinishId = 501;
    static constexpr UINT kOtherFinishId = 581;
    static constexpr UINT kTakeOnId = 473;
    static constexpr UINT kShowOnMapId = 552;
    static constexpr UINT kNavCancelId = 470;
    static constexpr UINT kOtherCancelIds[] = {553, 561};
    static constexpr UINT kTourCancelId = 320;
    static constexpr UINT kPageCommandOneId = 966;
    static constexpr UINT kPageCommandZeroId = 968;
    // The text the street box shows for a point destination.
    static constexpr UINT kPointLabelId = 1196;
    // Personal list: its maximum length and its title.
    static constexpr int kPersonalListSize = 30;
    // Posted by WM_CREATE when the server has no map set open: the page then says so
    // (NoDatasetsMsgBox over it) once it shows.
    static constexpr UINT kNoMapDataMessage = WM_USER;

    // selection: the mode's destination, written by the page; owner: the mode (not owned).
    DestinationInputPage(const std::u16string& pageName, Onboard::OnboardServerPtr server,
                         DestinationDescription* selection, ModeController* owner,
                         UINT ownerPageId);
    ~DestinationInputPage() override;

    // Shows the mode's current selection in the controls.
    virtual void ShowSelection();
    // Empties city, street and house number (before the tour mode takes a new stop).
    void ClearSelection();
    // A city or a point destination is selected.
    [[nodiscard]] bool CanFinish() const;
    virtual void EnableTargetButtons(bool enable) = 0;
    // The GPS state monitor's fix class (0, 1 or 2); connected by the modes.
    virtual void OnFixClass(const int* fixClass) = 0;

    // The window of a control of the page; for the boxes the combo box's own window (its edit
    // field and list carry the same id).
    [[nodiscard]] HWND Item(UINT id) const;
    [[nodiscard]] CountryComboBox* GetCountryBox() const { return m_countryBox.get(); }
    [[nodiscard]] CityComboBox* GetCityBox() const { return m_cityBox.get(); }
    [[nodiscard]] StreetComboBox* GetStreetBox() const { return m_streetBox.get(); }
    [[nodiscard]] CategoryComboBox* GetCategoryBox() const { return m_categoryBox.get(); }

protected:
    virtual void CreateTargetButtons() = 0;
    virtual void SetFocusOrder() = 0;
    [[nodiscard]] ModeController* GetOwner() const { return m_owner; }
    // The fix class of the GPS state monitor now.
    [[nodiscard]] static int CurrentFixClass();

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnNoMapData(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    void OnCountryChosen();
    void OnCityChosen();
    void OnCityCloseUp();
    void OnCategoryChosen();
    void OnStreetChosen();
    void SaveAsPersonal();
    void TakeCurrentPosition();
    void TakePickedDestination();
    void OpenList(const std::u16string& section, UINT titleId, const char16_t* file);
    void EnableListButtons();
    void UpdateSaveAs();
    void DropDownStreetsWhenFilled();
    void EnableAndFocusStreetBox();
    void PageCommand(int code);

    OwnerHandlerList m_handlers;
    Onboard::OnboardServerPtr m_server;
    DestinationDescription* m_selection;
    ModeController* m_owner;
    HWND m_countryCombo = nullptr;
    HWND m_cityCombo = nullptr;
    HWND m_categoryCombo = nullptr;
    HWND m_streetCombo = nullptr;
    HWND m_houseNumberEdit = nullptr;
    std::unique_ptr<CountryComboBox> m_countryBox;
    std::unique_ptr<CityComboBox> m_cityBox;
    std::unique_ptr<StreetComboBox> m_streetBox;
    std::unique_ptr<CategoryComboBox> m_categoryBox;
    UINT m_ownerPageId;
    bool m_skipCloseUp = false;
    HWND m_tmcIndicator = nullptr;
    HWND m_gpsIndicator = nullptr;
    std::u16string m_pageName;
};

// The navigation mode's variant (page id 420): "Finish", "ShowOnMap", "Cancel".
class NavigMainPage final : public DestinationInputPage {
public:
    static constexpr UINT kPageId = 420;

    NavigMainPage(Onboard::OnboardServerPtr server, DestinationDescription* selection,
                  ModeController* owner, UINT ownerPageId);
    [[nodiscard]] UINT GetTitleId() override { return kPageId; }
    void EnableTargetButtons(bool enable) override;
    void OnFixClass(const int* fixClass) override;

private:
    void CreateTargetButtons() override;
    void SetFocusOrder() override;
};

// The tour mode's variant (page id 431): "TakeOn", "CurrentPos", "ShowOnMap", "Cancel".
class TourMainPage final : public DestinationInputPage {
public:
    static constexpr UINT kPageId = 431;

    TourMainPage(Onboard::OnboardServerPtr server, DestinationDescription* selection,
                 ModeController* owner, UINT ownerPageId);
    [[nodiscard]] UINT GetTitleId() override { return kPageId; }
    void EnableTargetButtons(bool enable) override;
    void OnFixClass(const int* fixClass) override;

private:
    void CreateTargetButtons() override;
    void SetFocusOrder() override;
};
