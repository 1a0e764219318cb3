// Prints METRIC lines for the keyboard hints:
// - a matching hot-key press from the key sniffer's entry to its return: IPC exchanges and median
//   time, with the plug-in's one slot read and one press batch, and with the plain way (one read
//   request per slot, then two single writes) measured alternately in the same run. The server
//   window lives on the calling thread, as the IPC server's window lives on the simulator's thread.
//   The key is the ATC program's last registered one (Hotkey21 in slot 20 of 21 in use).
// - a whole press (down and up) while the server's window is gone, against the same press with
//   the window there.
// - the panel's draw per frame with the longest list (14 options) and 16 frequencies, against a
//   baseline that makes the same drawing calls with ready-made text.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "XPLMDefs.h"
#include "XPLMDisplay.h"
#include "XPLMGraphics.h"
#include "airport/airport_data.h"
#include "base/log.h"
#include "base/plugin_state.h"
#include "bridge/monitor.h"
#include "common/sim_control.h"
#include "config/options.h"
#include "fake_server.h"
#include "reference.h"
#include "simlink/data_feed.h"
#include "simlink/ipc_client.h"
#include "ui/hints_window.h"
#include "ui/key_watcher.h"

namespace {

using Clock = std::chrono::steady_clock;

double Us(Clock::time_point start) { return std::chrono::duration<double, std::micro>(Clock::now() - start).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void DefaultHotkeys(FakeServer& server) {
    const char later[] = "AERWVCYNDHL";
    AtcKeys keys;
    for (int i = 0; i < kAtcHotkeyCount; ++i) {
        keys.table[i] = i < 10 ? HotkeyEntry{0, (uint8_t)('0' + i)} : HotkeyEntry{3, (uint8_t)later[i - 10]};
        keys.keys[i] = (char)keys.table[i].key;
        // The ATC program registers its keys in the first free slots, in order.
        server.SetSlot(i, keys.table[i].key | (uint32_t)keys.table[i].modifiers << 8);
    }
    keys.emergencyKey = 'E';
    PublishAtcKeys(keys);
}

// The drawing calls of one frame of the panel, with their text made beforehand.
struct Call {
    bool box;
    int l, t, r, b;
    std::string text;
};

std::vector<Call> RecordedFrame() {
    std::vector<Call> calls;
    for (int i = 0; i < SIM_FrameItemCount(); ++i) {
        const SimDrawItem* d = SIM_FrameItem(i);
        calls.push_back({d->kind == SimDraw_DarkBox, d->left, d->top, d->right, d->bottom, d->text});
    }
    return calls;
}

// One round of the panel's draw and of the same drawing calls made plainly, inside a window's
// draw callback: the only place the simulator lets anyone draw.
struct Rounds {
    const std::vector<Call>* frame = nullptr;
    std::vector<double> draw, baseline;
};
Rounds g_rounds;

void MeasureRound(XPLMWindowID, void*) {
    float rgb[3] = {0.6f, 0.6f, 0.6f};
    Clock::time_point start = Clock::now();
    for (int i = 0; i < 10; ++i) DrawHints(HintsWindowNow(), nullptr);
    g_rounds.draw.push_back(Us(start) / 10);
    start = Clock::now();
    for (int i = 0; i < 10; ++i)
        for (const Call& c : *g_rounds.frame) {
            if (c.box) XPLMDrawTranslucentDarkBox(c.l, c.t, c.r, c.b);
            else XPLMDrawString(rgb, c.l, c.t, const_cast<char*>(c.text.c_str()), nullptr, xplmFont_Basic);
        }
    g_rounds.baseline.push_back(Us(start) / 10);
}

}  // namespace

int main() {
    SIM_Init(nullptr);
    RememberSimulatorThread();
    FakeServer server("UIPCMAIN", true);
    const uint32_t version = 0x49290000;
    const uint16_t code = 8;
    server.Write(0x3304, &version, 4);
    server.Write(0x3308, &code, 2);
    {
        IpcSession session;
        const IpcStatus opened = IpcOpen();
        if (!opened.ok()) {
            printf("hints_bench: the IPC link did not open (code %u)\n", (unsigned)opened.code);
            return 1;
        }
    }
    const auto watch = BeginLinkWatch();
    watch->attached = 1;
    DefaultHotkeys(server);

    // ---- one key press
    const int flags = xplm_DownFlag | xplm_ShiftFlag | xplm_ControlFlag;
    const char key = XPLM_VK_L;  // Hotkey21, Ctrl+Shift+L, slot 20
    std::vector<double> product, reference;
    int exchanges = 0, referenceExchanges = 0;
    for (int round = 0; round < 3000; ++round) {
        Clock::time_point start = Clock::now();
        HintsKeySniffer(0, flags, key, nullptr);
        product.push_back(Us(start));
        exchanges = LastKeyPressExchangeCount();
        start = Clock::now();
        WatchKey((uint8_t)key, flags, ReportHotkeyPressPerSlot);
        reference.push_back(Us(start));
        referenceExchanges = LastKeyPressExchangeCount();
    }
    const uint32_t pressed = server.Slot(20);
    printf("hints_bench: %zu presses each way; slot 20 after them 0x%08X; %d batches served\n", product.size(),
           pressed, server.Batches());
    const double us = Median(product), referenceUs = Median(reference);
    printf("METRIC key_press_exchanges %d exchanges\n", exchanges);
    printf("METRIC key_press_reference_exchanges %d exchanges\n", referenceExchanges);
    printf("METRIC key_press_us %.2f us\n", us);
    printf("METRIC key_press_reference_us %.2f us\n", referenceUs);
    printf("METRIC key_press_speedup %.2f ratio\n", us > 0 ? referenceUs / us : 0);

    // ---- a whole press (down and up) with the server's window there, then gone (its plug-in
    // disabled): the simulator's thread must not wait on a window that cannot answer.
    const int upFlags = xplm_UpFlag | xplm_ShiftFlag | xplm_ControlFlag;
    std::vector<double> present, gone;
    for (int round = 0; round < 1000; ++round) {
        Clock::time_point start = Clock::now();
        HintsKeySniffer(0, flags, key, nullptr);
        HintsKeySniffer(0, upFlags, key, nullptr);
        present.push_back(Us(start));
    }
    server.Vanish();
    for (int round = 0; round < 1000; ++round) {
        Clock::time_point start = Clock::now();
        HintsKeySniffer(0, flags, key, nullptr);
        HintsKeySniffer(0, upFlags, key, nullptr);
        gone.push_back(Us(start));
    }
    const double presentUs = Median(present), goneUs = Median(gone);
    printf("METRIC key_press_server_present_us %.2f us\n", presentUs);
    printf("METRIC key_press_server_gone_us %.2f us\n", goneUs);
    printf("METRIC key_press_server_gone_ratio %.3f ratio\n", presentUs > 0 ? goneUs / presentUs : 0);

    // ---- the panel's draw with a full list
    PluginOptions.EnableKeyboardHints = 1;
    PluginOptions.ShowFrequencies = 1;
    FrequencyEntry radios[kFrequencyTableSize];
    for (int i = 0; i < kFrequencyTableSize; ++i) radios[i] = {118.0f + 0.25f * i, 1 + i % 12};
    radios[5] = {119.9f, FrequencyTower};
    SetFrequencyTable(radios);
    SetSampledCom1(11990);  // tuned to the tower in the air: the landing list, the longest
    SetSampledOnGround(0);
    BuildOptionList();
    UseHintsWindow(XPLMCreateWindow(0, 768, 220, 518, 1, DrawHints, HintsKeyHandler, HintsMouseClick, nullptr));
    SIM_RunFrames(1);
    const std::vector<Call> frame = RecordedFrame();
    printf("hints_bench: %d options, %zu drawing calls a frame\n", CurrentOptionList().count, frame.size());
    // Measured by a window of its own, a round a frame: the panel is hidden, so it draws only there.
    XPLMSetWindowIsVisible(HintsWindowNow(), 0);
    g_rounds.frame = &frame;
    XPLMWindowID measuring = XPLMCreateWindow(0, 10, 10, 0, 1, MeasureRound, nullptr, nullptr, nullptr);
    for (int round = 0; round < 400; ++round) SIM_RunFrames(1);
    XPLMDestroyWindow(measuring);
    if (SIM_Misuses() != 0) {
        fprintf(stderr, "hints_bench: %s\n", SIM_FirstMisuse());
        return 1;
    }
    const double drawUs = Median(g_rounds.draw), baselineUs = Median(g_rounds.baseline);
    printf("METRIC draw_hints_us %.2f us\n", drawUs);
    printf("METRIC draw_hints_baseline_us %.2f us\n", baselineUs);
    printf("METRIC draw_hints_overhead %.2f ratio\n", baselineUs > 0 ? drawUs / baselineUs : 0);

    {
        IpcSession session;
        IpcClose();
    }
    EndLinkWatch(watch);
    return 0;
}
