#include "app/destinations/destinationinputpage.h"

#include "app/destinations/addresspage.h"
#include "app/destinations/uddrecord.h"
#include "app/modeinterface/modecontroller.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

constexpr COLORREF kLabelColour = 0xFFFFFF;
constexpr WORD kEditChange = 5;      // CBN_EDITCHANGE
constexpr WORD kSelectionEnd = 9;    // CBN_SELENDOK
constexpr WORD kSelectionChange = 1; // CBN_SELCHANGE
constexpr WORD kBoxFocus = 3;        // CBN_SETFOCUS
constexpr WORD kCloseUp = 10;        // CBN_SELENDCANCEL
constexpr WORD kTextChange = 0x300;  // EN_CHANGE
constexpr int kFixClassForPosition = 2;
constexpr std::uint32_t kInputStreetAreaLevel = 2;
constexpr unsigned short kLowestHouseNumber = 1;
constexpr unsigned short kHighestHouseNumber = 65534;
constexpr std::size_t kMaxHouseNumberText = 31;
constexpr int kInputLabelTextMax = 255;

constexpr int kCommandFinish = 2;
constexpr int kCommandTakeOn = 5;
constexpr int kCommandShowOnMap = 7;
constexpr int kCommandContacts = 14;
constexpr int kCommandTourCancel = 11;

// Removes the wait cursor when it is the current one.
void RestoreCursor() {
    if (GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT))) {
        (void)SetCursor(nullptr);
    }
}

int Count(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
}
int CurSel(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

std::u16string LoadLabel(UINT id) {
    return LoadDialogString(id, static_cast<int>(kInputLabelTextMax));
}

void ClearPicked() {
    PickedDestination::Instance().pending = 0;
}

// The first house number of the element: of its first list, else of its second, when valid.
std::u16string FirstHouseNumber(MapElement& element) {
    HouseNumberInfo info;
    if (!element.GetHouseNumberInfo(info)) {
        return {};
    }
    for (const HouseNumberArray* side : {&info.firstSide, &info.secondSide}) {
        if (side->IsEmpty()) {
            continue;
        }
        const unsigned short number = (*side)[0].GetNumber();
        if (number >= kLowestHouseNumber && number <= kHighestHouseNumber) {
            const std::string digits = std::to_string(number);
            return std::u16string(digits.begin(), digits.end());
        }
    }
    return {};
}

} // namespace

DestinationInputPage::DestinationInputPage(const std::u16string& pageName,
                                           Onboard::OnboardServerPtr server,
                                           DestinationDescription* selection, ModeController* owner,
                                           UINT ownerPageId)
    : PageBase(pageName)
    , m_server(std::move(server))
    , m_selection(selection)
    , m_owner(owner)
    , m_ownerPageId(ownerPageId)
    , m_pageName(pageName) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &DestinationInputPage::OnCreate);
    ConnectMessageHandler(map, WM_COMMAND, this, &DestinationInputPage::OnCommand);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &DestinationInputPage::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &DestinationInputPage::OnActivate);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &DestinationInputPage::OnKeyDown);
    ConnectMessageHandler(map, kNoMapDataMessage, this, &DestinationInputPage::OnNoMapData);
}

DestinationInputPage::~DestinationInputPage() {
    m_countryBox.reset();
    m_cityBox.reset();
    m_streetBox.reset();
    m_categoryBox.reset();
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
}

HWND DestinationInputPage::Item(UINT id) const {
    switch (id) {
    case kCountryBoxId:
        return m_countryCombo;
    case kCityBoxId:
        return m_cityCombo;
    case kCategoryBoxId:
        return m_categoryCombo;
    case kStreetBoxId:
        return m_streetCombo;
    case kHouseNumberId:
        return m_houseNumberEdit;
    default:
        return GetDlgItem(GetHwnd(), static_cast<int>(id));
    }
}

int DestinationInputPage::CurrentFixClass() {
    return GpsStateMonitor::Instance().GetFixClass();
}

void DestinationInputPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    HWND countryLabel =
        CreateLabel(u"CountryStatic", kCountryLabelId, kLabelColour, kTransparentBackground);
    HWND countryCombo = CreateControl(u"CountryCb", kCountryBoxId, true, false, 0, 0);
    m_countryCombo = countryCombo;
    m_countryBox = std::make_unique<CountryComboBox>(countryCombo, m_server);
    m_countryBox->Fill();
    if (m_countryBox->GetCount() == 0) {
        EnableWindow(countryLabel, FALSE);
        EnableWindow(countryCombo, FALSE);
    } else {
        m_countryBox->AddNames(0);
        // The box keeps no selection made before its names were added: select again.
        const std::u16string settings = AppPaths::GetSettingsFilePath();
        m_countryBox->SelectByNumber(static_cast<std::uint16_t>(
            IniProfile::GetInt(u"Preferences", u"LastKnownCountry", settings.c_str(), 0)));
        CountryPtr country;
        if (m_countryBox->GetAt(CurSel(countryCombo), country)) {
            m_selection->country = country;
        }
    }

    (void)CreateLabel(u"CityStatic", kCityLabelId, kLabelColour, kTransparentBackground);
    HWND cityCombo = CreateControl(u"CityCb", kCityBoxId, true, false, 0, 0);
    m_cityCombo = cityCombo;
    m_cityBox = std::make_unique<CityComboBox>(cityCombo, m_server, &m_selection->country);
    (void)CreateLabel(u"TypeStatic", kCategoryLabelId, kLabelColour, kTransparentBackground);
    HWND categoryCombo = CreateControl(u"TypeCb", kCategoryBoxId, true, false, 0, 0);
    m_categoryCombo = categoryCombo;
    m_categoryBox = std::make_unique<CategoryComboBox>(categoryCombo, m_server);
    LoadPoiCategories(m_categoryBox->Categories(), m_server ? m_server->GetLanguage() : 0);
    m_categoryBox->AddNames(0);

    (void)CreateLabel(u"StreetStatic", kStreetLabelId, kLabelColour, kTransparentBackground);
    HWND streetCombo = CreateControl(u"StreetCb", kStreetBoxId, true, false, 0, 0);
    m_streetCombo = streetCombo;
    EnableWindow(streetCombo, FALSE);
    (void)CreateLabel(u"HNumStatic", kHouseNumberLabelId, kLabelColour, kTransparentBackground);
    HWND houseNumber = CreateControl(u"HNum", kHouseNumberId, true, false, 0, 0);
    m_houseNumberEdit = houseNumber;
    m_streetBox =
        std::make_unique<StreetComboBox>(streetCombo, houseNumber, m_server, &m_selection->city);

    CreateControl(u"Recent", kRecentId, true, false, 0, 0);
    CreateControl(u"Personal", kPersonalId, true, false, 0, 0);
    CreateControl(u"MapSpec", kMapSpecificId, true, false, 0, 0);
    CreateControl(u"SaveAs", kSaveAsId, true, false, 0, 0);
    CreateControl(u"ExtContact", kContactId, true, false, 0, 0);
    EnableListButtons();
    EnableControl(kSaveAsId, false);

    m_tmcIndicator = CreateTmcIndicator();
    m_gpsIndicator = CreateGpsIndicator();
    CreateLogoBox();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);

    m_cityBox->SetSingle(m_selection->city);
    if (m_selection->city) {
        OnCityChosen();
    }
    OnCategoryChosen();
    CreateTargetButtons();
    SetFocusOrder();
    EnableTargetButtons(static_cast<bool>(m_selection->city));

    // Without a map set no box can be filled; the message waits until the page shows. A map set
    // that is there but did not open had its damaged file named already: the data is not
    // missing then.
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if ((!engine || !engine->IsOpen()) && !HasNamedFileThisRun()) {
        (void)PostMessageW(GetHwnd(), kNoMapDataMessage, 0, 0);
    }
}

