#pragma once
// Which ends of the start or destination link a search may be seeded or marked at, the result
// code when none may, the cost of a seed's part of its link, and whether the destination lies
// ahead of the start when both are on the same link.

#include "routing/routeoptions.h"

#include <cstdint>

enum class SeedUse {
    StartMarks,       // the start's ends, marked for the destination search
    StartSeeds,       // the start search's labels
    DestinationSeeds, // the destination search's labels
};

enum class LinkEnd { Near, Far };

struct SeedLinkFacts {
    std::uint32_t directionCode = 0;
    std::uint32_t list3Code = 0;
    std::uint32_t roadClass = 0;
    bool isFarBlocked = false;  // leaving through the far end is closed by an annotation
    bool isNearBlocked = false; // leaving through the near end is closed by an annotation
    bool keepStartHeading = false;
};

struct SeedEnds {
    bool far = false;
    bool near = false;
    int code = 0; // when neither end is usable: the result code of the step
};

[[nodiscard]] SeedEnds UsableSeedEnds(SeedUse use, const SeedLinkFacts& facts);

// Cost of a seed covering `distanceMetres` (at least 1 m) of its link at `speedKmh`.
[[nodiscard]] float SeedCost(const RouteOptions& options, float speedKmh, float distanceMetres);

struct SameLinkPlaces {
    LinkEnd seed = LinkEnd::Far;
    bool areNodePointsApart = false; // at least 5 m: the offsets run from opposite ends
    float length = 0.0f;
    float startOffset = 0.0f;
    float destinationOffset = 0.0f;
};

// The start seed at `seed` reaches the destination on the same link without leaving it.
[[nodiscard]] bool IsDestinationAheadOfStartSeed(const SameLinkPlaces& places);
// The destination seed at `seed` is reached from the start on the same link.
[[nodiscard]] bool IsStartBehindDestinationSeed(const SameLinkPlaces& places);
