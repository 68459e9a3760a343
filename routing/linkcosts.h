#pragma once
// Costs of the route search: the speed of a road class under the route options, the speed and
// cost of a link with its optional annotation, the blended distance/time cost, the speed of a
// finished route record and the network level for an air distance. Plain arithmetic over the
// options; nothing allocates.

#include "routing/routeoptions.h"
#include "routing/routerecord.h"

#include <cstdint>
#include <optional>

// Cost of a link that cannot be used.
inline constexpr float kImpassableCost = 3.4028235e38f;

// Speed in km/h of a link of road class word `roadClass` (11 bits) under the options.
[[nodiscard]] float ClassSpeed(const RouteOptions& options, std::uint32_t roadClass);

// Speed of a partial link: the class speed, changed by an annotation byte for the direction.
// Bit 7 caps the speed at 2 x (byte & 0x7F); otherwise that value is a percentage.
[[nodiscard]] float LinkSpeed(const RouteOptions& options, std::uint32_t roadClass,
                              std::optional<std::uint8_t> annotation);

// length x ((1 - w) / v + w / 30) with w the options' time weight and v the speed plus
// 30 / (n + 1) (integer quotient) for class numbers n below 16.
[[nodiscard]] float MixedLinkCost(const RouteOptions& options, std::int32_t classNumber,
                                  float lengthMetres, float speedKmh);

// (1 - w) / v + w / 30 with v the speed plus the class-number bonus of MixedLinkCost: what it
// multiplies the length with.
[[nodiscard]] float MixedCostPerMetre(const RouteOptions& options, std::int32_t classNumber,
                                      float speedKmh);

struct LinkCostInput {
    std::uint32_t roadClass = 0; // the link's own class word
    std::uint32_t costClass = 0; // class number the cost is blended with
    float lengthMetres = 0.0f;
    bool isRestricted = false; // direction code differs between travel modes 1 and 2
    std::optional<std::uint8_t> annotation;
};

// Cost of a whole link, kImpassableCost when it cannot be used.
[[nodiscard]] float LinkCost(const RouteOptions& options, const LinkCostInput& link);

// What LinkCost multiplies the length with for a link of `roadClass` without annotation or
// restriction whose cost class is its road class; nullopt when such a link cannot be used.
[[nodiscard]] std::optional<float> PlainLinkCostPerMetre(const RouteOptions& options,
                                                         std::uint32_t roadClass);

// Cost of one metre at `speedKmh` (0 for a speed of 0).
[[nodiscard]] float CostPerMetre(const RouteOptions& options, float speedKmh);

// Speed in km/h of a finished route record.
[[nodiscard]] float RecordSpeed(const RouteOptions& options, RecordAttributes attributes);

// Network level 0, 1 or 2 to search for an air distance on a network of `mapCount` levels.
[[nodiscard]] int LevelForDistance(float distanceMetres, std::uint16_t mapCount);
