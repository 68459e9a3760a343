#include "basiccomp/retrievalengine/code/addressindex.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/indexcitycursor.h"
#include "basiccomp/retrievalengine/code/signinfo.h"
#include "tablefiles/datasetcursors.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/widetext.h"

#include "platform/files/files.h"
#include "platform/littleendian.h"

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

namespace {

using T = ColumnType;

std::vector<std::uint8_t> Int32Key(std::int64_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

std::vector<std::uint8_t> UInt16Key(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

// The narrow text of a record's text field: up to its zero or the field's end.
std::string_view FieldText(ByteSpan record, std::uint32_t offset, std::uint32_t width) {
    const ByteSpan field = record.Sub(offset, width);
    if (field.IsEmpty()) {
        return {};
    }
    const auto* text = reinterpret_cast<const char*>(field.data);
    return {text, static_cast<std::size_t>(std::find(text, text + field.length, '\0') - text)};
}

std::u16string TitleCaseFromNarrow(std::string_view text) {
    const std::string terminated(text);
    const std::u16string wide = AnsiToWide(terminated.c_str());
    return TitleCaseCopy(wide.c_str());
}

// The decimal number at the start of the text (sign allowed), 0 when there is none.
std::int32_t LeadingNumber(std::string_view text) {
    const std::string terminated(text);
    return static_cast<std::int32_t>(std::strtol(terminated.c_str(), nullptr, 10));
}

float FloatAt(ByteSpan record, std::uint32_t offset) {
    return platform::ReadLittleEndian<float>(record.data + offset);
}

// An area record read straight from its bytes (the layout with level and rectangle; the short
// layout has neither).
struct RawArea {
    std::int32_t id = -1;
    std::int32_t parent = -1;
    std::string_view name;
    std::int32_t level = -1;
    std::optional<GeoRect> rect;
};

RawArea ReadArea(ByteSpan record, std::int32_t layout) {
    RawArea area;
    if (record.length < 72) {
        return area;
    }
    area.id = static_cast<std::int32_t>(platform::ReadU32(record.data));
    area.parent = static_cast<std::int32_t>(platform::ReadU32(record.data + 4));
    area.name = FieldText(record, 8, 64);
    if (layout == 1 && record.length >= 92) {
        area.level = static_cast<std::int32_t>(platform::ReadU32(record.data + 72));
        area.rect = GeoRect(FloatAt(record, 76), FloatAt(record, 80), FloatAt(record, 84),
                            FloatAt(record, 88));
    }
    return area;
}

std::optional<RawArea> FindArea(const OpenedTablePtr& table, std::uint32_t areaId) {
    if (!table) {
        return std::nullopt;
    }
    const FsrKeyRange range = table->table.Find(Int32Key(areaId), false);
    if (!range.IsValid()) {
        return std::nullopt;
    }
    return ReadArea(range.GetRecordBytes(), table->layout);
}

// Walks up the area table to the area's ancestor at the level; -1 when there is none. Stops
// after as many steps as the table has records.
std::int32_t FindAncestorAtLevel(const OpenedTablePtr& table, std::uint32_t areaId,
                                 std::uint32_t level) {
    const std::uint32_t records = table ? table->table.GetRecordCount() : 0;
    for (std::uint32_t step = 0; step <= records; ++step) {
        const std::optional<RawArea> area = FindArea(table, areaId);
        if (!area || area->level > static_cast<std::int32_t>(level)) {
            return -1;
        }
        if (area->level == static_cast<std::int32_t>(level)) {
            return static_cast<std::int32_t>(areaId);
        }
        areaId = static_cast<std::uint32_t>(area->parent);
    }
    return -1;
}

class CountryResult final : public ICountry {
public:
    CountryResult(CountryRectSource rects, std::u16string name, std::u16string nativeName,
                  std::uint16_t number, std::uint16_t language)
        : m_rects(std::move(rects))
        , m_name(std::move(name))
        , m_nativeName(std::move(nativeName))
        , m_number(number)
        , m_language(language) {}

    std::u16string GetName() override { return m_name; }
    std::u16string GetNativeName() override { return m_nativeName; }
    std::uint16_t GetLanguage() override { return m_language; }
    std::uint16_t GetNumber() override { return m_number; }
    GeoRect GetRect() override { return m_rects ? m_rects(m_number) : GeoRect{}; }

private:
    CountryRectSource m_rects;
    std::u16string m_name;
    std::u16string m_nativeName;
    std::uint16_t m_number;
    std::uint16_t m_language;
};

class AddressResult final : public IAddressResult {
public:
    AddressResult(const std::u16string& name, const std::u16string& secondName, std::uint16_t value,
                  std::uint32_t elementId, std::uint32_t areaId, const std::u16string& postalCode,
                  const GeoRect& rect)
        : m_name(TitleCaseCopy(name.c_str()))
        , m_secondName(TitleCaseCopy(secondName.c_str()))
        , m_value(value)
        , m_elementId(elementId)
        , m_areaId(areaId)
        , m_postalCode(postalCode.substr(0, AddressIndex::kPostalCodeLength))
        , m_rect(rect) {}

    std::u16string GetName() override { return m_name; }
    std::u16string GetSecondName() override { return m_secondName; }
    std::uint16_t GetValue() override { return m_value; }
    std::uint32_t GetId() override { return m_elementId; }
    std::int32_t GetAreaId() override { return static_cast<std::int32_t>(m_areaId); }
    std::u16string GetPostalCode() override { return m_postalCode; }
    std::uint32_t GetElementId() override { return m_elementId; }
    GeoRect GetRect() override { return m_rect; }
    bool HasArea() override { return m_areaId < 0xFFFFFFFFu; }

private:
    std::u16string m_name;
    std::u16string m_secondName;
    std::uint16_t m_value;
    std::uint32_t m_elementId;
    std::uint32_t m_areaId;
    std::u16string m_postalCode;
    GeoRect m_rect;
};

} // namespace

AddressResultPtr MakeAddressResult(const std::u16string& name, const std::u16string& secondName,
                                   std::uint16_t value, std::uint32_t elementId,
                                   std::uint32_t areaId, const std::u16string& postalCode,
                                   const GeoRect& rect) {
    return AddressResultPtr(new (std::nothrow) AddressResult(name, secondName, value, elementId,
                                                             areaId, postalCode, rect));
}

struct AddressIndex::TableSpec {
    std::vector<ColumnType> types;             // empty: any layout
    std::optional<DatasetTableId> datasetKind; // the layouts of the address datasets' table
};

AddressIndex::AddressIndex(BlockCachePtr cache)
    : m_cache(cache)
    , m_signposts(cache)
    , m_tree(cache)
    , m_adas(std::move(cache)) {}

AddressIndex::~AddressIndex() {
    Close();
}

OpenedTablePtr AddressIndex::OpenTable(const std::u16string& path, const TableSpec& spec,
                                       bool hasArchives) const {
    for (const bool isArchived : {false, true}) {
        if (isArchived && !hasArchives) {
            break;
        }
        auto opened = std::make_shared<OpenedDatasetTable>(m_cache);
        if (!(isArchived ? opened->table.OpenArchived(path) : opened->table.OpenMapped(path))) {
            continue;
        }
        if (spec.datasetKind) {
            const std::optional<std::int32_t> layout =
                MatchDatasetLayout(*spec.datasetKind, opened->table);
            if (!layout) {
                continue;
            }
            opened->layout = *layout;
        } else if (!spec.types.empty() &&
                   !opened->table.HasColumnTypes(spec.types.data(),
                                                 static_cast<std::uint32_t>(spec.types.size()))) {
            continue;
        }
        return opened;
    }
    // A table that is there but opens in no accepted layout is damaged; a missing one is not.
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        (void)ShowDamagedFileMessage(path);
    }
    return nullptr;
}

void AddressIndex::Open(const std::u16string& basePath, bool isFull,
                        std::shared_ptr<SfsMountSet> mountSet) {
    ScopedLock lock(&m_lock);
    m_isFull = isFull;
    m_mountSet = std::move(mountSet);
    const bool hasArchives = m_mountSet && m_mountSet->IsMounted(u"");
    if (!isFull) {
        const std::u16string path = basePath + u"_s2c.fsr";
        auto opened = std::make_shared<OpenedDatasetTable>(m_cache);
        if (hasArchives ? opened->table.OpenArchived(path) : opened->table.OpenMapped(path)) {
            const ByteSpan first = opened->table.GetRecord(0).GetRecordBytes();
            if (first.length >= 8 && (platform::ReadU32(first.data + 4) & 0xF800u) != 0) {
                m_s2c = std::move(opened);
            }
        }
        return;
    }
    const std::size_t slash = basePath.find_last_of(u"\\/");
    const std::u16string folder = slash == std::u16string::npos ? u"" : basePath.substr(0, slash);
    const auto open = [&](const char16_t* name, const TableSpec& spec) {
        return OpenTable(folder + u"\\" + name, spec, hasArchives);
    };
    m_cookie2AreaId = open(u"Cookie2AreaId.fsr", {});
    m_cookie2Plz = open(u"Cookie2Plz.fsr", {});
    m_typeTable = open(u"ETypeI.fsr", {{}, DatasetTableId::EType});
    m_entryPoints = open(u"EntryPoints.fsr", {{T::Int32, T::Float32, T::Float32}, {}});
    m_houseNumbers = open(
        u"HouseNumbers.fsr",
        {{T::Int32, T::UInt16, T::UInt16, T::UInt16, T::UInt16, T::UInt16, T::Int8, T::Int8}, {}});
    m_countries = open(u"Countries.fsr", {{T::UInt16, T::UInt16, T::Text64}, {}});
    m_postalCodes = open(u"PLZes.fsr", {{}, DatasetTableId::Plz});
    m_cookie2Country = open(u"Cookie2Country.fsr", {{T::Int32, T::UInt16, T::UInt16}, {}});
    if (!m_tree.Open(folder) && !(hasArchives && m_tree.OpenArchived(folder))) {
        m_areaTable = open(u"EAreaI.fsr", {{}, DatasetTableId::EArea});
        const std::u16string lists = folder + u"\\EAreaP.fsr";
        if (!AreaListFile::LoadPlain(lists, m_areaLists) && hasArchives) {
            (void)AreaListFile::LoadArchived(lists, m_areaLists);
        }
        m_citiesByName = open(u"AllCitiesByName.fsr", {{}, DatasetTableId::AllCitiesByName});
        m_citiesByCountry =
            open(u"AllCitiesByCountry.fsr", {{}, DatasetTableId::AllCitiesByCountry});
    }
    const std::u16string types = folder + u"\\ETypeP.fsr";
    if (!AreaListFile::LoadPlain(types, m_typeLists) && hasArchives) {
        (void)AreaListFile::LoadArchived(types, m_typeLists);
    }
    for (const auto& [table, name] :
         {std::pair{&m_signposts, u"\\SignpostInfo.fsx"}, std::pair{&m_adas, u"\\ADAS.fsx"}}) {
        if (!table->OpenMapped(folder + name) && hasArchives) {
            (void)table->OpenArchived(folder + name);
        }
    }
    m_areSignTablesLoaded = m_signTables.Load(folder + u"\\adas");
}

void AddressIndex::Close() {
    ScopedLock lock(&m_lock);
    for (OpenedTablePtr* table :
         {&m_s2c, &m_cookie2AreaId, &m_cookie2Plz, &m_areaTable, &m_typeTable, &m_entryPoints,
          &m_houseNumbers, &m_countries, &m_citiesByName, &m_citiesByCountry, &m_postalCodes,
          &m_cookie2Country}) {
        table->reset();
    }
    m_signposts.Close();
    m_tree.Close();
    m_adas.Close();
    // A map set opened next without an address index maps no ids.
    m_isFull = false;
}

void AddressIndex::OpenWithoutTables() {
    ScopedLock lock(&m_lock);
    m_isFull = true;
}

std::uint32_t AddressIndex::LookupS2C(std::uint32_t id) {
    if (m_isFull) {
        return id;
    }
    ScopedLock lock(&m_lock);
    if (!m_s2c) {
        return 0;
    }
    const FsrKeyRange range = m_s2c->table.Find(Int32Key(id), false);
    const ByteSpan bytes = range.GetRecordBytes();
    return bytes.length >= 8 ? platform::ReadU32(bytes.data + 4) : 0;
}

std::int32_t AddressIndex::GetMaxCookie() {
    ScopedLock lock(&m_lock);
    if (!m_cookie2AreaId || m_cookie2AreaId->table.GetRecordCount() == 0) {
        return 0;
    }
    const ByteSpan last =
        m_cookie2AreaId->table.GetRecord(m_cookie2AreaId->table.GetRecordCount() - 1)
            .GetRecordBytes();
    return last.length >= 4 ? static_cast<std::int32_t>(platform::ReadU32(last.data)) - 1 : 0;
}

const std::uint8_t* AddressIndex::CookieSlot(const OpenedTablePtr& table, std::int32_t cookie,
                                             std::uint32_t slot, std::uint32_t slotSize,
                                             FsrRecord& holder) const {
    if (!table) {
        return nullptr;
    }
    holder = table->table.FindRecord(Int32Key(cookie), false);
    const ByteSpan bytes = holder.GetRecordBytes();
    const ByteSpan field = bytes.Sub(4 + slot * slotSize, slotSize);
    return field.length == slotSize ? field.data : nullptr;
}

std::int32_t AddressIndex::GetCookieAreaId(std::int32_t cookie, std::uint32_t attributeWord) {
    ScopedLock lock(&m_lock);
    FsrRecord holder;
    const std::uint8_t* slot = CookieSlot(
        m_cookie2AreaId, cookie,
        (attributeWord >> maprecord::kRawAreaSlotShift) & maprecord::kRawSlotMask, 4, holder);
    const std::uint32_t areaId = slot != nullptr ? platform::ReadU32(slot) : 0;
    return areaId == 0 ? -1 : static_cast<std::int32_t>(areaId);
}

bool AddressIndex::GetCookiePostalCode(std::int32_t cookie, std::uint32_t attributeWord,
                                       char16_t* buffer) {
    buffer[0] = 0;
    ScopedLock lock(&m_lock);
    FsrRecord holder;
    const std::uint8_t* slot =
        CookieSlot(m_cookie2Plz, cookie,
                   (attributeWord >> maprecord::kRawPostalSlotShift) & maprecord::kRawSlotMask,
                   kPostalCodeLength, holder);
    if (slot == nullptr) {
        return false;
    }
    // Converted as stored: only the code page changes, not the letter case.
    const std::string narrow(FieldText(ByteSpan(slot, kPostalCodeLength), 0, kPostalCodeLength));
    const std::u16string wide = AnsiToWide(narrow.c_str());
    const std::size_t length = std::min<std::size_t>(wide.size(), kPostalCodeLength);
    std::copy_n(wide.begin(), length, buffer);
    buffer[length] = 0;
    return true;
}

bool AddressIndex::GetEntryPoints(std::uint32_t id, std::vector<GeoPoint>& points) {
    ScopedLock lock(&m_lock);
    if (m_entryPoints) {
        for (FsrKeyRange range = m_entryPoints->table.Find(Int32Key(id), false); range.IsValid();
             range.Next()) {
            const ByteSpan bytes = range.GetRecordBytes();
            if (bytes.length >= 12) {
                points.push_back({FloatAt(bytes, 4), FloatAt(bytes, 8)});
            }
        }
    }
    return !points.empty();
}

bool AddressIndex::FillHouseNumberInfo(std::uint32_t elementId, HouseNumberInfo& info) {
    ScopedLock lock(&m_lock);
    if (!m_houseNumbers) {
        return false;
    }
    bool isFound = false;
    for (FsrKeyRange range = m_houseNumbers->table.Find(Int32Key(elementId), false);
         range.IsValid(); range.Next()) {
        const ByteSpan bytes = range.GetRecordBytes();
        if (bytes.length < 16) {
            continue;
        }
        isFound = true;
        info.bothSidesScheme = 0;
        info.firstSideScheme = platform::ReadU16(bytes.data + 6);
        info.secondSideScheme = platform::ReadU16(bytes.data + 8);
        const auto suffix = [&](std::uint32_t at) {
            return static_cast<unsigned short>(
                static_cast<std::int16_t>(static_cast<std::int8_t>(bytes.data[at])));
        };
        const HouseNumber first(platform::ReadU16(bytes.data + 10), suffix(14));
        const HouseNumber second(platform::ReadU16(bytes.data + 12), suffix(15));
        info.rangeFlag = info.firstSideScheme < 10 && info.secondSideScheme < 10 ? 0 : 1;
        if (info.rangeFlag == 1 || first.IsValid()) {
            info.firstSide.Append(first);
        }
        if (info.rangeFlag == 1 || second.IsValid()) {
            info.secondSide.Append(second);
        }
    }
    return isFound;
}

std::u16string AddressIndex::GetETypeName(std::int16_t typeId) {
    ScopedLock lock(&m_lock);
    if (!m_typeTable) {
        return {};
    }
    const FsrKeyRange range =
        m_typeTable->table.Find(UInt16Key(static_cast<std::uint16_t>(typeId)), false);
    return range.IsValid() ? TitleCaseFromNarrow(FieldText(range.GetRecordBytes(), 4, 64))
                           : std::u16string();
}

TypeCursorPtr AddressIndex::GetETypeCursor() {
    ScopedLock lock(&m_lock);
    if (!m_typeTable) {
        return {};
    }
    return TypeCursorPtr(new (std::nothrow) TypeCursor(m_typeTable));
}

GeoRect AddressIndex::GetPostalCodeRect(const std::u16string& postalCode, std::uint16_t value) {
    ScopedLock lock(&m_lock);
    if (!m_postalCodes) {
        return {};
    }
    for (RecordView<PlzRecord> records = FindPostalCodeRecords(m_postalCodes, postalCode, value);
         records.IsValid(); records.Next()) {
        const std::u16string code = AnsiToWide(records.Get().code.c_str());
        if (code == postalCode && (m_postalCodes->layout != 2 || records.Get().value == value)) {
            return records.Get().rect;
        }
    }
    return {};
}

PostalCodeCursorPtr AddressIndex::FindPostalCodes(const std::u16string& postalCode,
                                                  std::uint16_t value) {
    ScopedLock lock(&m_lock);
    if (!m_postalCodes) {
        return {};
    }
    return PostalCodeCursorPtr(
        new (std::nothrow) PlzCursor(FindPostalCodeRecords(m_postalCodes, postalCode, value)));
}

std::int16_t AddressIndex::GetCountryCode(std::uint32_t elementId) {
    ScopedLock lock(&m_lock);
    if (!m_cookie2Country) {
        return 0;
    }
    const auto countryOf = [](ByteSpan bytes) {
        return bytes.length >= 6 ? platform::ReadLittleEndian<std::int16_t>(bytes.data + 4)
                                 : std::int16_t{0};
    };
    const std::vector<std::uint8_t> key = Int32Key(elementId);
    const FsrKeyRange exact = m_cookie2Country->table.Find(key, false);
    if (exact.IsValid()) {
        return countryOf(exact.GetRecordBytes());
    }
    FsrRecord floor = m_cookie2Country->table.FindRecord(key, false);
    if (!floor.IsValid()) {
        return 0;
    }
    floor.Next();
    return countryOf(floor.GetRecordBytes());
}

AddressCursorPtr AddressIndex::FindCities(const std::u16string& text, std::uint16_t country,
                                          CityLookupPtr lookup) {
    ScopedLock lock(&m_lock);
    if (m_tree.IsLoaded()) {
        NameSearchCursor cursor = m_tree.FindCities(text, country);
        lock.Unlock();
        return AddressCursorPtr(new (std::nothrow)
                                    CitySearchIterator(std::move(lookup), std::move(cursor)));
    }
    if (country != 0) {
        DatasetRows rows = FindCityRecordsOfCountry(m_citiesByCountry, country, text);
        lock.Unlock();
        return AddressCursorPtr(new (std::nothrow)
                                    IndexCityByCountryCursor(std::move(lookup), std::move(rows)));
    }
    DatasetRows rows = FindCityRecords(m_citiesByName, text);
    lock.Unlock();
    return AddressCursorPtr(new (std::nothrow)
                                IndexCityByNameCursor(std::move(lookup), std::move(rows)));
}

std::optional<CityAreaNode> AddressIndex::FindAreaNode(std::uint32_t nodeId) {
    ScopedLock lock(&m_lock);
    const AreaTreeCursor node = m_tree.GetNode(nodeId);
    if (!node.IsValid()) {
        return std::nullopt;
    }
    return CityAreaNode{node.GetElementId(), node.GetRect()};
}

SignInfoPtr AddressIndex::GetSignInfo(std::uint32_t elementId) {
    ScopedLock lock(&m_lock);
    const std::vector<std::uint8_t> key = Int32Key(elementId);
    const FsxRecord record = m_adas.Find(key, false);
    if (!record.IsValid()) {
        return {};
    }
    std::u16string text;
    if (m_areSignTablesLoaded) {
        text = m_signTables.GetSignText(elementId);
    }
    return SignInfoPtr(new (std::nothrow)
                           SignInfo(record.GetRecordBytes().Duplicate(), std::move(text)));
}

FsxRecord AddressIndex::FindSignposts(std::uint32_t elementId) {
    ScopedLock lock(&m_lock);
    return m_signposts.Find(Int32Key(elementId), false);
}

std::int32_t AddressIndex::WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t level) {
    ScopedLock lock(&m_lock);
    if (m_tree.IsOpen()) {
        return m_tree.WalkToLevel(areaId, level);
    }
    return FindAncestorAtLevel(m_areaTable, areaId, level);
}

