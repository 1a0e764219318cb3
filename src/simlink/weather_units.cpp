#include "simlink/weather_units.h"

#include <cmath>

namespace {

constexpr double kMetresPerNauticalMile = 1852.0;
constexpr double kPascalsPerInchOfMercury = 3386.389;
constexpr double kMetresPerStatuteMile = 1609.344;

// To a thousandth of the unit; NaN and infinities (a broken dataref) read as 0.
float Thousandths(double value) {
    if (!std::isfinite(value)) return 0.0f;
    return (float)(std::round(value * 1000.0) / 1000.0);
}

}  // namespace

float KnotsFromMetresPerSecond(double metresPerSecond) {
    return Thousandths(metresPerSecond * 3600.0 / kMetresPerNauticalMile);
}

float InchesOfMercuryFromPascals(double pascals) { return Thousandths(pascals / kPascalsPerInchOfMercury); }

float MetresFromStatuteMiles(double statuteMiles) { return Thousandths(statuteMiles * kMetresPerStatuteMile); }

float CoverageFromRatio(double ratio) {
    if (!std::isfinite(ratio) || ratio <= 0.0) return 0.0f;
    return Thousandths((ratio > 1.0 ? 1.0 : ratio) * 6.0);
}

float CloudTypeFromBlend(double blend, double coverageRatio) {
    if (!std::isfinite(coverageRatio) || coverageRatio <= 0.0) return 0.0f;  // clear
    if (!std::isfinite(blend)) blend = 2.0;
    const double kind = std::round(blend);
    if (kind <= 0.0) return 1.0f;  // high cirrus
    if (kind == 1.0) return 5.0f;  // stratus
    if (coverageRatio <= 4.0 / 8.0) return 2.0f;  // scattered
    if (coverageRatio <= 7.0 / 8.0) return 3.0f;  // broken
    return 4.0f;  // overcast
}
