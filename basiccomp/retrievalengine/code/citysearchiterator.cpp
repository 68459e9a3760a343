#include "basiccomp/retrievalengine/code/citysearchiterator.h"

CitySearchIterator::CitySearchIterator(CityLookupPtr lookup, NameSearchCursor cursor)
    : m_lookup(std::move(lookup))
    , m_cursor(std::move(cursor)) {
    (void)LoadCurrent();
}

bool CitySearchIterator::Next() {
    m_cursor.Next();
    return LoadCurrent();
}

AddressResultPtr CitySearchIterator::GetCurrent() {
    return m_cursor.HasNext() ? m_current : AddressResultPtr();
}

bool CitySearchIterator::LoadCurrent() {
    if (!m_cursor.HasNext() || !m_lookup) {
        return false;
    }
    const std::uint32_t number = m_cursor.GetRecordNumber();
    CityResultFields fields;
    fields.value = m_cursor.GetRecordValue();
    std::optional<CityAreaNode> node;
    if ((number & 1) == 0) {
        node = m_lookup->FindAreaNode(number >> 1);
    }
    fields.elementId = node ? node->elementId : number >> 1;
    CityElementDetails element = m_lookup->ReadCityElement(fields.elementId);
    if (node) {
        fields.areaId = static_cast<std::int32_t>(number >> 1);
        fields.rect = node->rect;
    } else {
        fields.rect = element.rect;
    }
    fields.name = std::move(element.name);
    fields.secondName = std::move(element.secondName);
    fields.postalCode = std::move(element.postalCode);
    m_current = m_lookup->MakeCityResult(fields);
    return true;
}
