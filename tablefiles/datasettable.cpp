#include "tablefiles/datasettable.h"

#include "utilities/usefulcode/directorywalker.h"
#include "utilities/usefulcode/iniprofile.h"

#include <utility>
#include <vector>

namespace {

using T = ColumnType;

struct Layout {
    std::vector<ColumnType> columns;
};

struct TableKind {
    const char16_t* fileName;
    std::vector<Layout> layouts; // in the order they are tried
};

const std::array<TableKind, kDatasetTableCount>& TableKinds() {
    static const std::array<TableKind, kDatasetTableCount> kinds = {{
        {u"XO_AN.fsr",
         {{{T::Int32, T::Text16, T::Int32, T::Int32}},
          {{T::Int32, T::Text16, T::Int16, T::Int32}},
          {{T::Int32, T::Text16, T::Int32}}}},
        {u"XO_I.fsr",
         {{{T::Int32, T::Int32, T::Int32, T::Int32, T::Int32, T::Int32, T::Int32, T::Int32,
            T::Int32}},
          {{T::Int32, T::Int32, T::Int32, T::Int32, T::Int16, T::Int32, T::Int32, T::Int32,
            T::Int32}}}},
        {u"XO_PN.fsr",
         {{{T::Text16, T::Text16, T::Int32, T::Int32}},
          {{T::Text16, T::Text16, T::Int16, T::Int32}},
          {{T::Text16, T::Text16, T::Int32}}}},
        {u"XO_AT.fsr",
         {{{T::Int32, T::Int32, T::Text16, T::Int32, T::Int32}},
          {{T::Int32, T::Int16, T::Text16, T::Int16, T::Int32}},
          {{T::Int32, T::Int32, T::Text16, T::Int32}}}},
        {u"U2S.fsr", {{{T::Int32, T::Int32}}}},
        {u"AllCitiesByName.fsr", {{{T::Text64, T::Int32, T::Int32, T::UInt16}}}},
        {u"AllCitiesByCountry.fsr", {{{T::UInt16, T::Text64, T::Int32, T::Int32, T::UInt16}}}},
        {u"PLZes.fsr",
         {{{T::Text16}},
          {{T::Text16, T::Float32, T::Float32, T::Float32, T::Float32}},
          {{T::UInt16, T::Text16, T::Float32, T::Float32, T::Float32, T::Float32}}}},
        {u"EuroName.fsr", {{{T::Int32, T::Text64}}}},
        {u"EAreaI.fsr",
         {{{T::Int32, T::Int32, T::Text64}},
          {{T::Int32, T::Int32, T::Text64, T::Int32, T::Float32, T::Float32, T::Float32,
            T::Float32}}}},
        {u"ETypeI.fsr", {{{T::Int16, T::Int16, T::Text64}}}},
        {u"SCoords.fsr", {{{T::Int32, T::Float32, T::Float32}}}},
        {u"S2U.fsr", {{{T::Int32, T::Int32, T::Int32}}}},
        {u"HouseNumbers.fsr", {{{T::UInt32, T::UInt32, T::Text16, T::Text16}}}},
    }};
    return kinds;
}

const TableKind& KindOf(DatasetTableId id) {
    return TableKinds()[static_cast<std::size_t>(id)];
}

void AppendNumber(std::vector<std::uint8_t>& key, ColumnType type, std::int64_t value) {
    const std::uint32_t width = ColumnTypeSize(static_cast<std::uint32_t>(type));
    for (std::uint32_t i = 0; i < width; ++i) {
        key.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
    }
}

void AppendText(std::vector<std::uint8_t>& key, ColumnType type, const std::u16string& text) {
    const std::array<std::uint8_t, 256> zeros{};
    FieldValue value(static_cast<std::uint32_t>(type), zeros.data());
    value.SetText(text.c_str());
    const ByteSpan bytes = value.AsKey();
    key.insert(key.end(), bytes.data, bytes.data + bytes.length);
}

DatasetRows Find(const OpenedTablePtr& table, const std::vector<std::uint8_t>& key, bool byName) {
    if (!table) {
        return {};
    }
    return DatasetRows(table, table->table.Find(key, byName));
}

std::int32_t Int(const DatasetRows& rows, std::uint32_t column) {
    return static_cast<std::int32_t>(rows.Column(column).AsInteger());
}

std::string Text(const DatasetRows& rows, std::uint32_t column) {
    return std::string(rows.Column(column).AsText());
}

float Float(const DatasetRows& rows, std::uint32_t column) {
    return static_cast<float>(rows.Column(column).AsDouble());
}

GeoRect RectAt(const DatasetRows& rows, std::uint32_t first) {
    return {Float(rows, first), Float(rows, first + 1), Float(rows, first + 2),
            Float(rows, first + 3)};
}

} // namespace

