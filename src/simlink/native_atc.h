#pragma once
// X-Plane 12's own ATC, quietened while the link runs with "Disable native ATC" on.
//
// 12 has no kill_atc; it publishes writable switches instead: ATIS on or off, its radio auto-tune
// (which would retune COM1 under the ATC program's instructions), and "a plug-in receives voice
// on COM1/COM2". Each that exists is set while the link runs and given back afterwards exactly
// as it was found, so no preference of the pilot's is overwritten for good. Simulator's thread
// only, as every dataref access.

// Remembers the values found and sets ours (ATIS off, auto-tune overridden, both COM receivers
// taken). While quiet it does nothing: a second call must not take our own values for the
// pilot's. Gives how many switches are held (0: the simulator has none that can be written).
int QuietNativeAtc();
// Writes back the values found by the last QuietNativeAtc; nothing when not quiet.
void RestoreNativeAtc();
bool NativeAtcQuiet();
// Forgets the values without writing them (a reset of the dataref handles).
void ForgetNativeAtc();
