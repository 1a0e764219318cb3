#pragma once
// The periodic watch over the ATC program. The tick and its timer are in monitor.cpp, the search
// for the ATC text source in atc_text_source.cpp.
#include <windows.h>

#include <atomic>

#include "bridge/atc_text_source.h"

// The connection's bookkeeping (monitor.cpp). Atomics: the timer's tick writes them while the
// simulator's thread (link start, the hints panel) reads and writes them too.
// The ground state the option list was last built for; set by link start (NoteGroundState),
// followed by the tick. Other files read it here; only monitor.cpp writes it.
extern const std::atomic<int>& OnGround;
// thread: the simulator's (link start).
void NoteGroundState(bool onGround);
// 1 once the ATC program's keys and text source were taken for the current connection.
extern std::atomic<int> AtcAttached;
// Everything of the monitor back to its values at load: a timer left over is deleted first
// (DeleteMonitorTimer), then AtcAttached, OnGround, the notices given and the tick's memory of
// the last connection and server window are cleared, and the text source forgotten
// (ResetAtcTextSource). Only while no tick, scan or refresh runs.
void ResetMonitorState();

// What the monitor kept of a link, forgotten by its stop (after LinkActive is cleared and the
// timer deleted): the hot-key table is emptied, an attach of that link still under way (its
// notice box open) publishes nothing, the next link imports the ATC program's keys again when the
// program connects, and logs a loss of the server's window again.
// thread: the simulator's.
void MonitorLinkStopped();

// Test equipment, null in the product: called by the tick right after it rebuilt the option list
// for a new ground state or COM1 channel.
extern void (*MonitorTickListBuilt)();

// Timer-pool callback, every 4 s.
// thread: the timer pool's.
VOID CALLBACK MonitorTick(PVOID parameter, BOOLEAN timerFired);
// Once per connection: the ATC program's hotkeys, the text source, the option list. Only while
// the link is up; otherwise it leaves AtcAttached clear and does nothing. An attach whose link
// stopped before it was done publishes nothing.
// thread: the tick's, or the deferred-work thread for the hints panel.
void AttachToAtc();
// The timer that runs MonitorTick (kept in monitor.cpp, touched on the simulator's thread only).
[[nodiscard]] bool CreateMonitorTimer();
// Deletes MonitorTimer and waits for a tick still running, serving messages sent to the
// simulator's thread meanwhile (a tick may be waiting for the IPC server's window). Always
// leaves MonitorTimer null.
void DeleteMonitorTimer();
