#pragma once
// What the route options pages' three switches mean to the router: an allowed road kind keeps
// its normal cost (factor-table index 0, factor 1.0); a road kind not allowed gets index 3
// (factor 0.05), so a route takes it only where nothing else comes near as cheap. Motorways are
// road classes 0 and 8, ferries the special links (class word bit 0x10), toll roads the extra
// links (class word bit 0x20). Pure; any thread.

#include "routing/routeoptions.h"

#include <cstdint>

inline constexpr std::uint32_t kAllowedRoadKindIndex = 0;
inline constexpr std::uint32_t kAvoidedRoadKindIndex = 3;
inline constexpr std::size_t kMotorwayClasses[] = {0, 8};

// Sets the motorway, ferry and toll-road preferences of options; every other field is kept.
inline void ApplyRoadKindSwitches(ExternalRouteOptions& options, bool motorways, bool ferries,
                                  bool tolls) {
    const auto index = [](bool allowed) {
        return allowed ? kAllowedRoadKindIndex : kAvoidedRoadKindIndex;
    };
    for (const std::size_t roadClass : kMotorwayClasses) {
        options.preference[roadClass] = index(motorways);
    }
    options.specialLinkPreference = index(ferries);
    options.extraLinkPreference = index(tolls);
}
