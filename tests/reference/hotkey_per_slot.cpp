#include <cstring>

#include "config/hotkeys.h"
#include "reference.h"
#include "simlink/ipc_client.h"
#include "ui/hints_text.h"
#include "ui/key_watcher.h"

int ReportHotkeyPressPerSlot(uint8_t keyChar, int flags) {
    int exchanges = 0;
    int slot = -1;
    uint8_t bytes[kHotkeySlotBytes] = {};
    for (int n = 0; n < kHotkeySlotCount && slot < 0; ++n) {
        uint8_t read[kHotkeySlotBytes] = {};
        IpcSession session;
        if (!IpcQueueRead(HotkeySlotOffset(n), kHotkeySlotBytes, read).ok()) continue;
        ++exchanges;
        if (!IpcProcess().ok()) continue;
        if (SlotMatches(read, keyChar, flags)) {
            slot = n;
            memcpy(bytes, read, sizeof bytes);
        }
    }
    if (slot < 0) return exchanges;
    NoteMatchedHotkey(keyChar);
    const uint8_t one = 1;
    if (IpcWrite(IpcOffset::HotkeyPressed, 1, &one).ok()) ++exchanges;
    const uint32_t value = PressedSlotValue(bytes[0], bytes[1]);
    if (IpcWrite(HotkeySlotOffset(slot), 4, &value).ok()) ++exchanges;
    return exchanges;
}