void DestinationInputPage::OnNoMapData(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    // The box draws no background of its own: the page and its controls are painted before it
    // comes up, and wholly again after it, so that none of its text stays on the empty boxes.
    (void)RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    NoDatasetsMsgBox noMapData;
    (void)noMapData.DoModal(GetHwnd());
    (void)RedrawWindow(GetHwnd(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void DestinationInputPage::EnableListButtons() {
    if (m_owner == nullptr) {
        return;
    }
    EnableControl(kRecentId, m_owner->HasRecent());
    EnableControl(kPersonalId, m_owner->HasPersonal());
    EnableControl(kMapSpecificId, m_owner->HasMapSpecific(GetMapSpecificListPath(m_server)));
}

void DestinationInputPage::UpdateSaveAs() {
    EnableControl(kSaveAsId, CanFinish());
}

void DestinationInputPage::DropDownStreetsWhenFilled() {
    HWND streets = Item(kStreetBoxId);
    if (Count(streets) > 0) {
        SendMessageW(streets, CB_SHOWDROPDOWN, 1, 0);
    }
}

void DestinationInputPage::EnableAndFocusStreetBox() {
    HWND streets = Item(kStreetBoxId);
    EnableWindow(streets, TRUE);
    SetFocus(streets);
}

void DestinationInputPage::PageCommand(int code) {
    if (m_owner != nullptr) {
        m_owner->OnPageCommand(code, GetHwnd());
    }
}

void DestinationInputPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const WORD code = HIWORD(static_cast<DWORD>(wParam));
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
        if (id == kCityBoxId) {
            OnCityChosen();
        }
        return;
    }
    switch (id) {
    case kCityBoxId:
        if (code == kEditChange) {
            // The city typed is the user's: its close-up is not the one "CurrentPos" skips.
            m_skipCloseUp = false;
            m_cityBox->Complete();
        } else if (code == kSelectionEnd) {
            OnCityChosen();
            DropDownStreetsWhenFilled();
        } else if (code == kSelectionChange) {
            m_cityBox->LoadMoreIfLast();
        } else if (code == kBoxFocus) {
            SetFocusId(kCityBoxId);
        } else if (code == kCloseUp) {
            OnCityCloseUp();
        }
        UpdateSaveAs();
        return;
    case kStreetBoxId:
        if (code == kEditChange) {
            m_streetBox->Complete();
        } else if (code == kSelectionEnd) {
            OnStreetChosen();
        } else if (code == kSelectionChange) {
            m_streetBox->LoadMoreIfLast();
        } else if (code == kBoxFocus) {
            SetFocusId(kStreetBoxId);
        }
        UpdateSaveAs();
        return;
    case kHouseNumberId:
        if (code == kTextChange) {
            char16_t text[kMaxHouseNumberText + 1] = {};
            const int length = GetWindowTextW(Item(kHouseNumberId), text,
                                              static_cast<int>(kMaxHouseNumberText + 1));
            m_selection->houseNumber.assign(
                text, static_cast<std::size_t>(
                          std::clamp(length, 0, static_cast<int>(kMaxHouseNumberText))));
        }
        return;
    case kCategoryBoxId:
        if (code == kSelectionEnd) {
            OnCategoryChosen();
            DropDownStreetsWhenFilled();
        } else if (code == kSelectionChange) {
            m_categoryBox->LoadMoreIfLast();
        } else if (code == kBoxFocus) {
            SetFocusId(kStreetBoxId);
        }
        return;
    case kCountryBoxId:
        if (code == kSelectionEnd) {
            OnCountryChosen();
        }
        return;
    case kRecentId:
        OpenList(u"Recent", 103, nullptr);
        return;
    case kPersonalId:
        OpenList(u"Personal", 521, nullptr);
        return;
    case kMapSpecificId: {
        const std::u16string file = GetMapSpecificListPath(m_server);
        OpenList(u"MapSpecific", 525, file.c_str());
        return;
    }
    case kSaveAsId:
        SaveAsPersonal();
        return;
    case kContactId:
        (void)ShowInputPanel(false);
        EnableAndFocusStreetBox();
        PageCommand(kCommandContacts);
        return;
    case kCurrentPosId:
        RestoreCursor();
        ClearPicked();
        EnableAndFocusStreetBox();
        TakeCurrentPosition();
        return;
    case kFinishId:
    case kOtherFinishId:
        RestoreCursor();
        PageCommand(kCommandFinish);
        return;
    case kTakeOnId:
        RestoreCursor();
        PageCommand(kCommandTakeOn);
        return;
    case kShowOnMapId:
        RestoreCursor();
        PageCommand(kCommandShowOnMap);
        return;
    case kPageCommandOneId:
        RestoreCursor();
        PageCommand(1);
        return;
    case kPageCommandZeroId:
        RestoreCursor();
        PageCommand(0);
        return;
    case kTourCancelId:
        RestoreCursor();
        ClearPicked();
        PageCommand(kCommandTourCancel);
        return;
    case kNavCancelId:
    case kOtherCancelIds[0]:
    case kOtherCancelIds[1]:
        RestoreCursor();
        ClearPicked();
        if (m_owner != nullptr) {
            m_owner->Deactivate(0);
        }
        return;
    default:
        return;
    }
}

void DestinationInputPage::OpenList(const std::u16string& section, UINT titleId,
                                    const char16_t* file) {
    (void)ShowInputPanel(false);
    EnableAndFocusStreetBox();
    if (OpenStoredList(*m_selection, m_server, section, titleId, m_ownerPageId, file)) {
        ShowSelection();
    } else if (!CanFinish()) {
        SetFocus(Item(kCityBoxId));
    }
}

void DestinationInputPage::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (HWND item = Item(GetFocusId())) {
        SetFocus(item);
    }
}

