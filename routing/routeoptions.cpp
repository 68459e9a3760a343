#include "routing/routeoptions.h"

#include <algorithm>
#include <cmath>

ExternalRouteOptions::ExternalRouteOptions(std::uint32_t type, std::uint32_t mode)
    : routeType(type)
    , travelMode(mode) {}

RouteOptions::RouteOptions()
    : speed{120, 100, 95, 85, 75, 65, 40, 30, 90, 45, 35, 30, 25, 20, 15, 10,
            10,  10,  10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10}
    , reduction{0.75f, 0.6f, 0.75f, 0.75f, 0.6f}
    , factor{1.0f, 1.3f, 0.25f, 0.05f, 0.0f, 0.5f} {
    furtherValues.fill(10.0f);
    DeriveSpeedTable();
}

namespace {

// Truncated toward zero and held inside the table's range.
std::int16_t ToTableSpeed(float value) {
    if (!(value > -32768.0f)) {
        return value < 0.0f ? std::int16_t{-32768} : std::int16_t{0}; // NaN gives 0
    }
    return static_cast<std::int16_t>(std::min(value, 32767.0f));
}

} // namespace

void RouteOptions::DeriveSpeedTable() {
    for (std::size_t i = 0; i < speedTable.size(); ++i) {
        const std::int16_t base = ToTableSpeed(speed[i & 31]);
        if (i <= 64) {
            speedTable[i] = base;
            continue;
        }
        float reduce = 1.0f;
        for (std::size_t bit = 0; bit < reduction.size(); ++bit) {
            if ((i & (std::size_t{0x40} << bit)) != 0) {
                reduce = std::min(reduce, reduction[bit]);
            }
        }
        const std::int16_t value = ToTableSpeed(static_cast<float>(base) * reduce);
        speedTable[i] = value >= 1 ? value : std::int16_t{1};
    }
}

float RouteOptions::GetTimeWeight() const {
    switch (routeType) {
    case 0:
        return 1.0f;
    case 2:
        return mixWeight;
    default:
        return 0.0f;
    }
}

void RouteOptions::Apply(const ExternalRouteOptions& external) {
    for (std::size_t i = 0; i < 16; ++i) {
        preference[i] = external.preference[i];
        if (external.speed[i] != 0) {
            speed[i] = static_cast<float>(external.speed[i]);
        }
    }
    specialLinkPreference = external.specialLinkPreference;
    extraLinkPreference = external.extraLinkPreference;
    routeType = external.routeType;
    travelMode = external.travelMode;
    factor[5] = external.customFactor;
    mixWeight = external.mixWeight;
    DeriveSpeedTable();
}

RouteOptions RouteOptions::FromExternal(const ExternalRouteOptions& external) {
    RouteOptions options;
    options.Apply(external);
    return options;
}

ExternalRouteOptions RouteOptions::ToExternal(const RouteOptions& options) {
    ExternalRouteOptions external(1, 1);
    for (std::size_t i = 0; i < 16; ++i) {
        external.preference[i] = options.preference[i];
        const float s = options.speed[i];
        external.speed[i] =
            s >= 0.0f && s < 65536.0f ? static_cast<std::uint16_t>(s) : std::uint16_t{0};
    }
    external.specialLinkPreference = options.specialLinkPreference;
    external.extraLinkPreference = options.extraLinkPreference;
    external.routeType = options.routeType;
    external.travelMode = options.travelMode;
    external.customFactor = options.factor[5];
    external.mixWeight = options.mixWeight;
    return external;
}
