#include "ui/key_watcher.h"

#include <cstring>

#include "airport/airport_data.h"
#include "base/guard.h"
#include "base/plugin_state.h"
#include "config/hotkeys.h"
#include "config/key_chars.h"
#include "simlink/ipc_client.h"
#include "ui/hints_window.h"

namespace {

std::atomic<int> LastKeyPressExchanges{0};

constexpr uint8_t kTabKey = 0x09;
constexpr int kUpFlag = 16;

// 1 at 0x32FE, then the slot with its pressed byte set: one batch. The slot keeps the key code the
// ATC program registered (for punctuation that is not the key character it matched), so the
// program finds its own registration with the press flag, as from any other server.
bool WritePress(int slot, uint8_t registeredKey, uint8_t modifiers) {
    const uint8_t one = 1;
    const uint32_t value = PressedSlotValue(registeredKey, modifiers);
    IpcSession session;
    uint32_t result;
    bool queued = IpcQueueWrite(IpcOffset::HotkeyPressed, 1, &one, &result);
    queued = IpcQueueWrite(HotkeySlotOffset(slot), 4, &value, &result) || queued;
    return queued && IpcProcess(&result);
}

}  // namespace

int LastKeyPressExchangeCount() { return LastKeyPressExchanges.load(); }

void ResetKeyWatcher() { LastKeyPressExchanges = 0; }

void NoteMatchedHotkey(uint8_t keyChar) {
    // The emergency key switches the list to the emergency answers (undone at once on the ground
    // by the rebuild it starts).
    const int emergencyKey = CurrentAtcKeys().emergencyKey;
    if (emergencyKey == 0 || keyChar != (uint8_t)emergencyKey) return;
    EmergencyMode = 1;
    if (FrequencyTableHasEntry()) BuildOptionList();
}

int ReportHotkeyPress(uint8_t keyChar, int flags) {
    uint8_t slots[kHotkeySlotCount * kHotkeySlotBytes] = {};
    {
        IpcSession session;
        uint32_t result;
        // A failed read matches nothing.
        if (!IpcQueueRead(IpcOffset::HotkeySlots, sizeof slots, slots, &result)) return 0;
        if (!IpcProcess(&result)) return 1;
    }
    const int slot = FirstMatchingSlot(slots, keyChar, flags);
    if (slot < 0) return 1;
    NoteMatchedHotkey(keyChar);
    WritePress(slot, slots[slot * kHotkeySlotBytes], slots[slot * kHotkeySlotBytes + 1]);
    return 2;
}

void WatchKey(uint8_t simulatorKey, int flags, HotkeyReporter report) {
    LastKeyPressExchanges = 0;
    if (LinkActive.load() != 1) return;
    if (simulatorKey == kTabKey) {
        // On release only, whatever the modifiers; holding TAB does nothing more.
        if (flags & kUpFlag) ToggleKeyboardHints();
        return;
    }
    const uint8_t keyChar = KeyCharOfSimulatorKey(simulatorKey);
    if (!IsWatchedKey(keyChar, CurrentAtcKeys().keys)) return;
    if (!IsReportedEvent(keyChar, flags)) return;
    LastKeyPressExchanges = report(keyChar, flags);
}

int HintsKeySniffer(char, XPLMKeyFlags flags, char virtualKey, void*) {
    // Every key also goes on to the simulator.
    return Guarded("HintsKeySniffer", 1, [&] {
        WatchKey((uint8_t)virtualKey, (int)flags, ReportHotkeyPress);
        return 1;
    });
}
