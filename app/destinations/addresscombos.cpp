#include "app/destinations/addresscombos.h"

#include "app/destinations/destinationareas.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/text.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char16_t kPreferencesSection[] = u"Preferences";
constexpr char16_t kLastCountryKey[] = u"LastKnownCountry";
constexpr std::uint32_t kCityAreaLevel = 3;

bool StartsWithDigit(const std::u16string& text) {
    return !text.empty() && text.front() >= u'0' && text.front() <= u'9';
}

void AddString(HWND combo, const std::u16string& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int ComboCurSel(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}
int ComboCount(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

// The box's text (at most kMaxTypedText characters) with the list dropped down.
std::u16string TypedText(HWND combo) {
    char16_t buffer[kMaxTypedText + 1] = {};
    const int length = GetWindowTextW(combo, buffer, kMaxTypedText + 1);
    SendMessageW(combo, CB_SHOWDROPDOWN, 1, 0);
    return std::u16string(buffer, static_cast<std::size_t>(std::clamp(length, 0, kMaxTypedText)));
}

// The last loaded entry is selected: more proposals are added and the selection kept visible.
template <typename AddMore> void LoadMoreAfter(HWND combo, AddMore addMore) {
    const int selected = ComboCurSel(combo);
    if (selected < 0 || ComboCount(combo) != selected + 1) {
        return;
    }
    addMore(selected + 1);
    SendMessageW(combo, CB_SETTOPINDEX, static_cast<WPARAM>(selected), 0);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

// Reads the cursor on until entries holds the entry at index or the cursor ends; entries the
// cursor gives that keep refuses are skipped. False when there is no entry at index.
template <class Cursor, class Entry, class Keep>
bool ReadEntryAt(Cursor& cursor, std::vector<Entry>& entries, int index, Entry& entry, Keep keep) {
    if (index < 0) {
        return false;
    }
    const auto wanted = static_cast<std::size_t>(index);
    while (cursor && wanted >= entries.size() && cursor->IsValid()) {
        Entry current = cursor->GetCurrent();
        if (current && keep(current)) {
            entries.push_back(std::move(current));
        }
        if (!cursor->Next()) {
            break;
        }
    }
    if (wanted >= entries.size()) {
        return false;
    }
    entry = entries[wanted];
    return true;
}

} // namespace

std::u16string ComposeProposal(const std::u16string& name, const std::u16string& qualifier,
                               const std::u16string& areaName) {
    std::u16string text = name;
    if (const std::u16string shown = QualifierOf(name, qualifier); !shown.empty()) {
        text += u" (" + shown + u")";
    }
    if (!StartsWithDigit(text) && !areaName.empty()) {
        text += u", " + areaName;
    }
    if (text.size() > kMaxProposalText) {
        text.resize(kMaxProposalText);
    }
    return text;
}

CountryComboBox::CountryComboBox(HWND combo, Onboard::OnboardServerPtr server)
    : m_combo(combo)
    , m_server(std::move(server)) {}

void CountryComboBox::Fill() {
    m_entries.clear();
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if (engine) {
        const auto language = static_cast<std::uint16_t>(m_server->GetLanguage());
        for (CountryPtr& country : engine->GetCountries(language)) {
            if (!country) {
                continue;
            }
            if (country->GetNumber() == 0) {
                m_entries.insert(m_entries.begin(), std::move(country));
            } else {
                m_entries.push_back(std::move(country));
            }
        }
    }
    if (m_entries.size() >= 2) {
        const auto from = m_entries.begin() + (m_entries.front()->GetNumber() == 0 ? 1 : 0);
        std::stable_sort(from, m_entries.end(), [](const CountryPtr& a, const CountryPtr& b) {
            return _wcsicmp(a->GetName().c_str(), b->GetName().c_str()) < 0;
        });
    }
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    const INT stored =
        IniProfile::GetInt(kPreferencesSection, kLastCountryKey, settings.c_str(), 0);
    SelectByNumber(static_cast<std::uint16_t>(stored));
}

void CountryComboBox::SelectByNumber(std::uint16_t number) {
    if (m_entries.empty()) {
        return;
    }
    const auto found =
        std::find_if(m_entries.begin(), m_entries.end(),
                     [number](const CountryPtr& c) { return c->GetNumber() == number; });
    const std::size_t index =
        found != m_entries.end() ? static_cast<std::size_t>(found - m_entries.begin()) : 0;
    SendMessageW(m_combo, CB_SETCURSEL, index, 0);
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    (void)IniProfile::WriteInt(kPreferencesSection, kLastCountryKey,
                               static_cast<INT>(m_entries[index]->GetNumber()), settings.c_str());
}

void CountryComboBox::AddNames(std::size_t first) {
    for (std::size_t i = first; i < m_entries.size() && i < first + kMaxListNames; ++i) {
        AddString(m_combo, m_entries[i]->GetName());
    }
}

bool CountryComboBox::GetAt(int index, CountryPtr& entry) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_entries.size()) {
        return false;
    }
    entry = m_entries[static_cast<std::size_t>(index)];
    return true;
}

