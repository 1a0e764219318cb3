#pragma once
// Test-equipment interface of the stand-in XPLM_64.dll: what the stand-in host and the stand-in
// XPWidgets_64.dll use to drive and observe the simulated simulator. A real simulator has none of
// this; the plug-in never uses it.
#include "sim_frame.h"

#if defined(XPLM_STANDIN_BUILD)
#define SIM_API __declspec(dllexport)
#else
#define SIM_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Lines of observation (events) go to this sink, one NUL-terminated line per call, without a
// line break. The host prints them. Only called on the simulator's main thread.
typedef void (*SimEventSink)(const char* line);

// Makes the calling thread the simulator's main thread and resets the world.
SIM_API void SIM_Init(SimEventSink sink);

// Event tracing switches: "flightloops", "draw", "keys", "messages", "commands", "log", "windows".
SIM_API void SIM_Trace(const char* what, int on);
// Emits an event line through the sink (used by the stand-in DLLs and by the host).
SIM_API void SIM_Event(const char* line);

// ---- plug-ins
// Registers an already loaded plug-in module (path = full path of its file) and calls its
// XPluginStart. Gives its plug-in id, or -1 when the module lacks an entry point or refused
// to load (XPluginStart gave 0); a refused plug-in is forgotten.
SIM_API int SIM_StartPlugin(const char* path, void* module);
SIM_API int SIM_EnablePlugin(int id);   // XPluginEnable; gives its result
SIM_API void SIM_DisablePlugin(int id); // XPluginDisable, when enabled
SIM_API void SIM_StopPlugin(int id);    // disables if needed, XPluginStop, forgets the plug-in
SIM_API int SIM_PluginCount(void);
SIM_API int SIM_PluginIdAt(int index);
// Sends a message as the simulator would (sender 0); id -1 sends to every enabled plug-in.
SIM_API void SIM_SendMessage(int id, int message, void* param);

// ---- time and frames
// One frame: advance the clock by the frame period, run due flight loops, draw visible windows
// (front last), then pump the main thread's Win32 messages once.
SIM_API void SIM_RunFrames(int count);
SIM_API void SIM_RunSeconds(double seconds); // frames until the clock has advanced that far
SIM_API double SIM_Now(void);                // simulated seconds since SIM_Init
SIM_API void SIM_SetFramePeriod(double seconds);
SIM_API void SIM_SetScreenSize(int width, int height);
// Called on the main thread after every frame (the host runs its simulated timers there).
typedef void (*SimFrameHook)(void);
SIM_API void SIM_SetFrameHook(SimFrameHook hook);
// Benchmarks: with 0, XPLMDrawString only counts as an API call and records nothing.
SIM_API void SIM_SetDrawRecording(int on);

// ---- datarefs
// A dataref has the set of types the simulator publishes for it (xplmType_ bits ORed); plug-ins
// read and write it only through the accessors of that set. New datarefs are writable.
// Creates or retypes a scalar dataref (Int, Float, Double or several; none given: Float) and sets
// its value.
SIM_API void SIM_SetDataref(const char* name, int types, double value);
// Creates or retypes an array dataref (IntArray, FloatArray or both; none given: FloatArray) of
// count items.
SIM_API void SIM_SetDatarefArray(const char* name, int types, const double* values, int count);
// Creates or retypes a byte dataref (Data) of length bytes.
SIM_API void SIM_SetDatarefBytes(const char* name, const void* bytes, int length);
// Makes a dataref read-only (0) or writable for plug-ins; the SIM_ setters always write.
SIM_API void SIM_SetDatarefWritable(const char* name, int writable);
SIM_API int SIM_DatarefWritable(const char* name);  // 1 or 0; -1 when unknown
// Gives the dataref's type set (0 when unknown) and its scalar value through *value.
SIM_API int SIM_GetDataref(const char* name, double* value);
// Give the array's item count or the byte length (-1 when unknown) and copy up to max of them.
SIM_API int SIM_GetDatarefArray(const char* name, double* values, int max);
SIM_API int SIM_GetDatarefBytes(const char* name, void* bytes, int max);
SIM_API void SIM_RemoveDataref(const char* name);
// The simulator's version as XPLMGetVersions gives it (11550 for 11.55, 12100 for 12.1; 11550 until
// set), and the datarefs of that version's published list (Resources\stand-in\DataRefs-N.txt):
// made with their types and writability, values kept where a dataref exists. Gives 0 with a text
// in error when the version has no list.
SIM_API int SIM_SetSimulatorVersion(int version, char* error, int errorSize);
SIM_API int SIM_SimulatorVersion(void);

// ---- input
// A key event as the simulator delivers it: key sniffers (before windows), the window with
// keyboard focus, hot keys (whose flags name this stroke, press or release), sniffers after windows.
SIM_API void SIM_Key(char key, int flags, char virtualKey);
// A mouse event (xplm_MouseDown / Drag / Up) at screen coordinates. Down goes to the front-most
// visible window under the point; drag and up go to the window that took the down.
// Gives 1 when a window took the event.
SIM_API int SIM_Mouse(int x, int y, int status);
// The same with the right button (a modern window's right-click handler) and, with headset set,
// among the windows the headset shows (in VR) instead of the desktop's.
SIM_API int SIM_MouseEx(int x, int y, int status, int rightButton, int headset);
// The wheel (0 vertical, 1 horizontal) turned by clicks over the front-most window that takes it.
SIM_API int SIM_Wheel(int x, int y, int wheel, int clicks, int headset);
// The cursor the windows under the point ask for (XPLMCursorStatus; 0 leaves it to the simulator).
SIM_API int SIM_Cursor(int x, int y, int headset);

