# Sourced by native-tests.sh and long-checks.sh, from the repository's top, after build-native/
# is built. Every libFuzzer target with the options that suit its input.
FUZZ_TARGETS="decoder colour hotkey airport ipc_reply atc_text atc_draw profile"

fuzz_options() {
  case "$1" in
    decoder) echo "-max_len=24" ;;
    colour|hotkey) echo "-max_len=512" ;;
    airport) echo "-max_len=2048" ;;  # longer than an airport line, so long lines are cut
    ipc_reply) echo "-max_len=4096" ;;
    atc_text) echo "-max_len=1024" ;;
    atc_draw) echo "-max_len=400" ;;
    profile) echo "-max_len=1024" ;;
  esac
}

# fuzz_run NAME CORPUS ARTIFACTS [libFuzzer options...]: runs build-native/fuzz_NAME on CORPUS
# (new inputs are added there) and the committed seeds, prints its METRIC lines and sets
# fuzz_findings to the number of inputs that failed (crash, leak, time-out, out of memory). A
# fuzzer that ends badly without leaving an input counts as one finding.
fuzz_run() {
  name=$1 corpus=$2 artifacts=$3
  shift 3
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  seeds=native/fuzz/seeds/$name
  [ -d "$seeds" ] || seeds=
  log=build-native/fuzz-$name.log
  set +e
  # shellcheck disable=SC2046,SC2086
  "./build-native/fuzz_$name" "$corpus" $seeds $(fuzz_options "$name") -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$@" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  fuzz_findings=$(find "$artifacts" -type f | wc -l)
  if [ "$rc" -ne 0 ] && [ "$fuzz_findings" -eq 0 ]; then fuzz_findings=1; fi
  echo "METRIC fuzz_execs_$name ${execs:-0} count"
  echo "METRIC fuzz_findings_$name $fuzz_findings count"
  if [ "$fuzz_findings" -ne 0 ]; then
    echo "fuzz_$name: exit $rc; inputs in $artifacts/, log in $log:" >&2
    grep -m 5 -e 'ERROR' -e 'SUMMARY' -e 'Test unit written' "$log" >&2 || tail -5 "$log" >&2
  fi
}

# Executions of the short run in the test command: some seconds each on this machine kind.
fuzz_short_runs() {
  case "$1" in
    decoder|ipc_reply) echo 300000 ;;
    colour) echo 200000 ;;
    hotkey) echo 100000 ;;
    airport) echo 50000 ;;
    atc_text) echo 10000 ;;
    atc_draw) echo 100000 ;;
    profile) echo 200000 ;;
  esac
}
