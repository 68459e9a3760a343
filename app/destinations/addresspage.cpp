#include "app/destinations/addresspage.h"

#include "app/destinations/uddrecord.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "ui/customlistbox.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr float kNearPointDegrees = 0.0005f;
constexpr std::uint32_t kAnyLevel = 0xFFFFFFFFu;
constexpr std::uint32_t kNoElement = 0xFFFFFFFFu;
// Elements from this type code on give no country to an entry's first line.
constexpr std::uint16_t kFirstTypeWithoutCountry = 1401;
constexpr int kUserDefinedLineCount = 4;
constexpr int kLabelTextMax = 255;
// Pixels of one text line of the list's font, and the margin above and below an entry's text.
constexpr int kListLineHeight = 14;
constexpr int kTextInsetX = 8;
constexpr int kTextInsetY = 2;
constexpr DWORD kSubitemPrePaint = CDDS_ITEMPREPAINT | CDDS_SUBITEM;

GeoRect RectAround(float x, float y) {
    return GeoRect(x - kNearPointDegrees, y - kNearPointDegrees, x + kNearPointDegrees,
                   y + kNearPointDegrees);
}

ElementCursorPtr QueryNear(const RetrievalEngine::RetrievalEnginePtr& engine, float x, float y) {
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(engine.Get());
    return query != nullptr ? query->QueryArea(RectAround(x, y), kAnyLevel, kAnyLevel)
                            : ElementCursorPtr();
}

std::u16string LoadText(UINT id, int maxCharacters) {
    return LoadDialogString(id, static_cast<int>(maxCharacters));
}

int LinesOf(std::u16string_view text) {
    return static_cast<int>(std::count(text.begin(), text.end(), u'\n')) + 1;
}

bool IsBlankCharacter(char16_t c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0;
}

// The text before the white space in front of the last word; empty at the start of the text.
std::u16string WithoutLastWord(const std::u16string& text) {
    std::size_t end = text.size();
    while (end > 0 && !IsBlankCharacter(text[end - 1])) {
        --end;
    }
    return end == 0 ? std::u16string() : text.substr(0, end - 1);
}

} // namespace

PickedDestination& PickedDestination::Instance() {
    static PickedDestination picked;
    return picked;
}

AddressPage::AddressPage(Onboard::OnboardServerPtr server, std::u16string section, UINT titleId,
                         UINT ownerPageId, const char16_t* file)
    : PageBase(u"AddressPage")
    , m_server(std::move(server))
    , m_section(std::move(section))
    , m_file(file != nullptr ? file : u"")
    , m_titleId(titleId)
    , m_ownerPageId(ownerPageId)
    , m_separatorPen(CreatePen(PS_SOLID, 1, kSeparatorColour)) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &AddressPage::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &AddressPage::OnSize);
    ConnectMessageHandler(map, WM_COMMAND, this, &AddressPage::OnCommand);
    ConnectMessageHandler(map, WM_NOTIFY, this, &AddressPage::OnNotify);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &AddressPage::OnKeyDown);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &AddressPage::OnSetFocus);
    ConnectMessageHandler(map, WM_DRAWITEM, this, &AddressPage::OnDrawItem);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &AddressPage::OnActivate);
}

AddressPage::~AddressPage() {
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
    m_listBox.reset();
    if (m_listFont != nullptr) {
        DeleteObject(m_listFont);
    }
    if (m_separatorPen != nullptr) {
        DeleteObject(m_separatorPen);
    }
}

void AddressPage::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    HWND window = GetHwnd();
    (void)CreateLabel(u"Title", m_titleId, 0xFFFFFF, kTransparentBackground);
    m_listBox = std::make_unique<CustomListBox>(window, kListId, kListColour, LBS_OWNERDRAWFIXED);
    m_listBox->SetItemHeight(m_lineCount * kListLineHeight + 2 * kTextInsetY);
    AddChild(u"Items", m_listBox->GetWindow());
    CreateControl(u"Delete", kDeleteId, true, false, 0, 0);
    CreateControl(u"Cancel", kCancelId, true, false, 0, 0);
    CreateControl(u"OK", kOkId, true, false, 0, 0);
    CreateLogoBox();
    m_gpsIndicator = CreateGpsIndicator();
    m_tmcIndicator = CreateTmcIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    m_focusList = {kListId, kDeleteId, kOkId, kCancelId};
    SetFocusId(kListId);
}

