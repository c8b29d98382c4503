#!/bin/bash
# Runs one emulator session against the module simulator.
#
#   scripts/modsim-session.sh [MODSIM OPTIONS...] -- [EMULATOR ARGUMENTS...]
#
# Starts build/bin/modsim on a free 127.0.0.1 port with the given options, writes a config
# folder whose modem is attached to it (phone book entry for the family in MODSIM_FAMILY, default
# QRE; speed MODSIM_SPEED, default 115200), runs the sample toolkit's emulator with the given
# arguments, stops the simulator and exits with the emulator's status.
#
# Environment:
#   MODLINK_BUILD      the build folder (default: build beside this script's folder)
#   MODSIM_FAMILY      QRE, QRD, QRC or QRB: which dial-up entry the config folder holds
#   MODSIM_SPEED       ConnectBPS and MaximumPortSpeed
#   MODSIM_TRANSCRIPT  where the simulator writes its transcript (default: a temporary file,
#                      printed after the session when MODSIM_SHOW_TRANSCRIPT=1)
#   MODSIM_KEEP        when set, the config folder and transcript are kept and their paths printed
#
# Example (the README demo): a module that is switched off, runs the program already in it:
#   scripts/modsim-session.sh --off -- -Xdescriptor:build/testkit/toolkit/apps/hello/hello.jad -noload
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
build=${MODLINK_BUILD:-$here/build}
modsim=$build/bin/modsim
emulator=$build/testkit/toolkit/bin/emulator
[ -x "$emulator" ] || emulator=$build/bin/emulator
family=${MODSIM_FAMILY:-QRE}
speed=${MODSIM_SPEED:-115200}

if [ ! -x "$modsim" ]; then
    echo "modsim-session: $modsim not found; build first (cmake --build $build)" >&2
    exit 2
fi

simargs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    simargs+=("$1")
    shift
done
[ $# -gt 0 ] && shift

work=$(mktemp -d "${TMPDIR:-/tmp}/modsim-session.XXXXXX")
transcript=${MODSIM_TRANSCRIPT:-$work/transcript.txt}

"$modsim" --listen 127.0.0.1:0 --transcript "$transcript" "${simargs[@]}" > "$work/modsim.out" 2>&1 &
simpid=$!

url=""
tries=0
while [ -z "$url" ] && [ $tries -lt 100 ]; do
    url=$(sed -n 's/^modsim: ready \(rfc2217:.*\)$/\1/p' "$work/modsim.out" 2>/dev/null | head -n 1)
    [ -n "$url" ] && break
    if ! kill -0 "$simpid" 2>/dev/null; then
        cat "$work/modsim.out" >&2
        rm -rf "$work"
        exit 2
    fi
    tries=$((tries + 1))
    sleep 0.05
done
if [ -z "$url" ]; then
    echo "modsim-session: the simulator did not get ready" >&2
    kill "$simpid" 2>/dev/null
    rm -rf "$work"
    exit 2
fi

mkdir -p "$work/config" "$work/sys/class/tty"
printf '[IP connection for remote debugging of %sx]\r\nDevice=Module Simulator\r\nPhoneNumber=*99***1#\r\nConnectBPS=%s\r\n' \
    "$family" "$speed" > "$work/config/rasphone.pbk"
printf '[Module Simulator]\r\nAttachedTo=%s\r\nMaximumPortSpeed=%s\r\n' "$url" "$speed" > "$work/config/modems.ini"

MODLINK_CONFIG_DIR=$work/config MODLINK_SYSFS=$work/sys "$emulator" "$@"
status=$?

kill -TERM "$simpid" 2>/dev/null
wait "$simpid" 2>/dev/null

if [ "${MODSIM_SHOW_TRANSCRIPT:-0}" = 1 ]; then
    echo "--- modsim transcript ---"
    cat "$transcript"
fi
if [ -n "${MODSIM_KEEP:-}" ]; then
    echo "config folder: $work/config, transcript: $transcript, simulator output: $work/modsim.out"
else
    rm -rf "$work"
fi
exit $status