std::u16string AddressIndex::AreaName(std::uint32_t level, std::string_view name,
                                      const CountryRectSource& rects, bool& isDone) {
    isDone = true;
    if (level != kCountryLevel) {
        return TitleCaseFromNarrow(name);
    }
    const CountryPtr country =
        GetCountry(static_cast<std::uint16_t>(LeadingNumber(name)), 0, rects);
    if (country) {
        return country->GetName();
    }
    isDone = false;
    return {};
}

std::u16string AddressIndex::LookupArea(std::uint32_t areaId, const CountryRectSource& rects) {
    if (areaId == AreaTreeCursor::kNone) {
        return {};
    }
    ScopedLock lock(&m_lock);
    bool isDone = false;
    const AreaTreeCursor node = m_tree.GetNode(areaId);
    if (node.IsValid()) {
        std::u16string name = AreaName(node.GetLevel(), node.GetName(), rects, isDone);
        if (isDone) {
            return name;
        }
    }
    const std::optional<RawArea> area = FindArea(m_areaTable, areaId);
    if (area) {
        std::u16string name =
            AreaName(static_cast<std::uint32_t>(area->level), area->name, rects, isDone);
        if (isDone) {
            return name;
        }
    }
    return {};
}

GeoRect AddressIndex::GetAreaRect(std::uint32_t areaId) {
    if (areaId == AreaTreeCursor::kNone) {
        return {};
    }
    ScopedLock lock(&m_lock);
    const AreaTreeCursor node = m_tree.GetNode(areaId);
    if (node.IsValid()) {
        return node.GetRect();
    }
    const std::optional<RawArea> area = FindArea(m_areaTable, areaId);
    return area && area->rect ? *area->rect : GeoRect{};
}