void AddressPage::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0) {
        return;
    }
    if (HWND title = GetDlgItem(GetHwnd(), kTitleLabelId)) {
        SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(GetControlFont()), TRUE);
    }
    if (!m_listBox || m_listFont != nullptr) {
        return;
    }
    m_listFont = CreateListFont(-12);
    if (m_listFont == nullptr) {
        return;
    }
    HWND list = m_listBox->GetWindow();
    SetWindowPos(list, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont), TRUE);
}

void AddressPage::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
    } else if (id == kDeleteId) {
        DeleteSelected();
    } else if (id == kCancelId) {
        ClosePage();
    } else if (id == kOkId || id == kOtherOkIds[0] || id == kOtherOkIds[1]) {
        TakeSelected();
        ShowWindow(GetHwnd(), SW_HIDE);
    }
}

void AddressPage::OnNotify(UINT, WPARAM, LPARAM lParam, LRESULT* result, bool* handled) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header == nullptr || header->idFrom != kListId || header->code != NM_CUSTOMDRAW) {
        return;
    }
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
    const DWORD stage = draw->nmcd.dwDrawStage;
    if (stage == CDDS_PREPAINT || stage == CDDS_ITEMPREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
    } else if (stage == kSubitemPrePaint) {
        draw->clrText = 0xFFFFFF;
        draw->clrTextBk = kBackgroundColour;
        *result = CDRF_DODEFAULT;
    }
    *handled = true;
}

void AddressPage::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam)) {
        return;
    }
    switch (wParam) {
    case VK_ESCAPE:
        ClosePage();
        break;
    case VK_RETURN:
        // Enter closes the page without taking the entry.
        if (FindControl(kOkId) != nullptr && IsControlEnabled(kOkId)) {
            ClosePage();
        }
        break;
    case VK_TAB:
        MoveFocusNext(GetFocusId());
        break;
    case VK_UP:
        MoveSelection(-1);
        break;
    case VK_DOWN:
        MoveSelection(1);
        break;
    default:
        break;
    }
}

void AddressPage::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    SetFocus(GetHwnd());
}

void AddressPage::OnDrawItem(UINT, WPARAM, LPARAM lParam, LRESULT* result, bool* handled) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item == nullptr || item->CtlID != kListId || !m_listBox) {
        return;
    }
    *handled = true;
    *result = TRUE;
    HDC dc = item->hDC;
    const RECT& box = item->rcItem;
    HGDIOBJ oldPen = SelectObject(dc, m_separatorPen);
    MoveToEx(dc, box.left, box.bottom - 1, nullptr);
    LineTo(dc, box.right, box.bottom - 1);
    SelectObject(dc, oldPen);
    const bool isSelected = (item->itemState & ODS_SELECTED) != 0;
    SetTextColor(dc, isSelected ? 0x000000 : 0xFFFFFF);
    SetBkColor(dc, isSelected ? kSelectedColour : kBackgroundColour);

    std::u16string text = m_listBox->GetText(static_cast<int>(item->itemID));
    text.resize(std::min(text.size(), kMaxEntryText));
    std::vector<std::u16string_view> lines;
    for (std::u16string_view rest = text;;) {
        const std::size_t lineFeed = rest.find(u'\n');
        lines.push_back(rest.substr(0, lineFeed));
        if (lineFeed == std::u16string_view::npos) {
            break;
        }
        rest.remove_prefix(lineFeed + 1);
    }
    int widest = 0;
    for (const std::u16string_view line : lines) {
        RECT measured{0, 0, 0, 0};
        DrawTextW(dc, line.data(), static_cast<int>(line.size()), &measured,
                  DT_CALCRECT | DT_SINGLELINE);
        widest = std::max(widest, static_cast<int>(measured.right - measured.left));
    }
    const RECT area{box.left + kTextInsetX, box.top + kTextInsetY, box.left + kTextInsetX + widest,
                    box.bottom - kTextInsetY};
    const int lineCount = std::max(m_lineCount, static_cast<int>(lines.size()));
    const int lineHeight = (area.bottom - area.top) / lineCount;
    int y = area.top;
    for (const std::u16string_view line : lines) {
        const RECT cell{area.left, y, area.right, y + lineHeight};
        ExtTextOutW(dc, cell.left, cell.top, ETO_OPAQUE | ETO_CLIPPED, &cell, line.data(),
                    static_cast<UINT>(line.size()), nullptr);
        y += lineHeight;
    }
}