const char16_t* DatasetTableFileName(DatasetTableId id) {
    return KindOf(id).fileName;
}

std::optional<std::int32_t> MatchDatasetLayout(DatasetTableId id, const FsrTable& table) {
    const auto& layouts = KindOf(id).layouts;
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const auto& columns = layouts[i].columns;
        if (table.HasColumnTypes(columns.data(), static_cast<std::uint32_t>(columns.size()))) {
            return static_cast<std::int32_t>(i);
        }
    }
    return std::nullopt;
}

bool DatabaseInfo::Load(const std::u16string& folder, const std::u16string& language) {
    static constexpr std::u16string_view kFileName = u"DATABASE.TXT";
    ScopedLock lock(&m_lock);
    m_folder = folder;
    m_language = language;
    m_path = folder + u"\\" + std::u16string(kFileName);
    if (!PathExists(m_path)) {
        m_path.clear();
        return false;
    }
    m_unknownNameText =
        IniProfile::GetString(u"Database", u"Unknown Name Representation", m_path.c_str(), u"?");
    return true;
}

std::u16string DatabaseInfo::ResolvePath(const std::u16string& logicalName) {
    ScopedLock lock(&m_lock);
    if (m_path.empty()) {
        // Closed meanwhile: the settings store would create a file of the empty name.
        return m_folder + u"\\" + logicalName;
    }
    const std::u16string section = m_language.empty() ? u"Default" : m_language;
    const std::u16string value = IniProfile::GetString(section.c_str(), logicalName.c_str(),
                                                       m_path.c_str(), logicalName.c_str());
    return m_folder + u"\\" + value;
}

bool DatabaseInfo::IsOpen() {
    ScopedLock lock(&m_lock);
    return !m_path.empty();
}

void DatabaseInfo::Clear() {
    ScopedLock lock(&m_lock);
    m_path.clear();
}

std::u16string DatabaseInfo::GetUnknownNameText() {
    ScopedLock lock(&m_lock);
    return m_unknownNameText;
}

std::u16string MountFolder::Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_folder;
}

void MountFolder::Set(const std::u16string& folder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_folder = folder;
}

DatasetTable::DatasetTable(DatasetTableId id, BlockCachePtr cache, DatabaseInfo* info,
                           const MountFolder* mountFolder)
    : m_id(id)
    , m_cache(std::move(cache))
    , m_info(info)
    , m_mountFolder(mountFolder) {}

OpenedTablePtr DatasetTable::EnsureOpen() {
    ScopedLock lock(&m_lock);
    // A table opened while the description is closed would outlive the next Close.
    if (!m_isAttempted && m_info->IsOpen()) {
        m_table = TryOpen();
        m_isAttempted = true;
    }
    return m_table;
}

OpenedTablePtr DatasetTable::TryOpen() {
    const std::u16string logicalName = DatasetTableFileName(m_id);
    auto opened = std::make_shared<OpenedDatasetTable>(m_cache);
    const auto accept = [&]() {
        const auto layout = MatchDatasetLayout(m_id, opened->table);
        if (!layout) {
            opened->table.Close();
            return false;
        }
        opened->layout = *layout;
        return true;
    };
    if (opened->table.OpenMapped(m_info->ResolvePath(logicalName)) && accept()) {
        return opened;
    }
    if (!m_mountFolder->Get().empty() &&
        opened->table.OpenArchived(m_info->ResolvePath(logicalName)) && accept()) {
        return opened;
    }
    return nullptr;
}

void DatasetTable::Close() {
    ScopedLock lock(&m_lock);
    m_isAttempted = false;
    m_table.reset();
}

DatasetRows::DatasetRows(OpenedTablePtr table, FsrKeyRange range)
    : m_table(std::move(table))
    , m_range(std::move(range)) {}

FieldValue DatasetRows::Column(std::uint32_t i) const {
    const std::uint8_t* record = m_range.GetRecord();
    const auto columns = m_table ? m_table->table.GetColumnList() : nullptr;
    if (record == nullptr || !columns || i >= columns->columns.size()) {
        return {};
    }
    const ColumnInfo& column = columns->columns[i];
    return FieldValue(column.typeCode, record + column.offset);
}

XoIRecord XoIRecord::Decode(const DatasetRows& rows) {
    // Both layouts hold nine numbers; the 16-bit type id of layout 1 widens with its sign.
    return {Int(rows, 0), Int(rows, 1), Int(rows, 2), Int(rows, 3), Int(rows, 4),
            Int(rows, 5), Int(rows, 6), Int(rows, 7), Int(rows, 8)};
}

