#pragma once
// The periodic watch over the ATC program, and the nearest airport's radio refresh. The tick and
// its timer are in monitor.cpp, the search for the ATC text source in atc_text_source.cpp, the
// radio refresh in radio_refresh.cpp.
#include <windows.h>

#include <atomic>

extern HANDLE MonitorTimer;
extern std::atomic<int> LastCom1Frequency;
extern std::atomic<int> OnGround;
extern std::atomic<int> AtcAttached;
extern std::atomic<int> NotConnectedNoticeShown;
extern std::atomic<int> AtcTextScanRunning;
// Where the IPC server keeps the ATC program's current message text (128 bytes), or null.
extern std::atomic<const char*> AtcTextSource;
extern char LastAirportIdent[6];

// Timer-pool callback, every 4 s.
VOID CALLBACK MonitorTick(PVOID parameter, BOOLEAN timerFired);
// Once per connection: the ATC program's hotkeys, the text source, the option list.
void AttachToAtc();
const char* FindAtcTextSource();
// Unless the source is known: the two fixed places, else a scan thread when none runs.
void LookForAtcTextSource();
DWORD WINAPI AtcTextScan(LPVOID);
// The lowest address in [image, image + size) whose 128 bytes are readable and hold an ATC
// message (IsAtcTextAtStart), or null. Searches copies of the readable regions.
const char* ScanForAtcText(const void* image, size_t size);
// The argument is the address of a COM1 frequency (LastCom1Frequency).
DWORD WINAPI RefreshAirportRadios(LPVOID lastCom1Frequency);
// The same with LastCom1Frequency, on the deferred-work thread; false when it is not running.
bool QueueRadioRefresh();

// Does a 128-byte window of text hold an ATC message? start: at its start or "ComFreq"
// anywhere; second: any of the second candidate's phrases anywhere.
bool IsAtcTextAtStart(const char* text128);
bool IsAtcTextAnywhere(const char* text128);

bool CreateMonitorTimer();
// Deletes MonitorTimer and waits for a tick still running, serving messages sent to the
// simulator's thread meanwhile (a tick may be waiting for the IPC server's window). Always
// leaves MonitorTimer null.
void DeleteMonitorTimer();