void AddressIndex::AppendDescendants(std::uint32_t areaId, std::vector<std::uint32_t>& children,
                                     std::vector<std::uint32_t>& seen) const {
    const auto found = m_areaLists.find(areaId);
    if (found == m_areaLists.end() || std::find(seen.begin(), seen.end(), areaId) != seen.end()) {
        return;
    }
    seen.push_back(areaId);
    children.insert(children.end(), found->second.begin(), found->second.end());
    for (const std::uint32_t child : found->second) {
        AppendDescendants(child, children, seen);
    }
}

bool AddressIndex::GetChildAreas(std::uint32_t areaId, std::vector<std::uint32_t>& children) {
    ScopedLock lock(&m_lock);
    if (m_tree.IsOpen()) {
        const std::vector<std::uint32_t> direct = m_tree.GetNode(areaId).GetChildren();
        children.insert(children.end(), direct.begin(), direct.end());
        return !direct.empty();
    }
    if (m_areaLists.find(areaId) == m_areaLists.end()) {
        return false;
    }
    std::vector<std::uint32_t> seen;
    AppendDescendants(areaId, children, seen);
    return true;
}

CountryPtr AddressIndex::GetCountry(std::uint16_t number, std::uint16_t language,
                                    const CountryRectSource& rects) {
    const OpenedTablePtr countries = [&] {
        ScopedLock lock(&m_lock);
        return m_countries;
    }();
    if (!countries) {
        return {};
    }
    std::u16string name;
    std::u16string nativeName;
    std::uint16_t variant = language;
    // A country named neither in the asked language nor in its own language takes the name of its
    // first record that holds one, in whatever language, so that it never shows blank.
    std::u16string anyName;
    std::uint16_t anyLanguage = language;
    FsrKeyRange range = countries->table.Find(UInt16Key(number), false);
    if (!range.IsValid()) {
        return {};
    }
    for (; range.IsValid(); range.Next()) {
        const ByteSpan bytes = range.GetRecordBytes();
        if (bytes.length < 4) {
            continue;
        }
        const auto code = platform::ReadLittleEndian<std::int16_t>(bytes.data + 2);
        std::u16string text = TitleCaseFromNarrow(FieldText(bytes, 4, 64));
        if (code == static_cast<std::int16_t>(language)) {
            name = text;
        }
        if (code >= 100) {
            nativeName = text;
            variant = static_cast<std::uint16_t>(code - 100);
        }
        if (anyName.empty() && !text.empty()) {
            anyName = std::move(text);
            anyLanguage = static_cast<std::uint16_t>(code >= 100 ? code - 100 : code);
        }
    }
    if (!name.empty()) {
        return CountryPtr(new (std::nothrow)
                              CountryResult(rects, name, nativeName, number, language));
    }
    if (nativeName.empty()) {
        return CountryPtr(new (std::nothrow)
                              CountryResult(rects, anyName, nativeName, number, anyLanguage));
    }
    return CountryPtr(new (std::nothrow)
                          CountryResult(rects, nativeName, nativeName, number, variant));
}

