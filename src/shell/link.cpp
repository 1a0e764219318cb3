// Starting and stopping the link, and the first flight loop after enabling.
#include <climits>
#include <cstring>
#include <string>

#include "XPLMDataAccess.h"
#include "XPLMDisplay.h"
#include "XPLMMenus.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "bridge/atc_text.h"
#include "bridge/atc_window.h"
#include "bridge/intercept.h"
#include "bridge/monitor.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "shell/deferred_work.h"
#include "shell/fs98_window.h"
#include "shell/guard.h"
#include "shell/message_window.h"
#include "shell/plugin.h"
#include "simlink/data_feed.h"
#include "simlink/datarefs.h"
#include "simlink/ipc_client.h"
#include "ui/hints_window.h"
#include "ui/settings_window.h"

namespace {

constexpr int kSimulatorCode = 8;
constexpr uint32_t kServerVersion = 0x49290000;

struct CriticalSectionGuard {
    explicit CriticalSectionGuard(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~CriticalSectionGuard() { LeaveCriticalSection(cs_); }
    CRITICAL_SECTION* cs_;
};

XPLMPluginID FindIpcServer() {
    std::string first = SimulatorPath(Is64BitProcess ? "\\Resources\\plugins\\XPUIPC\\64\\win.xpl"
                                                     : "\\Resources\\plugins\\XPUIPC\\32\\win.xpl");
    XPLMPluginID id = first.empty() ? XPLM_NO_PLUGIN_ID : XPLMFindPluginByPath(first.c_str());
    if (id != XPLM_NO_PLUGIN_ID) return id;
    std::string second = SimulatorPath("\\Resources\\plugins\\XPUIPC+\\win_x64\\XPUIPC+.xpl");
    return second.empty() ? XPLM_NO_PLUGIN_ID : XPLMFindPluginByPath(second.c_str());
}

void StopSibling() {
    XPLMPluginID sibling = XPLMFindPluginBySignature("ndvq.RX9toXplane");
    if (sibling != XPLM_NO_PLUGIN_ID && XPLMIsPluginEnabled(sibling))
        XPLMSendMessageToPlugin(sibling, MsgStopLink, nullptr);
}

void CreateHintsWindow() {
    if (HintsWindow) return;
    int left = ReadOptionInt("HintLeftPos", 0);
    int top = ReadOptionInt("HintTopPos", 768);
    // A stored position whose box would not fit the int range is damage, not a place.
    if (left > INT_MAX - 220 || top < INT_MIN + 250) {
        left = 0;
        top = 768;
    }
    HintsWindow = XPLMCreateWindow(left, top, left + 220, top - 250, 0, DrawHints, HintsKeyHandler, HintsMouseClick,
                                   OptionListText);
    if (HintsWindow) {
        if (PluginOptions.EnableKeyboardHints) XPLMSetWindowIsVisible(HintsWindow, 1);
    } else {
        ShowMessage(LinkMessage::HintsWindowFailed);
    }
}

// Reads a value of the server's identity; writes `wanted` when it differs. A failed read skips
// the step.
template <typename T>
void EnsureIdentity(uint32_t offset, T wanted) {
    T value = 0;
    if (!IpcRead(offset, sizeof value, &value) || value == wanted) return;
    IpcWrite(offset, sizeof wanted, &wanted);
}

void PrepareServer() {
    PrepareServerIdentity();
    ClearServerHotkeys();
}

void SaveWindowOptions() {
    WriteOptionInt("WindowPosition", PluginOptions.WindowPosition);
    WriteOptionInt("AutoStart", PluginOptions.AutoStart);
    WriteOptionInt("DisableNativeAtc", PluginOptions.DisableNativeAtc);
    WriteOptionFlag("EnableKeyboardHints", PluginOptions.EnableKeyboardHints);
    if (HintsWindow) {
        int left = 0, top = 0, right = 0, bottom = 0;
        XPLMGetWindowGeometry(HintsWindow, &left, &top, &right, &bottom);
        WriteOptionInt("HintLeftPos", left);
        WriteOptionInt("HintTopPos", top);
    }
}

}  // namespace

void PrepareServerIdentity() {
    if ((IpcLink.simulatorCode & 0xFFFF) != kSimulatorCode) {
        const uint16_t code = kSimulatorCode;
        IpcWrite(IpcOffset::SimulatorCode, 2, &code);
    }
    EnsureIdentity<uint32_t>(IpcOffset::ServerVersion, kServerVersion);
    EnsureIdentity<uint16_t>(IpcOffset::ClientVersion, kIdentityMarker);
    EnsureIdentity<uint16_t>(IpcOffset::Identity04D6, kIdentityMarker);
    EnsureIdentity<uint32_t>(IpcOffset::HotkeySlotCount, kHotkeySlotCount);
}

void ClearServerHotkeys() {
    // The 56 writes go as one batch: the same stores as a write per slot, in one exchange
    // instead of 56 (each a wait for the simulator's frame when sent from the timer thread).
    const uint32_t zero = 0;
    IpcSession session;
    uint32_t result = 0;
    int queued = 0;
    for (int n = 0; n < kHotkeySlotCount; ++n)
        if (IpcQueueWrite(HotkeySlotOffset(n), 4, &zero, &result)) ++queued;
    // Rides along while the ATC program is away: its next open looks for the marker.
    if (queued && IpcQueueIdentityMarker(&result)) ++queued;
    if (queued) IpcProcess(&result);
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
            } else if (LinkActive.load() == 0 && StartLink()) {
                MenuAfterLinkStarted();
            }
        }
        if (!CreateMonitorTimer()) MessageBoxA(nullptr, "Couldn't create timer", "DURarURavud", MB_OK | MB_ICONWARNING);
        StartDeferredWork();
        LastCom1Frequency = 0;
        if (!QueueRadioRefresh()) LogLine("the radio refresh could not be queued");
        return 0.0f;
    });
}

