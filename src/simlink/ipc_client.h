#pragma once
// The FSUIPC-protocol client of the IPC server plug-in, and every offset the plug-in uses.
#include <windows.h>

#include <cstdint>

#include "simlink/ipc_offsets.h"
#include "simlink/ipc_reply.h"

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
    // Ours, not the protocol's: the calling thread does not hold the IpcSession the call needs
    // (or holds it where it would take it again).
    IpcNotHeld = 16,
};

// What an IPC call did: IpcOk, or why it did nothing (or, for an exchange, why it failed).
struct [[nodiscard]] IpcStatus {
    IpcResult code = IpcOk;
    bool ok() const { return code == IpcOk; }
};

constexpr uint32_t kIpcAreaSize = 0x8000;
constexpr uint32_t kIpcRequestArea = 0x7F00;
// Reads one batch may carry; another is refused with IpcDoesNotFit (and a logged check).
constexpr uint32_t kIpcMaxReads = 8;

struct IpcLinkState {
    HWND serverWindow = nullptr;
    UINT messageId = 0;
    ATOM atom = 0;
    HANDLE mapping = nullptr;
    uint8_t* view = nullptr;
    uint8_t* next = nullptr;
    // The batch's reads in their order, each with what its caller's buffer holds: a reply
    // never writes more.
    IpcReadTarget pendingReads[kIpcMaxReads] = {};
    uint32_t pendingReadCount = 0;
    int32_t openCounter = 0;
    uint32_t serverVersion = 0;
    uint32_t simulatorCode = 0;
};

// The link's state as it is now, copied (kept in ipc_client.cpp, changed only by the calls below).
IpcLinkState IpcLinkNow();

// The protocol's primitives. They are not re-entrant: hold an IpcSession around each batch
// (queue calls and their IpcProcess) and around open and close. Open, the queue calls, process
// and reattach refuse with IpcNotHeld (and a logged check) when this thread does not hold it.
IpcStatus IpcOpen();
void IpcClose();
IpcStatus IpcQueueRead(uint32_t offset, uint32_t size, void* destination);
IpcStatus IpcQueueWrite(uint32_t offset, uint32_t size, const void* source);
IpcStatus IpcProcess();

// The link is open but its server window is gone (the server plug-in was disabled, say).
bool IpcServerGone();
// Takes the server's window found now in place of a gone one, keeping the open area, and reads
// the server version and simulator code again. IpcNoServerWindow when there is none yet,
// IpcNotOpen when the link is not open; IpcOk at once when the window still lives.
IpcStatus IpcReattach();

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
IpcStatus IpcQueueIdentityMarker();

// One request in a batch of its own, under the session lock; IpcOk when it was served.
// IpcNotHeld (and a logged check) when this thread holds the session already: taking it again
// would hang.
IpcStatus IpcRead(uint32_t offset, uint32_t size, void* destination);
IpcStatus IpcWrite(uint32_t offset, uint32_t size, const void* source);
