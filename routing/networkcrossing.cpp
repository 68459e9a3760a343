#include "routing/networkcrossing.h"

#include <vector>

namespace {

constexpr GeoPoint kUnknownPosition{3.4028235e38f, 3.4028235e38f};

thread_local std::uint64_t t_recordReads = 0;

} // namespace

std::uint64_t RecordReadsOnThisThread() {
    return t_recordReads;
}

void PagePosition::Set(std::uint16_t page, std::uint16_t offset) {
    m_page = page;
    m_offset = offset;
    m_record.reset();
    ++t_recordReads;
    m_bytes = m_store != nullptr ? m_store->GetRecord(page, offset) : RecordBytes{};
    if (m_bytes) {
        m_record = CrossingRecord::Parse(m_bytes.data, m_bytes.available, m_store->IsSeparated());
    }
    if (!m_record) {
        m_bytes = {};
    }
}

void PagePosition::Next() {
    if (m_store == nullptr) {
        return;
    }
    const PageStoreParameters& p = m_store->GetParameters();
    std::uint32_t page = m_page;
    std::uint32_t offset = m_offset;
    if (m_record) {
        offset += m_record->Size();
    } else {
        offset = p.pageSize; // no record here: go on with the next page
    }
    for (;;) {
        if (offset + 4 >= p.pageSize) {
            ++page;
            offset = 0;
        }
        if (page > 0xFFFF ||
            !IsBeforeEnd(static_cast<std::uint16_t>(page), static_cast<std::uint16_t>(offset),
                         p.endPage, p.endOffset)) {
            m_record.reset();
            m_bytes = {};
            m_page = static_cast<std::uint16_t>(std::min<std::uint32_t>(page, 0xFFFF));
            m_offset = static_cast<std::uint16_t>(offset);
            return;
        }
        const RecordBytes raw = m_store->GetRecord(static_cast<std::uint16_t>(page),
                                                   static_cast<std::uint16_t>(offset));
        if (raw && CrossingRecord::LinkCountAt(raw.data, raw.available) == 0) {
            offset = p.pageSize; // the unused rest of the page
            continue;
        }
        Set(static_cast<std::uint16_t>(page), static_cast<std::uint16_t>(offset));
        return;
    }
}

NetworkCrossing::NetworkCrossing(const PageStoreSource& network, const CrossingAddress& address)
    : m_network(&network)
    , m_position(network.GetStore(address.level))
    , m_level(address.level) {
    m_position.Set(address.page, address.offset);
}

bool NetworkCrossing::HasTurnTable() const {
    const CrossingRecord* record = GetRecord();
    return record != nullptr && record->HasTurnTable();
}

std::uint32_t NetworkCrossing::GetCrossingValue() const {
    const CrossingRecord* record = GetRecord();
    if (record == nullptr) {
        return 0xFFFFFFFF;
    }
    const auto entry = GetStore()->GetPositionEntry(*record);
    return entry ? entry->value : 0xFFFFFFFFu;
}

GeoPoint NetworkCrossing::Position() const {
    const CrossingRecord* record = GetRecord();
    if (record == nullptr) {
        return kUnknownPosition;
    }
    if (const auto entry = GetStore()->GetPositionEntry(*record)) {
        return {entry->x, entry->y};
    }
    const MapDataLinkPtr& link = GetStore()->GetMapDataLink();
    if (!link || !link->HasMapData()) {
        return kUnknownPosition;
    }
    return PositionFromGeometry(*record);
}

GeoPoint NetworkCrossing::PositionFromGeometry(const CrossingRecord& record) const {
    const MapDataLink& link = *GetStore()->GetMapDataLink();
    const std::uint32_t links = record.LinkCount();
    if (links == 0) {
        return kUnknownPosition;
    }
    const LinkEntry first = record.Link(0);
    std::vector<GeoPoint> own;
    std::vector<GeoPoint> other;
    if (!link.GetElementPolyline(link.ElementOfLink(record.ElementId(0)), own) || own.empty()) {
        return kUnknownPosition;
    }
    const auto touches = [&](const GeoPoint& p) {
        return !other.empty() && (p == other.front() || p == other.back());
    };
    for (std::uint32_t i = 1; i < links; ++i) {
        const LinkEntry candidate = record.Link(i);
        if (candidate.targetPage != first.targetPage ||
            candidate.targetOffset != first.targetOffset) {
            if (!link.GetElementPolyline(link.ElementOfLink(record.ElementId(i)), other) ||
                other.empty()) {
                return kUnknownPosition;
            }
            return touches(own.front()) ? own.front() : own.back();
        }
    }
    // Every link leads to the same neighbour: take one of its links that does not come back.
    const RecordBytes bytes = GetStore()->GetRecord(first.targetPage, first.targetOffset);
    const auto neighbour =
        CrossingRecord::Parse(bytes.data, bytes.available, GetStore()->IsSeparated());
    if (!neighbour) {
        return kUnknownPosition;
    }
    for (std::uint32_t i = 0; i < neighbour->LinkCount(); ++i) {
        if (i == first.ReverseIndex()) {
            continue;
        }
        if (!link.GetElementPolyline(link.ElementOfLink(neighbour->ElementId(i)), other) ||
            other.empty()) {
            return kUnknownPosition;
        }
        return touches(own.front()) ? own.back() : own.front();
    }
    return kUnknownPosition;
}

void NetworkCrossing::MoveTo(const CrossingAddress& address) {
    if (address.level != m_level) {
        m_position = PagePosition(m_network->GetStore(address.level));
        m_level = address.level;
    }
    m_position.Set(address.page, address.offset);
}

bool NetworkCrossing::IsTurnProhibited(std::uint32_t from, std::uint32_t to) const {
    if (from == to) {
        return true;
    }
    const CrossingRecord* record = GetRecord();
    if (record == nullptr || !record->HasTurnTable() || from >= 15 || to >= 15) {
        return false;
    }
    const std::uint32_t count = record->TurnCount();
    for (std::uint32_t j = 0; j < count; ++j) {
        const std::uint8_t entry = record->TurnEntry(j);
        if ((entry & 15u) == from && (entry >> 4) == to) {
            return true;
        }
    }
    return false;
}

AttributeAccessorPtr NetworkCrossing::GetAttributes() const {
    const CrossingRecord* record = GetRecord();
    if (record == nullptr || record->AttributeBlock() == nullptr) {
        return nullptr;
    }
    return std::make_shared<AttributeAccessor>(record->AttributeBlock(), record->AttributeWords());
}

std::uint32_t NetworkCrossing::GetLinkCount() const {
    const CrossingRecord* record = GetRecord();
    return record != nullptr ? record->LinkCount() : 0u;
}
