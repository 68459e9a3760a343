#pragma once
// The cursors and results of the address datasets: cities by name or by country, postal codes,
// type ids and streets (by area, by area and level, by postal code, and merged over several
// levels by name). Each keeps the datasets and the tables it walks alive. One thread at a time.

#include "tablefiles/addressinterfaces.h"
#include "tablefiles/datasetsimpl.h"
#include "tablefiles/datasettable.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A city of the city tables.
class DatasetCity final : public IAddressResult {
public:
    DatasetCity(DatasetsPtr datasets, std::u16string name, std::uint32_t cityId,
                std::uint32_t areaId, std::uint16_t value);

    std::u16string GetName() override { return m_name; }
    // The name of the city's area.
    std::u16string GetSecondName() override;
    std::uint16_t GetValue() override { return m_value; }
    std::uint32_t GetId() override { return m_cityId; }
    // -1 when the area id is the city id.
    std::int32_t GetAreaId() override;
    std::u16string GetPostalCode() override;
    std::uint32_t GetElementId() override;
    GeoRect GetRect() override;
    bool HasArea() override { return m_areaId != 0xFFFFFFFF; }

private:
    std::u16string m_name;
    std::optional<std::u16string> m_secondName;
    std::u16string m_postalCode;
    std::uint32_t m_cityId;
    std::uint32_t m_areaId;
    GeoRect m_rect;
    std::uint16_t m_value;
    DatasetsPtr m_datasets;
};

// Walks the city records of a name search; the country table has a leading country column.
class CityCursor : public IAddressCursor {
public:
    CityCursor(DatasetsPtr datasets, DatasetRows rows, std::uint32_t firstColumn);
    bool Next() override;
    AddressResultPtr GetCurrent() override;
    bool IsValid() override { return m_rows.IsValid(); }

private:
    DatasetsPtr m_datasets;
    DatasetRows m_rows;
    std::uint32_t m_firstColumn;
};

class CityByNameCursor final : public CityCursor {
public:
    CityByNameCursor(DatasetsPtr datasets, DatasetRows rows)
        : CityCursor(std::move(datasets), std::move(rows), 0) {}
};

class CityByCountryCursor final : public CityCursor {
public:
    CityByCountryCursor(DatasetsPtr datasets, DatasetRows rows)
        : CityCursor(std::move(datasets), std::move(rows), 1) {}
};

class DatasetPostalCode final : public IPostalCode {
public:
    DatasetPostalCode(std::u16string text, const GeoRect& rect)
        : m_text(std::move(text))
        , m_rect(rect) {}
    std::u16string GetText() override { return m_text; }
    GeoRect GetRect() override { return m_rect; }

private:
    std::u16string m_text;
    GeoRect m_rect;
};

class PlzCursor final : public IPostalCodeCursor {
public:
    explicit PlzCursor(RecordView<PlzRecord> view)
        : m_view(std::move(view)) {}
    bool Next() override;
    PostalCodePtr GetCurrent() override;
    bool IsValid() override { return m_view.IsValid(); }

private:
    RecordView<PlzRecord> m_view;
};

// Every type record from the table's first.
class TypeCursor final : public ITypeCursor {
public:
    explicit TypeCursor(OpenedTablePtr table);
    bool Next() override;
    std::int32_t GetCurrent() override;
    bool IsValid() override { return m_record.IsValid(); }

private:
    OpenedTablePtr m_table;
    FsrRecord m_record;
};

// A street cursor over one table's records.
template <class Record> class StreetCursor : public IGeoMoleculeCursor {
public:
    StreetCursor(DatasetsPtr datasets, RecordView<Record> view)
        : m_datasets(std::move(datasets))
        , m_view(std::move(view)) {}
    bool Next() override {
        m_view.Next();
        return m_view.IsValid();
    }
    GeoMoleculePtr GetCurrent() override;
    bool IsValid() override { return m_view.IsValid(); }

private:
    DatasetsPtr m_datasets;
    RecordView<Record> m_view;
};

class XoAnCursor final : public StreetCursor<XoAnRecord> {
public:
    using StreetCursor::StreetCursor;
};

class XoAtCursor final : public StreetCursor<XoAtRecord> {
public:
    using StreetCursor::StreetCursor;
};

class XoPnCursor final : public StreetCursor<XoPnRecord> {
public:
    using StreetCursor::StreetCursor;
};

// The streets of several levels, merged by name (byte order); among equal names the earlier
// range (lower level) comes first.
class XoAtMergeCursor final : public IGeoMoleculeCursor {
public:
    using RangeList = std::vector<RecordView<XoAtRecord>>;
    XoAtMergeCursor(DatasetsPtr datasets, std::shared_ptr<RangeList> ranges);
    bool Next() override;
    GeoMoleculePtr GetCurrent() override;
    bool IsValid() override;

private:
    void Select();

    std::shared_ptr<RangeList> m_ranges;
    std::size_t m_current = 0;
    DatasetsPtr m_datasets;
};

// The street a street cursor hands out: a dataset street while the datasets have street
// records, else the engine's molecule for the id and the title-cased name, else null.
GeoMoleculePtr MakeDatasetStreet(const DatasetsPtr& datasets, std::uint32_t streetId,
                                 const std::string& name);