void AddressPage::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    if (state == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        *handled = monitor.BringVisibleDialogToFront();
    }
    if (wParam == WA_ACTIVE || wParam == WA_CLICKACTIVE) {
        FillList();
    }
}

std::u16string AddressPage::CountryPrefix(const RetrievalEngine::RetrievalEnginePtr& engine,
                                          std::uint16_t language, float x, float y) {
    for (ElementCursorPtr cursor = QueryNear(engine, x, y); cursor && cursor->IsValid();
         cursor->Next()) {
        const std::uint32_t id = cursor->GetElementId();
        if (id == kNoElement) {
            break;
        }
        if (cursor->GetTypeCode() >= kFirstTypeWithoutCountry) {
            continue;
        }
        six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
        if (!element) {
            continue;
        }
        // The entries of a list mostly lie in one country: each is looked up once per filling.
        const auto number = static_cast<std::uint16_t>(element->GetCountry());
        auto known = m_countryNames.find(number);
        if (known == m_countryNames.end()) {
            CountryPtr country = engine->GetCountry(number, language);
            known = m_countryNames
                        .emplace(number, country ? std::optional(country->GetName()) : std::nullopt)
                        .first;
        }
        if (known->second) {
            return *known->second + u"\n";
        }
    }
    return {};
}

std::u16string AddressPage::EntryText(const std::u16string& record,
                                      const RetrievalEngine::RetrievalEnginePtr& engine,
                                      std::uint16_t language) {
    float x = 0;
    float y = 0;
    std::u16string placeLine, streetLine, place, street, extra, number;
    std::uint8_t userDefined = 0;
    (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra, number,
                           userDefined);
    std::u16string text = placeLine + u"\n" + streetLine;
    if (userDefined != 0) {
        if (!m_userDefinedLabel) {
            m_userDefinedLabel = LoadText(kUserDefinedLabelId, kLabelTextMax);
        }
        text += u"\n" + *m_userDefinedLabel;
        m_lineCount = std::max(m_lineCount, kUserDefinedLineCount);
    }
    if (engine) {
        text = CountryPrefix(engine, language, x, y) + text;
    }
    text.resize(std::min(text.size(), kMaxEntryText));
    return text;
}

