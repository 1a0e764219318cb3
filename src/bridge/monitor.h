#pragma once
// The periodic watch over the ATC program. The tick and its timer are in monitor.cpp, the search
// for the ATC text source in atc_text_source.cpp.
#include <windows.h>

#include <atomic>

// The connection's bookkeeping (monitor.cpp). Atomics: the timer's tick writes them while the
// simulator's thread (link start, the hints panel) reads and writes them too.
// The ground state the option list was last built for; set by link start, followed by the tick.
extern std::atomic<int> OnGround;
// 1 once the ATC program's keys and text source were taken for the current connection.
extern std::atomic<int> AtcAttached;
// Everything of the monitor back to its values at load: a timer left over is deleted first
// (DeleteMonitorTimer), then AtcAttached, OnGround, the notices given and the tick's memory of
// the last connection and server window are cleared, and the text source forgotten
// (ResetAtcTextSource). Only while no tick, scan or refresh runs.
void ResetMonitorState();

// The search for the ATC text (atc_text_source.cpp). AtcTextSource is read by the string
// interception on the simulator's thread with one atomic load (acquire); written by the tick,
// the scan thread and the module-unload notice.
extern std::atomic<int> AtcTextScanRunning;
// Where the IPC server keeps the ATC program's current message text (128 bytes), or null.
extern std::atomic<const char*> AtcTextSource;
// Forgets the source and the scan's running flag. Only while no scan thread runs.
void ResetAtcTextSource();

// What the monitor kept of a link, forgotten by its stop (after LinkActive is cleared and the
// timer deleted): the next link imports the ATC program's keys again when the program connects,
// and logs a loss of the server's window again.
void MonitorLinkStopped();

// Timer-pool callback, every 4 s.
VOID CALLBACK MonitorTick(PVOID parameter, BOOLEAN timerFired);
// Once per connection: the ATC program's hotkeys, the text source, the option list. Only while
// the link is up; otherwise it leaves AtcAttached clear and does nothing.
void AttachToAtc();
const char* FindAtcTextSource();
// Unless the source is known: the two fixed places, else a scan thread when none runs.
void LookForAtcTextSource();
DWORD WINAPI AtcTextScan(LPVOID);
// The lowest address in [image, image + size) whose 128 bytes are readable and hold an ATC
// message (IsAtcTextAtStart), or null. Searches copies of the readable regions.
const char* ScanForAtcText(const void* image, size_t size);

// Does a 128-byte window of text hold an ATC message? start: at its start or "ComFreq"
// anywhere; second: any of the second candidate's phrases anywhere.
bool IsAtcTextAtStart(const char* text128);
bool IsAtcTextAnywhere(const char* text128);

// The timer that runs MonitorTick (kept in monitor.cpp, touched on the simulator's thread only).
[[nodiscard]] bool CreateMonitorTimer();
// Deletes MonitorTimer and waits for a tick still running, serving messages sent to the
// simulator's thread meanwhile (a tick may be waiting for the IPC server's window). Always
// leaves MonitorTimer null.
void DeleteMonitorTimer();
