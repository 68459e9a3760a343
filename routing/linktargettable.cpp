#include "routing/linktargettable.h"

#include "routing/attributelists.h"
#include "routing/networkcrossing.h"

#include <functional>

namespace {

// Calls `visit` with every record of the store in page order, as walking its pages finds them.
void ForEachRecord(SeparatedPageStore& store,
                   const std::function<void(std::uint32_t, const CrossingRecord&)>& visit) {
    const PageStoreParameters& p = store.GetParameters();
    PagePosition at(&store);
    at.Set(0, 0);
    while (IsBeforeEnd(at.GetPage(), at.GetOffset(), p.endPage, p.endOffset)) {
        if (const CrossingRecord* record = at.GetRecord()) {
            visit(std::uint32_t{at.GetPage()} << 16 | at.GetOffset(), *record);
        }
        at.Next();
    }
}

} // namespace

std::uint32_t LinkTargetTable::EntryOf(const CrossingRecord* target) {
    if (target == nullptr) {
        return 0;
    }
    const bool hasList4 =
        target->AttributeBlock() != nullptr &&
        AttributeAccessor(target->AttributeBlock(), target->AttributeWords()).ListWords(4) != 0;
    return (target->Id() & kIdMask) | kHasRecord | (hasList4 ? kHasList4 : 0u);
}

std::uint64_t LinkTargetTable::BytesFor(std::uint32_t crossings, std::uint64_t links) {
    return (std::uint64_t{crossings} * 2 + 1 + links) * sizeof(std::uint32_t);
}

std::optional<LinkTargetTable> LinkTargetTable::Build(SeparatedPageStore& store,
                                                      std::uint32_t crossingCount,
                                                      std::uint64_t maxBytes) {
    if (crossingCount == 0 || BytesFor(crossingCount, 0) > maxBytes) {
        return std::nullopt;
    }
    LinkTargetTable table;
    table.m_addresses.assign(crossingCount, kNoAddress);
    std::vector<std::uint32_t> counts(crossingCount, 0);
    std::vector<bool> isShared(crossingCount, false);
    ForEachRecord(store, [&](std::uint32_t address, const CrossingRecord& record) {
        const std::uint32_t id = record.Id();
        if (id >= crossingCount) {
            return;
        }
        isShared[id] = table.m_addresses[id] != kNoAddress;
        table.m_addresses[id] = address;
        counts[id] = record.LinkCount();
    });
    std::uint64_t links = 0;
    for (std::uint32_t id = 0; id < crossingCount; ++id) {
        if (isShared[id]) {
            table.m_addresses[id] = kNoAddress;
        }
        if (table.m_addresses[id] == kNoAddress) {
            counts[id] = 0;
        }
        links += counts[id];
        table.m_held += table.m_addresses[id] != kNoAddress ? 1u : 0u;
    }
    if (table.m_held == 0 || BytesFor(crossingCount, links) > maxBytes) {
        return std::nullopt;
    }
    table.m_first.resize(std::size_t{crossingCount} + 1);
    for (std::uint32_t id = 0; id < crossingCount; ++id) {
        table.m_first[id + 1] = table.m_first[id] + counts[id];
    }
    table.m_entries.assign(links, 0);
    PagePosition target(&store);
    ForEachRecord(store, [&](std::uint32_t address, const CrossingRecord& record) {
        const std::uint32_t id = record.Id();
        if (id >= crossingCount || table.m_addresses[id] != address) {
            return;
        }
        for (std::uint32_t i = 0; i < counts[id]; ++i) {
            const LinkEntry link = record.Link(i);
            target.Set(link.targetPage, link.targetOffset);
            table.m_entries[table.m_first[id] + i] = EntryOf(target.GetRecord());
        }
    });
    return table;
}
