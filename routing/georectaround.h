#pragma once
// The rectangle of plus and minus a distance in metres around a position, as the road network
// and the retrieval engine search around a point. Pure function; safe from any thread.

#include "utilities/mapgeometry/mapgeometry.h"

// GeoRect from (position - d, position - d) to (position + d, position + d) metres: longitude
// offset d / (cos(latitude) x 6367444.0) radians, latitude offset d x 8.998239e-6 degrees. A
// negative d counts as |d|, NaN as 0. Where the longitude offset would exceed 180 degrees
// (within d of a pole) the rectangle spans all longitudes, -180 to 180. Longitudes are not
// wrapped at the antimeridian and latitudes are not clamped at the poles. A NaN latitude gives
// NaN latitude bounds and all longitudes; a NaN longitude gives NaN longitude bounds.
GeoRect GeoRectAround(const GeoPoint& position, double distanceMetres);
