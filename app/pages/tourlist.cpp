#include "app/pages/tourlist.h"

#include "app/destinations/addresspage.h"
#include "app/destinations/destinationareas.h"
#include "app/destinations/locatedaddress.h"
#include "app/destinations/storeddestinationlist.h"
#include "app/destinations/uddrecord.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "routing/routepositionimpl.h"
#include "ui/customlistbox.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

constexpr float kTourNearDegrees = 0.0005f;
constexpr std::uint32_t kTourAnyLevel = 0xFFFFFFFFu;
constexpr std::uint32_t kTourNoElement = 0xFFFFFFFFu;
constexpr int kTourLabelMax = 255;

std::u16string LoadTourText(UINT id) {
    return LoadDialogString(id, static_cast<int>(kTourLabelMax));
}

bool IsTourBlank(char16_t c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0;
}

// The text before the white space in front of its last word; nullopt without white space.
bool CutLastWord(std::u16string& text) {
    std::size_t end = text.size();
    while (end > 0 && !IsTourBlank(text[end - 1]))
        --end;
    if (end == 0)
        return false;
    while (end > 0 && IsTourBlank(text[end - 1]))
        --end;
    text.resize(end);
    return !text.empty();
}

std::u16string JoinLines(const std::vector<std::u16string>& lines) {
    std::u16string text;
    for (const std::u16string& line : lines) {
        if (!text.empty())
            text += u'\n';
        text += line;
    }
    return text;
}

// text, " (qualifier)" and ", addition" where they are not empty: a line of an item.
std::u16string WithAdditions(const std::u16string& text, const std::u16string& qualifier,
                             const std::u16string& addition) {
    std::u16string line = text;
    if (!qualifier.empty())
        line += u" (" + qualifier + u")";
    if (!addition.empty())
        line += u", " + addition;
    return line;
}

std::int16_t HouseNumberValue(const HouseNumber& number) {
    return static_cast<std::int16_t>(number.GetNumber());
}

// The first city named place, as long as it (the search also gives longer names).
AddressResultPtr FindCityNamed(const RetrievalEngine::RetrievalEnginePtr& engine,
                               const std::u16string& place) {
    if (place.empty())
        return nullptr;
    for (AddressCursorPtr cities = engine->FindCities(place, 0); cities && cities->IsValid();
         cities->Next()) {
        AddressResultPtr city = cities->GetCurrent();
        if (city && city->GetName().size() == place.size())
            return city;
    }
    return nullptr;
}

// The list's drawing held while an object of this lives, then one redraw.
class HeldListDrawing {
public:
    explicit HeldListDrawing(HWND list)
        : m_list(list) {
        if (m_list != nullptr)
            SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    }
    ~HeldListDrawing() {
        if (m_list != nullptr)
            SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    }
    HeldListDrawing(const HeldListDrawing&) = delete;
    HeldListDrawing& operator=(const HeldListDrawing&) = delete;

private:
    HWND m_list;
};

} // namespace

bool HasStoredTourPoints() {
    const StoredDestinationList list(AppPaths::GetRoutePointsFilePath(), TourList::kSection);
    return !list.Records().empty();
}

TourList::TourList(Onboard::OnboardServerPtr server, ModeController* mode,
                   std::vector<DestinationEntry>* stops)
    : PageBase(u"TourList")
    , m_server(std::move(server))
    , m_mode(mode)
    , m_stops(stops) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &TourList::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &TourList::OnSize);
    ConnectMessageHandler(map, WM_COMMAND, this, &TourList::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &TourList::OnKeyDown);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &TourList::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &TourList::OnActivate);
}

TourList::~TourList() {
    if (HWND window = GetHwnd())
        DestroyWindow(window);
    if (m_listFont != nullptr)
        DeleteObject(m_listFont);
    m_listBox.reset();
    m_server.Release();
}