void DestinationInputPage::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    if (state != WA_ACTIVE && state != WA_CLICKACTIVE) {
        return;
    }
    EnableListButtons();
    if (PickedDestination::Instance().pending != 0) {
        TakePickedDestination();
    }
    if (state == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        *handled = monitor.BringVisibleDialogToFront();
    }
}

void DestinationInputPage::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam) || wParam != VK_RETURN) {
        return;
    }
    if (GetFocusId() == kCityBoxId) {
        OnCityCloseUp();
    } else if (GetFocusId() == kStreetBoxId) {
        HWND streets = Item(kStreetBoxId);
        if (Count(streets) > 0 && CurSel(streets) < 0) {
            SendMessageW(streets, CB_SETCURSEL, 0, 0);
            OnStreetChosen();
            UpdateSaveAs();
        }
    }
}

void DestinationInputPage::OnCountryChosen() {
    CountryPtr country;
    if (m_countryBox->GetAt(CurSel(Item(kCountryBoxId)), country)) {
        m_selection->country = country;
        m_countryBox->SelectByNumber(country->GetNumber());
    }
    m_selection->city = AddressResultPtr();
    m_streetBox->Clear();
    SendMessageW(Item(kStreetBoxId), CB_RESETCONTENT, 0, 0);
    m_cityBox->Clear();
    HWND cities = Item(kCityBoxId);
    SendMessageW(cities, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(cities, u"");
    OnCityChosen();
}

void DestinationInputPage::OnCityChosen() {
    (void)SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT)));
    m_selection->street = GeoMoleculePtr();
    m_selection->city = AddressResultPtr();
    m_selection->location = RoutePositionPtr();
    const int selected = CurSel(Item(kCityBoxId));
    AddressResultPtr city;
    if (selected >= 0 && m_cityBox->GetAt(selected, city)) {
        m_selection->city = city;
    }
    m_streetBox->Reset();
    EnableTargetButtons(static_cast<bool>(m_selection->city));
    (void)ShowCursor(FALSE);
    ClearPicked();
}

void DestinationInputPage::OnCityCloseUp() {
    if (m_skipCloseUp) {
        m_skipCloseUp = false;
        return;
    }
    HWND cities = Item(kCityBoxId);
    if (Count(cities) == 0) {
        return;
    }
    if (CurSel(cities) < 0) {
        SendMessageW(cities, CB_SETCURSEL, 0, 0);
    }
    OnCityChosen();
    DropDownStreetsWhenFilled();
}

void DestinationInputPage::OnCategoryChosen() {
    m_selection->location = RoutePositionPtr();
    m_selection->street = GeoMoleculePtr();
    const int selected = CurSel(Item(kCategoryBoxId));
    const std::vector<PoiCategory>& categories = m_categoryBox->Categories();
    if (selected >= 0 && static_cast<std::size_t>(selected) < categories.size()) {
        m_streetBox->Category() = categories[static_cast<std::size_t>(selected)];
    }
    m_streetBox->Reset();
    EnableTargetButtons(static_cast<bool>(m_selection->city));
}

void DestinationInputPage::OnStreetChosen() {
    const int selected = CurSel(Item(kStreetBoxId));
    HWND houseNumber = Item(kHouseNumberId);
    if (selected >= 0 && (m_streetBox->HasCursor() || m_selection->street)) {
        GeoMoleculePtr street;
        if (m_streetBox->GetAt(selected, street)) {
            m_selection->street = street;
        }
        EnableTargetButtons(true);
        const bool hasNumbers = m_selection->street && m_selection->street->HasHouseNumbers();
        EnableWindow(houseNumber, hasNumbers ? TRUE : FALSE);
        if (hasNumbers) {
            SetFocus(houseNumber);
        }
    } else {
        EnableTargetButtons(static_cast<bool>(m_selection->city));
        EnableWindow(houseNumber, FALSE);
    }
    ClearPicked();
}

bool DestinationInputPage::CanFinish() const {
    return static_cast<bool>(m_selection->city) || static_cast<bool>(m_selection->location);
}

