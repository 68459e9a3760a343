#include "tablefiles/datasetstreet.h"

#include "utilities/usefulcode/widetext.h"

#include <utility>

namespace {

constexpr std::uint16_t kLastVariantCode = 18;

} // namespace

DatasetStreet::DatasetStreet(std::uint32_t streetId, DatasetsPtr datasets,
                             std::uint16_t variantCode)
    : m_datasets(std::move(datasets))
    , m_streetId(streetId)
    , m_variantCode(variantCode) {}

const XoIRecord& DatasetStreet::GetRecord() {
    if (m_record.streetId == -1) {
        auto found = FindStreetRecord(m_datasets->GetTable(DatasetTableId::XoI), m_streetId);
        if (found.IsValid()) {
            m_record = found.Get();
        }
    }
    return m_record;
}

std::u16string DatasetStreet::GetName() {
    if (m_name.empty()) {
        m_name = m_datasets->GetNameText(GetRecord().nameId, u"Name id not found.");
    }
    return m_name;
}

std::int32_t DatasetStreet::GetVariantCode() {
    return m_variantCode <= kLastVariantCode ? m_variantCode : -1;
}

std::u16string DatasetStreet::GetPostalCode() {
    if (m_postalCode.empty()) {
        m_postalCode =
            m_datasets->GetNameText(GetRecord().postalCodeId, u"Postal code id not found.");
    }
    return m_postalCode;
}

std::u16string DatasetStreet::GetTypeName() {
    if (m_typeName.empty()) {
        const auto typeId = static_cast<std::uint16_t>(GetRecord().typeId);
        m_typeName = m_datasets->GetTypeText(typeId);
        if (m_typeName.empty()) {
            m_typeName = TitleCaseCopy(u"Type id not found.");
        }
    }
    return m_typeName;
}

std::int32_t DatasetStreet::WalkAreaHierarchy(std::int32_t level) {
    switch (level) {
    case 1:
        return GetRecord().areaLevel1;
    case 2:
        return GetRecord().areaLevel2;
    case 3:
        return GetRecord().areaLevel3;
    default:
        return -1;
    }
}

std::vector<std::uint32_t> DatasetStreet::GetElementIds() {
    if (m_elementIds.empty()) {
        for (DatasetRows rows = FindRecordsById(m_datasets->GetTable(DatasetTableId::U2S),
                                                ColumnType::Int32, m_streetId);
             rows.IsValid(); rows.Next()) {
            m_elementIds.push_back(static_cast<std::uint32_t>(rows.Column(1).AsInteger()));
        }
    }
    return m_elementIds;
}

GeoMoleculePtr DatasetStreet::GetEngineMolecule() {
    RetrievalEngine::RetrievalEnginePtr engine = m_datasets->GetEngine();
    return engine.Get() != nullptr ? engine.Get()->CreateGeoMolecule(m_streetId, 0) : nullptr;
}

std::vector<std::uint32_t> DatasetStreet::GetCrossStreets() {
    GeoMoleculePtr molecule = GetEngineMolecule();
    return molecule ? molecule->GetCrossStreets() : std::vector<std::uint32_t>();
}

ElementPosition DatasetStreet::GetCrossingWith(std::uint32_t otherId) {
    GeoMoleculePtr molecule = GetEngineMolecule();
    return molecule ? molecule->GetCrossingWith(otherId) : ElementPosition();
}

bool DatasetStreet::ElementHolds(std::uint32_t elementId, const HouseNumber& number) {
    HouseNumberInfo info;
    HouseNumberPosition position;
    return m_datasets->GetHouseNumberInfo(elementId, info) && info.Match(number, position);
}

bool DatasetStreet::HasHouseNumbers() {
    for (const std::uint32_t element : GetElementIds()) {
        HouseNumberInfo info;
        if (m_datasets->GetHouseNumberInfo(element, info)) {
            return true;
        }
    }
    return false;
}

bool DatasetStreet::HasHouseNumber(const HouseNumber& number) {
    if (!number.IsValid()) {
        return false;
    }
    for (const std::uint32_t element : GetElementIds()) {
        if (ElementHolds(element, number)) {
            return true;
        }
    }
    return false;
}

ElementPosition DatasetStreet::GetHouseNumberPosition(const HouseNumber& number) {
    const std::vector<std::uint32_t> elements = GetElementIds();
    if (elements.empty()) {
        return {};
    }
    const auto middlePoint = [&](std::uint32_t element) {
        std::vector<GeoPoint> points;
        (void)m_datasets->GetStreetPoints(element, points);
        return ElementPosition{element, points.empty() ? GeoPoint() : points[points.size() / 2]};
    };
    if (number.IsValid()) {
        for (const std::uint32_t element : elements) {
            if (ElementHolds(element, number)) {
                return middlePoint(element);
            }
        }
    }
    return middlePoint(elements[elements.size() / 2]);
}