void TourList::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    CreateLabel(u"Title", kTitleLabelId, 0xFFFFFF, kTransparentBackground);
    m_listBox = std::make_unique<CustomListBox>(GetHwnd(), kListId, kListColour, 0);
    AddChild(u"Items", m_listBox->GetWindow());
    const struct {
        const char16_t* name;
        UINT id;
    } buttons[] = {{u"Calculate", kCalculateId}, {u"Input", kInputId},
                   {u"Delete", kDeleteId},       {u"MainMenu", kMainMenuId},
                   {u"NavStart", kNavStartId},   {u"DeleteAll", kDeleteAllId},
                   {u"MoveUp", kMoveUpId},       {u"MoveDown", kMoveDownId}};
    for (const auto& button : buttons)
        CreateControl(button.name, button.id, true, false, 0, 0);
    m_gpsIndicator = CreateGpsIndicator();
    m_tmcIndicator = CreateTmcIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    CreateLogoBox();
    m_focusList = {kListId,      kCalculateId, kNavStartId, kMainMenuId,
                   kDeleteAllId, kDeleteId,    kInputId};
    SetFocusId(kListId);
    UpdateButtons();
}

void TourList::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0 || !m_listBox)
        return;
    if (HWND title = GetDlgItem(GetHwnd(), static_cast<int>(kTitleLabelId)))
        SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(GetTitleFont()), TRUE);
    (void)ReplaceListFont(m_listBox->GetWindow(), -12, m_listFont);
    m_listBox->FitItemHeightToLines();
}

void TourList::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    PickedDestination::Instance().pending = 0;
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
        return;
    }
    switch (id) {
    case kCalculateId:
        if (m_mode != nullptr)
            m_mode->OnPageCommand(2, GetHwnd());
        break;
    case kInputId:
    case kOtherInputId:
        if (m_mode != nullptr)
            m_mode->OnPageCommand(6, GetHwnd());
        (void)ShowInputPanel(true);
        break;
    case kDeleteId:
        DeleteSelected();
        break;
    case kNavStartId:
        if (m_mode != nullptr) {
            m_mode->SetStopIndex(GetCurSel());
            m_mode->OnPageCommand(12, GetHwnd());
        }
        break;
    case kDeleteAllId:
        DeleteAll();
        break;
    case kMoveUpId:
        Move(-1);
        break;
    case kMoveDownId:
        Move(1);
        break;
    default:
        if (std::find(std::begin(kMainMenuIds), std::end(kMainMenuIds), id) !=
                std::end(kMainMenuIds) &&
            m_mode != nullptr)
            m_mode->Deactivate(0);
        break;
    }
}

void TourList::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam))
        return;
    switch (wParam) {
    case VK_ESCAPE:
        SendMessageW(GetHwnd(), WM_COMMAND, kInputId, 0);
        break;
    case VK_RETURN:
        if (IsControlEnabled(kInputId))
            SendMessageW(GetHwnd(), WM_COMMAND, kInputId, 0);
        break;
    case VK_TAB:
        MoveFocusNext(GetFocusId());
        break;
    case VK_UP:
        if (GetCount() > 0)
            Select(std::max(GetCurSel() - 1, 0));
        break;
    case VK_DOWN:
        if (GetCount() > 0)
            Select(std::min(GetCurSel() + 1, GetCount() - 1));
        break;
    default:
        break;
    }
}

void TourList::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    if (m_listBox)
        SetFocus(m_listBox->GetWindow());
}

void TourList::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    (void)ShowInputPanel(false);
    Select(m_shownCount - 1);
    UpdateButtons();
    if (state != WA_ACTIVE)
        return;
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor& monitor = TmcMonitor::Instance();
    monitor.SetOwnerWindow(m_tmcIndicator);
    *handled = monitor.BringVisibleDialogToFront();
}

