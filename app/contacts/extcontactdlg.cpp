#include "app/contacts/extcontactdlg.h"

#include "app/destinations/addresspage.h"
#include "app/destinations/uddrecord.h"
#include "app/tmc/statustmcinfo.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "ui/customlistbox.h"
#include "ui/dialogbase.h"
#include "ui/gpsstatemonitor.h"
#include "ui/messagedialogs.h"
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
#include <optional>
#include <string_view>
#include <utility>

namespace {

constexpr int kTextMax = 256;
constexpr std::size_t kShortestShortenedName = 4;
constexpr std::uint32_t kCityAreaLevel = 3;
constexpr std::int32_t kStreetAreaLevel = 1;
constexpr std::uint32_t kNoElement = 0xFFFFFFFFu;
constexpr WPARAM kActiveFromOtherPage = 0x10001;
constexpr UINT kFontChildId = 1;
// The engine's query settings for the street search: the street types, no type list, flags 0, 1.
const QueryDefaults kStreetQuery{1001, 1091, {}, 0, 1};

// Record texts of the three addresses: street, postal code, city.
struct AddressStrings {
    std::size_t street, postalCode, city;
};
constexpr std::array<AddressStrings, 3> kAddresses = {
    AddressStrings{11, 12, 13}, AddressStrings{14, 15, 16}, AddressStrings{17, 18, 19}};
constexpr std::size_t kFirstNamePart = 10;
constexpr std::size_t kSecondNamePart = 9;
constexpr std::size_t kFirstAddressExtra = 1;

std::u16string LoadText(UINT id) {
    return LoadDialogString(id, static_cast<int>(kTextMax));
}

bool IsWhiteSpace(char16_t c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::u16string_view Trimmed(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Every line break ("\r\n", or a lone "\r" or "\n") becomes one blank.
std::u16string WithoutLineBreaks(std::u16string_view text) {
    std::u16string out(text);
    if (std::none_of(text.begin(), text.end(),
                     [](char16_t c) { return c == u'\r' || c == u'\n'; })) {
        return out;
    }
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++i;
            out[length++] = u' ';
        } else if (text[i] == u'\r' || text[i] == u'\n') {
            out[length++] = u' ';
        } else {
            out[length++] = text[i];
        }
    }
    out.resize(length);
    return out;
}

std::u16string PostalAndCity(const ContactAddress& entry) {
    return entry.postalCode.empty() ? entry.city : entry.postalCode + u" " + entry.city;
}

bool Contains(const GeoRect& outer, const GeoRect& inner) {
    return outer.minX <= inner.minX && outer.maxX >= inner.maxX && outer.minY <= inner.minY &&
           outer.maxY >= inner.maxY;
}

// A city fits a postal area when its rectangle contains the area's or its postal code is the
// entry's.
bool Fits(const AddressResultPtr& city, const ContactAddress& entry, const GeoRect& postalRect) {
    return Contains(city->GetRect(), postalRect) || city->GetPostalCode() == entry.postalCode;
}

// The cities found under a shortened name: with a postal rectangle only the first that fits,
// without one every city found, but only when the entry has no postal code.
std::vector<AddressResultPtr> ShortenedNameCities(const RetrievalEngine::RetrievalEnginePtr& engine,
                                                  const std::u16string& name,
                                                  const ContactAddress& entry,
                                                  const GeoRect* postalRect) {
    std::vector<AddressResultPtr> found;
    if (postalRect == nullptr && !entry.postalCode.empty()) {
        return found;
    }
    for (AddressCursorPtr cities = engine->FindCities(name, 0); cities && cities->IsValid();
         cities->Next()) {
        AddressResultPtr city = cities->GetCurrent();
        if (!city) {
            continue;
        }
        if (postalRect == nullptr) {
            found.push_back(city);
        } else if (Fits(city, entry, *postalRect)) {
            return {city};
        }
    }
    return found;
}

// The rectangle of the first postal area found for the code; none without a code or area.
std::optional<GeoRect> FindPostalRect(const RetrievalEngine::RetrievalEnginePtr& engine,
                                      const std::u16string& postalCode) {
    if (postalCode.empty()) {
        return std::nullopt;
    }
    PostalCodeCursorPtr codes = engine->FindPostalCodes(postalCode, 0);
    PostalCodePtr code = codes && codes->IsValid() ? codes->GetCurrent() : nullptr;
    return code ? std::optional(code->GetRect()) : std::nullopt;
}

// One city per identifier: the one named as the entry's city, else the earlier one when its two
// names agree, else the later one.
std::vector<AddressResultPtr> OnePerIdentifier(const std::vector<AddressResultPtr>& found,
                                               const std::u16string& entryCity) {
    std::vector<AddressResultPtr> candidates;
    for (const AddressResultPtr& city : found) {
        const auto same = std::find_if(candidates.begin(), candidates.end(),
                                       [&](const auto& c) { return c->GetId() == city->GetId(); });
        if (same == candidates.end()) {
            candidates.push_back(city);
            continue;
        }
        AddressResultPtr& earlier = *same;
        if (earlier->GetName() == entryCity) {
            continue;
        }
        if (city->GetName() == entryCity || earlier->GetName() != earlier->GetSecondName()) {
            earlier = city;
        }
    }
    return candidates;
}

} // namespace

