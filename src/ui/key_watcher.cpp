#include "ui/key_watcher.h"

#include <cstring>

#include "airport/airport_data.h"
#include "base/deferred_work.h"
#include "base/guard.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "config/hotkeys.h"
#include "config/key_chars.h"
#include "simlink/data_feed.h"
#include "simlink/ipc_client.h"
#include "ui/hints_window.h"

namespace {

std::atomic<int> LastKeyPressExchanges{0};

constexpr uint8_t kTabKey = 0x09;
constexpr int kUpFlag = 16;

// 1 at 0x32FE, then the slot with its pressed byte set: one batch. The slot keeps the key code the
// ATC program registered (for punctuation that is not the key character it matched), so the
// program finds its own registration with the press flag, as from any other server. Inside the
// press's session. Either write goes without the other when only one was queued.
IpcStatus WritePress(int slot, uint8_t registeredKey, uint8_t modifiers) {
    const uint8_t one = 1;
    const uint32_t value = PressedSlotValue(registeredKey, modifiers);
    const IpcStatus flag = IpcQueueWrite(IpcOffset::HotkeyPressed, 1, &one);
    const IpcStatus slotValue = IpcQueueWrite(HotkeySlotOffset(slot), 4, &value);
    if (!flag.ok() && !slotValue.ok()) return slotValue;
    return IpcProcess();
}

// Presses waiting for the deferred-work thread, in the order the pilot made them. Two IPC
// exchanges cost the simulator's thread 0.4 to 0.8 ms when made from the sniffer (more under
// load); from the deferred-work thread the simulator's thread only serves them in its next pump.
struct PendingPress {
    uint8_t keyChar;
    int flags;
    HotkeyReporter report;
};
constexpr int kPendingPressCapacity = 16;
SRWLOCK PendingPressLock = SRWLOCK_INIT;
PendingPress PendingPresses[kPendingPressCapacity];
int PendingPressHead = 0, PendingPressCount = 0;

// Held by whichever thread reports presses, from taking a press until its report is done: the
// simulator's thread reporting presses itself (a full queue, the link's stop) first waits for the
// one the deferred-work thread has in hand, so presses reach the server one at a time and in the
// pilot's order. Taken before the IPC session, never the other way round. The simulator's thread
// serves messages while it waits and while its report waits for the server; one that brings a key
// or a stop back here on that thread is refused (Held() false) rather than waiting for itself.
OwnedLock PressReportLock;

struct PressReporting {
    PressReporting() : held_(PressReportLock.Acquire()) {}
    ~PressReporting() {
        if (held_) PressReportLock.Release();
    }
    bool Held() const { return held_; }
    PressReporting(const PressReporting&) = delete;
    PressReporting& operator=(const PressReporting&) = delete;

private:
    bool held_;
};

bool TakePendingPress(PendingPress* press) {
    AcquireSRWLockExclusive(&PendingPressLock);
    const bool taken = PendingPressCount > 0;
    if (taken) {
        *press = PendingPresses[PendingPressHead];
        PendingPressHead = (PendingPressHead + 1) % kPendingPressCapacity;
        --PendingPressCount;
    }
    ReleaseSRWLockExclusive(&PendingPressLock);
    return taken;
}

bool AddPendingPress(const PendingPress& press) {
    AcquireSRWLockExclusive(&PendingPressLock);
    const bool added = PendingPressCount < kPendingPressCapacity;
    if (added) {
        PendingPresses[(PendingPressHead + PendingPressCount) % kPendingPressCapacity] = press;
        ++PendingPressCount;
    }
    ReleaseSRWLockExclusive(&PendingPressLock);
    return added;
}

// Under PressReportLock.
void ReportPendingPresses() {
    PendingPress press;
    while (TakePendingPress(&press)) LastKeyPressExchanges = press.report(press.keyChar, press.flags);
}

void ReportPress(uint8_t keyChar, int flags, HotkeyReporter report) {
    const bool handOff = DeferredWork.Running();
    // The emergency key's list is built there from the sample: make it this frame's.
    if (handOff) SampleCom1AndGround();
    if (handOff && AddPendingPress({keyChar, flags, report})) {
        // Not taken (the worker is stopping): made here, nothing is lost.
        if (!DeferredWork.Queue(ReportWaitingPresses)) ReportWaitingPresses();
        return;
    }
    PressReporting reporting;  // waits for the press the deferred-work thread has in hand
    if (!reporting.Held()) {
        // This thread is in the middle of a report: the press waits, and that report makes it
        // after the one in hand.
        if (!AddPendingPress({keyChar, flags, report}))
            LogLine("a hot-key press came in the middle of a report with %d waiting; it was dropped",
                    kPendingPressCapacity);
        return;
    }
    // The earlier presses first, the one in hand among them, so the ATC program gets them in
    // the pilot's order; then those that came in through messages served during the report.
    ReportPendingPresses();  // the earlier ones
    LastKeyPressExchanges = report(keyChar, flags);
    ReportPendingPresses();  // those that came in meanwhile
}

}  // namespace

