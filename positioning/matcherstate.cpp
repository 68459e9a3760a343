#include "positioning/matcherstate.h"

#include "platform/littleendian.h"

#include <bit>
#include <cstring>

namespace {

class Writer {
public:
    explicit Writer(std::array<std::uint8_t, kMatcherStateSize>& bytes)
        : m_bytes(bytes) {}
    template <class T> void Put(T value) {
        // The file is little-endian; so are the hosts this system runs on.
        static_assert(std::endian::native == std::endian::little);
        std::memcpy(m_bytes.data() + m_offset, &value, sizeof(T));
        m_offset += sizeof(T);
    }
    void Put(const GeoPoint& point) {
        Put(point.x);
        Put(point.y);
    }
    void Skip(std::size_t count) { m_offset += count; }

private:
    std::array<std::uint8_t, kMatcherStateSize>& m_bytes;
    std::size_t m_offset = 0;
};

// Reads in order from a span whose size the caller has checked.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes) {}
    template <class T> T Get() {
        const T value = platform::ReadLittleEndian<T>(m_bytes.data() + m_offset);
        m_offset += sizeof(T);
        return value;
    }
    GeoPoint GetPoint() {
        GeoPoint point;
        point.x = Get<float>();
        point.y = Get<float>();
        return point;
    }
    void Skip(std::size_t count) { m_offset += count; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
};

} // namespace

std::array<std::uint8_t, kMatcherStateSize> SerializeMatcherState(const MatcherState& state) {
    std::array<std::uint8_t, kMatcherStateSize> bytes{};
    Writer out(bytes);
    const MatchRecord& r = state.record;
    out.Put(kMatcherStateMagic);
    out.Put(r.time);
    out.Put(r.raw);
    out.Put(r.course);
    out.Put(r.speed);
    out.Put(r.hdop);
    out.Put(r.satellites);
    out.Put(r.spareStatus);
    out.Put(r.snapped);
    out.Put(r.segmentStart);
    out.Put(r.segmentEnd);
    out.Put(r.street);
    out.Put(r.heading);
    out.Put(r.error);
    out.Put(r.searchRadius);
    out.Put(static_cast<std::uint8_t>(r.flags & 3u));
    out.Put(state.index);
    out.Skip(12);
    out.Put(static_cast<std::uint8_t>(state.wrapped ? 1 : 0));
    return bytes;
}

std::optional<MatcherState> ParseMatcherState(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kMatcherStateSize) {
        return std::nullopt;
    }
    Reader in(bytes);
    if (in.Get<std::uint32_t>() != kMatcherStateMagic) {
        return std::nullopt;
    }
    MatcherState state;
    MatchRecord& r = state.record;
    r.time = in.Get<std::uint32_t>();
    r.raw = in.GetPoint();
    r.course = in.Get<std::uint16_t>();
    r.speed = in.Get<std::uint16_t>();
    r.hdop = in.Get<float>();
    r.satellites = in.Get<std::uint8_t>();
    r.spareStatus = in.Get<std::uint16_t>();
    r.snapped = in.GetPoint();
    r.segmentStart = in.GetPoint();
    r.segmentEnd = in.GetPoint();
    r.street = in.Get<std::int32_t>();
    r.heading = in.Get<std::uint16_t>();
    r.error = in.Get<float>();
    r.searchRadius = in.Get<std::uint16_t>();
    r.flags = in.Get<std::uint8_t>() & MatchRecord::kProcessed;
    r.predicted = r.raw;
    state.index = in.Get<std::int32_t>();
    in.Skip(12);
    state.wrapped = in.Get<std::uint8_t>() != 0;
    // The index later addresses the ring; an empty ring cannot have wrapped.
    if (state.index < -1 || state.index >= kHistorySize || (state.index == -1 && state.wrapped)) {
        return std::nullopt;
    }
    return state;
}