// ---- VR (11.20 and later)
// Turns the headset on or off as the simulator does: XPLM_MSG_ENTERED_VR / XPLM_MSG_EXITING_VR to
// every plug-in right before the change, then sim/graphics/VR/enabled; on the way out, windows
// still in VR go back to the desktop. Gives 0 with a reason before 11.20; nothing happens when the
// headset is already in that state.
SIM_API int SIM_SetVr(int on, char* error, int errorSize);
SIM_API int SIM_VrOn(void);
// The items the headset showed in the last completed frame: the windows in VR only.
SIM_API int SIM_HeadsetItemCount(void);
SIM_API const SimDrawItem* SIM_HeadsetItem(int index);

// ---- menus and commands
// Picks a menu item by its path of item texts separated by '|', starting below the simulator's
// menu bar, e.g. "Plugins|QVE to X-Plane|Enable". Gives 1 when the item was found (the handler
// runs only when the item is enabled).
SIM_API int SIM_PickMenuItem(const char* path);
// Gives the item's state: bit 0 enabled, bits 1-2 check state; -1 when not found.
SIM_API int SIM_MenuItemState(const char* path);
// Makes a simulator command exist (built-in commands are "sim/operation/toggle_full_screen").
SIM_API void SIM_DefineCommand(const char* name);
SIM_API void SIM_RemoveCommand(const char* name);
SIM_API int SIM_CommandRunCount(const char* name);

// ---- observation
// Writes a stable text description of "plugins", "menus", "windows", "flightloops", "hotkeys",
// "sniffers", "datarefs", "commands", "frame" or "headset" into buf (NUL-terminated, cut to size).
// Gives the full length the text needs.
SIM_API int SIM_Describe(const char* what, char* buf, int size);
// "frame-cost" describes, per plug-in, the main-thread time of its code per frame since
// SIM_FrameCost(1): median, 99th percentile and largest frame, and what the worst frame spent.
// The items drawn during the last completed frame.
SIM_API int SIM_FrameItemCount(void);
SIM_API const SimDrawItem* SIM_FrameItem(int index);
// Simulator-API calls made from threads other than the main thread, and the first such call.
// From version 12400 on the first such call ends the process instead, as the simulator does: it
// writes "Threading violation calling FUNCTION" and "Violation by NAME (SIGNATURE)" (the plug-in
// whose module made the call) to Log.txt, gives the two lines to the crash hook, then terminates
// the process with exit code 3.
SIM_API int SIM_OffThreadCalls(void);
SIM_API const char* SIM_FirstOffThreadCall(void);
typedef void (*SimCrashHook)(const char* lines);
SIM_API void SIM_SetCrashHook(SimCrashHook hook);
// Calls made on the main thread while no plug-in callback runs (a window or timer procedure run
// by the message pump, a modal loop), and the first one with the module that made it.
SIM_API int SIM_BypassCalls(void);
SIM_API const char* SIM_FirstBypassCall(void);
// Warnings: window calls on a window another plug-in made, and calls made from a module other
// than the plug-in whose callback runs, each counted once per calling module and other plug-in
// (how often, and with which functions, can depend on thread timing). SIM_Describe("callers")
// lists all three by function and module with how often each was made.
SIM_API int SIM_ForeignWindowCalls(void);
SIM_API int SIM_CallerNotRunningCalls(void);
// Runs host-side test equipment that calls into a plug-in (its control command) as that plug-in's
// callback. Pairs up.
SIM_API void SIM_EnterPlugin(int id);
SIM_API void SIM_LeavePlugin(void);
// Calls the real simulator would punish: a destroyed or unknown window, widget, menu, flight-loop,
// command or dataref handle, a dataref read or written with an accessor its type does not allow.
SIM_API int SIM_Misuses(void);
SIM_API const char* SIM_FirstMisuse(void);
SIM_API void SIM_Misuse(const char* what);
// Screen geometry of a stand-in window (index as in "windows"); 0 when there is none.
SIM_API int SIM_WindowInfo(int index, int* left, int* top, int* right, int* bottom, int* visible);
SIM_API int SIM_WindowCount(void);

// Frame cost: 1 starts counting afresh, 0 stops.
SIM_API void SIM_FrameCost(int on);
// Plug-in code called outside the simulator API's own callbacks (widget callbacks, window
// procedures serving a plug-in thread's sent message): counted for the plug-in whose module holds
// code. Pairs up on the calling thread.
SIM_API void SIM_CostBegin(const void* code, const char* kind);
SIM_API void SIM_CostEnd(void);

// ---- for the stand-in XPWidgets_64.dll
// Records a widget item into the frame being drawn (window index filled in by the simulator).
SIM_API void SIM_RecordDraw(const SimDrawItem* item);
// Checks one simulator-API call as the XPLM functions check theirs; name = the API function's
// name, caller = the return address into the code that called it.
SIM_API void SIM_CountApiCall(const char* name);
SIM_API void SIM_CountApiCallFrom(const char* name, const void* caller);
// A drawing function of the widget library: gives 0 (draw nothing) outside a draw callback, where
// it is a misuse.
SIM_API int SIM_DrawingCall(const char* name);
// Id of the plug-in whose code is running now (as XPLMGetMyID).
SIM_API int SIM_CurrentPlugin(void);

// ---- the rest of the simulator API
// The user picked another view: a plug-in holding the camera until the view changes loses it.
SIM_API void SIM_ViewChanged(void);

#ifdef __cplusplus
}
#endif