void DestinationInputPage::ShowSelection() {
    ScopedWaitCursor busy;
    HWND streets = Item(kStreetBoxId);
    HWND houseNumber = Item(kHouseNumberId);
    DestinationDescription& selection = *m_selection;
    const bool isPointPending =
        PickedDestination::Instance().pending != 0 || static_cast<bool>(selection.location);
    if (isPointPending && selection.city) {
        m_cityBox->SetSingle(selection.city);
        const std::u16string text = selection.houseNumber;
        SetWindowTextW(streets, LoadLabel(kPointLabelId).c_str());
        SetWindowTextW(houseNumber, text.c_str());
        EnableWindow(streets, FALSE);
        EnableWindow(houseNumber, FALSE);
        EnableTargetButtons(true);
    } else if (selection.street && selection.city) {
        const std::u16string text = selection.houseNumber;
        m_cityBox->SetSingle(selection.city);
        m_streetBox->SetSingle(selection.street);
        selection.location = RoutePositionPtr();
        EnableAndFocusStreetBox();
        OnStreetChosen();
        SetWindowTextW(houseNumber, text.c_str());
        selection.houseNumber = text;
        EnableTargetButtons(static_cast<bool>(selection.city));
    } else if (selection.city) {
        EnableWindow(streets, FALSE);
        m_cityBox->SetSingle(selection.city);
        OnCityChosen();
    }
    if (selection.country) {
        m_countryBox->SelectByNumber(selection.country->GetNumber());
    }
    UpdateSaveAs();
}

void DestinationInputPage::ClearSelection() {
    m_selection->city = AddressResultPtr();
    for (const UINT id : {kStreetBoxId, kCityBoxId}) {
        HWND box = Item(id);
        SendMessageW(box, CB_RESETCONTENT, 0, 0);
        SetWindowTextW(box, u"");
    }
    // The boxes come with the window; a page not shown yet has none.
    if (m_streetBox)
        m_streetBox->Clear();
    if (m_cityBox)
        m_cityBox->Clear();
    SetWindowTextW(Item(kHouseNumberId), u"");
    SetFocus(Item(kCityBoxId));
    EnableTargetButtons(false);
    ClearPicked();
}

void DestinationInputPage::SaveAsPersonal() {
    if (m_owner != nullptr) {
        m_owner->AddDestinationToList(u"Personal", kPersonalListSize);
    }
    DestSavedMsgBox saved;
    (void)saved.DoModal(GetHwnd());
    EnableControl(kPersonalId, true);
}

void DestinationInputPage::TakeCurrentPosition() {
    m_skipCloseUp = true;
    const MatchedPosition* position = m_owner != nullptr ? m_owner->GetPositionRecord() : nullptr;
    const std::int32_t elementId = position != nullptr ? position->street : -1;
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    six::IntfPtr<MapElement> element;
    if (elementId != -1 && engine) {
        element = engine->GetMappedElement(static_cast<std::uint32_t>(elementId));
    }
    if (!element) {
        m_selection->city = AddressResultPtr();
        m_selection->street = GeoMoleculePtr();
        ShowSelection();
        return;
    }
    const char16_t* name = element->GetName();
    const std::u16string streetName = name != nullptr ? name : u"";
    const std::int32_t area = element->WalkAreas(kInputStreetAreaLevel);
    const std::u16string areaName =
        area >= 0 ? engine->LookupArea(static_cast<std::uint32_t>(area)) : std::u16string();
    const GeoMoleculePtr street = FindStreetNearPoint(m_server, position->matched.x,
                                                      position->matched.y, streetName, areaName);
    const AddressCursorPtr cities = engine->FindCities(areaName, 0);
    const AddressResultPtr city =
        cities && cities->IsValid() ? cities->GetCurrent() : AddressResultPtr();
    m_selection->houseNumber.clear();
    if (!street) {
        if (city) {
            m_selection->city = city;
        }
        ShowSelection();
        return;
    }
    if (city && city->GetName().size() == areaName.size()) {
        if (street->HasHouseNumbers()) {
            m_selection->houseNumber = FirstHouseNumber(*element);
        }
        m_selection->city = city;
        m_selection->street = street;
    }
    ShowSelection();
}

