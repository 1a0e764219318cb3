#pragma once
// The FSUIPC-protocol client of the IPC server plug-in, and every offset the plug-in uses.
#include <windows.h>

#include <cstdint>

enum IpcResult : uint32_t {
    IpcOk = 0,
    IpcAlreadyOpen = 1,
    IpcNoServerWindow = 2,
    IpcNoMessage = 3,
    IpcNoAtom = 4,
    IpcNoMapping = 5,  // also: a mapping of that name existed already
    IpcNoView = 6,
    IpcNotOpen = 9,
    IpcNothingQueued = 10,
    IpcTimedOut = 11,
    IpcSendFailed = 12,
    IpcDoesNotFit = 15,
};

// The offsets of the server's table that the plug-in reads or writes.
namespace IpcOffset {
constexpr uint32_t ServerVersion = 0x3304;   // 4 bytes
constexpr uint32_t SimulatorCode = 0x3308;   // 2 bytes
constexpr uint32_t ClientVersion = 0x330A;   // 2 bytes
constexpr uint32_t Identity04D6 = 0x04D6;    // 2 bytes
constexpr uint32_t HotkeySlotCount = 0x320C; // 4 bytes
constexpr uint32_t HotkeySlots = 0x3210;     // 56 slots of 4 bytes
constexpr uint32_t HotkeyPressed = 0x32FE;   // 1 byte
constexpr uint32_t MessageText = 0x3380;     // 128 bytes
constexpr uint32_t MessageTime = 0x32FA;     // 2 bytes, seconds
constexpr uint32_t WeatherArea = 0xCC08;     // to 0xCF85
}  // namespace IpcOffset

// FSUIPC clients refuse a server unless the high word of the 4 bytes at 0x3308 (that is 0x330A)
// holds this marker, and every client's open overwrites it with its library version.
constexpr uint16_t kIdentityMarker = 0xFADE;

constexpr int kHotkeySlotCount = 56;
constexpr uint32_t HotkeySlotOffset(int n) { return IpcOffset::HotkeySlots + 4u * (uint32_t)n; }

// One entry of the server's hot-key table.
struct HotkeySlot {
    uint8_t keyCode;
    uint8_t modifiers;  // 1 Shift, 2 Control
    uint8_t flags;
    uint8_t pressed;    // 1 = pressed
};
static_assert(sizeof(HotkeySlot) == 4, "a slot is one 32-bit word");

constexpr uint32_t kIpcAreaSize = 0x8000;
constexpr uint32_t kIpcRequestArea = 0x7F00;

struct IpcLinkState {
    HWND serverWindow = nullptr;
    UINT messageId = 0;
    ATOM atom = 0;
    HANDLE mapping = nullptr;
    uint8_t* view = nullptr;
    uint8_t* next = nullptr;
    void* pendingRead = nullptr;
    uint32_t pendingReadSize = 0;  // what the caller's buffer holds; a reply never writes more
    int32_t openCounter = 0;
    uint32_t serverVersion = 0;
    uint32_t simulatorCode = 0;
};

extern IpcLinkState IpcLink;

// The protocol's primitives. They are not re-entrant: hold an IpcSession around each batch
// (queue calls and their IpcProcess) and around open and close.
bool IpcOpen(uint32_t* result);
void IpcClose();
bool IpcQueueRead(uint32_t offset, uint32_t size, void* destination, uint32_t* result);
bool IpcQueueWrite(uint32_t offset, uint32_t size, const void* source, uint32_t* result);
bool IpcProcess(uint32_t* result);

// The link is open but its server window is gone (the server plug-in was disabled, say).
bool IpcServerGone();
// Takes the server's window found now in place of a gone one, keeping the open area, and reads
// the server version and simulator code again. Code 2 when there is no server window yet, 9
// when the link is not open; true at once when the window still lives.
bool IpcReattach(uint32_t* result);

// Exclusive use of the link by one thread. On the simulator's thread the wait keeps serving
// messages sent to its windows: a worker thread holding the link may be waiting for exactly
// that (the server's window lives on the simulator's thread).
class IpcSession {
public:
    IpcSession();
    ~IpcSession();
    IpcSession(const IpcSession&) = delete;
    IpcSession& operator=(const IpcSession&) = delete;
};

// Queues the marker's write into the batch being built (no exchange of its own).
bool IpcQueueIdentityMarker(uint32_t* result);

// One request in a batch of its own, under the session lock; true when it was served.
bool IpcRead(uint32_t offset, uint32_t size, void* destination);
bool IpcWrite(uint32_t offset, uint32_t size, const void* source);