bool TourList::MatchRecord(const std::u16string& record, DestinationEntry& stop,
                           std::u16string& text) {
    float x = 0.0f;
    float y = 0.0f;
    std::u16string placeLine, streetLine, place, street, extra, houseText;
    std::uint8_t userDefined = 0;
    (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra, houseText,
                           userDefined);
    text = placeLine + u"\n" + streetLine;
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if (!engine)
        return false;
    stop = DestinationEntry{};
    stop.name = place;
    if (userDefined == 0) {
        // A street not found is tried again without its last word, down to its first word;
        // then a city named like the place stands in for it.
        // The city search may answer with a street of another name: only the name counts.
        const auto find = [&](const std::u16string& text) {
            GeoMoleculePtr street = FindStreetNearPoint(m_server, x, y, text, place);
            return street && street->GetName() == text ? street : GeoMoleculePtr();
        };
        std::u16string streetText = street;
        GeoMoleculePtr found = find(streetText);
        while (!found && CutLastWord(streetText))
            found = find(streetText);
        (void)stop.houseNumber.Parse(reinterpret_cast<const WCHAR*>(houseText.c_str()));
        const std::int16_t number = HouseNumberValue(stop.houseNumber);
        if (found) {
            LocatedStreet address(found, stop.houseNumber);
            (void)m_server->CreateStreetDestination(stop.location, address, &number);
            stop.secondText = found->GetName();
        } else if (AddressResultPtr city = FindCityNamed(engine, place)) {
            LocatedCity address(city);
            (void)m_server->CreateStreetDestination(stop.location, address, &number);
            stop.secondText = city->GetName();
        }
        return static_cast<bool>(stop.location);
    }
    stop.secondText = street;
    stop.isPickedOnMap = 1;
    // The point of interest of the stored name near the point.
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(engine.Get());
    const GeoRect around(x - kTourNearDegrees, y - kTourNearDegrees, x + kTourNearDegrees,
                         y + kTourNearDegrees);
    for (ElementCursorPtr cursor = query != nullptr
                                       ? query->QueryArea(around, kTourAnyLevel, kTourAnyLevel)
                                       : ElementCursorPtr();
         cursor && cursor->IsValid(); cursor->Next()) {
        const std::uint32_t id = cursor->GetElementId();
        const std::uint16_t type = cursor->GetTypeCode();
        if (cursor->GetGeometryClass() != 0 || id == kTourNoElement ||
            type < maprecord::kFirstPoiType || type >= maprecord::kPoiTypeEnd)
            continue;
        six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
        const char16_t* name = element ? element->GetName() : nullptr;
        if (name != nullptr && street == name) {
            (void)m_server->CreateElementDestination(stop.location, &id);
            if (stop.location)
                return true;
        }
    }
    // Else the stored position itself; a position whose element cannot be fetched still makes
    // the stop, so that the records behind it load too.
    const GeoPoint point{x, y};
    (void)m_server->CreatePositionDestination(stop.location, &kTourNoElement, &point);
    if (!stop.location)
        return false;
    text += u"\n" + LoadTourText(kUserDefinedLabelId);
    return true;
}