void ReportWaitingPresses() {
    PressReporting reporting;  // the same for the link's stop
    // Refused in the middle of this thread's own report, which makes the waiting presses itself.
    if (reporting.Held()) ReportPendingPresses();
}

int LastKeyPressExchangeCount() { return LastKeyPressExchanges.load(); }

void ResetKeyWatcher() {
    LastKeyPressExchanges = 0;
    AcquireSRWLockExclusive(&PendingPressLock);
    PendingPressHead = PendingPressCount = 0;
    ReleaseSRWLockExclusive(&PendingPressLock);
}

void NoteMatchedHotkey(uint8_t keyChar) {
    // The emergency key switches the list to the emergency answers (undone at once on the ground
    // by the rebuild it starts).
    const int emergencyKey = CurrentAtcKeys().emergencyKey;
    if (emergencyKey == 0 || keyChar != (uint8_t)emergencyKey) return;
    SetEmergencyMode(true);
    if (FrequencyTableHasEntry()) BuildOptionList();
}

int ReportHotkeyPress(uint8_t keyChar, int flags) {
    uint8_t slots[kHotkeySlotCount * kHotkeySlotBytes] = {};
    // The slots read and the press written in one session: nothing else reaches the server in
    // between (a tick's clearing of the slots, another press).
    IpcSession session;
    // A failed read matches nothing.
    if (!IpcQueueRead(IpcOffset::HotkeySlots, sizeof slots, slots).ok()) return 0;
    if (!IpcProcess().ok()) return 1;
    const int slot = FirstMatchingSlot(slots, keyChar, flags);
    if (slot < 0) return 1;
    NoteMatchedHotkey(keyChar);
    // Not sent again when it fails: a failed exchange is logged where it failed, and the pilot
    // presses once more, as for a press the program missed.
    (void)WritePress(slot, slots[slot * kHotkeySlotBytes], slots[slot * kHotkeySlotBytes + 1]);
    return 2;
}

void WatchKey(uint8_t simulatorKey, int flags, HotkeyReporter report) {
    LastKeyPressExchanges = 0;
    if (!LinkIsUp()) return;
    if (simulatorKey == kTabKey) {
        // On release only, whatever the modifiers; holding TAB does nothing more.
        if (flags & kUpFlag) ToggleKeyboardHints();
        return;
    }
    const uint8_t keyChar = KeyCharOfSimulatorKey(simulatorKey);
    if (!IsWatchedKey(keyChar, CurrentAtcKeys().keys)) return;
    if (!IsReportedEvent(keyChar, flags)) return;
    ReportPress(keyChar, flags, report);
}

int HintsKeySniffer(char, XPLMKeyFlags flags, char virtualKey, void*) {
    // Every key also goes on to the simulator.
    return Guarded("HintsKeySniffer", 1, [&] {
        WatchKey((uint8_t)virtualKey, (int)flags, ReportHotkeyPress);
        return 1;
    });
}
