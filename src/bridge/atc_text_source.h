#pragma once
// Where the IPC server keeps the ATC program's current message text: the two fixed places in the
// server's module, else a scan of its image on a thread of its own (atc_text_source.cpp, the
// only writer of what is declared here).
#include <windows.h>

#include <atomic>

// The 128 bytes of the message, or null while unknown. Read on every drawn string by the string
// interception (one atomic load, acquire); changed only through the calls below.
// thread: read anywhere; written by the tick, the scan thread, the module-unload notice.
const char* AtcTextSourceNow();
// A scan thread runs (or is being started).
bool AtcTextScanIsRunning();

// thread: any. The source is known to be this (null forgets it).
void UseAtcTextSource(const char* source);
// thread: any. Forgets the source when it lies in [base, base + size) (a module going away).
void ForgetAtcTextSourceIn(const void* base, size_t size);
// thread: any. The program is gone: the source is forgotten, and a scan still running publishes
// nothing (it stays the one scan until it ends).
void ForgetAtcTextSource();
// Forgets the source, the scan's running flag and the search's schedule. Only while no scan
// thread runs.
void ResetAtcTextSource();
// thread: the simulator's (the string interception). The server drew a strip text carrying an ATC
// marker while no source is known: something new for the next search to find.
void NoteUnsourcedAtcText(const char* text);

// thread: the simulator's or the tick's. The two fixed places, else null.
const char* FindAtcTextSource();
// thread: the tick's or the deferred work's. A new connection: the searches' schedule starts
// afresh (when the attach begins, so the schedule counts from the same tick whichever thread
// attaches, however long the attach takes).
void RestartAtcTextSearch();
// thread: the simulator's or the tick's. Unless the source is known: the two fixed places, else a
// scan thread when none runs.
void LookForAtcTextSource();
// thread: the tick's, every tick while connected. The fixed places; the image again only for a
// strip text drawn since the last search, else ever more seldom (every 2, 4, ... 64 ticks).
void KeepLookingForAtcTextSource();
// Scans of the image made to their end so far (for tests and figures).
long AtcTextScansMade();
// Test equipment: the scan's rest before it begins (2000 ms in the product), a call made on the
// scan thread between its search and its publish (null in the product), and the running flag
// forged as a scan that never ended would leave it.
void SetAtcTextScanRest(DWORD ms);
void SetAtcTextScanFinishing(void (*finishing)());
void ForgeAtcTextScanRunning(bool running);
// The scan thread's body.
DWORD WINAPI AtcTextScan(LPVOID);
// thread: any. The lowest address in [image, image + size) whose 128 bytes are readable and hold
// an ATC message (IsAtcTextAtStart), or null. Searches copies of the readable regions.
const char* ScanForAtcText(const void* image, size_t size);

// Does a 128-byte window of text hold an ATC message? start: at its start or "ComFreq"
// anywhere; second: any of the second candidate's phrases anywhere.
bool IsAtcTextAtStart(const char* text128);
bool IsAtcTextAnywhere(const char* text128);
