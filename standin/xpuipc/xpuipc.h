#pragma once
// Stand-in IPC server plug-in: what its parts share. Everything here runs on the simulator's main
// thread (window procedure of a main-thread window, flight loop, draw callback, control commands
// from the host), so the state is plain and unlocked.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xpuipc {

constexpr uint32_t kTableSize = 0x10000;  // the offset table
constexpr uint32_t kAreaMax = 0x8000;     // a client's shared area; never read beyond it

// Offsets with a meaning of their own.
constexpr uint32_t kServerVersion = 0x3304;
constexpr uint32_t kSimulatorCode = 0x3308;
constexpr uint32_t kClientCode = 0x330A;
constexpr uint32_t kIdentity04D6 = 0x04D6;
constexpr uint32_t kHotkeyCount = 0x320C;
constexpr uint32_t kHotkeySlots = 0x3210;
constexpr int kSlotCount = 56;
constexpr uint32_t kMessageTime = 0x32FA;
constexpr uint32_t kHotkeyNotice = 0x32FE;
constexpr uint32_t kMessageText = 0x3380;
constexpr uint32_t kMessageTextSize = 128;
constexpr uint32_t kWeatherFirst = 0xCC08, kWeatherEnd = 0xCF86;  // the weather area
// What the server itself presents: FSUIPC clients check the version and the marker, read as
// the high word of the 4 bytes at 0x3308.
constexpr uint32_t kOwnServerVersion = 0x40010000;
constexpr uint16_t kOwnSimulatorCode = 12;
constexpr uint16_t kIdentityMarker = 0xFADE;

// ---- offset table (table.cpp)
void TableReset();  // default identity values, empty hot keys, empty logs
void TableFree();
// Both give false (and do nothing) when offset + size runs past the table.
bool TableRead(uint32_t offset, uint32_t size, uint8_t* out);
// writer: process id of the client whose area carried the write, 0 for test equipment.
bool TableWrite(uint32_t offset, uint32_t size, const uint8_t* data, uint32_t writer);

std::string DescribeHotkeys();
// brief: without the process ids of owner and writer, which differ from run to run.
std::string DescribePresses(bool brief = false);
void ClearPresses();

// ---- request-area walk (batch.cpp)
struct BatchResult {
    bool ok = false;
    int records = 0;          // records checked (or served)
    uint32_t terminator = 0;  // where the terminating zero word lies
    int weatherWrites = 0;    // write records inside the weather area
    std::string reason;       // why a batch was refused
};
// Checks every record of the area first and serves the batch only when all of them are sound:
// known id, header and data inside the area, offset + size inside the table, a terminator.
BatchResult ServeBatch(uint8_t* area, size_t areaSize, uint32_t writer);
// Where record `index` of an already checked area starts (index == records gives the
// terminator); false when there is no such record.
bool RecordStart(const uint8_t* area, size_t areaSize, int index, uint32_t* position);

// ---- server window and faults (server.cpp)
// Registers the message; the "UIPCMAIN" window is made on the calling thread when enabled (or
// at once with the start-stop lifetime).
bool ServerStart();
void ServerStop();
bool ServerEnable(bool on);  // makes or destroys the window as the lifetime says
bool ServerEnabled();
// "enable-disable" (the default, as real servers do) or "start-stop" (serves while disabled).
bool SetWindowLifetime(const std::string& which, std::string* error);
std::string DescribeWindowLifetime();
std::string ServerStatus();
// Counters for benchmarks and soak runs: batches and records served, batches carrying weather
// writes, and requests that arrived from a link its client had already closed.
std::string ServerCounters(const std::string& which);
// Fault commands; give false with a message in *error for bad arguments.
bool SetFault(const std::string& args, std::string* error);
void ClearFaults();

// ---- own identity refreshed every frame (identity.cpp)
void IdentityStart();  // refreshing starts switched off
void IdentityStop();
bool SetIdentityRefresh(const std::string& which, std::string* error);  // "on" or "off"
std::string DescribeIdentityRefresh();

// ---- message text strip (text_strip.cpp)
void TextStripStart();  // registers the flight loop, picks the text buffer's place
void TextStripStop();   // takes a shown message down, unregisters the flight loop
void TextStripEnable(bool on);  // messages are shown only while the plug-in is enabled
// The display time was written: latch the text and time for the next frame.
void MessageTimeWritten();
std::string DescribeMessage();
// Placement of the in-image text buffer: "first", "second" (the fixed distances from the load
// address that the real server's 64-bit build uses) or "own" (an ordinary static array).
bool SetTextPlacement(const std::string& which, std::string* error);
std::string DescribeTextBuffer();
uintptr_t ModuleBase();

// ---- control commands (control.cpp)
bool RunCommand(const std::string& line, std::string* out);
// Runs the commands of "standin-commands.txt" beside the plug-in file, if there is one.
void RunStartupCommands();
std::string Hex(uint32_t value);
std::vector<std::string> Words(const std::string& line);  // split at blanks
// Decimal or 0x hex, at most max; false for anything else (signs, junk, empty).
bool ParseUnsigned(const std::string& word, unsigned long long max, unsigned long long* value);

}  // namespace xpuipc
