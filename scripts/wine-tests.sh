#!/usr/bin/env bash
# Runs the Windows tests under Wine: the x86_64 test programs through ctest in
# build-windows/x86_64 (ctest starts each under wine64), then the Linux-driven tests that run the
# Windows programs next to the Linux ones (ctest -L wine in the Linux build).
# Needs scripts/build-windows.sh x86_64 and the Linux build first.
# Usage: scripts/wine-tests.sh [linux-build-dir]   (default: build)
# WINDOWS_BUILD_DIR names the Windows build folder (default: build-windows).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
linux_build=$(cd "${1:-build}" && pwd)
windows_build=$(cd "${WINDOWS_BUILD_DIR:-build-windows}" && pwd)/x86_64

. scripts/wine-env.sh
export MODLINK_WINDOWS_BIN=$windows_build/bin

# Two COM ports whose data lines are crossed (a pty pair) for the COM port tests.
com_pair_dir=$windows_build/com-pair
stop_all() {
  scripts/wine-com-pair.sh stop "$com_pair_dir" COM5 COM6 || true
  wine_env_stop
}
trap stop_all EXIT
export "$(scripts/wine-com-pair.sh start "$com_pair_dir" COM5 COM6)"

started=$SECONDS
# The Windows tests share one prefix and one wine server: one at a time.
failed=0
(cd "$windows_build" && ctest -j1 --output-on-failure) || failed=1
(cd "$linux_build" && ctest -j1 --output-on-failure -L wine) || failed=1
echo "wine-tests: done in $((SECONDS - started)) s"
exit "$failed"
