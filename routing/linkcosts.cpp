#include "routing/linkcosts.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr float kPerMetreAtThirty = 0.033333335f;

bool IsSpecialClass(std::uint32_t roadClass) {
    return (roadClass & 16u) != 0;
}

// A preference beyond the factor table counts as neutral.
float FactorAt(const RouteOptions& options, std::uint32_t index) {
    return index < options.factor.size() ? options.factor[index] : 1.0f;
}

float AnnotatedSpeed(std::uint8_t annotation, float speed) {
    const float value = 2.0f * static_cast<float>(annotation & 0x7Fu);
    if ((annotation & 0x80u) != 0) {
        return std::min(speed, value);
    }
    return speed * value * 0.01f;
}

} // namespace

float ClassSpeed(const RouteOptions& options, std::uint32_t roadClass) {
    roadClass &= 0x7FFu;
    float base = static_cast<float>(options.speedTable[roadClass]);
    if (!IsSpecialClass(roadClass) && options.travelMode == 12) {
        base = 5.0f;
    } else if (!IsSpecialClass(roadClass) && options.travelMode == 9) {
        base = 15.0f;
    }
    if (options.travelMode != 12 && base < 10.0f) {
        base = 10.0f;
    }
    if (IsSpecialClass(roadClass)) {
        return base * FactorAt(options, options.specialLinkPreference);
    }
    float factor = FactorAt(options, options.preference[roadClass & 15u]);
    if ((roadClass & 32u) != 0) {
        factor = std::min(factor, FactorAt(options, options.extraLinkPreference));
    }
    return base * factor;
}

float LinkSpeed(const RouteOptions& options, std::uint32_t roadClass,
                std::optional<std::uint8_t> annotation) {
    const float speed = ClassSpeed(options, roadClass);
    return annotation ? AnnotatedSpeed(*annotation, speed) : speed;
}

float MixedCostPerMetre(const RouteOptions& options, std::int32_t classNumber, float speedKmh) {
    float speed = speedKmh;
    if (classNumber >= 0 && classNumber < 16) {
        speed += static_cast<float>(30 / (classNumber + 1));
    }
    const float w = options.GetTimeWeight();
    return (1.0f - w) / speed + w * kPerMetreAtThirty;
}

float MixedLinkCost(const RouteOptions& options, std::int32_t classNumber, float lengthMetres,
                    float speedKmh) {
    return lengthMetres * MixedCostPerMetre(options, classNumber, speedKmh);
}

float LinkCost(const RouteOptions& options, const LinkCostInput& link) {
    float speed = (link.roadClass & 31u) == 24 ? 0.5f : ClassSpeed(options, link.roadClass);
    const std::uint32_t mode = options.travelMode;
    const bool zoneMode = mode == 2 || mode == 3 || mode == 4 || mode == 9 || mode == 12;
    if (link.isRestricted && !zoneMode) {
        speed = 1.0f;
    } else if (speed == 0.0f) {
        return kImpassableCost;
    }
    if (link.annotation) {
        if ((*link.annotation & 0x7Fu) == 0) {
            return kImpassableCost;
        }
        speed = AnnotatedSpeed(*link.annotation, speed);
    }
    return MixedLinkCost(options, static_cast<std::int32_t>(link.costClass), link.lengthMetres,
                         speed);
}

std::optional<float> PlainLinkCostPerMetre(const RouteOptions& options, std::uint32_t roadClass) {
    const float speed = (roadClass & 31u) == 24 ? 0.5f : ClassSpeed(options, roadClass);
    if (speed == 0.0f) {
        return std::nullopt;
    }
    return MixedCostPerMetre(options, static_cast<std::int32_t>(roadClass), speed);
}

float CostPerMetre(const RouteOptions& options, float speedKmh) {
    if (speedKmh == 0.0f) {
        return 0.0f;
    }
    const float w = options.GetTimeWeight();
    return (1.0f - w) / speedKmh + w * kPerMetreAtThirty;
}

float RecordSpeed(const RouteOptions& options, RecordAttributes attributes) {
    const std::uint32_t low = attributes.value & 0xFFu;
    if ((low & 16u) != 0 && (low & 31u) < 24) {
        return static_cast<float>(options.speedTable[low]);
    }
    switch (options.travelMode) {
    case 12:
        return 5.0f;
    case 9:
        return 15.0f;
    default:
        return static_cast<float>(options.speedTable[attributes.AttributeCode()]);
    }
}

int LevelForDistance(float distanceMetres, std::uint16_t mapCount) {
    if (!(distanceMetres >= 5000.0f) || mapCount < 2) {
        return 0;
    }
    if (distanceMetres < 40000.0f || mapCount < 3) {
        return 1;
    }
    return 2;
}
