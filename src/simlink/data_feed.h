#pragma once
// The simulator's weather and UTC hour, fed into the IPC server's weather area.
#include "simlink/weather_record.h"

#include <atomic>

// COM1 (10 kHz units), its exact channel in kHz (132835 is 132.835 MHz; 0 where the simulator
// lacks the 8.33 kHz dataref) and the ground state (1 on the ground), as last sampled on the
// simulator's thread; read by the tick and the option list's rebuild on worker threads.
// thread: any. The weather sample is read through LastWeatherSample (a copy under its lock).
int SampledCom1();
int SampledCom1Khz();
int SampledOnGround();
// One value as if the simulator's thread had sampled it (tests and benchmarks). thread: any.
void SetSampledCom1(int com1);
void SetSampledCom1Khz(int khz);
void SetSampledOnGround(int onGround);
// The samples back to their values at load (all 0). Only while no worker runs.
void ResetDataFeed();

// Reads the datarefs into the shared sample. Simulator's thread only (the simulator forbids
// API calls from other threads); the feed on other threads uses the last sample taken.
void SampleSimulator();
// COM1 and the on-ground state alone, taken now: work handed to another thread at once (a key
// press) then sees the state of this frame, not of the last sample up to a second ago.
void SampleCom1AndGround();
// thread: any (a copy under the sample's lock).
WeatherSample LastWeatherSample();
// A flight loop that keeps the sample current for the worker threads, once a second.
float SampleFlightLoop(float sinceLastCall, float sinceLastFlightLoop, int counter, void* refcon);

// Writes the whole weather record, one exchange per block, when the link is up.
// thread: the tick's (from the last sample) or the simulator's (link start, sampling first).
void UpdateSimulatorData();
