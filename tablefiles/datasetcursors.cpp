#include "tablefiles/datasetcursors.h"

#include "tablefiles/datasetstreet.h"
#include "tablefiles/detail/datasettext.h"
#include "utilities/usefulcode/widetext.h"

#include <new>
#include <utility>

namespace {

using tablefiles::detail::kNoDatasetId;
using tablefiles::detail::TitleFromAnsi;

constexpr std::uint16_t kNoVariant = 0xFFFF;

} // namespace

GeoMoleculePtr MakeDatasetStreet(const DatasetsPtr& datasets, std::uint32_t streetId,
                                 const std::string& name) {
    if (datasets->HasStreetRecords()) {
        return GeoMoleculePtr(new (std::nothrow) DatasetStreet(streetId, datasets, kNoVariant));
    }
    RetrievalEngine::RetrievalEnginePtr engine = datasets->GetEngine();
    if (engine.Get() == nullptr) {
        return nullptr;
    }
    return engine.Get()->CreateMappedGeoMolecule(streetId, TitleFromAnsi(name), 0);
}

DatasetCity::DatasetCity(DatasetsPtr datasets, std::u16string name, std::uint32_t cityId,
                         std::uint32_t areaId, std::uint16_t value)
    : m_name(std::move(name))
    , m_cityId(cityId)
    , m_areaId(areaId)
    , m_value(value)
    , m_datasets(std::move(datasets)) {}

std::u16string DatasetCity::GetSecondName() {
    if (!m_secondName) {
        m_secondName = m_datasets->GetAreaName(m_areaId);
    }
    return *m_secondName;
}

std::int32_t DatasetCity::GetAreaId() {
    return m_areaId == m_cityId ? -1 : static_cast<std::int32_t>(m_areaId);
}

std::u16string DatasetCity::GetPostalCode() {
    if (!m_postalCode.empty()) {
        return m_postalCode;
    }
    if (m_datasets->HasStreetRecords()) {
        std::uint32_t streetId = 0;
        if (m_datasets->GetStreetOfCity(m_cityId, streetId)) {
            GeoMoleculePtr street = m_datasets->CreateGeoMolecule(streetId, 0);
            if (street) {
                m_postalCode = street->GetPostalCode();
            }
        }
        return m_postalCode;
    }
    RetrievalEngine::RetrievalEnginePtr engine = m_datasets->GetEngine();
    if (engine.Get() != nullptr) {
        GeoMoleculePtr molecule = engine.Get()->CreateMappedGeoMolecule(m_cityId, m_name, 0);
        if (molecule) {
            m_postalCode = molecule->GetPostalCode();
        }
    }
    return m_postalCode;
}

std::uint32_t DatasetCity::GetElementId() {
    if (m_datasets->HasStreetRecords()) {
        std::uint32_t streetId = 0;
        return m_datasets->GetStreetOfCity(m_cityId, streetId) ? streetId : kNoDatasetId;
    }
    return m_datasets->GetEngine().Get() != nullptr ? m_cityId : kNoDatasetId;
}

GeoRect DatasetCity::GetRect() {
    if (m_rect == GeoRect()) {
        m_rect = m_datasets->GetAreaRect(m_areaId);
    }
    return m_rect;
}

CityCursor::CityCursor(DatasetsPtr datasets, DatasetRows rows, std::uint32_t firstColumn)
    : m_datasets(std::move(datasets))
    , m_rows(std::move(rows))
    , m_firstColumn(firstColumn) {}

bool CityCursor::Next() {
    m_rows.Next();
    return m_rows.IsValid();
}

AddressResultPtr CityCursor::GetCurrent() {
    if (!m_rows.IsValid()) {
        return nullptr;
    }
    const std::uint32_t c = m_firstColumn;
    return AddressResultPtr(new (std::nothrow) DatasetCity(
        m_datasets, TitleFromAnsi(m_rows.Column(c).AsText()),
        static_cast<std::uint32_t>(m_rows.Column(c + 2).AsInteger()),
        static_cast<std::uint32_t>(m_rows.Column(c + 1).AsInteger()),
        static_cast<std::uint16_t>(m_rows.Column(c + 3).AsInteger())));
}

bool PlzCursor::Next() {
    m_view.Next();
    return m_view.IsValid();
}

PostalCodePtr PlzCursor::GetCurrent() {
    if (!m_view.IsValid()) {
        return nullptr;
    }
    const PlzRecord& record = m_view.Get();
    return PostalCodePtr(new (std::nothrow)
                             DatasetPostalCode(TitleFromAnsi(record.code), record.rect));
}

TypeCursor::TypeCursor(OpenedTablePtr table)
    : m_table(std::move(table))
    , m_record(m_table->table.GetRecord(0)) {}

bool TypeCursor::Next() {
    m_record.Next();
    return m_record.IsValid();
}

std::int32_t TypeCursor::GetCurrent() {
    const std::uint8_t* record = m_record.GetRecord();
    if (record == nullptr) {
        return -1;
    }
    return static_cast<std::int32_t>(
        FieldValue(static_cast<std::uint32_t>(ColumnType::Int16), record).AsInteger());
}

template <class Record> GeoMoleculePtr StreetCursor<Record>::GetCurrent() {
    if (!m_view.IsValid()) {
        return nullptr;
    }
    const Record& record = m_view.Get();
    return MakeDatasetStreet(m_datasets, static_cast<std::uint32_t>(record.streetId), record.name);
}

template class StreetCursor<XoAnRecord>;
template class StreetCursor<XoAtRecord>;
template class StreetCursor<XoPnRecord>;

XoAtMergeCursor::XoAtMergeCursor(DatasetsPtr datasets, std::shared_ptr<RangeList> ranges)
    : m_ranges(std::move(ranges))
    , m_datasets(std::move(datasets)) {
    Select();
}

void XoAtMergeCursor::Select() {
    RangeList& ranges = *m_ranges;
    std::erase_if(ranges, [](const RecordView<XoAtRecord>& range) { return !range.IsValid(); });
    m_current = 0;
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        // Byte order of the narrow names; the earlier range wins a tie.
        if (ranges[i].Get().name < ranges[m_current].Get().name) {
            m_current = i;
        }
    }
}

bool XoAtMergeCursor::Next() {
    if (!m_ranges->empty()) {
        (*m_ranges)[m_current].Next();
        Select();
    }
    return IsValid();
}

bool XoAtMergeCursor::IsValid() {
    return !m_ranges->empty() && (*m_ranges)[m_current].IsValid();
}

GeoMoleculePtr XoAtMergeCursor::GetCurrent() {
    if (!IsValid()) {
        return nullptr;
    }
    const XoAtRecord& record = (*m_ranges)[m_current].Get();
    return MakeDatasetStreet(m_datasets, static_cast<std::uint32_t>(record.streetId), record.name);
}
