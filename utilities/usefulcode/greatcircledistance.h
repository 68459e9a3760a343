#pragma once
// Great-circle distance on a sphere of radius 6367444.0 m by the spherical law of cosines.
// Pure function; safe from any thread.

// Metres between (x1, y1) and (x2, y2), degrees with x = longitude. Equal points give exactly
// 0, antipodes pi x 6367444.0; the cosine is clamped to [-1, 1], so the result is never NaN for
// finite input. Below about a metre the law of cosines resolves only about 0.1 m. NaN input
// gives NaN.
double GreatCircleDistance(double x1, double y1, double x2, double y2);