void AddressPage::FillList() {
    if (!m_listBox) {
        return;
    }
    m_list.emplace(m_file, m_section);
    m_countryNames.clear();
    m_userDefinedLabel.reset();
    if (m_list->IsDamaged() && !m_isUnusableToldOf) {
        m_isUnusableToldOf = true;
        m_list->ShowUnusableMessage(GetHwnd());
    }
    HWND list = m_listBox->GetWindow();
    // Drawn once, when every entry is in.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    int mostLines = m_lineCount;
    const RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : nullptr;
    const auto language = static_cast<std::uint16_t>(m_server ? m_server->GetLanguage() : 0);
    for (const std::u16string& record : m_list->Records()) {
        const std::u16string text = EntryText(record, engine, language);
        mostLines = std::max(mostLines, LinesOf(text));
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Each entry is as tall as the most lines an entry has, so that every line shows.
    m_lineCount = std::max(m_lineCount, mostLines);
    m_listBox->SetItemHeight(m_lineCount * kListLineHeight + 2 * kTextInsetY);
    SetCurSel(0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    EnableControl(kDeleteId, m_listBox->GetCount() > 0);
}

void AddressPage::DeleteSelected() {
    const int selected = GetCurSel();
    if (selected < 0 || !m_list) {
        return;
    }
    if (!m_list->Remove(static_cast<std::size_t>(selected))) {
        m_list->ShowUnusableMessage(GetHwnd());
        return;
    }
    HWND list = m_listBox->GetWindow();
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(selected), 0);
    const int count = m_listBox->GetCount();
    SetCurSel(selected < count ? selected : selected - 1);
    EnableControl(kDeleteId, count > 0);
}

void AddressPage::TakeSelected() {
    const ScopedWaitCursor wait;
    const int selected = GetCurSel();
    if (selected >= 0 && m_list && static_cast<std::size_t>(selected) < m_list->Records().size()) {
        Resolve(m_list->Records()[static_cast<std::size_t>(selected)]);
    }
    ClosePage();
}

void AddressPage::Resolve(const std::u16string& record) {
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : nullptr;
    if (record.empty() || !engine) {
        return;
    }
    float x = 0;
    float y = 0;
    std::u16string placeLine, streetLine, place, street, extra;
    std::uint8_t userDefined = 0;
    (void)UddRecord::Parse(record, x, y, placeLine, streetLine, place, street, extra,
                           m_resultHouseNumber, userDefined);
    std::vector<std::int32_t> notedAreas;
    bool isFound = false;
    if (userDefined == 0) {
        isFound = ResolveStreet(x, y, street, place);
    } else if (!ResolvePoint(engine, x, y, street, notedAreas)) {
        return; // the element of its position destination cannot be fetched
    } else {
        isFound = static_cast<bool>(m_resultDestination);
    }
    if (!isFound && place.empty()) {
        return;
    }
    ResolveCity(engine, place, notedAreas, userDefined != 0);
}

bool AddressPage::ResolveStreet(float x, float y, const std::u16string& street,
                                const std::u16string& place) {
    // Without a street the place is searched as a street; a street that is not found is tried
    // again without its last word (a house number, say) until nothing is left.
    std::u16string streetText = street.empty() ? place : street;
    GeoMoleculePtr found = FindStreetNearPoint(m_server, x, y, streetText, place);
    while (!found) {
        streetText = WithoutLastWord(streetText);
        if (streetText.empty()) {
            break;
        }
        found = FindStreetNearPoint(m_server, x, y, streetText, place);
    }
    if (!found) {
        return false;
    }
    PickedDestination::Instance().pending = 0;
    m_resultStreet = found;
    return true;
}

bool AddressPage::ResolvePoint(const RetrievalEngine::RetrievalEnginePtr& engine, float x, float y,
                               const std::u16string& name, std::vector<std::int32_t>& notedAreas) {
    const auto note = [&notedAreas](MapElement& element) {
        for (const std::uint32_t level : {1u, 2u, 0u}) {
            notedAreas.push_back(element.WalkAreas(level));
        }
    };
    // The point of interest of that name near the point, when the record has a name.
    for (ElementCursorPtr cursor = QueryNear(engine, x, y);
         !name.empty() && cursor && cursor->IsValid(); cursor->Next()) {
        const std::uint32_t id = cursor->GetElementId();
        const std::uint16_t type = cursor->GetTypeCode();
        if (cursor->GetGeometryClass() != 0 || id == kNoElement ||
            type < maprecord::kFirstPoiType || type >= maprecord::kPoiTypeEnd) {
            continue;
        }
        six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
        const char16_t* elementName = element ? element->GetName() : nullptr;
        if (elementName != nullptr && name == elementName) {
            (void)m_server->CreateElementDestination(m_resultDestination, &id);
            note(*element);
            break;
        }
    }
    if (!m_resultDestination) {
        const GeoPoint point{x, y};
        (void)m_server->CreatePositionDestination(m_resultDestination, &kNoElement, &point);
        const std::uint32_t id =
            m_resultDestination ? m_resultDestination->GetSingleElementId() : kNoElement;
        if (id != kNoElement) {
            six::IntfPtr<MapElement> element = engine->GetMappedElement(id);
            if (!element) {
                m_resultDestination.reset();
                return false;
            }
            note(*element);
        }
    }
    if (m_resultDestination) {
        PickedDestination& picked = PickedDestination::Instance();
        picked.pending = 1;
        picked.named = name.empty() ? 0 : 1;
        picked.nameText = name;
        picked.destination = m_resultDestination;
    }
    return true;
}

void AddressPage::ResolveCity(const RetrievalEngine::RetrievalEnginePtr& engine,
                              const std::u16string& place,
                              const std::vector<std::int32_t>& notedAreas, bool isUserDefined) {
    // A city named like the place (as long as it: the search also finds longer names) that
    // holds the street, or one of the areas noted for the point.
    AddressResultPtr city;
    for (AddressCursorPtr cities = engine->FindCities(place, 0); cities && cities->IsValid();
         cities->Next()) {
        AddressResultPtr candidate = cities->GetCurrent();
        if (!candidate || candidate->GetName().size() != place.size()) {
            continue;
        }
        const std::int32_t area = candidate->GetAreaId();
        const bool isTaken =
            m_resultStreet
                ? StreetLiesInArea(engine, static_cast<std::uint32_t>(area), m_resultStreet)
                : area != -1 &&
                      std::find(notedAreas.begin(), notedAreas.end(), area) != notedAreas.end();
        if (isTaken) {
            city = candidate;
            break;
        }
    }
    if (!city) {
        return;
    }
    if (isUserDefined) {
        PickedDestination::Instance().placeName = city->GetName();
    }
    m_resultCity = city;
    const std::uint32_t cityElement = city->GetElementId();
    six::IntfPtr<MapElement> element =
        cityElement != kNoElement ? engine->GetMappedElement(cityElement) : nullptr;
    if (element) {
        m_resultCountry = engine->GetCountry(static_cast<std::uint16_t>(element->GetCountry()),
                                             static_cast<std::uint16_t>(m_server->GetLanguage()));
    }
}

int AddressPage::GetCurSel() const {
    if (!m_listBox) {
        return -1;
    }
    return static_cast<int>(SendMessageW(m_listBox->GetWindow(), LB_GETCURSEL, 0, 0));
}

void AddressPage::SetCurSel(int index) {
    if (m_listBox) {
        SendMessageW(m_listBox->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

void AddressPage::MoveSelection(int step) {
    if (!m_listBox || m_listBox->GetCount() == 0) {
        return;
    }
    SetCurSel(std::clamp(GetCurSel() + step, 0, m_listBox->GetCount() - 1));
}

void AddressPage::ClosePage() {
    if (HWND window = GetHwnd()) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

bool RunPageModal(PageBase& page) {
    ShowPageWindow(page.GetPageHandle(), true);
    HWND window = page.GetHwnd();
    bool isClosed = window == nullptr;
    MSG message{};
    while (!isClosed) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // The application is ending: the loop outside must see WM_QUIT too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (message.message == WM_CLOSE && message.hwnd == window) {
            isClosed = true;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    ShowPageWindow(page.GetPageHandle(), false);
    return isClosed;
}

std::u16string GetMapSpecificListPath(const Onboard::OnboardServerPtr& server) {
    std::u16string folder;
    if (server) {
        DatabaseListPtr databases;
        server->GetDatabases(databases);
        if (databases) {
            for (const DatabaseEntryPtr& entry : *databases) {
                if (entry && entry->IsSelected()) {
                    folder = entry->GetPath();
                    break;
                }
            }
        }
    }
    while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) {
        folder.pop_back();
    }
    return folder + u"\\data.ini";
}

bool OpenStoredList(DestinationDescription& selection, const Onboard::OnboardServerPtr& server,
                    const std::u16string& section, UINT titleId, UINT ownerPageId,
                    const char16_t* file) {
    AddressPage page(server, section, titleId, ownerPageId, file);
    (void)RunPageModal(page);
    if (!page.GetResultCity()) {
        return false;
    }
    selection.country = page.GetResultCountry();
    selection.city = page.GetResultCity();
    selection.street = page.GetResultStreet();
    selection.houseNumber = page.GetResultHouseNumber();
    selection.location = page.GetResultDestination();
    return true;
}