void DestinationInputPage::TakePickedDestination() {
    PickedDestination& picked = PickedDestination::Instance();
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if (picked.placeName.empty() || !engine || !picked.destination) {
        return;
    }
    six::IntfPtr<MapElement> element =
        engine->GetMappedElement(picked.destination->GetSingleElementId());
    if (!element) {
        return;
    }
    std::int32_t areas[3] = {};
    for (std::uint32_t level = 0; level < 3; ++level) {
        areas[level] = element->WalkAreas(level);
    }
    AddressResultPtr found;
    for (AddressCursorPtr cursor = engine->FindCities(picked.placeName, 0);
         cursor && cursor->IsValid(); cursor->Next()) {
        AddressResultPtr city = cursor->GetCurrent();
        if (!city || city->GetName().size() != picked.placeName.size()) {
            continue;
        }
        const std::int32_t cityArea = city->GetAreaId();
        if (cityArea == areas[1] || cityArea == areas[2] || cityArea == areas[0]) {
            found = city;
            break;
        }
    }
    if (!found) {
        return;
    }
    m_selection->city = found;
    six::IntfPtr<MapElement> cityElement = engine->GetMappedElement(found->GetElementId());
    if (cityElement) {
        m_selection->country =
            engine->GetCountry(static_cast<std::uint16_t>(cityElement->GetCountry()),
                               static_cast<std::uint16_t>(m_server->GetLanguage()));
    }
    m_selection->street = GeoMoleculePtr();
    m_selection->houseNumber.clear();
    m_selection->location = picked.destination;
    ShowSelection();
}

NavigMainPage::NavigMainPage(Onboard::OnboardServerPtr server, DestinationDescription* selection,
                             ModeController* owner, UINT ownerPageId)
    : DestinationInputPage(u"NavigMainPage", std::move(server), selection, owner, ownerPageId) {}

void NavigMainPage::CreateTargetButtons() {
    (void)CreateLabel(u"Ziel", kTargetLabelId, kLabelColour, kTransparentBackground);
    CreateControl(u"Finish", kFinishId, true, false, 0, 0);
    CreateControl(u"ShowOnMap", kShowOnMapId, true, false, 0, 0);
    CreateControl(u"Cancel", kNavCancelId, true, false, 0, 0);
}

void NavigMainPage::SetFocusOrder() {
    m_focusList = {kCityBoxId, kCategoryBoxId, kStreetBoxId, kHouseNumberId,
                   kFinishId,  kShowOnMapId,   kNavCancelId, kSaveAsId,
                   kContactId, kPersonalId,    kRecentId,    kNoControlFocusId};
    SetFocusId(kCityBoxId);
}

void NavigMainPage::EnableTargetButtons(bool enable) {
    EnableControl(kFinishId, enable);
    EnableControl(kShowOnMapId, enable);
}

void NavigMainPage::OnFixClass(const int* fixClass) {
    if (fixClass == nullptr) {
        return;
    }
    if (*fixClass >= kFixClassForPosition) {
        EnableTargetButtons(CanFinish());
        EnableControl(kCurrentPosId, true);
    } else {
        EnableControl(kCurrentPosId, false);
        EnableControl(kFinishId, CanFinish());
    }
}

TourMainPage::TourMainPage(Onboard::OnboardServerPtr server, DestinationDescription* selection,
                           ModeController* owner, UINT ownerPageId)
    : DestinationInputPage(u"TourMainPage", std::move(server), selection, owner, ownerPageId) {}

void TourMainPage::CreateTargetButtons() {
    (void)CreateLabel(u"Ziel", kTargetLabelId, kLabelColour, kTransparentBackground);
    CreateControl(u"TakeOn", kTakeOnId, true, false, 0, 0);
    CreateControl(u"CurrentPos", kCurrentPosId, true, false, 0, 0);
    CreateControl(u"ShowOnMap", kShowOnMapId, true, false, 0, 0);
    CreateControl(u"Cancel", kTourCancelId, true, false, 0, 0);
}

void TourMainPage::SetFocusOrder() {
    m_focusList = {kCityBoxId,   kCategoryBoxId, kStreetBoxId,     kHouseNumberId, kTakeOnId,
                   kShowOnMapId, kCurrentPosId,  kNavCancelId,     kRecentId,      kPersonalId,
                   kContactId,   kSaveAsId,      kNoControlFocusId};
    SetFocusId(kCityBoxId);
}

void TourMainPage::EnableTargetButtons(bool enable) {
    EnableControl(kCurrentPosId, CurrentFixClass() >= kFixClassForPosition);
    EnableControl(kTakeOnId, enable);
    EnableControl(kShowOnMapId, enable);
}

void TourMainPage::OnFixClass(const int* fixClass) {
    if (fixClass != nullptr) {
        EnableControl(kCurrentPosId, *fixClass >= kFixClassForPosition);
    }
}
