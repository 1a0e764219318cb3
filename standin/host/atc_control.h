#pragma once
// Scenario commands that drive the stand-in ATC program QV3.exe (a separate process).
#include <string>
#include <vector>

// words[0] == "atc":
//   atc start [FOLDER] [caption TEXT] [poll MS|off]   copy QV3.exe from Resources\test-programs\QV3
//                                                     into FOLDER (default ATC\QV3) and start it
//   atc connect | disconnect | poll | state | presses | hotkeys | weather
//   atc say TEXT [SECONDS]       a message to the server (display time default 8 s)
//   atc caption TEXT             the main form's caption
//   atc button normal|enabled|disabled|wrong-caption|right-caption|grandchild|direct
//   atc close                    WM_CLOSE, as the plug-in posts it; waits for the exit
//   atc stop                     ends the program
//   atc wait-exit [MS]           waits (default 5 s) for the program to end by itself, for
//                                example after the plug-in closed it; the same line whether it
//                                ended before or during the wait
//   atc revive                   starts it again as last started, unless it runs
// Observations go through Out(). While an order waits for the program, the host runs one frame
// each time a message sent by another thread waits for the main thread, so the program's
// exchanges with the IPC server (a window of the main thread) are served; afterwards it tops up
// to one frame per exchange of the order. An order thus advances the simulated clock by its
// exchanges times the frame period (connect 3, disconnect/say/poll/weather 1-2, the rest 0),
// unless the program's own poll timer or another thread's exchanges add frames. False with *error for bad words, a program
// that is not running, or one that does not answer in time (10 s).
bool AtcCommand(const std::vector<std::string>& words, std::string* error);

// Ends a running QV3.exe; the host calls it when the scenario ends, so nothing outlives a run.
void AtcShutdown();
