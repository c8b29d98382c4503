#!/usr/bin/env bash
# Builds everything and runs every test: unit first, then integration and end-to-end.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup-debian.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2
scripts/check-windows-portability.sh
scripts/sanitizer-tests.sh
cd build
ctest -j2 --output-on-failure -L unit
ctest -j2 --output-on-failure -L integration
# End-to-end sessions start simulators, JVMs and debuggers of their own: one at a time.
ctest -j1 --output-on-failure -L e2e
