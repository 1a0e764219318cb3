// The link's parts, made by its start and ended by its stop or a refused start.
#include "shell/link_object.h"

#include <climits>

#include "XPLMDisplay.h"
#include "base/log.h"
#include "bridge/atc_text.h"
#include "bridge/intercept.h"
#include "config/hotkeys.h"
#include "config/options.h"
#include "shell/message_window.h"
#include "simlink/fs98_window.h"
#include "simlink/ipc_client.h"
#include "simlink/ipc_server.h"
#include "ui/hints_window.h"
#include "ui/key_watcher.h"

Link::Interceptions::Interceptions() {
    // The link goes on without what could not be intercepted (each is logged as it failed):
    // hot keys and the data feed need no interception.
    if (!InstallHooks()) {
        static bool told = false;
        if (!told) LogLine("the link runs without the interceptions that failed; the ATC text may stay unseen");
        told = true;
    }
}

Link::Interceptions::~Interceptions() {
    // A hook it must keep stays armed (logged once); the engine keeps this library for it.
    (void)RemoveHooks();
    // With the hooks off the strip's destruction is no longer seen: its handle may die any time
    // now. The next link catches the strip again when the server creates it.
    ForgetAtcStrip();
}

// The hidden window's procedure lives in this library, which may be unloaded once the plug-in is
// disabled: it never outlives the link.
Link::Fs98Window::Fs98Window() { CreateFs98MainWindow(); }
Link::Fs98Window::~Fs98Window() { DestroyFs98MainWindow(); }

Link::HintsPanel::HintsPanel() {
    int left = ReadOptionInt("HintLeftPos", 0);
    int top = ReadOptionInt("HintTopPos", 768);
    // A stored position whose box would not fit the int range is damage, not a place.
    if (left > INT_MAX - 220 || top < INT_MIN + 250) {
        left = 0;
        top = 768;
    }
    UseHintsWindow(XPLMCreateWindow(left, top, left + 220, top - 250, 0, DrawHints, HintsKeyHandler,
                                    HintsMouseClick, nullptr));
    if (XPLMWindowID window = HintsWindowNow()) {
        if (PluginOptions.EnableKeyboardHints) XPLMSetWindowIsVisible(window, 1);
    } else {
        ShowMessage(LinkMessage::HintsWindowFailed);
    }
}

Link::HintsPanel::~HintsPanel() {
    if (XPLMWindowID window = HintsWindowNow()) XPLMSetWindowIsVisible(window, 0);
    DestroyHintsWindow();
}

Link::IpcPart::~IpcPart() {
    IpcSession session;
    IpcClose();
}

Link::StripPlace::StripPlace() { MoveAtcStrip(); }

Link::StripPlace::~StripPlace() {
    if (!AtcTextWindow()) return;
    int width = 0, height = 0;
    XPLMGetScreenSize(&width, &height);
    ReturnAtcStripToServer(width, height);
}

Link::WatchPart::WatchPart() : watch(BeginLinkWatch()) {}
Link::WatchPart::~WatchPart() { EndLinkWatch(watch); }

Link::KeyWatch::KeyWatch() { XPLMRegisterKeySniffer(HintsKeySniffer, 1, nullptr); }

Link::KeyWatch::~KeyWatch() {
    XPLMUnregisterKeySniffer(HintsKeySniffer, 1, nullptr);
    // Presses caught before the sniffer went still reach the ATC program, while the link is up.
    ReportWaitingPresses();
    ClearServerHotkeys();
}

std::unique_ptr<Link> Link::Make() {
    std::unique_ptr<Link> link(new Link);
    link->hooks_.emplace();
    link->fs98_.emplace();
    link->hints_.emplace();
    IpcStatus opened;
    {
        IpcSession session;
        opened = IpcOpen();
    }
    if (!opened.ok()) {
        LogLine("the IPC server did not accept the link (code %u)", (unsigned)opened.code);
        return nullptr;  // the parts made so far end here, the last first
    }
    link->ipc_.emplace();
    PrepareServerIdentity();
    ClearServerHotkeys();
    link->strip_.emplace();
    link->watch_.emplace();
    link->keys_.emplace();
    return link;
}
