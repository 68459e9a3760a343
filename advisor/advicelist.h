#pragma once
// The advisor's ordered list of advice records (the manoeuvre ahead first). A plain value: copies
// copy every record. One user at a time.

#include "advisor/advicerecord.h"
#include "advisor/encodeproperties.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class AdviceList {
public:
    AdviceList() = default;
    AdviceList(const AdviceList&) = default;
    AdviceList& operator=(const AdviceList&) = default;
    AdviceList(AdviceList&&) = default;
    AdviceList& operator=(AdviceList&&) = default;
    virtual ~AdviceList() = default;

    void Append(AdviceRecord record) { m_records.push_back(std::move(record)); }
    // Replaces record n; nothing when n is outside the list.
    void SetRecord(std::int32_t n, AdviceRecord record);
    // Copies record n into target; false (target untouched) when n is outside the list.
    [[nodiscard]] bool GetRecord(std::int32_t n, AdviceRecord& target) const;
    // Walks the iterator forward from where it stands: for each route item the first record
    // whose elementId is the item's element and whose nextElementId is the element of the item
    // after it (-1 after the last) is copied into target. False when the route ends first. The
    // iterator is left after the matching item.
    [[nodiscard]] bool FindRecordForRoute(AdviceRecord& target, RouteIterator& route) const;

    // Encodes record index into buffer (at most 405 bytes: every text is cut at 63 bytes); the
    // bytes written, 0 when there is no such record, 1 without a buffer (nothing written).
    std::int32_t EncodeRecord(std::int32_t index, std::uint8_t* buffer) const;
    // Appends one record per whole advice in the first length bytes of data; stops at the first
    // advice that does not fit in what is left. Each decoded advice takes a new junction id.
    void DecodeRecords(const std::uint8_t* data, std::int32_t length);

    void Clear() { m_records.clear(); }
    [[nodiscard]] std::size_t Size() const { return m_records.size(); }
    [[nodiscard]] const std::vector<AdviceRecord>& Records() const { return m_records; }

    // The encoding table of the advice encoder and its three state values (-1 until it sets
    // them); the list only carries them with its copies.
    EncodeProperties encoding;
    std::array<std::int32_t, 3> encodingState{-1, -1, -1};

private:
    std::vector<AdviceRecord> m_records;
};