CityComboBox::CityComboBox(HWND combo, Onboard::OnboardServerPtr server, const CountryPtr* country)
    : m_combo(combo)
    , m_server(std::move(server))
    , m_country(country) {}

void CityComboBox::Complete() {
    const std::u16string text = TypedText(m_combo);
    if (text.size() < kNoSearchLength) {
        SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
        Search(text);
        AddProposals(0);
    }
}

void CityComboBox::Search(const std::u16string& prefix) {
    m_entries.clear();
    m_cursor = AddressCursorPtr();
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if (!engine) {
        return;
    }
    const std::uint16_t country =
        m_country != nullptr && *m_country ? (*m_country)->GetNumber() : std::uint16_t{0};
    m_cursor = engine->FindCities(prefix, country);
}

std::u16string CityComboBox::AreaNameOf(const AddressResultPtr& city) {
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if (!engine) {
        return {};
    }
    std::int32_t area = -1;
    const std::uint32_t elementId = city->GetElementId();
    const bool isAreaEntry =
        elementId == kNoElementId || static_cast<std::int64_t>(elementId) == city->GetAreaId();
    if (!isAreaEntry) {
        if (six::IntfPtr<MapElement> element = engine->GetMappedElement(city->GetElementId())) {
            area = element->WalkAreas(kCityAreaLevel);
        }
    } else if (city->GetAreaId() >= 0) {
        area = engine->WalkAreaHierarchy(static_cast<std::uint32_t>(city->GetAreaId()),
                                         kCityAreaLevel);
    }
    return area >= 0 ? engine->LookupArea(static_cast<std::uint32_t>(area)) : std::u16string();
}

void CityComboBox::AddProposals(int first) {
    for (int k = 0; k < kProposalsPerStep; ++k) {
        AddressResultPtr city;
        if (!GetAt(first + k, city)) {
            return;
        }
        // The area name is only looked up when the text can show it.
        const std::u16string name = city->GetName();
        AddString(m_combo, ComposeProposal(name, city->GetSecondName(),
                                           StartsWithDigit(name) ? u"" : AreaNameOf(city)));
    }
}

void CityComboBox::LoadMoreIfLast() {
    if (!m_cursor) {
        return;
    }
    LoadMoreAfter(m_combo, [this](int first) { AddProposals(first); });
}

bool CityComboBox::GetAt(int index, AddressResultPtr& entry) {
    return ReadEntryAt(m_cursor, m_entries, index, entry,
                       [](const AddressResultPtr&) { return true; });
}

void CityComboBox::SetSingle(const AddressResultPtr& city) {
    Clear();
    if (city) {
        m_entries.push_back(city);
    }
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    if (city) {
        AddString(m_combo, city->GetName());
    }
    SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
}

void CityComboBox::Clear() {
    m_entries.clear();
    m_cursor = AddressCursorPtr();
}

StreetComboBox::StreetComboBox(HWND combo, HWND houseNumberEdit, Onboard::OnboardServerPtr server,
                               AddressResultPtr* city)
    : m_combo(combo)
    , m_houseNumberEdit(houseNumberEdit)
    , m_city(city)
    , m_server(std::move(server)) {}

