// Starting and stopping the link, and the first flight loop after enabling.
#include "shell/link.h"

#include <cstring>
#include <string>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "airport/radio_refresh.h"
#include "base/deferred_work.h"
#include "base/guard.h"
#include "base/locks.h"
#include "base/plugin_state.h"
#include "bridge/atc_window.h"
#include "bridge/monitor.h"
#include "bridge/option_list.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "shell/link_object.h"
#include "shell/message_window.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"
#include "simlink/ipc_server.h"
#include "simlink/native_atc.h"
#include "ui/hints_window.h"
#include "ui/plugin_menu.h"
#include "ui/settings_window.h"

namespace {

// Only the simulator's thread reads and writes these two (entry points and flight loops).
// The first flight loop has run since the plug-in was last enabled.
int FirstFlightLoopDone = 0;
// The first flight loop is registered and has not run yet.
int FirstFlightLoopPending = 0;

struct CriticalSectionGuard {
    explicit CriticalSectionGuard(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~CriticalSectionGuard() { LeaveCriticalSection(cs_); }
    CRITICAL_SECTION* cs_;
};

// A loaded plug-in at path other than this one, else XPLM_NO_PLUGIN_ID.
XPLMPluginID OtherPluginAt(const std::string& path) {
    XPLMPluginID id = path.empty() ? XPLM_NO_PLUGIN_ID : XPLMFindPluginByPath(path.c_str());
    return id == XPLMGetMyID() ? XPLM_NO_PLUGIN_ID : id;
}

XPLMPluginID FindIpcServer() {
    for (int place = 0; place < kIpcServerPlaces; ++place) {
        std::string path = IpcServerPluginPath(place);
        XPLMPluginID id = OtherPluginAt(path);
        if (id != XPLM_NO_PLUGIN_ID) {
            RememberIpcServerPath(path);
            return id;
        }
    }
    // Another FSUIPC server plug-in at a path of its own: the loaded plug-in whose module owns
    // a serving window of this process (a library that is no plug-in may own one too).
    for (const std::string& path : IpcServerWindowModulePaths()) {
        XPLMPluginID id = OtherPluginAt(path);
        if (id == XPLM_NO_PLUGIN_ID) continue;
        if (RememberedIpcServerPath() != path) LogLine("the IPC server is the plug-in at %s", path.c_str());
        RememberIpcServerPath(path);
        return id;
    }
    // A server disabled now (its window gone) is still loaded, and still the server: the link's
    // open finds no window of it and refuses, as at the usual places. Known as the one found
    // before, else as the plug-in whose module has the serving window's class registered.
    XPLMPluginID id = OtherPluginAt(RememberedIpcServerPath());
    if (id != XPLM_NO_PLUGIN_ID) return id;
    for (int n = 0, count = XPLMCountPlugins(); n < count; ++n) {
        XPLMPluginID plugin = XPLMGetNthPlugin(n);
        char path[512] = "";
        if (plugin == XPLMGetMyID()) continue;
        XPLMGetPluginInfo(plugin, nullptr, path, nullptr, nullptr);
        HMODULE module = nullptr;
        WNDCLASSEXA cls = {};
        cls.cbSize = sizeof cls;
        if (path[0] && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path, &module) &&
            GetClassInfoExA(module, "UIPCMAIN", &cls)) {
            RememberIpcServerPath(path);
            return plugin;
        }
    }
    return XPLM_NO_PLUGIN_ID;
}

void StopSibling() {
    XPLMPluginID sibling = XPLMFindPluginBySignature("ndvq.RX9toXplane");
    if (sibling != XPLM_NO_PLUGIN_ID && XPLMIsPluginEnabled(sibling))
        XPLMSendMessageToPlugin(sibling, MsgStopLink, nullptr);
}

// "Disable native ATC": the simulator's private kill_atc, which no published list promises, and
// X-Plane 12's published switches for its own ATC (ATIS, auto-tune, the COM receivers), each where
// it exists. Where neither can be written, the log says so at the link's start.
void SwitchOffNativeAtc() {
    const DatarefHandle& killAtc = Datarefs.killAtc;
    const int held = QuietNativeAtc();
    if (killAtc.writable) WriteDataref(killAtc, 1.0);
    else if (held > 0)
        LogLine("DisableNativeAtc: no writable kill_atc; %d of the simulator's published ATC switches are held", held);
    else if (!killAtc)
        LogLine("DisableNativeAtc: sim/private/controls/perf/kill_atc is missing; the simulator's own ATC stays on");
    else
        LogLine("DisableNativeAtc: sim/private/controls/perf/kill_atc is read-only; the simulator's own ATC stays on");
}

void SaveWindowOptions() {
    WriteOptionInt("WindowPosition", PluginOptions.WindowPosition);
    WriteOptionInt("AutoStart", PluginOptions.AutoStart);
    WriteOptionInt("DisableNativeAtc", PluginOptions.DisableNativeAtc);
    WriteOptionFlag("EnableKeyboardHints", PluginOptions.EnableKeyboardHints);
    if (XPLMWindowID hints = HintsWindowNow()) {
        int left = 0, top = 0, right = 0, bottom = 0;
        XPLMGetWindowGeometry(hints, &left, &top, &right, &bottom);
        WriteOptionInt("HintLeftPos", left);
        WriteOptionInt("HintTopPos", top);
    }
}

// The link while it is up; made by StartLink, ended by StopLink. The simulator's thread only.
// A plain pointer, so no destructor of ours runs at the library's unload (under the loader's
// lock, the simulator's functions perhaps gone): the link ends at the stop or the disable.
Link* CurrentLink = nullptr;

void EndCurrentLink() {
    delete CurrentLink;  // its parts end, the last made first
    CurrentLink = nullptr;
}

}  // namespace

