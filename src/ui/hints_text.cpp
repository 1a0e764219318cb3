#include "ui/hints_text.h"

#include <cstdio>
#include <cstring>

#include "bridge/option_text.h"
#include "config/key_chars.h"

namespace {

void Append(char* line, size_t size, const char* text) {
    size_t used = strlen(line);
    if (used + 1 >= size) return;
    strncat(line, text, size - used - 1);
}

}  // namespace


void AppendFrequency(int type, float frequency, bool onGround, char line[kFrequencyLineSize]) {
    const bool groundOnly = type == FrequencyGround || type == FrequencyApproach || type == FrequencyDeparture ||
                            type == FrequencyCenter;
    char item[48] = "\t";
    // A channel off the 25 kHz raster exists only in 8.33 kHz spacing and is named to the kHz
    // (121.805): two decimals would name another channel (121.81).
    const int khz = ChannelKhz(frequency);
    const bool eightThreeThree = khz > 0 && khz % 25 != 0;
    if (type >= 1 && type <= 12 && (onGround || !groundOnly))
        snprintf(item, sizeof item, eightThreeThree ? "%s=%.3f\t" : "%s=%.2f\t", FrequencyTypeLabel(type),
                 (double)frequency);
    Append(line, kFrequencyLineSize, item);
}

int FrequencyLines(const FrequencyEntry* frequencies, bool onGround,
                   char lines[kMaxFrequencyLines][kFrequencyLineSize]) {
    int line = 0;
    lines[0][0] = 0;
    int column = 0;
    for (int i = 0; i < kFrequencyTableSize && frequencies[i].Frequency > 0; ++i) {
        if (column == 3 || column == 6 || column == 9) {
            ++line;
            lines[line][0] = 0;
        }
        AppendFrequency(frequencies[i].Type, frequencies[i].Frequency, onGround, lines[line]);
        ++column;
    }
    return column == 0 ? 0 : line + 1;
}

int HintsBoxBottom(int top, bool showFrequencies, bool listReady, int optionCount) {
    if (showFrequencies) return listReady ? top - 100 - 18 * optionCount : top - 120;
    return listReady ? top - 40 - 18 * optionCount : top - 60;
}

bool IsWatchedKey(uint8_t keyChar, const char* hotkeyKeys) {
    if (keyChar == 0 || !hotkeyKeys) return false;
    for (int i = 0; i < kAtcHotkeyCount && hotkeyKeys[i]; ++i)
        if ((uint8_t)hotkeyKeys[i] == keyChar) return true;
    return false;
}

bool IsReportedEvent(uint8_t keyChar, int flags) { return (flags & 8) != 0 || keyChar == '0'; }

bool SlotMatches(const uint8_t slot[kHotkeySlotBytes], uint8_t keyChar, int flags) {
    if (keyChar == 0 || slot[0] == 0 || KeyCharOfSlotKey(slot[0]) != keyChar) return false;
    const bool shift = (flags & 1) != 0, ctrl = (flags & 4) != 0;
    const uint8_t m = slot[1];
    const bool wantShift = (m & 1) != 0, wantCtrl = (m & 2) != 0;
    if (wantShift && wantCtrl) return shift && ctrl;
    if (wantShift) return shift;
    if (wantCtrl) return ctrl;
    return !shift && !ctrl;
}

int FirstMatchingSlot(const uint8_t* slots, uint8_t keyChar, int flags) {
    for (int n = 0; n < kHotkeySlotCount; ++n)
        if (SlotMatches(slots + kHotkeySlotBytes * n, keyChar, flags)) return n;
    return -1;
}

uint32_t PressedSlotValue(uint8_t registeredKey, uint8_t modifiers) {
    return (uint32_t)registeredKey | (uint32_t)modifiers << 8 | 1u << 24;
}
