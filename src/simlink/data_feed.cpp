#include "simlink/data_feed.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cmath>

#include "XPLMDataAccess.h"
#include "base/checks.h"
#include "base/guard.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/module_release.h"
#include "base/plugin_state.h"
#include "simlink/aircraft_position.h"
#include "simlink/datarefs.h"
#include "simlink/ipc_client.h"
#include "simlink/weather_units.h"

namespace {

// Atomics: sampled on the simulator's thread, read on any.
std::atomic<int> g_com1{0};
std::atomic<int> g_onGround{0};
std::atomic<int> g_com1Khz{0};

SRWLOCK g_sampleLock = SRWLOCK_INIT;
WeatherSample g_sample;

float Read(const DatarefHandle& dataref) { return (float)ReadDataref(dataref); }

// The pressure the ATC program reads out as the altimeter setting: the aircraft's QNH where the
// simulator has it (12.1 on) and it holds a pressure, else the sea-level pressure. At a high, cold
// field the two differ by tens of hectopascals.
double Xp12Pressure(const DatarefHandles& d) {
    const double qnh = d.qnh ? ReadDataref(d.qnh) : 0.0;
    return std::isfinite(qnh) && qnh > 0.0 ? qnh : ReadDataref(d.barometer);
}

// X-Plane 12's weather into the sample, in the units of 11's datarefs, in the record's order.
void SampleXp12Weather(const DatarefHandles& d, WeatherSample& s) {
    s.windSpeed = KnotsFromMetresPerSecond(ReadDatarefItem(d.windSpeed, 0));
    s.windDirection = Read(d.windDirection);
    s.shearSpeed = KnotsFromMetresPerSecond(ReadDatarefItem(d.shearSpeed, 0));
    s.barometer = InchesOfMercuryFromPascals(Xp12Pressure(d));
    s.visibility = MetresFromStatuteMiles(ReadDataref(d.visibility));
    s.temperature = Read(d.temperature);
    s.dewPoint = (float)ReadDatarefItem(d.dewPoint, 0);
    for (int i = 0; i < 3; ++i) {
        const double coverage = ReadDatarefItem(d.cloudCoverage[i], i);
        s.cloudCoverage[i] = CoverageFromRatio(coverage);
        s.cloudType[i] = CloudTypeFromBlend(ReadDatarefItem(d.cloudType[i], i), coverage);
        s.cloudBase[i] = (float)ReadDatarefItem(d.cloudBase[i], i);
    }
}

// The record goes out as one batch of writes: one exchange per feed, and a client of the
// server never reads a half-written record. A write that does not fit is skipped.
template <size_t N>
void Queue(uint32_t offset, const std::array<uint8_t, N>& block) {
    (void)IpcQueueWrite(offset, (uint32_t)N, block.data());  // skipped, as said above
}

void QueueWord(uint32_t offset, uint32_t value) {
    (void)IpcQueueWrite(offset, 4, &value);  // skipped, as said above
}

}  // namespace

// X-Plane 11's weather datarefs into the sample, in the record's order.
static void SampleLegacyWeather(const DatarefHandles& d, WeatherSample& s) {
    s.windSpeed = Read(d.windSpeed);
    s.windDirection = Read(d.windDirection);
    s.shearSpeed = Read(d.shearSpeed);
    s.barometer = Read(d.barometer);
    s.visibility = Read(d.visibility);
    s.temperature = Read(d.temperature);
    s.dewPoint = Read(d.dewPoint);
    for (int i = 0; i < 3; ++i) {
        s.cloudCoverage[i] = Read(d.cloudCoverage[i]);
        s.cloudType[i] = Read(d.cloudType[i]);
        s.cloudBase[i] = Read(d.cloudBase[i]);
    }
}

