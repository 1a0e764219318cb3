#!/bin/bash
# Tests that catch what they claim: each line below puts one known single-line fault back into
# the plug-in, rebuilds, and expects the named tests to fail; the source is restored afterwards.
# A fault the suite does not catch, or a pattern that no longer matches exactly one line, fails
# the check. Needs a built tree (scripts/build.sh) and the Wine prefix (scripts/prepare.sh).
# Usage: check-mutants.sh   (about two minutes per fault)
set -u
cd "$(dirname "$0")/.."
# file | line pattern (exactly one match) | sed replacement of that line's text | ctest -R regex
mutants=(
  "src/shell/link_object.cpp|        return nullptr;  // the parts made so far end here|s#return nullptr;  // the parts made so far#(void)link.release(); return nullptr;  // left:#|^(unit_shell_tests|scenario_link_every_order)\$"
  "src/bridge/monitor.cpp|    ClearHotkeyTable();  // after the last attach|s#^    ClearHotkeyTable();#    /* table kept */#|^unit_shell_tests\$"
  "src/bridge/atc_text_layout.h|constexpr size_t kAtcMessageMinLength = 10;|s#kAtcMessageMinLength = 10;#kAtcMessageMinLength = 11;#|^unit_bridge_tests\$"
  "src/bridge/monitor.cpp|        watch->notConnectedNoticeShown = 0;|s#^        watch->notConnectedNoticeShown = 0;#        /* notice flag kept */#|^scenario_atc_not_connected_notice\$"
  "src/bridge/monitor.cpp|    auto watch = std::make_shared<LinkWatch>();|s#auto watch = std::make_shared<LinkWatch>();#static auto kept = std::make_shared<LinkWatch>(); auto watch = kept;#|^(scenario_link_restart_keys|scenario_link_server_gone_twice)\$"
  "src/ui/key_watcher.cpp|    IpcSession session;|s#^    IpcSession session;#    /* no session */#|^scenario_key_press_stress\$"
  "src/simlink/datarefs.cpp|    return simulatorVersion >= 12000 ? WeatherSource::Xp12 : WeatherSource::Legacy;|s#>= 12000#> 12000#|^unit_simlink_tests\$"
  "src/simlink/data_feed.cpp|    return std::isfinite(qnh) && qnh > 0.0 ? qnh : ReadDataref(d.barometer);|s#qnh > 0.0 ? qnh#qnh < 0.0 ? qnh#|^unit_simlink_tests\$"
  "src/shell/link.cpp|        RestoreNativeAtc();|s#RestoreNativeAtc();#/* switches kept */#|^scenario_native_atc_xp12\$"
  "src/shell/link_object.cpp|    (void)RemoveHooks();|s#(void)RemoveHooks();#/* hooks kept */#|^(scenario_link_refused_open|scenario_link_every_order)\$"
  "src/shell/link_object.cpp|    ForgetAtcStrip();|s#ForgetAtcStrip();#/* strip handle kept */#|^scenario_atc_strip_after_stop\$"
  "src/shell/link_object.cpp|Link::Fs98Window::~Fs98Window() { DestroyFs98MainWindow(); }|s#{ DestroyFs98MainWindow(); }#{}#|^scenario_link_every_order\$"
  "src/shell/link_object.cpp|    DestroyHintsWindow();|s#DestroyHintsWindow();#/* panel kept */#|^scenario_link_every_order\$"
  "src/shell/link_object.cpp|    XPLMUnregisterKeySniffer(HintsKeySniffer, 1, nullptr);|s#XPLMUnregisterKeySniffer(HintsKeySniffer, 1, nullptr);#/* sniffer kept */#|^scenario_link_every_order\$"
  "src/shell/link_object.cpp|    IpcClose();|s#IpcClose();#/* link kept open */#|^scenario_link_every_order\$"
  "src/bridge/monitor.cpp|    watch->ended = true;|s#watch->ended = true;#/* not ended */#|^unit_shell_tests\$"
  "src/hook/function_body.cpp|2 * ((codes + 1) & ~1u)|s#2 \* ((codes + 1) & ~1u)#2 * codes#|^hook_decoder\$"
  "src/hook/function_body.cpp|    lastEnd = e.end;|s#^    lastEnd = e.end;#    lastEnd = 0;#|^hook_decoder\$"
  "src/hook/function_body.cpp|room[index.partCount++] = {root.begin, i};|s#room\[index.partCount++\] = {root.begin, i};#(void)root;#|^hook_decoder\$"
  "src/hook/freeze.cpp|kThreadClientThread = 0x30;|s#kThreadClientThread = 0x30;#kThreadClientThread = 0x28;#|^hook_engine\$"
  "src/hook/engine.cpp|  if (arm) HoldDetourModule(*r);|s#  if (arm) HoldDetourModule(\*r);#  /* no reference */#|^unload_tests\$"
  "src/hook/trampoline.cpp|return !b.src.shadowStack && |s#return !b.src.shadowStack && #return #|^hook_msvc_shapes\$"
  "src/hook/freeze.cpp|if (!setContext(h, &ctx)) allMoved = false;|s#if (!setContext(h, &ctx)) allMoved = false;#setContext(h, \&ctx);#|^hook_engine\$"
  "src/hook/hook_entry_stub.S|        cmp eax, 1|s#cmp eax, 1#cmp eax, 7#|^hook_engine\$"
  "src/hook/engine.cpp|r->threadLeft) {|s#r->armed .. r->threadLeft#r->armed#|^hook_engine\$"
  "src/hook/engine.cpp|  if (r->everArmed) {|s#if (r->everArmed) {#if (false) {#|^hook_engine\$"
  "src/hook/freeze.cpp|      return r.retired;|s#return r.retired;#return false;#|^hook_engine\$"
  "src/hook/freeze.cpp|    buried = MapInstructionPointer(engine.buried[i], false, place);|s#buried = MapInstructionPointer(engine.buried\\[i\\], false, place);#buried = false;#|^hook_engine\$"
  "src/bridge/intercept.cpp|    return drawn ? HookEntryDone : HookEntryPassOn;|s#HookEntryDone : HookEntryPassOn#HookEntryDone : HookEntryDetour#|^unit_bridge_tests\$"
  "src/bridge/intercept.cpp|    if (hook->toldArmed) return;|s#if (hook->toldArmed) return;#/* told every time */#|^unit_bridge_tests\$"
  "src/bridge/monitor.cpp|    const bool current = !watch.ended;|s#!watch.ended#true#|^unit_shell_tests\$"
  "src/bridge/monitor.cpp|            watch->lastTickCom1Khz = khz;|s#watch->lastTickCom1Khz = khz;#CurrentLinkWatch()->lastTickCom1Khz = khz;#|^monitor_tests\$"
  "src/base/locks.cpp|    if (!DURAR_CHECK(owner_.load(), !=, self)) return false;|s#if (!DURAR_CHECK(owner_.load(), !=, self)) return false;#/* re-entry waited for */#|^unit_ui_tests\$"
  "src/ui/key_watcher.cpp|    if (!reporting.Held()) {|s#if (!reporting.Held()) {#if (false) {#|^unit_ui_tests\$"
  "src/ui/key_watcher.cpp|    PressReporting reporting;  // waits for the press the deferred-work thread has in hand|s#PressReporting reporting;#struct { bool Held() const { return true; } } reporting;#|^unit_ui_tests\$"
  "src/ui/key_watcher.cpp|    PressReporting reporting;  // the same for the link's stop|s#PressReporting reporting;  // the same#struct { bool Held() const { return true; } } reporting;  // none#|^unit_ui_tests\$"
  "src/ui/key_watcher.cpp|    ReportPendingPresses();  // the earlier ones|s#^    ReportPendingPresses();  // the earlier ones#    /* the earlier ones later */#|^unit_ui_tests\$"
  "standin/xplm/callers.cpp|    if (W().pluginStack.empty())|s#if (W().pluginStack.empty())#if (false)#|^(standin_tests|scenario_strict_calls)\$"
  "standin/xplm/callers.cpp|m.plugin != running)|s#^    else if (!known#    else if (false) if (!known#|^(standin_tests|scenario_strict_calls)\$"
  "standin/xplm/callers.cpp|kThreadCheckVersion) Crash(name, caller);|s#Crash(name, caller);#(void)caller;#|^(standin_tests|scenario_strict_offthread_12_4)\$"
  "standin/xplm/callers.cpp|    if (g_crashing.exchange(true))|s#if (g_crashing.exchange(true))#if (false)#|^standin_tests\$"
  "standin/xplm/callers.cpp|W().drawDepth > 0) return true;|s#W().drawDepth > 0) return true;#true) return true;#|^(standin_tests|scenario_strict_calls)\$"
  "standin/xplm/display.cpp|        DrawScope drawing;|s#DrawScope drawing;#/* no draw scope */#|^(standin_tests|scenario_strict_calls)\$"
  "standin/xplm/display.cpp|    WindowCall(api, w);|s#WindowCall(api, w);#(void)api;#|^scenario_strict_calls\$"
  "standin/xpuipc/text_strip.cpp|    return g_enabled ? -1.0f : 0.0f;|s#return g_enabled ? -1.0f : 0.0f;#return g_strip ? -1.0f : 0.0f;#|^scenario_atc_standin\$"
  "src/base/locks.cpp|    WakeAllConditionVariable(&g_stopping);|s#^    WakeAllConditionVariable(&g_stopping);#    /* resting work not woken */#|^monitor_tests\$"
  "src/bridge/atc_text_source.cpp|    const bool current = forgets == g_forgets && PluginLocksAlive();|s#forgets == g_forgets \&\& PluginLocksAlive();#forgets == g_forgets;#|^monitor_tests\$"
  "src/bridge/monitor.cpp|            LastTickCom1Khz = khz;|s#LastTickCom1Khz = khz;#LastTickCom1Khz = SampledCom1Khz();#|^monitor_tests\$"
  "src/simlink/ipc_server.cpp|    return GetWindowThreadProcessId(window, &process) && process == GetCurrentProcessId();|s#return GetWindowThreadProcessId(window, \&process) \&\& process == GetCurrentProcessId();#return GetWindowThreadProcessId(window, \&process) != 0;#|^unit_simlink_tests\$"
  "src/base/checks.cpp|    if (hook) hook(file, line, text);|s#if (hook) hook#if (hook \&\& first) hook#|^unit_base_tests\$"
  "standin/host/main.cpp|    if (FailedCheckInLog() && !o.expect.empty()) return 1;|s#if (FailedCheckInLog() \&\& !o.expect.empty()) return 1;#(void)FailedCheckInLog();#|^scenario_failed_check_fails_the_run\$"
  "src/ui/plugin_menu.h|void ResetPluginMenu();|s#^void ResetPluginMenu();#extern int PluginMenuItems; void ResetPluginMenu();#|^globals\$"
  "src/airport/airport_data.h|void ResetFrequencyTable();|s#^void ResetFrequencyTable();#extern void (*RadioRefreshSeam)(); void ResetFrequencyTable();#|^globals\$"
  "standin/xplm/api_levels.cpp|        if (IntroducedIn(name) > version) continue;|s#if (IntroducedIn(name) > version) continue;#(void)version;#|^standin_tests\$"
  "standin/xplm/modern_windows.cpp|    SIM_SendMessage(-1, on ? XPLM_MSG_ENTERED_VR : XPLM_MSG_EXITING_VR, nullptr);|s#^    SIM_SendMessage(-1,#    SIM_SetDataref(kVrDataref, xplmType_Int, on ? 1 : 0); SIM_SendMessage(-1,#|^(standin_tests|scenario_vr_modern_window)\$"
  "standin/xplm/modern_windows.cpp|        win->positioning = xplm_WindowPositionFree;|s#^        win->positioning = xplm_WindowPositionFree;#        /* left in VR */#|^(standin_tests|scenario_vr_modern_window)\$"
  "standin/xplm/display.cpp|        if (headset && !w.vrOn) continue;|s#if (headset \&\& !w.vrOn) continue;#/* drawn with the headset off */#|^standin_tests\$"
  "standin/xplm/display.cpp|            if (StopsClicks(win)) return 1;|s#if (StopsClicks(win)) return 1;#/* passed through */#|^standin_tests\$"
  "standin/xplm/utilities.cpp|                          : version >= 11200 ? 301|s#version >= 11200 ? 301#version >= 11200 ? 303#|^standin_tests\$"
  "standin/xplm/display.cpp|    std::stable_sort(order.begin(), order.end(), [](const Window* a, const Window* b) { return a->layer < b->layer; });|s#std::stable_sort(order.begin(), order.end(), \[\](const Window\* a, const Window\* b) { return a->layer < b->layer; });#(void)0;#|^standin_tests\$"
  "standin/host/plugin_loader.cpp|        if (!missing.empty()) {|s#if (!missing.empty()) {#if (false) {#|^scenario_vr_absent_before_11_10\$"
  "standin/host/widgets_access.cpp|SIM_VrOn() && SIM_MouseEx(x, y, xplm_MouseDown, 0, 1)) headset = 1;|s#SIM_VrOn()#false#|^scenario_vr_modern_window\$"
  "standin/host/intercepts.cpp|    if (!SIM_VrOn()) return \"\";|s#if (!SIM_VrOn()) return \"\";#return \"\";#|^scenario_vr_message_box\$"
)
failures=0
for entry in "${mutants[@]}"; do
    IFS='|' read -r file pattern edit tests <<<"$entry"
    if ! git diff --quiet -- "$file"; then
        echo "mutants: $file has uncommitted changes; commit or stash them first"
        exit 2
    fi
    matches=$(grep -cF -- "$pattern" "$file")
    if [[ "$matches" != 1 ]]; then
        echo "mutants: '$pattern' matches $matches lines of $file (want 1): update this script"
        failures=$((failures + 1))
        continue
    fi
    sed -i "$edit" "$file"
    if git diff --quiet -- "$file"; then
        echo "mutants: the edit changed nothing in $file"
        failures=$((failures + 1))
        continue
    fi
    if ! cmake --build build >/tmp/mutant-build.log 2>&1; then
        echo "mutants: $file with the fault does not build (see /tmp/mutant-build.log)"
        git checkout -- "$file"
        failures=$((failures + 1))
        continue
    fi
    if (cd build && ctest -R "$tests" --output-on-failure >/tmp/mutant-test.log 2>&1); then
        echo "mutants: NOT CAUGHT: $file: $pattern  (tests $tests passed)"
        failures=$((failures + 1))
    else
        what=$(grep -m1 -E '^\[  FAILED  \] [A-Za-z]' /tmp/mutant-test.log | sed 's/^\[  FAILED  \] //; s/ (.*//')
        [[ -z "$what" ]] && what=$(grep -m1 -E '\*\*\*Failed' /tmp/mutant-test.log | sed 's/^ *[0-9/]* *Test *#[0-9]*: //; s/ \..*//')
        echo "mutants: caught: $file: ${pattern#"${pattern%%[! ]*}"}  by $what"
    fi
    git checkout -- "$file"
done
cmake --build build >/dev/null 2>&1
echo "mutants: ${#mutants[@]} faults, $failures not caught or not applied"
(( failures == 0 ))