bool FirstFlightLoopHasRun() { return FirstFlightLoopDone != 0; }

void ForgetFirstFlightLoop() { FirstFlightLoopDone = 0; }

void ResetLinkState() {
    EndCurrentLink();
    FirstFlightLoopDone = 0;
    FirstFlightLoopPending = 0;
    ResetPluginState();
}

void StartDeferredWork() {
    if (!DeferredWork.Start()) LogLine("the deferred-work thread could not be started");
}

void ScheduleFirstFlightLoop() {
    if (FirstFlightLoopPending) return;
    XPLMRegisterFlightLoopCallback(FirstFlightLoop, 8.0f, nullptr);
    FirstFlightLoopPending = 1;
}

void CancelFirstFlightLoop() {
    XPLMUnregisterFlightLoopCallback(FirstFlightLoop, nullptr);
    FirstFlightLoopPending = 0;
}

float FirstFlightLoop(float, float, int, void*) {
    return Guarded("FirstFlightLoop", 0.0f, [] {
        FirstFlightLoopPending = 0;
        FirstFlightLoopDone = 1;
        FindFlightLoopDatarefs();
        // Worker threads use what the simulator's thread samples; keep it current.
        SampleSimulator();
        XPLMRegisterFlightLoopCallback(SampleFlightLoop, 1.0f, nullptr);
        LoadOptions();
        // A link the pilot started before this loop ran without the options: with "Disable
        // native ATC" on, it is silenced now, as a start would have done.
        if (LinkIsUp() && PluginOptions.DisableNativeAtc) SwitchOffNativeAtc();
        if (PluginOptions.AutoStart) {
            if (SiblingAutostartEnabled()) {
                std::string path = SimulatorPath("\\Resources\\Plugins\\DURarURavud\\DURarURavud.cfg");
                FlushOptionWrites();
                if (!path.empty()) WritePrivateProfileStringA("OPTIONS", "AutoStart", "0", path.c_str());
                PluginOptions.AutoStart = 0;
                MessageBoxA(nullptr,
                            "The autostart feature for this plugin has been disabled\nbecause the other plugin "
                            "RX9toXplane is also set to autostart\nPlease enable it manually via the X-Plane plugins "
                            "menu.",
                            "DURarUravud", MB_OK | MB_ICONINFORMATION);
            } else if (!CurrentLink && StartLink()) {
                MenuAfterLinkStarted();
            }
        }
        if (!CreateMonitorTimer()) MessageBoxA(nullptr, "Couldn't create timer", "DURarURavud", MB_OK | MB_ICONWARNING);
        StartDeferredWork();
        SetLastCom1Frequency(0);
        if (!QueueRadioRefresh()) LogLine("the radio refresh could not be queued");
        return 0.0f;
    });
}