void SampleCom1AndGround() {
    if (!CHECK_SIMULATOR_THREAD()) return;
    g_com1 = (int)ReadDataref(Datarefs.com1);
    g_com1Khz = Datarefs.com1Khz ? (int)ReadDataref(Datarefs.com1Khz) : 0;
    g_onGround = ReadDataref(Datarefs.onGround) > 0 ? 1 : 0;
}

int SampledCom1() { return g_com1.load(); }

int SampledCom1Khz() { return g_com1Khz.load(); }

int SampledOnGround() { return g_onGround.load(); }

void SetSampledCom1(int com1) { g_com1 = com1; }

void SetSampledCom1Khz(int khz) { g_com1Khz = khz; }

void SetSampledOnGround(int onGround) { g_onGround = onGround; }

void SampleSimulator() {
    // The feed runs on background threads too; they use the last sample instead.
    if (!CHECK_SIMULATOR_THREAD()) return;
    const DatarefHandles& d = Datarefs;
    WeatherSample s;
    // The order of the reads is the order the record is defined in.
    if (d.weatherSource == WeatherSource::Xp12) {
        SampleXp12Weather(d, s);
    } else {
        SampleLegacyWeather(d, s);
    }
    s.zuluHour = (int)ReadDataref(FindDataref(kZuluHourDataref));
    SampleAircraftPosition();
    SampleCom1AndGround();
    AcquireSRWLockExclusive(&g_sampleLock);
    g_sample = s;
    ReleaseSRWLockExclusive(&g_sampleLock);
}

void ResetDataFeed() {
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;  // its state is in use
    g_com1 = 0;
    g_com1Khz = 0;
    g_onGround = 0;
    AcquireSRWLockExclusive(&g_sampleLock);
    g_sample = WeatherSample();
    ReleaseSRWLockExclusive(&g_sampleLock);
}

WeatherSample LastWeatherSample() {
    AcquireSRWLockShared(&g_sampleLock);
    WeatherSample s = g_sample;
    ReleaseSRWLockShared(&g_sampleLock);
    return s;
}

void UpdateSimulatorData() {
    if (!LinkIsUp()) return;
    if (OnSimulatorThread()) SampleSimulator();
    const WeatherSample s = LastWeatherSample();
    IpcSession session;
    QueueWord(0xCC24, timeGetTime());
    Queue(IpcOffset::WeatherArea, std::array<uint8_t, 4>{'G', 'L', 'O', 'B'});
    Queue(0xCF80, UtcHourBlock(s.zuluHour));
    QueueWord(0xCCF8, 1);
    Queue(0xCCFC, WindLayer(s));
    Queue(0xCC28, PressureBlock(s));
    Queue(0xCC2C, VisibilityBlock(s));
    QueueWord(0xCC34, 1);
    Queue(0xCC38, TemperatureLayer(s));
    QueueWord(0xCE7C, 3);
    Queue(0xCE80, CloudLayers(s));
    // An ATC program that opened since the last feed left its library version where its next
    // open looks for the marker: put the marker back, so a reconnecting program gets in.
    // Without room for it the record still goes; the marker rides along with the next feed.
    (void)IpcQueueIdentityMarker();
    // Kept only for the log: a failed exchange is logged where it failed, and the next feed (a
    // second later, or the next tick) sends the whole record again. Any other refusal says the
    // link is not what the feed took it for: said once, as it would repeat every second.
    const IpcStatus sent = IpcProcess();
    if (!sent.ok() && sent.code != IpcSendFailed && sent.code != IpcTimedOut) {
        static std::atomic<bool> logged{false};
        if (!logged.exchange(true))
            LogLine("the simulator's data was not sent to the IPC server (code %u)", (unsigned)sent.code);
    }
}

float SampleFlightLoop(float, float, int, void*) {
    return Guarded("SampleFlightLoop", 1.0f, [] {
        SampleSimulator();
        FlushQueuedLog();
        // Server module references that worker threads let go of.
        ReleaseHeldModules();
        return 1.0f;
    });
}
