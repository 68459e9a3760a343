#pragma once
// Non-owning views of bytes: search keys, records and block keys of the table files.
// A view never outlives the buffer it points into; Duplicate makes an owned copy.

#include <cstdint>
#include <vector>

struct ByteSpan {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;

    ByteSpan() = default;
    ByteSpan(const std::uint8_t* bytes, std::uint32_t count)
        : data(bytes)
        , length(count) {}
    ByteSpan(const std::vector<std::uint8_t>& bytes)
        : data(bytes.data())
        , length(static_cast<std::uint32_t>(bytes.size())) {}

    bool IsEmpty() const { return data == nullptr || length == 0; }

    // The bytes [offset, offset + count) of this view, cut at its end; empty when offset lies
    // at or beyond the end.
    ByteSpan Sub(std::uint32_t offset, std::uint32_t count) const {
        if (data == nullptr || offset >= length) {
            return {};
        }
        const std::uint32_t available = length - offset;
        return {data + offset, count < available ? count : available};
    }

    // An owned heap copy of the viewed bytes.
    std::vector<std::uint8_t> Duplicate() const {
        return data == nullptr ? std::vector<std::uint8_t>{}
                               : std::vector<std::uint8_t>(data, data + length);
    }
};