void TourList::LoadTourPoints() {
    // The items are drawn once, when all are in.
    const HeldListDrawing held(m_listBox ? m_listBox->GetWindow() : nullptr);
    if (m_listBox)
        SendMessageW(m_listBox->GetWindow(), LB_RESETCONTENT, 0, 0);
    if (m_stops != nullptr)
        m_stops->clear();
    m_records.clear();
    const StoredDestinationList store(AppPaths::GetRoutePointsFilePath(), kSection);
    if (store.IsDamaged()) {
        store.ShowUnusableMessage(GetHwnd());
        m_shownCount = 0;
        UpdateButtons();
        return;
    }
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    bool removed = false;
    // The country lines of this load by country number: the stops mostly share one.
    std::map<std::uint16_t, std::u16string> countryNames;
    for (const std::u16string& record : store.Records()) {
        DestinationEntry stop;
        std::u16string text;
        if (!MatchRecord(record, stop, text)) {
            MsgBox message(kUnmatchedMessageId, text, u"MsgBox");
            (void)message.DoModal(GetHwnd());
            removed = true;
            continue;
        }
        // The country of the stop's element leads its item.
        const std::uint32_t id = stop.location->GetSingleElementId();
        six::IntfPtr<MapElement> element =
            id != kTourNoElement && engine ? engine->GetMappedElement(id) : nullptr;
        if (element) {
            const auto number = static_cast<std::uint16_t>(element->GetCountry());
            auto known = countryNames.find(number);
            if (known == countryNames.end()) {
                const CountryPtr country =
                    engine->GetCountry(number, static_cast<std::uint16_t>(m_server->GetLanguage()));
                known = countryNames.emplace(number, country ? country->GetName() : u"").first;
            }
            if (!known->second.empty())
                text = known->second + u"\n" + text;
        }
        InsertItem(GetCount(), text);
        if (m_stops != nullptr)
            m_stops->push_back(std::move(stop));
        m_records.push_back(record);
    }
    if (removed)
        WriteStore();
    m_shownCount = GetCount();
    Select(GetCount() > 0 ? 0 : -1);
    UpdateButtons();
}

bool TourList::AddTourPoint(const DestinationDescription& selection, int position) {
    PickedDestination& picked = PickedDestination::Instance();
    std::vector<std::u16string> lines;
    if (selection.country)
        lines.push_back(selection.country->GetName());
    const std::u16string cityName = selection.city ? selection.city->GetName() : u"";
    DestinationEntry stop;
    std::u16string houseText;
    std::u16string streetLine;
    if (picked.pending != 0) {
        stop.location = picked.destination;
        stop.name = picked.placeName;
        if (picked.named != 0)
            stop.secondText = picked.nameText;
        stop.isPickedOnMap = 1;
    } else if (selection.street && m_server) {
        houseText = selection.houseNumber;
        (void)stop.houseNumber.Parse(reinterpret_cast<const WCHAR*>(houseText.c_str()));
        const std::int16_t number = HouseNumberValue(stop.houseNumber);
        LocatedStreet address(selection.street, stop.houseNumber);
        (void)m_server->CreateStreetDestination(stop.location, address, &number);
        stop.name = cityName;
        stop.secondText = selection.street->GetName();
        streetLine = stop.secondText;
        if (!houseText.empty())
            streetLine += u" " + houseText;
    } else if (selection.city && m_server) {
        const std::int16_t number = 0;
        LocatedCity address(selection.city);
        (void)m_server->CreateStreetDestination(stop.location, address, &number);
        stop.name = cityName;
        stop.secondText = cityName;
        // The place stands in its own street line, as the stored record gives it back.
        streetLine = stop.secondText;
    }
    if (!stop.location || m_stops == nullptr)
        return false;
    SetQualifiers(stop, selection.city, picked.pending != 0 ? nullptr : selection.street);
    // The lines show the additions and qualifiers as the stored record gives them back.
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    const DestinationAdditions additions = AdditionsOf(engine.Get(), stop);
    if (selection.city)
        lines.push_back(WithAdditions(cityName, stop.placeQualifier, additions.place));
    if (picked.pending != 0) {
        if (picked.named != 0)
            lines.push_back(picked.nameText);
        lines.push_back(LoadTourText(kUserDefinedLabelId));
    } else if (!streetLine.empty()) {
        lines.push_back(WithAdditions(streetLine, stop.streetQualifier, additions.street));
    }
    const std::u16string record = DestinationRecord(stop, houseText, additions);
    const std::u16string text = JoinLines(lines);
    const int count = static_cast<int>(m_stops->size());
    if (position < 0 || position >= count) {
        m_stops->push_back(std::move(stop));
        m_records.push_back(record);
        InsertItem(GetCount(), text);
        m_shownCount = static_cast<int>(m_stops->size());
    } else {
        const auto at_index = static_cast<std::size_t>(position);
        (*m_stops)[at_index] = std::move(stop);
        if (at_index < m_records.size())
            m_records[at_index] = record;
        DeleteItem(position);
        InsertItem(position, text);
        m_shownCount = position + 1;
    }
    Select(m_shownCount - 1);
    WriteStore();
    UpdateButtons();
    return true;
}

