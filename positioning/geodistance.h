#pragma once
// Distances and bearings between geographic positions (float degrees, x = longitude) by a
// flat-earth approximation with earth radius 6367444.0 m. Pure functions; safe from any thread.

#include "utilities/mapgeometry/mapgeometry.h"

// Metres from a to b: the longitude difference is scaled by the cosine of a's latitude, so the
// result is not symmetric when the latitudes differ. NaN input gives NaN.
double GeoDistance(const GeoPoint& a, const GeoPoint& b);

// Bearing from a to b in degrees clockwise from north, in [0, 360]: 0 for equal points, and
// 360 (not 0) for due north when b lies a little west of a. NaN input gives NaN.
double GeoBearing(const GeoPoint& a, const GeoPoint& b);

// Great-circle metres between two positions (double degrees) by the spherical law of cosines,
// whose cosines of small angles (below 0.004 rad) come from a shortcut. Never negative.
double SphericalDistance(double longitude1, double latitude1, double longitude2, double latitude2);
