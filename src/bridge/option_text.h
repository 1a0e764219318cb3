#pragma once
// The hints' option list: what the ATC program offers the pilot now, as text chosen from the
// radios, the ground state and the program's hot keys. Plain functions of their inputs, portable
// (no windows.h); the published list and its rebuilding are in option_list.*.
#include <cstdint>

#include "airport/airport_records.h"
#include "config/hotkeys.h"

constexpr int kOptionListSize = 700;
constexpr int kOptionTextWidth = 25;  // every option text is padded to this with underscores

// One whole list: entries "TEXT\tCS KEY*" one after the other, and their number.
struct OptionList {
    char text[kOptionListSize] = {};
    int count = 0;
};

// What the list is chosen from.
struct OptionInputs {
    int com1 = 0;             // "sim/cockpit/radios/com1_freq_hz": 10 kHz units
    bool onGround = false;
    bool emergency = false;   // EmergencyMode
    const FrequencyEntry* frequencies = nullptr;  // kFrequencyTableSize entries
    const HotkeyEntry* hotkeys = nullptr;         // kAtcHotkeyCount entries
    const char* hotkeyKeys = nullptr;             // kAtcHotkeyCount characters (0 allowed)
    int com1Khz = 0;  // COM1's exact 8.33 kHz channel in kHz where the simulator has it, else 0
};

// The phase code: the Type of the first of the 16 entries whose Frequency equals COM1 in MHz
// exactly; 5 on the ground and 10 in the air when none matches or its Type is 0.
int PhaseCode(int com1, const FrequencyEntry* frequencies, bool onGround);
// The same with COM1's exact channel in kHz when known (com1Khz > 0): an entry matches when its
// Frequency is that channel to the kHz, so 132.830 and 132.835 (both 13283 in 10 kHz units) each
// find their own service. With com1Khz 0, as above.
int PhaseCode(int com1, int com1Khz, const FrequencyEntry* frequencies, bool onGround);
// A table frequency in MHz as the channel's kHz (132.835 gives 132835); 0 for none or nonsense.
int ChannelKhz(float megahertz);
// Appends "TEXT\t" [C][S] " " LABEL "*" and counts it; an entry that would not fit with its
// terminator is left out.
void AppendOption(OptionList& list, const char* text, int hotkeyIndex, const HotkeyEntry* hotkeys,
                  const char* hotkeyKeys);
// The whole list for the inputs (the caller clears EmergencyMode on the ground: a list chosen
// on the ground is never the emergency list).
OptionList ChooseOptionList(const OptionInputs& in);

// The list counts as ready when its text is longer than 10 characters.
bool OptionListReady(const char* text);