void StreetComboBox::Reset() {
    Clear();
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(m_combo, u"");
    EnableWindow(m_houseNumberEdit, FALSE);
    SetWindowTextW(m_houseNumberEdit, u"");
    const AddressResultPtr& city = *m_city;
    if (!city || static_cast<std::int64_t>(city->GetElementId()) == city->GetAreaId()) {
        EnableWindow(m_combo, FALSE);
        return;
    }
    EnableWindow(m_combo, TRUE);
    SetFocus(m_combo);
    Search(u"");
    AddProposals(0);
}

void StreetComboBox::Complete() {
    const std::u16string text = TypedText(m_combo);
    if (text.size() < kNoSearchLength) {
        SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
        Search(text);
        AddProposals(0);
    }
}

void StreetComboBox::Search(const std::u16string& prefix) {
    m_entries.clear();
    m_cursor = GeoMoleculeCursorPtr();
    RetrievalEngine::RetrievalEnginePtr engine =
        m_server ? m_server->GetRetrievalEngine() : RetrievalEngine::RetrievalEnginePtr();
    if (m_city == nullptr || !*m_city || !engine) {
        return;
    }
    // The address of the city's element replaces the city; one that names no area (its element
    // does not read its area from the cookie record) would leave nothing to search in.
    AddressResultPtr address = engine->GetAddressOfElement((*m_city)->GetElementId(), 0);
    if (address && address->GetAreaId() >= 0) {
        *m_city = std::move(address);
    }
    if (QueryDefaults* defaults = engine->GetQueryDefaultsRef()) {
        QueryDefaults query;
        ApplyPoiCategory(query, m_category);
        query.isSecondList = 1;
        query.thirdFlag = 1;
        *defaults = query;
    }
    const std::int32_t area = (*m_city)->GetAreaId();
    m_cursor = engine->FindInArea(static_cast<std::uint32_t>(area), prefix);
}

void StreetComboBox::AddProposals(int first) {
    for (int k = 0; k < kProposalsPerStep; ++k) {
        GeoMoleculePtr street;
        if (!GetAt(first + k, street)) {
            return;
        }
        std::u16string areaName;
        if (RetrievalEngine::RetrievalEnginePtr engine = m_server->GetRetrievalEngine()) {
            areaName = AreaNamesOfStreet(*engine, *street).own;
        }
        AddString(m_combo, ComposeProposal(street->GetName(), street->GetSecondName(), areaName));
    }
}

void StreetComboBox::LoadMoreIfLast() {
    if (!m_cursor) {
        return;
    }
    LoadMoreAfter(m_combo, [this](int first) { AddProposals(first); });
}

bool StreetComboBox::GetAt(int index, GeoMoleculePtr& entry) {
    return ReadEntryAt(m_cursor, m_entries, index, entry, [](const GeoMoleculePtr& street) {
        return street->GetType() != kHiddenStreetType;
    });
}

void StreetComboBox::SetSingle(const GeoMoleculePtr& street) {
    Clear();
    if (street) {
        m_entries.push_back(street);
    }
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    if (street) {
        AddString(m_combo, street->GetName());
    }
    SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
}

void StreetComboBox::Clear() {
    m_entries.clear();
    m_cursor = GeoMoleculeCursorPtr();
}

CategoryComboBox::CategoryComboBox(HWND combo, Onboard::OnboardServerPtr server)
    : m_combo(combo)
    , m_server(std::move(server)) {}

void CategoryComboBox::AddNames(std::size_t first) {
    for (std::size_t i = first; i < m_categories.size() && i < first + kMaxListNames; ++i) {
        AddString(m_combo, std::u16string(m_categories[i].text));
    }
    SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
}

void CategoryComboBox::LoadMoreIfLast() {
    if (m_categories.empty()) {
        return;
    }
    LoadMoreAfter(m_combo, [this](int first) { AddNames(static_cast<std::size_t>(first)); });
}
