#include "simlink/ipc_client.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "base/checks.h"
#include "base/locks.h"
#include "base/log.h"
#include "simlink/ipc_reply.h"
#include "simlink/ipc_server.h"

namespace {
// One link at a time: opened by the link's start, closed by its end (or healed by the tick).
IpcLinkState IpcLink;
}  // namespace

IpcLinkState IpcLinkNow() { return IpcLink; }

namespace {

SRWLOCK g_sessionLock = SRWLOCK_INIT;
// The thread holding the session, 0 when none does.
std::atomic<DWORD> g_sessionOwner{0};

constexpr int kSendTries = 9;
constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPauseMs = 100;
constexpr int kHandshakePasses = 5;

void Put32(uint8_t* at, uint32_t value) { memcpy(at, &value, 4); }

size_t Used() { return (size_t)(IpcLink.next - IpcLink.view); }

// The batch being built is dropped.
void StartBatch() {
    IpcLink.next = IpcLink.view;
    IpcLink.pendingReadCount = 0;
}

IpcStatus SessionHeldHere() {
    if (DURAR_CHECK(g_sessionOwner.load(), ==, GetCurrentThreadId())) return {};
    return {IpcNotHeld};
}

// Queue calls and the exchange: the session held here, the link open and the batch's end inside
// the request area (an end outside it would have the next record written past the area).
IpcStatus BatchReady() {
    if (const IpcStatus held = SessionHeldHere(); !held.ok()) return held;
    if (!IpcLink.view) return {IpcNotOpen};
    if (!DURAR_CHECK(IpcLink.next, >=, IpcLink.view) || !DURAR_CHECK(Used(), <=, kIpcRequestArea)) {
        StartBatch();  // the batch is lost either way; the link goes on
        return {IpcDoesNotFit};
    }
    return {};
}

// The handshake's requests, each in a batch of its own; the first refusal or failed exchange ends it.
IpcStatus Handshake(int pass) {
    uint16_t simulatorCode = 0;
    IpcStatus status = IpcQueueRead(IpcOffset::ServerVersion, 4, &IpcLink.serverVersion);
    if (status.ok()) status = IpcProcess();
    if (status.ok()) status = IpcQueueRead(IpcOffset::SimulatorCode, 2, &simulatorCode);
    if (status.ok()) status = IpcProcess();
    // Only the low 16 bits come from the server; a failed read leaves the code as it was.
    IpcLink.simulatorCode = (IpcLink.simulatorCode & 0xFFFF0000u) | simulatorCode;
    if (status.ok() && pass == 0) {
        const uint16_t clientVersion = 2002;
        status = IpcQueueWrite(IpcOffset::ClientVersion, 2, &clientVersion);
        if (status.ok()) status = IpcProcess();
    }
    return status;
}

// The server plug-in's own window: another program's, or a library's that is no plug-in, would
// take our requests and serve nothing, or serve another table.
HWND FindServerWindow() { return FindIpcServerWindow(); }

}  // namespace

// Messages other threads send to our windows are served while the simulator's thread waits.
IpcSession::IpcSession() {
    AcquireServingMessages(&g_sessionLock);
    g_sessionOwner = GetCurrentThreadId();
}

IpcSession::~IpcSession() {
    g_sessionOwner = 0;
    ReleaseSRWLockExclusive(&g_sessionLock);
}

