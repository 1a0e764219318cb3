#pragma once
// The plug-in's options, kept in "DURarUravud.cfg" in its plug-in folder.
#include <string>

struct OptionRecord {
    int WindowPosition = 1;  // ATC text corner: 1 top left, 2 top right, 3 bottom right, 4 bottom left
    int AutoStart = 0;
    int ShowFrequencies = 0;
    int DisableNativeAtc = 0;
    int BoostQVEProcessPriority = 0;
    int EnableKeyboardHints = 0;
    int DisableReminder = 0;  // kept as read
    int FlightPlanningOnline = 1;
    char FlightPlanningTarget[256] = "";
    float TitleColour[3] = {0.3f, 0.9f, 0.9f};
    float OptionsColour[3] = {1.0f, 0.0f, 0.0f};
    float HintsColour[3] = {0.6f, 0.6f, 0.6f};
};

// Read at the first flight loop, changed by the settings, message and hints windows and the menu,
// all on the simulator's thread; the drawing interception reads its colours every frame, the
// tick reads EnableKeyboardHints and BoostQVEProcessPriority (single ints, set whole).
extern OptionRecord PluginOptions;
// The options and the colour dialog's memory back to their values at load; writes still waiting
// for the file are made first, and the file is otherwise untouched.
// Only while no worker runs.
void ResetOptions();

// The simulator's folder (of the host process's executable), without a trailing backslash;
// empty when it cannot be had within a 260-character path.
std::string SimulatorFolder();
// SimulatorFolder() + tail, or empty when that would not fit a 260-character path.
std::string SimulatorPath(const char* tail);
// "...\Resources\plugins\DURarUravud\DURarUravud.cfg" under the simulator folder.
std::string ConfigFilePath();

// Reads the whole file into PluginOptions.
void LoadOptions();
// The system colour dialog for colour 0 (Title), 1 (Options) or 2 (KeyboardHints); 1 when a
// colour was chosen and stored, 0 when the dialog was cancelled.
int ChooseColour(int which);
// The sibling plug-in "RX9toXplane" will start its link by itself.
bool SiblingAutostartEnabled();

// Single keys of section OPTIONS. Writes (these and ChooseColour's) go to the file on the
// deferred-work thread when it runs, else at once; every read of the file here flushes them
// first, and so must any other reader or direct writer of the file.
// thread: any; the writes are queued for the deferred-work thread.
int ReadOptionInt(const char* key, int fallback);
void WriteOptionInt(const char* key, int value);   // signed decimal
void WriteOptionFlag(const char* key, int on);     // "1" or "0"
void WriteOptionText(const char* key, const char* value);
// Writes what waits into the file now, on the calling thread; after the deferred-work thread
// has stopped, so that nothing is lost at unload.
void FlushOptionWrites();
