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
std::atomic<int> g_onGround{0};
}  // namespace

const std::atomic<int>& OnGround = g_onGround;

void NoteGroundState(bool onGround) { g_onGround = onGround ? 1 : 0; }
std::atomic<int> AtcAttached{0};
void (*MonitorTickListBuilt)() = nullptr;

namespace {

// Created and deleted on the simulator's thread only.
HANDLE MonitorTimer = nullptr;
// The "not connected" notice went to the server since the program was last seen connected.
std::atomic<int> NotConnectedNoticeShown{0};

constexpr DWORD kCom1SettleMs = 2000;
// COM1's exact channel (kHz) when the tick last looked: two 8.33 kHz channels in one 10 kHz step
// (132.830, 132.835) are one value for the settle rule, but another service. The tick's own.
int LastTickCom1Khz = 0;

// The hints panel gathers the keys again after every tick that finds the program away, so the
// import's notices (modal boxes) would come every four seconds: they are shown once while the
// program stays away and once while it stays connected. Cleared when the tick sees the program
// come or go; LastTickConnected is the tick's own (ticks never overlap).
std::atomic<int> ImportNoticeGiven{0};
int LastTickConnected = -1;

// A server plug-in disabled and enabled again destroys its window and makes a new one: the open
// link then takes the new window and writes the identity again, as a link start would.
std::atomic<int> ServerWindowLost{0};

// The link an attach belongs to, counted up by each stop: an attach publishes (keys, option list)
// only under the shared side and while its link is the current one; the stop counts up and empties
// the hot-key table under the exclusive side, so no attach publishes for a link that stopped.
SRWLOCK AttachLinkLock = SRWLOCK_INIT;
unsigned AttachLinkNumber = 0;

void HealIpcLink() {
    {
        IpcSession session;
        if (!IpcServerGone()) return;
        // Held and open: only a window not there yet refuses it; the next tick tries again.
        if (!IpcReattach().ok()) {
            if (!ServerWindowLost.exchange(1))
                LogLine("the IPC server's window is gone; hot keys wait until the server is back");
            return;
        }
    }
    ServerWindowLost = 0;
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

void AttachToAtc() {
    // Once per connection, whichever of the timer and the hints window gets here first.
    if (AtcAttached.exchange(1) == 1) return;
    AcquireSRWLockShared(&AttachLinkLock);
    const unsigned link = AttachLinkNumber;
    const bool linked = LinkActive.load() == 1;
    ReleaseSRWLockShared(&AttachLinkLock);
    // Nothing is attached while the link is down: an attach handed off before a link stop and
    // made after it must not pass for the next link's (whose keys may have changed meanwhile).
    if (!linked) {
        AtcAttached = 0;
        return;
    }
    RestartAtcTextSearch();
    // Built aside and published whole: the simulator's thread reads it meanwhile.
    AtcKeys keys = CurrentAtcKeys();
    ReadAtcHotkeys(&keys, ImportNoticeGiven.exchange(1) == 0);
    // The import may have waited for the pilot (its notice box) while the link stopped, and
    // perhaps started again: what it read belongs to a link that is gone and goes nowhere.
    AcquireSRWLockShared(&AttachLinkLock);
    const bool current = AttachLinkNumber == link && LinkActive.load() == 1;
    if (current) {
        PublishAtcKeys(keys);
        if (FrequencyTableHasEntry()) BuildOptionList();
    }
    ReleaseSRWLockShared(&AttachLinkLock);
    if (current) LookForAtcTextSource();
}

namespace {

void RunMonitorTick() {
    BackgroundWork work;
    if (!work.Admitted()) return;
    TriedLock lock(&MonitorTimerLock);
    if (!lock.Held()) return;  // the previous tick still runs
    bool connected = AtcProgramConnected();
    bool linked = LinkActive.load() == 1;
    // The first tick knows of no earlier state: a notice given before it belongs to the state
    // it finds.
    if (LastTickConnected >= 0 && (connected ? 1 : 0) != LastTickConnected) ImportNoticeGiven = 0;
    LastTickConnected = connected ? 1 : 0;
    if (linked) HealIpcLink();
    if (connected && linked) {
        // The hints window may have attached before the program connected, when it had no
        // text to be found by yet: search on while connected until the source is known.
        if (!AtcAttached.load()) AttachToAtc();
        else KeepLookingForAtcTextSource();
        NotConnectedNoticeShown = 0;
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
                const bool channelMoved = khz != LastTickCom1Khz;
                if (ground != OnGround.load() || channelMoved) {
                    g_onGround = ground;
                    if (FrequencyTableHasEntry()) BuildOptionList();
                    if (MonitorTickListBuilt) MonitorTickListBuilt();
                }
            }
            LastTickCom1Khz = khz;
        }
    }
    if (connected && !linked) {
        CloseAtcProgram();
        ForgetAtcTextSource();
        AtcAttached = 0;
    }
    if (!connected) {
        AtcAttached = 0;
        ClearOptionList();
        if (linked) {
            ClearServerHotkeys();
            ClearHotkeyTable();
            if (!NotConnectedNoticeShown.exchange(1)) SendNotConnectedNotice();
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

void MonitorLinkStopped() {
    // An attach publishing now finishes first.
    AcquireServingMessages(&AttachLinkLock);
    ++AttachLinkNumber;
    ClearHotkeyTable();  // after the last attach of the stopped link published
    ReleaseSRWLockExclusive(&AttachLinkLock);
    AtcAttached = 0;
    ServerWindowLost = 0;
}

void ResetMonitorState() {
    DeleteMonitorTimer();
    // No tick runs any more; a scan or refresh still running would go on with the state below.
    if (!DURAR_CHECK(BackgroundWorkRunning(), ==, 0)) return;
    g_onGround = 0;
    AtcAttached = 0;
    NotConnectedNoticeShown = 0;
    ImportNoticeGiven = 0;
    LastTickConnected = -1;
    LastTickCom1Khz = 0;
    ServerWindowLost = 0;
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
