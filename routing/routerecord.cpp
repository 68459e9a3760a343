#include "routing/routerecord.h"

#include "routing/linkcursor.h"

RecordAttributes RecordAttributes::Make(std::uint32_t attributeCode, std::uint32_t directionCode) {
    std::uint32_t high = directionCode & 3u;
    high |= ((attributeCode >> 8) & 1u) << 3;
    high |= ((attributeCode >> 9) & 1u) << 4;
    high |= ((attributeCode >> 10) & 1u) << 5;
    return {static_cast<std::uint16_t>((attributeCode & 0xFFu) | (high << 8))};
}

RecordAttributes RecordAttributes::FromCursor(const LinkCursor& cursor) {
    return Make(cursor.GetRoadClass(), cursor.GetDirectionCode());
}

std::uint32_t RecordAttributes::AttributeCode() const {
    const std::uint32_t high = value >> 8;
    std::uint32_t code = value & 0xFFu;
    code |= (high & 8u) != 0 ? 0x100u : 0u;
    code |= (high & 16u) != 0 ? 0x200u : 0u;
    code |= (high & 32u) != 0 ? 0x400u : 0u;
    return code;
}

std::int32_t RecordTime(float lengthMetres, float speedKmh) {
    const float seconds = lengthMetres / speedKmh * 3.6f;
    if (!(seconds >= -2147483648.0f && seconds < 2147483648.0f)) {
        return 0;
    }
    return static_cast<std::int32_t>(seconds);
}
