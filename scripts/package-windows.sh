#!/usr/bin/env bash
# Builds the Windows release zip from the cross-built files:
#   dist/modlink-<version>-windows.zip
# holding exactly the five shipped files, stripped, in the folders of an installed toolkit and
# SDK, and a short text saying where each goes and what it needs:
#   modlink-<version>-windows/toolkit/bin/emulator.exe      (32-bit console)
#   modlink-<version>-windows/toolkit/bin/DescPick.exe      (32-bit console)
#   modlink-<version>-windows/sdk/bin/trayhost.exe          (32-bit GUI)
#   modlink-<version>-windows/sdk/bin/sublime-x64.dll       (64-bit JNI library)
#   modlink-<version>-windows/sdk/bin/regaccess-x64.dll     (64-bit JNI library)
#   modlink-<version>-windows/README-windows.txt
# The version is MODLINK_VERSION, else what `git describe` says. WINDOWS_BUILD_DIR names the
# build folder (default build-windows, where scripts/build-windows.sh builds).
# Usage: scripts/package-windows.sh [--no-build] [--check ZIP]
#   --no-build   take the files as scripts/build-windows.sh left them
#   --check ZIP  only check that ZIP holds exactly the expected entries, each of them non-empty
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

build=${WINDOWS_BUILD_DIR:-build-windows}
# Entry (inside the top folder of the zip) <- built file.
shipped=(
  "toolkit/bin/emulator.exe=$build/i686/bin/emulator.exe"
  "toolkit/bin/DescPick.exe=$build/i686/bin/DescPick.exe"
  "sdk/bin/trayhost.exe=$build/i686/bin/trayhost.exe"
  "sdk/bin/sublime-x64.dll=$build/x86_64/bin/sublime-x64.dll"
  "sdk/bin/regaccess-x64.dll=$build/x86_64/bin/regaccess-x64.dll"
)
readme=README-windows.txt

expected_entries() { # <top folder>
  local item
  for item in "${shipped[@]}"; do
    echo "$1/${item%%=*}"
  done
  echo "$1/$readme"
}

check_zip() { # <zip>
  local zip=$1 name have want
  name=$(basename "$zip" .zip)
  have=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
  want=$(expected_entries "$name" | sort)
  if [ "$have" != "$want" ]; then
    echo "package-windows: $zip does not hold exactly the shipped files:" >&2
    diff <(echo "$want") <(echo "$have") | sed -n 's/^</  missing: /p; s/^>/  extra:   /p' >&2 || true
    return 1
  fi
  local empty
  empty=$(unzip -Zl "$zip" | awk '$1 ~ /^-/ && $4 == 0 {print $NF}')
  if [ -n "$empty" ]; then
    echo "package-windows: empty entries in $zip: $empty" >&2
    return 1
  fi
  # The files inside are what the binary check expects of them.
  local unpacked rules
  unpacked=$(mktemp -d)
  rules=$unpacked/rules.txt
  unzip -q "$zip" -d "$unpacked"
  cat >"$rules" <<RULES
$unpacked/$name/toolkit/bin/emulator.exe PE32 console
$unpacked/$name/toolkit/bin/DescPick.exe PE32 console
$unpacked/$name/sdk/bin/trayhost.exe PE32 gui
$unpacked/$name/sdk/bin/sublime-x64.dll PE32+ dll lime/windows/sublime-exports.txt
$unpacked/$name/sdk/bin/regaccess-x64.dll PE32+ dll regaccess/windows/regaccess-exports.txt
RULES
  local status=0
  scripts/check-windows-binaries.sh "$rules" >/dev/null || status=1
  rm -rf "$unpacked"
  [ "$status" -eq 0 ] || return 1
  echo "package-windows: $zip holds the five shipped files and $readme"
}

if [ "${1:-}" = "--check" ]; then
  check_zip "${2:?usage: package-windows.sh --check ZIP}"
  exit $?
fi
if [ "${1:-}" != "--no-build" ]; then
  WINDOWS_COMPONENTS="descpick;emulator;sublime;regaccess;trayhost" scripts/build-windows.sh
fi

version=${MODLINK_VERSION:-$(git describe --tags --always --dirty 2>/dev/null || echo unknown)}
name=modlink-$version-windows
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for item in "${shipped[@]}"; do
  entry=${item%%=*}
  file=${item#*=}
  if [ ! -f "$file" ]; then
    echo "package-windows: $file has not been built (scripts/build-windows.sh)" >&2
    exit 1
  fi
  mkdir -p "$stage/$name/$(dirname "$entry")"
  case $file in
    */i686/bin/*) strip=i686-w64-mingw32-strip ;;
    *) strip=x86_64-w64-mingw32-strip ;;
  esac
  "$strip" -o "$stage/$name/$entry" "$file"
done

# Windows line ends: the text is read on Windows.
sed 's/$/\r/' >"$stage/$name/$readme" <<TEXT
modlink $version for Windows

Five files, each copied into an existing installation:

toolkit\\bin\\emulator.exe
    The emulator the IDE starts. Goes into the bin folder of the installed toolkit, beside
    WM_Debug_config.ini and zdp.jar; the toolkit's lib folder must be beside bin. Needs the
    module's dial-up networking entry and modem that the toolkit's installer creates, and for
    debugging a JDK that its installer registered in the registry: the debug agent runs on it.
    32-bit console program.

toolkit\\bin\\DescPick.exe
    Prints one attribute of a JAD file. Goes into the same bin folder. Needs nothing else.
    32-bit console program.

sdk\\bin\\trayhost.exe
    Starts the SDK's Java device manager. Goes into the bin folder of the SDK home (its parent
    folder holds toolkit-lib); trayhost.vm beside it may replace the built-in command. Needs a
    Java runtime: the IDE's ridgeline_jdkhome, the file "java" beside it, or javaw.exe on PATH.
    32-bit GUI program.

sdk\\bin\\sublime-x64.dll
sdk\\bin\\regaccess-x64.dll
    The 64-bit JNI libraries of the SDK's Java side (the Lime bridge and registry access).
    Go into the SDK's bin folder: trayhost puts that folder first in the PATH of the JVM it
    starts, so the JVM finds them. Need a 64-bit JVM.

All five need only the DLLs that come with Windows.
TEXT

mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && zip -q -r -X "$top/dist/$name.zip" "$name")
check_zip "dist/$name.zip"
