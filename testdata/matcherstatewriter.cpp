#include "testdata/matcherstatewriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>

namespace testdata {

namespace {

template <class T> void Put(std::vector<std::uint8_t>& out, T value) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(std::begin(bytes), std::end(bytes));
    }
    out.insert(out.end(), std::begin(bytes), std::end(bytes));
}

void Put(std::vector<std::uint8_t>& out, const GeoPoint& point) {
    Put(out, point.x);
    Put(out, point.y);
}

} // namespace

MatcherStateWriter& MatcherStateWriter::SetFields(const MatcherStateFields& fields) {
    m_fields = fields;
    return *this;
}

MatcherStateWriter& MatcherStateWriter::SetMagic(MatcherStateMagic magic) {
    m_magic = magic;
    return *this;
}

MatcherStateWriter& MatcherStateWriter::SetLength(std::size_t bytes) {
    m_length = bytes;
    return *this;
}

std::vector<std::uint8_t> MatcherStateWriter::Build() const {
    std::vector<std::uint8_t> out;
    std::uint32_t magic = kMagic;
    if (m_magic == MatcherStateMagic::Wrong) {
        magic = 0x12345678u;
    } else if (m_magic == MatcherStateMagic::ByteSwapped) {
        magic = ((kMagic & 0xFFu) << 24) | ((kMagic & 0xFF00u) << 8) | ((kMagic >> 8) & 0xFF00u) |
                (kMagic >> 24);
    }
    const MatcherStateFields& f = m_fields;
    Put(out, magic);
    Put(out, f.time);
    Put(out, f.raw);
    Put(out, f.course);
    Put(out, f.speed);
    Put(out, f.hdop);
    Put(out, f.satellites);
    Put(out, f.spareStatus);
    Put(out, f.snapped);
    Put(out, f.segmentStart);
    Put(out, f.segmentEnd);
    Put(out, f.street);
    Put(out, f.heading);
    Put(out, f.error);
    Put(out, f.searchRadius);
    Put(out, f.flags);
    Put(out, f.index);
    out.resize(out.size() + 12, 0);
    Put(out, f.wrapped);
    if (m_length && *m_length < out.size()) {
        out.resize(*m_length);
    }
    return out;
}

bool MatcherStateWriter::WriteTo(const TempDeviceRoot& root, std::u16string_view devicePath) const {
    return root.WriteFile(devicePath, Build());
}

} // namespace testdata
