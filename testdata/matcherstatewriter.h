#pragma once
// Writer of the map matcher's state file (81 packed little-endian bytes: magic, the newest
// history record without tick and prediction, the history index, 12 reserved bytes and the
// wrapped flag), with knobs for the faults the reader must refuse.

#include "testdata/tempdir.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace testdata {

struct MatcherStateFields {
    std::uint32_t time = 0;
    GeoPoint raw;
    std::uint16_t course = 0;
    std::uint16_t speed = 0;
    float hdop = 0.0f;
    std::uint8_t satellites = 0;
    std::uint16_t spareStatus = 0xFFFF;
    GeoPoint snapped;
    GeoPoint segmentStart;
    GeoPoint segmentEnd;
    std::int32_t street = -1;
    std::uint16_t heading = 0;
    float error = 1000.0f;
    std::uint16_t searchRadius = 0;
    std::uint8_t flags = 0;
    std::int32_t index = -1; // 384 or -2 make a file the reader refuses
    std::uint8_t wrapped = 0;
};

enum class MatcherStateMagic { Sound, Wrong, ByteSwapped };

class MatcherStateWriter {
public:
    static constexpr std::uint32_t kMagic = 0x16091998u;
    static constexpr std::size_t kSize = 81;

    MatcherStateWriter& SetFields(const MatcherStateFields& fields);
    MatcherStateWriter& SetMagic(MatcherStateMagic magic);
    // Keeps only the first `bytes` bytes of the file.
    MatcherStateWriter& SetLength(std::size_t bytes);

    [[nodiscard]] std::vector<std::uint8_t> Build() const;
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root, std::u16string_view devicePath) const;

private:
    MatcherStateFields m_fields;
    MatcherStateMagic m_magic = MatcherStateMagic::Sound;
    std::optional<std::size_t> m_length;
};

} // namespace testdata
