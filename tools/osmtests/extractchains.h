#pragma once
// Line elements as pieces, and the longest chain they form end to end (the road a TMC line
// follows through the converted extract).

#include "utilities/mapgeometry/mapgeometry.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

struct Piece {
    std::uint32_t id = 0;
    std::vector<GeoPoint> line;
};

inline bool Same(const GeoPoint& a, const GeoPoint& b) {
    return std::fabs(a.x - b.x) < 1e-6f && std::fabs(a.y - b.y) < 1e-6f;
}

inline bool Touch(const Piece& a, const Piece& b) {
    return Same(a.line.front(), b.line.front()) || Same(a.line.front(), b.line.back()) ||
           Same(a.line.back(), b.line.front()) || Same(a.line.back(), b.line.back());
}

// The longest chain of the pieces found by extending each piece greedily at both ends.
inline std::vector<Piece> LongestChain(const std::vector<Piece>& pieces) {
    std::vector<Piece> best;
    for (std::size_t start = 0; start < pieces.size(); ++start) {
        std::vector<Piece> chain = {pieces[start]};
        std::set<std::uint32_t> used = {pieces[start].id};
        for (bool grew = true; grew;) {
            grew = false;
            for (const Piece& p : pieces) {
                if (used.contains(p.id)) {
                    continue;
                }
                // Only at the chain's open ends, away from the neighbour already joined there.
                const bool atBack = Touch(chain.back(), p) &&
                                    (chain.size() == 1 || !Touch(chain[chain.size() - 2], p));
                const bool atFront = !atBack && Touch(chain.front(), p) &&
                                     (chain.size() == 1 || !Touch(chain[1], p));
                if (atBack) {
                    chain.push_back(p);
                } else if (atFront) {
                    chain.insert(chain.begin(), p);
                } else {
                    continue;
                }
                used.insert(p.id);
                grew = true;
            }
        }
        if (chain.size() > best.size()) {
            best = chain;
        }
    }
    return best;
}
