#!/usr/bin/env bash
# The demo: installs what the build needs, builds the emulator, the sample toolkit and the module
# simulator, and asks the emulator what the IDE asks first (-version and -Xquery), the way an IDE
# starts it: from the toolkit's bin folder. It runs once as a PC without the debug dial-up entry
# and once with the entry of one module family in a configuration folder of its own. Then it runs
# the sample MIDlet with its LIBlet in a run session against the simulated module, starts the
# program already in a switched-off module (-noload), and debugs a MIDlet with jdb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

step() { printf '\n==> %s\n' "$*"; }

step "Installing the Debian packages the build needs"
"$root/scripts/setup-debian.sh"

step "Configuring and building the emulator, the sample toolkit and modsim in $build"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target emulator sample_toolkit modsim modlink-linkd zdp impng impng_counting

toolkit=$build/testkit/toolkit
emulator=$toolkit/bin/emulator
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export MODLINK_CONFIG_DIR=$config
unset MIDP_HOME

run() {
    printf '\n$ %s\n' "$*"
    set +e
    "$@"
    local status=$?
    set -e
    printf '[exit status %d]\n' "$status"
}

step "A PC without the debug dial-up entry: default names (the two warnings go to stderr)"
run "$emulator" -version
run "$emulator" -Xquery

step "With the dial-up entry of the QREx family in $config/rasphone.pbk"
cat >"$config/rasphone.pbk" <<'PBK'
[IP connection for remote debugging of QREx]
Device=Module Modem
PhoneNumber=*99***1#
ConnectBPS=115200
PBK
run "$emulator" -version
run "$emulator" -Xdevice:IMP_NG_QREx -Xquery

step "An unknown device is refused (status -890, shown as its low 8 bits)"
run "$emulator" -Xdevice:NoSuchDevice

step "A run session: upload calc.jad, calc.jar and its LIBlet mathlib into the simulated module, start it"
run env MODLINK_BUILD="$build" "$root/scripts/modsim-session.sh" -- \
    "-Xdescriptor:$toolkit/apps/calc/calc.jad"

step "A -noload session: the module is switched off; the program already in it is started"
run env MODLINK_BUILD="$build" MODSIM_SHOW_TRANSCRIPT=1 "$root/scripts/modsim-session.sh" --off -- \
    "-Xdescriptor:$toolkit/apps/hello/hello.jad" -noload

step "A debug session: upload, debug configuration, IP link, System.out relay, agent, jdb"
run env MODLINK_BUILD="$build" "$root/scripts/demo-debug.sh"

printf '\nThe sample toolkit is in %s; its MIDlets are in %s/apps.\n' "$toolkit" "$toolkit"
