#include "simlink/aircraft_position.h"

#include <atomic>
#include <cstdint>
#include <cstring>

#include "base/checks.h"
#include "simlink/datarefs.h"

namespace {

// Latitude and longitude in degrees as two floats in one word, so a reader never pairs the
// latitude of one sample with the longitude of another.
std::atomic<uint64_t> SampledPosition{0};

}  // namespace

void SampleAircraftPosition() {
    // Off the simulator's thread the reads give 0: keep the last position instead of 0, 0.
    if (!Datarefs.latitude || !Datarefs.longitude || !CHECK_SIMULATOR_THREAD()) return;
    float degrees[2] = {(float)ReadDataref(Datarefs.latitude), (float)ReadDataref(Datarefs.longitude)};
    uint64_t word;
    memcpy(&word, degrees, sizeof word);
    SampledPosition.store(word, std::memory_order_release);
}

int GetAircraftPosition(GeoPosition* position) {
    if (!position) return 0;
    uint64_t word = SampledPosition.load(std::memory_order_acquire);
    float degrees[2];
    memcpy(degrees, &word, sizeof degrees);
    position->Latitude = degrees[0] / kDegreesPerRadian;
    position->Longitude = degrees[1] / kDegreesPerRadian;
    return 1;
}
