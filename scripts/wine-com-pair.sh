#!/usr/bin/env bash
# Two linked COM ports for Windows programs under Wine: socat makes a pty pair whose data lines
# are crossed, and the prefix's dosdevices links name the two ends as COM ports. Ptys carry data
# only: Wine reports ERROR_NOT_SUPPORTED for every modem-line call on them.
#
#   scripts/wine-com-pair.sh start DIR COM5 COM6   # prints MODLINK_TEST_COM_PAIR=COM5,COM6
#   scripts/wine-com-pair.sh stop DIR COM5 COM6
#
# WINEPREFIX names the prefix; DIR keeps the pty links and socat's process id.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder for the pty links}
first=${3:-COM5}
second=${4:-COM6}
: "${WINEPREFIX:?WINEPREFIX must name the Wine prefix}"
devices=$WINEPREFIX/dosdevices
lower() { tr '[:upper:]' '[:lower:]' <<<"$1"; }

case $action in
start)
  command -v socat >/dev/null || { echo "wine-com-pair: socat is not installed" >&2; exit 1; }
  mkdir -p "$dir" "$devices"
  rm -f "$dir/a" "$dir/b"
  setsid socat pty,raw,echo=0,link="$dir/a" pty,raw,echo=0,link="$dir/b" </dev/null >"$dir/socat.log" 2>&1 &
  echo $! >"$dir/socat.pid"
  for _ in $(seq 50); do
    [ -e "$dir/a" ] && [ -e "$dir/b" ] && break
    sleep 0.1
  done
  [ -e "$dir/a" ] && [ -e "$dir/b" ] || { echo "wine-com-pair: socat made no pty pair" >&2; exit 1; }
  ln -sfn "$dir/a" "$devices/$(lower "$first")"
  ln -sfn "$dir/b" "$devices/$(lower "$second")"
  echo "MODLINK_TEST_COM_PAIR=$first,$second"
  ;;
stop)
  if [ -f "$dir/socat.pid" ]; then
    kill "$(cat "$dir/socat.pid")" 2>/dev/null || true
    rm -f "$dir/socat.pid"
  fi
  rm -f "$devices/$(lower "$first")" "$devices/$(lower "$second")" "$dir/a" "$dir/b"
  ;;
*)
  echo "wine-com-pair: unknown action $action" >&2
  exit 2
  ;;
esac