void BuildContactLines(const std::vector<ContactRecord>& records, const ContactLineTexts& texts,
                       std::vector<std::u16string>& lines, std::vector<ContactAddress>& entries) {
    const std::array<const std::u16string*, 3> labels = {&texts.firstLabel, &texts.secondLabel,
                                                         &texts.thirdLabel};
    lines.reserve(lines.size() + 3 * records.size());
    entries.reserve(entries.size() + 3 * records.size());
    for (const ContactRecord& record : records) {
        const std::u16string& firstPart = record.strings[kFirstNamePart];
        const std::u16string& secondPart = record.strings[kSecondNamePart];
        for (std::size_t a = 0; a < kAddresses.size(); ++a) {
            const std::u16string_view city = Trimmed(record.strings[kAddresses[a].city]);
            if (city.empty()) {
                continue;
            }
            const std::u16string& street = record.strings[kAddresses[a].street];
            const std::u16string& postalCode = record.strings[kAddresses[a].postalCode];
            const std::u16string& extra = record.strings[kFirstAddressExtra];
            // Appended piece by piece into one reserved line: no text is made on the way.
            std::u16string line;
            line.reserve(texts.namePrefix.size() + firstPart.size() + 2 + secondPart.size() + 1 +
                         labels[a]->size() + (a == 0 ? extra.size() : 0) + 1 +
                         texts.streetPrefix.size() + street.size() + 1 + texts.cityPrefix.size() +
                         postalCode.size() + 1 + city.size());
            // The comma stands between two name parts: a name held whole in one of them (a card
            // without a family name, a company's) reads as it is.
            line += texts.namePrefix;
            line += firstPart;
            if (!firstPart.empty() && !secondPart.empty()) {
                line += u", ";
            }
            line += secondPart;
            line += u'\n';
            line += *labels[a];
            if (a == 0) {
                line += extra;
            }
            line += u'\n';
            line += texts.streetPrefix;
            line += street;
            line += u'\n';
            line += texts.cityPrefix;
            if (!postalCode.empty()) {
                line += postalCode;
                line += u' ';
            }
            line += city;

            ContactAddress& entry = entries.emplace_back();
            entry.city = WithoutLineBreaks(city);
            entry.street = WithoutLineBreaks(street);
            entry.houseNumber = SplitTrailingNumber(entry.street);
            entry.postalCode = WithoutLineBreaks(postalCode);
            lines.push_back(std::move(line));
        }
    }
}

int FindLetterLine(const std::vector<std::u16string>& lines, std::size_t prefixLength, int selected,
                   char16_t key) {
    const auto matches = [&](int index) {
        return index >= 0 && static_cast<std::size_t>(index) < lines.size() &&
               lines[static_cast<std::size_t>(index)].size() > prefixLength &&
               lines[static_cast<std::size_t>(index)][prefixLength] == key;
    };
    const int start = matches(selected) && matches(selected + 1) ? selected + 1 : 0;
    for (int index = start; static_cast<std::size_t>(index) < lines.size(); ++index) {
        if (matches(index)) {
            return index;
        }
    }
    return -1;
}

