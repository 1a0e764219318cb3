// Prints METRIC lines: median time of one nearest-airport search on the generated APT.dat, the
// plug-in's one-read search against the five-pass reference, for positions near airports and
// positions over oceans with nothing within 100 nm. Usage: airport_bench [APT.dat path].
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "airport/airport_data.h"
#include "reference.h"

namespace {

using Search = int (*)(const char*, const GeoPosition&, char*);

double Ms(Search search, const std::string& path, const GeoPosition& at) {
    char ident[8] = "";
    auto start = std::chrono::steady_clock::now();
    search(path.c_str(), at, ident);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<GeoPosition> Airports(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<GeoPosition> out;
    LineSplitter lines(kAirportLineLimit);
    auto keep = [&](const char* line) {
        GeoPosition at;
        if (AirportPosition(line, &at)) out.push_back(at);
        return true;
    };
    lines.Feed(bytes.data(), bytes.size(), keep);
    lines.Finish(keep);
    return out;
}

struct Figures {
    std::vector<double> oneRead, reference;
};

void Measure(const std::string& path, const std::vector<GeoPosition>& positions, int rounds, Figures* f) {
    for (int r = 0; r < rounds; ++r)
        for (const GeoPosition& at : positions) {
            // Alternating, so drift of a shared machine hits both alike.
            f->reference.push_back(Ms(FindNearestAirportFivePass, path, at));
            f->oneRead.push_back(Ms(FindNearestAirportIn, path, at));
        }
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = argc > 1 ? argv[1] : std::string(AIRDATA_DIR) + "/APT.dat";
    std::vector<GeoPosition> airports = Airports(path);
    if (airports.empty()) {
        printf("airport_bench: no airport data at %s (built without the sources?); nothing measured\n", path.c_str());
        return 0;
    }

    // Near: a third of a mile north of airports spread over the whole file.
    std::vector<GeoPosition> nearby;
    for (size_t i = 0; i < 24; ++i) {
        GeoPosition at = airports[i * (airports.size() - 1) / 23];
        at.Latitude += 0.3 / 60 / kDegreesPerRadian;
        nearby.push_back(at);
    }
    // Ocean: open-sea points, kept only when no airport lies within 100 nm.
    const double oceanDegrees[][2] = {{0, -140}, {-40, -120}, {30, -40}, {-30, 80}, {45, -160}, {-60, 150},
                                      {-45, -10}, {10, -120}, {-20, -100}, {40, 170}};
    std::vector<GeoPosition> ocean;
    for (const auto& d : oceanDegrees) {
        GeoPosition at{d[0] / kDegreesPerRadian, d[1] / kDegreesPerRadian};
        bool clear = std::none_of(airports.begin(), airports.end(),
                                  [&](const GeoPosition& a) { return CentralAngle(at, a) < SearchRadius(4); });
        if (clear) ocean.push_back(at);
    }

    Figures n, o;
    Measure(path, nearby, 3, &n);
    Measure(path, ocean, 5, &o);
    printf("airport_bench: %zu airports, %zu positions near airports, %zu ocean positions\n", airports.size(),
           nearby.size(), ocean.size());
    const double nearRef = Median(n.reference), nearOne = Median(n.oneRead);
    const double oceanRef = Median(o.reference), oceanOne = Median(o.oneRead);
    printf("METRIC airport_reference_ms %.3f ms\n", nearRef);
    printf("METRIC airport_ms %.3f ms\n", nearOne);
    printf("METRIC airport_ocean_reference_ms %.3f ms\n", oceanRef);
    printf("METRIC airport_ocean_ms %.3f ms\n", oceanOne);
    printf("METRIC airport_speedup %.2f ratio\n", nearOne > 0 ? nearRef / nearOne : 0);
    printf("METRIC airport_ocean_speedup %.2f ratio\n", oceanOne > 0 ? oceanRef / oceanOne : 0);
    printf("ocean goal (one-read at least 3 times faster): %s\n", oceanRef >= 3 * oceanOne ? "met" : "NOT met");
    return 0;
}