void TourList::DeleteSelected() {
    const int selected = GetCurSel();
    if (selected < 0 || selected >= GetCount())
        return;
    DeleteItem(selected);
    if (m_stops != nullptr && !m_stops->empty()) {
        const std::size_t index = std::min(static_cast<std::size_t>(selected), m_stops->size() - 1);
        m_stops->erase(m_stops->begin() + static_cast<std::ptrdiff_t>(index));
    }
    if (static_cast<std::size_t>(selected) < m_records.size())
        m_records.erase(m_records.begin() + selected);
    WriteStore();
    m_shownCount = GetCount();
    Select(selected < GetCount() ? selected : GetCount() - 1);
    UpdateButtons();
}

void TourList::DeleteAll() {
    YesNoDlg question(kDeleteAllQuestionId);
    if (question.DoModal(GetHwnd()) != 1)
        return;
    if (m_listBox)
        SendMessageW(m_listBox->GetWindow(), LB_RESETCONTENT, 0, 0);
    if (m_stops != nullptr)
        m_stops->clear();
    m_records.clear();
    WriteStore();
    m_shownCount = 0;
    UpdateButtons();
}

void TourList::Move(int step) {
    const int count = GetCount();
    const int selected = GetCurSel();
    const int target = selected + step;
    if (count < 2 || selected < 0 || target < 0 || target >= count)
        return;
    const std::u16string text = m_listBox->GetText(selected);
    DeleteItem(selected);
    InsertItem(target, text);
    Select(target);
    if (m_stops != nullptr &&
        static_cast<std::size_t>(std::max(selected, target)) < m_stops->size())
        std::swap((*m_stops)[static_cast<std::size_t>(selected)],
                  (*m_stops)[static_cast<std::size_t>(target)]);
    if (static_cast<std::size_t>(std::max(selected, target)) < m_records.size()) {
        std::swap(m_records[static_cast<std::size_t>(selected)],
                  m_records[static_cast<std::size_t>(target)]);
        WriteStore();
    }
}

void TourList::UpdateButtons() {
    const int count = GetCount();
    EnableControl(kDeleteId, count >= 1);
    EnableControl(kNavStartId, count >= 1);
    EnableControl(kDeleteAllId, count >= 1);
    EnableControl(kCalculateId, count >= 2);
}

void TourList::WriteStore() {
    StoredDestinationList store(AppPaths::GetRoutePointsFilePath(), kSection);
    if (!store.Replace(m_records))
        store.ShowUnusableMessage(GetHwnd());
}

// The rows stay as high as the lines of the stop with the most lines (two or three).
void TourList::InsertItem(int index, const std::u16string& text) {
    if (!m_listBox)
        return;
    SendMessageW(m_listBox->GetWindow(), LB_INSERTSTRING, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
    m_listBox->FitItemHeightToLines();
}

void TourList::DeleteItem(int index) {
    if (!m_listBox)
        return;
    SendMessageW(m_listBox->GetWindow(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    m_listBox->FitItemHeightToLines();
}

void TourList::Select(int index) {
    if (m_listBox)
        SendMessageW(m_listBox->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int TourList::GetCurSel() const {
    return m_listBox ? static_cast<int>(SendMessageW(m_listBox->GetWindow(), LB_GETCURSEL, 0, 0))
                     : -1;
}

int TourList::GetCount() const {
    return m_listBox ? m_listBox->GetCount() : 0;
}
