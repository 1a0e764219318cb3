#pragma once
// The periodic watch over the ATC program. The tick and its timer are in monitor.cpp, the search
// for the ATC text source in atc_text_source.cpp.
#include <windows.h>

#include <atomic>
#include <memory>

#include "bridge/atc_text_source.h"

// What the monitor keeps of one link, from its start to its end: made by the link's start
// (BeginLinkWatch) and ended by its stop or a refused start (EndLinkWatch). A tick or an attach
// holds the watch it began with, so a stop never pulls it from under them; once ended, nothing
// they still hold is published, and the next link's watch begins from nothing.
// Atomics: the tick, the deferred-work thread and the simulator's thread all use them.
struct LinkWatch {
    // The ATC program's keys and text source were taken for the current connection.
    std::atomic<int> attached{0};
    // The ground state the option list was last built for.
    std::atomic<int> onGround{0};
    // The "not connected" notice went to the server since the program was last seen connected.
    std::atomic<int> notConnectedNoticeShown{0};
    // A server plug-in disabled and enabled again destroys its window: the loss is logged once.
    std::atomic<int> serverWindowLost{0};
    // The tick's own (ticks never overlap): COM1's exact channel (kHz) when it last looked.
    int lastTickCom1Khz = 0;
    // Set under the exclusive side of the watch's lock by its end; read under the shared side
    // before anything is published.
    bool ended = false;
};

// A new link's watch, made current; the link is up from here (SetLinkUp). thread: the simulator's.
std::shared_ptr<LinkWatch> BeginLinkWatch();
// The link's end: waits for an attach publishing now, marks the watch ended, empties the hot-key
// table, and leaves no watch current; the link is down from here. thread: the simulator's.
void EndLinkWatch(const std::shared_ptr<LinkWatch>& watch);
// The current link's watch, or null while no link is up. thread: any.
std::shared_ptr<LinkWatch> CurrentLinkWatch();
// The current link has attached to the ATC program (false with no link). thread: the simulator's.
bool AtcAttachedNow();
// thread: the simulator's (link start). The ground state the current link begins with.
void NoteGroundState(bool onGround);
// Everything of the monitor back to its values at load: a timer left over is deleted first
// (DeleteMonitorTimer), a current watch is dropped, the import's notices and the tick's memory of
// the program are cleared, and the text source forgotten (ResetAtcTextSource). Only while no
// tick, scan or refresh runs.
void ResetMonitorState();

// Test equipment, null in the product: called by the tick right after it rebuilt the option list
// for a new ground state or COM1 channel.
void SetMonitorTickListBuilt(void (*listBuilt)());

// Timer-pool callback, every 4 s.
// thread: the timer pool's.
VOID CALLBACK MonitorTick(PVOID parameter, BOOLEAN timerFired);
// Once per connection: the ATC program's hotkeys, the text source, the option list. Only while
// a link is up; otherwise it does nothing. An attach whose link ended before it was done
// publishes nothing.
// thread: the tick's, or the deferred-work thread for the hints panel.
void AttachToAtc();
// The timer that runs MonitorTick (kept in monitor.cpp, touched on the simulator's thread only).
[[nodiscard]] bool CreateMonitorTimer();
// Deletes MonitorTimer and waits for a tick still running, serving messages sent to the
// simulator's thread meanwhile (a tick may be waiting for the IPC server's window). Always
// leaves MonitorTimer null.
void DeleteMonitorTimer();
