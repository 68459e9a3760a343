#include "routing/seedends.h"

#include "routing/linkcosts.h"

#include <algorithm>

namespace {

bool FarAllowedByList3(std::uint32_t list3) {
    return list3 == 0 || list3 == 1;
}
bool NearAllowedByList3(std::uint32_t list3) {
    return list3 == 0 || list3 == 2;
}

int KindCode(SeedUse use, std::uint32_t kind) {
    const bool isStart = use != SeedUse::DestinationSeeds;
    if (kind == 24) {
        return isStart ? 25 : 28;
    }
    if (kind == 26 || kind == 28) {
        return isStart ? 26 : 29;
    }
    return isStart ? 24 : 27;
}

} // namespace

SeedEnds UsableSeedEnds(SeedUse use, const SeedLinkFacts& facts) {
    const std::uint32_t direction = facts.directionCode;
    const std::uint32_t kind = facts.roadClass & 31u;
    if (direction > 3 || (direction == 0 && kind != 24)) {
        return {false, false, KindCode(use, kind)};
    }
    const bool isDestination = use == SeedUse::DestinationSeeds;
    bool wantsFar = direction != 3;
    bool wantsNear = direction != 1 || use == SeedUse::StartMarks;
    if (isDestination) {
        wantsFar = direction != 1;
        wantsNear = direction != 3;
    }
    const bool farByList3 = wantsFar && FarAllowedByList3(facts.list3Code);
    const bool nearByList3 = wantsNear && NearAllowedByList3(facts.list3Code) &&
                             (isDestination || !facts.keepStartHeading);
    SeedEnds ends;
    ends.far = farByList3 && !facts.isFarBlocked;
    ends.near = nearByList3 && !facts.isNearBlocked;
    if (ends.far || ends.near) {
        return ends;
    }
    if ((farByList3 && facts.isFarBlocked) || (nearByList3 && facts.isNearBlocked)) {
        ends.code = isDestination ? 18 : 17;
        return ends;
    }
    const bool list3LeavesNone = !(wantsFar && FarAllowedByList3(facts.list3Code)) &&
                                 !(wantsNear && NearAllowedByList3(facts.list3Code));
    switch (use) {
    case SeedUse::StartMarks:
        ends.code = 33;
        break;
    case SeedUse::StartSeeds:
        ends.code = direction == 1 || list3LeavesNone ? 31 : 33;
        break;
    case SeedUse::DestinationSeeds:
        ends.code = direction == 3 || facts.list3Code == 1 ? 32 : 34;
        break;
    }
    return ends;
}

float SeedCost(const RouteOptions& options, float speedKmh, float distanceMetres) {
    return CostPerMetre(options, speedKmh) * std::max(distanceMetres, 1.0f);
}

bool IsDestinationAheadOfStartSeed(const SameLinkPlaces& places) {
    const float fromFar = places.length - places.startOffset;
    if (places.seed == LinkEnd::Far) {
        return places.areNodePointsApart ? fromFar > places.destinationOffset
                                         : places.startOffset < places.destinationOffset;
    }
    return places.areNodePointsApart ? fromFar < places.destinationOffset
                                     : places.startOffset > places.destinationOffset;
}

bool IsStartBehindDestinationSeed(const SameLinkPlaces& places) {
    const float fromFar = places.length - places.startOffset;
    if (places.seed == LinkEnd::Near) {
        return places.areNodePointsApart ? fromFar < places.destinationOffset
                                         : places.startOffset < places.destinationOffset;
    }
    return places.areNodePointsApart ? fromFar > places.destinationOffset
                                     : places.startOffset > places.destinationOffset;
}
