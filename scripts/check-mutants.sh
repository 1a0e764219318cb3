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
  "src/shell/entry.cpp|if (HooksInstalled()) (void)RemoveHooks();|s#if (HooksInstalled()) (void)RemoveHooks();#/* hooks left in */#|^unit_shell_tests\$"
  "src/shell/link.cpp|            ClearHotkeyTable();|s#^            ClearHotkeyTable();#            /* table kept */#|^unit_shell_tests\$"
  "src/bridge/atc_text_layout.h|constexpr size_t kAtcMessageMinLength = 10;|s#kAtcMessageMinLength = 10;#kAtcMessageMinLength = 11;#|^unit_bridge_tests\$"
  "src/bridge/monitor.cpp|        NotConnectedNoticeShown = 0;|0,/^        NotConnectedNoticeShown = 0;/s##        /* notice flag kept */#|^scenario_atc_not_connected_notice\$"
  "src/shell/link.cpp|            MonitorLinkStopped();|s#^            MonitorLinkStopped();#            /* attach kept */#|^scenario_link_restart_keys\$"
  "src/ui/key_watcher.cpp|    IpcSession session;|s#^    IpcSession session;#    /* no session */#|^scenario_key_press_stress\$"
  "src/base/locks.cpp|    WakeAllConditionVariable(&g_stopping);|s#^    WakeAllConditionVariable(&g_stopping);#    /* resting work not woken */#|^monitor_tests\$"
  "src/bridge/atc_text_source.cpp|    const bool current = forgets == g_forgets && PluginLocksAlive();|s#forgets == g_forgets \&\& PluginLocksAlive();#forgets == g_forgets;#|^monitor_tests\$"
  "src/bridge/monitor.cpp|            LastTickCom1Khz = khz;|s#LastTickCom1Khz = khz;#LastTickCom1Khz = SampledCom1Khz.load();#|^monitor_tests\$"
  "src/simlink/ipc_server.cpp|    return GetWindowThreadProcessId(window, &process) && process == GetCurrentProcessId();|s#return GetWindowThreadProcessId(window, \&process) \&\& process == GetCurrentProcessId();#return GetWindowThreadProcessId(window, \&process) != 0;#|^unit_simlink_tests\$"
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
