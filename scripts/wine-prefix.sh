#!/bin/sh
# Manages the build's private Wine prefix (WINEPREFIX must be set).
#   ensure  create it once: null graphics driver, no Mono/Gecko prompts
#   start   create it and start its server persistently with detached streams, so that test
#           runs do not wait for a lingering server that inherited their output
#   stop    stop its server and every process in it
set -eu
: "${WINEPREFIX:?}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

ensure() {
  [ -f "$WINEPREFIX/.durar-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.durar-ready" ]; then
      "$wine" wineboot -i </dev/null >/dev/null 2>&1
      "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
      "$server" -w
      touch "$WINEPREFIX/.durar-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

case "${1:-}" in
  ensure) ensure ;;
  start)
    ensure
    "$server" -p </dev/null >/dev/null 2>&1 &
    "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
  stop) "$server" -k </dev/null >/dev/null 2>&1 || true ;;
  *) echo "usage: $0 ensure|start|stop" >&2; exit 2 ;;
esac
