#include "bridge/monitor.h"

// The tick every four seconds and its timer: the ATC program's connection followed, the IPC
// link healed, and the hints' option list kept up with the radios and the ground state.
#include "airport/airport_data.h"
#include "airport/radio_refresh.h"
#include "base/checks.h"
#include "base/guard.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "bridge/atc_window.h"
#include "bridge/option_list.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "simlink/data_feed.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_server.h"

namespace {

// Created and deleted on the simulator's thread only.
HANDLE MonitorTimer = nullptr;
void (*g_listBuilt)() = nullptr;

constexpr DWORD kCom1SettleMs = 2000;

// The current link's watch. The exclusive side is taken by a link's begin and end, the shared
// side by whoever takes the current watch and by an attach while it publishes: an end waits for
// a publish under way, and no publish follows it.
SRWLOCK g_watchLock = SRWLOCK_INIT;
// Replaced on the simulator's thread only, under the exclusive side; read by other threads under
// the shared side.
std::shared_ptr<LinkWatch> g_current;

// Of the ATC program, not of a link: the hints panel gathers the keys again after every tick that
// finds the program away, so the import's notices (modal boxes) would come every four seconds.
// They are shown once while the program stays away and once while it stays connected, whatever
// links come and go meanwhile; cleared when the tick sees the program come or go.
// LastTickConnected is the tick's own (ticks never overlap).
std::atomic<int> ImportNoticeGiven{0};
int LastTickConnected = -1;

void HealIpcLink(LinkWatch& watch) {
    {
        IpcSession session;
        if (!IpcServerGone()) return;
        // Held and open: only a window not there yet refuses it; the next tick tries again.
        if (!IpcReattach().ok()) {
            if (!watch.serverWindowLost.exchange(1))
                LogLine("the IPC server's window is gone; hot keys wait until the server is back");
            return;
        }
    }
    watch.serverWindowLost = 0;
    LogLine("the IPC server has a new window; the link goes on with it");
    PrepareServerIdentity();
}

void SendNotConnectedNotice() {
    // Once per absence of the program, even when an exchange failed (that is logged where it
    // failed): a notice sent on every tick while the server does not answer would hold each
    // tick for the exchange's time-outs.
    char text[128] = "QV3 not connected to XPlane";
    (void)IpcWrite(IpcOffset::MessageText, sizeof text, text);
    const uint16_t seconds = 5;
    (void)IpcWrite(IpcOffset::MessageTime, 2, &seconds);
}

}  // namespace

std::shared_ptr<LinkWatch> BeginLinkWatch() {
    auto watch = std::make_shared<LinkWatch>();
    AcquireSRWLockExclusive(&g_watchLock);
    g_current = watch;
    SetLinkUp(true);
    ReleaseSRWLockExclusive(&g_watchLock);
    return watch;
}

void EndLinkWatch(const std::shared_ptr<LinkWatch>& watch) {
    if (!watch) return;
    // An attach publishing now finishes first.
    AcquireServingMessages(&g_watchLock);
    watch->ended = true;
    if (g_current == watch) {
        g_current.reset();
        SetLinkUp(false);
    }
    ClearHotkeyTable();  // after the last attach of the ended link published
    ReleaseSRWLockExclusive(&g_watchLock);
}

std::shared_ptr<LinkWatch> CurrentLinkWatch() {
    AcquireSRWLockShared(&g_watchLock);
    std::shared_ptr<LinkWatch> watch = g_current;
    ReleaseSRWLockShared(&g_watchLock);
    return watch;
}

bool AtcAttachedNow() {
    // The current watch is replaced only on this thread: read in place, without the lock or a
    // counted copy (the hints panel asks on every frame).
    const LinkWatch* watch = g_current.get();
    return watch && watch->attached.load() == 1;
}

void NoteGroundState(bool onGround) {
    if (const std::shared_ptr<LinkWatch> watch = CurrentLinkWatch()) watch->onGround = onGround ? 1 : 0;
}

void SetMonitorTickListBuilt(void (*listBuilt)()) { g_listBuilt = listBuilt; }

namespace {

// The attach of the link whose watch this is: an attach handed off before a link's end and made
// after it, or whose import waited for the pilot (its notice box) while the link ended and
// perhaps began again, publishes nothing: what it read belongs to a link that is gone.
void AttachFor(LinkWatch& watch) {
    // Once per connection, whichever of the timer and the hints window gets here first.
    if (watch.attached.exchange(1) == 1) return;
    RestartAtcTextSearch();
    // Built aside and published whole: the simulator's thread reads it meanwhile.
    AtcKeys keys = CurrentAtcKeys();
    ReadAtcHotkeys(&keys, ImportNoticeGiven.exchange(1) == 0);
    AcquireSRWLockShared(&g_watchLock);
    const bool current = !watch.ended;
    if (current) {
        PublishAtcKeys(keys);
        if (FrequencyTableHasEntry()) BuildOptionList();
    }
    ReleaseSRWLockShared(&g_watchLock);
    if (current) LookForAtcTextSource();
}

}  // namespace