XoAtRecord XoAtRecord::Decode(const DatasetRows& rows) {
    const std::uint32_t streetColumn = rows.GetLayout() == 2 ? 3 : 4;
    return {Int(rows, 0), Int(rows, 1), Text(rows, 2), Int(rows, streetColumn)};
}

XoAnRecord XoAnRecord::Decode(const DatasetRows& rows) {
    const std::uint32_t streetColumn = rows.GetLayout() == 2 ? 2 : 3;
    return {Int(rows, 0), Text(rows, 1), Int(rows, streetColumn)};
}

XoPnRecord XoPnRecord::Decode(const DatasetRows& rows) {
    const std::uint32_t streetColumn = rows.GetLayout() == 2 ? 2 : 3;
    return {Text(rows, 0), Text(rows, 1), Int(rows, streetColumn)};
}

PlzRecord PlzRecord::Decode(const DatasetRows& rows) {
    PlzRecord record;
    switch (rows.GetLayout()) {
    case 2:
        record.value = static_cast<std::uint16_t>(rows.Column(0).AsInteger());
        record.code = Text(rows, 1);
        record.rect = RectAt(rows, 2);
        break;
    case 1:
        record.code = Text(rows, 0);
        record.rect = RectAt(rows, 1);
        break;
    default:
        record.code = Text(rows, 0);
        break;
    }
    return record;
}

AreaRecord AreaRecord::Decode(const DatasetRows& rows) {
    AreaRecord record;
    record.areaId = Int(rows, 0);
    record.secondId = Int(rows, 1);
    record.name = Text(rows, 2);
    if (rows.GetLayout() == 1) {
        record.kind = Int(rows, 3);
        record.rect = RectAt(rows, 4);
    }
    return record;
}

RecordView<XoIRecord> FindStreetRecord(const OpenedTablePtr& xoI, std::uint32_t streetId) {
    std::vector<std::uint8_t> key;
    AppendNumber(key, T::Int32, streetId);
    return RecordView<XoIRecord>(Find(xoI, key, false));
}

RecordView<XoAnRecord> FindStreetsInArea(const OpenedTablePtr& xoAn, std::uint32_t areaId,
                                         const std::u16string& name) {
    std::vector<std::uint8_t> key;
    AppendNumber(key, T::Int32, areaId);
    AppendText(key, T::Text16, name);
    return RecordView<XoAnRecord>(Find(xoAn, key, true));
}

RecordView<XoPnRecord> FindStreetsInPostalCode(const OpenedTablePtr& xoPn,
                                               const std::u16string& postalCode,
                                               const std::u16string& name) {
    std::vector<std::uint8_t> key;
    AppendText(key, T::Text16, postalCode);
    AppendText(key, T::Text16, name);
    return RecordView<XoPnRecord>(Find(xoPn, key, true));
}

RecordView<XoAtRecord> FindStreetsAtLevel(const OpenedTablePtr& xoAt, std::uint32_t areaId,
                                          std::int32_t level, const std::u16string& name) {
    std::vector<std::uint8_t> key;
    AppendNumber(key, T::Int32, areaId);
    if (xoAt && xoAt->layout == 1) {
        AppendNumber(key, T::Int16, static_cast<std::int16_t>(level));
    } else {
        AppendNumber(key, T::Int32, level);
    }
    AppendText(key, T::Text16, name);
    return RecordView<XoAtRecord>(Find(xoAt, key, true));
}

RecordView<PlzRecord> FindPostalCodeRecords(const OpenedTablePtr& plz, const std::u16string& code,
                                            std::uint16_t value) {
    std::vector<std::uint8_t> key;
    if (plz && plz->layout == 2) {
        AppendNumber(key, T::UInt16, value);
    }
    AppendText(key, T::Text16, code);
    return RecordView<PlzRecord>(Find(plz, key, true));
}

RecordView<AreaRecord> FindAreaRecord(const OpenedTablePtr& eArea, std::uint32_t areaId) {
    std::vector<std::uint8_t> key;
    AppendNumber(key, T::Int32, areaId);
    return RecordView<AreaRecord>(Find(eArea, key, false));
}

DatasetRows FindCityRecords(const OpenedTablePtr& cities, const std::u16string& name) {
    std::vector<std::uint8_t> key;
    AppendText(key, T::Text64, name);
    return Find(cities, key, true);
}

DatasetRows FindCityRecordsOfCountry(const OpenedTablePtr& cities, std::uint16_t country,
                                     const std::u16string& name) {
    std::vector<std::uint8_t> key;
    AppendNumber(key, T::UInt16, country);
    AppendText(key, T::Text64, name);
    return Find(cities, key, true);
}

DatasetRows FindRecordsById(const OpenedTablePtr& table, ColumnType keyType, std::int64_t id) {
    std::vector<std::uint8_t> key;
    AppendNumber(key, keyType, id);
    return Find(table, key, false);
}
