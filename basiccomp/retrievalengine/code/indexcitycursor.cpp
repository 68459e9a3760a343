#include "basiccomp/retrievalengine/code/indexcitycursor.h"

#include "utilities/usefulcode/widetext.h"

#include <string>

IndexCityCursor::IndexCityCursor(CityLookupPtr lookup, DatasetRows rows, std::uint32_t firstColumn)
    : m_lookup(std::move(lookup))
    , m_rows(std::move(rows))
    , m_firstColumn(firstColumn) {}

bool IndexCityCursor::Next() {
    m_rows.Next();
    return m_rows.IsValid();
}

AddressResultPtr IndexCityCursor::GetCurrent() {
    if (!m_rows.IsValid() || !m_lookup) {
        return {};
    }
    const std::uint32_t c = m_firstColumn;
    CityResultFields fields;
    fields.name = TitleCaseCopy(AnsiToWide(std::string(m_rows.Column(c).AsText()).c_str()).c_str());
    fields.areaId = static_cast<std::int32_t>(m_rows.Column(c + 1).AsInteger());
    fields.elementId = static_cast<std::uint32_t>(m_rows.Column(c + 2).AsInteger());
    // The value is read as a signed 16-bit number and handed on with its bits.
    fields.value =
        static_cast<std::uint16_t>(static_cast<std::int16_t>(m_rows.Column(c + 3).AsInteger()));
    FetchCityDetails(fields);
    return m_lookup->MakeCityResult(fields);
}

void IndexCityCursor::FetchCityDetails(CityResultFields& fields) {
    CityElementDetails element = m_lookup->ReadCityElement(fields.elementId);
    fields.postalCode = std::move(element.postalCode);
    if (fields.areaId == static_cast<std::int32_t>(fields.elementId)) {
        fields.rect = element.rect;
        fields.areaId = -1;
    } else {
        fields.rect = m_lookup->GetAreaRect(fields.areaId);
    }
    fields.secondName = TitleCaseCopy(element.name.c_str());
}
