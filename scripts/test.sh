#!/usr/bin/env bash
# Builds everything and runs every test: the Linux build with its unit, integration and
# end-to-end tests, then the Windows cross builds with their checks and the Wine tests, the
# Windows release zip, and finally every fuzz harness over its corpus plus a short fresh run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

step() { # <name> <command...>: runs a step and says how long it took
  local name=$1 started=$SECONDS
  shift
  echo "== test: $name"
  "$@"
  echo "== test: $name: $((SECONDS - started)) s"
}

linux_tests() {
  cd build
  ctest -j2 --output-on-failure -L unit
  ctest -j2 --output-on-failure -L integration
  # End-to-end sessions start simulators, JVMs and debuggers of their own: one at a time.
  ctest -j1 --output-on-failure -L e2e
  cd ..
}

step set-up scripts/setup-debian.sh
step configure cmake -S . -B build -G Ninja
step build cmake --build build -j2
step windows-portability scripts/check-windows-portability.sh
step sanitizers scripts/sanitizer-tests.sh
step linux-tests linux_tests
step windows-build scripts/build-windows.sh
step windows-binaries scripts/check-windows-binaries.sh
step wine-tests scripts/wine-tests.sh build
step windows-zip scripts/package-windows.sh --no-build
step fuzz-regression scripts/fuzz-regression.sh
echo "test: all passed in $SECONDS s"