ExtContactDlg::ExtContactDlg(Onboard::OnboardServerPtr server, ContactPageOwner& mode,
                             DestinationDescription& destination, UINT titleId)
    : PageBase(u"ExtContactDlg")
    , m_mode(mode)
    , m_server(std::move(server))
    , m_destination(destination)
    , m_titleId(titleId) {
    MessageMapPtr& map = GetPageHandle().map;
    ConnectMessageHandler(map, WM_CREATE, this, &ExtContactDlg::OnCreate);
    ConnectMessageHandler(map, WM_SIZE, this, &ExtContactDlg::OnSize);
    ConnectMessageHandler(map, WM_COMMAND, this, &ExtContactDlg::OnCommand);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &ExtContactDlg::OnKeyDown);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &ExtContactDlg::OnSetFocus);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &ExtContactDlg::OnActivate);
}

ExtContactDlg::~ExtContactDlg() {
    if (HWND window = GetHwnd()) {
        DestroyWindow(window);
    }
    m_listBox.reset();
    if (m_listFont != nullptr) {
        DeleteObject(m_listFont);
    }
}

void ExtContactDlg::OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    HWND window = GetHwnd();
    (void)CreateLabel(u"Title", kTitleLabelId, 0xFFFFFF, kTransparentBackground);
    m_listBox = std::make_unique<CustomListBox>(window, kListId, kListColour, 0);
    AddChild(u"Items", m_listBox->GetWindow());
    CreateControl(u"Cancel", kCancelId, true, false, 0, 0);
    CreateControl(u"OK", kOkId, true, false, 0, 0);
    CreateLogoBox();
    m_gpsIndicator = CreateGpsIndicator();
    m_tmcIndicator = CreateTmcIndicator();
    GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
    TmcMonitor::Instance().SetOwnerWindow(m_tmcIndicator);
    m_focusList = {kListId, kOkId, kCancelId};
    SetFocusId(kListId);
}

void ExtContactDlg::OnSize(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (lParam == 0) {
        return;
    }
    if (HWND child = GetDlgItem(GetHwnd(), kFontChildId)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetControlFont()), FALSE);
    }
    if (!m_listBox) {
        return;
    }
    if (m_listFont != nullptr) {
        DeleteObject(m_listFont);
    }
    m_listFont = CreateListFont(-12);
    HWND list = m_listBox->GetWindow();
    SetWindowPos(list, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont), TRUE);
}

void ExtContactDlg::OnCommand(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    const UINT id = LOWORD(static_cast<DWORD>(wParam));
    const UINT code = HIWORD(static_cast<DWORD>(wParam));
    if (code == kFocusMoveNotification) {
        MoveFocusNext(id);
    } else if (id == kCancelId) {
        Cancel();
    } else if (id == kOkId || id == kOtherOkId) {
        ChooseAddress();
    }
}

void ExtContactDlg::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    if (SendFocusMove(GetHwnd(), wParam, lParam)) {
        return;
    }
    if (wParam >= 'A' && wParam <= 'Z') {
        const int line = FindLetterLine(m_lines, LoadText(1134).size(), GetCurSel(),
                                        static_cast<char16_t>(wParam));
        if (line >= 0) {
            SetCurSel(line);
        }
        return;
    }
    switch (wParam) {
    case VK_ESCAPE:
        Cancel();
        break;
    case VK_RETURN:
        // Enter acts on the focused control: Cancel cancels, the list and OK choose.
        if (GetFocusId() == kCancelId) {
            Cancel();
        } else {
            ChooseAddress();
        }
        break;
    case VK_TAB:
        MoveFocusNext(GetFocusId());
        break;
    case VK_UP:
        if (GetCurSel() > 0) {
            SetCurSel(GetCurSel() - 1);
        }
        break;
    case VK_DOWN:
        if (m_listBox && GetCurSel() + 1 < m_listBox->GetCount()) {
            SetCurSel(GetCurSel() + 1);
        }
        break;
    default:
        break;
    }
}

void ExtContactDlg::OnSetFocus(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    SetFocus(GetHwnd());
}

void ExtContactDlg::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool* handled) {
    const WORD state = LOWORD(static_cast<DWORD>(wParam));
    if (state == WA_INACTIVE) {
        SetLastActivePageWindow(GetHwnd());
        return;
    }
    if (m_runningList != nullptr && IsWindowVisible(m_runningList->GetHwnd())) {
        SendMessageW(m_runningList->GetHwnd(), WM_ACTIVATE, kActiveFromOtherPage, 0);
        SetForegroundWindow(m_runningList->GetHwnd());
    } else if (wParam == WA_ACTIVE || wParam == WA_CLICKACTIVE) {
        (void)ShowInputPanel(false);
        if (m_needsFilling) {
            m_needsFilling = false;
            FillList();
        }
    }
    if (state == WA_ACTIVE) {
        GpsStateMonitor::Instance().SetIndicatorWindow(m_gpsIndicator);
        TmcMonitor& monitor = TmcMonitor::Instance();
        monitor.SetOwnerWindow(m_tmcIndicator);
        *handled = monitor.BringVisibleDialogToFront();
    }
}

