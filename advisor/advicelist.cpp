#include "advisor/advicelist.h"

void AdviceList::SetRecord(std::int32_t n, AdviceRecord record) {
    if (n >= 0 && static_cast<std::size_t>(n) < m_records.size()) {
        m_records[static_cast<std::size_t>(n)] = std::move(record);
    }
}

bool AdviceList::GetRecord(std::int32_t n, AdviceRecord& target) const {
    if (n < 0 || static_cast<std::size_t>(n) >= m_records.size()) {
        return false;
    }
    target = m_records[static_cast<std::size_t>(n)];
    return true;
}

bool AdviceList::FindRecordForRoute(AdviceRecord& target, RouteIterator& route) const {
    while (route.IsValid()) {
        const std::uint32_t element = route.Current().linkId;
        route.Next();
        const std::uint32_t next = route.IsValid() ? route.Current().linkId : 0xFFFFFFFFu;
        for (const AdviceRecord& record : m_records) {
            if (record.elementId == element && record.nextElementId == next) {
                target = record;
                return true;
            }
        }
    }
    return false;
}