IpcStatus IpcOpen() {
    if (const IpcStatus held = SessionHeldHere(); !held.ok()) return held;
    if (IpcLink.view) return {IpcAlreadyOpen};
    IpcLink.serverVersion = 0;
    IpcLink.simulatorCode = 0;

    HWND server = FindServerWindow();
    if (!server) return {IpcNoServerWindow};
    IpcLink.serverWindow = server;
    IpcLink.messageId = RegisterWindowMessageA("FsasmLib:IPC");
    if (!IpcLink.messageId) {
        IpcLink.serverWindow = nullptr;
        return {IpcNoMessage};
    }

    IpcLink.openCounter++;
    char name[64];
    snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", GetCurrentProcessId(), (unsigned)IpcLink.openCounter);
    IpcLink.atom = GlobalAddAtomA(name);
    if (!IpcLink.atom) {
        IpcClose();
        return {IpcNoAtom};
    }
    IpcLink.mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kIpcAreaSize, name);
    if (!IpcLink.mapping || GetLastError() == ERROR_ALREADY_EXISTS) {
        IpcClose();
        return {IpcNoMapping};
    }
    IpcLink.view = static_cast<uint8_t*>(MapViewOfFile(IpcLink.mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (!IpcLink.view) {
        IpcClose();
        return {IpcNoView};
    }
    StartBatch();

    for (int pass = 0; pass < kHandshakePasses; ++pass) {
        if (IpcLink.serverVersion != 0 && IpcLink.simulatorCode != 0) break;
        const IpcStatus status = Handshake(pass);
        if (!status.ok()) {
            IpcClose();
            return status;
        }
        // The pause gives a server that is still starting time to answer; one that has
        // answered needs none (and the pause is spent on the simulator's thread at link start).
        if (IpcLink.serverVersion != 0 && IpcLink.simulatorCode != 0) break;
        Sleep(kPauseMs);
    }
    return {};
}

void IpcClose() {
    IpcLink.serverWindow = nullptr;
    IpcLink.messageId = 0;
    if (IpcLink.atom) {
        GlobalDeleteAtom(IpcLink.atom);
        IpcLink.atom = 0;
    }
    if (IpcLink.view) {
        UnmapViewOfFile(IpcLink.view);
        IpcLink.view = nullptr;
    }
    IpcLink.next = nullptr;
    IpcLink.pendingReadCount = 0;
    if (IpcLink.mapping) {
        CloseHandle(IpcLink.mapping);
        IpcLink.mapping = nullptr;
    }
}

IpcStatus IpcQueueRead(uint32_t offset, uint32_t size, void* destination) {
    if (const IpcStatus ready = BatchReady(); !ready.ok()) return ready;
    if ((uint64_t)Used() + size + 20 > kIpcRequestArea) return {IpcDoesNotFit};
    // A read past the list would have its data land nowhere, or in another read's buffer.
    if (!DURAR_CHECK(IpcLink.pendingReadCount, <, kIpcMaxReads)) return {IpcDoesNotFit};
    uint8_t* record = IpcLink.next;
    Put32(record, 1);
    Put32(record + 4, offset);
    Put32(record + 8, size);
    Put32(record + 12, (uint32_t)(uintptr_t)destination);
    memset(record + 16, 0, size);
    IpcLink.pendingReads[IpcLink.pendingReadCount++] = IpcReadTarget{destination, size};
    IpcLink.next = record + 16 + size;
    return {};
}

IpcStatus IpcQueueWrite(uint32_t offset, uint32_t size, const void* source) {
    if (const IpcStatus ready = BatchReady(); !ready.ok()) return ready;
    if ((uint64_t)Used() + size + 16 > kIpcRequestArea) return {IpcDoesNotFit};
    uint8_t* record = IpcLink.next;
    Put32(record, 2);
    Put32(record + 4, offset);
    Put32(record + 8, size);
    if (size) memcpy(record + 12, source, size);
    IpcLink.next = record + 12 + size;
    return {};
}

IpcStatus IpcProcess() {
    if (const IpcStatus ready = BatchReady(); !ready.ok()) return ready;
    if (IpcLink.next == IpcLink.view) return {IpcNothingQueued};
    Put32(IpcLink.next, 0);
    // The reads this exchange answers; the batch is over whatever the exchange gives.
    IpcReadTarget reads[kIpcMaxReads];
    const uint32_t readCount = IpcLink.pendingReadCount;
    memcpy(reads, IpcLink.pendingReads, sizeof reads);
    StartBatch();

    bool sent = false;
    for (int attempt = 0; attempt < kSendTries && !sent; ++attempt) {
        DWORD_PTR reply = 0;
        SetLastError(0);
        sent = SendMessageTimeoutA(IpcLink.serverWindow, IpcLink.messageId, IpcLink.atom, 0, SMTO_BLOCK,
                                   kSendTimeoutMs, &reply) != 0;
        // A window that no longer exists will not come back under the same handle: trying
        // again would only hold the caller (the simulator's thread for a key press).
        if (!sent && GetLastError() == ERROR_INVALID_WINDOW_HANDLE) break;
        if (!sent) Sleep(kPauseMs);
    }
    if (!sent) {
        const IpcResult code = GetLastError() != 0 ? IpcSendFailed : IpcTimedOut;
        LogLineLimited(LogIpcExchange, 30000, "IPC exchange with the server failed (code %u)", (unsigned)code);
        return {code};
    }

    // The server's reply lies in the same area; the walk keeps within the request area,
    // whatever sizes a misbehaving server left in it.
    WalkIpcReply(IpcLink.view, kIpcRequestArea, reads, readCount);
    return {};
}

bool IpcServerGone() { return IpcLink.view && !IsWindow(IpcLink.serverWindow); }

IpcStatus IpcReattach() {
    if (const IpcStatus held = SessionHeldHere(); !held.ok()) return held;
    if (!IpcLink.view) return {IpcNotOpen};
    if (IsWindow(IpcLink.serverWindow)) return {};
    HWND server = FindServerWindow();
    if (!server) return {IpcNoServerWindow};
    IpcLink.serverWindow = server;
    StartBatch();
    // What the open learnt of the server, learnt again from the new window. A read that fails
    // leaves what the open learnt (a failed exchange is logged where it failed); the window is
    // taken either way.
    uint32_t version = 0;
    uint16_t code = 0;
    if (IpcQueueRead(IpcOffset::ServerVersion, 4, &version).ok() && IpcProcess().ok())
        IpcLink.serverVersion = version;
    if (IpcQueueRead(IpcOffset::SimulatorCode, 2, &code).ok() && IpcProcess().ok())
        IpcLink.simulatorCode = (IpcLink.simulatorCode & 0xFFFF0000u) | code;
    return {};
}

IpcStatus IpcQueueIdentityMarker() { return IpcQueueWrite(IpcOffset::ClientVersion, 2, &kIdentityMarker); }

// The session is not re-entrant: a thread that holds it would wait for itself.
static bool SessionFree() { return DURAR_CHECK(g_sessionOwner.load(), !=, GetCurrentThreadId()); }

IpcStatus IpcRead(uint32_t offset, uint32_t size, void* destination) {
    if (!SessionFree()) return {IpcNotHeld};
    IpcSession session;
    const IpcStatus queued = IpcQueueRead(offset, size, destination);
    return queued.ok() ? IpcProcess() : queued;
}

IpcStatus IpcWrite(uint32_t offset, uint32_t size, const void* source) {
    if (!SessionFree()) return {IpcNotHeld};
    IpcSession session;
    const IpcStatus queued = IpcQueueWrite(offset, size, source);
    return queued.ok() ? IpcProcess() : queued;
}
