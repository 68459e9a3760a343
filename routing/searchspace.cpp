#include "routing/searchspace.h"

void SearchSpace::CopyRecord() {
    m_record = m_crossing && m_crossing->IsValid() ? *m_table->GetRecord(m_crossing->GetId())
                                                   : *ExhaustedRecord();
}

void SearchSpace::SetPosition(const CrossingAddress& address) {
    m_address = address;
    if (!m_crossing) {
        m_crossing = m_network->CreateCrossing(address);
    } else {
        m_crossing->MoveTo(address);
    }
    CopyRecord();
}

void SearchSpace::SetPosition(const NetworkCrossing& crossing) {
    m_address = crossing.GetAddress();
    if (!m_crossing) {
        m_crossing = std::make_shared<NetworkCrossing>(crossing);
    } else {
        *m_crossing = crossing;
    }
    CopyRecord();
}

void SearchSpace::Refresh() {
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
    return m_address.page != 0xFFFF && (m_record.flags & 0xF8u) <= 0x78u;
}

void SearchSpace::Rewind() {
    if (m_address.page == 0xFFFF || !m_crossing) {
        return;
    }
    m_crossing->MoveTo(m_address);
    CopyRecord();
}
