#include "routing/searchspace.h"

void SearchSpace::CopyRecord() const {
    m_record = m_crossing && m_crossing->IsValid() ? *m_table->GetRecord(m_crossing->GetId())
                                                   : *ExhaustedRecord();
}

void SearchSpace::Place() const {
    if (!m_isUnread) {
        return;
    }
    m_isUnread = false;
    if (!m_crossing) {
        m_crossing = m_network->CreateCrossing(m_address);
    } else {
        m_crossing->MoveTo(m_address);
    }
    CopyRecord();
}

void SearchSpace::SetPosition(const CrossingAddress& address) {
    m_address = address;
    m_isUnread = true;
    Place();
}

void SearchSpace::SetPosition(const NetworkCrossing& crossing) {
    m_address = crossing.GetAddress();
    m_isUnread = true;
}

const NetworkCrossingPtr& SearchSpace::GetCrossing() const {
    Place();
    return m_crossing;
}

const NodeRecord& SearchSpace::GetRecordCopy() const {
    Place();
    return m_record;
}

void SearchSpace::Refresh() {
    Place();
    if (!m_crossing) {
        return;
    }
    m_cursor = m_network->CreateCursor(*m_crossing, ArrivalIndex(), 0);
    if (m_cursor && m_cursor->IsValid()) {
        m_crossing->MoveTo(m_cursor->GetTarget());
        CopyRecord();
    }
}

bool SearchSpace::IsUsable() const {
    Place();
    return m_address.page != 0xFFFF && (m_record.flags & 0xF8u) <= 0x78u;
}

std::uint32_t SearchSpace::ArrivalIndex() const {
    Place();
    return m_record.flags >> 3;
}

void SearchSpace::Rewind() {
    if (m_isUnread) {
        Place();
        return;
    }
    if (m_address.page == 0xFFFF || !m_crossing) {
        return;
    }
    m_crossing->MoveTo(m_address);
    CopyRecord();
}
