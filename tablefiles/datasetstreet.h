#pragma once
// A street of the address datasets, known by its street id: texts, areas, elements, house
// numbers and a position from the dataset tables; cross streets through the engine. Texts and
// the element list are computed once. One thread at a time.

#include "tablefiles/addressinterfaces.h"
#include "tablefiles/datasetsimpl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class DatasetStreet final : public IGeoMolecule {
public:
    DatasetStreet(std::uint32_t streetId, DatasetsPtr datasets, std::uint16_t variantCode);

    std::uint32_t GetId() override { return m_streetId; }
    std::u16string GetName() override;
    std::u16string GetSecondName() override { return GetName(); }
    // The variant code below 19, else -1.
    std::int32_t GetVariantCode() override;
    std::u16string GetPostalCode() override;
    std::u16string GetTypeName() override;
    std::int32_t GetType() override { return GetRecord().typeId; }
    std::int32_t GetAreaId() override { return GetRecord().areaLevel1; }
    // Levels 1 to 3; -1 for any other.
    std::int32_t WalkAreaHierarchy(std::int32_t level) override;
    std::vector<std::uint32_t> GetElementIds() override;
    std::vector<std::uint32_t> GetCrossStreets() override;
    bool HasHouseNumbers() override;
    bool HasHouseNumber(const HouseNumber& number) override;
    // The middle stored point of the first element that holds the number, else of the middle
    // element.
    ElementPosition GetHouseNumberPosition(const HouseNumber& number) override;
    ElementPosition GetCrossingWith(std::uint32_t otherId) override;

private:
    // The street's record; looked up again on every call while the street is not found.
    const XoIRecord& GetRecord();
    GeoMoleculePtr GetEngineMolecule();
    // Whether the element's house numbers hold the number.
    bool ElementHolds(std::uint32_t elementId, const HouseNumber& number);

    XoIRecord m_record;
    DatasetsPtr m_datasets;
    std::u16string m_typeName;
    std::u16string m_name;
    std::u16string m_postalCode;
    std::uint32_t m_streetId;
    std::vector<std::uint32_t> m_elementIds;
    std::uint16_t m_variantCode;
};