void ExtContactDlg::FillList() {
    std::vector<ContactRecord> records;
    {
        const CountedPtr<ContactSession> session = ContactSession::Instance();
        if (!session) {
            return;
        }
        if (session->GetContacts(records) == 0) {
            ShowMessage(kContactsUnreadableMessageId); // not an empty list of contacts
            return;
        }
    }
    if (m_listBox) {
        SendMessageW(m_listBox->GetWindow(), LB_RESETCONTENT, 0, 0);
    }
    m_lines.clear();
    m_entries.clear();
    const ContactLineTexts texts{LoadText(1134), LoadText(1135), LoadText(1136),
                                 LoadText(1133), LoadText(1132), LoadText(1177)};
    BuildContactLines(records, texts, m_lines, m_entries);
    if (m_listBox) {
        HWND list = m_listBox->GetWindow();
        for (const std::u16string& line : m_lines) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    }
    SetCurSel(0);
}

void ExtContactDlg::ShowMessage(UINT textId) {
    if (m_shower) {
        m_shower(textId);
    } else {
        MsgBox(textId).DoModal(GetHwnd());
    }
}

void ExtContactDlg::Cancel() {
    m_mode.OnPageCommand(kMainPageCommand, GetHwnd());
    (void)ShowInputPanel(true);
}

void ExtContactDlg::ChooseAddress() {
    const int selected = std::max(GetCurSel(), 0);
    if (static_cast<std::size_t>(selected) >= m_entries.size()) {
        return;
    }
    m_savedCursor = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT)));
    ResolvedAddress resolved;
    const Resolution result =
        ResolveAddress(m_entries[static_cast<std::size_t>(selected)], resolved);
    if (result == kCancelled) {
        (void)SetCursor(m_savedCursor);
        return;
    }
    if (result == kNoCity) {
        ShowMessage(kNoCityMessageId);
        m_mode.OnPageCommand(kMainPageCommand, GetHwnd());
    } else {
        // The mode's fields change only here, all together, so that a cancelled choice leaves
        // the destination its main page shows.
        m_destination.location.reset();
        PickedDestination::Instance().Clear();
        m_destination.city = resolved.city;
        m_destination.street = resolved.street;
        m_destination.houseNumber = resolved.houseNumber;
        RetrievalEngine::RetrievalEnginePtr engine =
            m_server ? m_server->GetRetrievalEngine() : nullptr;
        const std::uint32_t element = resolved.city ? resolved.city->GetElementId() : kNoElement;
        six::IntfPtr<MapElement> mapped =
            engine && element != kNoElement ? engine->GetMappedElement(element) : nullptr;
        if (mapped) {
            m_destination.country =
                engine->GetCountry(static_cast<std::uint16_t>(mapped->GetCountry()),
                                   static_cast<std::uint16_t>(m_server->GetLanguage()));
        }
        m_mode.RefreshMainPage();
        m_mode.OnPageCommand(kMainPageCommand, GetHwnd());
    }
    (void)SetCursor(m_savedCursor);
    (void)ShowInputPanel(true);
}

std::vector<AddressResultPtr>
ExtContactDlg::FindCityCandidates(const RetrievalEngine::RetrievalEnginePtr& engine,
                                  const ContactAddress& entry, const GeoRect* postalRect) {
    std::vector<AddressResultPtr> candidates;
    for (AddressCursorPtr cities = engine->FindCities(entry.city, 0); cities && cities->IsValid();
         cities->Next()) {
        AddressResultPtr city = cities->GetCurrent();
        // The search also finds longer names: only the city's own name counts.
        if (!city || city->GetName().size() != entry.city.size()) {
            continue;
        }
        if (postalRect != nullptr && Fits(city, entry, *postalRect)) {
            return {city};
        }
        candidates.push_back(city);
    }
    if (!candidates.empty() || entry.city.size() <= kShortestShortenedName) {
        return candidates;
    }
    for (std::size_t length = entry.city.size() - 1; length >= kShortestShortenedName; --length) {
        candidates = ShortenedNameCities(engine, entry.city.substr(0, length), entry, postalRect);
        if (!candidates.empty()) {
            break;
        }
    }
    return candidates;
}

