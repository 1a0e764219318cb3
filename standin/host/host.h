#pragma once
// The stand-in simulator host: runs text scenarios against the plug-ins of its folder.
#include <windows.h>

#include <cstdio>

#include <string>
#include <vector>

// Output: every observation goes through here, is printed at once and kept for the
// expected-output comparison. Safe from any thread.
void Out(const std::string& line);
std::string Quote(const std::string& text);  // "text" with \n, \t, \" and \\ escaped
// The last lines of a run that ends abruptly (the simulator crashed): printed even when quiet;
// whatever comes after them is dropped, so the lines so far stay as they are.
void OutLast(const std::vector<std::string>& lines);
const std::vector<std::string>& OutputLines();
// While quiet, observations are dropped: long runs whose every line would be noise.
void SetQuiet(bool on);
// Handles, threads, global atoms, windows and committed memory of this process.
std::string DescribeProcess();
// The counts as they are now, and their change since then (memory left out: the heap's growth is
// not a count of things held).
void MarkProcess();
std::string DescribeProcessChange();

// Sends whatever the plug-ins (or anything else in the process) write to standard output and
// error into the file at path; observations and the host's messages keep the real streams.
bool SeparatePluginConsole(const std::string& path);
// The host's own error stream (the real standard error).
FILE* HostErr();
#define PLUGIN_CONSOLE_FILE "PluginConsole.txt"

// Folder of the running host executable, without a trailing backslash.
std::string HostFolder();

// ---- intercepted imports of the plug-ins (dialogs, version and token queries)
void PatchPluginImports(HMODULE module);
// Scenario answers and fakes; "what" and the arguments as written in the scenario.
bool ConfigureAnswer(const std::vector<std::string>& args, std::string* error);
bool ConfigureFake(const std::vector<std::string>& args, std::string* error);
// Modal Win32 boxes and dialogs shown while the headset was on: the pilot in it never sees them.
int VrHiddenBoxes();
std::string FirstVrHiddenBox();

// ---- messages the plug-ins' threads send to the main thread, counted in their frame cost
// Holds an SRW lock for a scope. The host's bookkeeping that the simulator's thread touches for
// every message it serves and every wake a plug-in gives uses these rather than std::mutex: a
// contended std::mutex waits through Wine's server, and the frame cost would count that wait for
// the plug-in.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK* lock) : lock_(lock) { AcquireSRWLockExclusive(lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK* lock_;
};

void WatchServedMessages();  // on the main thread, once
LRESULT WINAPI SimSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SimSendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                                      UINT timeout, PDWORD_PTR result);

// ---- the plug-ins' threads that sleep on condition variables between jobs
void WatchPluginSleepers();  // on the main thread, once
BOOL WINAPI SimSleepConditionVariableSRW(PCONDITION_VARIABLE cv, PSRWLOCK lock, DWORD ms, ULONG flags);
void WINAPI SimWakeConditionVariable(PCONDITION_VARIABLE cv);
void WINAPI SimWakeAllConditionVariable(PCONDITION_VARIABLE cv);
// Waits until each such thread sleeps again with no wake pending, or has ended; false after the
// time-out.
bool AwaitPluginSleepers(DWORD timeoutMs);

// ---- the simulator libraries' exports patched in place by a plug-in ("print hooks")
void RememberApiEntries();  // before the first plug-in loads; later calls keep the first copy
void DescribeApiPatches();

// ---- plug-ins found in Resources\plugins
struct LoadedPlugin {
    std::string path;
    HMODULE module;
    int id;  // -1 when it refused to load
};
void LoadPlugins();
const std::vector<LoadedPlugin>& Plugins();
int PluginIdByName(const std::string& nameOrSignature);  // -1 when none
// Runs a command of a stand-in plug-in's exported StandInControl; its reply text, or an error.
std::string ControlPlugin(const std::string& nameOrSignature, const std::string& command, std::string* error);

// ---- scenarios
int RunScenario(const std::string& scenarioPath, const std::string& pictureFolder);

// ---- instances: a fresh copy of the simulator folder for one run
int RunInInstance(const std::string& instanceFolder, int argc, char** argv);
