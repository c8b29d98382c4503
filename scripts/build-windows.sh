#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64:
#   build-windows/i686/bin/    the shipped 32-bit programs (emulator.exe, DescPick.exe, trayhost.exe)
#   build-windows/x86_64/bin/  their 64-bit twins, the 64-bit DLLs and the Windows tests, which
#                              scripts/wine-tests.sh runs under wine64
# Usage: scripts/build-windows.sh [i686|x86_64]...   (both when none is named)
# WINDOWS_COMPONENTS chooses the components (a semicolon list as for MODLINK_COMPONENTS);
# WINDOWS_BUILD_DIR the folder that holds i686/ and x86_64/ (default: build-windows).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

# The components with a Windows side. Any set can be asked for:
#   WINDOWS_COMPONENTS="descpick;emulator" scripts/build-windows.sh
components=${WINDOWS_COMPONENTS:-descpick;emulator;sublime;regaccess;trayhost}
# The x86_64 build also builds every test of its components (WINDOWS_X86_64_COMPONENTS
# overrides); its emulator.exe is the one the wine-labelled sessions run.
x86_64_components=${WINDOWS_X86_64_COMPONENTS:-$components}
build_root=${WINDOWS_BUILD_DIR:-build-windows}
# The 32-bit programs that ship, and the components they come from; the 64-bit libraries ship
# from the x86_64 build.
shipped_i686=(DescPick emulator trayhost)
i686_components=(descpick emulator trayhost)
jobs=${WINDOWS_BUILD_JOBS:-2}

configure() { # <arch> <tests ON|OFF> <components>
  cmake -S . -B "$build_root/$1" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchains/mingw-$1.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMODLINK_TESTS="$2" -DMODLINK_COMPONENTS="$3" >/dev/null
}

build_i686() {
  local wanted=() component
  for component in "${i686_components[@]}"; do
    if [[ ";$components;" == *";$component;"* ]]; then
      wanted+=("$component")
    fi
  done
  configure i686 OFF "$(IFS=';'; echo "${wanted[*]}")"
  local targets=() known
  known=$(ninja -C "$build_root/i686" -t targets all)
  for target in "${shipped_i686[@]}"; do
    if grep -q "^$target:" <<<"$known"; then
      targets+=("$target")
    fi
  done
  nice -n 5 cmake --build "$build_root/i686" -j"$jobs" --target "${targets[@]}"
  echo "build-windows: i686: ${targets[*]}"
}

build_x86_64() {
  configure x86_64 ON "$x86_64_components"
  nice -n 5 cmake --build "$build_root/x86_64" -j"$jobs"
  echo "build-windows: x86_64: programs, libraries and tests"
}

archs=("$@")
[ ${#archs[@]} -eq 0 ] && archs=(i686 x86_64)
for arch in "${archs[@]}"; do
  case $arch in
    i686) build_i686 ;;
    x86_64) build_x86_64 ;;
    *) echo "build-windows: unknown architecture $arch (i686 or x86_64)" >&2; exit 2 ;;
  esac
done