void AttachToAtc() {
    // Nothing is attached while no link is up.
    if (const std::shared_ptr<LinkWatch> watch = CurrentLinkWatch()) AttachFor(*watch);
}

namespace {

void RunMonitorTick() {
    BackgroundWork work;
    if (!work.Admitted()) return;
    TriedLock lock(&MonitorTimerLock);
    if (!lock.Held()) return;  // the previous tick still runs
    bool connected = AtcProgramConnected();
    // Held to the tick's end: a stop waits for the tick before it ends the link.
    const std::shared_ptr<LinkWatch> watch = CurrentLinkWatch();
    const bool linked = watch != nullptr;
    // The first tick knows of no earlier state: a notice given before it belongs to the state
    // it finds.
    if (LastTickConnected >= 0 && (connected ? 1 : 0) != LastTickConnected) ImportNoticeGiven = 0;
    LastTickConnected = connected ? 1 : 0;
    if (linked) HealIpcLink(*watch);
    if (connected && linked) {
        // The hints window may have attached before the program connected, when it had no
        // text to be found by yet: search on while connected until the source is known.
        if (!watch->attached.load()) AttachFor(*watch);
        else KeepLookingForAtcTextSource();
        watch->notConnectedNoticeShown = 0;
        UpdateSimulatorData();
        if (PluginOptions.EnableKeyboardHints) {
            // COM1 is read once (and once more after the settling wait): the channel remembered
            // is the one the list was built for, not a later sample's.
            int com1 = SampledCom1();
            int khz = SampledCom1Khz();
            if (com1 != LastCom1Frequency()) {
                Sleep(kCom1SettleMs);
                const int settled = SampledCom1();
                khz = SampledCom1Khz();
                if (settled == com1) {
                    SetLastCom1Frequency(com1);
                    RefreshAirportRadios(nullptr);
                }
                if (FrequencyTableHasEntry()) BuildOptionList();
            } else {
                int ground = SampledOnGround();
                const bool channelMoved = khz != watch->lastTickCom1Khz;
                if (ground != watch->onGround.load() || channelMoved) {
                    watch->onGround = ground;
                    if (FrequencyTableHasEntry()) BuildOptionList();
                    if (g_listBuilt) g_listBuilt();
                }
            }
            watch->lastTickCom1Khz = khz;
        }
    }
    if (connected && !linked) {
        CloseAtcProgram();
        ForgetAtcTextSource();
    }
    if (!connected) {
        if (linked) watch->attached = 0;
        ClearOptionList();
        if (linked) {
            ClearServerHotkeys();
            ClearHotkeyTable();
            if (!watch->notConnectedNoticeShown.exchange(1)) SendNotConnectedNotice();
        }
        SetEmergencyMode(false);
    }
}

}  // namespace

VOID CALLBACK MonitorTick(PVOID, BOOLEAN) {
    GuardedWorker("MonitorTick", 0, [] {
        RunMonitorTick();
        return 0;
    });
}

bool CreateMonitorTimer() {
    if (MonitorTimer) return true;
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, nullptr, MonitorTick, nullptr, 10000, 4000, WT_EXECUTEDEFAULT)) return false;
    MonitorTimer = timer;
    return true;
}

void ResetMonitorState() {
    DeleteMonitorTimer();
    // No tick runs any more; a scan or refresh still running would go on with the state below.
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;
    AcquireSRWLockExclusive(&g_watchLock);
    g_current.reset();
    ReleaseSRWLockExclusive(&g_watchLock);
    ImportNoticeGiven = 0;
    LastTickConnected = -1;
    ResetAtcTextSource();
}

void DeleteMonitorTimer() {
    if (!MonitorTimer) return;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!done) {
        DeleteTimerQueueTimer(nullptr, MonitorTimer, INVALID_HANDLE_VALUE);
        MonitorTimer = nullptr;
        return;
    }
    // Fails with ERROR_IO_PENDING while a tick runs; the timer is deleted all the same and the
    // event is set once that tick has returned.
    DeleteTimerQueueTimer(nullptr, MonitorTimer, done);
    MonitorTimer = nullptr;
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (MsgWaitForMultipleObjects(1, &done, FALSE, 2, QS_SENDMESSAGE) == WAIT_OBJECT_0) break;
    }
    CloseHandle(done);
}
