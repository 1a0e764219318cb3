#pragma once
// X-Plane 12's weather in the units and scales of X-Plane 11's weather datarefs, which the weather
// record is defined on. Portable: no windows.h.
//
// Each result is rounded to a thousandth of its unit: an SI value that stands for a whole number
// of knots, hectopascals or metres comes back as that number, not a hair below it, so the record's
// truncation gives the same field as on X-Plane 11 (a thousandth of a knot is far below what the
// weather carries).

// Metres per second to knots (1 kt = 1852 m / 3600 s).
float KnotsFromMetresPerSecond(double metresPerSecond);
// Pascals to inches of mercury (1 inHg = 3386.389 Pa).
float InchesOfMercuryFromPascals(double pascals);
// Statute miles to metres (1 mi = 1609.344 m).
float MetresFromStatuteMiles(double statuteMiles);
// Cloud coverage as a ratio 0..1 to X-Plane 11's coverage 0..6.
float CoverageFromRatio(double ratio);
// X-Plane 12's blended cloud type (0 cirrus, 1 stratus, 2 cumulus, 3 cumulonimbus) and coverage
// ratio of a layer to X-Plane 11's cloud type: 0 clear, 1 high cirrus, 2 scattered, 3 broken,
// 4 overcast, 5 stratus. Cirrus and stratus keep their kind; heaped clouds (cumulus and
// cumulonimbus) take the kind their coverage makes in oktas: up to 4/8 scattered, up to 7/8
// broken, 8/8 overcast. No coverage is clear.
float CloudTypeFromBlend(double blend, double coverageRatio);
