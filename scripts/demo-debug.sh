#!/bin/bash
# A debug session against the module simulator, driven the way a developer drives it: the
# emulator uploads the sample MIDlet, configures the module for debugging, brings up the IP link,
# relays System.out and starts the debug agent; jdb attaches, stops at a breakpoint, prints a
# local and lets the program run to its end; then the session tears everything down.
#
#   scripts/demo-debug.sh            (after a build into build/, or MODLINK_BUILD=folder)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${MODLINK_BUILD:-$here/build}" 2>/dev/null && pwd) || { echo "demo-debug: no build folder; build first" >&2; exit 2; }
testkit=$build/testkit
work=$(mktemp -d "${TMPDIR:-/tmp}/modlink-debug-demo.XXXXXX")
simpid=""
cleanup() {
    [ -n "$simpid" ] && kill -TERM "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for needed in "$build/bin/modsim" "$build/bin/emulator" "$testkit/debugagent/zdp.jar" \
              "$testkit/impng/impng.jar" "$testkit/impng/counting.jad"; do
    if [ ! -e "$needed" ]; then
        echo "demo-debug: $needed is missing; build first (cmake --build $build)" >&2
        exit 2
    fi
done

# A toolkit of its own whose INI points the debug link at the simulator on this machine.
mkdir -p "$work/kit/bin" "$work/kit/lib" "$work/app" "$work/flash" "$work/config" "$work/sys"
ln -s "$build/bin/emulator" "$work/kit/bin/emulator"
cp "$testkit/debugagent/zdp.jar" "$work/kit/bin/zdp.jar"
cp "$testkit/toolkit/lib/"*.jar "$work/kit/lib/"
printf '[Debug]\nLocalIpAddress=127.0.0.1\nRemoteIpAddress=127.0.0.1\nDebugPort=2800\nUDPport=3000\n' \
    > "$work/kit/bin/WM_Debug_config.ini"
cp "$testkit/impng/counting.jad" "$testkit/impng/counting.jar" "$work/app/"

"$build/bin/modsim" --listen 127.0.0.1:0 --flash "$work/flash" --transcript "$work/transcript.txt" \
    --impng-jar "$testkit/impng/impng.jar" --debug-relay-jar "$testkit/debugagent/zdp.jar" \
    > "$work/modsim.out" 2>&1 &
simpid=$!
url=""
for _ in $(seq 100); do
    url=$(sed -n 's/^modsim: ready \(rfc2217:.*\)$/\1/p' "$work/modsim.out" | head -n 1)
    [ -n "$url" ] && break
    sleep 0.05
done
if [ -z "$url" ]; then
    echo "demo-debug: the simulator did not get ready" >&2
    cat "$work/modsim.out" >&2
    exit 2
fi

printf '[IP connection for remote debugging of QREx]\nDevice=Module Simulator\nPhoneNumber=*99***1#\nConnectBPS=115200\nLinkType=direct\n' \
    > "$work/config/rasphone.pbk"
printf '[Module Simulator]\nAttachedTo=%s\nMaximumPortSpeed=115200\n' "$url" > "$work/config/modems.ini"

echo "\$ emulator -Xdebug -Xrunjdwp:transport=dt_socket,address=8000,server=y -Xdescriptor:counting.jad"
MODLINK_CONFIG_DIR=$work/config MODLINK_SYSFS=$work/sys MODLINK_LINK_DIR=$work/links \
    "$work/kit/bin/emulator" -Xdebug -Xrunjdwp:transport=dt_socket,address=8000,server=y \
    "-Xdescriptor:$work/app/counting.jad" > "$work/emulator.out" 2>&1 &
emupid=$!
for _ in $(seq 600); do
    grep -q "Debug Session is running." "$work/emulator.out" && break
    kill -0 "$emupid" 2>/dev/null || break
    sleep 0.1
done
cat "$work/emulator.out"
if ! grep -q "Debug Session is running." "$work/emulator.out"; then
    wait "$emupid"
    echo "demo-debug: the debug session did not start" >&2
    exit 1
fi
shown=$(wc -c < "$work/emulator.out")

echo
echo "\$ jdb -attach 8000   (stop at sample.CountingMidlet:14, locals, cont)"
/usr/bin/python3 "$here/emulator/debuglink/tests/support/jdb_session.py" jdb 8000 \
    sample.CountingMidlet:14 total
jdbstatus=$?

wait "$emupid"
status=$?
echo
echo "--- the emulator, after jdb attached ---"
tail -c +$((shown + 1)) "$work/emulator.out"
printf '[emulator exit status %d, jdb script status %d]\n' "$status" "$jdbstatus"
[ "$status" -eq 0 ] && [ "$jdbstatus" -eq 0 ]