std::vector<CountryPtr> AddressIndex::GetCountries(std::uint16_t language,
                                                   const CountryRectSource& rects) {
    std::vector<CountryPtr> countries;
    for (std::uint16_t number = 0; number <= kLastCountry; ++number) {
        if (CountryPtr country = GetCountry(number, language, rects)) {
            countries.push_back(std::move(country));
        }
    }
    return countries;
}

GeoRect AddressIndex::GetCountryRect(std::uint16_t number) {
    ScopedLock lock(&m_lock);
    const std::string text = std::to_string(number);
    if (m_tree.IsOpen()) {
        AreaTreeCursor cursor = m_tree.GetNode(0);
        for (; cursor.IsValid(); cursor.Next()) {
            if (cursor.GetLevel() == kCountryLevel && cursor.GetName() == text) {
                return cursor.GetRect();
            }
        }
        return {};
    }
    if (!m_areaTable) {
        return {};
    }
    GeoRect joined(FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX);
    bool isJoined = false;
    for (FsrRecord record = m_areaTable->table.GetRecord(0); record.IsValid(); record.Next()) {
        const RawArea area = ReadArea(record.GetRecordBytes(), m_areaTable->layout);
        if (area.level == static_cast<std::int32_t>(kCountryLevel) && area.name == text &&
            area.rect) {
            joined.Union(*area.rect);
            isJoined = true;
        }
    }
    return isJoined ? joined : GeoRect{};
}
