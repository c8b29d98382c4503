#!/usr/bin/env bash
# Runs the Windows tests under Wine: the x86_64 test programs through ctest in
# build-windows/x86_64 (ctest starts each under wine64), then the Linux-driven tests that run the
# Windows programs next to the Linux ones (ctest -L wine in the Linux build).
# Needs scripts/build-windows.sh x86_64 and the Linux build first.
# Usage: scripts/wine-tests.sh [linux-build-dir]   (default: build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
linux_build=$(cd "${1:-build}" && pwd)
windows_build=$top/build-windows/x86_64

. scripts/wine-env.sh
trap wine_env_stop EXIT
export MODLINK_WINDOWS_BIN=$windows_build/bin

started=$SECONDS
# The Windows tests share one prefix and one wine server: one at a time.
failed=0
(cd "$windows_build" && ctest -j1 --output-on-failure) || failed=1
(cd "$linux_build" && ctest -j1 --output-on-failure -L wine) || failed=1
echo "wine-tests: done in $((SECONDS - started)) s"
exit "$failed"
