#pragma once
// The geodetic reference data: 23 reference ellipsoids and 104 geodetic datums, each datum with
// its three-parameter shift to WGS 84. Process-wide constants, readable from any thread.

#include <cstdint>
#include <span>
#include <string_view>

// One reference ellipsoid.
struct Ellipsoid {
    std::string_view name;
    double semiMajorAxis;     // a, metres
    double inverseFlattening; // 1/f
};

// One geodetic datum: the translation (metres) from its geocentric frame to that of WGS 84.
struct GeodeticDatum {
    std::string_view name;
    std::int32_t dx;
    std::int32_t dy;
    std::int32_t dz;
    std::int32_t ellipsoidIndex; // into Ellipsoids()
};

inline constexpr int kEllipsoidCount = 23;
inline constexpr int kDatumCount = 104;
inline constexpr int kWgs84Datum = 100;
inline constexpr int kDhdnDatum = 103; // "Potsdam_Rauenberg_DHDN", the datum of the grid

// The tables, indexed by ellipsoid and datum number.
std::span<const Ellipsoid, kEllipsoidCount> Ellipsoids();
std::span<const GeodeticDatum, kDatumCount> GeodeticDatums();

// True for the datum numbers 0..103.
constexpr bool IsDatumIndex(int datumIndex) {
    return datumIndex >= 0 && datumIndex < kDatumCount;
}