bool StartLink() {
    return Guarded("StartLink", false, [] {
        CriticalSectionGuard lock(&StartLinkLock);
        if (CurrentLink) return true;  // up already: nothing of it is made twice
        if (FindIpcServer() == XPLM_NO_PLUGIN_ID) {
            LogLine("link not started: the IPC server plug-in (XPUIPC) is not loaded");
            ShowMessage(LinkMessage::XpuipcMissing);
            return false;
        }
        StopSibling();
        if (AtcProgramConnected()) {
            LogLine("link not started: the ATC program was already connected to the simulator; it was told to close");
            CloseAtcProgram();
            return false;
        }
        CurrentLink = Link::Make().release();
        if (!CurrentLink) return false;
        FindPositionDatarefs();
        UpdateSimulatorData();
        if (PluginOptions.DisableReminder == 0 && !AtcProgramConnected()) ShowMessage(LinkMessage::RelocationReminder);
        NoteGroundState(ReadDataref(Datarefs.onGround) > 0);
        if (XPLMWindowID hints = HintsWindowNow())
            XPLMSetWindowIsVisible(hints, PluginOptions.EnableKeyboardHints ? 1 : 0);
        if (PluginOptions.DisableNativeAtc) SwitchOffNativeAtc();
        // A link started again from the menu gets the same monitoring as the first one. Before
        // the first flight loop has run, that loop makes the timer; a stop may have cancelled it.
        if (!FirstFlightLoopDone) ScheduleFirstFlightLoop();
        else if (!CreateMonitorTimer()) LogLine("the monitor timer could not be created");
        if (FirstFlightLoopDone) StartDeferredWork();
        return true;
    });
}

bool StopLink() {
    GuardedVoid("StopLink", [] {
        if (CurrentLink) {
            CancelFirstFlightLoop();
            // No tick runs past here: the link's end is not seen half made by one.
            DeleteMonitorTimer();
            CloseAboutWindow();
            CloseSettingsWindow();
            CloseMessageWindow();
            SaveWindowOptions();  // the hints panel's place, while the panel is there
            EndCurrentLink();
            SetEmergencyMode(false);
            WriteDataref(Datarefs.killAtc, 0.0);
        }
        // Whatever ended the link (the pilot, a disable, the quit), 12's switches go back as found.
        RestoreNativeAtc();
        if (AtcProgramConnected()) {
            HWND form = FindAtcMainForm(6);
            if (form) PostMessageA(form, WM_CLOSE, 0, 0);
        }
    });
    return true;
}

void MenuAfterLinkStarted() {
    XPLMEnableMenuItem(PluginMenu(), MenuEnable, 0);
    XPLMEnableMenuItem(PluginMenu(), MenuDisable, 1);
    XPLMCheckMenuItem(PluginMenu(), MenuKeyboardHints,
                      PluginOptions.EnableKeyboardHints ? xplm_Menu_Checked : xplm_Menu_Unchecked);
}

void MenuAfterLinkStopped() {
    XPLMEnableMenuItem(PluginMenu(), MenuEnable, 1);
    XPLMEnableMenuItem(PluginMenu(), MenuDisable, 0);
}
