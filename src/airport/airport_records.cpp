#include "airport/airport_records.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr double kPi = 3.14159265358979323846;
// The radii of the five passes: 1, 2, 3, 100 and 200 nm, one nm taken as 3.14159 / 10800 radians.
constexpr double kMile = 3.14159 / 10800;
constexpr double kRadii[kSearchPasses] = {1 * kMile, 2 * kMile, 3 * kMile, 100 * kMile, 200 * kMile};

const char* const kTypeLabels[] = {"ATIS", "MULTICOM", "UNICOM", "CTAF", "GRND", "TWR",
                                   "DELIV", "APP", "DEP", "CTR", "FSS", "AWOS"};

char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Truncation towards zero; a number outside int's range (converting it would be undefined)
// gives 0, a code without meaning.
int TruncateToInt(float value) {
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<int>(value);
}

constexpr double kPowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The number strtod reads from text, fast for plain decimals ("-12.345", at most 15 digits):
// the digits as an integer and one division by a power of ten are both exact, so the one
// rounding gives strtod's correctly rounded result. Everything else goes to strtod, which is
// slow in some runtimes and called twice per airport line.
double ReadNumber(const char* text) {
    const char* p = text;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t digits = 0;
    int count = 0, decimals = 0;
    bool dot = false;
    for (;; ++p) {
        if (*p >= '0' && *p <= '9') {
            if (++count > 15) return strtod(text, nullptr);
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
            if (dot) ++decimals;
        } else if (*p == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
    }
    // No digit, leading blanks, exponents and hexadecimal: strtod's business.
    if (count == 0 || *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X') return strtod(text, nullptr);
    double value = static_cast<double>(digits) / kPowersOfTen[decimals];
    return negative ? -value : value;
}

}  // namespace

const char* FrequencyTypeLabel(int type) {
    return type >= 1 && type <= 12 ? kTypeLabels[type - 1] : nullptr;
}

float CsvField(const char* line, int n) {
    if (!line || n < 1) return 0;
    int counter = 0;
    bool inQuotes = false;
    for (const char* comma = strchr(line, ','); comma; comma = strchr(comma + 1, ',')) {
        if (comma[1] == '"') {
            ++counter;
            inQuotes = true;
        } else if (comma > line && comma[-1] == '"') {
            inQuotes = false;
        }
        if (!inQuotes) ++counter;
        if (counter != n) continue;

        const char* start = comma + 1;
        const char* end = strchr(start, ',');
        size_t length = end ? static_cast<size_t>(end - start) : strlen(start);
        if (length > kNumberFieldLimit) length = kNumberFieldLimit;
        char text[kNumberFieldLimit + 1];
        memcpy(text, start, length);
        text[length] = 0;
        double value = ReadNumber(text);
        // "nan", "inf" and numbers beyond float's range are no usable number; narrowing them
        // to float would also be undefined.
        if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return 0;
        return static_cast<float>(value);
    }
    return 0;
}

double CentralAngle(const GeoPosition& a, const GeoPosition& b) {
    if (a.Latitude == b.Latitude && a.Longitude == b.Longitude) return 0;
    double c = std::sin(a.Latitude) * std::sin(b.Latitude) +
               std::cos(a.Latitude) * std::cos(b.Latitude) * std::cos(a.Longitude - b.Longitude);
    if (c > -1 && c < 1) return std::atan(-c / std::sqrt(1 - c * c)) + 2 * std::atan(1.0);
    if (c >= 1) return 0;
    // c <= -1, or not a number (a position that is not one): as far away as can be.
    return kPi;
}

double SearchRadius(int pass) {
    if (pass < 1 || pass > kSearchPasses) return 0;
    return kRadii[pass - 1];
}

int SearchPassOf(double angle) {
    for (int pass = 1; pass <= kSearchPasses; ++pass)
        if (angle < kRadii[pass - 1]) return pass;
    return 0;
}

bool AirportPosition(const char* line, GeoPosition* position) {
    if (!line || strnlen(line, 5) < 5) return false;
    position->Latitude = CsvField(line, 3) / kDegreesPerRadian;
    position->Longitude = CsvField(line, 4) / kDegreesPerRadian;
    return true;
}

bool NearestAirportScan::Offer(const char* line) {
    GeoPosition airport;
    if (!AirportPosition(line, &airport)) return true;
    return OfferAngle(CentralAngle(aircraft_, airport), line);
}

bool NearestAirportScan::OfferAngle(double angle, const char* line) {
    int pass = SearchPassOf(angle);
    // Strictly smaller: inside one radius the first line in the file stays.
    if (pass != 0 && (pass_ == 0 || pass < pass_)) {
        pass_ = pass;
        CopyLineIdent(line, ident_);
    }
    return pass_ != 1;
}

void CopyLineIdent(const char* line, char ident[5]) {
    size_t i = 0;
    for (; i < 4 && line[i]; ++i) ident[i] = line[i];
    for (; i < 5; ++i) ident[i] = 0;
}

bool ContainsNoCase(const char* text, const char* needle) {
    if (!text || !needle) return false;
    if (!*needle) return true;
    for (; *text; ++text) {
        size_t i = 0;
        while (needle[i] && text[i] && FoldCase(text[i]) == FoldCase(needle[i])) ++i;
        if (!needle[i]) return true;
    }
    return false;
}

void FrequencyCollector::Offer(const char* line) {
    if (count_ >= kFrequencyTableSize || !ContainsNoCase(line, ident_)) return;
    float frequency = CsvField(line, 2);
    if (!(frequency > 0)) return;
    entries_[count_].Frequency = frequency;
    entries_[count_].Type = TruncateToInt(CsvField(line, 1));
    ++count_;
}