bool StartLink() {
    return Guarded("StartLink", false, [] {
        CriticalSectionGuard lock(&StartLinkLock);
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
        InstallHooks();
        CreateFs98MainWindow();
        CreateHintsWindow();
        {
            IpcSession session;
            uint32_t result = 0;
            if (!IpcOpen(&result)) {
                LogLine("the IPC server did not accept the link (code %u)", result);
                return false;
            }
        }
        PrepareServer();
        XPLMRegisterKeySniffer(HintsKeySniffer, 1, nullptr);
        if (AtcTextWindow)
            XPLMSetWindowGeometry(AtcTextWindow, AtcTextRect.left, AtcTextRect.top, AtcTextRect.right,
                                  AtcTextRect.bottom);
        LinkActive = 1;
        FindPositionDatarefs();
        UpdateSimulatorData();
        if (PluginOptions.DisableReminder == 0 && !AtcProgramConnected()) ShowMessage(LinkMessage::RelocationReminder);
        OnGround = ReadDataref(Datarefs.onGround) > 0 ? 1 : 0;
        if (HintsWindow) XPLMSetWindowIsVisible(HintsWindow, PluginOptions.EnableKeyboardHints ? 1 : 0);
        if (PluginOptions.DisableNativeAtc) WriteDataref(Datarefs.killAtc, 1.0);
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
        if (LinkActive.load() == 1) {
            CancelFirstFlightLoop();
            DeleteMonitorTimer();
            XPLMUnregisterKeySniffer(HintsKeySniffer, 1, nullptr);
            ClearHotkeyTable();
            ClearServerHotkeys();
            LinkActive = 0;
            RemoveHooks();
            {
                IpcSession session;
                IpcClose();
            }
            if (AtcTextWindow) {
                int width = 0, height = 0;
                XPLMGetScreenSize(&width, &height);
                XPLMSetWindowGeometry(AtcTextWindow, 1, height - 20, width, height - 40);
            }
            // With the hooks off we no longer see the strip destroyed: the handle may die any
            // time now. The next link catches the strip again when the server creates it.
            AtcTextWindow = nullptr;
            DestroyFs98MainWindow();
            CloseAboutWindow();
            CloseSettingsWindow();
            CloseMessageWindow();
            SaveWindowOptions();
            if (HintsWindow) {
                XPLMSetWindowIsVisible(HintsWindow, 0);
                XPLMDestroyWindow(HintsWindow);
                HintsWindow = nullptr;
            }
            EmergencyMode = 0;
            WriteDataref(Datarefs.killAtc, 0.0);
        }
        if (AtcProgramConnected()) {
            HWND form = FindAtcMainForm(6);
            if (form) PostMessageA(form, WM_CLOSE, 0, 0);
        }
    });
    return true;
}

void MenuAfterLinkStarted() {
    XPLMEnableMenuItem(PluginMenu, MenuEnable, 0);
    XPLMEnableMenuItem(PluginMenu, MenuDisable, 1);
    XPLMCheckMenuItem(PluginMenu, MenuKeyboardHints,
                      PluginOptions.EnableKeyboardHints ? xplm_Menu_Checked : xplm_Menu_Unchecked);
}

void MenuAfterLinkStopped() {
    XPLMEnableMenuItem(PluginMenu, MenuEnable, 1);
    XPLMEnableMenuItem(PluginMenu, MenuDisable, 0);
}