std::vector<GeoMoleculePtr>
ExtContactDlg::FindStreets(const RetrievalEngine::RetrievalEnginePtr& engine,
                           const AddressResultPtr& city, const ContactAddress& entry) {
    if (QueryDefaults* defaults = engine->GetQueryDefaultsRef()) {
        *defaults = kStreetQuery;
    }
    const auto area = static_cast<std::uint32_t>(city->GetAreaId());
    std::vector<GeoMoleculePtr> streets;
    for (GeoMoleculeCursorPtr found = engine->FindInArea(area, entry.street);
         found && found->IsValid(); found->Next()) {
        GeoMoleculePtr street = found->GetCurrent();
        if (!street || street->GetName().size() != entry.street.size()) {
            continue;
        }
        if (!entry.postalCode.empty() && street->GetPostalCode() == entry.postalCode) {
            return {street};
        }
        streets.push_back(street);
    }
    if (!streets.empty() || entry.street.size() <= kShortestShortenedName) {
        return streets;
    }
    for (std::size_t length = entry.street.size() - 1; length >= kShortestShortenedName; --length) {
        for (GeoMoleculeCursorPtr found = engine->FindInArea(area, entry.street.substr(0, length));
             found && found->IsValid(); found->Next()) {
            if (GeoMoleculePtr street = found->GetCurrent()) {
                streets.push_back(street);
            }
        }
        if (!streets.empty()) {
            break;
        }
    }
    return streets;
}

int ExtContactDlg::RunListDialog(const std::vector<std::u16string>& lines,
                                 const std::u16string& prompt) {
    if (m_chooser) {
        return m_chooser(lines, prompt, m_titleId);
    }
    StatusTmcInfo dialog(lines, prompt, m_titleId, u"ListDlg", StatusTmcInfo::kListMode, {});
    m_runningList = &dialog;
    (void)RunPageModal(dialog);
    m_runningList = nullptr;
    return dialog.GetSelection();
}

ExtContactDlg::Resolution
ExtContactDlg::ChooseCity(const RetrievalEngine::RetrievalEnginePtr& engine,
                          const std::vector<AddressResultPtr>& cities, const ContactAddress& entry,
                          AddressResultPtr& chosen) {
    std::vector<std::u16string> lines;
    for (const AddressResultPtr& city : cities) {
        std::u16string line = city->GetName() + u" (" + city->GetPostalCode() + u")";
        if (city->HasArea()) {
            const std::int32_t area = engine->WalkAreaHierarchy(city->GetId(), kCityAreaLevel);
            const std::u16string name =
                area != -1 ? engine->LookupArea(static_cast<std::uint32_t>(area)) : u"";
            if (!name.empty()) {
                line += u",\n" + name;
            }
        } else if (city->GetElementId() != kNoElement) {
            six::IntfPtr<MapElement> element = engine->GetMappedElement(city->GetElementId());
            const std::int32_t area = element ? element->WalkAreas(kCityAreaLevel) : -1;
            const std::u16string name =
                area != -1 ? engine->LookupArea(static_cast<std::uint32_t>(area)) : u"";
            if (!name.empty()) {
                line += u", \n" + name;
            }
        }
        lines.push_back(std::move(line));
    }
    const std::u16string prompt = ReplacePlaceholder(LoadText(kCityPromptId), PostalAndCity(entry));
    const int index = RunListDialog(lines, prompt);
    if (index < 0 || static_cast<std::size_t>(index) >= cities.size()) {
        return kCancelled;
    }
    chosen = cities[static_cast<std::size_t>(index)];
    return kCity;
}

ExtContactDlg::Resolution
ExtContactDlg::ChooseStreet(const RetrievalEngine::RetrievalEnginePtr& engine,
                            const std::vector<GeoMoleculePtr>& streets, const ContactAddress& entry,
                            GeoMoleculePtr& chosen) {
    std::vector<std::u16string> lines;
    for (const GeoMoleculePtr& street : streets) {
        std::u16string line = street->GetName() + u" (" + street->GetPostalCode() + u")";
        const std::int32_t area = street->WalkAreaHierarchy(kStreetAreaLevel);
        const std::u16string name =
            area != -1 ? engine->LookupArea(static_cast<std::uint32_t>(area)) : u"";
        if (!name.empty()) {
            line += u",\n" + name;
        }
        lines.push_back(std::move(line));
    }
    const std::u16string streetText =
        entry.houseNumber.empty() ? entry.street : entry.street + u" " + entry.houseNumber;
    const std::u16string prompt = ReplacePlaceholder(
        ReplacePlaceholder(LoadText(kStreetPromptId), streetText), PostalAndCity(entry));
    const int index = RunListDialog(lines, prompt);
    if (index < 0 || static_cast<std::size_t>(index) >= streets.size()) {
        return kCancelled;
    }
    chosen = streets[static_cast<std::size_t>(index)];
    return kStreet;
}

ExtContactDlg::Resolution
ExtContactDlg::ResolveStreetIn(const RetrievalEngine::RetrievalEnginePtr& engine,
                               const AddressResultPtr& city, const ContactAddress& entry,
                               ResolvedAddress& result) {
    result.city = city;
    result.street = nullptr;
    result.houseNumber.clear();
    if (entry.street.empty()) {
        return kCity;
    }
    const std::vector<GeoMoleculePtr> streets = FindStreets(engine, city, entry);
    GeoMoleculePtr street;
    if (streets.empty()) {
        return kCity;
    }
    if (streets.size() == 1) {
        street = streets.front();
    } else if (ChooseStreet(engine, streets, entry, street) == kCancelled) {
        return kCancelled;
    }
    result.street = street;
    result.houseNumber = street->HasHouseNumbers() ? entry.houseNumber : u"";
    return kStreet;
}

ExtContactDlg::Resolution
ExtContactDlg::ResolveByStreet(const RetrievalEngine::RetrievalEnginePtr& engine,
                               const std::vector<AddressResultPtr>& candidates,
                               const ContactAddress& entry, ResolvedAddress& result) {
    for (const AddressResultPtr& candidate : candidates) {
        const std::vector<GeoMoleculePtr> streets = FindStreets(engine, candidate, entry);
        if (streets.empty()) {
            continue;
        }
        GeoMoleculePtr street = streets.front();
        if (streets.size() > 1 && ChooseStreet(engine, streets, entry, street) == kCancelled) {
            return kCancelled;
        }
        result.city = candidate;
        result.street = street;
        result.houseNumber = street->HasHouseNumbers() ? entry.houseNumber : u"";
        return kStreet;
    }
    return kNoCity;
}

ExtContactDlg::Resolution ExtContactDlg::ResolveAddress(const ContactAddress& entry,
                                                        ResolvedAddress& result) {
    result = {};
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : nullptr;
    if (!engine) {
        return kNoCity;
    }
    const std::optional<GeoRect> postalRect = FindPostalRect(engine, entry.postalCode);
    const GeoRect* rect = postalRect ? &*postalRect : nullptr;
    const std::vector<AddressResultPtr> candidates =
        OnePerIdentifier(FindCityCandidates(engine, entry, rect), entry.city);
    if (candidates.empty()) {
        return kNoCity;
    }
    AddressResultPtr city;
    if (candidates.size() == 1) {
        city = candidates.front();
    } else if (rect != nullptr) {
        for (const AddressResultPtr& candidate : candidates) {
            if (Fits(candidate, entry, *rect)) {
                city = candidate;
                break;
            }
        }
    }
    if (!city && !entry.street.empty()) {
        const Resolution byStreet = ResolveByStreet(engine, candidates, entry, result);
        if (byStreet != kNoCity) {
            return byStreet;
        }
    }
    if (!city && ChooseCity(engine, candidates, entry, city) == kCancelled) {
        return kCancelled;
    }
    return ResolveStreetIn(engine, city, entry, result);
}

int ExtContactDlg::GetCurSel() const {
    return m_listBox ? static_cast<int>(SendMessageW(m_listBox->GetWindow(), LB_GETCURSEL, 0, 0))
                     : m_selection;
}

void ExtContactDlg::SetCurSel(int index) {
    m_selection = index;
    if (m_listBox) {
        SendMessageW(m_listBox->GetWindow(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

std::unique_ptr<ExtContactDlg> CreateContactPage(Onboard::OnboardServerPtr server,
                                                 ContactPageOwner& mode,
                                                 DestinationDescription& destination,
                                                 UINT titleId) {
    return std::make_unique<ExtContactDlg>(std::move(server), mode, destination, titleId);
}
